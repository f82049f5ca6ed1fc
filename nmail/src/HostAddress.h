#pragma once

#include <QString>
#include <optional>

namespace nmail {

// Where to connect, parsed from the host text the caller hands in.
struct HostAddress
{
    QString host; // a name or an address literal, without brackets
    quint16 port = 0;
    bool tls = false;         // TLS from the first byte (pop3s://)
    bool requireStls = false; // STLS must be offered and taken (pop3+stls://)
};

// Parses "host", "host:port", "[v6]:port", "pop3://host[:port]", "pop3+stls://host[:port]" and
// "pop3s://host[:port]".
// Blanks around the text are ignored, as a server name typed into a dialog often has them.
// Returns nothing for an empty host, a bad port (not 1-65535), an unknown scheme or a host
// holding blanks or control characters.
std::optional<HostAddress> parseHostAddress(const QString& text);

// The host and port of an address without its scheme ("host", "host:port", "[v6]:port") into
// address; false when they are not acceptable, as above.
bool parseAuthority(QStringView text, HostAddress& address);

// An IMAP mailbox: the server, and the mailbox's name (INBOX when the address names none).
struct ImapAddress
{
    HostAddress server; // requireStls for imap+starttls://, tls for imaps://
    QString mailbox;
};

// Parses "imap://host[:port][/mailbox]" (port 143), "imap+starttls://..." (the same, STARTTLS
// required) and "imaps://..." (port 993, TLS from the first byte). The mailbox is the rest of
// the text after the host, as written. Nothing for another scheme, a bad host or port, or a
// mailbox holding control characters.
std::optional<ImapAddress> parseImapAddress(const QString& text);

} // namespace nmail
