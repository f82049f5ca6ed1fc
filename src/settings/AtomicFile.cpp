#include "settings/AtomicFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace SettingsIo {
namespace {
void SetError(QString* error, const QString& text)
{
    if (error)
        *error = text;
}
} // namespace

ReadStatus ReadSettingsFile(const QString& path, qint64 limit, QByteArray& bytes)
{
    bytes.clear();
    const QFileInfo info(path);
    if (!info.exists() || !info.isFile())
        return ReadStatus::Missing;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return ReadStatus::Failed;
    // One byte more than the limit tells a file of exactly the limit from a longer one.
    bytes = file.read(limit + 1);
    if (file.error() != QFileDevice::NoError) {
        bytes.clear();
        return ReadStatus::Failed;
    }
    if (bytes.size() > limit) {
        bytes.truncate(limit);
        return ReadStatus::Truncated;
    }
    return ReadStatus::Ok;
}

bool WriteFileAtomically(const QString& path, const QByteArray& bytes, NewFileMode mode,
                         QString* error)
{
    const QFileInfo info(path);
    if (info.exists() && !info.isFile()) {
        SetError(error, QStringLiteral("「%1」はファイルではないため書き込めません。").arg(path));
        return false;
    }
    const bool existed = info.exists();
    // QSaveFile writes a temporary file in the same folder, keeps an existing file's permissions
    // and renames on commit; it never falls back to writing the file in place.
    QSaveFile file(path);
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly)) {
        SetError(error, QStringLiteral("「%1」を作成できません: %2").arg(path, file.errorString()));
        return false;
    }
    if (!existed && mode == NewFileMode::OwnerOnly &&
        !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        file.cancelWriting();
        SetError(error, QStringLiteral("「%1」の権限を設定できません。").arg(path));
        return false;
    }
    if (file.write(bytes) != bytes.size()) {
        const QString why = file.errorString();
        file.cancelWriting();
        SetError(error, QStringLiteral("「%1」に書き込めません: %2").arg(path, why));
        return false;
    }
    if (!file.commit()) {
        SetError(error, QStringLiteral("「%1」を保存できません: %2").arg(path, file.errorString()));
        return false;
    }
    return true;
}

} // namespace SettingsIo
