#include "imap/ResponseReader.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

using nmail::imap::Response;
using nmail::imap::ResponseReader;
using nmail::imap::Value;

namespace {

struct Read
{
    ResponseReader::Status status;
    ResponseReader::Error error;
    Response response;
    qsizetype used;
};

// Feeds the bytes whole, or one at a time when trickle is set, as a slow server sends them.
Read read(const QByteArray& bytes, bool trickle = false)
{
    ResponseReader reader;
    qsizetype total = 0;
    if (trickle) {
        for (qsizetype i = 0;
             i < bytes.size() && reader.status() == ResponseReader::Status::NeedMore; ++i) {
            qsizetype used = 0;
            reader.feed(QByteArrayView(bytes.constData() + i, 1), &used);
            total += used;
        }
    } else {
        reader.feed(bytes, &total);
    }
    return {reader.status(), reader.error(), reader.response(), total};
}

Value atom(const char* text)
{
    return {Value::Kind::Atom, text, 0, {}};
}
Value number(quint64 n)
{
    return {Value::Kind::Number, QByteArray::number(n), n, {}};
}
Value string(const QByteArray& bytes)
{
    return {Value::Kind::String, bytes, 0, {}};
}
Value list(std::vector<Value> values)
{
    return {Value::Kind::List, {}, 0, std::move(values)};
}
const Value nil{};

// A response of the given kind, for the table below.
Response untagged(const char* status, std::vector<Value> items = {},
                  std::optional<quint32> n = std::nullopt)
{
    Response r;
    r.status = status;
    r.number = n;
    r.items = std::move(items);
    return r;
}
Response withText(Response::Kind kind, const char* tag, const char* status, const char* code,
                  const char* codeText, const char* text)
{
    Response r;
    r.kind = kind;
    r.tag = tag;
    r.status = status;
    r.code = code;
    r.codeText = codeText;
    r.text = text;
    return r;
}

} // namespace

// Every kind of response, mostly RFC 3501's own examples, read whole and byte by byte.
TEST(ImapResponseReaderTest, Responses)
{
    using K = Response::Kind;
    struct Case
    {
        QByteArray bytes;
        Response response;
    };
    const QByteArray header = "From: Tama <tama@example.jp>\r\nSubject: (hi)\r\n\r\n";
    const Case cases[] = {
        {"* OK IMAP4rev1 Service Ready\r\n",
         withText(K::Untagged, "", "OK", "", "", "IMAP4rev1 Service Ready")},
        {"a001 OK LOGIN completed\r\n",
         withText(K::Tagged, "a001", "OK", "", "", "LOGIN completed")},
        {"A142 ok [READ-WRITE] SELECT completed\n",
         withText(K::Tagged, "A142", "OK", "READ-WRITE", "", "SELECT completed")},
        {"* OK [UIDVALIDITY 3857529045] UIDs valid\r\n",
         withText(K::Untagged, "", "OK", "UIDVALIDITY", "3857529045", "UIDs valid")},
        {"* OK [PERMANENTFLAGS (\\Deleted \\Seen \\*)] Limited\r\n",
         withText(K::Untagged, "", "OK", "PERMANENTFLAGS", "(\\Deleted \\Seen \\*)", "Limited")},
        {"* OK [ALERT]\r\n", withText(K::Untagged, "", "OK", "ALERT", "", "")},
        {"A1 NO\r\n", withText(K::Tagged, "A1", "NO", "", "", "")},
        {"* BYE IMAP4rev1 Server logging out\r\n",
         withText(K::Untagged, "", "BYE", "", "", "IMAP4rev1 Server logging out")},
        {"* PREAUTH [CAPABILITY IMAP4rev1] hi\r\n",
         withText(K::Untagged, "", "PREAUTH", "CAPABILITY", "IMAP4rev1", "hi")},
        {"+\r\n", withText(K::Continuation, "", "", "", "", "")},
        {"+ YGgGCSqGSIb3EgECAgIBAAD/////6jcyG4GE3KkTzmeTxy8uL6KU\r\n",
         withText(K::Continuation, "", "", "", "",
                  "YGgGCSqGSIb3EgECAgIBAAD/////6jcyG4GE3KkTzmeTxy8uL6KU")},
        {"* CAPABILITY IMAP4rev1 STARTTLS AUTH=GSSAPI LITERAL+\r\n",
         untagged("CAPABILITY",
                  {atom("IMAP4rev1"), atom("STARTTLS"), atom("AUTH=GSSAPI"), atom("LITERAL+")})},
        {"* 172 EXISTS\r\n", untagged("EXISTS", {}, 172)},
        {"* 44 expunge\r\n", untagged("EXPUNGE", {}, 44)},
        {"* SEARCH 2 84 882\r\n", untagged("SEARCH", {number(2), number(84), number(882)})},
        {"* SEARCH\r\n", untagged("SEARCH")},
        {"* FLAGS (\\Answered \\Flagged \\Deleted \\Seen \\Draft)\r\n",
         untagged("FLAGS", {list({atom("\\Answered"), atom("\\Flagged"), atom("\\Deleted"),
                                  atom("\\Seen"), atom("\\Draft")})})},
        {"* LIST (\\Noselect) \"/\" ~/Mail/foo\r\n",
         untagged("LIST", {list({atom("\\Noselect")}), string("/"), atom("~/Mail/foo")})},
        {"* LIST () NIL \"a \\\"b\\\" \\\\c\"\r\n",
         untagged("LIST", {list({}), nil, string("a \"b\" \\c")})},
        {"* NAMESPACE ((\"\" \"/\")(\"#news.\" \".\")) NIL NIL\r\n",
         untagged("NAMESPACE",
                  {list({list({string(""), string("/")}), list({string("#news."), string(".")})}),
                   nil, nil})},
        {"* 12 FETCH (FLAGS (\\Seen) UID 4827313 RFC822.SIZE 44827)\r\n",
         untagged("FETCH",
                  {list({atom("FLAGS"), list({atom("\\Seen")}), atom("UID"), number(4827313),
                         atom("RFC822.SIZE"), number(44827)})},
                  12)},
        {"* 5 FETCH (UID 9 BODY[HEADER.FIELDS (FROM SUBJECT DATE)] {" +
             QByteArray::number(header.size()) + "}\r\n" + header + ")\r\n",
         untagged("FETCH",
                  {list({atom("UID"), number(9), atom("BODY[HEADER.FIELDS (FROM SUBJECT DATE)]"),
                         string(header)})},
                  5)},
        {"* 1 FETCH (BODY[]<0> {0}\r\n FLAGS (\\Seen) X {3+}\r\n\r\n) {1}\r\n\n)\r\n",
         untagged("FETCH",
                  {list({atom("BODY[]<0>"), string(""), atom("FLAGS"), list({atom("\\Seen")}),
                         atom("X"), string("\r\n)"), string("\n")})},
                  1)},
        {"* ESEARCH (TAG \"A1\") UID ALL 1:3,5\r\n",
         untagged("ESEARCH",
                  {list({atom("TAG"), string("A1")}), atom("UID"), atom("ALL"), atom("1:3,5")})},
    };
    for (const Case& c : cases) {
        for (bool trickle : {false, true}) {
            const Read got = read(c.bytes, trickle);
            ASSERT_EQ(got.status, ResponseReader::Status::Complete) << c.bytes.constData();
            EXPECT_TRUE(got.response == c.response) << c.bytes.constData();
            EXPECT_EQ(got.used, c.bytes.size()) << c.bytes.constData();
        }
    }
}

TEST(ImapResponseReaderTest, UnfinishedResponsesNeedMore)
{
    for (const char* bytes :
         {"* OK no line end yet", "* 1 FETCH (BODY[] {5}\r\nabc", "* 1 FETCH (BODY[] {5}\r\nabcde",
          "* 1 FETCH (BODY[] {5}\r\nabcde)"}) {
        EXPECT_EQ(read(bytes).status, ResponseReader::Status::NeedMore) << bytes;
    }
}

TEST(ImapResponseReaderTest, BytesAfterTheEndAreLeft)
{
    const QByteArray two = "* 2 FETCH (BODY[] {3}\r\nA1 )\r\nA1 OK done\r\n";
    ResponseReader reader;
    qsizetype used = 0;
    ASSERT_EQ(reader.feed(two, &used), ResponseReader::Status::Complete);
    EXPECT_EQ(reader.response().items[0].list[1].bytes, "A1 ");
    reader.begin();
    qsizetype more = 0;
    ASSERT_EQ(reader.feed(QByteArrayView(two).sliced(used), &more),
              ResponseReader::Status::Complete);
    EXPECT_EQ(reader.response().tag, "A1");
    EXPECT_EQ(used + more, two.size());
}

TEST(ImapResponseReaderTest, GarbageFails)
{
    for (const char* bytes : {
             "\r\n",
             "hello world\r\n",          // a status that is none
             "A1\r\n",                   // a tag alone
             "A1 EXISTS\r\n",            // data in a tagged response
             "A\"1 OK x\r\n",            // a quote in the tag
             "* \r\n",                   // no keyword
             "* 3\r\n",                  // a number without a keyword
             "* 99999999999 EXISTS\r\n", // past 32 bits
             "* OK [ALERT unclosed\r\n",
             "* OK [] empty code\r\n",
             "* FLAGS (\\Seen\r\n", // an unclosed list
             "* FLAGS \\Seen)\r\n", // a list closed that was never opened
             "* LIST () \"/ INBOX\r\n",
             "* LIST () \"\\a\" INBOX\r\n", // an escape IMAP has not
             "* 1 FETCH (BODY[] {5} x)\r\n",
             "* 1 FETCH (BODY[] {}\r\n",
             "* 1 FETCH (BODY[] ~{5}\r\nabcde)\r\n", // literal8
             "* 1 FETCH (BODY[HEADER\r\n",
             "* SEARCH 1\x01 2\r\n",
             "* SEARCH 1\r2\r\n",
         }) {
        const Read got = read(bytes);
        EXPECT_EQ(got.status, ResponseReader::Status::Failed) << bytes;
        EXPECT_EQ(got.error, ResponseReader::Error::Syntax) << bytes;
    }
}

TEST(ImapResponseReaderTest, BoundsFailEarly)
{
    using E = ResponseReader::Error;
    const QByteArray deep = "* X " + QByteArray(ResponseReader::MaxDepth + 1, '(') +
                            QByteArray(ResponseReader::MaxDepth + 1, ')') + "\r\n";
    const QByteArray nested = "* X " + QByteArray(ResponseReader::MaxDepth, '(') +
                              QByteArray(ResponseReader::MaxDepth, ')') + "\r\n";
    QByteArray many = "* SEARCH";
    for (qsizetype i = 0; i < ResponseReader::MaxItems; ++i) {
        many += " 4294967295";
    }
    QByteArray manyLiterals = "* X (";
    while (manyLiterals.size() < ResponseReader::MaxResponseSize) {
        manyLiterals += "{1048576}\r\n" + QByteArray(ResponseReader::MaxLiteralSize, 'x');
    }
    struct Case
    {
        QByteArray bytes;
        ResponseReader::Status status;
        E error;
    };
    const Case cases[] = {
        {"* OK " + QByteArray(ResponseReader::MaxLineLength, 'a'), ResponseReader::Status::Failed,
         E::LineTooLong},
        {"* 1 FETCH (BODY[] {99999999999}\r\n", ResponseReader::Status::Failed, E::LiteralTooLarge},
        {"* 1 FETCH (BODY[] {1048577}\r\n", ResponseReader::Status::Failed, E::LiteralTooLarge},
        {"* 1 FETCH (BODY[] {1048576}\r\n", ResponseReader::Status::NeedMore, E::None},
        {manyLiterals, ResponseReader::Status::Failed, E::ResponseTooLarge},
        {deep, ResponseReader::Status::Failed, E::TooDeep},
        {nested, ResponseReader::Status::Complete, E::None},
        {many + "\r\n", ResponseReader::Status::Complete, E::None},
        {many + " 1\r\n", ResponseReader::Status::Failed, E::TooManyItems},
    };
    for (const Case& c : cases) {
        const Read got = read(c.bytes);
        EXPECT_EQ(got.status, c.status) << c.bytes.left(40).constData();
        EXPECT_EQ(got.error, c.error) << c.bytes.left(40).constData();
    }
    // An endless line fails before it is whole, also when it comes in pieces.
    ResponseReader reader;
    const QByteArray piece(4096, 'a');
    qsizetype fed = 0;
    while (reader.feed(piece, nullptr) == ResponseReader::Status::NeedMore) {
        fed += piece.size();
        ASSERT_LE(fed, ResponseReader::MaxLineLength);
    }
    EXPECT_EQ(reader.error(), E::LineTooLong);
}

// What a real Dovecot sent to a mail check (tests/fuzz/nmail/imap_transcripts.py) reads as
// whole responses to the last byte, also byte by byte, and ends in the command's tagged reply.
TEST(ImapResponseReaderTest, DovecotTranscripts)
{
    const QDir folder(QStringLiteral(MOFURIN_TEST_DATA "/imap"));
    const QStringList files = folder.entryList({QStringLiteral("*.bin")});
    ASSERT_GE(files.size(), 9);
    int literals = 0;
    for (const QString& name : files) {
        QFile file(folder.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        for (bool trickle : {false, true}) {
            std::vector<Response> responses;
            ResponseReader reader;
            qsizetype pos = 0;
            while (pos < bytes.size()) {
                const qsizetype piece = trickle ? 1 : bytes.size() - pos;
                qsizetype used = 0;
                reader.feed(QByteArrayView(bytes).sliced(pos, piece), &used);
                pos += used;
                ASSERT_NE(reader.status(), ResponseReader::Status::Failed) << name.toStdString();
                if (reader.status() == ResponseReader::Status::Complete) {
                    responses.push_back(reader.takeResponse());
                    reader.begin();
                }
            }
            ASSERT_EQ(reader.status(), ResponseReader::Status::NeedMore) << name.toStdString();
            ASSERT_FALSE(responses.empty());
            const bool greeting = name.contains(QStringLiteral("greeting"));
            EXPECT_EQ(responses.back().kind,
                      greeting ? Response::Kind::Untagged : Response::Kind::Tagged);
            EXPECT_EQ(responses.back().status, "OK") << name.toStdString();
            for (const Response& r : responses) {
                if (r.status == "FETCH" && !trickle) {
                    EXPECT_TRUE(r.items.at(0).list.at(5).bytes.startsWith("From: "));
                    ++literals;
                }
            }
        }
    }
    EXPECT_EQ(literals, 3);
}
