#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// The lines that tell the user who wrote and about what: one line per new message,
// "sender — subject", at most MaxLines of them and then "ほか N 通" for the rest. The desktop
// notification shows them, and a tooltip can list the same.
namespace NewMail {

struct Headline
{
    QString from;    // the From text, RFC 2047 words already decoded
    QString subject; // the Subject text, decoded the same way
};

constexpr int MaxLines = 5;

// `total` is how many messages there are, of which `messages` are the first (a check reads the
// headers of no more than it can show).
QStringList Lines(const QList<Headline>& messages, qsizetype total);

// Who sent it, short: the display name of "Name <address>", else the address.
QString SenderName(const QString& from);

} // namespace NewMail
