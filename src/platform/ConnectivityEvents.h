#pragma once

#include <QObject>

// The moments when a long-lived network connection is best made anew: the network came back,
// or the system woke from sleep. A connection kept across either is likely dead without anyone
// knowing it yet, and the server cannot reach us through it. The system's own source is
// DBusConnectivityEvents; a test hands in one of these and emits the signals itself.
class ConnectivityEvents : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

signals:
    void networkBack();
    void resumed();
};
