#include "mail/AutoCheck.h"

AutoCheck::AutoCheck(std::function<void()> check, int msPerMinute, QObject* parent)
    : QObject(parent), m_check(std::move(check)), m_msPerMinute(msPerMinute)
{
    // A coarse timer: a check a few seconds late costs nothing, and the system may batch the
    // wake-up with others.
    m_timer.setTimerType(Qt::CoarseTimer);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        if (m_check)
            m_check();
    });
}

void AutoCheck::setMinutes(int minutes)
{
    m_minutes = qMax(0, minutes);
    if (m_minutes == 0 || m_held) {
        m_timer.stop();
        return;
    }
    m_timer.start(m_minutes * m_msPerMinute);
}

void AutoCheck::setHeld(bool held)
{
    if (held == m_held)
        return;
    m_held = held;
    setMinutes(m_minutes);
}
