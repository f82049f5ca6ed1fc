// The mail library's IMAP side against a real Dovecot: unseen counting that changes no flag,
// STARTTLS (also as Dovecot demands it of a remote client), LOGINDISABLED, a Japanese mailbox
// name, a refused login's own words and IDLE seeing a delivery.
#include "DovecotLibraryTest.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <grp.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

// Writes a message into a Maildir folder as a delivery agent does (tmp/, then new/), owned by
// the mail user as Dovecot wants it.
void deliver(const QString& maildir, const QByteArray& message)
{
    const passwd* dovecot = ::getpwnam("dovecot");
    for (const char* sub : {"", "/tmp", "/new", "/cur"}) {
        QDir().mkpath(maildir + QLatin1String(sub));
        if (dovecot) {
            (void)::chown(QFile::encodeName(maildir + QLatin1String(sub)).constData(),
                          dovecot->pw_uid, dovecot->pw_gid);
        }
    }
    static int counter = 0;
    const QString name =
        QStringLiteral("%1.M%2P%3.test").arg(time(nullptr)).arg(++counter).arg(getpid());
    QFile file(maildir + QStringLiteral("/tmp/") + name);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(message);
    file.close();
    if (dovecot) {
        (void)::chown(QFile::encodeName(file.fileName()).constData(), dovecot->pw_uid,
                      dovecot->pw_gid);
    }
    ASSERT_TRUE(QFile::rename(file.fileName(), maildir + QStringLiteral("/new/") + name));
}

class DovecotImapTest : public DovecotLibraryTest
{
protected:
    static void SetUpTestSuite()
    {
        // Four messages, the first and third already read.
        startServer(R"({"users": {"tama": {"password": "secret", "seen": [0, 2],
            "messages": [{"count": 3, "size": 1000},
              "Subject: =?UTF-8?B?44GK44Gv44KI44GG?=\nFrom: a@example.jp\n\nbody\n"]}}})");
    }

    static std::string imap(const QString& mailbox = {})
    {
        return localAddress(s_server->imap, "imap") +
               (mailbox.isEmpty() ? std::string() : '/' + toCp932(mailbox).toStdString());
    }
    static std::string imaps() { return localAddress(s_server->imaps, "imaps"); }

    // Every message's flags as Dovecot itself reports them.
    static QString flags()
    {
        QProcess doveadm;
        doveadm.start(QStringLiteral("doveadm"),
                      {QStringLiteral("-c"),
                       s_server->mailFolder + QStringLiteral("/../dovecot.conf"),
                       QStringLiteral("fetch"), QStringLiteral("-u"), QStringLiteral("tama"),
                       QStringLiteral("uid flags"), QStringLiteral("mailbox"),
                       QStringLiteral("INBOX"), QStringLiteral("all")});
        doveadm.waitForFinished(20000);
        return QString::fromUtf8(doveadm.readAllStandardOutput());
    }
};

} // namespace

// imap:// takes the STARTTLS the plain listener offers; the unseen are counted, read and
// left unseen, and no flag changes.
TEST_F(DovecotImapTest, CountsTheUnseenAndChangesNoFlag)
{
    const QString before = flags();
    ASSERT_TRUE(before.contains(u"\\Seen")) << before.toStdString();
    const int32_t handle = NMailPop3NewHandle();
    ASSERT_EQ(NMailImapConnectHandle(handle, imap().c_str()), NMAIL_OK) << lastMessage();
    EXPECT_EQ(NMailPop3IsEncrypted(handle), 1);
    ASSERT_EQ(NMailImapAuthenticate(handle, "tama", "secret", NMAIL_IMAP_PASSWORD), 2)
        << lastMessage();
    char id[TextSize];
    ASSERT_EQ(NMailImapGetUnseenId(handle, 2, id), NMAIL_OK);
    EXPECT_TRUE(QByteArray(id).endsWith("/4")) << id;
    ASSERT_EQ(NMailImapGetMailStatus(handle, 2, subject, date, from, header), NMAIL_OK)
        << lastMessage();
    EXPECT_EQ(fromCp932(subject), u"おはよう"_qs);
    EXPECT_EQ(NMailPop3Close(handle), NMAIL_OK);
    EXPECT_EQ(flags().toStdString(), before.toStdString());
}

TEST_F(DovecotImapTest, WrongPasswordGivesDovecotsOwnText)
{
    const int32_t handle = NMailPop3NewHandle();
    ASSERT_EQ(NMailImapConnectHandle(handle, imaps().c_str()), NMAIL_OK) << lastMessage();
    EXPECT_EQ(NMailImapAuthenticate(handle, "tama", "wrong", NMAIL_IMAP_PASSWORD), NMAIL_ERR_LOGIN);
    EXPECT_TRUE(libraryText().contains(u"Authentication failed."_qs)) << lastMessage();
    EXPECT_EQ(NMailPop3Close(handle), NMAIL_OK);
}

// A folder with a Japanese name, as Dovecot keeps it in a Maildir++ (its name in modified
// UTF-7, '.' between levels), named in the address with "/" as a path is.
TEST_F(DovecotImapTest, AJapaneseMailboxName)
{
    deliver(s_server->mailFolder + QStringLiteral("/tama/Maildir/.Lists.&cys-"),
            "Subject: neko\r\nFrom: b@example.jp\r\n\r\nnyaa\r\n");
    const int32_t handle = NMailPop3NewHandle();
    ASSERT_EQ(NMailImapConnectHandle(handle, imap(u"Lists/猫"_qs).c_str()), NMAIL_OK)
        << lastMessage();
    ASSERT_EQ(NMailImapAuthenticate(handle, "tama", "secret", NMAIL_IMAP_PASSWORD), 1)
        << lastMessage();
    ASSERT_EQ(NMailImapGetMailStatus(handle, 1, subject, date, from, header), NMAIL_OK);
    EXPECT_STREQ(subject, "neko");
    NMailPop3Close(handle);
}

// Dovecot announces a delivery to an idling session; the wait ends with it, well within 2 s.
TEST_F(DovecotImapTest, IdleSeesADelivery)
{
    const int32_t handle = NMailPop3NewHandle();
    ASSERT_EQ(NMailImapConnectHandle(handle, imaps().c_str()), NMAIL_OK) << lastMessage();
    const int32_t unseen = NMailImapAuthenticate(handle, "tama", "secret", NMAIL_IMAP_PASSWORD);
    ASSERT_GE(unseen, 0) << lastMessage();
    ASSERT_EQ(NMailImapHasIdle(handle), 1);
    QElapsedTimer clock;
    std::thread postman([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        clock.start();
        deliver(s_server->mailFolder + QStringLiteral("/tama/Maildir"),
                "Subject: new\r\nFrom: c@example.jp\r\n\r\nnew\r\n");
    });
    EXPECT_EQ(NMailImapIdle(handle, 10000), 1) << lastMessage();
    const qint64 latency = clock.elapsed();
    postman.join();
    EXPECT_LT(latency, 2000);
    std::printf("IDLE: a delivery announced after %lld ms\n", static_cast<long long>(latency));
    EXPECT_EQ(NMailImapRefresh(handle), unseen + 1) << lastMessage();
    NMailPop3Close(handle);
}

// Dovecot as it meets a client from elsewhere (from 127.0.0.1 it would take any login): the
// fixture's relays name a remote address, and Dovecot applies its TLS rules to it. What the
// relay passed on is what the server received; whatever went before STARTTLS went in the clear
// and must hold no login.
TEST_F(DovecotImapTest, TlsAsDovecotDemandsItOfARemoteClient)
{
    struct Row
    {
        const char* what;
        const char* scheme;
        int DovecotFixture::*port;
        int32_t connected; // NMailImapConnectHandle's result
        int32_t encrypted;
        bool loginInClear;      // where the server takes one in the clear, and only there
        int32_t loggedIn;       // NMAIL_OK for any count, or the failure
        const char16_t* reason; // part of the last error, for a failure
    };
    const Row rows[] = {
        {"STARTTLS taken where offered", "imap", &DovecotFixture::imapStartTlsRequired, NMAIL_OK, 1,
         false, NMAIL_OK, nullptr},
        {"STARTTLS demanded and offered", "imap+starttls", &DovecotFixture::imapStartTlsRequired,
         NMAIL_OK, 1, false, NMAIL_OK, nullptr},
        {"STARTTLS demanded, none offered", "imap+starttls", &DovecotFixture::imapNoStartTls,
         NMAIL_ERR_TLS_MISSING, 0, false, NMAIL_OK, u"(STARTTLS)を提供していない"},
        {"no TLS, a login in the clear allowed", "imap", &DovecotFixture::imapNoStartTls, NMAIL_OK,
         0, true, NMAIL_OK, nullptr},
        {"no TLS, LOGINDISABLED", "imap", &DovecotFixture::imapLoginDisabled, NMAIL_OK, 0, false,
         NMAIL_ERR_LOGIN, u"(LOGINDISABLED)"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const int port = (*s_server).*row.port;
        ASSERT_GT(port, 0);
        const std::string address = localAddress(port, row.scheme);
        const int32_t handle = NMailPop3NewHandle();
        const int32_t connected = NMailImapConnectHandle(handle, address.c_str());
        EXPECT_EQ(connected, row.connected) << lastMessage();
        if (connected == NMAIL_OK) {
            EXPECT_EQ(NMailPop3IsEncrypted(handle), row.encrypted);
            const int32_t unseen =
                NMailImapAuthenticate(handle, "tama", "secret", NMAIL_IMAP_PASSWORD);
            if (row.loggedIn == NMAIL_OK) {
                EXPECT_GE(unseen, 0) << lastMessage();
            } else {
                EXPECT_EQ(unseen, row.loggedIn);
            }
            NMailPop3Close(handle);
        }
        if (row.reason) {
            EXPECT_TRUE(libraryText().contains(QString::fromUtf16(row.reason))) << lastMessage();
        }

        const QList<QByteArray> sent = s_server->takeRelayed(port);
        ASSERT_EQ(sent.size(), 1);
        const qsizetype tls = sent[0].indexOf("STARTTLS\r\n");
        const QByteArray clear = tls < 0 ? sent[0] : sent[0].left(tls);
        EXPECT_EQ(row.encrypted == 1, tls >= 0) << sent[0].constData();
        const bool login = clear.contains(" LOGIN ") || clear.contains(" AUTHENTICATE ");
        EXPECT_EQ(login, row.loginInClear) << clear.constData();
    }
}
