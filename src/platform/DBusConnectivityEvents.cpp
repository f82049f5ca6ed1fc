#include "platform/DBusConnectivityEvents.h"

namespace {

// NMState: the host has a route to the internet. The states below it (connecting, local or
// site connectivity only) cannot reach a mail server that is not on the local network either,
// and NetworkManager says "connected" again once it is back.
constexpr uint NmStateConnectedGlobal = 70;

} // namespace

DBusConnectivityEvents::DBusConnectivityEvents(QDBusConnection bus, QObject* parent)
    : ConnectivityEvents(parent), m_bus(std::move(bus))
{
    if (!m_bus.isConnected())
        return;
    const bool network =
        m_bus.connect(QStringLiteral("org.freedesktop.NetworkManager"),
                      QStringLiteral("/org/freedesktop/NetworkManager"),
                      QStringLiteral("org.freedesktop.NetworkManager"),
                      QStringLiteral("StateChanged"), this, SLOT(networkStateChanged(uint)));
    const bool sleep = m_bus.connect(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"), this,
        SLOT(prepareForSleep(bool)));
    m_listening = network && sleep;
}

void DBusConnectivityEvents::networkStateChanged(uint state)
{
    if (state == NmStateConnectedGlobal)
        emit networkBack();
}

void DBusConnectivityEvents::prepareForSleep(bool sleeping)
{
    // The same signal says true before the system sleeps and false once it woke.
    if (!sleeping)
        emit resumed();
}
