#include "settings/AtomicFile.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
    // A link to a settings file is kept: the file it points to is the one replaced.
    const QString target = info.isSymLink() && info.exists() ? info.canonicalFilePath() : path;
    const QFileInfo targetInfo(target);
    const QByteArray finalName = QFile::encodeName(target);

    struct stat existing
    {
    };
    const bool existed = ::stat(finalName.constData(), &existing) == 0;

    // The temporary file sits in the same folder, so that the rename never crosses file systems.
    int fd = -1;
    QByteArray tempName;
    const mode_t createMode = (existed || mode == NewFileMode::OwnerOnly) ? 0600 : 0666;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        tempName = QFile::encodeName(
            targetInfo.absolutePath() + QStringLiteral("/.") + targetInfo.fileName() +
            QStringLiteral(".tmp-%1").arg(QRandomGenerator::global()->generate(), 8, 16,
                                          QLatin1Char('0')));
        fd = ::open(tempName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, createMode);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0) {
        SetError(error, QStringLiteral("「%1」を作成できません: %2")
                            .arg(path, QString::fromLocal8Bit(std::strerror(errno))));
        return false;
    }

    const auto fail = [&](const char* what) {
        const int code = errno;
        if (fd >= 0)
            ::close(fd);
        ::unlink(tempName.constData());
        SetError(error, QStringLiteral("「%1」を保存できません (%2): %3")
                            .arg(path, QLatin1StringView(what),
                                 QString::fromLocal8Bit(std::strerror(code))));
        return false;
    };

    if (existed) {
        // The new file takes the old one's permissions and, where allowed, its owner.
        if (::fchmod(fd, existing.st_mode & 07777) != 0)
            return fail("chmod");
        if (::fchown(fd, existing.st_uid, existing.st_gid) != 0) {
            // Only the superuser may give a file away; an ordinary user keeps the file as theirs.
        }
    }
    // Every byte must reach the file: a short write (a full disk, a size limit) is a failure,
    // never a shorter settings file.
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return fail("write");
        }
        done += n;
    }
    if (::fsync(fd) != 0)
        return fail("fsync");
    const int closed = ::close(fd);
    fd = -1;
    if (closed != 0)
        return fail("close");
    if (::rename(tempName.constData(), finalName.constData()) != 0)
        return fail("rename");

    // Make the rename itself durable; a failure here no longer endangers the data.
    const int dir = ::open(QFile::encodeName(targetInfo.absolutePath()).constData(),
                           O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

} // namespace SettingsIo
