#pragma once

#include "LineJoiner.h"

#include <QByteArray>
#include <QByteArrayView>
#include <optional>
#include <vector>

namespace nmail::imap {

// One value of a response's data (RFC 3501 §4, RFC 9051 §4). A quoted string and a literal
// are both a String: the grammar lets a server send either wherever a string goes.
struct Value
{
    enum class Kind
    {
        Atom,   // as sent, e.g. UID, \Seen, 1:5, BODY[HEADER.FIELDS (FROM)]
        Number, // digits that fit in 64 bits
        String, // unescaped quoted string or literal bytes
        Nil,
        List // a parenthesised list
    };
    Kind kind = Kind::Nil;
    QByteArray bytes; // an atom, a number's digits, a string's content
    quint64 number = 0;
    std::vector<Value> list;

    bool operator==(const Value&) const = default;
};

// One server response: tagged, untagged or a continuation request.
struct Response
{
    enum class Kind
    {
        Tagged,      // A1 OK ...
        Untagged,    // * ...
        Continuation // + ...
    };
    Kind kind = Kind::Untagged;
    QByteArray tag; // a tagged response's tag
    // OK, NO, BAD, PREAUTH, BYE, or the untagged data's keyword (CAPABILITY, EXISTS, FETCH...),
    // in upper case; empty for a continuation.
    QByteArray status;
    std::optional<quint32> number; // the message number before EXISTS, EXPUNGE, FETCH...
    std::vector<Value> items;      // the data after the keyword (untagged data only)
    // The response code of a status response or continuation ([UIDVALIDITY 42]): its name in
    // upper case, and its arguments as sent (free text in general, RFC 3501 §7.1).
    QByteArray code;
    QByteArray codeText;
    // The human-readable text after the code, or a continuation's base64, as sent.
    QByteArray text;

    bool operator==(const Response&) const = default;
};

// Turns the bytes of one IMAP response into a Response, without touching a socket: the session
// feeds it whatever arrives. A response is one line, or several when it carries literals
// ({n}, then n bytes, then the line goes on). Lines end in CRLF or in a bare LF. Every part of
// a response is bounded, and the bytes of a literal are stored as they arrive, never reserved
// from the size the server announces.
class ResponseReader
{
public:
    // Longest line outside literals, line end included. The longest line a server really sends
    // is a SEARCH result: MaxItems numbers of up to ten digits and a space each is 1.1 MB. 2 MiB
    // fits that and still stops a server that never sends a line end.
    static constexpr qsizetype MaxLineLength = 2 * 1024 * 1024;
    // Largest literal. We fetch header fields and small texts; a larger literal is an error,
    // refused when it is announced.
    static constexpr qsizetype MaxLiteralSize = 1024 * 1024;
    // Largest response, lines and literals together: without it, a FETCH of many literals
    // could grow to MaxItems times MaxLiteralSize.
    static constexpr qsizetype MaxResponseSize = 8 * 1024 * 1024;
    // Deepest nesting of lists. What we read nests three deep at most (NAMESPACE); a body
    // structure of nested multiparts needs a few more.
    static constexpr int MaxDepth = 16;
    // Most values in one response, at any depth: the SEARCH result of a mailbox of 100,000
    // messages fits.
    static constexpr qsizetype MaxItems = 100000;

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
        LiteralTooLarge,
        ResponseTooLarge,
        TooDeep,
        TooManyItems,
        Syntax // not a response: a bad tag or status, an unclosed list or quote, a stray byte
    };

    // Starts a new response.
    void begin();

    // Consumes bytes up to the end of the response. *used tells how many bytes were taken;
    // bytes after the response's end are left for the next response.
    Status feed(QByteArrayView bytes, qsizetype* used);

    Status status() const { return m_status; }
    Error error() const { return m_error; }
    const Response& response() const { return m_response; }
    Response takeResponse() { return std::move(m_response); }

private:
    Status takeLine(QByteArrayView line);
    Status takeFirstLine(QByteArrayView line);
    Status takeText(QByteArrayView rest);
    Status takeData(QByteArrayView line, qsizetype pos);
    Status fail(Error error);
    std::vector<Value>& openList();
    bool add(Value value);

    bool m_started = false;      // the first line (tag and status) has been read
    qsizetype m_literalLeft = 0; // bytes of the current literal still to come
    int m_depth = 0;             // lists open at the end of the data read so far
    qsizetype m_items = 0;
    qsizetype m_size = 0; // bytes of the response read so far
    LineJoiner m_lines{MaxLineLength};
    Response m_response;
    Status m_status = Status::NeedMore;
    Error m_error = Error::None;
};

} // namespace nmail::imap
