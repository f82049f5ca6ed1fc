#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace nmail {

// The header of a message: everything before the first empty line, each line ending in CRLF
// (the whole message when it has no empty line).
QByteArray headerOf(QByteArrayView message);

// The value of the first field called name (case-insensitive), unfolded (RFC 5322 §2.2.3) and
// with the blanks around it removed; empty when the field is missing.
QByteArray headerField(QByteArrayView header, QByteArrayView name);

// Decodes RFC 2047 encoded-words (B and Q, any charset Qt knows: ISO-2022-JP, UTF-8,
// Shift_JIS, EUC-JP, ISO-8859-x ...). Blanks between adjacent encoded-words are dropped, and
// adjacent words of one charset are decoded together, so a character split across two words
// survives. A word whose charset or encoding is unknown stays as it is. Bytes outside encoded
// words are read as UTF-8 when valid, else as code page 932.
QString decodeHeaderText(QByteArrayView raw);

} // namespace nmail
