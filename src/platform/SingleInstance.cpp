#include "platform/SingleInstance.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#endif

namespace {
// One line each way: the request, and the answer once the kitten has come forward.
const QByteArray Request = "come-forward\n";
const QByteArray Answer = "ok\n";

#ifdef Q_OS_UNIX
// The socket's address, or false when the path does not fit into one.
bool addressOf(const QString& path, sockaddr_un* address)
{
    const QByteArray native = QFile::encodeName(path);
    std::memset(address, 0, sizeof(*address));
    address->sun_family = AF_UNIX;
    if (native.size() >= qsizetype(sizeof(address->sun_path)))
        return false;
    std::memcpy(address->sun_path, native.constData(), size_t(native.size()));
    return true;
}

// Asks the kitten listening on path to come forward; true when it said it did. Waits until
// deadline at the most.
bool askToComeForward(const QString& path, const QDeadlineTimer& deadline)
{
    sockaddr_un address;
    if (!addressOf(path, &address))
        return false;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    QByteArray reply;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0 &&
        ::send(fd, Request.constData(), size_t(Request.size()), MSG_NOSIGNAL) == Request.size()) {
        while (!reply.contains('\n') && reply.size() < Answer.size()) {
            pollfd readable{fd, POLLIN, 0};
            const int ready = ::poll(&readable, 1, int(deadline.remainingTime()));
            if (ready < 0 && errno == EINTR)
                continue;
            if (ready <= 0)
                break;
            char buffer[16];
            const ssize_t got = ::recv(fd, buffer, sizeof(buffer), 0);
            if (got <= 0)
                break;
            reply.append(buffer, got);
        }
    }
    ::close(fd);
    return reply == Answer;
}
#endif
} // namespace

SingleInstance::SingleInstance(const QString& folder, QObject* parent)
    : QObject(parent), m_folder(folder), m_socketPath(folder + QStringLiteral("/mofurin.socket")),
      m_lock(folder + QStringLiteral("/mofurin.lock"))
{
    // The kitten runs for days: the lock is stale only when its process is gone, never by age.
    m_lock.setStaleLockTime(0);
}

SingleInstance::~SingleInstance()
{
#ifdef Q_OS_UNIX
    while (!m_callers.empty())
        HangUp(m_callers.begin()->first);
    if (m_listener >= 0) {
        ::close(m_listener);
        ::unlink(QFile::encodeName(m_socketPath).constData());
    }
#endif
}

SingleInstance::Claim SingleInstance::Start()
{
    if (m_folder.isEmpty()) {
        qWarning("Mofurin: no private folder for the single-instance guard");
        return Claim::First;
    }
    if (m_lock.tryLock(0)) {
        Listen();
        return Claim::First;
    }
    if (m_lock.error() != QLockFile::LockFailedError)
        return Claim::First;
#ifdef Q_OS_UNIX
    // The running kitten may still be between taking the lock and listening: try again for a
    // while rather than give up at the first refusal.
    const QDeadlineTimer deadline(AnswerTimeoutMs);
    while (!deadline.hasExpired()) {
        if (askToComeForward(m_socketPath, deadline))
            return Claim::Forwarded;
        QThread::msleep(100);
    }
    return Claim::NoAnswer;
#else
    return Claim::First;
#endif
}

void SingleInstance::Listen()
{
#ifdef Q_OS_UNIX
    const auto fail = [this](const char* why) {
        qWarning("Mofurin: cannot listen on %s: %s", qUtf8Printable(m_socketPath), why);
        if (m_listener >= 0)
            ::close(m_listener);
        m_listener = -1;
    };
    sockaddr_un address;
    if (!addressOf(m_socketPath, &address))
        return fail("the path is too long for a socket");
    // A socket file left by a kitten that ended without clean-up would make bind fail; the
    // lock says that kitten is gone.
    ::unlink(address.sun_path);
    m_listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (m_listener < 0)
        return fail(std::strerror(errno));
    // Only this user may ask: the socket is created without access for anyone else.
    const mode_t previous = ::umask(0077);
    const bool bound =
        ::bind(m_listener, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
    ::umask(previous);
    if (!bound || ::listen(m_listener, 4) != 0)
        return fail(std::strerror(errno));
    m_accepting = new QSocketNotifier(qintptr(m_listener), QSocketNotifier::Read, this);
    connect(m_accepting, &QSocketNotifier::activated, this, &SingleInstance::Accept);
#endif
}

void SingleInstance::Accept()
{
#ifdef Q_OS_UNIX
    for (;;) {
        const int fd = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0)
            return;
        auto* readable = new QSocketNotifier(qintptr(fd), QSocketNotifier::Read, this);
        m_callers[fd] = Caller{readable, {}};
        connect(readable, &QSocketNotifier::activated, this, [this, fd] { Read(fd); });
        // A caller that never finishes its line is not waited for.
        QTimer::singleShot(AnswerTimeoutMs, readable, [this, fd, readable] {
            const auto caller = m_callers.find(fd);
            if (caller != m_callers.end() && caller->second.readable == readable)
                HangUp(fd);
        });
    }
#endif
}

void SingleInstance::Read(int fd)
{
#ifdef Q_OS_UNIX
    const auto caller = m_callers.find(fd);
    if (caller == m_callers.end())
        return;
    QByteArray& received = caller->second.received;
    char buffer[64];
    const ssize_t got = ::recv(fd, buffer, sizeof(buffer), 0);
    if (got < 0 && (errno == EAGAIN || errno == EINTR))
        return;
    if (got > 0)
        received.append(buffer, got);
    // Only the one request is understood; anything else, or a line that does not come, ends
    // the call.
    if (got > 0 && received.size() < Request.size() && !received.contains('\n'))
        return;
    if (received.left(Request.size()) == Request) {
        emit ComeForward();
        ::send(fd, Answer.constData(), size_t(Answer.size()), MSG_NOSIGNAL);
    }
    HangUp(fd);
#else
    Q_UNUSED(fd);
#endif
}

void SingleInstance::HangUp(int fd)
{
#ifdef Q_OS_UNIX
    const auto caller = m_callers.find(fd);
    if (caller == m_callers.end())
        return;
    // The notifier goes later: this may run inside its own signal.
    caller->second.readable->setEnabled(false);
    caller->second.readable->deleteLater();
    m_callers.erase(caller);
    ::close(fd);
#else
    Q_UNUSED(fd);
#endif
}
