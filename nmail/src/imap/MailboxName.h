#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>

namespace nmail::imap {

// A mailbox name in its wire form, modified UTF-7 (RFC 3501 §5.1.3): printable US-ASCII stands
// for itself, '&' is "&-", and everything else is UTF-16 in a base64 with ',' for '/' and no
// padding, between '&' and '-'. "Lists/猫" is "Lists/&cys-".
QByteArray encodeMailboxName(const QString& name);

// The name a wire form stands for; nothing when it is not modified UTF-7 as an encoder writes
// it: a byte outside printable US-ASCII, an unclosed shift, a digit outside the alphabet, bits
// left over, a broken surrogate pair, or a printable US-ASCII character written in base64.
std::optional<QString> decodeMailboxName(QByteArrayView wire);

// bytes as an IMAP astring for a command (RFC 3501 §9): as they are when they are an atom,
// otherwise a quoted string with '\' and '"' escaped. Nothing for bytes a quoted string cannot
// carry (NUL, CR, LF, or 8-bit bytes, which need a literal).
std::optional<QByteArray> quoteAstring(QByteArrayView bytes);

// A mailbox name ready for a command: encoded, then quoted when needed. Nothing for a name
// with NUL, CR or LF, which no real mailbox has.
std::optional<QByteArray> quoteMailboxName(const QString& name);

} // namespace nmail::imap
