// Non-blocking connects watched with poll(), so that several attempts run at once without an
// event loop: the session is used blocking, and an event loop here would run the caller's
// other handlers in the middle of a mail check.
#include "ConnectRace.h"

#include "Failures.h"
#include "nmail/NMail.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace nmail {

namespace {

struct Attempt
{
    int fd;
    QHostAddress address;
};

QList<QHostAddress> interleaved(const QList<QHostAddress>& addresses)
{
    QList<QHostAddress> first;
    QList<QHostAddress> other;
    const auto family = addresses.first().protocol();
    for (const QHostAddress& address : addresses) {
        (address.protocol() == family ? first : other).append(address);
    }
    QList<QHostAddress> order;
    for (qsizetype i = 0; i < qMax(first.size(), other.size()); ++i) {
        if (i < first.size()) {
            order.append(first[i]);
        }
        if (i < other.size()) {
            order.append(other[i]);
        }
    }
    return order;
}

bool toSockaddr(const QHostAddress& address, quint16 port, sockaddr_storage* out, socklen_t* length)
{
    std::memset(out, 0, sizeof *out);
    if (address.protocol() == QAbstractSocket::IPv4Protocol) {
        auto* v4 = reinterpret_cast<sockaddr_in*>(out);
        v4->sin_family = AF_INET;
        v4->sin_port = htons(port);
        v4->sin_addr.s_addr = htonl(address.toIPv4Address());
        *length = sizeof *v4;
        return true;
    }
    if (address.protocol() == QAbstractSocket::IPv6Protocol) {
        auto* v6 = reinterpret_cast<sockaddr_in6*>(out);
        v6->sin6_family = AF_INET6;
        v6->sin6_port = htons(port);
        const Q_IPV6ADDR bytes = address.toIPv6Address();
        std::memcpy(&v6->sin6_addr, bytes.c, sizeof bytes.c);
        const QString scope = address.scopeId();
        if (!scope.isEmpty()) {
            bool numeric = false;
            v6->sin6_scope_id = scope.toUInt(&numeric);
            if (!numeric) {
                v6->sin6_scope_id = ::if_nametoindex(scope.toLocal8Bit().constData());
            }
        }
        *length = sizeof *v6;
        return true;
    }
    return false;
}

QString systemText(int error)
{
    return QString::fromStdString(std::error_code(error, std::generic_category()).message());
}

// Starts a connect. The descriptor, or -1 with *error set when the attempt failed at once;
// *connected tells whether it connected at once (loopback may).
int start(const QHostAddress& address, quint16 port, bool* connected, int* error)
{
    *connected = false;
    sockaddr_storage target;
    socklen_t length = 0;
    if (!toSockaddr(address, port, &target, &length)) {
        *error = EAFNOSUPPORT;
        return -1;
    }
    const int fd = ::socket(target.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        *error = errno;
        return -1;
    }
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&target), length) == 0) {
        *connected = true;
        return fd;
    }
    if (errno == EINPROGRESS || errno == EINTR) {
        return fd;
    }
    *error = errno;
    ::close(fd);
    return -1;
}

} // namespace

void closeDescriptor(qintptr descriptor)
{
    if (descriptor >= 0) {
        ::close(int(descriptor));
    }
}

Result<RaceWinner> raceConnect(const QList<QHostAddress>& addresses, quint16 port,
                               const QDeadlineTimer& deadline, const Cancellation* cancel,
                               int staggerMs)
{
    const QList<QHostAddress> order = addresses.isEmpty() ? addresses : interleaved(addresses);
    std::vector<Attempt> running;
    const auto closeRunning = [&running] {
        for (const Attempt& attempt : running) {
            ::close(attempt.fd);
        }
        running.clear();
    };
    qsizetype next = 0;
    int lastError = EHOSTUNREACH;
    QDeadlineTimer nextStart(0);
    for (;;) {
        if (cancel && cancel->cancelled()) {
            closeRunning();
            return failure(Why::Cancelled);
        }
        if (next < order.size() && (running.empty() || nextStart.hasExpired())) {
            bool connected = false;
            const QHostAddress& address = order[next++];
            const int fd = start(address, port, &connected, &lastError);
            if (fd >= 0 && connected) {
                closeRunning();
                return RaceWinner{fd, address};
            }
            if (fd >= 0) {
                running.push_back({fd, address});
                nextStart = QDeadlineTimer(staggerMs);
            } else {
                nextStart = QDeadlineTimer(0);
            }
            continue;
        }
        if (running.empty()) {
            return failure(Why::ConnectFailed, systemText(lastError));
        }
        if (deadline.hasExpired()) {
            closeRunning();
            return failure(Why::ConnectTimedOut);
        }
        qint64 wait = deadline.remainingTime();
        if (next < order.size()) {
            wait = wait < 0 ? nextStart.remainingTime() : qMin(wait, nextStart.remainingTime());
        }
        std::vector<pollfd> watched;
        for (const Attempt& attempt : running) {
            watched.push_back({attempt.fd, POLLOUT, 0});
        }
        if (pollOrCancel(watched, int(qMin<qint64>(wait, INT32_MAX)), cancel) < 0) {
            if (errno == EINTR) {
                continue;
            }
            lastError = errno;
            closeRunning();
            return failure(Why::ConnectFailed, systemText(lastError));
        }
        if (cancel && cancel->cancelled()) {
            continue; // closed and told at the top
        }
        // Watched in the order they started: on a tie the earlier, preferred address wins.
        for (size_t i = 0; i < watched.size(); ++i) {
            if (watched[i].revents == 0) {
                continue;
            }
            int error = 0;
            socklen_t length = sizeof error;
            if (::getsockopt(watched[i].fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) {
                error = errno;
            }
            if (error == 0) {
                RaceWinner winner{watched[i].fd, running[i].address};
                running.erase(running.begin() + qsizetype(i));
                closeRunning();
                return winner;
            }
            // A failed attempt hands its turn to the next address at once.
            lastError = error;
            ::close(watched[i].fd);
            running[i].fd = -1;
            nextStart = QDeadlineTimer(0);
        }
        running.erase(std::remove_if(running.begin(), running.end(),
                                     [](const Attempt& attempt) { return attempt.fd < 0; }),
                      running.end());
    }
}

} // namespace nmail
