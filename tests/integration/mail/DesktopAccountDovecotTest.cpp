// A desktop account's login against a real Dovecot that takes OAuth2 bearer tokens (checked
// with a token-introspection endpoint the fixture serves): the service's stand-in hands out
// token-0, then token-1 after each renewal, and only token-1 is active for "tama".
#include "Trust.h"
#include "mail/MailCheck.h"
#include "mail/NMailLibrary.h"
#include "nmail/NMail.h"
#include "support/DovecotFixture.h"
#include "support/FakeAccountSource.h"

#include <QFile>
#include <QSslCertificate>
#include <gtest/gtest.h>
#include <memory>

namespace {

class DesktopAccountDovecotTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_server = std::make_unique<DovecotFixture>();
        QString error;
        if (!s_server->start(R"({"users": {"tama": {"password": "secret", "messages": [
                                   {"count": 2, "size": 300}]}},
                                 "oauth2": {"tokens": {"token-1": "tama"}}})",
                             &error))
            s_startError = error.toStdString();
        nmail::setExtraTrustAnchors(QSslCertificate::fromPath(s_server->caFile));
        NMailInitializeWinSock();
    }
    static void TearDownTestSuite()
    {
        nmail::setExtraTrustAnchors({});
        NMailEndWinSock();
        s_server.reset();
    }
    void SetUp() override { ASSERT_TRUE(s_startError.empty()) << s_startError; }

    static QString log()
    {
        QFile file(s_server->logFile);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

    static std::unique_ptr<DovecotFixture> s_server;
    static std::string s_startError;
};

std::unique_ptr<DovecotFixture> DesktopAccountDovecotTest::s_server;
std::string DesktopAccountDovecotTest::s_startError;

} // namespace

TEST_F(DesktopAccountDovecotTest, ARefusedTokenIsRenewedOnceAndASecondRefusalIsOneSentence)
{
    const struct
    {
        const char* name;
        QString user;
        int32_t count;
        int renewals;
        int credentialsCalls;
        QString failureHas;
    } cases[] = {
        {"token-0 refused, token-1 taken", QStringLiteral("tama"), 2, 1, 2, {}},
        // The tokens are tama's: another user's login is refused twice.
        {"refused twice", QStringLiteral("empty"), NMAIL_ERR_TOKEN_REFUSED, 1, 2,
         QStringLiteral("もう一度サインイン")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::unique_ptr<MailLibrary> library = MakeNMailLibrary();
        FakeAccountSource accounts;
        OnlineAccount account = FakeAccountSource::OAuth2Account(
            QStringLiteral("account_1"), QStringLiteral("127.0.0.1:%1").arg(s_server->imaps));
        account.imapUser = c.user;
        accounts.list = {account};
        MailCheck::Request request;
        request.desktopAccountId = account.id;
        request.accounts = &accounts;
        const qsizetype logins = log().count(QStringLiteral("Login: user=<tama>"));
        const MailCheck::Outcome outcome = MailCheck(*library).run(request, {});
        EXPECT_TRUE(outcome.connected) << qPrintable(outcome.failure);
        EXPECT_EQ(outcome.count, c.count) << qPrintable(outcome.failure);
        EXPECT_EQ(accounts.renewals, c.renewals);
        EXPECT_EQ(accounts.credentialsCalls, c.credentialsCalls);
        EXPECT_TRUE(outcome.failure.contains(c.failureHas)) << qPrintable(outcome.failure);
        EXPECT_FALSE(outcome.failure.contains(QStringLiteral("token")))
            << qPrintable(outcome.failure);
        if (c.count >= 0) {
            EXPECT_EQ(log().count(QStringLiteral("Login: user=<tama>")), logins + 1);
            EXPECT_TRUE(log().contains(QStringLiteral("method=XOAUTH2")) ||
                        log().contains(QStringLiteral("method=OAUTHBEARER")));
        }
    }
}

// A server that offers no TLS at all (imap://, which would take STARTTLS where offered) is sent
// no token: the service is not even asked for one.
TEST_F(DesktopAccountDovecotTest, AServerWithoutTlsReceivesNoToken)
{
    DovecotFixture plain;
    QString error;
    ASSERT_TRUE(plain.start(R"({"tls": false, "users": {"tama": {"password": "secret"}},
                                "oauth2": {"tokens": {"token-0": "tama"}}})",
                            &error))
        << qPrintable(error);
    const std::unique_ptr<MailLibrary> library = MakeNMailLibrary();
    FakeAccountSource accounts;
    OnlineAccount account = FakeAccountSource::OAuth2Account(
        QStringLiteral("account_1"), QStringLiteral("127.0.0.1:%1").arg(plain.imap));
    account.imapUser = QStringLiteral("tama");
    account.imapSsl = false;
    accounts.list = {account};
    MailCheck::Request request;
    request.desktopAccountId = account.id;
    request.accounts = &accounts;
    const MailCheck::Outcome outcome = MailCheck(*library).run(request, {});
    EXPECT_TRUE(outcome.connected) << qPrintable(outcome.failure);
    EXPECT_FALSE(outcome.encrypted);
    EXPECT_EQ(outcome.count, NMAIL_ERR_TLS_MISSING);
    EXPECT_TRUE(outcome.failure.contains(QStringLiteral("暗号化"))) << qPrintable(outcome.failure);
    EXPECT_EQ(accounts.credentialsCalls, 0);
    QFile log(plain.logFile);
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_FALSE(log.readAll().contains("oauth2"));
}
