#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

// Text crosses every file and library boundary in code page 932 (Windows-31J, the Shift-JIS of
// Japanese Windows), including its NEC and IBM extension rows.

// QString to code page 932. A character the code page cannot represent becomes '?', as the
// system's own conversion does; FitsCodePage tells beforehand whether that would happen.
QByteArray ToCodePage(const QString& text);

// Code page 932 to QString. A byte or byte pair that is not a character of the code page (a lone
// lead byte at the end, 0x80, 0xA0, 0xFD to 0xFF, an unassigned pair) becomes U+FFFD, one per
// bad unit, so the rest of the text is still read.
QString FromCodePage(QByteArrayView bytes);

// True when every character of text has a code page 932 form.
bool FitsCodePage(QStringView text);

// True for the first byte of a double-byte character (0x81 to 0x9F and 0xE0 to 0xFC).
constexpr bool IsLeadByte(unsigned char byte)
{
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// The length of the longest leading part of bytes that is at most maxBytes long and does not end
// inside a double-byte character. A lead byte with no byte after it counts as one character.
qsizetype CodePagePrefixLength(QByteArrayView bytes, qsizetype maxBytes);

// The first position at or after from where byte stands as a character of its own, not as the
// second half of a double-byte character; -1 when there is none. Needed for bytes such as ']'
// (0x5D) and '\' (0x5C) that also occur as second bytes.
qsizetype FindCodePageByte(QByteArrayView bytes, char byte, qsizetype from = 0);
