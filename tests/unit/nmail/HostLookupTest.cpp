// The bounded name lookup: a resolver that hangs cannot hold the caller past the deadline.
// The connection race: an address that swallows connections does not keep the next from
// being tried.
#include "HostLookup.h"

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
    std::promise<void> finished;
    std::future<void> workerDone = finished.get_future();
    auto finishedShared = std::make_shared<std::promise<void>>(std::move(finished));
    const nmail::Resolver hanging = [released, finishedShared](const QString& name) {
        released.wait();
        QHostInfo info;
        info.setHostName(name);
        info.setAddresses({QHostAddress(QHostAddress::LocalHost)});
        finishedShared->set_value();
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

    // The worker left behind finishes on its own once its resolver returns, without touching
    // anything the caller has let go of.
    release.set_value();
    EXPECT_EQ(workerDone.wait_for(std::chrono::seconds(5)), std::future_status::ready);
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

namespace {

// A listener on [::1]:port that takes one connection and never accepts it: with its backlog
// full, the kernel drops every further SYN, so a connect there hangs like one into a black
// hole. False when the machine has no IPv6 loopback or the port is taken.
class BlackHole
{
public:
    explicit BlackHole(quint16 port)
    {
        m_listener = ::socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int on = 1;
        ::setsockopt(m_listener, IPPROTO_IPV6, IPV6_V6ONLY, &on, sizeof on);
        sockaddr_in6 address{};
        address.sin6_family = AF_INET6;
        address.sin6_addr = in6addr_loopback;
        address.sin6_port = htons(port);
        if (::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(m_listener, 0) != 0) {
            return;
        }
        // Fill the backlog until a connect stays pending.
        for (int i = 0; i < 8 && !m_ready; ++i) {
            const int fd = ::socket(AF_INET6, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            m_fillers.push_back(fd);
            ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
            pollfd done{fd, POLLOUT, 0};
            m_ready = ::poll(&done, 1, 300) == 0;
        }
    }
    ~BlackHole()
    {
        for (int fd : m_fillers) {
            ::close(fd);
        }
        ::close(m_listener);
    }
    bool ready() const { return m_ready; }

private:
    int m_listener = -1;
    std::vector<int> m_fillers;
    bool m_ready = false;
};

} // namespace

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
