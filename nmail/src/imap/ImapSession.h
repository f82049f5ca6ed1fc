#pragma once

#include "Failures.h"
#include "HostAddress.h"
#include "Result.h"
#include "imap/ResponseReader.h"
#include "transport/Connection.h"

#include <QByteArray>
#include <QList>
#include <functional>
#include <optional>

namespace nmail::imap {

// One IMAP session (RFC 3501) over a Connection, read-only: the mailbox is opened with EXAMINE
// and headers are read with BODY.PEEK, so a check never changes a flag; no STORE, EXPUNGE or
// SELECT exists here. The session has one state, changed only by setState(); each command
// may be sent only in the states the command table allows. Any fault of the stream (time-out,
// lost connection, a response that cannot be parsed, BYE) leaves the session Broken: the
// socket is dropped and later commands fail at once.
class ImapSession
{
public:
    enum class State
    {
        Disconnected,
        NotAuthenticated,
        Authenticated,
        Selected, // EXAMINEd: read-only
        Broken
    };
    enum class Secret
    {
        Password,
        Bearer // an OAuth2 access token
    };

    explicit ImapSession(Timeouts timeouts);
    ImapSession(const ImapSession&) = delete;
    ImapSession& operator=(const ImapSession&) = delete;

    State state() const { return m_state; }

    // Connects, reads the greeting, learns the capabilities and takes STARTTLS as the address
    // says: when offered (imap://), always (imap+starttls://, or a certificate is pinned for
    // the server), or not at all (imaps://, TLS from the first byte).
    Result<Done> open(const ImapAddress& address);
    bool encrypted() const { return m_connection.encrypted(); }
    // Ends whatever the session waits for, from any thread; see Connection::cancel.
    void cancel() { m_connection.cancel(); }

    // Logs in (unless the greeting was PREAUTH), EXAMINEs the address's mailbox and searches
    // its unseen messages; their number. user and secret are UTF-8.
    Result<qint64> login(const QByteArray& user, const QByteArray& secret, Secret how);
    // UID SEARCH UNSEEN again; the new number.
    Result<qint64> refresh();
    // The unseen messages' UIDs, ascending, and the mailbox's UIDVALIDITY (0 when the server
    // gave none).
    const QList<quint32>& unseen() const { return m_unseen; }
    quint32 uidValidity() const { return m_uidValidity; }
    // The FROM, SUBJECT, DATE and MESSAGE-ID header lines of a message (empty when it is gone).
    Result<QByteArray> headers(quint32 uid);
    bool hasCapability(QByteArrayView name) const;
    // IDLE (RFC 2177) for at most timeoutMs: true when the server announced a change, false
    // when the time ran out; IDLE is ended with DONE either way.
    Result<bool> idle(int timeoutMs);
    // LOGOUT when the server is still there, then drop the connection. Never fails.
    void logout();

private:
    enum class Command
    {
        Capability,
        StartTls,
        Authenticate,
        Login,
        List,
        Examine,
        Search,
        Fetch,
        Idle,
        Logout
    };
    struct CommandInfo
    {
        Command command;
        const char* verb;
        unsigned states; // bit (1 << State) set for each state the command may be sent in
    };
    static const CommandInfo& info(Command command);

    // Sends a command, piece by piece: every piece but the last ends a line that announces a
    // literal or waits for the server's go-ahead ('+'), and is followed by the next piece
    // only after it. challengeAnswer, when set, answers a '+' that comes after the last piece
    // (the error challenge of a refused token). Untagged responses go to the session's common
    // handling, then to untagged. The tagged response ends it; NO and BAD are returned too.
    using Untagged = std::function<void(const Response&)>;
    Result<Response> run(Command command, const QList<QByteArray>& pieces,
                         const Untagged& untagged = {},
                         const std::optional<QByteArray>& challengeAnswer = std::nullopt);
    // The next whole response within the deadline. A time-out leaves the session as it is
    // when quietTimeout is set (the end of an IDLE wait), and broken otherwise. Past
    // MaxReplyBytes since the last beginReply() the session breaks.
    Result<Response> read(const QDeadlineTimer& overall, int idleMs, bool quietTimeout = false);
    // Starts counting the bytes of the responses to one command (or one IDLE).
    void beginReply() { m_replyBytes = 0; }
    // What every response may tell, whatever command it came with: capabilities, UIDVALIDITY,
    // BYE.
    void take(const Response& response);
    // A NO or BAD as the failure given, with the server's text.
    static Failure refusal(Why why, const Response& response);
    Result<Done> capabilities();
    Result<Done> startTls(const HostAddress& server);
    Result<Done> authenticate(const QByteArray& user, const QByteArray& secret, Secret how);
    Result<qint64> search();
    Result<Done> serversMailboxName();
    Failure breakWith(Failure why);
    void setState(State state);

    // The most a server may send in answer to one command, or during one IDLE, all its
    // responses together. One response is bounded by the reader; this bounds their number: a
    // server that repeats responses without end would otherwise keep the check reading, and
    // the user waiting, until the command's deadline. Twice the largest response leaves room
    // for the unsolicited updates of a busy mailbox beside the largest answer.
    static constexpr qsizetype MaxReplyBytes = 2 * ResponseReader::MaxResponseSize;

    Connection m_connection;
    ResponseReader m_reader;
    HostAddress m_server;
    QString m_mailboxName; // as the address names it, levels parted by "/"
    QByteArray m_mailbox;  // encoded and quoted for a command
    QList<QByteArray> m_capabilities;
    quint32 m_tag = 0;
    qsizetype m_replyBytes = 0;      // read since beginReply()
    quint32 m_capabilityUpdates = 0; // counts the times the server told its capabilities
    quint32 m_uidValidity = 0;
    QList<quint32> m_unseen;
    std::optional<QByteArray> m_bye; // the text of a BYE the server sent
    State m_state = State::Disconnected;
};

} // namespace nmail::imap
