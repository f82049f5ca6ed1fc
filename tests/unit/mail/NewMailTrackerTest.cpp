// Telling new mail from mail already reported, and the file that remembers what was reported.
#include "mail/NewMailTracker.h"

#include "mail/ReportedMailStore.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using Ids = QList<QByteArray>;

QSet<QByteArray> setOf(const Ids& ids)
{
    return QSet<QByteArray>(ids.begin(), ids.end());
}

} // namespace

TEST(NewMailTracker, SortsNewFromReported)
{
    struct Case
    {
        const char* name;
        Ids current;
        Ids reported;
        QList<qint64> expectedNew;
        Ids expectedRemember;
    };
    const Case cases[] = {
        {"first check reports all", {"a", "b", "c"}, {}, {1, 2, 3}, {"a", "b", "c"}},
        {"nothing new", {"a", "b", "c"}, {"c", "a", "b"}, {}, {"a", "b", "c"}},
        {"one delivered", {"a", "b", "c"}, {"a", "b"}, {3}, {"a", "b", "c"}},
        {"gone from the server are forgotten", {"b", "c"}, {"a", "b", "x"}, {2}, {"b", "c"}},
        {"same identity twice", {"a", "a", "b"}, {"b"}, {1, 2}, {"a", "b"}},
        {"mailbox emptied", {}, {"a"}, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto sorting = NewMail::Sort(c.current, setOf(c.reported));
        EXPECT_EQ(sorting.newMessages, c.expectedNew);
        EXPECT_EQ(sorting.remember, c.expectedRemember);
    }
}

// A server without UIDL: the same message must give the same identity on every check, and two
// messages must not share one.
TEST(NewMailTracker, HeaderIdentitiesAreStableAndDistinct)
{
    const QByteArray plain = "Received: from a\r\nDate: Mon, 7 Dec 2026 12:00:00 +0900\r\n"
                             "From: tama@example.jp\r\nSubject: hello\r\n";
    struct Case
    {
        const char* name;
        QByteArray header;
        qint64 size;
        QByteArray other;
        qint64 otherSize;
        bool same;
    };
    const Case cases[] = {
        {"Message-ID as it stands", "Message-ID: <1@example.jp>\r\n", 10,
         "message-id:\r\n <1@example.jp>\r\nSubject: x\r\n", 99, true},
        {"different Message-IDs", "Message-ID: <1@example.jp>\r\n", 10,
         "Message-ID: <2@example.jp>\r\n", 10, false},
        {"Message-ID with a comment", "Message-ID: <1@example.jp> (x)\r\n", 10,
         "Message-ID: <1@example.jp> (x)\r\nDate: y\r\n", 20, true},
        {"no Message-ID, other hops", plain, 120, "Received: from b\r\n" + plain, 120, true},
        {"no Message-ID, other size", plain, 120, plain, 121, false},
        {"no Message-ID, other subject", plain, 120, QByteArray(plain).replace("hello", "hullo"),
         120, false},
        {"nothing at all", "", 0, "X-Empty: 1\r\n", 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray one = NewMail::HeaderIdentity(c.header, c.size);
        const QByteArray two = NewMail::HeaderIdentity(c.other, c.otherSize);
        EXPECT_TRUE(NewMail::IsIdentity(one)) << one.constData();
        EXPECT_EQ(one == two, c.same) << one.constData() << " / " << two.constData();
    }
    EXPECT_EQ(NewMail::HeaderIdentity("Message-ID: <1@example.jp>\r\n", 0), "<1@example.jp>");
}

TEST(NewMailTracker, ReadsWhatIsReadableOfADamagedFile)
{
    struct Case
    {
        const char* name;
        QByteArray file;
        bool truncated;
        Ids expected;
    };
    const QByteArray manyBad = QByteArray("bad line\r\n").repeated(NewMail::MaxBadLines) + "z\r\n";
    const Case cases[] = {
        {"as written", "a\r\n<b@c>\r\n", false, {"a", "<b@c>"}},
        {"bare LF, no last line end", "a\nb", false, {"a", "b"}},
        {"bad lines skipped",
         "a\r\n\x01\r\nwith blank\r\n\xE3\x81\x82\r\n\r\n" + QByteArray(251, 'x') + "\r\nb\r\n",
         false,
         {"a", "b"}},
        {"cut while reading", "a\r\nb\r\nc", true, {"a", "b"}},
        {"cut within the first line", "abc", true, {}},
        {"not such a file at all", manyBad, false, {}},
        {"NUL bytes", QByteArray("a\0b\r\nc\r\n", 8), false, {"c"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(NewMail::ParseReported(c.file, c.truncated), setOf(c.expected));
    }
}

TEST(NewMailTracker, StoreKeepsAFilePerServerAndUser)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const ReportedMailStore store(folder.path());
    const Ids ids = {"0000000100000001", "<x@example.jp>", "bad id"};
    EXPECT_TRUE(store.load(u"mail.example.jp"_qs, u"tama"_qs).isEmpty());
    QString error;
    ASSERT_TRUE(store.save(u"mail.example.jp"_qs, u"tama"_qs, ids, &error)) << qPrintable(error);
    const QSet<QByteArray> expected = {"0000000100000001", "<x@example.jp>"};
    EXPECT_EQ(store.load(u" Mail.Example.JP"_qs, u"tama"_qs), expected);
    EXPECT_TRUE(store.load(u"mail.example.jp"_qs, u"Tama"_qs).isEmpty());
    EXPECT_TRUE(store.load(u"mail.example.jp:995"_qs, u"tama"_qs).isEmpty());
    const QString path = store.filePath(u"mail.example.jp"_qs, u"tama"_qs);
    EXPECT_EQ(QFile(path).permissions() & (QFile::ReadOther | QFile::ReadGroup), 0);
    EXPECT_TRUE(QFileInfo(path).fileName().toLatin1() == QFileInfo(path).fileName().toUtf8());

    // A file far beyond any mailbox is read up to the limit, not whole.
    ASSERT_TRUE(QFile::resize(path, NewMail::MaxFileBytes * 2));
    EXPECT_EQ(store.load(u"mail.example.jp"_qs, u"tama"_qs), expected);

    // A folder that is not there: the save fails and says so.
    const ReportedMailStore nowhere(folder.filePath(u"missing"_qs));
    EXPECT_FALSE(nowhere.save(u"mail.example.jp"_qs, u"tama"_qs, ids, &error));
    EXPECT_FALSE(error.isEmpty());
}
