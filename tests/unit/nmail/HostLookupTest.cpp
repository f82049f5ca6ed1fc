// The bounded name lookup: a resolver that hangs cannot hold the caller past the deadline.
// The connection race: an address that swallows connections does not keep the next from
// being tried. The cancellation: it reaches its own connection and nothing else.
#include "HostLookup.h"

#include "BlackHole.h"
#include "ConnectRace.h"
#include "nmail/NMail.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <atomic>
#include <future>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

using nmail::lookUpHost;

TEST(HostLookupTest, AddressLiteralsNeedNoLookup)
{
    std::atomic<int> calls{0};
    const nmail::Resolver counting = [&](const QString& name) {
        ++calls;
        return QHostInfo::fromName(name);
    };
    for (const char* literal : {"127.0.0.1", "::1", "fe80::1"}) {
        const auto result =
            lookUpHost(QString::fromLatin1(literal), QDeadlineTimer(1000), counting);
        ASSERT_TRUE(result.ok()) << literal;
        ASSERT_EQ(result.value().size(), 1);
        EXPECT_EQ(result.value().front(), QHostAddress(QString::fromLatin1(literal)));
    }
    EXPECT_EQ(calls, 0);
}

TEST(HostLookupTest, AResolverThatHangsEndsAtTheDeadline)
{
    // The resolver waits until the test lets it go, long after the lookup has given up.
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    auto finished = std::make_shared<std::atomic<int>>(0);
    const nmail::Resolver hanging = [released, finished](const QString& name) {
        released.wait();
        QHostInfo info;
        info.setHostName(name);
        info.setAddresses({QHostAddress(QHostAddress::LocalHost)});
        ++*finished;
        return info;
    };
    QElapsedTimer clock;
    clock.start();
    const auto result = lookUpHost(QStringLiteral("mail.example.jp"), QDeadlineTimer(300), hanging);
    EXPECT_GE(clock.elapsed(), 250);
    EXPECT_LT(clock.elapsed(), 2000);
    ASSERT_FALSE(result.ok());
    EXPECT_EQ(result.failure().code, NMAIL_ERR_CONNECT);
    EXPECT_TRUE(result.failure().message.contains(QStringLiteral("時間内")))
        << result.failure().message.toStdString();
    EXPECT_TRUE(result.failure().message.contains(QStringLiteral("mail.example.jp")));

    // A cancel ends the wait long before the deadline.
    nmail::Cancellation cancel;
    std::thread canceller([&cancel] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        cancel.cancel();
    });
    clock.restart();
    const auto cancelled =
        lookUpHost(QStringLiteral("mail.example.jp"), QDeadlineTimer(20000), hanging, &cancel);
    canceller.join();
    EXPECT_LT(clock.elapsed(), 1000);
    ASSERT_FALSE(cancelled.ok());
    EXPECT_EQ(cancelled.failure().code, NMAIL_ERR_CLOSED);

    // The workers left behind finish on their own once their resolver returns, without
    // touching anything the caller has let go of.
    release.set_value();
    clock.restart();
    while (*finished < 2 && clock.elapsed() < 5000) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(*finished, 2);
}

TEST(HostLookupTest, FailuresAndEmptyAnswersSayTheServerWasNotFound)
{
    const nmail::Resolver failing = [](const QString& name) {
        QHostInfo info;
        info.setHostName(name);
        info.setError(QHostInfo::HostNotFound);
        info.setErrorString(QStringLiteral("Host not found"));
        return info;
    };
    const nmail::Resolver empty = [](const QString& name) {
        QHostInfo info;
        info.setHostName(name);
        return info;
    };
    for (const auto& resolver : {failing, empty}) {
        const auto result =
            lookUpHost(QStringLiteral("nowhere.invalid"), QDeadlineTimer(1000), resolver);
        ASSERT_FALSE(result.ok());
        EXPECT_EQ(result.failure().code, NMAIL_ERR_CONNECT);
        EXPECT_TRUE(result.failure().message.startsWith(
            QStringLiteral("メールサーバーが見つかりませんでした。")))
            << result.failure().message.toStdString();
    }
    // The system resolver, through the same path.
    const auto real = lookUpHost(QStringLiteral("localhost"), QDeadlineTimer(5000));
    ASSERT_TRUE(real.ok());
    EXPECT_TRUE(real.value().front().isLoopback());
}

TEST(ConnectRaceTest, ABlackHoledFirstAddressDoesNotHoldTheNext)
{
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    BlackHole hole(server.serverPort());
    ASSERT_TRUE(hole.ready()) << "no IPv6 loopback to make a black hole on";
    const QList<QHostAddress> addresses = {QHostAddress(QHostAddress::LocalHostIPv6),
                                           QHostAddress(QHostAddress::LocalHost)};
    QElapsedTimer clock;
    clock.start();
    const auto winner = nmail::raceConnect(addresses, server.serverPort(), QDeadlineTimer(5000));
    ASSERT_TRUE(winner.ok()) << winner.failure().message.toStdString();
    EXPECT_EQ(winner.value().address, QHostAddress(QHostAddress::LocalHost));
    EXPECT_GE(clock.elapsed(), 200); // the black hole had its head start
    EXPECT_LT(clock.elapsed(), 2000);
    nmail::closeDescriptor(winner.value().descriptor);

    // Only the black hole: the deadline ends the wait with its own reason.
    clock.restart();
    const auto timedOut =
        nmail::raceConnect({addresses.front()}, server.serverPort(), QDeadlineTimer(400));
    ASSERT_FALSE(timedOut.ok());
    EXPECT_TRUE(timedOut.failure().message.contains(u"時間切れ"_qs));
    EXPECT_LT(clock.elapsed(), 2000);
}

TEST(ConnectRaceTest, RefusedAddressesHandTheirTurnOnAtOnce)
{
    quint16 closedPort = 0;
    {
        QTcpServer closed;
        ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
        closedPort = closed.serverPort();
    }
    QElapsedTimer clock;
    clock.start();
    const auto refused = nmail::raceConnect(
        {QHostAddress(QHostAddress::LocalHost), QHostAddress(QStringLiteral("127.0.0.2"))},
        closedPort, QDeadlineTimer(5000));
    ASSERT_FALSE(refused.ok());
    EXPECT_TRUE(refused.failure().message.contains(u"接続できませんでした"_qs))
        << refused.failure().message.toStdString();
    EXPECT_LT(clock.elapsed(), 200); // no stagger wait after a refusal
}

// The socket's owner (Qt, when the server hangs up) may close it while a cancel is on its way,
// and the process may at once give the number to another socket (the display's connection,
// say). The cancel still shuts down the connection it watched, and only that one.
TEST(CancellationTest, ACancelReachesItsConnectionNeverAReusedNumber)
{
    int watched[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, watched), 0);
    nmail::Cancellation cancel;
    ASSERT_TRUE(cancel.watch(watched[0]));
    const int number = watched[0];
    ::close(watched[0]);
    int bystander[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, bystander), 0);
    ASSERT_EQ(bystander[0], number) << "the freed number is taken again at once";

    cancel.cancel();
    char byte = 'x';
    EXPECT_EQ(::send(bystander[0], &byte, 1, MSG_NOSIGNAL), 1);
    EXPECT_EQ(::recv(bystander[1], &byte, 1, MSG_DONTWAIT), 1);
    EXPECT_EQ(::recv(watched[1], &byte, 1, MSG_DONTWAIT), 0) << "the watched connection ended";
    cancel.forget();
    for (int fd : {watched[1], bystander[0], bystander[1]}) {
        ::close(fd);
    }
}
