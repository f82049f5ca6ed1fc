#include "mail/NewMailLines.h"

#include <QCoreApplication>
#include <algorithm>

namespace NewMail {

namespace {

// Long enough for any real name or subject on one line of a notification; a server's
// runaway header stops here.
constexpr qsizetype MaxSenderLength = 40;
constexpr qsizetype MaxSubjectLength = 80;

// Invisible characters that change how the text around them is shown: the bidirectional
// marks, embeddings, overrides and isolates (a sender name ending in U+202E would show the
// subject after it backwards, and an unclosed isolate or embedding carries into what follows),
// the zero-width spaces and invisible operators, the soft hyphen, the byte-order mark and the
// interlinear annotation marks. The joiners U+200C and U+200D stay: emoji sequences and several
// scripts need them, and they reorder nothing.
bool hidden(char16_t c)
{
    return c == 0x00AD || c == 0x061C || c == 0x180E || c == 0x200B || c == 0x200E || c == 0x200F ||
           (c >= 0x202A && c <= 0x202E) || (c >= 0x2060 && c <= 0x2064) ||
           (c >= 0x2066 && c <= 0x206F) || c == 0xFEFF || (c >= 0xFFF9 && c <= 0xFFFB);
}

QString withoutHidden(QString text)
{
    text.removeIf([](QChar c) { return hidden(c.unicode()); });
    return text;
}

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

QStringList Lines(const QList<Headline>& messages, qsizetype total)
{
    QStringList lines;
    for (const Headline& message : messages) {
        if (lines.size() == MaxLines) {
            break;
        }
        // The hidden characters go first, so that a name made of nothing else counts as no
        // name, and each field shows as written, on its own side of the dash.
        QString subject = oneLine(withoutHidden(message.subject), MaxSubjectLength);
        if (subject.isEmpty()) {
            subject = QCoreApplication::translate("NewMailLines", "(件名なし)");
        }
        QString sender = oneLine(SenderName(withoutHidden(message.from)), MaxSenderLength);
        if (sender.isEmpty()) {
            sender = QCoreApplication::translate("NewMailLines", "(差出人なし)");
        }
        const QString dash = QStringLiteral(" — "); // untranslated: the same in every language
        lines.append(sender + dash + subject);
    }
    total = std::max(total, messages.size());
    if (total > MaxLines) {
        //: The last line of a list of new messages: how many more there are
        lines.append(QCoreApplication::translate("NewMailLines", "ほか %n 通", nullptr,
                                                 int(total - lines.size())));
    }
    return lines;
}

} // namespace NewMail
