// Header texts: encoded-words, header fields, code page 932 cutting, APOP and host syntax.
#include "Apop.h"
#include "Cp932.h"
#include "HostAddress.h"
#include "MimeHeader.h"

#include <gtest/gtest.h>

using namespace nmail;

TEST(MimeHeaderTest, DecodesEncodedWords)
{
    struct Case
    {
        QByteArray raw;
        QString text;
    };
    const Case cases[] = {
        {"plain subject", u"plain subject"_qs},
        {"=?UTF-8?B?5paw552A44Oh44O844Or?=", u"新着メール"_qs},
        {"=?utf-8?q?caf=C3=A9_au_lait?=", u"café au lait"_qs},
        {"=?ISO-2022-JP?B?GyRCJUYlOSVIGyhC?=", u"テスト"_qs},
        {"=?Shift_JIS?B?g2WDWINn?=", u"テスト"_qs},
        {"=?EUC-JP?B?pcaluaXI?=", u"テスト"_qs},
        // Blanks between encoded-words vanish; blanks next to plain words stay.
        {"=?UTF-8?B?5paw?= =?UTF-8?B?552A?=", u"新着"_qs},
        {"Re: =?UTF-8?B?5paw?= end", u"Re: 新 end"_qs},
        // One character split across two words of one charset.
        {"=?UTF-8?B?5pY=?= =?UTF-8?B?sA==?=", u"新"_qs},
        {"=?UTF-8?Q?=E6=96?= =?UTF-8?Q?=B0?=", u"新"_qs},
        // Not encoded-words, or ones we cannot read: kept as they are.
        {"=?unknown-charset?B?YWJj?=", u"=?unknown-charset?B?YWJj?="_qs},
        {"=?UTF-8?X?abc?=", u"=?UTF-8?X?abc?="_qs},
        {"=?UTF-8?B?not base64!?=", u"=?UTF-8?B?not base64!?="_qs},
        {"=?UTF-8?B?unterminated", u"=?UTF-8?B?unterminated"_qs},
        {"a =? b ?= c", u"a =? b ?= c"_qs},
        // Raw 8-bit text: UTF-8 when valid, else code page 932.
        {"\xe6\x96\xb0", u"新"_qs},
        {"\x90\x56", u"新"_qs},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(decodeHeaderText(c.raw), c.text) << c.raw.constData();
    }
}

TEST(MimeHeaderTest, FindsUnfoldedFieldsInTheHeaderOnly)
{
    const QByteArray message = "Received: from a\r\n\tby b\r\nSUBJECT: first\r\n line\r\n"
                               "Subject: second\r\nFrom:  Tama <tama@example.jp>  \n"
                               "\r\nSubject: in the body\r\n";
    const QByteArray header = headerOf(message);
    EXPECT_FALSE(header.contains("in the body"));
    EXPECT_TRUE(header.endsWith("<tama@example.jp>  \r\n"));
    EXPECT_EQ(headerField(header, "subject"), "first line");
    EXPECT_EQ(headerField(header, "From"), "Tama <tama@example.jp>");
    EXPECT_EQ(headerField(header, "Received"), "from a\tby b");
    EXPECT_EQ(headerField(header, "Date"), "");
    EXPECT_EQ(headerOf("no blank line\r\nat all"), "no blank line\r\nat all\r\n");
}

TEST(Cp932Test, CopiesCutWithoutSplittingDoubleByteCharacters)
{
    const QByteArray text = ToCodePage(u"aあいう"_qs); // 1 + 3 * 2 bytes
    ASSERT_EQ(text.size(), 7);
    struct Case
    {
        qsizetype bufferSize;
        QByteArray expected;
        bool cut;
    };
    const Case cases[] = {
        {8, text, false},        {7, text.left(5), true}, {6, text.left(5), true},
        {5, text.left(3), true}, {2, "a", true},          {1, "", true},
    };
    for (const Case& c : cases) {
        char buffer[16];
        std::memset(buffer, '#', sizeof buffer);
        const CopyResult result = copyCp932(text, buffer, c.bufferSize);
        EXPECT_EQ(QByteArray(buffer, result.written), c.expected) << c.bufferSize;
        EXPECT_EQ(buffer[result.written], '\0');
        EXPECT_EQ(result.cut, c.cut);
        EXPECT_EQ(buffer[c.bufferSize], '#') << "wrote past a buffer of " << c.bufferSize;
    }
    EXPECT_EQ(copyCp932(text, nullptr, 10).written, 0);
}

TEST(ApopTest, TimestampAndDigest)
{
    // RFC 1939 §7's own example.
    const QByteArray greeting = "+OK POP3 server ready <1896.697170952@dbc.mtview.ca.us>";
    EXPECT_EQ(apopTimestamp(greeting), "<1896.697170952@dbc.mtview.ca.us>");
    EXPECT_EQ(apopDigest(apopTimestamp(greeting), "tanstaaf"), "c4c9334bac560ecc979e58001b3e22fb");

    struct Case
    {
        QByteArray greeting;
        QByteArray timestamp;
    };
    const Case cases[] = {
        {"+OK Dovecot ready.", ""},
        {"+OK <no-at-sign> ready", ""},
        {"+OK <a b@c> ready", ""},
        {"+OK <unclosed@x", ""},
        {"+OK <1.2@host> then text", "<1.2@host>"},
        {"+OK <plain> and <3.4@host> and <5.6@other>", "<3.4@host>"},
        {"+OK <<7.8@host>", "<7.8@host>"},
        {"+OK <1.\xE3\x81\x82@host>", ""},
        {"+OK <1.\x7F@host>", ""},
        {"+OK <1.2@host@other>", ""},
        {"+OK <1.\x80@evil> <3.4@host>", "<3.4@host>"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(apopTimestamp(c.greeting), c.timestamp) << c.greeting.constData();
    }
}

TEST(HostAddressTest, ParsesTheHostSyntaxes)
{
    struct Case
    {
        QString text;
        bool valid;
        QString host;
        quint16 port;
        bool tls;
        bool requireStls = false;
    };
    const Case cases[] = {
        {u"mail.example.jp"_qs, true, u"mail.example.jp"_qs, 110, false},
        {u"  mail.example.jp  "_qs, true, u"mail.example.jp"_qs, 110, false},
        {u"mail.example.jp:1110"_qs, true, u"mail.example.jp"_qs, 1110, false},
        {u"127.0.0.1:65535"_qs, true, u"127.0.0.1"_qs, 65535, false},
        {u"[::1]:2110"_qs, true, u"::1"_qs, 2110, false},
        {u"[::1]"_qs, true, u"::1"_qs, 110, false},
        {u"::1"_qs, true, u"::1"_qs, 110, false},
        {u"pop3://mail.example.jp"_qs, true, u"mail.example.jp"_qs, 110, false},
        {u"POP3://mail.example.jp:2110/"_qs, true, u"mail.example.jp"_qs, 2110, false},
        {u"pop3s://mail.example.jp"_qs, true, u"mail.example.jp"_qs, 995, true},
        {u"pop3s://[::1]:9950"_qs, true, u"::1"_qs, 9950, true},
        {u"pop3+stls://mail.example.jp"_qs, true, u"mail.example.jp"_qs, 110, false, true},
        {u"POP3+STLS://[::1]:2110"_qs, true, u"::1"_qs, 2110, false, true},
        {u"メール.example.jp"_qs, true, u"メール.example.jp"_qs, 110, false},
        {u""_qs, false, {}, 0, false},
        {u"   "_qs, false, {}, 0, false},
        {u"pop3s://"_qs, false, {}, 0, false},
        {u"imap://mail.example.jp"_qs, false, {}, 0, false},
        {u"mail.example.jp:"_qs, false, {}, 0, false},
        {u"mail.example.jp:0"_qs, false, {}, 0, false},
        {u"mail.example.jp:65536"_qs, false, {}, 0, false},
        {u"mail.example.jp:+110"_qs, false, {}, 0, false},
        {u"mail example.jp"_qs, false, {}, 0, false},
        {u"[::1]x"_qs, false, {}, 0, false},
        {u"[::1"_qs, false, {}, 0, false},
        {u"[host]:110"_qs, false, {}, 0, false},
        {u"user@mail.example.jp"_qs, false, {}, 0, false},
    };
    for (const Case& c : cases) {
        const auto address = parseHostAddress(c.text);
        ASSERT_EQ(address.has_value(), c.valid) << c.text.toStdString();
        if (address) {
            EXPECT_EQ(address->host, c.host);
            EXPECT_EQ(address->port, c.port) << c.text.toStdString();
            EXPECT_EQ(address->tls, c.tls);
            EXPECT_EQ(address->requireStls, c.requireStls) << c.text.toStdString();
        }
    }
}

TEST(HostAddressTest, ParsesImapAddresses)
{
    struct Case
    {
        QString text;
        bool valid;
        quint16 port = 0;
        bool tls = false;
        bool requireStls = false;
        QString mailbox = {};
    };
    const Case cases[] = {
        {u"imap://mail.example.jp"_qs, true, 143, false, false, u"INBOX"_qs},
        {u"imaps://mail.example.jp:1993/Lists/猫/"_qs, true, 1993, true, false, u"Lists/猫"_qs},
        {u"IMAP+STARTTLS://[::1]/"_qs, true, 143, false, true, u"INBOX"_qs},
        {u"imaps://mail.example.jp"_qs, true, 993, true, false, u"INBOX"_qs},
        {u"mail.example.jp"_qs, false},
        {u"pop3://mail.example.jp"_qs, false},
        {u"imap:///INBOX"_qs, false},
        {u"imap://mail.example.jp:0"_qs, false},
        {u"imap://mail.example.jp/a\x01b"_qs, false},
    };
    for (const Case& c : cases) {
        const auto address = parseImapAddress(c.text);
        ASSERT_EQ(address.has_value(), c.valid) << c.text.toStdString();
        if (address) {
            EXPECT_EQ(address->server.port, c.port) << c.text.toStdString();
            EXPECT_EQ(address->server.tls, c.tls);
            EXPECT_EQ(address->server.requireStls, c.requireStls);
            EXPECT_EQ(address->mailbox, c.mailbox);
        }
    }
}
