#include "settings/AtomicFile.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>
#include <cstring>
#include <dirent.h>
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

// The name of a temporary file for the given file name: hidden, beside it, with eight hex
// digits that tell one write's from another's.
constexpr int TempDigits = 8;
QByteArray TempPrefix(const QString& fileName)
{
    return QByteArray(".") + QFile::encodeName(fileName) + QByteArray(".tmp-");
}

bool IsTempName(const char* entry, const QByteArray& prefix)
{
    if (std::strncmp(entry, prefix.constData(), size_t(prefix.size())) != 0)
        return false;
    const char* digits = entry + prefix.size();
    if (std::strlen(digits) != TempDigits)
        return false;
    for (const char* c = digits; *c != '\0'; ++c) {
        if (!((*c >= '0' && *c <= '9') || (*c >= 'a' && *c <= 'f')))
            return false;
    }
    return true;
}

// Removes the temporary files an earlier write of the same file left behind when the process
// ended between creating one and renaming it (a crash, a power loss). One kitten runs per user
// and writes its files on one thread, so a temporary that exists when a write starts belongs to
// no write still under way; the account file's would keep the password there for ever.
void RemoveStaleTemporaries(const QString& folder, const QString& fileName)
{
    DIR* dir = ::opendir(QFile::encodeName(folder).constData());
    if (dir == nullptr)
        return;
    const QByteArray prefix = TempPrefix(fileName);
    while (const dirent* entry = ::readdir(dir)) {
        struct stat st
        {
        };
        if (IsTempName(entry->d_name, prefix) &&
            ::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(st.st_mode))
            ::unlinkat(::dirfd(dir), entry->d_name, 0);
    }
    ::closedir(dir);
}

// The permissions open() gives a new file asked for 0666: those less the process's umask,
// which Linux reports in /proc/self/status (umask() itself would change it to read it).
mode_t NewFilePermissions()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (QByteArray line = status.readLine(); !line.isEmpty(); line = status.readLine()) {
            if (line.startsWith("Umask:")) {
                bool ok = false;
                const uint mask = line.mid(6).trimmed().toUInt(&ok, 8);
                if (ok)
                    return mode_t(0666 & ~mask);
            }
        }
    }
    return 0644; // the usual umask 022
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
        SetError(error, QCoreApplication::translate("AtomicFile",
                                                    "「%1」はファイルではないため書き込めません。")
                            .arg(path));
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

    RemoveStaleTemporaries(targetInfo.absolutePath(), targetInfo.fileName());

    // The temporary file sits in the same folder, so that the rename never crosses file systems.
    // It is readable by its owner only until the bytes are complete, whatever the file's own
    // permissions: a temporary that outlives its write never shows the bytes (the account
    // file's password) to anyone else.
    int fd = -1;
    QByteArray tempName;
    const QByteArray folderName = QFile::encodeName(targetInfo.absolutePath()) + '/';
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        tempName = folderName + TempPrefix(targetInfo.fileName()) +
                   QByteArray::number(QRandomGenerator::global()->generate(), 16)
                       .rightJustified(TempDigits, '0');
        fd = ::open(tempName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0) {
        SetError(error, QCoreApplication::translate("AtomicFile", "「%1」を作成できません: %2")
                            .arg(path, QString::fromLocal8Bit(std::strerror(errno))));
        return false;
    }

    const auto fail = [&](const char* what) {
        const int code = errno;
        if (fd >= 0)
            ::close(fd);
        ::unlink(tempName.constData());
        SetError(error, QCoreApplication::translate("AtomicFile", "「%1」を保存できません (%2): %3")
                            .arg(path, QLatin1StringView(what),
                                 QString::fromLocal8Bit(std::strerror(code))));
        return false;
    };

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
    // The file's own permissions now: the old file's (and, where allowed, its owner), or those
    // of a new file.
    if (existed) {
        if (::fchmod(fd, existing.st_mode & 07777) != 0)
            return fail("chmod");
        if (::fchown(fd, existing.st_uid, existing.st_gid) != 0) {
            // Only the superuser may give a file away; an ordinary user keeps the file as theirs.
        }
    } else if (mode == NewFileMode::Normal && ::fchmod(fd, NewFilePermissions()) != 0) {
        return fail("chmod");
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
