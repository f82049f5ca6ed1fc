#include "platform/DialUpService.h"

#include "platform/Services.h"

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

DialUpService& DefaultDialUpService()
{
    if (DialUpService* service = CurrentServices().dialUp)
        return *service;
    static SystemDialUpService service;
    return service;
}
