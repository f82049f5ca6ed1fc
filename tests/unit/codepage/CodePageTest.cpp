#include "codepage/CodePage.h"

#include <gtest/gtest.h>

namespace {

QByteArray Hex(const char* hex)
{
    return QByteArray::fromHex(hex);
}

TEST(CodePage, RoundTripsTheCodePagesOwnCharacters)
{
    struct Case
    {
        const char16_t* text;
        const char* bytes;
    };
    const Case cases[] = {
        {u"ABC\\~", "4142435c7e"}, // backslash and tilde stay ASCII, as on Windows
        {u"①", "8740"},            // NEC row 13
        {u"表", "955c"},           // second byte is a backslash
        {u"ー", "815b"},           // second byte is '['
        {u"纊", "fa5c"},           // IBM extension, preferred over its NEC-selected copy
        {u"ⅰ", "fa40"},            // IBM extension, preferred over the NEC-selected copy
        {u"髙", "fbfc"},
        {u"￢∵", "81ca81e6"}, // the JIS row 2 forms, not the duplicates in row 13
        {u"～", "8160"},      // FULLWIDTH TILDE, Windows' mapping of 0x8160
        {u"ｱｲ", "b1b2"},      // half-width katakana
    };
    for (const Case& c : cases) {
        const QString text = QString::fromUtf16(c.text);
        SCOPED_TRACE(text.toStdString());
        EXPECT_EQ(ToCodePage(text).toHex(), QByteArray(c.bytes));
        EXPECT_EQ(FromCodePage(Hex(c.bytes)), text);
        EXPECT_TRUE(FitsCodePage(text));
    }
}

TEST(CodePage, CharacterWithoutAFormBecomesOneQuestionMark)
{
    const QString text = QStringLiteral("a😀b한c");
    EXPECT_FALSE(FitsCodePage(text));
    EXPECT_EQ(ToCodePage(text), QByteArray("a?b?c"));
    // Its own extensions survive the way there and back.
    EXPECT_EQ(FromCodePage(ToCodePage(u"①髙😀€"_qs)), u"①髙??"_qs);
}

TEST(CodePage, BadBytesBecomeReplacementCharactersAndTheRestIsRead)
{
    const QString R(QChar::ReplacementCharacter);
    EXPECT_EQ(FromCodePage(Hex("4180")), QStringLiteral("A") + R);
    EXPECT_EQ(FromCodePage(Hex("41ff42a043")),
              QStringLiteral("A") + R + QStringLiteral("B") + R + QStringLiteral("C"));
    EXPECT_EQ(FromCodePage(Hex("41955c82")),
              QStringLiteral("A表") + R); // lone lead byte at the end
    EXPECT_EQ(FromCodePage(Hex("822078")),
              R + QStringLiteral(" x")); // lead byte before a non-trail byte
}

TEST(CodePage, BytesBelow0x80AreTheirOwnCodePoints)
{
    QByteArray bytes;
    QString text;
    for (int b = 0; b < 0x80; ++b) {
        bytes += char(b);
        text += QChar(b);
    }
    EXPECT_EQ(FromCodePage(bytes), text);
    EXPECT_EQ(ToCodePage(text), bytes);
    // The NEC-selected copies of the IBM rows read as the same characters.
    EXPECT_EQ(FromCodePage(Hex("ed40")), QStringLiteral("纊"));
    EXPECT_EQ(FromCodePage(Hex("eeef")), QStringLiteral("ⅰ"));
}

TEST(CodePage, PrefixNeverEndsInsideADoubleByteCharacter)
{
    const QByteArray bytes = Hex("41955c955c42"); // A表表B
    EXPECT_EQ(CodePagePrefixLength(bytes, 0), 0);
    EXPECT_EQ(CodePagePrefixLength(bytes, 1), 1);
    EXPECT_EQ(CodePagePrefixLength(bytes, 2), 1);
    EXPECT_EQ(CodePagePrefixLength(bytes, 3), 3);
    EXPECT_EQ(CodePagePrefixLength(bytes, 4), 3);
    EXPECT_EQ(CodePagePrefixLength(bytes, 100), 6);
    EXPECT_EQ(CodePagePrefixLength(Hex("4182"), 2), 2); // a lone last lead byte is one unit
}

TEST(CodePage, FindsDelimitersOnlyWhereTheyStandAlone)
{
    const QByteArray section = "[a" + Hex("815d") + "]"; // [a‐] : 0x815D ends in ']'
    EXPECT_EQ(FindCodePageByte(section, ']'), 4);
    EXPECT_EQ(FindCodePageByte(Hex("955c5c"), '\\'), 2);
    EXPECT_EQ(FindCodePageByte(Hex("955c"), '\\'), -1);
}

} // namespace
