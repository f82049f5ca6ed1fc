// The lines that name the new messages: one per message, one line each, five at most.
#include "mail/NewMailLines.h"

#include <gtest/gtest.h>

TEST(NewMailLines, OneLinePerMessageThenTheRest)
{
    using NewMail::Headline;
    const Headline tama{u"たま <tama@example.jp>"_qs, u"テスト"_qs};
    struct Case
    {
        const char* name;
        QList<Headline> messages;
        QStringList expected;
        qsizetype total = 0; // how many there are; 0: as many as `messages`
    };
    const QString longSubject = QString(200, u'長');
    const Case cases[] = {
        {"display name", {tama}, {u"たま — テスト"_qs}},
        {"quoted name", {{u"\"Mike \" <m@example.jp>"_qs, u"hi"_qs}}, {u"Mike — hi"_qs}},
        {"address only", {{u"<m@example.jp>"_qs, u"hi"_qs}}, {u"m@example.jp — hi"_qs}},
        {"bare address", {{u"m@example.jp"_qs, u"hi"_qs}}, {u"m@example.jp — hi"_qs}},
        {"nothing known", {{u""_qs, u"  "_qs}}, {u"(差出人なし) — (件名なし)"_qs}},
        {"line breaks and tabs from outside",
         {{u"tama"_qs, u"one\r\n\ttwo\u0007 three"_qs}},
         {u"tama — one two three"_qs}},
        // A sender name must not reorder or hide the subject after it: the bidirectional
        // controls and the invisible spaces go, the joiners that emoji and scripts need stay.
        {"override in the name",
         {{u"たま\u202E <t@example.jp>"_qs, u"テスト"_qs}},
         {u"たま — テスト"_qs}},
        {"isolates, embeddings, marks, invisible spaces",
         {{u"\u2067ma\u200Bl\u200Fl\u2069ory"_qs,
           u"\u202Ba\u202Ab\u202C\u2066c\u2068d\u200E\u2060\uFEFF\u00AD"_qs}},
         {u"mallory — abcd"_qs}},
        {"joiners stay",
         {{u"ناصر"_qs, u"\U0001F468\u200D\U0001F469\u200D\U0001F467 می\u200Cخواهم"_qs}},
         {u"ناصر — \U0001F468\u200D\U0001F469\u200D\U0001F467 می\u200Cخواهم"_qs}},
        {"a name of hidden characters is no name",
         {{u"\u202E\u200B <e@example.jp>"_qs, u"hi"_qs}},
         {u"e@example.jp — hi"_qs}},
        {"runaway subject",
         {{u"tama"_qs, longSubject}},
         {u"tama — "_qs + QString(79, u'長') + u'…'}},
        {"five fit", QList<Headline>(5, tama), QStringList(5, u"たま — テスト"_qs)},
        {"six and more", QList<Headline>(8, tama),
         QStringList(5, u"たま — テスト"_qs) << u"ほか 3 通"_qs},
        {"five read of two thousand", QList<Headline>(5, tama),
         QStringList(5, u"たま — テスト"_qs) << u"ほか 1995 通"_qs, 2000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(NewMail::Lines(c.messages, c.total), c.expected);
    }
}
