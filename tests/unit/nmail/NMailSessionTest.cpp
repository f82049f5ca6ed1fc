// The exported functions against a scripted server: the exact lines sent, and how hostile or
// broken servers end (a clear failure, no crash, no hang past the time-out).
#include "LibraryTest.h"
#include "ScriptedServer.h"
#include "nmail/NMail.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QScopeGuard>
#include <QString>
#include <QStringDecoder>
#include <QTranslator>
#include <algorithm>
#include <atomic>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Lines = std::vector<std::string>;
using Answer = ScriptedServer::Answer;

constexpr const char* Greeting = "+OK ready <1896.697170952@dbc.mtview.ca.us>\r\n";

class NMailSessionTest : public LibraryTest
{
protected:
    // Connects and logs in with USER/PASS; the count.
    int32_t login(const ScriptedServer& server, int32_t* handle)
    {
        *handle = NMailPop3Connect(server.host().c_str());
        EXPECT_GE(*handle, 0) << lastMessage();
        return NMailPop3Authenticate(*handle, "tama", "secret", 0);
    }

    char subject[TextSize], date[TextSize], from[TextSize], header[TextSize];
};

const std::vector<std::string> ThreeMessages = {
    "Subject: =?ISO-2022-JP?B?GyRCJUYlOSVIGyhC?=\r\nDate: Mon, 7 Dec 2026 12:00:00 +0900\r\n"
    "From: =?UTF-8?B?44Gf44G+?= <tama@example.jp>\r\n\r\nfirst body\r\n",
    "Subject: two\r\n\r\n.starts with a dot\r\n..two dots\r\n",
    "Subject: three\r\n\r\nthird\r\n",
};

// The line that reads message n of ThreeMessages whole: TOP with as many lines as the message
// has octets, which a server does not count as a download (RETR would mark it read).
std::string wholeMessage(int n)
{
    return "TOP " + std::to_string(n) + " " + std::to_string(ThreeMessages[size_t(n) - 1].size());
}

bool readsWholeMessage(const std::string& line)
{
    return line.rfind("RETR", 0) == 0 ||
           (line.rfind("TOP ", 0) == 0 && line.compare(line.size() - 2, 2, " 0") != 0);
}

} // namespace

TEST_F(NMailSessionTest, UserPassCheckSendsTheExactLines)
{
    ScriptedServer server(Greeting, ScriptedServer::mailbox(ThreeMessages));
    int32_t handle = -1;
    ASSERT_EQ(login(server, &handle), 3);
    for (int n = 1; n <= 3; ++n) {
        ASSERT_EQ(NMailPop3GetMailStatus(handle, n, subject, date, from, header, 0), NMAIL_OK)
            << lastMessage();
        const int32_t size = NMailPop3GetMailSize(handle, n);
        ASSERT_EQ(size, int32_t(ThreeMessages[n - 1].size()));
        std::vector<char> body(size_t(size) + 1, ' ');
        ASSERT_EQ(NMailPop3GetMail(handle, n, subject, date, from, header, body.data(), 0, 0),
                  NMAIL_OK)
            << lastMessage();
        EXPECT_EQ(std::string(body.data()), ThreeMessages[n - 1]);
    }
    EXPECT_EQ(NMailPop3Close(handle), NMAIL_OK);
    // The server does not know CAPA, so each command waits for the reply of the one before.
    const Lines expected = {"CAPA",    "USER tama",     "PASS secret",   "STAT",
                            "CAPA",    "TOP 1 0",       "LIST 1",        wholeMessage(1),
                            "TOP 2 0", "LIST 2",        wholeMessage(2), "TOP 3 0",
                            "LIST 3",  wholeMessage(3), "QUIT"};
    EXPECT_EQ(server.lines(), expected);
}

TEST_F(NMailSessionTest, StatusFillsTheDecodedHeaderTexts)
{
    ScriptedServer server(Greeting, ScriptedServer::mailbox(ThreeMessages));
    int32_t handle = -1;
    ASSERT_EQ(login(server, &handle), 3);
    ASSERT_EQ(NMailPop3GetMailStatus(handle, 1, subject, date, from, header, 0), NMAIL_OK);
    const auto cp932 = [](const char* text) {
        return QStringDecoder("windows-31j").decode(QByteArray(text)).operator QString();
    };
    EXPECT_EQ(cp932(subject), u"テスト"_qs);
    EXPECT_EQ(cp932(date), u"Mon, 7 Dec 2026 12:00:00 +0900"_qs);
    EXPECT_EQ(cp932(from), u"たま <tama@example.jp>"_qs);
    EXPECT_TRUE(QByteArray(header).startsWith("Subject: =?ISO-2022-JP?B?"));
    EXPECT_TRUE(QByteArray(header).endsWith("<tama@example.jp>\r\n"));

    // Null buffers are skipped; a smaller text buffer size cuts between characters.
    EXPECT_EQ(NMailPop3GetMailStatus(handle, 1, nullptr, nullptr, nullptr, nullptr, 0), NMAIL_OK);
    NMailSetOption(NMAIL_OPTION_BUFFER_SIZE, 6);
    std::memset(subject, '#', sizeof subject);
    EXPECT_EQ(NMailPop3GetMailStatus(handle, 1, subject, date, from, header, 0), NMAIL_OK);
    EXPECT_EQ(cp932(subject), u"テス"_qs);
    EXPECT_EQ(subject[6], '#');
    NMailSetOption(NMAIL_OPTION_BUFFER_SIZE, TextSize);
    NMailPop3Close(handle);
}

// A caller that speaks UTF-8 gets every header text whole, cut only between characters; code
// page 932 holds no accented Latin letter and no emoji. POP3 sends the account in code page
// 932 either way, as UTF-8 only what code page 932 cannot hold.
TEST_F(NMailSessionTest, TextsCrossInTheCallersEncoding)
{
    const std::vector<std::string> message = {
        "Subject: =?UTF-8?B?" + QByteArray("Café 🍙 猫").toBase64().toStdString() +
        "?=\r\nFrom: =?UTF-8?Q?M=C3=BCller?= <m@example.de>\r\n\r\nbody\r\n"};
    struct Case
    {
        int32_t encoding;
        const char* password;
        QString subject, from, cutSubject;
        QByteArray passLine;
    };
    const Case cases[] = {
        {NMAIL_TEXT_CP932, "secret", u"Caf? ? 猫"_qs, u"M?ller <m@example.de>"_qs, u"Caf? "_qs,
         "PASS secret"},
        {NMAIL_TEXT_UTF8, "猫", u"Café 🍙 猫"_qs, u"Müller <m@example.de>"_qs, u"Café"_qs,
         "PASS " + QByteArray("\x94\x4c")},
        {NMAIL_TEXT_UTF8, "ä猫", u"Café 🍙 猫"_qs, u"Müller <m@example.de>"_qs, u"Café"_qs,
         "PASS ä猫"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.password);
        ASSERT_EQ(NMailSetOption(NMAIL_OPTION_TEXT_ENCODING, c.encoding), NMAIL_OK);
        const auto decode = [&](const char* text) {
            return c.encoding == NMAIL_TEXT_UTF8 ? QString::fromUtf8(text) : fromCp932(text);
        };
        ScriptedServer server(Greeting, ScriptedServer::mailbox(message));
        const int32_t handle = NMailPop3Connect(server.host().c_str());
        ASSERT_EQ(NMailPop3Authenticate(handle, "tama", c.password, 0), 1);
        ASSERT_EQ(NMailPop3GetMailStatus(handle, 1, subject, date, from, header, 0), NMAIL_OK);
        EXPECT_EQ(decode(subject), c.subject);
        EXPECT_EQ(decode(from), c.from);
        NMailSetOption(NMAIL_OPTION_BUFFER_SIZE, 6);
        ASSERT_EQ(NMailPop3GetMailStatus(handle, 1, subject, date, from, header, 0), NMAIL_OK);
        EXPECT_EQ(decode(subject), c.cutSubject);
        NMailSetOption(NMAIL_OPTION_BUFFER_SIZE, TextSize);
        NMailPop3Close(handle);
        const auto lines = server.lines();
        EXPECT_NE(std::find(lines.begin(), lines.end(), c.passLine.toStdString()), lines.end());
        // The library's own sentences come in the caller's encoding too.
        EXPECT_EQ(NMailPop3Connect("bad host name"), NMAIL_ERR_CONNECT);
        std::vector<char> reason(TextSize);
        int32_t length = TextSize;
        NMailGetMessage(NMAIL_MESSAGE_LAST_ERROR, reason.data(), &length);
        EXPECT_TRUE(decode(reason.data()).contains(u"bad host name"_qs));
        EXPECT_TRUE(decode(reason.data()).contains(u"サーバー"_qs)) << reason.data();
    }
    EXPECT_EQ(NMailSetOption(NMAIL_OPTION_TEXT_ENCODING, 1252), NMAIL_ERR_ARGUMENT);
}

TEST_F(NMailSessionTest, ApopSendsTheDigestAndNeverFallsBack)
{
    {
        ScriptedServer server(Greeting, ScriptedServer::mailbox({}));
        const int32_t handle = NMailPop3Connect(server.host().c_str());
        ASSERT_GE(handle, 0);
        EXPECT_EQ(NMailPop3Authenticate(handle, "mrose", "tanstaaf", -1), 0);
        NMailPop3Close(handle);
        const Lines expected = {"CAPA", "APOP mrose c4c9334bac560ecc979e58001b3e22fb", "STAT",
                                "QUIT"};
        EXPECT_EQ(server.lines(), expected);
    }
    // No timestamp, or one that is not a msg-id (a server choosing what we hash): nothing but
    // QUIT is sent.
    for (const char* greeting :
         {"+OK no timestamp here\r\n", "+OK <1896.\xE3\x81\x82@dbc.mtview.ca.us>\r\n"}) {
        SCOPED_TRACE(greeting);
        ScriptedServer server(greeting, ScriptedServer::mailbox({}));
        const int32_t handle = NMailPop3Connect(server.host().c_str());
        ASSERT_GE(handle, 0);
        EXPECT_EQ(NMailPop3Authenticate(handle, "mrose", "tanstaaf", 1), NMAIL_ERR_LOGIN);
        EXPECT_NE(lastMessage().find("APOP"), std::string::npos);
        NMailPop3Close(handle);
        EXPECT_EQ(server.lines(), (Lines{"CAPA", "QUIT"}));
    }
}

TEST_F(NMailSessionTest, LoginFailuresCarryTheServersText)
{
    ScriptedServer server(Greeting, [](const std::string& line) -> Answer {
        if (line.rfind("PASS", 0) == 0) {
            return {"-ERR [AUTH] Authentication failed.\r\n"};
        }
        if (line == "CAPA") {
            return {"-ERR unknown command\r\n"};
        }
        return {"+OK\r\n", line == "QUIT"};
    });
    int32_t handle = -1;
    EXPECT_EQ(login(server, &handle), NMAIL_ERR_LOGIN);
    const std::string message = lastMessage();
    EXPECT_NE(message.find("-ERR [AUTH] Authentication failed."), std::string::npos) << message;
    EXPECT_NE(message.find("ログイン"), std::string::npos) << message;
    // Without a login the per-message calls fail at once, sending nothing.
    EXPECT_LT(NMailPop3GetMailSize(handle, 1), 0);
    EXPECT_EQ(NMailPop3Close(handle), NMAIL_OK);
    EXPECT_EQ(server.lines(), (Lines{"CAPA", "USER tama", "PASS secret", "QUIT"}));
}

TEST_F(NMailSessionTest, LineEndsInTheAccountAreRefusedBeforeAnythingIsSent)
{
    ScriptedServer server(Greeting, ScriptedServer::mailbox({}));
    const int32_t handle = NMailPop3Connect(server.host().c_str());
    ASSERT_GE(handle, 0);
    EXPECT_EQ(NMailPop3Authenticate(handle, "tama", "x\r\nDELE 1", 0), NMAIL_ERR_ARGUMENT);
    EXPECT_EQ(NMailPop3Authenticate(handle, "tama\nDELE 1", "x", -1), NMAIL_ERR_ARGUMENT);
    EXPECT_EQ(NMailPop3Authenticate(handle, "tama", "x\r", 0), NMAIL_ERR_ARGUMENT);
    EXPECT_FALSE(lastMessage().empty());
    // The connection stays usable for a proper login.
    EXPECT_EQ(NMailPop3Authenticate(handle, "tama", "x", 0), 0);
    NMailPop3Close(handle);
    EXPECT_EQ(server.lines(), (Lines{"CAPA", "USER tama", "PASS x", "STAT", "QUIT"}));
}

TEST_F(NMailSessionTest, BadHandlesAndArgumentsFailCleanly)
{
    EXPECT_EQ(NMailPop3Authenticate(12345, "a", "b", 0), NMAIL_ERR_ARGUMENT);
    EXPECT_EQ(NMailPop3GetMailSize(-1, 1), NMAIL_ERR_ARGUMENT);
    EXPECT_EQ(NMailPop3Close(-1), NMAIL_ERR_ARGUMENT);
    EXPECT_EQ(NMailSetOption(99, 1), NMAIL_ERR_ARGUMENT);
    EXPECT_EQ(NMailSetOption(NMAIL_OPTION_BUFFER_SIZE, 0), NMAIL_ERR_ARGUMENT);
    EXPECT_EQ(NMailPop3Connect(nullptr), -1);
    EXPECT_EQ(NMailPop3Connect("imap://example.jp"), -1);
    EXPECT_EQ(NMailPop3Connect(""), -1);

    ScriptedServer server(Greeting, ScriptedServer::mailbox(ThreeMessages));
    int32_t handle = -1;
    ASSERT_EQ(login(server, &handle), 3);
    EXPECT_EQ(NMailPop3GetMailSize(handle, 0), NMAIL_ERR_ARGUMENT);
    EXPECT_EQ(NMailPop3GetMailSize(handle, 4), NMAIL_ERR_ARGUMENT);
    EXPECT_EQ(NMailPop3Close(handle), NMAIL_OK);
    EXPECT_EQ(NMailPop3Close(handle), NMAIL_ERR_ARGUMENT); // already released
    EXPECT_EQ(server.lines(), (Lines{"CAPA", "USER tama", "PASS secret", "STAT", "CAPA", "QUIT"}));
}

// Push idles on its own thread while a check runs on another: each reads its own failure.
TEST_F(NMailSessionTest, EachThreadReadsItsOwnLastFailure)
{
    const auto lastText = [] {
        char buffer[512];
        int32_t length = sizeof buffer;
        NMailGetMessage(NMAIL_MESSAGE_LAST_ERROR, buffer, &length);
        return std::string(buffer, size_t(length));
    };
    EXPECT_EQ(NMailPop3Close(-1), NMAIL_ERR_ARGUMENT);
    const std::string mine = lastText();
    std::string theirs;
    int32_t theirResult = 0;
    std::thread([&] {
        EXPECT_EQ(NMailPop3Connect("bad host name"), -1);
        theirResult = NMailGetLastResult();
        theirs = lastText();
    }).join();
    EXPECT_EQ(theirResult, NMAIL_ERR_CONNECT);
    EXPECT_NE(theirs, mine);
    EXPECT_EQ(NMailGetLastResult(), NMAIL_ERR_ARGUMENT);
    EXPECT_EQ(lastText(), mine);
}

TEST_F(NMailSessionTest, GetMessageNeverWritesPastItsLength)
{
    EXPECT_EQ(NMailPop3Connect("bad host name"), -1);
    char buffer[8];
    std::memset(buffer, '#', sizeof buffer);
    int32_t length = 5;
    ASSERT_EQ(NMailGetMessage(NMAIL_MESSAGE_LAST_ERROR, buffer, &length), NMAIL_OK);
    // Japanese text: two whole double-byte characters fit in 4 bytes, then the NUL.
    EXPECT_EQ(length, 4);
    EXPECT_EQ(buffer[4], '\0');
    EXPECT_EQ(buffer[5], '#');
    length = 0;
    EXPECT_EQ(NMailGetMessage(NMAIL_MESSAGE_LAST_ERROR, buffer, &length), NMAIL_ERR_ARGUMENT);
    EXPECT_EQ(NMailGetMessage(1, buffer, &length), NMAIL_ERR_ARGUMENT);
}

TEST_F(NMailSessionTest, ConnectionFailuresSayWhy)
{
    int port = 0;
    {
        ScriptedServer closed(Greeting, ScriptedServer::mailbox({}));
        port = closed.port();
    }
    const std::string refused = "127.0.0.1:" + std::to_string(port);
    EXPECT_EQ(NMailPop3Connect(refused.c_str()), -1);
    EXPECT_NE(lastMessage().find("接続できませんでした"), std::string::npos) << lastMessage();

    EXPECT_EQ(NMailPop3Connect("no-such-host.invalid"), -1);
    EXPECT_NE(lastMessage().find("見つかりませんでした"), std::string::npos) << lastMessage();

    ScriptedServer rejecting("-ERR too many connections\r\n", ScriptedServer::mailbox({}));
    EXPECT_EQ(NMailPop3Connect(rejecting.host().c_str()), -1);
    EXPECT_NE(lastMessage().find("-ERR too many connections"), std::string::npos);

    // In English, the failure the caller reads is in English, the server's words as they were.
    QTranslator english;
    ASSERT_TRUE(english.load(QStringLiteral(":/translations/mofurin_en.qm")));
    QCoreApplication::installTranslator(&english);
    const auto japaneseAgain =
        qScopeGuard([&english] { QCoreApplication::removeTranslator(&english); });
    EXPECT_EQ(NMailPop3Connect(refused.c_str()), -1);
    EXPECT_EQ(lastMessage().rfind("Could not connect to the mail server. ", 0), 0u)
        << lastMessage();
    EXPECT_EQ(NMailPop3Connect(rejecting.host().c_str()), -1);
    EXPECT_EQ(lastMessage(), "The mail server refused the connection. -ERR too many connections");
}

TEST_F(NMailSessionTest, AHostNameIsLookedUpBeforeConnecting)
{
    ScriptedServer server(Greeting, ScriptedServer::mailbox(ThreeMessages));
    const std::string byName = "localhost:" + std::to_string(server.port());
    const int32_t handle = NMailPop3Connect(byName.c_str());
    ASSERT_GE(handle, 0) << lastMessage();
    EXPECT_EQ(NMailPop3Authenticate(handle, "tama", "secret", 0), 3);
    EXPECT_EQ(NMailPop3Close(handle), NMAIL_OK);
}

TEST_F(NMailSessionTest, NoGreetingTimesOut)
{
    ScriptedServer silent("", ScriptedServer::mailbox({}));
    NMailSetOption(NMAIL_OPTION_REPLY_TIMEOUT, 300);
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(NMailPop3Connect(silent.host().c_str()), -1);
    EXPECT_LT(clock.elapsed(), 2000);
    EXPECT_NE(lastMessage().find("最初の応答"), std::string::npos) << lastMessage();

    ScriptedServer garbage("SSH-2.0-OpenSSH\r\n", ScriptedServer::mailbox({}));
    EXPECT_EQ(NMailPop3Connect(garbage.host().c_str()), -1);
    EXPECT_NE(lastMessage().find("正しくありません"), std::string::npos) << lastMessage();
}

TEST_F(NMailSessionTest, AReplyThatNeverComesTimesOutAndTheNextSessionWorks)
{
    std::atomic<bool> hang{true};
    auto mailbox = ScriptedServer::mailbox(ThreeMessages);
    ScriptedServer server(Greeting, [&](const std::string& line) -> Answer {
        if (line == "STAT" && hang) {
            return {}; // never answers
        }
        return mailbox(line);
    });
    NMailSetOption(NMAIL_OPTION_REPLY_TIMEOUT, 300);
    int32_t handle = -1;
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(login(server, &handle), NMAIL_ERR_TIMEOUT);
    EXPECT_GE(clock.elapsed(), 250);
    EXPECT_LT(clock.elapsed(), 2000);
    EXPECT_NE(lastMessage().find("時間内"), std::string::npos);
    // The session gave up on that stream: later calls fail at once without sending.
    clock.restart();
    EXPECT_EQ(NMailPop3GetMailSize(handle, 1), NMAIL_ERR_CLOSED);
    EXPECT_EQ(NMailPop3Close(handle), NMAIL_OK);
    EXPECT_LT(clock.elapsed(), 200);

    hang = false;
    EXPECT_EQ(login(server, &handle), 3);
    EXPECT_EQ(NMailPop3Close(handle), NMAIL_OK);
    EXPECT_EQ(server.connections(), 2);
}

TEST_F(NMailSessionTest, ATricklingReplyDoesNotExtendTheDeadline)
{
    auto mailbox = ScriptedServer::mailbox(ThreeMessages);
    ScriptedServer server(Greeting, [&](const std::string& line) -> Answer {
        if (readsWholeMessage(line)) {
            return {"+OK\r\nline\r\n", false, true}; // endless, one byte every 5 ms
        }
        return mailbox(line);
    });
    NMailSetOption(NMAIL_OPTION_REPLY_TIMEOUT, 400);
    int32_t handle = -1;
    ASSERT_EQ(login(server, &handle), 3);
    std::vector<char> body(1000, ' ');
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(NMailPop3GetMail(handle, 1, subject, date, from, header, body.data(), 0, 0),
              NMAIL_ERR_TIMEOUT);
    EXPECT_LT(clock.elapsed(), 2000);
    NMailPop3Close(handle);
}

TEST_F(NMailSessionTest, ALargeMessageOverASlowLineArrives)
{
    // About 6 KB at about 6 KB/s: far longer than the reply time-out, never silent for long.
    const std::string large = "Subject: slow\r\n\r\n" + std::string(6000, 's') + "\r\n";
    auto mailbox = ScriptedServer::mailbox({large});
    ScriptedServer server(Greeting, [&](const std::string& line) -> Answer {
        Answer answer = mailbox(line);
        if (readsWholeMessage(line)) {
            answer.paceMs = 40;
        }
        return answer;
    });
    NMailSetOption(NMAIL_OPTION_REPLY_TIMEOUT, 300);
    int32_t handle = -1;
    ASSERT_EQ(login(server, &handle), 1);
    const int32_t size = NMailPop3GetMailSize(handle, 1);
    ASSERT_EQ(size, int32_t(large.size()));
    std::vector<char> body(size_t(size) + 1, ' ');
    EXPECT_EQ(NMailPop3GetMail(handle, 1, subject, date, from, header, body.data(), 0, 0), NMAIL_OK)
        << lastMessage();
    EXPECT_EQ(std::string(body.data()), large);
    NMailPop3Close(handle);
}

TEST_F(NMailSessionTest, OnlyAServerThatRefusesTopIsAskedWithRetr)
{
    auto mailbox = ScriptedServer::mailbox(ThreeMessages);
    ScriptedServer server(Greeting, [&](const std::string& line) -> Answer {
        return line.rfind("TOP", 0) == 0 && readsWholeMessage(line) ? Answer{"-ERR no TOP\r\n"}
                                                                    : mailbox(line);
    });
    int32_t handle = -1;
    ASSERT_EQ(login(server, &handle), 3);
    for (int n = 1; n <= 2; ++n) {
        std::vector<char> body(ThreeMessages[size_t(n) - 1].size() + 1, ' ');
        ASSERT_EQ(NMailPop3GetMailSize(handle, n), int32_t(body.size() - 1));
        EXPECT_EQ(NMailPop3GetMail(handle, n, subject, date, from, header, body.data(), 0, 0),
                  NMAIL_OK)
            << lastMessage();
        EXPECT_EQ(std::string(body.data()), ThreeMessages[size_t(n) - 1]);
    }
    NMailPop3Close(handle);
    // Refused once, TOP is not asked again for a whole message.
    EXPECT_EQ(server.lines(), (Lines{"CAPA", "USER tama", "PASS secret", "STAT", "CAPA", "LIST 1",
                                     wholeMessage(1), "RETR 1", "LIST 2", "RETR 2", "QUIT"}));
}

// STLS offered means STLS taken or no connection: the account never crosses in the clear.
TEST_F(NMailSessionTest, StlsIsNeverDowngraded)
{
    struct Case
    {
        const char* name;
        const char* host;    // the scheme before the scripted server's address
        const char* capa;    // the answer to CAPA
        const char* stls;    // the answer to STLS
        int32_t result;      // NMailGetLastResult after the failed connect
        const char* reason;  // a part of the failure's text
        bool pinned = false; // a certificate is pinned for the server
    };
    const Case cases[] = {
        {"offered, then the handshake fails", "", "+OK\r\nSTLS\r\n.\r\n", "+OK go ahead\r\n",
         NMAIL_ERR_CONNECT, "暗号化通信"},
        {"offered, then refused", "pop3://", "+OK\r\nSTLS\r\n.\r\n", "-ERR not now\r\n",
         NMAIL_ERR_CONNECT, "-ERR not now"},
        {"demanded, not offered", "pop3+stls://", "+OK\r\nTOP\r\n.\r\n", "", NMAIL_ERR_TLS_MISSING,
         "STLS"},
        {"demanded, CAPA unknown", "pop3+stls://", "-ERR what\r\n", "", NMAIL_ERR_TLS_MISSING,
         "STLS"},
        // The user trusted a certificate there, so the server speaks TLS: a connection that
        // is not offered STLS (stripped on the way) goes no further.
        {"pinned, not offered", "", "+OK\r\nTOP\r\n.\r\n", "", NMAIL_ERR_TLS_MISSING, "STLS", true},
        {"pinned, CAPA unknown", "pop3://", "-ERR what\r\n", "", NMAIL_ERR_TLS_MISSING, "STLS",
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto mailbox = ScriptedServer::mailbox(ThreeMessages);
        ScriptedServer server(Greeting, [&](const std::string& line) -> Answer {
            if (line == "CAPA") {
                return {c.capa};
            }
            if (line == "STLS") {
                return {c.stls};
            }
            return line.rfind("USER", 0) == 0 || line.rfind("APOP", 0) == 0 ? mailbox(line)
                                                                            : Answer{"", true};
        });
        const std::string host = c.host + server.host();
        const std::string pin(64, 'A');
        ASSERT_EQ(NMailSetPinnedCertificate(server.host().c_str(), c.pinned ? pin.c_str() : ""),
                  NMAIL_OK);
        const int32_t handle = NMailPop3Connect(host.c_str());
        EXPECT_EQ(handle, -1);
        if (handle >= 0) {
            // What a caller does with a connection it was given: the account must not follow.
            NMailPop3Authenticate(handle, "tama", "secret", 0);
            NMailPop3Close(handle);
        }
        NMailSetPinnedCertificate(server.host().c_str(), nullptr);
        EXPECT_EQ(NMailGetLastResult(), c.result);
        EXPECT_NE(lastMessage().find(c.reason), std::string::npos) << lastMessage();
        const Lines lines = server.lines();
        EXPECT_TRUE(std::none_of(lines.begin(), lines.end(), [](const std::string& line) {
            return line.rfind("USER", 0) == 0 || line.rfind("PASS", 0) == 0 ||
                   line.rfind("APOP", 0) == 0;
        }));
    }
}

TEST_F(NMailSessionTest, CapaNeverSpoilsALogin)
{
    struct Case
    {
        const char* name;
        Answer answer;
        bool usable; // the per-message calls still work afterwards
    };
    const Case cases[] = {
        {"unknown command", {"-ERR unknown command\r\n"}, true},
        {"neither +OK nor -ERR", {"? what\r\n"}, true},
        {"listing without PIPELINING", {"+OK\r\nTOP\r\n.\r\n"}, true},
        {"connection dropped", {"", true}, false},
        {"listing never ends", {"+OK\r\nTOP\r\n"}, false},
    };
    NMailSetOption(NMAIL_OPTION_REPLY_TIMEOUT, 300);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto mailbox = ScriptedServer::mailbox(ThreeMessages);
        bool loggedIn = false; // only the CAPA after STAT answers oddly
        ScriptedServer server(Greeting, [&](const std::string& line) -> Answer {
            loggedIn = loggedIn || line == "STAT";
            return line == "CAPA" && loggedIn ? c.answer : mailbox(line);
        });
        int32_t handle = -1;
        EXPECT_EQ(login(server, &handle), 3) << lastMessage();
        EXPECT_EQ(NMailPop3GetMailSize(handle, 1) >= 0, c.usable) << lastMessage();
        EXPECT_EQ(NMailPop3Close(handle), NMAIL_OK);
    }
}

TEST_F(NMailSessionTest, BrokenRepliesEndInClearFailures)
{
    struct Case
    {
        const char* name;
        std::string command; // the command whose reply is broken
        Answer answer;
        int32_t expected;
    };
    const std::string megabyteLine = "+OK " + std::string(1024 * 1024, 'x') + "\r\n";
    const Case cases[] = {
        {"dropped in RETR",
         "RETR",
         {"+OK\r\nSubject: one\r\n\r\nhalf a bo", true},
         NMAIL_ERR_CLOSED},
        {"unterminated RETR", "RETR", {"+OK\r\nSubject: one\r\n\r\nno end\r\n"}, NMAIL_ERR_TIMEOUT},
        {"1 MB line in RETR", "RETR", {megabyteLine}, NMAIL_ERR_PROTOCOL},
        {"1 MB line in STAT", "STAT", {megabyteLine}, NMAIL_ERR_PROTOCOL},
        {"negative STAT", "STAT", {"+OK -3 100\r\n"}, NMAIL_ERR_PROTOCOL},
        {"absurd STAT", "STAT", {"+OK 99999999999999999999 100\r\n"}, NMAIL_ERR_PROTOCOL},
        {"huge STAT", "STAT", {"+OK 2147483647 100\r\n"}, NMAIL_ERR_PROTOCOL},
        {"empty STAT", "STAT", {"+OK\r\n"}, NMAIL_ERR_PROTOCOL},
        {"garbage status", "STAT", {"HELLO\r\n"}, NMAIL_ERR_PROTOCOL},
        {"dropped in STAT", "STAT", {"", true}, NMAIL_ERR_CLOSED},
    };
    NMailSetOption(NMAIL_OPTION_REPLY_TIMEOUT, 300);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto mailbox = ScriptedServer::mailbox(ThreeMessages);
        ScriptedServer server(Greeting, [&](const std::string& line) -> Answer {
            const bool broken =
                c.command == "RETR" ? readsWholeMessage(line) : line.rfind(c.command, 0) == 0;
            return broken ? c.answer : mailbox(line);
        });
        int32_t handle = NMailPop3Connect(server.host().c_str());
        ASSERT_GE(handle, 0);
        int32_t result = NMailPop3Authenticate(handle, "tama", "secret", 0);
        if (c.command == "RETR") {
            ASSERT_EQ(result, 3);
            std::vector<char> body(4096, ' ');
            result = NMailPop3GetMail(handle, 1, subject, date, from, header, body.data(), 0, 0);
        }
        EXPECT_EQ(result, c.expected) << lastMessage();
        EXPECT_FALSE(lastMessage().empty());
        // The rest of the check fails fast instead of reading a desynchronised stream.
        EXPECT_LT(NMailPop3GetMailStatus(handle, 2, subject, date, from, header, 0), 0);
        EXPECT_EQ(NMailPop3Close(handle), NMAIL_OK);
    }
}

// UIDL is asked once per session, whatever the server answers; an answer that is not a
// proper listing of every message is refused, and the connection stays usable either way.
TEST_F(NMailSessionTest, UidlListsEveryMessageOnceOrFailsClearly)
{
    struct Case
    {
        const char* name;
        std::string answer; // to UIDL; empty: the usual mailbox's listing
        int32_t expected;   // of every call for messages 1 to 3
    };
    const std::string id70(70, '~');
    const std::string hugeListing = "+OK\r\n" + std::string(4000, 'x') + "\r\n.\r\n";
    const Case cases[] = {
        {"the whole listing", "", NMAIL_OK},
        {"refused", "-ERR unknown command\r\n", NMAIL_ERR_UIDL_REFUSED},
        {"longest ids", "+OK\r\n1 " + id70 + "\r\n2 a\r\n3 !\r\n.\r\n", NMAIL_OK},
        {"id of 71", "+OK\r\n1 " + id70 + "~\r\n2 a\r\n3 b\r\n.\r\n", NMAIL_ERR_PROTOCOL},
        {"id with a blank", "+OK\r\n1 a b\r\n2 a\r\n3 b\r\n.\r\n", NMAIL_ERR_PROTOCOL},
        {"id not ASCII", "+OK\r\n1 \xE3\x81\x82\r\n2 a\r\n3 b\r\n.\r\n", NMAIL_ERR_PROTOCOL},
        {"id with DEL", "+OK\r\n1 a\x7F\r\n2 a\r\n3 b\r\n.\r\n", NMAIL_ERR_PROTOCOL},
        {"message missing", "+OK\r\n1 a\r\n2 b\r\n.\r\n", NMAIL_ERR_PROTOCOL},
        {"message twice", "+OK\r\n1 a\r\n2 b\r\n2 c\r\n3 d\r\n.\r\n", NMAIL_ERR_PROTOCOL},
        {"message beyond STAT", "+OK\r\n1 a\r\n2 b\r\n3 c\r\n4 d\r\n.\r\n", NMAIL_ERR_PROTOCOL},
        {"no id", "+OK\r\n1\r\n2 b\r\n3 c\r\n.\r\n", NMAIL_ERR_PROTOCOL},
        {"far longer than three messages need", hugeListing, NMAIL_ERR_PROTOCOL},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto mailbox = ScriptedServer::mailbox(ThreeMessages);
        ScriptedServer server(Greeting, [&](const std::string& line) -> Answer {
            return line == "UIDL" && !c.answer.empty() ? Answer{c.answer} : mailbox(line);
        });
        int32_t handle = -1;
        ASSERT_EQ(login(server, &handle), 3);
        char id[TextSize];
        for (int32_t n = 1; n <= 3; ++n) {
            std::memset(id, '#', sizeof id);
            EXPECT_EQ(NMailPop3GetUidl(handle, n, id), c.expected) << lastMessage();
            if (c.answer.empty()) {
                EXPECT_EQ(std::string(id), ScriptedServer::uniqueId(size_t(n)));
            }
        }
        if (c.expected == NMAIL_OK) {
            EXPECT_EQ(NMailPop3GetUidl(handle, 0, id), NMAIL_ERR_ARGUMENT);
            EXPECT_EQ(NMailPop3GetUidl(handle, 4, id), NMAIL_ERR_ARGUMENT);
        } else {
            EXPECT_FALSE(lastMessage().empty());
        }
        EXPECT_GT(NMailPop3GetMailSize(handle, 1), 0) << lastMessage();
        EXPECT_EQ(NMailPop3Close(handle), NMAIL_OK);
        EXPECT_EQ(server.lines(), (Lines{"CAPA", "USER tama", "PASS secret", "STAT", "CAPA", "UIDL",
                                         "LIST 1", "QUIT"}));
    }
}

TEST_F(NMailSessionTest, MessagesAreBoundedByTheirReportedSize)
{
    const std::string big = "Subject: big\r\n\r\n" + std::string(5000, 'b') + "\r\n";
    auto mailbox = ScriptedServer::mailbox({big, big});
    ScriptedServer server(Greeting, [&](const std::string& line) -> Answer {
        if (line == "LIST 1") {
            return {"+OK 1 100\r\n"}; // claims far less than it sends
        }
        if (line == "LIST 2") {
            return {"+OK 2 -20\r\n"};
        }
        return mailbox(line);
    });
    int32_t handle = -1;
    ASSERT_EQ(login(server, &handle), 2);
    ASSERT_EQ(NMailPop3GetMailSize(handle, 1), 100);
    std::vector<char> body(200, '#');
    EXPECT_EQ(NMailPop3GetMail(handle, 1, subject, date, from, header, body.data(), 0, 0),
              NMAIL_ERR_TOO_LARGE);
    EXPECT_EQ(std::string(body.data()), big.substr(0, 100));
    EXPECT_EQ(body[101], '#') << "wrote past the 101 bytes of the buffer";

    // A negative size is a failure, and the message is then not retrieved into the buffer.
    EXPECT_EQ(NMailPop3GetMailSize(handle, 2), NMAIL_ERR_PROTOCOL);
    std::fill(body.begin(), body.end(), '#');
    EXPECT_LT(NMailPop3GetMail(handle, 2, subject, date, from, header, body.data(), 0, 0), 0);
    EXPECT_EQ(body[0], '#');
    // The session still works: the big message was read to its end and dropped.
    EXPECT_EQ(NMailPop3GetMailStatus(handle, 1, subject, date, from, header, 0), NMAIL_OK);
    EXPECT_STREQ(subject, "big");
    NMailPop3Close(handle);
    const Lines lines = server.lines();
    EXPECT_TRUE(std::none_of(lines.begin(), lines.end(), [](const std::string& line) {
        return readsWholeMessage(line) && line.find(" 2") == line.find(' ');
    }));
}

TEST_F(NMailSessionTest, GetMailWithoutASizeCallAsksListItself)
{
    ScriptedServer server(Greeting, ScriptedServer::mailbox(ThreeMessages));
    int32_t handle = -1;
    ASSERT_EQ(login(server, &handle), 3);
    std::vector<char> body(ThreeMessages[2].size() + 1, ' ');
    EXPECT_EQ(NMailPop3GetMail(handle, 3, subject, date, from, header, body.data(), 0, 0),
              NMAIL_OK);
    EXPECT_EQ(std::string(body.data()), ThreeMessages[2]);
    EXPECT_STREQ(subject, "three");
    NMailPop3Close(handle);
    EXPECT_EQ(server.lines(), (Lines{"CAPA", "USER tama", "PASS secret", "STAT", "CAPA", "LIST 3",
                                     wholeMessage(3), "QUIT"}));
}

// With a server that offers PIPELINING, the check's next commands travel with the one asked
// for; the lines and the results stay those of the one-at-a-time check.
TEST_F(NMailSessionTest, PipeliningSendsTheNextCommandsAhead)
{
    ScriptedServer server(Greeting, ScriptedServer::mailbox(ThreeMessages, true));
    int32_t handle = -1;
    ASSERT_EQ(login(server, &handle), 3);
    for (int32_t n = 1; n <= 3; ++n) {
        ASSERT_EQ(NMailPop3GetMailStatus(handle, n, subject, date, from, header, 0), NMAIL_OK);
        const int32_t size = NMailPop3GetMailSize(handle, n);
        ASSERT_EQ(size, int32_t(ThreeMessages[n - 1].size()));
        std::vector<char> body(size_t(size) + 1, ' ');
        ASSERT_EQ(NMailPop3GetMail(handle, n, subject, date, from, header, body.data(), 0, 0),
                  NMAIL_OK);
        EXPECT_EQ(std::string(body.data()), ThreeMessages[n - 1]);
    }
    EXPECT_STREQ(subject, "three");
    EXPECT_EQ(NMailPop3Close(handle), NMAIL_OK);
    const Lines expected = {"CAPA",    "USER tama",     "PASS secret",   "STAT",
                            "CAPA",    "TOP 1 0",       "LIST 1",        wholeMessage(1),
                            "TOP 2 0", "LIST 2",        wholeMessage(2), "TOP 3 0",
                            "LIST 3",  wholeMessage(3), "QUIT"};
    EXPECT_EQ(server.lines(), expected);
    const std::vector<Lines> batches = server.batches();
    const std::vector<Lines> together = {{"TOP 1 0", "LIST 1"},
                                         {wholeMessage(1), "TOP 2 0", "LIST 2"},
                                         {wholeMessage(2), "TOP 3 0", "LIST 3"},
                                         {wholeMessage(3)}};
    for (const Lines& batch : together) {
        EXPECT_NE(std::find(batches.begin(), batches.end(), batch), batches.end())
            << batch.front() << " did not carry the commands after it";
    }
}

// Calls out of the usual order: the replies sent ahead that nobody asks for are read and
// dropped, so each call still gets its own reply.
TEST_F(NMailSessionTest, PipeliningKeepsRepliesInStepWhenCallsSkip)
{
    ScriptedServer server(Greeting, ScriptedServer::mailbox(ThreeMessages, true));
    int32_t handle = -1;
    ASSERT_EQ(login(server, &handle), 3);
    ASSERT_EQ(NMailPop3GetMailStatus(handle, 1, subject, date, from, header, 0), NMAIL_OK);
    ASSERT_EQ(NMailPop3GetMailStatus(handle, 3, subject, date, from, header, 0), NMAIL_OK);
    EXPECT_STREQ(subject, "three");
    EXPECT_EQ(NMailPop3GetMailSize(handle, 1), int32_t(ThreeMessages[0].size()));
    std::vector<char> body(ThreeMessages[0].size() + 1, ' ');
    ASSERT_EQ(NMailPop3GetMail(handle, 1, subject, date, from, header, body.data(), 0, 0),
              NMAIL_OK);
    EXPECT_EQ(std::string(body.data()), ThreeMessages[0]);
    // TOP 2 0 went ahead with RETR 1; asking for message 3's size drops its reply.
    EXPECT_EQ(NMailPop3GetMailSize(handle, 3), int32_t(ThreeMessages[2].size()));
    ASSERT_EQ(NMailPop3GetMailStatus(handle, 2, subject, date, from, header, 0), NMAIL_OK);
    EXPECT_STREQ(subject, "two");
    EXPECT_EQ(NMailPop3GetMailSize(handle, 2), int32_t(ThreeMessages[1].size()));
    EXPECT_EQ(NMailPop3Close(handle), NMAIL_OK);
    EXPECT_EQ(server.lines().back(), "QUIT");
}

TEST_F(NMailSessionTest, PipeliningSurvivesAConnectionDroppedWithRepliesOutstanding)
{
    std::atomic<bool> drop{true};
    auto mailbox = ScriptedServer::mailbox(ThreeMessages, true);
    ScriptedServer server(Greeting, [&](const std::string& line) -> Answer {
        if (line == wholeMessage(1) && drop) {
            return {"+OK\r\nSubject: one\r\n\r\nhalf", true};
        }
        return mailbox(line);
    });
    int32_t handle = -1;
    ASSERT_EQ(login(server, &handle), 3);
    ASSERT_EQ(NMailPop3GetMailStatus(handle, 1, subject, date, from, header, 0), NMAIL_OK);
    ASSERT_GT(NMailPop3GetMailSize(handle, 1), 0);
    std::vector<char> body(4096, ' ');
    EXPECT_EQ(NMailPop3GetMail(handle, 1, subject, date, from, header, body.data(), 0, 0),
              NMAIL_ERR_CLOSED);
    EXPECT_FALSE(lastMessage().empty());
    // TOP 2 0 and LIST 2 were on their way; their replies will never come.
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(NMailPop3GetMailStatus(handle, 2, subject, date, from, header, 0), NMAIL_ERR_CLOSED);
    EXPECT_NE(lastMessage().find("接続が切れて"), std::string::npos) << lastMessage();
    EXPECT_EQ(NMailPop3Close(handle), NMAIL_OK);
    EXPECT_LT(clock.elapsed(), 200);

    drop = false;
    ASSERT_EQ(login(server, &handle), 3);
    ASSERT_EQ(NMailPop3GetMailStatus(handle, 2, subject, date, from, header, 0), NMAIL_OK);
    EXPECT_STREQ(subject, "two");
    EXPECT_EQ(NMailPop3Close(handle), NMAIL_OK);
}

// A cancel that races the end of a connection (the close, or Qt closing the socket itself when
// the server hangs up) never shuts down another socket that took the freed descriptor number
// meanwhile, as the display's or the session bus's connection could. A race, so the test
// repeats it while a bystander keeps taking numbers and checks its sockets still work; the
// sanitizer build runs it too.
TEST_F(NMailSessionTest, ACancelRacingTheCloseTouchesNoOtherSocket)
{
    ScriptedServer server(Greeting, ScriptedServer::mailbox(ThreeMessages));
    std::atomic<int32_t> current{-1};
    std::atomic<bool> done{false};
    std::atomic<int> damaged{0};
    std::thread canceller([&] {
        while (!done) {
            if (const int32_t handle = current.load(); handle >= 0) {
                NMailPop3Cancel(handle);
            }
        }
    });
    std::thread bystander([&] {
        while (!done) {
            int pair[2];
            if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) {
                continue;
            }
            for (int round = 0; round < 2; ++round) {
                char byte = 'x';
                if (::send(pair[0], &byte, 1, MSG_NOSIGNAL) != 1 ||
                    ::recv(pair[1], &byte, 1, MSG_DONTWAIT) != 1) {
                    ++damaged;
                }
                std::this_thread::yield();
            }
            ::close(pair[0]);
            ::close(pair[1]);
        }
    });
    for (int i = 0; i < 1000 && damaged == 0; ++i) {
        const int32_t handle = NMailPop3Connect(server.host().c_str());
        ASSERT_GE(handle, 0) << lastMessage();
        current = handle;
        NMailPop3Authenticate(handle, "tama", "secret", 0);
        NMailPop3Close(handle);
    }
    done = true;
    canceller.join();
    bystander.join();
    EXPECT_EQ(damaged, 0);
}
