#pragma once

#include "platform/ConnectivityEvents.h"

#include <QDBusConnection>

// ConnectivityEvents from the system bus: NetworkManager's StateChanged to "connected" (global
// connectivity, NM_STATE_CONNECTED_GLOBAL) and logind's PrepareForSleep(false), sent as the
// system resumes. It only listens: nothing is called on the bus, so a bus without either service
// (or no bus at all) costs nothing and gives no signals.
class DBusConnectivityEvents : public ConnectivityEvents
{
    Q_OBJECT
public:
    explicit DBusConnectivityEvents(QDBusConnection bus = QDBusConnection::systemBus(),
                                    QObject* parent = nullptr);

    // Whether both signals are subscribed to (false without a bus).
    bool listening() const { return m_listening; }

private slots:
    void networkStateChanged(uint state);
    void prepareForSleep(bool sleeping);

private:
    QDBusConnection m_bus;
    bool m_listening = false;
};
