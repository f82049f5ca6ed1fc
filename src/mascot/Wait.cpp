#include "mascot/Wait.h"

#include "platform/Services.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <climits>

namespace {
qint64 now()
{
    const MillisecondClock& clock = CurrentServices().clock;
    return clock ? clock() : DefaultMillisecondClock()();
}
} // namespace

MillisecondClock DefaultMillisecondClock()
{
    return [] {
        static QElapsedTimer timer = [] {
            QElapsedTimer t;
            t.start();
            return t;
        }();
        return timer.elapsed();
    };
}

void Wait(qint32 waitTime)
{
    // 64-bit readings of a monotonic clock: the difference can neither wrap nor go negative.
    const qint64 start = now();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    for (;;) {
        const qint64 elapsed = now() - start;
        if (elapsed > waitTime)
            return;
        // Sleep in a nested event loop until the time is up, handling events as they come.
        QEventLoop loop;
        const qint64 remaining = qMin<qint64>(waitTime - elapsed + 1, INT_MAX);
        QTimer::singleShot(static_cast<int>(remaining), Qt::PreciseTimer, &loop, &QEventLoop::quit);
        loop.exec();
    }
}
