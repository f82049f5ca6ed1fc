#pragma once

#include <QString>
#include <memory>
#include <vector>

// One active dial-up connection, as the platform's connection service names it: for
// NetworkManager the D-Bus object path of the active connection.
struct DialUpConnection
{
    QString handle;
};

// The machine's dial-up connections: list the active ones, hang one up.
class DialUpService
{
public:
    virtual ~DialUpService() = default;
    static constexpr int MaxConnections = 256;
    // Fills up to MaxConnections entries; false when the enumeration failed (then nothing is
    // hung up). More active connections than MaxConnections is a failed enumeration.
    virtual bool EnumConnections(std::vector<DialUpConnection>& table) = 0;
    // Asks the service to end the connection; whether it did is not reported.
    virtual void HangUp(const DialUpConnection& connection) = 0;
};

// A machine without a dial-up service: the enumeration succeeds with no connections.
class NoDialUpService : public DialUpService
{
public:
    bool EnumConnections(std::vector<DialUpConnection>& table) override;
    void HangUp(const DialUpConnection& connection) override;
};

// The machine's own service: NetworkManager on Linux, "no connections" elsewhere. It is made on
// the first call, since it connects to the system bus, and only a user who hangs up after
// checks ever needs it.
class SystemDialUpService : public DialUpService
{
public:
    SystemDialUpService();
    ~SystemDialUpService() override;
    bool EnumConnections(std::vector<DialUpConnection>& table) override;
    void HangUp(const DialUpConnection& connection) override;

private:
    DialUpService& backend();
    std::unique_ptr<DialUpService> m_backend;
};

// The one the services in use (platform/Services.h) name, else the machine's own service. The
// Linux backend talks to the system bus unless MOFURIN_DIALUP_BUS says otherwise ("session",
// "system", or a bus address).
DialUpService& DefaultDialUpService();
