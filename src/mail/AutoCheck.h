#pragma once

#include <QObject>
#include <QTimer>
#include <functional>

// The automatic check's clock: every so many minutes it asks for a check, following the option
// as it changes (0 stops it). The check itself is the caller's.
class AutoCheck : public QObject
{
public:
    // msPerMinute: 60000, or less in tests.
    explicit AutoCheck(std::function<void()> check, int msPerMinute = 60000,
                       QObject* parent = nullptr);

    // Restarts the count from now; 0 minutes stops it.
    void setMinutes(int minutes);
    int minutes() const { return m_minutes; }
    // Held, the clock asks for nothing (push reports the mail while it idles); let go, it
    // counts from now again.
    void setHeld(bool held);
    bool running() const { return m_timer.isActive(); }

private:
    std::function<void()> m_check;
    int m_msPerMinute;
    int m_minutes = 0;
    bool m_held = false;
    QTimer m_timer;
};
