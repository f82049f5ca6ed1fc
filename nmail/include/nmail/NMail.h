#pragma once

// The mail library: a POP3 client (RFC 1939) and an IMAP one (RFC 3501, below) behind a
// handful of C functions.
//
// Text crosses this boundary in code page 932 (Windows-31J), or in UTF-8 once the caller
// chooses it with option 4, NUL-terminated. Every text
// buffer the caller hands in is writable memory of the size set with option 1; the library
// never writes past it and always NUL-terminates what it writes. A message buffer handed to
// NMailPop3GetMail holds the size last reported by NMailPop3GetMailSize for that message,
// plus one byte for the NUL.
//
// The calls block the calling thread, each bounded by a time-out (options 2 and 3), so an
// unresponsive server cannot hold the caller forever. The functions may be called from one
// thread at a time per connection handle.
//
// Host syntax of NMailPop3Connect:
//   host               POP3 on port 110, upgraded to TLS when the server offers STLS
//   host:port          the same on the given port
//   [v6address]:port   an IPv6 literal (the port is optional: [::1] means port 110)
//   pop3://host[:port] the same as host[:port]
//   pop3+stls://host[:port] POP3 on port 110 that must upgrade to TLS: a server that does not
//                      offer STLS is refused (NMAIL_ERR_TLS_MISSING) before any login
//   pop3s://host[:port] TLS from the first byte, port 995 by default
//
// STLS (RFC 2595): right after the greeting the library asks CAPA; when the server lists
// STLS, the connection is upgraded before any login command, whatever the server sent before
// the handshake is discarded, and CAPA is asked again. When STLS is offered but the upgrade
// fails, the connection fails: nothing is ever sent in the clear instead. Certificates are
// verified against the system's CA store and the host name as given; a certificate pinned for
// the server with NMailSetPinnedCertificate is accepted instead, and required. A pinned server
// is a TLS server: one that offers no STLS is refused (NMAIL_ERR_TLS_MISSING) before any login,
// as with pop3+stls://.
//
// A host name with several addresses (an IPv6 and an IPv4 one, say) is connected to as RFC
// 8305 describes: the next address is tried 250 ms after the one before it, without waiting
// for it to fail, and the first that answers is kept; all within the connect time-out.
//
// Negative results are stable: the program shows a failed login's value to the user.

#include <cstdint>

// Results. Zero or positive values are successes (a handle, a count, a size).
enum : int32_t
{
    NMAIL_OK = 0,
    NMAIL_ERR_CONNECT = -1,     // no connection: bad host, unknown host, refused, TLS, no greeting
    NMAIL_ERR_LOGIN = -2,       // the server refused the login, or APOP is impossible
    NMAIL_ERR_PROTOCOL = -3,    // a reply the library cannot accept (malformed, too long, absurd)
    NMAIL_ERR_TIMEOUT = -4,     // the server did not answer within the reply time-out
    NMAIL_ERR_CLOSED = -5,      // the connection was lost (or is unusable after an earlier fault)
    NMAIL_ERR_ARGUMENT = -6,    // a bad argument: unknown handle, message number, option, or a
                                // user ID / password holding CR or LF
    NMAIL_ERR_SERVER = -7,      // the server answered -ERR to a command other than the login
    NMAIL_ERR_TOO_LARGE = -8,   // the message was bigger than its buffer; what fits was stored
    NMAIL_ERR_CERTIFICATE = -9, // the server's certificate could not be verified
    NMAIL_ERR_CERTIFICATE_CHANGED = -10, // the server presented another certificate than the
                                         // one pinned for it (it may be an attack)
    NMAIL_ERR_TLS_MISSING = -11,         // pop3+stls://, or a certificate is pinned for the
                                         // server, and the server offered no STLS
    NMAIL_ERR_TOKEN_REFUSED = -13,       // IMAP: the server refused the bearer token (renew it
                                         // and try once more)
    NMAIL_ERR_UIDL_REFUSED = -12,        // the server answered -ERR to UIDL: it keeps no
                                         // unique-ids, and the connection is still usable
};

// Options of NMailSetOption.
enum : int32_t
{
    NMAIL_OPTION_BUFFER_SIZE = 1,     // size in bytes of each text buffer (default 8192, >= 1)
    NMAIL_OPTION_CONNECT_TIMEOUT = 2, // connect time-out in ms, TLS handshake included
                                      // (default 15000, >= 1)
    NMAIL_OPTION_REPLY_TIMEOUT = 3,   // the longest silence in ms within a reply (default
                                      // 30000, >= 1); a whole reply may take this long plus
                                      // one second per 2 KB of the size LIST announced
    NMAIL_OPTION_TEXT_ENCODING = 4,   // the encoding of every text crossing the boundary:
                                      // NMAIL_TEXT_CP932 (the default) or NMAIL_TEXT_UTF8;
                                      // raw header and message bytes are never converted
};

// Values of NMAIL_OPTION_TEXT_ENCODING, Windows' code page numbers.
enum : int32_t
{
    NMAIL_TEXT_CP932 = 932,
    NMAIL_TEXT_UTF8 = 65001,
};

// Kinds of NMailGetMessage.
enum : int32_t
{
    // The reason of the calling thread's last failure (empty when none yet):
    NMAIL_MESSAGE_LAST_ERROR = 0,
    // The server's certificate when the last failure was NMAIL_ERR_CERTIFICATE or
    // NMAIL_ERR_CERTIFICATE_CHANGED (empty otherwise):
    NMAIL_MESSAGE_CERTIFICATE_SUBJECT = 1,
    NMAIL_MESSAGE_CERTIFICATE_VALIDITY = 2,    // from and until, local time
    NMAIL_MESSAGE_CERTIFICATE_FINGERPRINT = 3, // SHA-256, "AB:CD:..." as openssl prints it
    NMAIL_MESSAGE_CERTIFICATE_PROBLEM = 4,     // which checks it failed, in the user's language
};

#ifdef __cplusplus
extern "C" {
#endif

// Prepares the network layer. Always NMAIL_OK; calling it more than once is harmless.
int32_t NMailInitializeWinSock();

// Sets an option (see above). NMAIL_OK, or NMAIL_ERR_ARGUMENT for an unknown option or a
// value out of range (the option then keeps its value).
int32_t NMailSetOption(int32_t option, int32_t value);

// Releases the network layer: closes every connection still open (without QUIT). NMAIL_OK.
int32_t NMailEndWinSock();

// Connects and reads the server's greeting. Returns a handle >= 0, or -1 on any failure
// (NMailGetMessage then tells why).
int32_t NMailPop3Connect(const char* host);

// NMailPop3Connect in two steps, for a caller that may cancel the connect from another thread:
// NMailPop3NewHandle gives a handle without a connection (always >= 0), which NMailPop3Cancel
// takes at once; NMailPop3ConnectHandle then connects it as NMailPop3Connect would and returns
// NMAIL_OK, or a negative result (NMailGetMessage tells why) and releases the handle, as
// NMailPop3Connect leaves none. A handle cancelled before or during the connect fails it
// within moments, whatever step it is at (NMAIL_ERR_CLOSED). NMAIL_ERR_ARGUMENT for an
// unknown handle or one that is connected already (which stays as it is).
int32_t NMailPop3NewHandle();
int32_t NMailPop3ConnectHandle(int32_t handle, const char* host);

// Logs in with USER/PASS, or with APOP when apop is non-zero (never falling back to USER/PASS),
// then asks STAT. Returns the number of waiting messages (0 for an empty mailbox) or a
// negative result. A user ID or password holding CR or LF is refused before anything is sent.
int32_t NMailPop3Authenticate(int32_t handle, const char* userId, const char* password,
                              int32_t apop);

// TOP mailNo 0: fills subject, date, from (RFC 2047 words decoded, cut to fit without
// splitting a double-byte character) and header (the raw header lines). Any buffer may be
// null. flag is reserved; pass 0. NMAIL_OK or a negative result.
int32_t NMailPop3GetMailStatus(int32_t handle, int32_t mailNo, char* subject, char* date,
                               char* from, char* header, int32_t flag);

// LIST mailNo: the size of the message in bytes, or a negative result.
int32_t NMailPop3GetMailSize(int32_t handle, int32_t mailNo);

// The unique-id of message mailNo (RFC 1939 UIDL): 1 to 70 characters from 0x21 to 0x7E,
// NUL-terminated, into buffer (the size set with option 1; at least 71 bytes holds every
// unique-id, and a shorter buffer gets what fits and NMAIL_ERR_TOO_LARGE). The first call of a
// session asks UIDL once for the whole mailbox and keeps the listing; later calls answer from
// it without a word to the server, so a check that compares thousands of messages with what
// it saw before waits on the server once, not once per message. NMAIL_OK, or
// NMAIL_ERR_UIDL_REFUSED when the server keeps no unique-ids (every later call of the session
// says the same at once; the caller can identify messages by their headers instead),
// NMAIL_ERR_PROTOCOL for a listing that is malformed, misses a message or holds an id outside
// those rules (the connection stays usable), or another negative result.
int32_t NMailPop3GetUidl(int32_t handle, int32_t mailNo, char* buffer);

// The whole message, dot-unstuffed, into body (size last reported by NMailPop3GetMailSize for
// this message + 1 bytes; when that call was not made, the library asks LIST itself and
// assumes that size), and the four header texts as NMailPop3GetMailStatus gives them. The
// message is read with TOP and as many lines as it has octets, which leaves the mailbox as it
// was (RETR would make the server count it as downloaded and mark it read); only a server
// that refuses TOP is asked with RETR. A message bigger than the buffer is cut
// (NMAIL_ERR_TOO_LARGE); when the last size reported for the message was a failure, nothing is
// retrieved and body is left as it is. flag and reserved are reserved; pass 0. NMAIL_OK or a
// negative result.
int32_t NMailPop3GetMail(int32_t handle, int32_t mailNo, char* subject, char* date, char* from,
                         char* header, char* body, int32_t flag, int32_t reserved);

// Copies the text of the given kind into buffer: at most *length bytes including the NUL,
// never splitting a double-byte character. On return *length holds the number of bytes
// written before the NUL. NMAIL_OK, or NMAIL_ERR_ARGUMENT for an unknown kind, a null
// pointer or a length below 1.
int32_t NMailGetMessage(int32_t kind, char* buffer, int32_t* length);

// The result code of the calling thread's last failure (NMAIL_OK when none yet): NMailPop3Connect
// returns -1 for every failure, and this tells them apart.
int32_t NMailGetLastResult();

// 1 when the connection is encrypted (pop3s:// or upgraded with STLS), 0 when it is not, or
// NMAIL_ERR_ARGUMENT for an unknown handle.
int32_t NMailPop3IsEncrypted(int32_t handle);

// Pins a certificate for a server (host text as NMailPop3Connect takes it, or an IMAP address
// as NMailImapConnectHandle takes it; its host and port count) by its SHA-256 fingerprint
// (hex, colons optional), or removes the pin when fingerprint is null or empty. NMAIL_OK, or
// NMAIL_ERR_ARGUMENT for a bad host or fingerprint.
int32_t NMailSetPinnedCertificate(const char* host, const char* fingerprint);

// Ends the call another thread is waiting in on this connection at once (it fails as a lost
// connection), and every later call on it; with a handle from NMailPop3NewHandle, the connect
// too, at any step (lookup, connection, greeting, CAPA, STLS, TLS handshake). The only function
// that may be called from another thread than the one using the handle, and it never touches
// anything but that connection. NMAIL_OK, or NMAIL_ERR_ARGUMENT for an unknown handle.
int32_t NMailPop3Cancel(int32_t handle);

// Sends QUIT (waiting for its reply within the reply time-out) and closes the connection.
// NMAIL_OK, or NMAIL_ERR_ARGUMENT for an unknown handle; the handle is released either way.
int32_t NMailPop3Close(int32_t handle);

// IMAP (RFC 3501) on the same connection layer as POP3: lookup, connection race, TLS and its
// checks, pins and time-outs work as described above. Handles come from NMailPop3NewHandle and
// are shared by both protocols: NMailPop3Cancel, NMailPop3IsEncrypted and NMailPop3Close work on
// an IMAP connection too (Close sends LOGOUT), and NMailGetMessage / NMailGetLastResult tell
// its failures. A check never changes the mailbox: it is opened with EXAMINE, headers are read
// with BODY.PEEK, and no STORE, EXPUNGE or SELECT is ever sent.
//
// Address syntax of NMailImapConnectHandle (anything else is NMAIL_ERR_ARGUMENT):
//   imap://host[:port][/mailbox]          port 143, upgraded with STARTTLS whenever the server
//                                         offers it (as POP3 with STLS)
//   imap+starttls://host[:port][/mailbox] STARTTLS required: NMAIL_ERR_TLS_MISSING when the
//                                         server does not offer it, before any login
//   imaps://host[:port][/mailbox]         port 993, TLS from the first byte
// host as NMailPop3Connect takes it ([v6address] too). mailbox: the path after the host, in
// the text's encoding at this boundary (code page 932), sent in modified UTF-7; INBOX when
// there is none.

// How NMailImapAuthenticate logs in.
enum : int32_t
{
    // secret is a password: AUTHENTICATE PLAIN where the server lists it (with SASL-IR where
    // offered), else LOGIN; never while the server lists LOGINDISABLED (NMAIL_ERR_LOGIN).
    NMAIL_IMAP_PASSWORD = 0,
    // secret is an OAuth2 access token: OAUTHBEARER or XOAUTH2, whichever the server lists. On
    // a connection that is not encrypted nothing is sent and the result is
    // NMAIL_ERR_TLS_MISSING.
    NMAIL_IMAP_BEARER = 1,
};

// Connects, reads the greeting, asks CAPABILITY and upgrades with STARTTLS as the address
// says. NMAIL_OK or a negative result; on failure the handle is released, as
// NMailPop3ConnectHandle does.
int32_t NMailImapConnectHandle(int32_t handle, const char* address);

// Logs in, opens the address's mailbox read-only (EXAMINE) and searches its unseen messages
// (UID SEARCH UNSEEN). Returns the number of unseen messages, or a negative result:
// NMAIL_ERR_LOGIN (the server's NO text as the last error), NMAIL_ERR_TOKEN_REFUSED,
// NMAIL_ERR_SERVER (EXAMINE or SEARCH refused, with the server's text), ... A user or secret
// holding CR, LF or NUL is refused before anything is sent.
int32_t NMailImapAuthenticate(int32_t handle, const char* user, const char* secret, int32_t how);

// The identity of the index-th unseen message (1 to the count, in UID order) as
// "UIDVALIDITY/UID" in decimal, NUL-terminated, into buffer (the size set with option 1).
// NMAIL_OK or a negative result.
int32_t NMailImapGetUnseenId(int32_t handle, int32_t index, char* buffer);

// The headers of the index-th unseen message (UID FETCH BODY.PEEK[HEADER.FIELDS (FROM SUBJECT
// DATE MESSAGE-ID)]), into the same four texts as NMailPop3GetMailStatus fills. Any buffer may
// be null. NMAIL_OK or a negative result.
int32_t NMailImapGetMailStatus(int32_t handle, int32_t index, char* subject, char* date, char* from,
                               char* header);

// 1 when the server lists IDLE (RFC 2177) after the login, 0 when it does not, or
// NMAIL_ERR_ARGUMENT for an unknown handle.
int32_t NMailImapHasIdle(int32_t handle);

// Enters IDLE on the open mailbox and waits at most timeoutMs: 1 as soon as the server
// announces a change (EXISTS, RECENT, EXPUNGE, FETCH), 0 when the time ran out. Either way IDLE
// is ended with DONE and the session is ready for NMailImapRefresh. Negative on failure: BYE
// or a dropped connection (NMAIL_ERR_CLOSED), no answer to DONE (NMAIL_ERR_TIMEOUT), IDLE
// refused. NMailPop3Cancel ends the wait at once.
int32_t NMailImapIdle(int32_t handle, int32_t timeoutMs);

// Searches the open mailbox's unseen messages again: the new count, or a negative result. The
// ids and headers by index then follow the new result.
int32_t NMailImapRefresh(int32_t handle);

#ifdef __cplusplus
}
#endif
