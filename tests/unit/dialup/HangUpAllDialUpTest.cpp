// The hang-up routine against a scripted connection service, and the rule that tells a
// NetworkManager connection of a dial-up kind from the rest.
#include "menu/DialUpHangUp.h"
#include "platform/NetworkManagerDialUp.h"
#include "support/ChangedServices.h"

#include <gtest/gtest.h>
#include <string>

namespace {

// Lists what it is told to list and records every hang-up.
class ScriptedService : public DialUpService
{
public:
    bool EnumConnections(std::vector<DialUpConnection>& table) override
    {
        ++enumerations;
        table = listed;
        return succeeds;
    }
    void HangUp(const DialUpConnection& connection) override { hungUp << connection.handle; }

    bool succeeds = true;
    std::vector<DialUpConnection> listed;
    int enumerations = 0;
    QStringList hungUp;
};

std::vector<DialUpConnection> connections(int count)
{
    std::vector<DialUpConnection> table;
    for (int i = 0; i < count; ++i)
        table.push_back({QStringLiteral("/c/%1").arg(i)});
    return table;
}

TEST(HangUpAllDialUp, HangsUpEveryListedConnectionOnceInOrder)
{
    ScriptedService service;
    HangUpAllDialUp(service);
    EXPECT_EQ(service.enumerations, 1);
    EXPECT_TRUE(service.hungUp.isEmpty());

    service.listed = connections(2);
    HangUpAllDialUp(service);
    EXPECT_EQ(service.hungUp, (QStringList{QStringLiteral("/c/0"), QStringLiteral("/c/1")}));

    // A full table is hung up to the last record.
    service.hungUp.clear();
    service.listed = connections(DialUpService::MaxConnections);
    HangUpAllDialUp(service);
    ASSERT_EQ(service.hungUp.size(), DialUpService::MaxConnections);
    EXPECT_EQ(service.hungUp.constLast(), QStringLiteral("/c/255"));
}

TEST(HangUpAllDialUp, HangsUpNothingWhenTheEnumerationCannotBeTrusted)
{
    // A failure, even with records filled in, hangs up nothing.
    ScriptedService failing;
    failing.succeeds = false;
    failing.listed = connections(3);
    HangUpAllDialUp(failing);
    EXPECT_TRUE(failing.hungUp.isEmpty());

    // So does a service that overruns the table.
    ScriptedService overrun;
    overrun.listed = connections(DialUpService::MaxConnections + 1);
    HangUpAllDialUp(overrun);
    EXPECT_TRUE(overrun.hungUp.isEmpty());
}

TEST(HangUpAllDialUp, TheDefaultServiceCanBeReplacedAndRestored)
{
    ScriptedService replacement;
    DialUpService& original = DefaultDialUpService();
    {
        const ChangedServices inUse([&](Services& s) { s.dialUp = &replacement; });
        EXPECT_EQ(&DefaultDialUpService(), &replacement);
    }
    EXPECT_EQ(&DefaultDialUpService(), &original);

    // The test points the default at a bus that does not exist: no connections, no failure.
    std::vector<DialUpConnection> table = connections(1);
    EXPECT_TRUE(original.EnumConnections(table));
    EXPECT_TRUE(table.empty());

    NoDialUpService none;
    table = connections(1);
    EXPECT_TRUE(none.EnumConnections(table));
    EXPECT_TRUE(table.empty());
}

struct KindCase
{
    const char* type;
    uint state;
    const char* bluetoothType;
    const char* adslProtocol;
    QStringList interfaces;
    bool dialUp;
};

TEST(NetworkManagerDialUpKinds, OnlyPppKindsThatAreNotGoingDownCount)
{
    const QStringList ppp{QStringLiteral("ppp0")};
    const QStringList pan{QStringLiteral("bnep0")};
    const KindCase cases[] = {
        {"pppoe", 2, "", "", {}, true},
        {"gsm", 1, "", "", {}, true}, // still dialling
        {"cdma", 0, "", "", {}, true},
        {"pppoe", 3, "", "", {}, false}, // deactivating
        {"gsm", 4, "", "", {}, false},   // deactivated
        {"bluetooth", 2, "dun", "", {}, true},
        {"bluetooth", 2, "panu", "", ppp, false}, // the settings decide over the interface
        {"bluetooth", 2, "nap", "", {}, false},
        {"bluetooth", 2, "", "", ppp, true}, // settings unreadable: the ppp link tells
        {"bluetooth", 2, "", "", pan, false},
        {"bluetooth", 2, "", "", {}, false},
        {"adsl", 2, "", "pppoa", {}, true},
        {"adsl", 2, "", "pppoe", {}, true},
        {"adsl", 2, "", "ipoatm", {}, false},
        {"802-3-ethernet", 2, "", "", ppp, false},
        {"802-11-wireless", 2, "", "", {}, false},
        {"vpn", 2, "", "", {}, false},
        {"", 2, "", "", {}, false},
        {"PPPOE", 2, "", "", {}, false}, // NetworkManager's type names are lower case
    };
    for (const KindCase& c : cases) {
        NetworkManagerDialUp::ActiveConnectionInfo info;
        info.type = QString::fromLatin1(c.type);
        info.state = c.state;
        info.bluetoothType = QString::fromLatin1(c.bluetoothType);
        info.adslProtocol = QString::fromLatin1(c.adslProtocol);
        info.ipInterfaces = c.interfaces;
        EXPECT_EQ(NetworkManagerDialUp::IsDialUp(info), c.dialUp)
            << c.type << " state " << c.state << " bluetooth '" << c.bluetoothType << "' adsl '"
            << c.adslProtocol << "' interfaces " << qPrintable(c.interfaces.join(u','));
    }
}

} // namespace
