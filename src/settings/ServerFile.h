#pragma once

#include "app/ProcessValues.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QIODevice>
#include <QString>
#include <QStringView>

// The server file "vbmail.ini": one line per setting, a five-character prefix ("SMTP=",
// "POP3=", "MAIL=", "APOP=") at the very start of the line and the value after it.

// Fills SmtpServer, Pop3Server, MailAddress and UseApop of MailSettings from vbmail.ini in the
// current directory when it is a regular file that can be read; otherwise nothing changes.
void LoadServerFile();

// Rewrites vbmail.ini in the current directory from a record (MailSettings unless given). False,
// with the old file untouched and error (when given) saying why, when a field cannot be stored
// or the write fails; see SaveServerFileTo.
bool SaveServerFile(const MailSettingsRecord& from = MailSettings, QString* error = nullptr);

// The two above with the path and the record given, and a result. LoadServerFileFrom changes
// into only when the whole file was read; false when it is missing, not a regular file or
// unreadable. SaveServerFileTo fails when a field holds a line break or a character without a
// code page 932 form (either would read back as something else), or when the write fails; the
// old file is then untouched and error (when given) says why, in Japanese.
bool LoadServerFileFrom(const QString& path, MailSettingsRecord& into);
bool SaveServerFileTo(const QString& path, const MailSettingsRecord& from,
                      QString* error = nullptr);

// Only this much of a server file is read; lines beyond it are ignored. Each line keeps only
// its first bytes in memory, enough for the prefix and the longest value.
inline constexpr qint64 MaxServerFileRead = 64 * 1024 * 1024;

// The parse of a whole file's bytes (lines end at CR, CR LF or LF), and of a device read to its
// end or MaxServerFileRead; false when the device failed, and into is then unchanged.
void ParseServerFile(QByteArrayView bytes, MailSettingsRecord& into);
bool ParseServerFile(QIODevice& device, MailSettingsRecord& into);

// The four CR LF lines written for a record.
QByteArray SerializeServerFile(const MailSettingsRecord& from);

// The number conversion of the APOP value: blanks and tabs are skipped wherever they stand; the
// longest leading decimal number (sign, digits, point and fraction, exponent) is rounded to the
// nearest whole number, halves to even; no number gives 0. A value beyond the 16-bit range is
// clamped to -32768 or 32767: it keeps its sign and stays non-zero, so APOP stays on as the file
// asks, where a plain conversion would wrap around (and 65536 would turn APOP off).
qint16 ApopNumber(QStringView value);
