#include "settings/ProfileParser.h"

#include <QString>
#include <climits>
#include <gtest/gtest.h>
#include <string_view>

using namespace std::string_view_literals;

using Profile::FindValue;
using Profile::SetValue;

namespace {

TEST(ProfileParser, FindsValuesTheWayWindowsReadsThem)
{
    struct Case
    {
        std::string_view file;
        const char* section;
        const char* key;
        const char* expected; // nullptr: missing
    };
    const Case cases[] = {
        {"[EXEINI]\r\nNAME=mofu\r\n", "EXEINI", "NAME", "mofu"},
        {"[exeini]\r\nname=mofu\r\n", "EXEINI", "NAME", "mofu"},
        {"  [ EXEINI ]  \r\n\t NAME \t=  a b \t\r\n", "exeini", "Name", "a b"},
        {"[EXEINI]\nNAME=\"  quoted  \"\n", "EXEINI", "NAME", "  quoted  "},
        {"[EXEINI]\nNAME='single'\n", "EXEINI", "NAME", "single"},
        {"[EXEINI]\nNAME=\"mixed'\n", "EXEINI", "NAME", "\"mixed'"},
        {"[EXEINI]\nNAME=\"\n", "EXEINI", "NAME", "\""},
        {"[EXEINI]\nNAME=\n", "EXEINI", "NAME", ""},
        {"[EXEINI]\nNAME=a=b\n", "EXEINI", "NAME", "a=b"},
        {"[EXEINI]\rNAME=cr\rNAME2=x", "EXEINI", "NAME2", "x"}, // lone CR line ends
        {"[EXEINI]\nNAME=first\nNAME=second\n", "EXEINI", "NAME", "first"},
        {"[EXEINI]\nA=1\n[EXEINI]\nNAME=later\n", "EXEINI", "NAME", nullptr},
        {"[EXEINI]\n;NAME=comment\n", "EXEINI", "NAME", nullptr},
        {"NAME=outside\n[EXEINI]\n", "EXEINI", "NAME", nullptr},
        {"[OTHER]\nNAME=other\n[EXEINI]\n", "EXEINI", "NAME", nullptr},
        {"[EXEINI]\n[unclosed\nNAME=still\n", "EXEINI", "NAME", "still"},
        {"[EXEINI]\nNAME\n", "EXEINI", "NAME", nullptr},
        {"", "EXEINI", "NAME", nullptr},
        {"[a\x81\x5d]\r\nK=dbcs\r\n", "a\xe2\x80\x90", "K", "dbcs"}, // 0x815D ends in ']'
        {"\xff\xfe\x00garbage\n[EXEINI]\nNAME=ok\n"sv, "EXEINI", "NAME", "ok"},
    };
    for (const Case& c : cases) {
        const QByteArray file(c.file.data(), qsizetype(c.file.size()));
        SCOPED_TRACE(file.toStdString());
        const auto found = FindValue(file, QString::fromUtf8(c.section), QString::fromUtf8(c.key));
        if (c.expected) {
            ASSERT_TRUE(found.has_value());
            EXPECT_EQ(*found, QByteArray(c.expected));
        } else {
            EXPECT_FALSE(found.has_value()) << found->toStdString();
        }
    }
}

TEST(ProfileParser, WriteChangesOnlyWhatItMust)
{
    struct Case
    {
        const char* before;
        const char* key;
        const char* value;
        const char* after;
    };
    const Case cases[] = {
        {"", "NUMBER", "1", "[EXEINI]\r\nNUMBER=1\r\n"},
        // The key keeps its spelling, blanks before '=' and line break; other lines stay.
        {"; note\n[exeini]\nname = old \nNAME2=p\n", "NAME", "new",
         "; note\n[exeini]\nname =new\nNAME2=p\n"},
        {"[EXEINI]\r\nNAME=a\r\nNAME=b\r\n", "name", "c", "[EXEINI]\r\nNAME=c\r\nNAME=b\r\n"},
        // A new key follows the section's last line, before the blank line that ends it.
        {"[A]\r\nx=1\r\n\r\n[EXEINI]\r\nNAME=a\r\n; end\r\n\r\n[B]\r\ny=2", "NAME3", "0",
         "[A]\r\nx=1\r\n\r\n[EXEINI]\r\nNAME=a\r\n; end\r\nNAME3=0\r\n\r\n[B]\r\ny=2"},
        {"[EXEINI]\r\nNAME=a", "NAME3", "0", "[EXEINI]\r\nNAME=a\r\nNAME3=0\r\n"},
        {"[EXEINI]", "NAME3", "0", "[EXEINI]\r\nNAME3=0\r\n"},
        {"[A]\r\nx=1", "NUMBER", "0", "[A]\r\nx=1\r\n[EXEINI]\r\nNUMBER=0\r\n"},
        {"[A]\nx=1\n", "NUMBER", "", "[A]\nx=1\n[EXEINI]\r\nNUMBER=\r\n"},
        {"\x80\x81junk\n", "K", "v", "\x80\x81junk\n[EXEINI]\r\nK=v\r\n"},
        {"[EXEINI]\nK=old\n", "K", " spaced \"as given\" ", "[EXEINI]\nK= spaced \"as given\" \n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.before);
        const auto after = SetValue(c.before, u"EXEINI", QString::fromUtf8(c.key), c.value);
        ASSERT_TRUE(after.has_value());
        EXPECT_EQ(*after, QByteArray(c.after));
        const auto readBack = FindValue(*after, u"EXEINI", QString::fromUtf8(c.key));
        ASSERT_TRUE(readBack.has_value());
        EXPECT_EQ(*readBack, QByteArray(c.value).trimmed());
    }
}

TEST(ProfileParser, RefusesTextThatWouldNotReadBackAsOneKey)
{
    const QByteArray file = "[EXEINI]\r\nNAME=a\r\n";
    EXPECT_FALSE(SetValue(file, u"EXEINI", u"NAME", "x\r\nNAME2=injected"));
    EXPECT_FALSE(SetValue(file, u"EXEINI", u"NAME", QByteArray("x\0y", 3)));
    EXPECT_FALSE(SetValue(file, u"EXEINI", u"NA=ME", "x"));
    EXPECT_FALSE(SetValue(file, u"EXEINI", u"  ", "x"));
    EXPECT_FALSE(SetValue(file, u"EXEINI", u";NAME", "x"));
    EXPECT_FALSE(SetValue(file, u"EXE]INI", u"NAME", "x"));
    EXPECT_FALSE(SetValue(file, u"EXE\nINI", u"NAME", "x"));
}

TEST(ProfileParser, LeadingIntegerStopsAtTheIntRangeInsteadOfWrapping)
{
    const std::pair<const char*, int> cases[] = {
        {"1", 1},
        {"  42", 42},
        {"+7", 7},
        {"-3", -3},
        {"12abc", 12},
        {"abc", 0},
        {"0x10", 0},
        {"- 1", 0},
        {"2147483647", INT_MAX},
        {"-2147483648", INT_MIN},
        {"4294967297", INT_MAX}, // would wrap to 1 and mean "on"
        {"-99999999999999999999", INT_MIN},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(Profile::LeadingInteger(text), expected) << text;
}

} // namespace
