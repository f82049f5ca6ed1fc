#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace nmail {

// Code page 932 (Windows-31J) at the library's boundary.
QByteArray toCp932(const QString& text); // characters it lacks become '?'
QString fromCp932(QByteArrayView bytes);

// The longest prefix of bytes (code page 932) that has at most maxBytes bytes and does not end
// in the middle of a double-byte character.
qsizetype cp932PrefixLength(QByteArrayView bytes, qsizetype maxBytes);

// Copies text into a buffer of bufferSize bytes, cut by cp932PrefixLength, NUL-terminated.
// Returns the number of bytes written before the NUL; nothing is written to a null buffer or
// one of size 0. The returned flag tells whether the text was cut.
struct CopyResult
{
    qsizetype written = 0;
    bool cut = false;
};
CopyResult copyCp932(QByteArrayView text, char* buffer, qsizetype bufferSize);

// Copies raw bytes (a message) into a buffer of bufferSize bytes, NUL-terminated, cut at a
// byte boundary: a message is not code page 932 text as a whole.
CopyResult copyBytes(QByteArrayView bytes, char* buffer, qsizetype bufferSize);

// Text from a server, which may be UTF-8, code page 932 or plain ASCII: UTF-8 when the bytes
// are valid UTF-8, else code page 932.
QString fromServerText(QByteArrayView bytes);

} // namespace nmail
