#include "menu/DialUpHangUp.h"

#if defined(Q_OS_LINUX)
#include "platform/NetworkManagerDialUp.h"
#endif

#include <cstddef>

namespace {

DialUpService* testService = nullptr;

} // namespace

bool NoDialUpService::EnumConnections(std::vector<DialUpConnection>& table)
{
    table.clear();
    return true;
}

void NoDialUpService::HangUp(const DialUpConnection&) {}

void HangUpAllDialUp(DialUpService& service)
{
    // The table starts empty on every run; nothing survives from an earlier one.
    std::vector<DialUpConnection> table;
    table.reserve(DialUpService::MaxConnections);
    if (!service.EnumConnections(table))
        return;
    // A service that overfilled the table did not honour the bound: treat it as the failed
    // enumeration it stands for rather than hang up a list we cannot trust to be complete.
    if (table.size() > static_cast<std::size_t>(DialUpService::MaxConnections))
        return;
    // One after the other, in the order listed; a failed hang-up does not stop the rest.
    for (const DialUpConnection& connection : table)
        service.HangUp(connection);
}

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
