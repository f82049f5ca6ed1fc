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

DialUpService& DefaultDialUpService()
{
    if (DialUpService* service = CurrentServices().dialUp)
        return *service;
#if defined(Q_OS_LINUX)
    static NetworkManagerDialUp service(NetworkManagerDialUp::BusFromEnvironment());
#else
    static NoDialUpService service;
#endif
    return service;
}
