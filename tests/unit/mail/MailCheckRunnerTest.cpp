// The worker thread: a check cancelled while it waits on the server ends at once and leaves
// no thread behind.
#include "mail/MailCheckRunner.h"

#include "support/RecordingMailLibrary.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <condition_variable>
#include <gtest/gtest.h>
#include <mutex>
#include <optional>

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
