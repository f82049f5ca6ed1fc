#include "ReplyParser.h"

#include <gtest/gtest.h>

using nmail::ReplyParser;

namespace {

struct Parsed
{
    ReplyParser::Status status;
    nmail::Reply reply;
    qsizetype used;
    ReplyParser::Error error;
};

// Feeds the bytes whole, or one at a time when trickle is set, as a slow server sends them.
Parsed parse(const QByteArray& bytes, bool multiLine, bool trickle = false,
             qsizetype bodyLimit = ReplyParser::MaxBodyDefault)
{
    ReplyParser parser;
    parser.begin(multiLine, bodyLimit);
    qsizetype total = 0;
    if (trickle) {
        for (qsizetype i = 0; i < bytes.size() && parser.status() == ReplyParser::Status::NeedMore;
             ++i) {
            qsizetype used = 0;
            parser.feed(QByteArrayView(bytes.constData() + i, 1), &used);
            total += used;
        }
    } else {
        parser.feed(bytes, &total);
    }
    return {parser.status(), parser.reply(), total, parser.error()};
}

} // namespace

TEST(ReplyParserTest, StatusLines)
{
    struct Case
    {
        QByteArray bytes;
        ReplyParser::Status status;
        bool ok;
        QByteArray text;
    };
    const Case cases[] = {
        {"+OK 2 320\r\n", ReplyParser::Status::Complete, true, "2 320"},
        {"+OK\r\n", ReplyParser::Status::Complete, true, ""},
        {"-ERR [AUTH] Authentication failed.\r\n", ReplyParser::Status::Complete, false,
         "[AUTH] Authentication failed."},
        {"-ERR\n", ReplyParser::Status::Complete, false, ""},
        {"+OK bare line feed\n", ReplyParser::Status::Complete, true, "bare line feed"},
        {"+OK no line end yet", ReplyParser::Status::NeedMore, false, ""},
        {"+OKAY\r\n", ReplyParser::Status::Failed, false, ""},
        {"* OK IMAP4 ready\r\n", ReplyParser::Status::Failed, false, ""},
        {"\r\n", ReplyParser::Status::Failed, false, ""},
    };
    for (const Case& c : cases) {
        for (bool trickle : {false, true}) {
            const Parsed parsed = parse(c.bytes, false, trickle);
            EXPECT_EQ(parsed.status, c.status) << c.bytes.constData();
            if (c.status == ReplyParser::Status::Complete) {
                EXPECT_EQ(parsed.reply.ok, c.ok) << c.bytes.constData();
                EXPECT_EQ(parsed.reply.text, c.text) << c.bytes.constData();
            }
        }
    }
}

TEST(ReplyParserTest, MultiLineBodiesAreUnstuffedAndEndAtALoneDot)
{
    struct Case
    {
        QByteArray bytes;
        QByteArray body;
    };
    const Case cases[] = {
        {"+OK\r\n.\r\n", ""},
        {"+OK 2 octets\r\nline one\r\nline two\r\n.\r\n", "line one\r\nline two\r\n"},
        {"+OK\r\n..\r\n...x\r\n. \r\n.\r\n", ".\r\n..x\r\n \r\n"},
        {"+OK\nbare\nfeeds\n.\n", "bare\r\nfeeds\r\n"},
        {"+OK\r\n\r\n\r\n.\r\n", "\r\n\r\n"},
        {"+OK\r\n.x\r\n.\r\n", "x\r\n"},
    };
    for (const Case& c : cases) {
        for (bool trickle : {false, true}) {
            const Parsed parsed = parse(c.bytes, true, trickle);
            ASSERT_EQ(parsed.status, ReplyParser::Status::Complete) << c.bytes.constData();
            EXPECT_TRUE(parsed.reply.ok);
            EXPECT_EQ(parsed.reply.body, c.body) << c.bytes.constData();
            EXPECT_EQ(parsed.used, c.bytes.size());
        }
    }
}

TEST(ReplyParserTest, ErrToAMultiLineCommandIsOneLineAndLeavesTheRest)
{
    const Parsed parsed = parse("-ERR no such message\r\n+OK next\r\n", true);
    ASSERT_EQ(parsed.status, ReplyParser::Status::Complete);
    EXPECT_FALSE(parsed.reply.ok);
    EXPECT_EQ(parsed.used, 22);
}

TEST(ReplyParserTest, UnterminatedBodyNeedsMore)
{
    EXPECT_EQ(parse("+OK\r\nline\r\n..\r\n", true).status, ReplyParser::Status::NeedMore);
    EXPECT_EQ(parse("+OK\r\nline\r\n.", true).status, ReplyParser::Status::NeedMore);
}

TEST(ReplyParserTest, LinesAreBounded)
{
    const qsizetype max = ReplyParser::MaxLineLength;
    // A line of exactly the longest length, its CRLF included, is accepted.
    const QByteArray longest = "+OK " + QByteArray(max - 6, 'a') + "\r\n";
    EXPECT_EQ(parse(longest, false).status, ReplyParser::Status::Complete);
    for (bool trickle : {false, true}) {
        const QByteArray tooLong = "+OK " + QByteArray(max, 'a');
        const Parsed parsed = parse(tooLong, false, trickle);
        EXPECT_EQ(parsed.status, ReplyParser::Status::Failed);
        EXPECT_EQ(parsed.error, ReplyParser::Error::LineTooLong);
    }
    // Inside a body as well.
    const Parsed body = parse("+OK\r\n" + QByteArray(max + 1, 'b') + "\r\n.\r\n", true);
    EXPECT_EQ(body.error, ReplyParser::Error::LineTooLong);
}

TEST(ReplyParserTest, BodyLimitDropsTheRestButFindsTheEnd)
{
    const Parsed parsed =
        parse("+OK\r\n0123456789\r\nabcdefghij\r\nmore\r\n.\r\n+OK\r\n", true, false, 15);
    ASSERT_EQ(parsed.status, ReplyParser::Status::Complete);
    EXPECT_TRUE(parsed.reply.bodyCut);
    EXPECT_EQ(parsed.reply.body, "0123456789\r\n");
    EXPECT_EQ(parsed.used, 38);
}
