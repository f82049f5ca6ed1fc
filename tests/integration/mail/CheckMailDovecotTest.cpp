// The whole mail check, as 受信 runs it, with the real mail library against a real Dovecot:
// the calls in their order, the notice, the error box with the server's own words, the meow
// and the hang-up.
#include "Trust.h"
#include "app/ProcessValues.h"
#include "mail/CheckMail.h"
#include "mail/NMailLibrary.h"
#include "mail/ServerTrust.h"
#include "nmail/NMail.h"
#include "settings/IdPassForm.h"
#include "settings/LiveOptions.h"
#include "settings/SetForm.h"
#include "settings/SettingsPaths.h"
#include "support/ChangedServices.h"
#include "support/DovecotFixture.h"
#include "support/MailCheckHarness.h"

#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QSslCertificate>
#include <gtest/gtest.h>
#include <memory>
#include <pwd.h>
#include <string>
#include <unistd.h>

namespace {

// Passes every call on to the real library and notes it with what the library answered.
class RecordingForwarder : public MailLibrary
{
public:
    explicit RecordingForwarder(MailLibrary& real) : m_real(real) {}
    QStringList calls;

    int32_t Pop3Connect(const char* host) override
    {
        const int32_t handle = m_real.Pop3Connect(host);
        calls << (handle < 0 ? QStringLiteral("connect failed") : QStringLiteral("connect"));
        return handle;
    }
    int32_t Pop3NewHandle() override { return m_real.Pop3NewHandle(); }
    int32_t Pop3ConnectHandle(int32_t handle, const char* host) override
    {
        const int32_t result = m_real.Pop3ConnectHandle(handle, host);
        calls << (result < 0 ? QStringLiteral("connect failed") : QStringLiteral("connect"));
        return result;
    }
    int32_t Pop3Authenticate(int32_t handle, const char* user, const char* pass,
                             int32_t apop) override
    {
        const int32_t count = m_real.Pop3Authenticate(handle, user, pass, apop);
        calls
            << QStringLiteral("login %1 %2 = %3").arg(QString::fromUtf8(user)).arg(apop).arg(count);
        return count;
    }
    int32_t Pop3GetMailStatus(int32_t handle, int32_t n, char* subject, char* date, char* from,
                              char* header, int32_t flag) override
    {
        const int32_t rc = m_real.Pop3GetMailStatus(handle, n, subject, date, from, header, flag);
        calls << QStringLiteral("status %1 = %2").arg(n).arg(rc);
        return rc;
    }
    int32_t Pop3GetMailSize(int32_t handle, int32_t n) override
    {
        const int32_t size = m_real.Pop3GetMailSize(handle, n);
        calls << QStringLiteral("size %1").arg(n);
        sizes << size;
        return size;
    }
    int32_t Pop3GetMail(int32_t handle, int32_t n, char* subject, char* date, char* from,
                        char* header, char* body, int32_t flag, int32_t reserved) override
    {
        const int32_t rc =
            m_real.Pop3GetMail(handle, n, subject, date, from, header, body, flag, reserved);
        calls << QStringLiteral("mail %1 = %2").arg(n).arg(rc);
        bodies << QByteArray(body);
        return rc;
    }
    int32_t GetMessage(int32_t kind, char* buffer, int32_t* length) override
    {
        calls << QStringLiteral("message");
        return m_real.GetMessage(kind, buffer, length);
    }
    int32_t Pop3Close(int32_t handle) override
    {
        calls << QStringLiteral("close");
        return m_real.Pop3Close(handle);
    }
    int32_t Pop3GetUidl(int32_t handle, int32_t n, char* buffer) override
    {
        calls << QStringLiteral("uidl %1").arg(n);
        return m_real.Pop3GetUidl(handle, n, buffer);
    }
    int32_t Pop3IsEncrypted(int32_t handle) override { return m_real.Pop3IsEncrypted(handle); }
    int32_t ImapConnectHandle(int32_t handle, const char* address) override
    {
        const int32_t result = m_real.ImapConnectHandle(handle, address);
        calls << (result < 0 ? QStringLiteral("connect failed") : QStringLiteral("connect"));
        return result;
    }
    int32_t ImapAuthenticate(int32_t handle, const char* user, const char* secret,
                             int32_t how) override
    {
        const int32_t count = m_real.ImapAuthenticate(handle, user, secret, how);
        calls << QStringLiteral("login %1 = %2").arg(QString::fromUtf8(user)).arg(count);
        return count;
    }
    int32_t ImapGetMailStatus(int32_t handle, int32_t index, char* subject, char* date, char* from,
                              char* header) override
    {
        const int32_t rc = m_real.ImapGetMailStatus(handle, index, subject, date, from, header);
        calls << QStringLiteral("status %1 = %2").arg(index).arg(rc);
        return rc;
    }

    QList<int32_t> sizes;
    QList<QByteArray> bodies;

private:
    MailLibrary& m_real;
};

class CheckMailDovecotTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_server = std::make_unique<DovecotFixture>();
        QString error;
        if (!s_server->start(DovecotFixture::TamaAndEmpty, &error))
            s_startError = error.toStdString();
        // The server offers STLS with its own throwaway certificate; trust it as a user would.
        nmail::setExtraTrustAnchors(QSslCertificate::fromPath(s_server->caFile));
        // As the mascot's window does when it opens.
        NMailInitializeWinSock();
        NMailSetOption(NMAIL_OPTION_BUFFER_SIZE, 8192);
    }
    static void TearDownTestSuite()
    {
        nmail::setExtraTrustAnchors({});
        NMailEndWinSock();
        s_server.reset();
    }

    void SetUp() override
    {
        ASSERT_TRUE(s_startError.empty()) << s_startError;
        sandbox.install(library, QStringLiteral("127.0.0.1:%1").arg(s_server->pop3));
        SetForm::Get().Check1->setChecked(false);
        answerer.onClose = [this] { library.calls << QStringLiteral("box"); };
    }
    void TearDown() override { sandbox.uninstall(); }

    void saveAccount(const QByteArray& id, const QByteArray& password)
    {
        sandbox.writeAccount("[EXEINI]\r\nNAME=" + id + "\r\nNAME2=" + password + "\r\n");
    }
    static QString count() { return MailCheckSandbox::count(); }
    static QString sentence() { return MailCheckSandbox::sentence(); }

    static std::unique_ptr<DovecotFixture> s_server;
    static std::string s_startError;

    std::unique_ptr<MailLibrary> nmailLibrary = MakeNMailLibrary();
    RecordingForwarder library{*nmailLibrary};
    MailCheckSandbox sandbox;
    CountingDialUp& dialUp = sandbox.dialUp;
    BoxAnswerer& answerer = sandbox.answerer;
};

std::unique_ptr<DovecotFixture> CheckMailDovecotTest::s_server;
std::string CheckMailDovecotTest::s_startError;

} // namespace

TEST_F(CheckMailDovecotTest, ThreeMessagesAreRetrievedInOrderAndTheKittenMeows)
{
    for (int apop : {0, 1}) {
        SCOPED_TRACE(apop);
        library.calls.clear();
        library.bodies.clear();
        MeowFlag = 0;
        saveAccount("tama", "secret");
        MailSettings.UseApop = apop;
        CheckMail();
        MailCheckSandbox::waitForCheck();
        const QString login = QStringLiteral("login tama %1 = 3").arg(apop ? -1 : 0);
        EXPECT_EQ(library.calls,
                  QStringList({QStringLiteral("connect"), login, QStringLiteral("status 1 = 0"),
                               QStringLiteral("size 1"), QStringLiteral("mail 1 = 0"),
                               QStringLiteral("status 2 = 0"), QStringLiteral("size 2"),
                               QStringLiteral("mail 2 = 0"), QStringLiteral("status 3 = 0"),
                               QStringLiteral("size 3"), QStringLiteral("mail 3 = 0"),
                               QStringLiteral("close")}));
        EXPECT_EQ(count(), QStringLiteral("3"));
        EXPECT_EQ(sentence(), QStringLiteral("新着メールが有ります。"));
        EXPECT_EQ(MeowFlag, 1);
        ASSERT_EQ(library.bodies.size(), 3);
        // The last message arrives whole and unstuffed in the buffer LIST's size made for it.
        EXPECT_TRUE(library.bodies[2].contains("\r\n\r\n.dot\r\nlast line\r\n"));
        EXPECT_EQ(library.bodies[2].size(), library.sizes.last());
    }
    EXPECT_TRUE(answerer.boxes.isEmpty());
}

TEST_F(CheckMailDovecotTest, AWrongPasswordShowsDovecotsWordsThenTheNegativeCount)
{
    for (int apop : {0, 1}) {
        SCOPED_TRACE(apop);
        library.calls.clear();
        answerer.boxes.clear();
        saveAccount("tama", "wrong");
        MailSettings.UseApop = apop;
        answerer.answerNext();
        CheckMail();
        MailCheckSandbox::waitForCheck();
        ASSERT_EQ(answerer.boxes.size(), 1);
        EXPECT_TRUE(answerer.boxes[0].startsWith(QStringLiteral("エラー|")));
        EXPECT_TRUE(
            answerer.boxes[0].endsWith(QStringLiteral("-ERR [AUTH] Authentication failed.")))
            << answerer.boxes[0].toStdString();
        EXPECT_EQ(library.calls.mid(2),
                  QStringList(
                      {QStringLiteral("message"), QStringLiteral("box"), QStringLiteral("close")}));
        EXPECT_EQ(count(), QString::number(NMAIL_ERR_LOGIN));
        EXPECT_EQ(sentence(), QStringLiteral("新着メールはありませんでした。"));
        EXPECT_EQ(MeowFlag, 0);
    }
}

TEST_F(CheckMailDovecotTest, AnEmptyMailboxShowsZeroAndNoBox)
{
    saveAccount("empty", "nothing");
    CheckMail();
    MailCheckSandbox::waitForCheck();
    EXPECT_EQ(library.calls,
              QStringList({QStringLiteral("connect"), QStringLiteral("login empty 0 = 0"),
                           QStringLiteral("close")}));
    EXPECT_EQ(count(), QStringLiteral("0"));
    EXPECT_EQ(sentence(), QStringLiteral("新着メールはありませんでした。"));
    EXPECT_TRUE(answerer.boxes.isEmpty());
    EXPECT_EQ(MeowFlag, 0);
}

TEST_F(CheckMailDovecotTest, TheAccountTypedButNotSavedIsNotTheOneUsed)
{
    saveAccount("empty", "nothing");
    IdPassForm& account = IdPassForm::Get();
    account.IdText->setText(QStringLiteral("tama"));
    account.PassText->setText(QStringLiteral("secret"));
    CheckMail();
    MailCheckSandbox::waitForCheck();
    EXPECT_EQ(library.calls.value(1), QStringLiteral("login empty 0 = 0"));
    EXPECT_EQ(count(), QStringLiteral("0"));
    EXPECT_EQ(account.IdText->text(), QStringLiteral("empty"));
}

TEST_F(CheckMailDovecotTest, TlsAndARefusedConnectionAreToldApart)
{
    saveAccount("tama", "secret");
    MailSettings.Pop3Server = QStringLiteral("pop3s://127.0.0.1:%1").arg(s_server->pop3s);
    CheckMail();
    MailCheckSandbox::waitForCheck();
    EXPECT_EQ(count(), QStringLiteral("3"));
    EXPECT_TRUE(answerer.boxes.isEmpty());

    // Without the test's certificate the server is not trusted: the reason, then "0".
    library.calls.clear();
    answerer.answerNext();
    nmail::setExtraTrustAnchors({});
    CheckMail();
    MailCheckSandbox::waitForCheck();
    nmail::setExtraTrustAnchors(QSslCertificate::fromPath(s_server->caFile));
    EXPECT_EQ(library.calls, QStringList({QStringLiteral("connect failed"),
                                          QStringLiteral("message"), QStringLiteral("box")}));
    ASSERT_EQ(answerer.boxes.size(), 1);
    EXPECT_TRUE(answerer.boxes[0].contains(QStringLiteral("証明書")))
        << answerer.boxes[0].toStdString();
    EXPECT_EQ(count(), QStringLiteral("0"));
}

TEST_F(CheckMailDovecotTest, TheHangUpFollowsEveryCheckOnlyWhenTicked)
{
    saveAccount("tama", "secret");
    CheckMail();
    MailCheckSandbox::waitForCheck();
    EXPECT_EQ(dialUp.enumerations, 0);

    SetForm::Get().Check1->setChecked(true);
    CheckMail(); // three messages
    MailCheckSandbox::waitForCheck();
    saveAccount("empty", "nothing");
    CheckMail(); // none
    MailCheckSandbox::waitForCheck();
    saveAccount("empty", "wrong");
    answerer.answerNext();
    CheckMail(); // a failed login
    MailCheckSandbox::waitForCheck();
    EXPECT_EQ(dialUp.enumerations, 3);
    EXPECT_EQ(answerer.boxes.size(), 1);
}

// New mail only: each message is reported by one check and no other, and nothing is read whole.
TEST_F(CheckMailDovecotTest, NewOnlyReportsThreeThenNoneThenTheOneDelivered)
{
    DovecotFixture server;
    QString error;
    ASSERT_TRUE(server.start(R"({"tls": false, "users": {"neko": {"password": "pw", "messages": [
        {"count": 3, "size": 2000}]}}})",
                             &error))
        << error.toStdString();
    MailSettings.Pop3Server = QStringLiteral("127.0.0.1:%1").arg(server.pop3);
    saveAccount("neko", "pw");
    MofurinOptions newOnly;
    newOnly.newOnly = true;
    LiveOptions::Get().set(newOnly);
    const auto check = [this] {
        library.calls.clear();
        MeowFlag = 0;
        CheckMail();
        MailCheckSandbox::waitForCheck();
        return count();
    };
    EXPECT_EQ(check(), QStringLiteral("3"));
    EXPECT_EQ(MeowFlag, 1);
    EXPECT_EQ(check(), QStringLiteral("0"));
    EXPECT_EQ(MeowFlag, 0);
    EXPECT_TRUE(library.calls.filter(QStringLiteral("status")).isEmpty()) << "no header read";

    // One more message arrives.
    const QString maildir = server.mailFolder + QStringLiteral("/neko/Maildir/new/");
    QFile delivered(maildir + QStringLiteral("1796700000.M9P1.mofurin"));
    ASSERT_TRUE(delivered.open(QIODevice::WriteOnly));
    delivered.write("From: =?UTF-8?B?44Gf44G+8J+Qvg==?= <tama@example.jp>\r\nSubject: "
                    "=?ISO-2022-JP?B?GyRCJUYlOSVIGyhC?=\r\n\r\nhello\r\n");
    delivered.close();
    const passwd* dovecot = ::getpwnam("dovecot");
    ASSERT_NE(dovecot, nullptr);
    ASSERT_EQ(::chown(QFile::encodeName(delivered.fileName()).constData(), dovecot->pw_uid,
                      dovecot->pw_gid),
              0);

    EXPECT_EQ(check(), QStringLiteral("1"));
    EXPECT_EQ(library.calls.filter(QStringLiteral("status")).size(), 1);
    EXPECT_TRUE(library.calls.filter(QStringLiteral("mail")).isEmpty());
    // The notice's tooltip names the sender and the subject, decoded, whatever their script.
    EXPECT_EQ(MsgForm::Get().toolTip(), u"たま🐾 — テスト"_qs);
    LiveOptions::Get().set(MofurinOptions());

    // Dovecot counted no download in any of the three sessions.
    QFile log(server.logFile);
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QByteArray text = log.readAll();
    EXPECT_EQ(text.count("retr=0/0"), 3) << text.constData();
}

// TLS once, TLS always: a server this program spoke TLS with that no longer offers STLS (as if
// someone stripped it on the way) gets no password until the user accepts the change.
TEST_F(CheckMailDovecotTest, AServerThatSpokeTlsAndNoLongerOffersItGetsNoPassword)
{
    DovecotFixture server;
    QString error;
    ASSERT_TRUE(server.start(R"({"tls": false, "users": {"neko": {"password": "pw",
        "messages": [{"count": 2, "size": 1000}]}}})",
                             &error))
        << error.toStdString();
    MailSettings.Pop3Server = QStringLiteral("127.0.0.1:%1").arg(server.pop3);
    saveAccount("neko", "pw");
    ServerTrust trust(ServerTrustFilePath());
    ASSERT_TRUE(trust.setTlsSeen(ServerTrust::keyOf(MailSettings.Pop3Server), true));
    // The library's failure codes tell the stripped TLS apart.
    struct Telling : RecordingForwarder
    {
        using RecordingForwarder::RecordingForwarder;
        int32_t GetLastResult() override { return NMailGetLastResult(); }
    } telling{library};
    const ChangedServices tellingInUse([&](Services& s) { s.mail = &telling; });

    answerer.press = QMessageBox::No;
    answerer.answerNext();
    CheckMail();
    MailCheckSandbox::waitForCheck();
    ASSERT_EQ(answerer.boxes.size(), 1);
    EXPECT_TRUE(answerer.boxes[0].contains(QStringLiteral("STLS")))
        << answerer.boxes[0].toStdString();
    EXPECT_EQ(count(), QStringLiteral("0"));
    QFile log(server.logFile);
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_FALSE(log.readAll().contains("user=<neko>")) << "a password went out";

    // The user confirms the server has stopped offering TLS: from then on it is plain again.
    answerer.press = QMessageBox::Yes;
    answerer.answerNext();
    CheckMail();
    MailCheckSandbox::waitForCheck();
    EXPECT_FALSE(trust.tlsSeen(ServerTrust::keyOf(MailSettings.Pop3Server)));
    CheckMail();
    MailCheckSandbox::waitForCheck();
    EXPECT_EQ(count(), QStringLiteral("2"));
}

// IMAP servers as Dovecot serves a client from elsewhere (the fixture's relays): one that wants
// STARTTLS first gets it and the login after it; where TLS is demanded and not offered, or the
// server takes no login without TLS and offers none, the box says so in the library's words,
// not as a wrong password, and nothing of the account went to the server.
TEST_F(CheckMailDovecotTest, ImapTlsRulesOfARemoteServer)
{
    struct Row
    {
        const char* what;
        const char* scheme;
        int DovecotFixture::*port;
        QStringList calls;
        const char16_t* box; // part of the error box's text; none without a box
        QString count;
    };
    const Row rows[] = {
        {"STARTTLS before the login",
         "imap",
         &DovecotFixture::imapStartTlsRequired,
         {QStringLiteral("connect"), QStringLiteral("login tama = 3"),
          QStringLiteral("status 1 = 0"), QStringLiteral("status 2 = 0"),
          QStringLiteral("status 3 = 0"), QStringLiteral("close")},
         nullptr,
         QStringLiteral("3")},
        {"STARTTLS demanded, none offered",
         "imap+starttls",
         &DovecotFixture::imapNoStartTls,
         {QStringLiteral("connect failed"), QStringLiteral("message"), QStringLiteral("box")},
         u"メールサーバーが暗号化通信(STARTTLS)を提供していないため、接続をやめました。",
         QStringLiteral("0")},
        {"no TLS, LOGINDISABLED",
         "imap",
         &DovecotFixture::imapLoginDisabled,
         {QStringLiteral("connect"), QStringLiteral("login tama = %1").arg(NMAIL_ERR_LOGIN),
          QStringLiteral("message"), QStringLiteral("box"), QStringLiteral("close")},
         u"メールサーバーがこの接続でのログインを受け付けていません(LOGINDISABLED)。",
         QString::number(NMAIL_ERR_LOGIN)},
    };
    saveAccount("tama", "secret");
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        library.calls.clear();
        answerer.boxes.clear();
        const int port = (*s_server).*row.port;
        MailSettings.Pop3Server = QStringLiteral("%1://127.0.0.1:%2").arg(row.scheme).arg(port);
        if (row.box)
            answerer.answerNext();
        CheckMail();
        MailCheckSandbox::waitForCheck();
        EXPECT_EQ(library.calls, row.calls);
        EXPECT_EQ(count(), row.count);
        if (row.box) {
            ASSERT_EQ(answerer.boxes.size(), 1);
            EXPECT_EQ(answerer.boxes[0], QStringLiteral("エラー|") + QString::fromUtf16(row.box));
        } else {
            EXPECT_TRUE(answerer.boxes.isEmpty()) << answerer.boxes.join(u'\n').toStdString();
        }
        const QList<QByteArray> sent = s_server->takeRelayed(port);
        ASSERT_EQ(sent.size(), 1);
        const QByteArray clear = sent[0].left(sent[0].indexOf("STARTTLS\r\n"));
        EXPECT_FALSE(clear.contains(" LOGIN ") || clear.contains(" AUTHENTICATE ") ||
                     clear.contains("secret") || clear.contains("c2VjcmV0"))
            << clear.constData();
    }
}
