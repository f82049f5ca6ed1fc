#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QSet>

// Which waiting messages are new: those whose identity no earlier check reported. An identity
// is the server's unique-id (UIDL) or, on a server without one, one made from the message's
// header. Identities are 1 to MaxIdentityLength characters from 0x21 to 0x7E, so that they
// fit one line of the file that remembers them.
namespace NewMail {

constexpr qsizetype MaxIdentityLength = 250;

bool IsIdentity(QByteArrayView text);

struct Sorting
{
    QList<qint64> newMessages;  // numbers of the messages to report, in ascending order
    QList<QByteArray> remember; // what to keep as reported once they are: every identity the
                                // server holds now, each once, in message order
};

// current[n - 1] is the identity of message n. Identities of messages that left the server
// are not remembered any more, so what is kept never outgrows the mailbox. With nothing
// reported yet (the first check, or a lost file), every message is new, once.
Sorting Sort(const QList<QByteArray>& current, const QSet<QByteArray>& reported);

// The identity of a message on a server that has no UIDL, from its header lines (TOP n 0) and
// its size (LIST n): the Message-ID as it stands, or the SHA-256 (hex) of Date, From, Subject
// and the size when there is no usable Message-ID. The same message gives the same identity
// on every check.
QByteArray HeaderIdentity(QByteArrayView header, qint64 size);

// The bytes of the file of reported identities and back: one identity a line, CR LF.
// Reading keeps every proper line of a damaged file and skips the rest; a line longer than any
// identity is skipped unread, and the reading stops after MaxBadLines bad lines (a file that
// is not one at all). Writing stops before MaxFileBytes, which the reader's caller reads.
constexpr int MaxBadLines = 100;
constexpr qsizetype MaxFileBytes = 16 * 1024 * 1024;
QSet<QByteArray> ParseReported(QByteArrayView file, bool truncated);
QByteArray FormatReported(const QList<QByteArray>& identities);

} // namespace NewMail
