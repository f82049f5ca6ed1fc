#pragma once

#include <QString>

// Private-profile files with the behaviour of the Windows profile functions (see
// ProfileParser.h for the rules of the format). Text in the files is code page 932.
namespace Profile {

enum class FileMode
{
    Normal,
    OwnerOnly
};

// Profile files are a few lines long; only this much of a file is ever read, so a huge or
// runaway file costs little memory. A write refuses a file longer than this rather than cut it.
inline constexpr qint64 MaxFileSize = 1024 * 1024;

// The GetPrivateProfileString read through a buffer of bufferSize bytes of code page 932: the
// value is cut to bufferSize-1 bytes, never inside a double-byte character. Missing folder, file,
// section or key gives defaultValue (cut the same way).
QString GetString(const QString& path, const QString& section, const QString& key,
                  const QString& defaultValue = QString(), int bufferSize = 256);

// The GetPrivateProfileInt read: defaultValue when the key is missing or empty, otherwise the
// value's leading decimal number (0 when it has none), held to the int range.
int GetInt(const QString& path, const QString& section, const QString& key, int defaultValue);

// The WritePrivateProfileString write: creates the file, the section and the key as needed,
// replaces that key's value and leaves every other line byte for byte; the file is replaced
// atomically. A value the reader would trim or unquote is stored quoted (StoredValue), so it
// reads back exactly. OwnerOnly: a newly created file is mode 0600; an existing file keeps its
// mode. Returns false, leaving the file untouched, when the folder is missing (it is never
// created), the path is not a regular file, the file cannot be read whole, the text cannot be
// stored (a line break or NUL, a character code page 932 lacks) or the write fails.
bool WriteString(const QString& path, const QString& section, const QString& key,
                 const QString& value, FileMode mode = FileMode::Normal);

// The bytes WriteString stores after the '=' for value: its code page 932 form, quoted where
// the reader would change it. A read through a buffer of n bytes gives it back whole when this
// is at most n-1 bytes long.
QByteArray StoredValue(const QString& value);

// Whether WriteString can store value: no line break or NUL, and every character has a code
// page 932 form. Lets a caller that writes several keys refuse before writing any of them.
bool CanStoreValue(const QString& value);

} // namespace Profile
