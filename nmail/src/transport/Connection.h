#pragma once

#include "Cancellation.h"
#include "HostAddress.h"
#include "Result.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QSslSocket>
#include <memory>

namespace nmail {

// Time limits of a session, in milliseconds. Tests shorten them.
struct Timeouts
{
    int connectMs = 15000; // name lookup, connection and TLS handshake
    // The longest silence within a reply, and the base of each reply's overall limit, which
    // grows with the size the server announced for it.
    int replyMs = 30000;
};

// How long a reply may take: overall, and the longest silence between its bytes.
struct Deadline
{
    QDeadlineTimer overall;
    int idleMs;
};

// One connection to a mail server, whatever the protocol spoken over it: the name lookup and
// connection race, TLS from the first byte or upgraded later, verified against the system's
// authorities and the host name or against the certificate pinned for the server, and a
// blocking socket whose every wait has a deadline and ends at once on cancel(). The sessions
// keep their own parsers and states; this only moves bytes.
//
// A failure of a wait (time-out, lost connection, cancel) is returned, and the connection is
// left as it is: the session decides whether it is broken, and drop()s it.
class Connection
{
public:
    explicit Connection(Timeouts timeouts) : m_timeouts(timeouts) {}
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    const Timeouts& timeouts() const { return m_timeouts; }

    // Looks the host up, races its addresses and, for a TLS address (pop3s://, imaps://),
    // takes the handshake; all within the connect time-out.
    Result<Done> open(const HostAddress& address);
    // The handshake on the connected plain socket after STLS or STARTTLS. Whatever arrived
    // before it was not protected by it, so it is thrown away unread (RFC 2595 §4, RFC 3501
    // §6.2.1; the STARTTLS injection attacks).
    Result<Done> startTls(const HostAddress& address);
    // Whether a server must upgrade to TLS before any login: the address says so, or the user
    // pinned a certificate for it (a server that spoke TLS before and offers no upgrade now had
    // it stripped on the way, and going on would send the password in the clear).
    static bool tlsRequired(const HostAddress& address);

    bool connected() const;
    // The socket's own words on its last fault.
    QString errorText() const { return m_socket ? m_socket->errorString() : QString(); }
    bool encrypted() const;

    // Ends every wait on the connection, from any thread and at any step; see Cancellation.
    void cancel() { m_cancel.cancel(); }
    bool cancelled() const { return m_cancel.cancelled(); }
    // A failure, or Why::Cancelled when a cancel is why the wait ended that way.
    Failure unlessCancelled(Failure why) const;

    // Writes bytes, waiting until they have left within the deadline.
    Result<Done> send(const QByteArray& bytes, const QDeadlineTimer& deadline);
    // Bytes received and not yet taken by the session's parser.
    QByteArray& input() { return m_input; }
    // Waits until more bytes arrive and appends them to input(). idle is the silence allowed
    // from now on; the overall deadline bounds it too.
    Result<Done> receiveMore(const QDeadlineTimer& overall, int idleMs);
    // The deadline of one reply: the reply time-out as the longest silence, and overall the
    // reply time-out plus one second per SlowestBytesPerSecond of the bytes it should carry.
    Deadline replyDeadline(qint64 expectedBytes = 0) const;

    // Closes politely (FIN) when still connected; then drop().
    void close();
    // Closes at once and forgets what was received.
    void drop();

    // A reply may take one more second for every this many bytes the server announced for it,
    // so a large message over a slow line (a 56 kbit/s modem gives about 7 KB/s) still
    // arrives, while a server that trickles a byte at a time is stopped within a bounded time.
    static constexpr qint64 SlowestBytesPerSecond = 2048;
    // The most one wait for bytes takes in.
    static constexpr qint64 ReadChunkSize = 64 * 1024;

private:
    Result<Done> encrypt(const HostAddress& address, const QDeadlineTimer& deadline);
    Failure timedOut() const;
    Failure lost() const;

    Timeouts m_timeouts;
    Cancellation m_cancel;                // watches m_socket while it is connected
    std::unique_ptr<QSslSocket> m_socket; // used plain until TLS starts
    QByteArray m_input;
};

} // namespace nmail
