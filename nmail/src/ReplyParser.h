#pragma once

#include "LineJoiner.h"

#include <QByteArray>
#include <QByteArrayView>

namespace nmail {

// One POP3 reply: the status line and, for a multi-line reply, its dot-unstuffed body.
struct Reply
{
    bool ok = false;       // +OK (true) or -ERR (false)
    QByteArray statusLine; // the whole first line, without its line end
    QByteArray text;       // what follows "+OK " or "-ERR "
    QByteArray body;       // lines of a multi-line reply, each ending in CRLF
    bool bodyCut = false;  // the body went past its limit; the rest was read and dropped
};

// Turns the bytes of one reply into a Reply, without touching a socket: the session feeds it
// whatever arrives. Lines end in CRLF or in a bare LF (some servers send those). A multi-line
// reply ends at a line that is exactly "." and loses the extra leading dot of stuffed lines
// (RFC 1939 §3). -ERR is always a single line, even to a multi-line command.
class ReplyParser
{
public:
    // Longest line accepted, line end included. Like poplib's _MAXLINE, this keeps a server
    // that never sends a line end from making us buffer without bound; RFC 1939 allows 512
    // octets for a reply line, and real messages rarely exceed 998 octets per RFC 5322, so
    // 64 KiB leaves room for bad mailers while still catching a runaway stream.
    static constexpr qsizetype MaxLineLength = 64 * 1024;

    enum class Status
    {
        NeedMore,
        Complete,
        Failed
    };
    enum class Error
    {
        None,
        LineTooLong,
        BadStatusLine
    };

    // Starts a new reply. bodyLimit bounds the stored body of a multi-line reply; lines beyond
    // it are still parsed (so the reply ends where it should) but dropped, and bodyCut is set.
    void begin(bool multiLine, qsizetype bodyLimit = MaxBodyDefault);

    // Consumes bytes up to the end of the reply. *used tells how many bytes were taken; bytes
    // after the reply's end are left for the next reply.
    Status feed(QByteArrayView bytes, qsizetype* used);

    Status status() const { return m_status; }
    Error error() const { return m_error; }
    const Reply& reply() const { return m_reply; }
    Reply takeReply() { return std::move(m_reply); }

    static constexpr qsizetype MaxBodyDefault = 64 * 1024 * 1024;

private:
    Status takeLine(QByteArrayView line);

    bool m_multiLine = false;
    bool m_inBody = false;
    qsizetype m_bodyLimit = MaxBodyDefault;
    LineJoiner m_lines{MaxLineLength};
    Reply m_reply;
    Status m_status = Status::NeedMore;
    Error m_error = Error::None;
};

} // namespace nmail
