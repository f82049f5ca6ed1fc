#pragma once

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>

// The identities of the messages already reported, kept across restarts: a file per server and
// user in the options folder (★MailData), named by a hash of the two so that any server text
// or user ID gives a plain ASCII name that every code page can hold. The file is read with a
// size limit and replaced atomically, so a damaged, huge or half-written file costs at most a
// message reported twice.
class ReportedMailStore
{
public:
    explicit ReportedMailStore(QString folder);

    // The file for a server (as the user typed it; its case does not matter) and a user ID.
    QString filePath(const QString& server, const QString& userId) const;

    // What was reported for them; empty when nothing was (no file yet) or it cannot be read.
    QSet<QByteArray> load(const QString& server, const QString& userId) const;

    // Replaces what was reported for them. False, with the reason in Japanese, when the file
    // could not be written; the old one then stays as it was.
    bool save(const QString& server, const QString& userId, const QList<QByteArray>& identities,
              QString* error = nullptr) const;

private:
    QString m_folder;
};
