// One check without windows against a scripted library: the calls in order and the outcome.
#include "mail/MailCheck.h"

#include "mail/MailLibraryModule.h"
#include "support/FakeAccountSource.h"
#include "support/RecordingMailLibrary.h"

#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

const MailAccount Stored{u"tama"_s, u"secret"_s};

MailCheck::Request request(bool newOnly = false, QSet<QByteArray> reported = {},
                           QString server = u"pop.example.jp"_s, bool apop = false)
{
    MailCheck::Request r;
    r.server = std::move(server);
    r.apop = apop;
    r.newOnly = newOnly;
    r.reported = std::move(reported);
    return r;
}

} // namespace

TEST(MailCheck, CallOrderAndOutcome)
{
    struct Case
    {
        const char* name;
        int32_t connectResult;
        int32_t loginResult;
        MailAccount account;
        QStringList calls;
        int32_t count = 0;
        bool connected = false;
        bool accountIncomplete = false;
        bool failureHeard = false; // the login failure reached the caller before the close
        bool newOnly = false;
        QSet<QByteArray> reported = {};
        QList<QByteArray> uidls = {}; // none: the server refuses UIDL
        int32_t size = 100;           // every message's size, as LIST gives it
        QString dropAt = {};          // the call at which the connection is lost
        qsizetype headlines = -1;     // the headlines reported; -1: one per message counted
        QString server = u"pop.example.jp"_s;
        bool apop = false;
        QString cancelAt = {};     // the call during which 中止 comes
        int32_t firstHeadline = 0; // the message whose sender and subject come first
        QString failureHas = {};   // what the failure's text says
    };
    // IMAP: the unseen messages of the address's mailbox, their identities UIDVALIDITY/UID.
    const QString Imap = u"imaps://imap.example.jp/Lists/猫"_s;
    const QString ImapConnect = u"imap connect "_s + Imap;
    const QString ImapLogin = u"imap login 7 tama secret 0"_s; // APOP is POP3's alone
    const QList<QByteArray> Unseen{"2/5", "2/6", "2/7"};
    const QStringList SizeButNoRead{u"connect pop.example.jp"_s, u"login 7 tama secret 0"_s,
                                    u"status 1"_s, u"size 1"_s, u"close 7"_s};
    const QSet<QByteArray> NoneReported;
    const QList<QByteArray> NoUidl;
    const Case cases[] = {
        {"three messages", 7, 3, Stored,
         QStringList{u"connect pop.example.jp"_s, u"login 7 tama secret 0"_s, u"status 1"_s,
                     u"size 1"_s, u"mail 1 101"_s, u"status 2"_s, u"size 2"_s, u"mail 2 101"_s,
                     u"status 3"_s, u"size 3"_s, u"mail 3 101"_s, u"close 7"_s},
         3, true, false, false},
        // Every message read as always; the headlines kept are the newest five.
        {.name = "six messages",
         .connectResult = 7,
         .loginResult = 6,
         .account = Stored,
         .calls = {u"connect pop.example.jp"_s,
                   u"login 7 tama secret 0"_s,
                   u"status 1"_s,
                   u"size 1"_s,
                   u"mail 1 101"_s,
                   u"status 2"_s,
                   u"size 2"_s,
                   u"mail 2 101"_s,
                   u"status 3"_s,
                   u"size 3"_s,
                   u"mail 3 101"_s,
                   u"status 4"_s,
                   u"size 4"_s,
                   u"mail 4 101"_s,
                   u"status 5"_s,
                   u"size 5"_s,
                   u"mail 5 101"_s,
                   u"status 6"_s,
                   u"size 6"_s,
                   u"mail 6 101"_s,
                   u"close 7"_s},
         .count = 6,
         .connected = true,
         .headlines = 5},
        {"empty mailbox", 7, 0, Stored,
         QStringList{u"connect pop.example.jp"_s, u"login 7 tama secret 0"_s, u"close 7"_s}, 0,
         true, false, false},
        {"failed login", 7, -2, Stored,
         QStringList{u"connect pop.example.jp"_s, u"login 7 tama secret 0"_s, u"message"_s,
                     u"heard"_s, u"close 7"_s},
         -2, true, false, true},
        {"incomplete account", 7, 3, MailAccount{u"tama"_s, {}},
         QStringList{u"connect pop.example.jp"_s, u"close 7"_s}, 0, true, true, false},
        {"failed connection", -1, 3, Stored, QStringList{u"connect pop.example.jp"_s, u"message"_s},
         0, false, false, false},
        // A size that cannot be a message's is counted but never read.
        {"negative size", 7, 1, Stored, SizeButNoRead, 1, true, false, false, false, NoneReported,
         NoUidl, -5},
        {"huge size", 7, 1, Stored, SizeButNoRead, 1, true, false, false, false, NoneReported,
         NoUidl, 0x7fffffff},
        // New mail only: the identities first, then the headers of the new messages alone;
        // no message is ever read whole.
        {"new only, first check",
         7,
         3,
         Stored,
         QStringList{u"connect pop.example.jp"_s, u"login 7 tama secret 0"_s, u"uidl 1"_s,
                     u"uidl 2"_s, u"uidl 3"_s, u"status 1"_s, u"status 2"_s, u"status 3"_s,
                     u"close 7"_s},
         3,
         true,
         false,
         false,
         true,
         {},
         {"a", "b", "c"}},
        {"new only, one new",
         7,
         3,
         Stored,
         QStringList{u"connect pop.example.jp"_s, u"login 7 tama secret 0"_s, u"uidl 1"_s,
                     u"uidl 2"_s, u"uidl 3"_s, u"status 3"_s, u"close 7"_s},
         1,
         true,
         false,
         false,
         true,
         {"a", "b", "gone"},
         {"a", "b", "c"}},
        {"new only, nothing new",
         7,
         2,
         Stored,
         QStringList{u"connect pop.example.jp"_s, u"login 7 tama secret 0"_s, u"uidl 1"_s,
                     u"uidl 2"_s, u"close 7"_s},
         0,
         true,
         false,
         false,
         true,
         {"a", "b"},
         {"a", "b"}},
        {"new only, no UIDL: identities from the headers", 7, 2, Stored,
         QStringList{u"connect pop.example.jp"_s, u"login 7 tama secret 0"_s, u"uidl 1"_s,
                     u"status 1"_s, u"size 1"_s, u"status 2"_s, u"size 2"_s, u"close 7"_s},
         2, true, false, false, true},
        // A UIDL that breaks is not a UIDL refused: a lost connection fails the check, which
        // reports no headline it did not read and remembers nothing; STAT's count stands.
        {"new only, connection lost in UIDL",
         7,
         3,
         Stored,
         QStringList{u"connect pop.example.jp"_s, u"login 7 tama secret 0"_s, u"uidl 1"_s,
                     u"message"_s, u"close 7"_s},
         3,
         true,
         false,
         false,
         true,
         NoneReported,
         {"a", "b", "c"},
         100,
         u"uidl 1"_s,
         0},
        {"new only, no UIDL, connection lost in the headers", 7, 3, Stored,
         QStringList{u"connect pop.example.jp"_s, u"login 7 tama secret 0"_s, u"uidl 1"_s,
                     u"status 1"_s, u"size 1"_s, u"status 2"_s, u"message"_s, u"close 7"_s},
         3, true, false, false, true, NoneReported, NoUidl, 100, u"status 2"_s, 0},
        {"new only, connection lost reading a new message's headers",
         7,
         3,
         Stored,
         QStringList{u"connect pop.example.jp"_s, u"login 7 tama secret 0"_s, u"uidl 1"_s,
                     u"uidl 2"_s, u"uidl 3"_s, u"status 2"_s, u"status 3"_s, u"message"_s,
                     u"close 7"_s},
         2,
         true,
         false,
         false,
         true,
         {"a"},
         {"a", "b", "c"},
         100,
         u"status 3"_s,
         1},
        // IMAP reads the headers of the unseen messages it counts, never a whole message.
        {.name = "imap, unseen counted",
         .connectResult = 7,
         .loginResult = 2,
         .account = Stored,
         .calls = {ImapConnect, ImapLogin, u"headers 1"_s, u"headers 2"_s, u"close 7"_s},
         .count = 2,
         .connected = true,
         .server = Imap,
         .apop = true,
         .firstHeadline = 1},
        {.name = "imap, new only, UIDVALIDITY changed: every unseen message is new once",
         .connectResult = 7,
         .loginResult = 3,
         .account = Stored,
         .calls = {ImapConnect, ImapLogin, u"uid 1"_s, u"uid 2"_s, u"uid 3"_s, u"headers 1"_s,
                   u"headers 2"_s, u"headers 3"_s, u"close 7"_s},
         .count = 3,
         .connected = true,
         .newOnly = true,
         .reported = {"1/5", "1/6", "1/7"},
         .uidls = Unseen,
         .server = Imap,
         .firstHeadline = 1},
        {.name = "imap, new only, one new",
         .connectResult = 7,
         .loginResult = 3,
         .account = Stored,
         .calls = {ImapConnect, ImapLogin, u"uid 1"_s, u"uid 2"_s, u"uid 3"_s, u"headers 3"_s,
                   u"close 7"_s},
         .count = 1,
         .connected = true,
         .newOnly = true,
         .reported = {"2/5", "2/6", "1/7"},
         .uidls = Unseen,
         .server = Imap,
         .firstHeadline = 3},
        // Thousands of unseen messages must not mean thousands of requests: only the headers
        // the user can be shown are read, those of the newest messages.
        {.name = "imap, seven unseen: the headers of the newest five",
         .connectResult = 7,
         .loginResult = 7,
         .account = Stored,
         .calls = {ImapConnect, ImapLogin, u"headers 3"_s, u"headers 4"_s, u"headers 5"_s,
                   u"headers 6"_s, u"headers 7"_s, u"close 7"_s},
         .count = 7,
         .connected = true,
         .headlines = 5,
         .server = Imap,
         .firstHeadline = 3},
        {.name = "imap, new only, seven new: the headers of the newest five",
         .connectResult = 7,
         .loginResult = 7,
         .account = Stored,
         .calls = {ImapConnect, ImapLogin, u"uid 1"_s, u"uid 2"_s, u"uid 3"_s, u"uid 4"_s,
                   u"uid 5"_s, u"uid 6"_s, u"uid 7"_s, u"headers 3"_s, u"headers 4"_s,
                   u"headers 5"_s, u"headers 6"_s, u"headers 7"_s, u"close 7"_s},
         .count = 7,
         .connected = true,
         .newOnly = true,
         .uidls = {"2/1", "2/2", "2/3", "2/4", "2/5", "2/6", "2/7"},
         .headlines = 5,
         .server = Imap,
         .firstHeadline = 3},
        {.name = "imap, new only, connection lost reading the headers",
         .connectResult = 7,
         .loginResult = 3,
         .account = Stored,
         .calls = {ImapConnect, ImapLogin, u"uid 1"_s, u"uid 2"_s, u"uid 3"_s, u"headers 2"_s,
                   u"headers 3"_s, u"message"_s, u"close 7"_s},
         .count = 2,
         .connected = true,
         .newOnly = true,
         .reported = {"2/5"},
         .uidls = Unseen,
         .dropAt = u"headers 3"_s,
         .headlines = 1,
         .server = Imap,
         .firstHeadline = 2},
        {.name = "imap, new only, cancelled while identifying",
         .connectResult = 7,
         .loginResult = 3,
         .account = Stored,
         .calls = {ImapConnect, ImapLogin, u"uid 1"_s, u"uid 2"_s, u"cancel 7"_s, u"close 7"_s},
         .count = 3,
         .connected = true,
         .newOnly = true,
         .uidls = Unseen,
         .headlines = 0,
         .server = Imap,
         .cancelAt = u"uid 2"_s},
        // 中止 during the login: the check ends without a word, as at any other step.
        {.name = "imap, cancelled during the login",
         .connectResult = 7,
         .loginResult = NMAIL_ERR_CLOSED,
         .account = Stored,
         .calls = {ImapConnect, ImapLogin, u"cancel 7"_s, u"close 7"_s},
         .count = NMAIL_ERR_CLOSED,
         .connected = true,
         .headlines = 0,
         .server = Imap,
         .cancelAt = ImapLogin},
        {.name = "imap, cancelled reading the headers",
         .connectResult = 7,
         .loginResult = 3,
         .account = Stored,
         .calls = {ImapConnect, ImapLogin, u"headers 1"_s, u"cancel 7"_s, u"close 7"_s},
         .count = 3,
         .connected = true,
         .headlines = 1,
         .server = Imap,
         .cancelAt = u"headers 1"_s},
        // The server refused to open the mailbox: its name is said before the server's words.
        {.name = "imap, mailbox refused",
         .connectResult = 7,
         .loginResult = NMAIL_ERR_SERVER,
         .account = Stored,
         .calls = {ImapConnect, ImapLogin, u"message"_s, u"heard"_s, u"close 7"_s},
         .count = NMAIL_ERR_SERVER,
         .connected = true,
         .failureHeard = true,
         .server = Imap,
         .failureHas = u"「Lists/猫」を開けませんでした"_s},
        // Reporting every message, a drop leaves STAT's count standing, as it always has, but
        // no headline is made up for a message whose header was not read.
        {.name = "three messages, connection lost at the second",
         .connectResult = 7,
         .loginResult = 3,
         .account = Stored,
         .calls = {u"connect pop.example.jp"_s, u"login 7 tama secret 0"_s, u"status 1"_s,
                   u"size 1"_s, u"mail 1 101"_s, u"status 2"_s, u"size 2"_s, u"status 3"_s,
                   u"size 3"_s, u"close 7"_s},
         .count = 3,
         .connected = true,
         .dropAt = u"status 2"_s,
         .headlines = 1},
        {.name = "imap, failed connection",
         .connectResult = -1,
         .loginResult = 3,
         .account = Stored,
         .calls = {ImapConnect, u"message"_s},
         .server = Imap},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingLibrary library;
        library.connectResult = c.connectResult;
        library.loginResult = c.loginResult;
        library.uidls = c.uidls;
        library.size = c.size;
        library.dropAt = c.dropAt;
        library.cancelAt = c.cancelAt;
        int accountReads = 0;
        QList<int32_t> progress;
        MailCheck check(library);
        library.cancel = [&] { check.cancel(); };
        MailCheck::Hooks hooks;
        hooks.account = [&] {
            ++accountReads;
            return c.account;
        };
        hooks.loginFailed = [&](const MailCheck::Outcome& failed) {
            EXPECT_FALSE(failed.failure.isEmpty());
            library.calls << u"heard"_s;
        };
        hooks.progress = [&](int32_t n, int32_t total) { progress << n * 100 + total; };
        const MailCheck::Outcome outcome =
            check.run(request(c.newOnly, c.reported, c.server, c.apop), hooks);
        EXPECT_EQ(library.calls, c.calls);
        EXPECT_EQ(outcome.count, c.count);
        EXPECT_EQ(outcome.connected, c.connected);
        EXPECT_EQ(outcome.accountIncomplete, c.accountIncomplete);
        const bool walkFailed = !c.dropAt.isEmpty() && c.newOnly;
        EXPECT_EQ(outcome.failure.isEmpty(), c.connected && !c.failureHeard && !walkFailed);
        EXPECT_EQ(outcome.walkFailed, walkFailed);
        EXPECT_EQ(accountReads, c.connected ? 1 : 0) << "the account is read after the connect";
        EXPECT_EQ(outcome.cancelled, !c.cancelAt.isEmpty());
        EXPECT_TRUE(outcome.failure.contains(c.failureHas)) << outcome.failure.toStdString();
        if (c.firstHeadline > 0 && !outcome.headlines.isEmpty()) {
            EXPECT_EQ(outcome.headlines[0].from, u"from %1"_s.arg(c.firstHeadline));
            EXPECT_EQ(outcome.headlines[0].subject, u"subject %1"_s.arg(c.firstHeadline));
        }
        if (c.count == 3 && !walkFailed && c.cancelAt.isEmpty()) {
            EXPECT_EQ(progress, (QList<int32_t>{103, 203, 303}));
        }
        EXPECT_EQ(outcome.headlines.size(),
                  c.headlines >= 0 ? c.headlines : (c.count > 0 ? c.count : 0));
        EXPECT_EQ(outcome.remember.has_value(), c.newOnly && !walkFailed && c.cancelAt.isEmpty());
        if (c.newOnly && !c.uidls.isEmpty() && !walkFailed && c.cancelAt.isEmpty()) {
            EXPECT_EQ(*outcome.remember, c.uidls) << "only what the server still holds";
        }
    }
}

TEST(MailCheck, AnUntrustedCertificateIsReportedForTheUserToJudge)
{
    RecordingLibrary library;
    library.connectResult = -1;
    library.lastResult = NMAIL_ERR_CERTIFICATE;
    library.certificate[0] = "127.0.0.1";
    library.certificate[2] = "AB:CD";
    library.certificate[3] = u"自己署名の証明書です。"_s.toUtf8();
    const MailCheck::Outcome outcome = MailCheck(library).run(request(), {});
    EXPECT_EQ(outcome.failureCode, NMAIL_ERR_CERTIFICATE);
    ASSERT_TRUE(outcome.certificate.has_value());
    EXPECT_EQ(outcome.certificate->subject, u"127.0.0.1"_s);
    EXPECT_EQ(outcome.certificate->fingerprint, u"AB:CD"_s);
    EXPECT_EQ(outcome.certificate->problem, u"自己署名の証明書です。"_s);
}

// A desktop account: its own server and user name, a token (or the account's password) from the
// service, a refused token renewed once, a second refusal or an account needing attention told
// in one sentence, an account gone given up; the secret goes to the login alone.
TEST(MailCheck, ADesktopAccountLogsInWithTheServicesServerAndCredentials)
{
    struct Case
    {
        const char* name;
        QList<int32_t> logins; // what the IMAP logins answer in turn
        QStringList calls;
        int32_t count;
        int renewals = 0;
        bool heard = false; // the failure reached the caller before the close
        QString failureHas = {};
        bool gone = false;
        bool password = false; // a password-based account
        bool attention = false;
        bool plain = false; // the account's server offers no TLS
    };
    const QString Connect = u"imap connect imaps://imap.example.jp"_s;
    const QString Bearer0 = u"imap login 7 kitten@example.com token-0 1"_s;
    const QString Bearer1 = u"imap login 7 kitten@example.com token-1 1"_s;
    const Case cases[] = {
        {"the bearer login",
         {2},
         {Connect, Bearer0, u"headers 1"_s, u"headers 2"_s, u"close 7"_s},
         2},
        {"a refused token renewed once",
         {NMAIL_ERR_TOKEN_REFUSED, 1},
         {Connect, Bearer0, Bearer1, u"headers 1"_s, u"close 7"_s},
         1,
         1},
        {"refused twice: sign in again",
         {NMAIL_ERR_TOKEN_REFUSED, NMAIL_ERR_TOKEN_REFUSED},
         {Connect, Bearer0, Bearer1, u"heard"_s, u"close 7"_s},
         NMAIL_ERR_TOKEN_REFUSED,
         1,
         true,
         u"もう一度サインイン"_s},
        {"attention needed: no login",
         {},
         {Connect, u"heard"_s, u"close 7"_s},
         NMAIL_ERR_LOGIN,
         0,
         true,
         u"もう一度サインイン"_s,
         false,
         false,
         true},
        {"a password-based account",
         {1},
         {Connect, u"imap login 7 kitten@example.com account-password 0"_s, u"headers 1"_s,
          u"close 7"_s},
         1,
         0,
         false,
         {},
         false,
         true},
        {"the account is gone", {}, {}, 0, 0, false, u"見つかりません"_s, true},
        {"no TLS: nothing sent",
         {},
         {Connect, u"heard"_s, u"close 7"_s},
         NMAIL_ERR_TLS_MISSING,
         0,
         true,
         u"暗号化"_s,
         false,
         false,
         false,
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingLibrary library;
        library.imapLoginResults = c.logins;
        library.encryptedAnswer = c.plain ? 0 : 1;
        FakeAccountSource accounts;
        OnlineAccount account =
            FakeAccountSource::OAuth2Account(u"account_1"_s, u"imap.example.jp"_s);
        if (c.password)
            account.login = OnlineAccount::Login::Password;
        account.attentionNeeded = c.attention;
        if (!c.gone)
            accounts.list = {account};
        MailCheck check(library);
        MailCheck::Hooks hooks;
        hooks.account = [] { return Stored; }; // the program's own account is not used
        hooks.loginFailed = [&](const MailCheck::Outcome&) { library.calls << u"heard"_s; };
        MailCheck::Request r = request(false, {}, u"pop.example.jp"_s);
        r.desktopAccountId = u"account_1"_s;
        r.accounts = &accounts;
        const MailCheck::Outcome outcome = check.run(r, hooks);
        library.calls.removeAll(u"message"_s);
        EXPECT_EQ(library.calls, c.calls);
        EXPECT_EQ(outcome.count, c.count);
        EXPECT_EQ(accounts.renewals, c.renewals);
        EXPECT_EQ(outcome.desktopAccountGone, c.gone);
        EXPECT_EQ(outcome.connected, !c.gone);
        EXPECT_EQ(outcome.failure.isEmpty(), c.failureHas.isEmpty()) << qPrintable(outcome.failure);
        EXPECT_TRUE(outcome.failure.contains(c.failureHas)) << qPrintable(outcome.failure);
        EXPECT_FALSE(outcome.failure.contains(u"token"_s));
        EXPECT_FALSE(outcome.failure.contains(u"password"_s));
        EXPECT_FALSE(outcome.accountIncomplete);
    }

    // A service that does not answer is no reason to give up the choice.
    RecordingLibrary library;
    FakeAccountSource accounts;
    accounts.silent = true;
    MailCheck::Request r = request();
    r.desktopAccountId = u"account_1"_s;
    r.accounts = &accounts;
    const MailCheck::Outcome outcome = MailCheck(library).run(r, {});
    EXPECT_FALSE(outcome.connected);
    EXPECT_FALSE(outcome.desktopAccountGone);
    EXPECT_FALSE(outcome.failure.isEmpty());
    EXPECT_TRUE(library.calls.isEmpty());
}

// The mail library is loaded from the program folder on the first check: a folder without it
// (a broken installation) fails the check with the reason as its message, without a crash; the
// module the build makes loads, takes the options set before it came, and fails a refused
// connection as the library does.
TEST(MailLibraryModuleTest, AMissingModuleFailsTheCheckWithItsReasonAndTheBuiltOneWorks)
{
    QTemporaryDir empty;
    MailLibraryModule missing(empty.path());
    EXPECT_EQ(missing.InitializeWinSock(), NMAIL_OK);
    EXPECT_EQ(missing.SetOption(NMAIL_OPTION_BUFFER_SIZE, 0), NMAIL_ERR_ARGUMENT);
    EXPECT_EQ(missing.Pop3Cancel(1), NMAIL_ERR_ARGUMENT) << "no handle before a load";
    MailCheck check(missing);
    MailCheck::Request request;
    request.server = QStringLiteral("127.0.0.1");
    const MailCheck::Outcome failed = check.run(request, {});
    EXPECT_FALSE(failed.connected);
    EXPECT_EQ(failed.failureCode, NMAIL_ERR_CONNECT);
    EXPECT_TRUE(failed.failure.startsWith(u"メールを受信する部品を読み込めません"_s))
        << failed.failure.toStdString();

    MailLibraryModule built(QStringLiteral(MOFURIN_INSTALL_DIR));
    EXPECT_EQ(built.SetOption(NMAIL_OPTION_CONNECT_TIMEOUT, 2000), NMAIL_OK);
    EXPECT_EQ(built.Pop3Connect("127.0.0.1:1"), NMAIL_ERR_CONNECT);
    char reason[256];
    int32_t length = sizeof(reason);
    EXPECT_EQ(built.GetMessage(NMAIL_MESSAGE_LAST_ERROR, reason, &length), NMAIL_OK);
    EXPECT_GT(length, 0);
    EXPECT_EQ(built.EndWinSock(), NMAIL_OK);
}
