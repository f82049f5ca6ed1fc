#include "mail/ReportedMailStore.h"

#include "mail/NewMailTracker.h"
#include "settings/AtomicFile.h"

#include <QCryptographicHash>
#include <QDir>

ReportedMailStore::ReportedMailStore(QString folder) : m_folder(std::move(folder)) {}

QString ReportedMailStore::filePath(const QString& server, const QString& userId) const
{
    // Half of SHA-256 is far more than enough to keep the accounts of one user apart.
    const QByteArray key = server.trimmed().toLower().toUtf8() + '\n' + userId.toUtf8();
    const QByteArray name =
        QCryptographicHash::hash(key, QCryptographicHash::Sha256).toHex().left(32);
    return QDir(m_folder).filePath(QStringLiteral("reported_%1.txt").arg(QLatin1String(name)));
}

QSet<QByteArray> ReportedMailStore::load(const QString& server, const QString& userId) const
{
    QByteArray bytes;
    const auto status =
        SettingsIo::ReadSettingsFile(filePath(server, userId), NewMail::MaxFileBytes, bytes);
    if (status != SettingsIo::ReadStatus::Ok && status != SettingsIo::ReadStatus::Truncated) {
        return {};
    }
    return NewMail::ParseReported(bytes, status == SettingsIo::ReadStatus::Truncated);
}

bool ReportedMailStore::save(const QString& server, const QString& userId,
                             const QList<QByteArray>& identities, QString* error) const
{
    return SettingsIo::WriteFileAtomically(filePath(server, userId),
                                           NewMail::FormatReported(identities),
                                           SettingsIo::NewFileMode::OwnerOnly, error);
}
