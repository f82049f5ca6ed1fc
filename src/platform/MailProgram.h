#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// The user's mail program, opened from a notification of new mail: the command the user gave
// (MAILER= in the options file), or else the desktop's default handler for mailto: addresses,
// found as the desktop's own lookup finds it (mimeapps.list in the config and data folders,
// then the handler's desktop entry in the applications folders). Started by itself, without a
// shell and without an address, so it opens on the user's mail.
namespace MailProgram {

// The program and its arguments to start, or nothing; error then says why in Japanese.
std::optional<QList<QByteArray>> Find(const QString& mailerCommand, QString* error);

// Starts it detached. False with the reason in error when there is none or it cannot start.
bool Open(const QString& mailerCommand, QString* error);

} // namespace MailProgram
