#pragma once

#include <QtGlobal>
#include <functional>

// A millisecond clock that only moves forward. The default is the system's monotonic clock;
// the services in use (platform/Services.h) may name another.
using MillisecondClock = std::function<qint64()>;
MillisecondClock DefaultMillisecondClock();

// Waits until strictly more than waitTime milliseconds have passed while every window of the
// program keeps handling its events. Events are processed at least once, also for a zero or
// negative time. The thread sleeps in the event loop between events instead of spinning, so a
// meowing kitten costs no CPU.
void Wait(qint32 waitTime);
