// The worker thread: a check cancelled while it waits on the server ends at once and leaves
// no thread behind, at every step from the connect on.
#include "mail/MailCheckRunner.h"

#include "mail/MailLibraryModule.h"
#include "support/RecordingMailLibrary.h"
#include "unit/nmail/BlackHole.h"
#include "unit/nmail/ScriptedServer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <condition_variable>
#include <gtest/gtest.h>
#include <mutex>
#include <optional>
#include <thread>

namespace {

// A server that never answers the login until the check is cancelled.
class HangingLibrary : public RecordingLibrary
{
public:
    int32_t Pop3Authenticate(int32_t, const char*, const char*, int32_t) override
    {
        std::unique_lock lock(m_mutex);
        m_waiting = true;
        m_wake.notify_all();
        m_wake.wait(lock, [this] { return m_cancelled; });
        return NMAIL_ERR_CLOSED;
    }
    int32_t Pop3Cancel(int32_t) override
    {
        const std::lock_guard lock(m_mutex);
        m_cancelled = true;
        m_wake.notify_all();
        return 0;
    }
    void waitUntilWaiting()
    {
        std::unique_lock lock(m_mutex);
        m_wake.wait(lock, [this] { return m_waiting; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_waiting = false;
    bool m_cancelled = false;
};

} // namespace

TEST(MailCheckRunner, ACancelledCheckEndsAtOnceAndLeavesNoThread)
{
    HangingLibrary library;
    MailCheckRunner runner;
    std::optional<MailCheck::Outcome> outcome;
    MailCheck::Request request;
    request.server = QStringLiteral("pop.example.jp");
    ASSERT_TRUE(runner.start(library, request, {QStringLiteral("tama"), QStringLiteral("pw")},
                             {{}, {}, [&](const MailCheck::Outcome& o) { outcome = o; }}));
    EXPECT_FALSE(runner.start(library, request, {}, {})) << "one check at a time";
    library.waitUntilWaiting();
    QElapsedTimer clock;
    clock.start();
    runner.cancel();
    while (!outcome && clock.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    ASSERT_TRUE(outcome.has_value());
    EXPECT_LT(clock.elapsed(), 1000);
    EXPECT_TRUE(outcome->cancelled);
    EXPECT_FALSE(runner.running());
    EXPECT_EQ(library.calls.last(), QStringLiteral("close 7")) << "the connection still closes";
}

// 中止 while the connect waits on a server that keeps silent, each time-out far away: the real
// library through its module, so the cancel has to reach the connect in progress.
TEST(MailCheckRunner, ACancelEndsTheConnectAtEveryStep)
{
    MailLibraryModule library(QStringLiteral(MOFURIN_INSTALL_DIR));
    ASSERT_EQ(library.SetOption(NMAIL_OPTION_CONNECT_TIMEOUT, 20000), NMAIL_OK);
    ASSERT_EQ(library.SetOption(NMAIL_OPTION_REPLY_TIMEOUT, 20000), NMAIL_OK);
    const char* const stlsListed = "+OK\r\nSTLS\r\n.\r\n";
    struct Case
    {
        const char* step;
        const char* scheme;
        const char* greeting; // empty: not a word after the connection
        const char* capa;     // null: CAPA is never answered
        const char* stls;     // null: STLS is never answered
        const char* reached;  // the last command the server must have seen, if any
    };
    const Case cases[] = {
        {"greeting", "", "", nullptr, nullptr, nullptr},
        {"CAPA", "", "+OK ready\r\n", nullptr, nullptr, "CAPA"},
        {"STLS", "", "+OK ready\r\n", stlsListed, nullptr, "STLS"},
        {"TLS handshake after STLS", "", "+OK ready\r\n", stlsListed, "+OK begin\r\n", "STLS"},
        {"TLS handshake of pop3s", "pop3s://", "", nullptr, nullptr, nullptr},
        {"connection race", "", nullptr, nullptr, nullptr, nullptr}, // a black hole
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.step);
        ScriptedServer server(c.greeting ? c.greeting : "", [&c](const std::string& line) {
            const char* answer = line == "CAPA" ? c.capa : line == "STLS" ? c.stls : nullptr;
            return ScriptedServer::Answer{answer ? answer : ""};
        });
        std::optional<BlackHole> hole;
        MailCheck::Request request;
        if (c.greeting) {
            request.server = QString::fromLatin1(c.scheme + server.host());
        } else {
            hole.emplace(0);
            ASSERT_TRUE(hole->ready()) << "no IPv6 loopback to make a black hole on";
            request.server = QStringLiteral("[::1]:%1").arg(hole->port());
        }
        MailCheckRunner runner;
        std::optional<MailCheck::Outcome> outcome;
        ASSERT_TRUE(runner.start(library, request, {QStringLiteral("tama"), QStringLiteral("pw")},
                                 {{}, {}, [&](const MailCheck::Outcome& o) { outcome = o; }}));
        // Until the connect has reached the step, then a moment for it to wait there.
        QElapsedTimer clock;
        clock.start();
        const auto reached = [&] {
            const auto lines = server.lines();
            return c.reached ? std::find(lines.begin(), lines.end(), c.reached) != lines.end()
                             : !c.greeting || server.connections() > 0;
        };
        while (!reached() && clock.elapsed() < 10000)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_TRUE(reached());
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        clock.restart();
        runner.cancel();
        while (!outcome && clock.elapsed() < 30000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        ASSERT_TRUE(outcome.has_value());
        EXPECT_LT(clock.elapsed(), 1000);
        EXPECT_TRUE(outcome->cancelled);
        EXPECT_FALSE(outcome->connected);
        const auto lines = server.lines();
        EXPECT_TRUE(std::none_of(lines.begin(), lines.end(), [](const std::string& line) {
            return line.rfind("USER", 0) == 0;
        }));
    }
}
