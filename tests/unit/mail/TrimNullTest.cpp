#include "mail/TrimNull.h"

#include <gtest/gtest.h>

TEST(TrimNull, CutsAtTheFirstNul)
{
    using namespace Qt::StringLiterals;
    EXPECT_EQ(TrimNull(QString::fromUtf16(u"abc\0def", 7)), u"abc"_s);
    EXPECT_EQ(TrimNull(u"abc"_s), u"abc"_s);
    EXPECT_EQ(TrimNull(QString::fromUtf16(u"\0abc", 4)), QString());
    EXPECT_EQ(TrimNull(QString()), QString());
    EXPECT_EQ(TrimNull(QString::fromUtf16(u"新着\0\0", 4)), u"新着"_s);
}
