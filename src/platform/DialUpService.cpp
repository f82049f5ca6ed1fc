#include "platform/DialUpService.h"

#include "platform/Services.h"

#include <QCoreApplication>

#if defined(Q_OS_LINUX)
#include "platform/NetworkManagerDialUp.h"
#endif

bool NoDialUpService::EnumConnections(std::vector<DialUpConnection>& table)
{
    table.clear();
    return true;
}

void NoDialUpService::HangUp(const DialUpConnection&) {}

SystemDialUpService::SystemDialUpService() = default;
SystemDialUpService::~SystemDialUpService() = default;

DialUpService& SystemDialUpService::backend()
{
    if (!m_backend) {
#if defined(Q_OS_LINUX)
        m_backend =
            std::make_unique<NetworkManagerDialUp>(NetworkManagerDialUp::BusFromEnvironment());
#else
        m_backend = std::make_unique<NoDialUpService>();
#endif
    }
    return *m_backend;
}

bool SystemDialUpService::EnumConnections(std::vector<DialUpConnection>& table)
{
    return backend().EnumConnections(table);
}

void SystemDialUpService::HangUp(const DialUpConnection& connection)
{
    backend().HangUp(connection);
}

namespace {

SystemDialUpService* g_default = nullptr;

// The default ends with the application object, while Qt D-Bus can still close its connection;
// a static object would end after Qt D-Bus's own globals and leave the connection behind.
void EndDefaultDialUp()
{
    delete g_default;
    g_default = nullptr;
}

} // namespace

DialUpService& DefaultDialUpService()
{
    if (DialUpService* service = CurrentServices().dialUp)
        return *service;
    if (g_default == nullptr) {
        g_default = new SystemDialUpService;
        qAddPostRoutine(EndDefaultDialUp);
    }
    return *g_default;
}
