#include "platform/DialUpService.h"

#if defined(Q_OS_LINUX)
#include "platform/NetworkManagerDialUp.h"
#endif

namespace {

DialUpService* testService = nullptr;

} // namespace

bool NoDialUpService::EnumConnections(std::vector<DialUpConnection>& table)
{
    table.clear();
    return true;
}

void NoDialUpService::HangUp(const DialUpConnection&) {}

DialUpService& DefaultDialUpService()
{
    if (testService)
        return *testService;
#if defined(Q_OS_LINUX)
    static NetworkManagerDialUp service(NetworkManagerDialUp::BusFromEnvironment());
#else
    static NoDialUpService service;
#endif
    return service;
}

void SetDialUpServiceForTesting(DialUpService* service)
{
    testService = service;
}
