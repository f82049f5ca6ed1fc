#pragma once

#include <QPointer>

// A window that exists at most once: made on first use and forgotten when it is destroyed, or
// when it says it is done (a dialog closing, before its deletion), so that the next use makes
// a fresh one that loads afresh.
template <typename Window>
class SingleWindow
{
public:
    // The window, made by make() (which also runs its load) when there is none.
    template <typename Make>
    Window& get(Make make)
    {
        if (!m_window)
            m_window = make();
        return *m_window;
    }
    bool exists() const { return !m_window.isNull(); }
    Window* current() const { return m_window; }
    void forget(const Window* window)
    {
        if (m_window == window)
            m_window = nullptr;
    }

private:
    QPointer<Window> m_window;
};
