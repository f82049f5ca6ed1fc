#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QStringView>
#include <optional>

// The byte-level reader and editor of private-profile (INI) files, with the rules of the Windows
// profile functions:
// - a line ends at LF, CR LF or a lone CR; blanks (space, tab) at the start of a line are ignored;
// - "[name]" starts a section; a line starting with ';' is a comment; "key=value" is a key; any
//   other line is kept but means nothing;
// - section and key names compare without regard to case and to blanks around them;
// - blanks around a value are ignored, and one pair of matching enclosing quotes (" or ') is
//   removed from it;
// - when a section or a key occurs twice, the first one counts (reads and writes alike).
// Text is code page 932: delimiters are only found where they stand as characters of their own.
namespace Profile {

// True when text holds CR, LF or NUL, which no name or value in the file can hold.
bool HasLineBreakOrNul(QStringView text);

// The value of key in section, trimmed and unquoted, as the bytes of the file; nothing when the
// section or the key is missing.
std::optional<QByteArray> FindValue(QByteArrayView file, QStringView section, QStringView key);

// The file with key set to value: an existing key keeps its line, and only the text after its
// '=' is replaced; a new key becomes the last line of its section (after the section's last
// non-blank line), a new section the end of the file. New lines end in CR LF; every other byte
// stays as it was. The value is written as given.
// Nothing when the names or the value cannot be stored so that they read back as one key: a line
// break or NUL anywhere, ']' in the section name, '=' in the key name, a key name that is empty
// or starts with '[' or ';'.
std::optional<QByteArray> SetValue(QByteArrayView file, QStringView section, QStringView key,
                                   QByteArrayView value);

// The bytes to write after '=' so that FindValue, and Windows' own reader, give value back
// unchanged: wrapped in one pair of double quotes when it starts or ends with a blank or a quote,
// which the readers would otherwise trim or strip. Every other value is written as it is, so a
// file keeps the form Windows gives it.
QByteArray QuoteForReading(QByteArrayView value);

// The integer of a value with the leading-number rule of GetPrivateProfileInt: blanks, then an
// optional sign and decimal digits up to the first other character; no digits give 0. Values
// beyond the int range stop at its ends instead of wrapping around.
int LeadingInteger(QByteArrayView value);

} // namespace Profile
