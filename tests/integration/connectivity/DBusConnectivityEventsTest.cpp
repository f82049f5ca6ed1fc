// The network's return and the system's resume as NetworkManager and logind announce them, from
// python-dbusmock's templates on a private bus that the fixture starts and stops.
#include "platform/DBusConnectivityEvents.h"

#include "support/DbusMockFixture.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <gtest/gtest.h>
#include <thread>

namespace {

const QString BusName = QStringLiteral("connectivity-test");
const QString MockInterface = QStringLiteral("org.freedesktop.DBus.Mock");

// Runs the event loop for ms, or until done() comes true; whether it did.
bool runFor(
    int ms, const std::function<bool()>& done = [] { return false; })
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return done();
}

QDBusMessage callMock(const QDBusConnection& bus, const QString& service, const QString& path,
                      const QString& method, const QVariantList& arguments)
{
    QDBusMessage message = QDBusMessage::createMethodCall(service, path, MockInterface, method);
    message.setArguments(arguments);
    return bus.call(message, QDBus::Block, 5000);
}

} // namespace

TEST(DBusConnectivityEvents, NetworkBackAndResumeFromTheSystemBus)
{
    DbusMockFixture mock;
    QString error;
    ASSERT_TRUE(mock.start(error)) << qPrintable(error);
    const QDBusConnection bus = QDBusConnection::connectToBus(mock.address(), BusName);
    ASSERT_TRUE(bus.isConnected());
    QString answer = mock.command(QStringLiteral("start-networkmanager"));
    ASSERT_TRUE(answer.startsWith(QLatin1String("ok "))) << qPrintable(answer);

    int networkBack = 0;
    int resumed = 0;
    {
        // logind comes onto the bus only after the subscription, as after a restart of it.
        DBusConnectivityEvents events(bus);
        EXPECT_TRUE(events.listening());
        QObject::connect(&events, &ConnectivityEvents::networkBack, [&] { ++networkBack; });
        QObject::connect(&events, &ConnectivityEvents::resumed, [&] { ++resumed; });
        answer = mock.command(QStringLiteral("start-logind"));
        ASSERT_TRUE(answer.startsWith(QLatin1String("ok "))) << qPrintable(answer);

        const auto networkState = [&](uint state) {
            const QDBusMessage reply =
                callMock(bus, QStringLiteral("org.freedesktop.NetworkManager"),
                         QStringLiteral("/org/freedesktop/NetworkManager"),
                         QStringLiteral("SetGlobalConnectionState"), {QVariant::fromValue(state)});
            EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << qPrintable(reply.errorMessage());
        };
        const auto prepareForSleep = [&](bool sleeping) {
            const QDBusMessage reply =
                callMock(bus, QStringLiteral("org.freedesktop.login1"),
                         QStringLiteral("/org/freedesktop/login1"), QStringLiteral("EmitSignal"),
                         {QStringLiteral("org.freedesktop.login1.Manager"),
                          QStringLiteral("PrepareForSleep"), QStringLiteral("b"),
                          QVariant(QVariantList{sleeping})});
            EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << qPrintable(reply.errorMessage());
        };

        // Going down, coming up with local connectivity only: not yet.
        networkState(20); // disconnected
        networkState(50); // connected, local only
        prepareForSleep(true);
        runFor(300);
        EXPECT_EQ(networkBack, 0);
        EXPECT_EQ(resumed, 0);

        networkState(70); // connected, global
        EXPECT_TRUE(runFor(5000, [&] { return networkBack == 1; }));
        prepareForSleep(false);
        EXPECT_TRUE(runFor(5000, [&] { return resumed == 1; }));
        runFor(100);
        EXPECT_EQ(networkBack, 1);
        EXPECT_EQ(resumed, 1);
    }
    QDBusConnection::disconnectFromBus(BusName);
}
