// The push watcher against a stand-in IMAP server: when it idles and for how long, when it asks
// for a check, how it reconnects, and that it ends at once. Pauses are recorded and shortened,
// so the schedule of minutes runs in milliseconds.
#include "mail/PushWatcher.h"

#include "mail/AutoCheck.h"
#include "nmail/NMail.h"
#include "platform/ConnectivityEvents.h"
#include "support/FakeAccountSource.h"
#include "support/RecordingMailLibrary.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>

namespace {

// An IMAP server as the watcher reaches it through the library (POP3 calls as the recording
// stand-in answers them; the watcher makes none). IDLE waits until the test announces a change
// or drops the connection, the period runs out, or the watcher cancels.
class FakeImapLibrary : public RecordingLibrary
{
public:
    // Scripted; change under lock() while the watcher runs.
    bool refuseConnect = false;
    int32_t hasIdle = 1;
    QList<QByteArray> unseen{"7/1"};
    int idleCutMs = -1;    // when set, every IDLE's period runs out after this many ms
    QList<int32_t> logins; // what the logins answer in turn before they succeed

    std::unique_lock<std::mutex> lock() { return std::unique_lock(m_mutex); }

    // What the watcher did, in order: "connect ADDRESS", "login USER PASS", "idle MS",
    // "refresh", "cancel", "close"; a copy that shares nothing with the list the watcher's
    // thread appends to.
    QStringList log()
    {
        const auto held = lock();
        return QStringList(m_calls.cbegin(), m_calls.cend());
    }
    qsizetype count(const QString& prefix)
    {
        const QStringList all = log();
        return std::count_if(all.begin(), all.end(),
                             [&](const QString& call) { return call.startsWith(prefix); });
    }
    void announce(const QList<QByteArray>& nowUnseen)
    {
        const auto held = lock();
        unseen = nowUnseen;
        m_announced = true;
        m_wake.notify_all();
    }
    void drop()
    {
        const auto held = lock();
        m_dropped = true;
        m_wake.notify_all();
    }

    int32_t Pop3NewHandle() override
    {
        const auto held = lock();
        m_cancelled = false;
        m_dropped = false;
        return ++m_handle;
    }
    int32_t ImapConnectHandle(int32_t, const char* address) override
    {
        const auto held = lock();
        m_calls << QStringLiteral("connect %1").arg(QString::fromUtf8(address));
        return refuseConnect || m_cancelled ? NMAIL_ERR_CONNECT : NMAIL_OK;
    }
    int32_t ImapAuthenticate(int32_t, const char* user, const char* secret, int32_t how) override
    {
        const auto held = lock();
        m_calls << QStringLiteral("login %1 %2 %3")
                       .arg(QString::fromUtf8(user), QString::fromUtf8(secret))
                       .arg(how);
        if (m_cancelled)
            return NMAIL_ERR_CLOSED;
        return logins.isEmpty() ? int32_t(unseen.size()) : logins.takeFirst();
    }
    int32_t ImapHasIdle(int32_t) override
    {
        const auto held = lock();
        return hasIdle;
    }
    int32_t ImapGetUnseenId(int32_t, int32_t index, char* buffer) override
    {
        const auto held = lock();
        if (index < 1 || index > unseen.size())
            return NMAIL_ERR_ARGUMENT;
        std::strcpy(buffer, unseen.at(index - 1).constData());
        return NMAIL_OK;
    }
    int32_t ImapIdle(int32_t, int32_t timeoutMs) override
    {
        auto held = lock();
        m_calls << QStringLiteral("idle %1").arg(timeoutMs);
        const int period = idleCutMs >= 0 ? std::min(idleCutMs, timeoutMs) : timeoutMs;
        const bool woken = m_wake.wait_for(held, std::chrono::milliseconds(period), [this] {
            return m_announced || m_dropped || m_cancelled;
        });
        if (m_cancelled || m_dropped)
            return NMAIL_ERR_CLOSED;
        if (!woken)
            return 0;
        m_announced = false;
        return 1;
    }
    int32_t ImapRefresh(int32_t) override
    {
        const auto held = lock();
        m_calls << QStringLiteral("refresh");
        return int32_t(unseen.size());
    }
    int32_t Pop3Cancel(int32_t) override
    {
        const auto held = lock();
        m_calls << QStringLiteral("cancel");
        m_cancelled = true;
        m_wake.notify_all();
        return NMAIL_OK;
    }
    int32_t Pop3Close(int32_t) override
    {
        const auto held = lock();
        m_calls << QStringLiteral("close");
        return NMAIL_OK;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_wake;
    QStringList m_calls;
    int32_t m_handle = 0;
    bool m_announced = false;
    bool m_dropped = false;
    bool m_cancelled = false;
};

// Runs the event loop until done() or the time is up; whether done() came true.
bool waitFor(const std::function<bool()>& done, int ms = 5000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

PushWatcher::Setup imapSetup(const QString& server = QStringLiteral("imaps://mail.example.jp"))
{
    return {true, server, server, QStringLiteral("neko"), QStringLiteral("mofu"), {}, nullptr};
}

// The pauses the watcher chose, each waited for a millisecond only.
struct RecordedPauses
{
    std::mutex mutex;
    QList<int> pauses;
    PushWatcher::Timing timing()
    {
        PushWatcher::Timing timing;
        timing.pauseMs = [this](int ms) {
            const std::lock_guard held(mutex);
            pauses << ms;
            return 1;
        };
        return timing;
    }
    QList<int> taken()
    {
        const std::lock_guard held(mutex);
        return QList<int>(pauses.cbegin(), pauses.cend());
    }
};

} // namespace

TEST(PushWatcher, WatchesOnlyAnImapServerThatListsIdleWhileAutomaticChecksAreOn)
{
    // RFC 2177: IDLE is to be renewed within 29 minutes.
    EXPECT_LT(PushWatcher::Timing{}.idleMs, 29 * 60 * 1000);

    struct Row
    {
        PushWatcher::Setup setup;
        bool applies;
    };
    PushWatcher::Setup off = imapSetup();
    off.autoCheck = false;
    PushWatcher::Setup noPassword = imapSetup();
    noPassword.password.clear();
    const Row rows[] = {
        {imapSetup(), true},
        {imapSetup(QStringLiteral("imap://mail.example.jp")), true},
        {imapSetup(QStringLiteral(" IMAP+STARTTLS://mail.example.jp:1143/Lists")), true},
        {off, false},
        {noPassword, false},
        {imapSetup(QStringLiteral("pop3s://mail.example.jp")), false},
        {imapSetup(QStringLiteral("mail.example.jp")), false},
        {imapSetup(QStringLiteral("imapx://mail.example.jp")), false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(qPrintable(row.setup.server));
        EXPECT_EQ(PushWatcher::Applies(row.setup), row.applies);
        FakeImapLibrary library;
        int checks = 0;
        PushWatcher watcher(library, [&] {
            ++checks;
            return true;
        });
        watcher.configure(row.setup);
        if (!row.applies) {
            EXPECT_EQ(watcher.state(), PushWatcher::State::Off);
            EXPECT_TRUE(library.log().isEmpty());
        }
    }

    // A server without IDLE: logged out, never idled on, no check asked for, no retry.
    FakeImapLibrary library;
    library.hasIdle = 0;
    int checks = 0;
    PushWatcher watcher(library, [&] {
        ++checks;
        return true;
    });
    watcher.configure(imapSetup());
    ASSERT_TRUE(waitFor([&] { return watcher.state() == PushWatcher::State::WithoutIdle; }));
    waitFor([] { return false; }, 50);
    EXPECT_EQ(library.log(),
              QStringList({QStringLiteral("connect imaps://mail.example.jp"),
                           QStringLiteral("login neko mofu 0"), QStringLiteral("close")}));
    EXPECT_EQ(checks, 0);
}

TEST(PushWatcher, IdlesAgainEachPeriodAndAsksForACheckOnlyForNewMail)
{
    FakeImapLibrary library;
    library.idleCutMs = 2;
    int checks = 0;
    bool checkRunning = false;
    PushWatcher::Timing timing;
    timing.idleMs = 1234;
    timing.checkRetryMs = 20;
    PushWatcher watcher(
        library,
        [&] {
            if (checkRunning)
                return false;
            ++checks;
            return true;
        },
        nullptr, timing);
    // The automatic check's clock rests while the connection idles, and only then.
    AutoCheck clock([] {});
    clock.setMinutes(1);
    watcher.onIdling([&](bool idling) { clock.setHeld(idling); });
    watcher.configure(imapSetup());

    // IDLE after IDLE with the period asked for, on the one connection, and nothing between.
    ASSERT_TRUE(waitFor([&] { return library.count(QStringLiteral("idle")) >= 5; }));
    EXPECT_TRUE(waitFor([&] { return !clock.running(); }));
    clock.setMinutes(5); // the option changed meanwhile: still resting
    EXPECT_FALSE(clock.running());
    for (const QString& call : library.log().mid(2))
        EXPECT_EQ(call, QStringLiteral("idle 1234"));
    // The one check once the connection stood, for what came while nobody listened.
    ASSERT_TRUE(waitFor([&] { return checks == 1; }));

    {
        const auto held = library.lock();
        library.idleCutMs = -1;
    }
    // A message read elsewhere changes the mailbox, but brings nothing new.
    library.announce({});
    ASSERT_TRUE(waitFor([&] { return library.count(QStringLiteral("refresh")) == 1; }));
    waitFor([] { return false; }, 50);
    EXPECT_EQ(checks, 1);
    // New mail, while another check runs: asked for again once that one is done.
    checkRunning = true;
    library.announce({"7/2"});
    ASSERT_TRUE(waitFor([&] { return library.count(QStringLiteral("refresh")) == 2; }));
    waitFor([] { return false; }, 100);
    EXPECT_EQ(checks, 1);
    checkRunning = false;
    EXPECT_TRUE(waitFor([&] { return checks == 2; }));
    EXPECT_EQ(library.count(QStringLiteral("connect")), 1);
    watcher.end();
    EXPECT_TRUE(clock.running());
    EXPECT_EQ(clock.minutes(), 5);
}

TEST(PushWatcher, ReconnectsWithPausesFromFiveSecondsToFiveMinutes)
{
    FakeImapLibrary library;
    library.refuseConnect = true;
    RecordedPauses recorded;
    PushWatcher::Timing timing = recorded.timing();
    std::atomic<qint64> clock{0};
    timing.clockMs = [&] { return clock.load(); };
    int checks = 0;
    PushWatcher watcher(
        library,
        [&] {
            ++checks;
            return true;
        },
        nullptr, timing);
    watcher.configure(imapSetup());

    ASSERT_TRUE(waitFor([&] { return recorded.taken().size() >= 9; }));
    EXPECT_EQ(recorded.taken().mid(0, 9),
              QList<int>({5000, 10000, 20000, 40000, 80000, 160000, 300000, 300000, 300000}));
    // The failure is told once (by the check it asks for), not at every attempt.
    waitFor([] { return false; }, 20);
    EXPECT_EQ(checks, 1);

    // The server is back: the connection stands, and a check reports what came meanwhile.
    {
        const auto held = library.lock();
        library.refuseConnect = false;
    }
    ASSERT_TRUE(waitFor([&] { return watcher.state() == PushWatcher::State::Idling; }));
    EXPECT_TRUE(waitFor([&] { return checks == 2; }));
    // It stood long enough to be trusted: after its drop the pauses start again from the first.
    clock += 60 * 1000;
    const qsizetype before = recorded.taken().size();
    library.drop();
    ASSERT_TRUE(waitFor([&] { return recorded.taken().size() > before; }));
    EXPECT_EQ(recorded.taken().at(before), 5000);
    ASSERT_TRUE(waitFor([&] { return watcher.state() == PushWatcher::State::Idling; }));
    EXPECT_TRUE(waitFor([&] { return checks == 3; }));
}

TEST(PushWatcher, NetworkBackAndResumeReconnectAtOnce)
{
    FakeImapLibrary library;
    ConnectivityEvents events;
    int checks = 0;
    // The real pauses: five seconds and more.
    PushWatcher watcher(
        library,
        [&] {
            ++checks;
            return true;
        },
        &events);
    watcher.configure(imapSetup());
    ASSERT_TRUE(waitFor([&] { return watcher.state() == PushWatcher::State::Idling; }));

    QElapsedTimer elapsed;
    elapsed.start();
    emit events.networkBack();
    ASSERT_TRUE(waitFor([&] { return library.count(QStringLiteral("connect")) == 2; }, 2000));
    EXPECT_LT(elapsed.elapsed(), 2000);
    ASSERT_TRUE(waitFor([&] { return watcher.state() == PushWatcher::State::Idling; }));
    EXPECT_TRUE(waitFor([&] { return checks == 2; }));

    // Dropped while the network was away: pausing five seconds, until the system resumes.
    library.drop();
    ASSERT_TRUE(waitFor([&] { return watcher.state() == PushWatcher::State::Pausing; }));
    elapsed.restart();
    emit events.resumed();
    ASSERT_TRUE(waitFor([&] { return library.count(QStringLiteral("connect")) == 3; }, 2000));
    EXPECT_LT(elapsed.elapsed(), 2000);
    EXPECT_TRUE(waitFor([&] { return watcher.state() == PushWatcher::State::Idling; }));
}

TEST(PushWatcher, EndsAtOnceAndStartsAgainForAnotherServer)
{
    FakeImapLibrary library;
    int checks = 0;
    PushWatcher watcher(library, [&] {
        ++checks;
        return true;
    });
    watcher.configure(imapSetup());
    ASSERT_TRUE(waitFor([&] { return watcher.state() == PushWatcher::State::Idling; }));

    // The same setup again changes nothing; another server is watched instead.
    watcher.configure(imapSetup());
    const QString other = QStringLiteral("imap://mail.example.com/Lists");
    watcher.configure(imapSetup(other));
    ASSERT_TRUE(waitFor([&] { return watcher.state() == PushWatcher::State::Idling; }));
    EXPECT_EQ(library.count(QStringLiteral("connect")), 2);
    EXPECT_EQ(library.log().filter(QStringLiteral("connect")).last(),
              QStringLiteral("connect ") + other);

    // Idling: cancelled and joined at once.
    QElapsedTimer elapsed;
    elapsed.start();
    watcher.end();
    EXPECT_LT(elapsed.elapsed(), 1000);
    EXPECT_EQ(watcher.state(), PushWatcher::State::Off);
    EXPECT_TRUE(library.log().contains(QStringLiteral("cancel")));

    // Pausing for minutes: the same. And automatic checks turned off end it too.
    {
        const auto held = library.lock();
        library.refuseConnect = true;
    }
    watcher.configure(imapSetup());
    ASSERT_TRUE(waitFor([&] { return watcher.state() == PushWatcher::State::Pausing; }));
    elapsed.restart();
    PushWatcher::Setup off = imapSetup();
    off.autoCheck = false;
    watcher.configure(off);
    EXPECT_LT(elapsed.elapsed(), 1000);
    EXPECT_EQ(watcher.state(), PushWatcher::State::Off);
}

// A desktop account: the watcher connects to the service's server and logs in with its token,
// renewed once when the server refuses it, as the check does.
TEST(PushWatcher, ADesktopAccountConnectsWithTheServicesServerAndToken)
{
    FakeImapLibrary library;
    library.encryptedAnswer = 1;
    library.logins = {NMAIL_ERR_TOKEN_REFUSED};
    FakeAccountSource accounts;
    accounts.list = {FakeAccountSource::OAuth2Account(QStringLiteral("account_1"),
                                                      QStringLiteral("imap.example.jp"))};
    PushWatcher::Setup setup;
    setup.autoCheck = true;
    setup.server = QStringLiteral("goa:account_1");
    setup.desktopAccountId = QStringLiteral("account_1");
    setup.accounts = &accounts;
    EXPECT_TRUE(PushWatcher::Applies(setup));
    int checks = 0;
    PushWatcher watcher(library, [&] {
        ++checks;
        return true;
    });
    watcher.configure(setup);
    ASSERT_TRUE(waitFor([&] { return watcher.state() == PushWatcher::State::Idling; }));
    EXPECT_EQ(library.log().mid(0, 3),
              QStringList({QStringLiteral("connect imaps://imap.example.jp"),
                           QStringLiteral("login kitten@example.com token-0 1"),
                           QStringLiteral("login kitten@example.com token-1 1")}));
    watcher.end();
}
