#include "mail/PushWatcher.h"

#include "mail/MailLibrary.h"
#include "nmail/NMail.h"
#include "platform/ConnectivityEvents.h"
#include "platform/OnlineAccounts.h"

#include <algorithm>
#include <chrono>
#include <utility>
#include <vector>

namespace {

// As large as the library's text buffers (its default); an id is "UIDVALIDITY/UID".
constexpr int32_t IdBufferSize = 8192;

// The pauses between attempts: the first, then each twice the one before, up to the longest.
class Backoff
{
public:
    Backoff(int first, int longest) : m_first(first), m_longest(longest), m_next(first) {}
    int next()
    {
        const int pause = m_next;
        m_next = int(std::min<qint64>(m_longest, qint64(m_next) * 2));
        return pause;
    }
    void reset() { m_next = m_first; }

private:
    int m_first;
    int m_longest;
    int m_next;
};

} // namespace

PushWatcher::PushWatcher(MailLibrary& library, std::function<bool()> check,
                         ConnectivityEvents* events, Timing timing, QObject* parent)
    : QObject(parent), m_library(library), m_check(std::move(check)), m_timing(std::move(timing))
{
    m_checkRetry.setSingleShot(true);
    connect(&m_checkRetry, &QTimer::timeout, this, &PushWatcher::askCheck);
    if (events) {
        connect(events, &ConnectivityEvents::networkBack, this, &PushWatcher::reconnectNow);
        connect(events, &ConnectivityEvents::resumed, this, &PushWatcher::reconnectNow);
    }
}

PushWatcher::~PushWatcher()
{
    end();
}

bool PushWatcher::IsImapAddress(const QString& server)
{
    const QString text = server.trimmed();
    for (const char* scheme : {"imap://", "imap+starttls://", "imaps://"}) {
        if (text.startsWith(QLatin1String(scheme), Qt::CaseInsensitive))
            return true;
    }
    return false;
}

bool PushWatcher::Applies(const Setup& setup)
{
    if (!setup.desktopAccountId.isEmpty())
        return setup.autoCheck && setup.accounts;
    return setup.autoCheck && IsImapAddress(setup.server) && !setup.user.isEmpty() &&
           !setup.password.isEmpty();
}

bool PushWatcher::stopping() const
{
    const std::lock_guard held(m_mutex);
    return m_ending || m_reconnectNow;
}

void PushWatcher::configure(const Setup& setup)
{
    if (!Applies(setup)) {
        end();
        return;
    }
    if (m_watched == setup)
        return;
    end();
    m_watched = setup;
    setState(State::Connecting);
    const quint64 generation = ++m_generation;
    m_thread = std::thread([this, setup, generation] { run(setup, generation); });
}

void PushWatcher::end()
{
    {
        const std::lock_guard lock(m_mutex);
        m_ending = true;
        if (m_handle >= 0)
            m_library.Pop3Cancel(m_handle);
    }
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
    bool wasIdling = false;
    {
        const std::lock_guard lock(m_mutex);
        m_ending = false;
        m_reconnectNow = false;
        wasIdling = m_state == State::Idling;
        m_state = State::Off;
    }
    // On this thread already: the clock is let go before anything else can ask.
    if (wasIdling && m_idling)
        m_idling(false);
    m_watched.reset();
    ++m_generation;
    m_checkRetry.stop();
}

void PushWatcher::reconnectNow()
{
    const std::lock_guard lock(m_mutex);
    if (!m_thread.joinable() || m_state == State::Off || m_state == State::WithoutIdle)
        return;
    m_reconnectNow = true;
    if (m_handle >= 0)
        m_library.Pop3Cancel(m_handle);
    m_wake.notify_all();
}

PushWatcher::State PushWatcher::state() const
{
    const std::lock_guard lock(m_mutex);
    return m_state;
}

void PushWatcher::setState(State state)
{
    bool wasIdling = false;
    {
        const std::lock_guard lock(m_mutex);
        wasIdling = m_state == State::Idling;
        m_state = state;
    }
    const bool idling = state == State::Idling;
    if (idling != wasIdling)
        QMetaObject::invokeMethod(
            this,
            [this, idling] {
                if (m_idling)
                    m_idling(idling);
            },
            Qt::QueuedConnection);
}

bool PushWatcher::setHandle(int32_t handle)
{
    const std::lock_guard lock(m_mutex);
    m_handle = handle;
    // Asked to end or reconnect before the handle was there to cancel.
    if (handle >= 0 && (m_ending || m_reconnectNow)) {
        m_library.Pop3Cancel(handle);
        return false;
    }
    return true;
}

qint64 PushWatcher::now() const
{
    if (m_timing.clockMs)
        return m_timing.clockMs();
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void PushWatcher::askCheck()
{
    if (!m_check || m_check())
        return;
    // A check runs: it may have counted before the new message came, so ask once it is done.
    m_checkRetry.start(m_timing.checkRetryMs);
}

void PushWatcher::askCheckFromWorker(quint64 generation)
{
    QMetaObject::invokeMethod(
        this,
        [this, generation] {
            if (generation == m_generation)
                askCheck();
        },
        Qt::QueuedConnection);
}

void PushWatcher::run(Setup setup, quint64 generation)
{
    Backoff backoff(m_timing.firstRetryMs, m_timing.maxRetryMs);
    // A failure to connect is told once (by the check it asks for) until a connection stands.
    bool failureTold = false;
    for (;;) {
        qint64 establishedAt = -1;
        const Ending ending = session(setup, generation, establishedAt);
        if (ending == Ending::WithoutIdle) {
            setState(State::WithoutIdle);
            return;
        }
        if (establishedAt >= 0) {
            failureTold = false;
            if (now() - establishedAt >= m_timing.stableMs)
                backoff.reset();
        }
        bool atOnce = false;
        {
            const std::lock_guard lock(m_mutex);
            if (m_ending)
                return;
            atOnce = std::exchange(m_reconnectNow, false);
        }
        if (atOnce) {
            backoff.reset();
            continue;
        }
        if (ending == Ending::Failed && !failureTold) {
            failureTold = true;
            askCheckFromWorker(generation);
        }
        const int pause = backoff.next();
        const int wait = m_timing.pauseMs ? m_timing.pauseMs(pause) : pause;
        std::unique_lock lock(m_mutex);
        m_state = State::Pausing;
        m_wake.wait_for(lock, std::chrono::milliseconds(wait),
                        [this] { return m_ending || m_reconnectNow; });
        if (m_ending)
            return;
        if (std::exchange(m_reconnectNow, false))
            backoff.reset();
    }
}

PushWatcher::Ending PushWatcher::session(const Setup& setup, quint64 generation,
                                         qint64& establishedAt)
{
    setState(State::Connecting);
    // A desktop account's server is the service's, asked for afresh at every connect.
    std::optional<OnlineAccount> desktop;
    QString server = setup.address;
    if (!setup.desktopAccountId.isEmpty()) {
        QString error;
        desktop = setup.accounts->find(setup.desktopAccountId, &error, nullptr,
                                       [this] { return stopping(); });
        if (!desktop)
            return Ending::Failed;
        server = desktop->serverAddress();
    }
    // The handle comes first, so that end() and reconnectNow() reach the connect too.
    const int32_t handle = m_library.Pop3NewHandle();
    if (handle < 0)
        return Ending::Failed;
    setHandle(handle);
    const QByteArray address = server.toUtf8();
    if (m_library.ImapConnectHandle(handle, address.constData()) < 0) {
        // The library released the handle.
        setHandle(-1);
        return Ending::Failed;
    }
    // Ends the connection on every path from here. A connection that broke is cancelled first,
    // so that closing it does not wait for an answer to LOGOUT that will not come.
    const auto close = [this, handle](bool broken) {
        if (broken)
            m_library.Pop3Cancel(handle);
        m_library.Pop3Close(handle);
        setHandle(-1);
    };

    int32_t count = NMAIL_ERR_LOGIN;
    if (desktop) {
        count = logInWithDesktopAccount(handle, setup, *desktop);
    } else {
        const QByteArray user = setup.user.toUtf8();
        const QByteArray password = setup.password.toUtf8();
        count = m_library.ImapAuthenticate(handle, user.constData(), password.constData(),
                                           NMAIL_IMAP_PASSWORD);
    }
    if (count < 0) {
        close(false);
        return Ending::Failed;
    }
    const int32_t idle = m_library.ImapHasIdle(handle);
    if (idle != 1) {
        close(false);
        return idle == 0 ? Ending::WithoutIdle : Ending::Failed;
    }
    std::optional<QSet<QByteArray>> known = unseenIds(handle, count);
    establishedAt = now();
    // Mail may have come while nobody listened: at start, or while the connection was down.
    askCheckFromWorker(generation);

    for (;;) {
        setState(State::Idling);
        const int32_t announced = m_library.ImapIdle(handle, m_timing.idleMs);
        if (announced < 0)
            break;
        if (announced == 0) // the period ran out: IDLE again
            continue;
        // Something changed. Only a message that was not unseen before is news: a message read
        // or deleted elsewhere changes the mailbox too, and asks for no check.
        count = m_library.ImapRefresh(handle);
        if (count < 0)
            break;
        std::optional<QSet<QByteArray>> now = unseenIds(handle, count);
        if (!known || !now || !QSet<QByteArray>(*now).subtract(*known).isEmpty())
            askCheckFromWorker(generation);
        known = std::move(now);
    }
    close(true);
    return Ending::Lost;
}

// As the check logs in with a desktop account: the credentials over TLS alone, a refused token
// renewed once. The check itself tells the user what went wrong.
int32_t PushWatcher::logInWithDesktopAccount(int32_t handle, const Setup& setup,
                                             const OnlineAccount& account)
{
    if (m_library.Pop3IsEncrypted(handle) != 1)
        return NMAIL_ERR_TLS_MISSING;
    const QByteArray user = account.imapUser.toUtf8();
    int32_t count = NMAIL_ERR_LOGIN;
    for (const bool renew : {false, true}) {
        const AccountCredentials credentials =
            setup.accounts->credentials(account, renew, [this] { return stopping(); });
        if (!credentials.error.isEmpty() || stopping())
            return NMAIL_ERR_LOGIN;
        count = m_library.ImapAuthenticate(handle, user.constData(), credentials.secret.constData(),
                                           credentials.login == OnlineAccount::Login::OAuth2
                                               ? NMAIL_IMAP_BEARER
                                               : NMAIL_IMAP_PASSWORD);
        if (count != NMAIL_ERR_TOKEN_REFUSED)
            break;
    }
    return count;
}

// The ids of the unseen messages, as the last login or refresh found them; none when the
// library could not tell one of them.
std::optional<QSet<QByteArray>> PushWatcher::unseenIds(int32_t handle, int32_t count)
{
    QSet<QByteArray> ids;
    std::vector<char> buffer(IdBufferSize, '\0');
    for (int32_t index = 1; index <= count; ++index) {
        buffer.front() = '\0';
        if (m_library.ImapGetUnseenId(handle, index, buffer.data()) < 0)
            return std::nullopt;
        buffer.back() = '\0';
        ids.insert(QByteArray(buffer.data()));
    }
    return ids;
}
