#include "mail/NewMailLines.h"

namespace NewMail {

namespace {

// Long enough for any real name or subject on one line of a notification; a server's
// runaway header stops here.
constexpr qsizetype MaxSenderLength = 40;
constexpr qsizetype MaxSubjectLength = 80;

// Header text is plain text from outside: line breaks, tabs and other control characters
// become blanks, runs of blanks one, so that a message always takes exactly one line.
QString oneLine(const QString& text, qsizetype maxLength)
{
    QString line;
    line.reserve(qMin(text.size(), maxLength + 1));
    for (const QChar c : text) {
        const bool blank = c.isSpace() || c.category() == QChar::Other_Control;
        if (blank && (line.isEmpty() || line.endsWith(u' '))) {
            continue;
        }
        line += blank ? QChar(u' ') : c;
        if (line.size() > maxLength) {
            break;
        }
    }
    line = line.trimmed();
    if (line.size() > maxLength) {
        line.truncate(maxLength - 1);
        // Never leave half of a surrogate pair before the ellipsis.
        if (!line.isEmpty() && line.back().isHighSurrogate()) {
            line.chop(1);
        }
        line += u'…';
    }
    return line;
}

} // namespace

QString SenderName(const QString& from)
{
    const QString text = from.trimmed();
    const qsizetype open = text.lastIndexOf(u'<');
    if (open < 0) {
        return text;
    }
    QString name = text.left(open).trimmed();
    if (name.size() >= 2 && name.startsWith(u'"') && name.endsWith(u'"')) {
        name = name.mid(1, name.size() - 2).trimmed();
    }
    if (!name.isEmpty()) {
        return name;
    }
    const qsizetype close = text.indexOf(u'>', open);
    return text.mid(open + 1, close < 0 ? -1 : close - open - 1).trimmed();
}

QStringList Lines(const QList<Headline>& messages)
{
    QStringList lines;
    for (const Headline& message : messages) {
        if (lines.size() == MaxLines) {
            lines.append(QStringLiteral("ほか %1 通").arg(messages.size() - MaxLines));
            break;
        }
        QString subject = oneLine(message.subject, MaxSubjectLength);
        if (subject.isEmpty()) {
            subject = QStringLiteral("(件名なし)");
        }
        QString sender = oneLine(SenderName(message.from), MaxSenderLength);
        if (sender.isEmpty()) {
            sender = QStringLiteral("(差出人なし)");
        }
        lines.append(sender + QStringLiteral(" — ") + subject);
    }
    return lines;
}

} // namespace NewMail
