// The mail library against a real Dovecot: logins, counts, sizes, bodies and TLS.
#include "DovecotLibraryTest.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSslCertificate>
#include <gtest/gtest.h>
#include <set>
#include <string>
#include <vector>

namespace {

// The Maildir flags of every message of a user (the letters after ":2,"), by file.
QStringList maildirFlags(const QString& mailFolder, const QString& user)
{
    QStringList flags;
    for (const char* sub : {"cur", "new"}) {
        const QDir folder(
            QStringLiteral("%1/%2/Maildir/%3").arg(mailFolder, user, QLatin1String(sub)));
        for (const QString& name : folder.entryList(QDir::Files, QDir::Name)) {
            flags.append(name.section(u':', 0, 0) + u' ' + name.section(QStringLiteral(":2,"), 1));
        }
    }
    return flags;
}

class DovecotMailTest : public DovecotLibraryTest
{
protected:
    static void SetUpTestSuite() { startServer(DovecotFixture::TamaAndEmpty); }

    static std::string plain() { return localAddress(s_server->pop3); }
    static std::string tls() { return localAddress(s_server->pop3s, "pop3s"); }
};

} // namespace

TEST_F(DovecotMailTest, PlainLoginRetrievesEveryMessage)
{
    const QStringList flagsBefore = maildirFlags(s_server->mailFolder, u"tama"_qs);
    ASSERT_EQ(flagsBefore.size(), 3);
    const int32_t handle = NMailPop3Connect(plain().c_str());
    ASSERT_GE(handle, 0) << lastMessage();
    ASSERT_EQ(NMailPop3Authenticate(handle, "tama", "secret", 0), 3) << lastMessage();
    const QString subjects[] = {u"message 1"_qs, u"新着メール 2"_qs, u"おはよう"_qs};
    for (int n = 1; n <= 3; ++n) {
        SCOPED_TRACE(n);
        ASSERT_EQ(NMailPop3GetMailStatus(handle, n, subject, date, from, header, 0), NMAIL_OK);
        EXPECT_EQ(fromCp932(subject), subjects[n - 1]);
        const int32_t size = NMailPop3GetMailSize(handle, n);
        ASSERT_GT(size, 0);
        std::vector<char> body(size_t(size) + 1, ' ');
        ASSERT_EQ(NMailPop3GetMail(handle, n, subject, date, from, header, body.data(), 0, 0),
                  NMAIL_OK)
            << lastMessage();
        // Dovecot's LIST size counts CRLF line ends, as the unstuffed message arrives.
        EXPECT_EQ(qsizetype(std::strlen(body.data())), size);
        EXPECT_EQ(fromCp932(subject), subjects[n - 1]);
    }
    std::vector<char> body(200, ' ');
    NMailPop3GetMailSize(handle, 3);
    NMailPop3GetMail(handle, 3, subject, date, from, header, body.data(), 0, 0);
    EXPECT_NE(std::string(body.data()).find("\r\n\r\n.dot\r\nlast line\r\n"), std::string::npos);
    // Dovecot's unique-ids (pop3_uidl_format = %08Xu%08Xv): 16 hex digits, all different.
    std::set<std::string> ids;
    for (int n = 1; n <= 3; ++n) {
        char id[TextSize];
        ASSERT_EQ(NMailPop3GetUidl(handle, n, id), NMAIL_OK) << lastMessage();
        EXPECT_TRUE(
            QRegularExpression(u"^[0-9A-Fa-f]{16}$"_qs).match(QString::fromLatin1(id)).hasMatch())
            << id;
        ids.insert(id);
    }
    EXPECT_EQ(ids.size(), 3u);
    EXPECT_EQ(NMailPop3Close(handle), NMAIL_OK);
    // Reading the mail changed nothing the user's other mail programs see: no message became
    // \Seen, and Dovecot counted no download.
    EXPECT_EQ(maildirFlags(s_server->mailFolder, u"tama"_qs).join(u'\n').toStdString(),
              flagsBefore.join(u'\n').toStdString());
    QFile log(s_server->logFile);
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_FALSE(log.readAll().contains("retr=1")) << "a message was downloaded with RETR";
}

TEST_F(DovecotMailTest, ApopLogin)
{
    const int32_t handle = NMailPop3Connect(plain().c_str());
    ASSERT_GE(handle, 0);
    EXPECT_EQ(NMailPop3Authenticate(handle, "tama", "secret", -1), 3) << lastMessage();
    NMailPop3Close(handle);
    QFile log(s_server->logFile);
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_TRUE(log.readAll().contains("user=<tama>, method=APOP"));
}

TEST_F(DovecotMailTest, WrongPasswordGivesDovecotsOwnText)
{
    for (int32_t apop : {0, -1}) {
        const int32_t handle = NMailPop3Connect(plain().c_str());
        ASSERT_GE(handle, 0);
        EXPECT_EQ(NMailPop3Authenticate(handle, "tama", "wrong", apop), NMAIL_ERR_LOGIN);
        EXPECT_TRUE(libraryText().contains(u"-ERR [AUTH] Authentication failed.")) << lastMessage();
        EXPECT_EQ(NMailPop3Close(handle), NMAIL_OK);
    }
}

TEST_F(DovecotMailTest, EmptyMailboxCountsZero)
{
    const int32_t handle = NMailPop3Connect(plain().c_str());
    ASSERT_GE(handle, 0);
    EXPECT_EQ(NMailPop3Authenticate(handle, "empty", "nothing", 0), 0);
    EXPECT_LT(NMailPop3GetMailSize(handle, 1), 0);
    NMailPop3Close(handle);
}

TEST_F(DovecotMailTest, Pop3sTrustsOnlyItsCertificate)
{
    int32_t handle = NMailPop3Connect(tls().c_str());
    ASSERT_GE(handle, 0) << lastMessage();
    EXPECT_EQ(NMailPop3Authenticate(handle, "tama", "secret", 0), 3);
    NMailPop3Close(handle);

    nmail::setExtraTrustAnchors(QSslCertificate::fromPath(s_server->untrustedCaFile));
    EXPECT_EQ(NMailPop3Connect(tls().c_str()), -1);
    EXPECT_TRUE(libraryText().contains(u"暗号化通信"_qs)) << lastMessage();
    EXPECT_TRUE(libraryText().contains(u"証明書"_qs)) << lastMessage();
    EXPECT_EQ(NMailGetLastResult(), NMAIL_ERR_CERTIFICATE);

    nmail::setExtraTrustAnchors(QSslCertificate::fromPath(s_server->caFile));
}

// The plain listener offers STLS and refuses every login in the clear, so a login that works
// was made under TLS.
TEST_F(DovecotMailTest, ABareHostNameLogsInOverStls)
{
    const int32_t handle = NMailPop3Connect(plain().c_str());
    ASSERT_GE(handle, 0) << lastMessage();
    EXPECT_EQ(NMailPop3IsEncrypted(handle), 1);
    EXPECT_EQ(NMailPop3Authenticate(handle, "tama", "secret", 0), 3) << lastMessage();
    NMailPop3Close(handle);
}

// A certificate the system does not trust: its details for the user, a pin that lets the next
// connection in, and a pinned server that presents another certificate is refused.
TEST_F(DovecotMailTest, AnUntrustedCertificateCanBeTrustedOnce)
{
    nmail::setExtraTrustAnchors({});
    EXPECT_EQ(NMailPop3Connect(plain().c_str()), -1);
    EXPECT_EQ(NMailGetLastResult(), NMAIL_ERR_CERTIFICATE);
    EXPECT_TRUE(libraryText(NMAIL_MESSAGE_CERTIFICATE_PROBLEM).contains(u"自己署名"_qs))
        << libraryText(NMAIL_MESSAGE_CERTIFICATE_PROBLEM).toStdString();
    EXPECT_EQ(libraryText(NMAIL_MESSAGE_CERTIFICATE_SUBJECT), u"127.0.0.1"_qs);
    QProcess openssl;
    openssl.start(u"openssl"_qs, {u"x509"_qs, u"-noout"_qs, u"-fingerprint"_qs, u"-sha256"_qs,
                                  u"-in"_qs, s_server->caFile});
    ASSERT_TRUE(openssl.waitForFinished(10000));
    const QString printed = QString::fromLatin1(openssl.readAllStandardOutput()).trimmed();
    const QString fingerprint = libraryText(NMAIL_MESSAGE_CERTIFICATE_FINGERPRINT);
    ASSERT_FALSE(fingerprint.isEmpty());
    EXPECT_TRUE(printed.endsWith(u'=' + fingerprint)) << printed.toStdString();

    ASSERT_EQ(NMailSetPinnedCertificate(plain().c_str(), fingerprint.toLatin1().constData()),
              NMAIL_OK);
    int32_t handle = NMailPop3Connect(plain().c_str());
    ASSERT_GE(handle, 0) << lastMessage();
    EXPECT_EQ(NMailPop3Authenticate(handle, "tama", "secret", 0), 3);
    NMailPop3Close(handle);

    // Pinned to another certificate: refused, even where an authority vouches for this one.
    nmail::setExtraTrustAnchors(QSslCertificate::fromPath(s_server->caFile));
    const QString stranger = QSslCertificate::fromPath(s_server->untrustedCaFile)
                                 .value(0)
                                 .digest(QCryptographicHash::Sha256)
                                 .toHex();
    NMailSetPinnedCertificate(plain().c_str(), stranger.toLatin1().constData());
    EXPECT_EQ(NMailPop3Connect(plain().c_str()), -1);
    EXPECT_EQ(NMailGetLastResult(), NMAIL_ERR_CERTIFICATE_CHANGED);
    EXPECT_EQ(libraryText(NMAIL_MESSAGE_CERTIFICATE_FINGERPRINT), fingerprint);
    NMailSetPinnedCertificate(plain().c_str(), nullptr);
}

// A certificate made out to another name: the reason, and Dovecot never sees a login.
TEST(DovecotStlsTest, AWrongNameCertificateReceivesNoPassword)
{
    DovecotFixture server;
    QString error;
    ASSERT_TRUE(server.start(R"({"certificate_name": "mail.example.jp",
        "users": {"tama": {"password": "secret"}}})",
                             &error))
        << error.toStdString();
    nmail::setExtraTrustAnchors(QSslCertificate::fromPath(server.caFile));
    const std::string host = localAddress(server.pop3);
    EXPECT_EQ(NMailPop3Connect(host.c_str()), -1);
    EXPECT_EQ(NMailGetLastResult(), NMAIL_ERR_CERTIFICATE);
    EXPECT_TRUE(libraryText(NMAIL_MESSAGE_CERTIFICATE_PROBLEM).contains(u"名前"_qs));
    nmail::setExtraTrustAnchors({});
    QFile log(server.logFile);
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_FALSE(log.readAll().contains("user=<tama>"));
}
