#pragma once

#include "platform/DialUpService.h"

#include <QDBusConnection>
#include <QString>
#include <QStringList>

// Every wait on the bus is bounded; a test may shorten these.
struct NetworkManagerTimeouts
{
    int nameOwnerMs = 500;    // is NetworkManager on the bus at all
    int callMs = 1000;        // one property read or settings read
    int enumerationMs = 3000; // the whole enumeration, however many connections
    int hangUpMs = 1000;      // one DeactivateConnection
};

// Dial-up connections as NetworkManager sees them, over D-Bus: the active connections of PPP
// kinds (PPPoE, mobile broadband, ADSL over PPP, Bluetooth dial-up networking), hung up with
// DeactivateConnection. No NetworkManager on the bus means no connections.
class NetworkManagerDialUp : public DialUpService
{
public:
    using Timeouts = NetworkManagerTimeouts;

    // What decides whether an active connection is a dial-up one.
    struct ActiveConnectionInfo
    {
        QString type;             // the Type property: the connection's setting type
        uint state = 0;           // NMActiveConnectionState
        QString bluetoothType;    // bluetooth.type of its settings ("dun", "panu", "nap"), if read
        QString adslProtocol;     // adsl.protocol of its settings ("pppoa", "pppoe", "ipoatm")
        QStringList ipInterfaces; // IpInterface of each of its devices, if read
    };

    explicit NetworkManagerDialUp(QDBusConnection bus, Timeouts timeouts = {});

    // The system bus, or what MOFURIN_DIALUP_BUS names: "session", "system" or a bus address.
    static QDBusConnection BusFromEnvironment();
    static bool IsDialUp(const ActiveConnectionInfo& info);

    bool EnumConnections(std::vector<DialUpConnection>& table) override;
    void HangUp(const DialUpConnection& connection) override;

private:
    bool networkManagerPresent() const;
    bool readInfo(const QString& activePath, int timeoutMs, ActiveConnectionInfo& info) const;

    QDBusConnection m_bus;
    Timeouts m_timeouts;
    // Set when a hang-up got no answer in time: the later ones of the same run are still sent,
    // in order, but without waiting for answers that would only pile up time-outs.
    bool m_stopWaiting = false;
};
