// The NetworkManager backend and the hang-up routine against python-dbusmock's NetworkManager
// on a private bus that the fixture starts and stops.
#include "platform/NetworkManagerDialUp.h"

#include "menu/DialUpHangUp.h"
#include "support/DbusMockFixture.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QThread>
#include <cstdio>
#include <gtest/gtest.h>
#include <memory>

namespace {

using SettingsMap = QMap<QString, QVariantMap>;

const QString NmName = QStringLiteral("org.freedesktop.NetworkManager");
const QString NmPath = QStringLiteral("/org/freedesktop/NetworkManager");
const QString MockInterface = QStringLiteral("org.freedesktop.DBus.Mock");
constexpr uint Activated = 2;
constexpr uint Deactivated = 4;

using MockBus = DbusMockFixture;

class NetworkManagerDialUpTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        qDBusRegisterMetaType<SettingsMap>();
        s_bus = std::make_unique<MockBus>();
        QString error;
        if (!s_bus->start(error)) {
            s_startError = error;
            return;
        }
        s_connection = std::make_unique<QDBusConnection>(
            QDBusConnection::connectToBus(s_bus->address(), QStringLiteral("dialup-test")));
    }

    static void TearDownTestSuite()
    {
        s_connection.reset();
        QDBusConnection::disconnectFromBus(QStringLiteral("dialup-test"));
        if (s_bus)
            s_bus->stop();
        s_bus.reset();
    }

    void SetUp() override
    {
        ASSERT_TRUE(s_startError.isEmpty()) << qPrintable(s_startError);
        ASSERT_TRUE(s_connection->isConnected()) << "cannot connect to the private bus";
        const QString answer = s_bus->command("start-networkmanager");
        ASSERT_TRUE(answer.startsWith(QLatin1String("ok "))) << qPrintable(answer);
        m_log = answer.mid(3);
        m_device = callMock(QStringLiteral("AddEthernetDevice"),
                            {QStringLiteral("mock_eth0"), QStringLiteral("eth0"), 100})
                       .toString();
        ASSERT_FALSE(m_device.isEmpty());
    }

    QDBusConnection& bus() { return *s_connection; }

    QVariant callMock(const QString& method, const QVariantList& arguments)
    {
        QDBusMessage message =
            QDBusMessage::createMethodCall(NmName, NmPath, MockInterface, method);
        message.setArguments(arguments);
        const QDBusMessage reply = bus().call(message, QDBus::Block, 5000);
        EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage)
            << qPrintable(method) << ": " << qPrintable(reply.errorMessage());
        return reply.arguments().value(0);
    }

    // A saved connection of the given type with extra settings sections, made active on the
    // Ethernet device; returns the active connection's path.
    QString activate(const QString& name, const QString& type, SettingsMap extra = {},
                     uint state = Activated)
    {
        extra[QStringLiteral("connection")] = {{QStringLiteral("id"), name},
                                               {QStringLiteral("type"), type}};
        QDBusMessage add = QDBusMessage::createMethodCall(
            NmName, QStringLiteral("/org/freedesktop/NetworkManager/Settings"),
            QStringLiteral("org.freedesktop.NetworkManager.Settings"),
            QStringLiteral("AddConnection"));
        add << QVariant::fromValue(extra);
        const QDBusMessage reply = bus().call(add, QDBus::Block, 5000);
        EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << qPrintable(reply.errorMessage());
        const QString settings = reply.arguments().value(0).value<QDBusObjectPath>().path();
        return callMock(QStringLiteral("AddActiveConnection"),
                        {QStringList{m_device}, settings, QStringLiteral("/"), name, state})
            .toString();
    }

    QStringList activeConnections()
    {
        QDBusMessage get = QDBusMessage::createMethodCall(
            NmName, NmPath, QStringLiteral("org.freedesktop.DBus.Properties"),
            QStringLiteral("Get"));
        get << NmName << QStringLiteral("ActiveConnections");
        const QDBusMessage reply = bus().call(get, QDBus::Block, 5000);
        QStringList paths;
        const auto argument =
            reply.arguments().value(0).value<QDBusVariant>().variant().value<QDBusArgument>();
        for (const QDBusObjectPath& path : qdbus_cast<QList<QDBusObjectPath>>(argument))
            paths << path.path();
        return paths;
    }

    // The active connections the mock was asked to deactivate, in the order it was asked.
    QStringList deactivations()
    {
        QFile file(m_log);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        static const QRegularExpression line(QStringLiteral("^\\S+ DeactivateConnection \"(.*)\"$"),
                                             QRegularExpression::MultilineOption);
        QStringList paths;
        auto matches = line.globalMatch(QString::fromUtf8(file.readAll()));
        while (matches.hasNext())
            paths << matches.next().captured(1);
        return paths;
    }

    static QStringList handles(const std::vector<DialUpConnection>& table)
    {
        QStringList list;
        for (const DialUpConnection& connection : table)
            list << connection.handle;
        return list;
    }

    static inline std::unique_ptr<MockBus> s_bus;
    static inline std::unique_ptr<QDBusConnection> s_connection;
    static inline QString s_startError;
    QString m_log;
    QString m_device;
};

TEST_F(NetworkManagerDialUpTest, NoActiveConnectionHangsUpNothing)
{
    NetworkManagerDialUp service(bus());
    std::vector<DialUpConnection> table{{QStringLiteral("/left/over")}};
    EXPECT_TRUE(service.EnumConnections(table));
    EXPECT_TRUE(table.empty());

    // An Ethernet link alone is no dial-up either.
    const QString wired = activate(QStringLiteral("wired"), QStringLiteral("802-3-ethernet"));
    HangUpAllDialUp(service);
    EXPECT_TRUE(deactivations().isEmpty());
    EXPECT_EQ(activeConnections(), QStringList{wired});
}

TEST_F(NetworkManagerDialUpTest, HangsUpExactlyThePppConnectionsInOrder)
{
    const QString dsl = activate(QStringLiteral("dsl"), QStringLiteral("pppoe"));
    const QString wired = activate(QStringLiteral("wired"), QStringLiteral("802-3-ethernet"));
    const QString mobile = activate(QStringLiteral("mobile"), QStringLiteral("gsm"));

    NetworkManagerDialUp service(bus());
    std::vector<DialUpConnection> table;
    ASSERT_TRUE(service.EnumConnections(table));
    EXPECT_EQ(handles(table), (QStringList{dsl, mobile}));

    QElapsedTimer timer;
    timer.start();
    HangUpAllDialUp(service);
    std::printf("hang-up of two of three connections: %lld ms\n", timer.elapsed());
    EXPECT_EQ(deactivations(), (QStringList{dsl, mobile}));
    EXPECT_EQ(activeConnections(), QStringList{wired});

    // A second run finds nothing left to hang up.
    HangUpAllDialUp(service);
    EXPECT_EQ(deactivations().size(), 2);
}

TEST_F(NetworkManagerDialUpTest, TellsDialUpKindsFromTheRest)
{
    const auto section = [](const char* name, const char* key, const char* value) {
        return SettingsMap{
            {QString::fromLatin1(name), {{QString::fromLatin1(key), QString::fromLatin1(value)}}}};
    };
    const QString cdma = activate(QStringLiteral("cdma"), QStringLiteral("cdma"));
    const QString dun = activate(QStringLiteral("phone"), QStringLiteral("bluetooth"),
                                 section("bluetooth", "type", "dun"));
    activate(QStringLiteral("pan"), QStringLiteral("bluetooth"),
             section("bluetooth", "type", "panu"));
    const QString pppoa = activate(QStringLiteral("adsl"), QStringLiteral("adsl"),
                                   section("adsl", "protocol", "pppoa"));
    activate(QStringLiteral("atm"), QStringLiteral("adsl"), section("adsl", "protocol", "ipoatm"));
    activate(QStringLiteral("vpn"), QStringLiteral("vpn"));
    activate(QStringLiteral("wifi"), QStringLiteral("802-11-wireless"));
    activate(QStringLiteral("gone"), QStringLiteral("pppoe"), {}, Deactivated);

    NetworkManagerDialUp service(bus());
    std::vector<DialUpConnection> table;
    ASSERT_TRUE(service.EnumConnections(table));
    EXPECT_EQ(handles(table), (QStringList{cdma, dun, pppoa}));
}

TEST_F(NetworkManagerDialUpTest, MoreConnectionsThanTheTableHoldsHangsUpNothing)
{
    for (int i = 0; i <= DialUpService::MaxConnections; ++i)
        activate(QStringLiteral("dsl%1").arg(i), QStringLiteral("pppoe"));
    // Reading 257 connections from a python mock takes a while; the point here is the bound.
    NetworkManagerDialUp::Timeouts generous;
    generous.enumerationMs = 60000;
    NetworkManagerDialUp service(bus(), generous);

    std::vector<DialUpConnection> table;
    QElapsedTimer timer;
    timer.start();
    EXPECT_FALSE(service.EnumConnections(table));
    std::printf("enumeration of %d active connections: %lld ms\n",
                DialUpService::MaxConnections + 1, timer.elapsed());
    EXPECT_TRUE(table.empty());
    HangUpAllDialUp(service);
    EXPECT_TRUE(deactivations().isEmpty());

    // One fewer fits exactly.
    callMock(QStringLiteral("RemoveActiveConnection"), {m_device, activeConnections().constLast()});
    ASSERT_TRUE(service.EnumConnections(table));
    EXPECT_EQ(table.size(), static_cast<std::size_t>(DialUpService::MaxConnections));
}

TEST_F(NetworkManagerDialUpTest, NoNetworkManagerMeansNoConnectionsAtOnce)
{
    ASSERT_EQ(s_bus->command("stop-networkmanager"), QStringLiteral("ok"));
    NetworkManagerDialUp service(bus());
    QElapsedTimer timer;
    timer.start();
    std::vector<DialUpConnection> table;
    EXPECT_TRUE(service.EnumConnections(table));
    EXPECT_TRUE(table.empty());
    HangUpAllDialUp(service);
    std::printf("hang-up without NetworkManager: %lld ms\n", timer.elapsed());
    EXPECT_LT(timer.elapsed(), 1000);

    // No bus at all behaves the same.
    NetworkManagerDialUp nowhere(QDBusConnection::connectToBus(
        QStringLiteral("unix:path=/nonexistent/bus"), QStringLiteral("dialup-nowhere")));
    timer.restart();
    EXPECT_TRUE(nowhere.EnumConnections(table));
    EXPECT_TRUE(table.empty());
    EXPECT_LT(timer.elapsed(), 1000);
    QDBusConnection::disconnectFromBus(QStringLiteral("dialup-nowhere"));
}

TEST_F(NetworkManagerDialUpTest, AServiceThatStopsAnsweringCannotHangTheRoutine)
{
    const QString first = activate(QStringLiteral("dsl"), QStringLiteral("pppoe"));
    const QString second = activate(QStringLiteral("mobile"), QStringLiteral("gsm"));
    const QString third = activate(QStringLiteral("cdma"), QStringLiteral("cdma"));
    NetworkManagerDialUp::Timeouts quick;
    quick.callMs = 300;
    quick.hangUpMs = 500;
    quick.enumerationMs = 600;
    NetworkManagerDialUp service(bus(), quick);
    std::vector<DialUpConnection> table;
    ASSERT_TRUE(service.EnumConnections(table));
    ASSERT_EQ(table.size(), 3u);

    ASSERT_EQ(s_bus->command("freeze-networkmanager"), QStringLiteral("ok"));
    QElapsedTimer timer;
    timer.start();
    // The name is still owned, so this waits for an answer that never comes, but not long.
    std::vector<DialUpConnection> again;
    EXPECT_FALSE(service.EnumConnections(again));
    EXPECT_LT(timer.elapsed(), 1500);

    // Only the first hang-up waits; the others are sent on without waiting.
    timer.restart();
    for (const DialUpConnection& connection : table)
        service.HangUp(connection);
    EXPECT_LT(timer.elapsed(), 1000);

    // Once the service answers again, every request arrives, in order.
    ASSERT_EQ(s_bus->command("thaw-networkmanager"), QStringLiteral("ok"));
    QElapsedTimer settle;
    settle.start();
    while (deactivations().size() < 3 && settle.elapsed() < 5000)
        QThread::msleep(50);
    EXPECT_EQ(deactivations(), (QStringList{first, second, third}));
}

} // namespace
