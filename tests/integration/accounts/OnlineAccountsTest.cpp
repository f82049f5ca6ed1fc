// The desktop's online accounts against a stand-in of org.gnome.OnlineAccounts on a private
// bus: the list the settings dialog shows follows the desktop, and the mail check gets the
// account's server, a fresh token or password, and a sentence when there is none.
#include "platform/OnlineAccounts.h"

#include "support/PrivateBusTest.h"

#include <QDBusMessage>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

namespace {

class OnlineAccountsTest : public PrivateBusTest<OnlineAccountsTest>
{
public:
    static inline const QString BusName = QStringLiteral("accounts-test");

protected:
    static void command(const char* line)
    {
        const QString answer = s_mock->command(QString::fromLatin1(line));
        ASSERT_TRUE(answer.startsWith(QLatin1String("ok"))) << qPrintable(answer);
    }

    // Calls a method of the stand-in's own control interface.
    static void control(const QString& method, const QVariantList& arguments)
    {
        QDBusMessage call = QDBusMessage::createMethodCall(
            QStringLiteral("org.gnome.OnlineAccounts"), QStringLiteral("/org/gnome/OnlineAccounts"),
            QStringLiteral("org.freedesktop.DBus.Mock"), method);
        call.setArguments(arguments);
        const QDBusMessage reply = s_bus->call(call, QDBus::Block, 5000);
        ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << qPrintable(reply.errorMessage());
    }

    static void addAccounts()
    {
        control(QStringLiteral("AddOAuth2Account"),
                {QStringLiteral("account_1"), QStringLiteral("Google"),
                 QStringLiteral("tama@gmail.com"), QStringLiteral("imap.gmail.com"),
                 QStringLiteral("tama@gmail.com"), QStringLiteral("token-1")});
        control(QStringLiteral("AddPasswordAccount"),
                {QStringLiteral("account_2"), QStringLiteral("IMAP and SMTP"),
                 QStringLiteral("mike@example.jp"), QStringLiteral("mail.example.jp:1143"),
                 QStringLiteral("mike"), QStringLiteral("ねこ pass"), false, true});
    }

    // Waits until the watched list has changed to what ready says.
    template <typename Ready>
    static bool waitForList(GnomeOnlineAccounts& accounts, Ready ready)
    {
        return QTest::qWaitFor([&] { return ready(accounts.accounts()); }, 10000);
    }
};

TEST_F(OnlineAccountsTest, TheListFollowsTheDesktopAndTheServiceComingAndGoing)
{
    command("stop-accounts");
    GnomeOnlineAccounts accounts(*s_bus);
    QSignalSpy changed(&accounts, &GnomeOnlineAccounts::accountsChanged);
    accounts.watch();
    ASSERT_TRUE(changed.wait(10000));
    EXPECT_FALSE(accounts.available());
    EXPECT_TRUE(accounts.accounts().isEmpty());

    command("start-accounts");
    ASSERT_TRUE(QTest::qWaitFor([&] { return accounts.available(); }, 10000));
    addAccounts();
    ASSERT_TRUE(waitForList(accounts, [](const auto& list) { return list.size() == 2; }));
    const OnlineAccount google = accounts.accounts().at(0);
    EXPECT_EQ(google.id, QStringLiteral("account_1"));
    EXPECT_EQ(google.provider, QStringLiteral("Google"));
    EXPECT_EQ(google.email, QStringLiteral("tama@gmail.com"));
    EXPECT_EQ(google.login, OnlineAccount::Login::OAuth2);
    EXPECT_EQ(google.serverAddress(), QStringLiteral("imaps://imap.gmail.com"));
    const OnlineAccount own = accounts.accounts().at(1);
    EXPECT_EQ(own.login, OnlineAccount::Login::Password);
    EXPECT_EQ(own.imapUser, QStringLiteral("mike"));
    EXPECT_EQ(own.serverAddress(), QStringLiteral("imap+starttls://mail.example.jp:1143"));

    // Mail turned off for an account hides it; turned on again, it is back; removed, gone.
    control(QStringLiteral("SetMailDisabled"), {QStringLiteral("account_1"), true});
    ASSERT_TRUE(waitForList(accounts, [](const auto& list) { return list.size() == 1; }));
    control(QStringLiteral("SetMailDisabled"), {QStringLiteral("account_1"), false});
    ASSERT_TRUE(waitForList(accounts, [](const auto& list) { return list.size() == 2; }));
    control(QStringLiteral("RemoveAccount"), {QStringLiteral("account_2")});
    ASSERT_TRUE(waitForList(accounts, [](const auto& list) { return list.size() == 1; }));

    command("stop-accounts");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !accounts.available(); }, 10000));
    EXPECT_TRUE(accounts.accounts().isEmpty());
}

TEST_F(OnlineAccountsTest, ALoginGetsAFreshTokenOrThePasswordAndASentenceWhenThereIsNone)
{
    command("start-accounts");
    addAccounts();
    GnomeOnlineAccounts accounts(*s_bus);
    const auto never = [] { return false; };
    QString error;
    const std::optional<OnlineAccount> google =
        accounts.find(QStringLiteral("account_1"), &error, nullptr, never);
    ASSERT_TRUE(google.has_value()) << qPrintable(error);
    AccountCredentials got = accounts.credentials(*google, false, never);
    EXPECT_EQ(got.secret, "token-1");
    EXPECT_TRUE(got.error.isEmpty());

    // The server refused the token: renewing asks the service first.
    control(QStringLiteral("SetRenewedToken"),
            {QStringLiteral("account_1"), QStringLiteral("token-2")});
    got = accounts.credentials(*google, true, never);
    EXPECT_EQ(got.secret, "token-2");

    const std::optional<OnlineAccount> own =
        accounts.find(QStringLiteral("account_2"), &error, nullptr, never);
    ASSERT_TRUE(own.has_value()) << qPrintable(error);
    got = accounts.credentials(*own, false, never);
    EXPECT_EQ(QString::fromUtf8(got.secret), QStringLiteral("ねこ pass"));

    // No token to give, an account that needs the user, an account gone: a sentence each.
    control(QStringLiteral("SetToken"), {QStringLiteral("account_1"), QString()});
    got = accounts.credentials(*google, false, never);
    EXPECT_TRUE(got.secret.isEmpty());
    EXPECT_TRUE(got.error.contains(QStringLiteral("サインイン"))) << qPrintable(got.error);
    control(QStringLiteral("SetAttentionNeeded"), {QStringLiteral("account_1"), true});
    const std::optional<OnlineAccount> attention =
        accounts.find(QStringLiteral("account_1"), &error, nullptr, never);
    ASSERT_TRUE(attention.has_value());
    got = accounts.credentials(*attention, false, never);
    EXPECT_TRUE(got.secret.isEmpty());
    EXPECT_TRUE(got.error.contains(QStringLiteral("サインイン"))) << qPrintable(got.error);
    control(QStringLiteral("RemoveAccount"), {QStringLiteral("account_2")});
    bool gone = false;
    EXPECT_FALSE(accounts.find(QStringLiteral("account_2"), &error, &gone, never).has_value());
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(gone);
}

TEST_F(OnlineAccountsTest, AHungServiceIsLeftWithinItsTimeOutAndAtOnceOnCancel)
{
    command("start-accounts");
    addAccounts();
    GnomeOnlineAccounts accounts(*s_bus);
    accounts.setTimeoutMs(1500);
    QString error;
    const std::optional<OnlineAccount> google =
        accounts.find(QStringLiteral("account_1"), &error, nullptr, [] { return false; });
    ASSERT_TRUE(google.has_value()) << qPrintable(error);

    command("freeze-accounts");
    QElapsedTimer waited;
    waited.start();
    bool gone = true;
    EXPECT_FALSE(accounts.find(QStringLiteral("account_1"), &error, &gone, [] { return false; }));
    EXPECT_LT(waited.elapsed(), 4000);
    EXPECT_FALSE(error.isEmpty());
    // A silent service is no reason to give up the choice.
    EXPECT_FALSE(gone);

    waited.restart();
    const AccountCredentials got =
        accounts.credentials(*google, true, [&] { return waited.elapsed() > 200; });
    EXPECT_LT(waited.elapsed(), 1000);
    EXPECT_TRUE(got.secret.isEmpty());
    EXPECT_FALSE(got.error.isEmpty());
    command("thaw-accounts");
}

} // namespace
