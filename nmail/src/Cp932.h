#pragma once

#include "codepage/CodePage.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace nmail {

// Code page 932 (Windows-31J) at the library's boundary: ToCodePage, FromCodePage and
// CodePagePrefixLength of the program's one code page library, and the copies into the
// caller's buffers below.

// Copies text into a buffer of bufferSize bytes, cut by CodePagePrefixLength, NUL-terminated.
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

// The caller's text at the C boundary: code page 932, or UTF-8 once the caller chose it
// (NMAIL_OPTION_TEXT_ENCODING). The choice holds for the whole process, as every option does.
void setCallerUsesUtf8(bool utf8);
bool callerUsesUtf8();
QString fromCallerText(const char* text); // a null text is empty
// Copies text in the caller's encoding, cut at a character boundary, NUL-terminated.
CopyResult copyCallerText(const QString& text, char* buffer, qsizetype bufferSize);

} // namespace nmail
