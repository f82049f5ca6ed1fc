#include "mail/NewMailTracker.h"

#include "MimeHeader.h"

#include <QCryptographicHash>
#include <algorithm>

namespace NewMail {

namespace {

QByteArray hashed(QByteArrayView bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
}

} // namespace

bool IsIdentity(QByteArrayView text)
{
    return !text.isEmpty() && text.size() <= MaxIdentityLength &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x21 && c <= 0x7E; });
}

Sorting Sort(const QList<QByteArray>& current, const QSet<QByteArray>& reported)
{
    Sorting sorting;
    QSet<QByteArray> kept;
    for (qsizetype i = 0; i < current.size(); ++i) {
        const QByteArray& identity = current[i];
        if (!reported.contains(identity)) {
            sorting.newMessages.append(i + 1);
        }
        if (!kept.contains(identity)) {
            kept.insert(identity);
            sorting.remember.append(identity);
        }
    }
    return sorting;
}

QByteArray HeaderIdentity(QByteArrayView header, qint64 size)
{
    const QByteArray messageId = nmail::headerField(header, "Message-ID");
    if (IsIdentity(messageId)) {
        return messageId;
    }
    // A Message-ID with blanks or other bytes (a comment after it, a broken mailer) still
    // names the message; it is only kept as its hash so that it fits a line of the file.
    if (!messageId.isEmpty()) {
        return hashed("Message-ID\n" + messageId);
    }
    QByteArray fields;
    for (const char* name : {"Date", "From", "Subject"}) {
        fields += nmail::headerField(header, name);
        fields += '\n';
    }
    fields += QByteArray::number(size);
    return hashed(fields);
}

QSet<QByteArray> ParseReported(QByteArrayView file, bool truncated)
{
    if (truncated) {
        // The last line stops where the reading stopped: it may be any part of an identity.
        const qsizetype lastEnd = file.lastIndexOf('\n');
        file = file.first(lastEnd < 0 ? 0 : lastEnd + 1);
    }
    QSet<QByteArray> identities;
    int bad = 0;
    qsizetype start = 0;
    while (start < file.size() && bad < MaxBadLines) {
        qsizetype end = file.indexOf('\n', start);
        if (end < 0) {
            end = file.size();
        }
        QByteArrayView line = file.sliced(start, end - start);
        start = end + 1;
        if (line.endsWith('\r')) {
            line.chop(1);
        }
        if (IsIdentity(line)) {
            identities.insert(line.toByteArray());
        } else if (!line.isEmpty()) {
            ++bad;
        }
    }
    return identities;
}

QByteArray FormatReported(const QList<QByteArray>& identities)
{
    QByteArray file;
    for (const QByteArray& identity : identities) {
        if (!IsIdentity(identity)) {
            continue;
        }
        if (file.size() + identity.size() + 2 > MaxFileBytes) {
            // FIXME: a mailbox this large (hundreds of thousands of messages) has its last
            // messages reported again on every check.
            break;
        }
        file += identity;
        file += "\r\n";
    }
    return file;
}

} // namespace NewMail
