#include "menu/DialUpHangUp.h"

#include <cstddef>

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
