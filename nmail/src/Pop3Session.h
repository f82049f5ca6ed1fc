#pragma once

#include "Failures.h"
#include "HostAddress.h"
#include "ReplyParser.h"
#include "Result.h"
#include "transport/Connection.h"

#include <QByteArray>
#include <QList>
#include <deque>
#include <vector>

namespace nmail {

// One POP3 session (RFC 1939) over a Connection. The session has one state, changed only
// by setState(); a command may run only in the states the command table allows.
// When the server offers PIPELINING (RFC 2449), the session sends the commands a mail check
// makes next along with the one asked for (LIST n with TOP n 0; TOP n+1 0 and LIST n+1 with
// the whole message n) and reads their replies when they are asked for, so that a check waits
// on the server about once per message instead of three times. A reply nobody asks for is
// read and dropped before the next command. Any fault of the stream (time-out, lost
// connection, a reply that cannot be parsed) leaves the session Broken: the socket is dropped
// and later commands fail at once, since the next bytes could belong to the reply we gave up
// on.
class Pop3Session
{
public:
    enum class State
    {
        Disconnected,
        Authorization,
        Transaction,
        Broken
    };

    // The largest message count accepted from STAT. A larger one is a hostile or broken
    // server: the caller walks every message, so an absurd count would keep it busy for ages.
    static constexpr qint64 MaxMessageCount = 1000000;

    explicit Pop3Session(Timeouts timeouts);
    ~Pop3Session();
    Pop3Session(const Pop3Session&) = delete;
    Pop3Session& operator=(const Pop3Session&) = delete;

    State state() const { return m_state; }

    // Connects, reads the greeting and, unless TLS came first, takes STLS when it is offered.
    Result<Done> open(const HostAddress& address);
    // Whether the connection is encrypted now.
    bool encrypted() const;
    // Ends whatever the session is waiting for, from any thread and at any step (the lookup,
    // the connection race, the greeting, CAPA, STLS, the TLS handshake, any reply): the blocked
    // call fails at once (Why::Cancelled), and so does every later one, open() included.
    void cancel();
    // USER/PASS or APOP, then STAT; the number of waiting messages.
    Result<qint64> login(QByteArrayView userId, QByteArrayView password, bool apop);
    // TOP n 0: the header lines of message n (bounded; cut silently when huge).
    Result<QByteArray> top(qint64 number);
    // LIST n: the size of message n in octets.
    Result<qint64> list(qint64 number);
    // UIDL: the unique-id of every message (RFC 1939 §7), the one of message n at n - 1. One
    // command for the whole mailbox, so comparing thousands of messages with what an earlier
    // check saw costs one round trip. A server that answers -ERR gives Why::UidlRefused and
    // stays usable; a listing that is malformed, misses a message or holds an id that is not
    // 1 to 70 printable ASCII characters is Why::BadUidl.
    Result<QList<QByteArray>> uidl();
    // Message n, dot-unstuffed, read so that the server does not count it as downloaded (TOP
    // with enough lines; RETR only where TOP is refused). At most storeLimit bytes are kept;
    // cut tells whether the message went on beyond them. announcedSize (what LIST said) lets
    // a large message take the time a slow line needs.
    struct Message
    {
        QByteArray bytes;
        bool cut = false;
    };
    Result<Message> retrieve(qint64 number, qint64 announcedSize, qsizetype storeLimit);
    // QUIT when the server is still there, then drop the connection. Never fails.
    void quit();

    qint64 messageCount() const { return m_messageCount; }

private:
    enum class Command
    {
        Greeting,
        User,
        Pass,
        Apop,
        Stls,
        Stat,
        List,
        Top,
        Retr,
        Uidl,
        Capa,
        Quit
    };
    struct CommandInfo
    {
        Command command;
        const char* verb;
        bool multiLine;        // a +OK reply goes on until a line that is exactly "."
        unsigned states;       // bit (1 << State) set for each state the command may be sent in
        bool oddStatusMeansNo; // a status line that is neither +OK nor -ERR counts as -ERR
    };
    static const CommandInfo& info(Command command);

    // A command sent ahead whose reply has not been read yet.
    struct Request
    {
        Command command;
        QByteArray argument;
        bool operator==(const Request&) const = default;
    };

    // Sends the command (unless it went ahead earlier) together with the ahead requests not
    // already on their way, and reads the command's reply, which may take longer the more
    // bytes it is expected to hold.
    Result<Reply> run(Command command, QByteArrayView argument, qsizetype bodyLimit = 0,
                      const std::vector<Request>& ahead = {}, qint64 expectedBytes = 0);
    // Reads and drops the replies of every request still on its way.
    Result<Done> drainPending();
    static QByteArray commandLine(Command command, QByteArrayView argument);
    // CAPA, and STLS when it is listed; a server that must offer it and does not is refused.
    Result<Done> upgrade(const HostAddress& address);
    Result<Reply> receive(const CommandInfo& entry, qsizetype bodyLimit, const Deadline& deadline);
    Result<Done> checkNumber(qint64 number) const;
    // A reply passed through, except that -ERR becomes the failure given, with the server's
    // words; a broken connection passes up as it is.
    static Result<Reply> okOr(Why refused, Result<Reply> reply);
    Failure breakWith(Failure why);
    void setState(State state);

    Connection m_connection;
    ReplyParser m_parser;
    QByteArray m_greeting;
    qint64 m_messageCount = 0;
    bool m_pipelining = false;     // the server said PIPELINING to CAPA
    bool m_topRefused = false;     // the server answered -ERR to TOP for a whole message
    std::deque<Request> m_pending; // sent, in order; replies not read yet
    State m_state = State::Disconnected;
};

} // namespace nmail
