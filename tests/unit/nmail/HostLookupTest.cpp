// The bounded name lookup: a resolver that hangs cannot hold the caller past the deadline.
#include "HostLookup.h"

#include "nmail/NMail.h"

#include <QElapsedTimer>
#include <atomic>
#include <future>
#include <gtest/gtest.h>

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
