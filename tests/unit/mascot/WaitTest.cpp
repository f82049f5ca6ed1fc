#include "mascot/Wait.h"

#include "support/ChangedServices.h"

#include <QElapsedTimer>
#include <QTimer>
#include <gtest/gtest.h>
#include <sys/resource.h>

namespace {
qint64 cpuMicroseconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000000LL + usage.ru_utime.tv_usec +
           usage.ru_stime.tv_usec;
}
} // namespace

TEST(Wait, EndsStrictlyAfterTheTimeAndKeepsEventsFlowing)
{
    int fired = 0;
    QTimer ticker;
    ticker.setInterval(10);
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++fired; });
    ticker.start();

    QElapsedTimer clock;
    clock.start();
    const qint64 cpuBefore = cpuMicroseconds();
    Wait(200);
    const qint64 cpu = cpuMicroseconds() - cpuBefore;
    EXPECT_GT(clock.elapsed(), 200);
    EXPECT_LT(clock.elapsed(), 1000);
    // Other timers kept firing during the wait.
    EXPECT_GE(fired, 5);
    // Sleeping in the event loop, not spinning: far less CPU than the wall time.
    EXPECT_LT(cpu, 100 * 1000);
}

TEST(Wait, ZeroAndNegativeTimesStillProcessEventsOnce)
{
    bool delivered = false;
    QTimer::singleShot(0, [&] { delivered = true; });
    QElapsedTimer clock;
    clock.start();
    Wait(-5);
    EXPECT_TRUE(delivered);
    EXPECT_LT(clock.elapsed(), 100);

    clock.restart();
    Wait(0);
    EXPECT_GE(clock.elapsed(), 1);
    EXPECT_LT(clock.elapsed(), 100);
}

TEST(Wait, AClockNearTheThirtyTwoBitMidpointStillEnds)
{
    // A millisecond clock that crosses 2^31 during the wait: the difference is taken in 64 bits,
    // so the wait neither ends early nor runs forever.
    QElapsedTimer real;
    real.start();
    QElapsedTimer clock;
    {
        const ChangedServices inUse([&](Services& s) {
            s.clock = [&] { return qint64(0x7FFFFFFF) - 50 + real.elapsed(); };
        });
        clock.start();
        Wait(120);
    }
    EXPECT_GT(clock.elapsed(), 120);
    EXPECT_LT(clock.elapsed(), 1000);
}
