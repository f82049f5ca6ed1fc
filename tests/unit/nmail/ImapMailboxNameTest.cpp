#include "imap/MailboxName.h"

#include <gtest/gtest.h>

using namespace nmail::imap;

TEST(ImapMailboxNameTest, EncodesAndDecodes)
{
    struct Case
    {
        QString name;
        QByteArray wire;
    };
    const Case cases[] = {
        {u""_qs, ""},
        {u"INBOX"_qs, "INBOX"},
        {u"Lists/猫"_qs, "Lists/&cys-"},
        {u"~peter/mail/台北/日本語"_qs, "~peter/mail/&U,BTFw-/&ZeVnLIqe-"}, // RFC 3501 §5.1.3
        {u"Tom & Jerry &"_qs, "Tom &- Jerry &-"},
        {u"😺猫"_qs, "&2D3eOnMr-"}, // a surrogate pair and a character in one shift
        {u"tab\t"_qs, "tab&AAk-"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(encodeMailboxName(c.name), c.wire) << c.wire.constData();
        EXPECT_EQ(decodeMailboxName(c.wire), c.name) << c.wire.constData();
    }
}

TEST(ImapMailboxNameTest, RefusesMalformedWireForms)
{
    for (const char* wire : {
             "&ZeVnLIqe",    // no '-'
             "&Jjo!-",       // not a base64 digit
             "&AGE-",        // 'a' written in base64
             "&2D0-",        // a high surrogate alone
             "&A-",          // six bits over
             "&cyt-",        // bits over that are not zero
             "\xe7\x8c\xab", // raw UTF-8
             "a\tb",
         }) {
        EXPECT_FALSE(decodeMailboxName(wire).has_value()) << wire;
    }
}

TEST(ImapMailboxNameTest, QuotesForACommand)
{
    struct Case
    {
        QString name;
        std::optional<QByteArray> quoted;
    };
    const Case cases[] = {
        {u"INBOX"_qs, "INBOX"},
        {u"Lists/猫"_qs, "Lists/&cys-"},
        {u""_qs, "\"\""},
        {u"My Mail"_qs, "\"My Mail\""},
        {u"a\"b\\c%"_qs, "\"a\\\"b\\\\c%\""},
        {u"a\r\nb"_qs, std::nullopt},
        {QString(QChar(0)), std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(quoteMailboxName(c.name), c.quoted) << c.name.toStdString();
    }
    EXPECT_FALSE(quoteAstring("\xe7\x8c\xab").has_value()); // 8-bit needs a literal
}
