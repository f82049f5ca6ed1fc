#include "platform/PrivateFolder.h"

#include <QByteArray>
#include <QDir>
#include <QFile>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

bool IsPrivateFolder(const QString& path, bool tighten)
{
#ifdef Q_OS_UNIX
    const QByteArray native = QFile::encodeName(path);
    struct stat status;
    // lstat: a link to somebody else's folder (or to ours) is not our folder.
    if (native.isEmpty() || ::lstat(native.constData(), &status) != 0 || !S_ISDIR(status.st_mode) ||
        status.st_uid != ::geteuid())
        return false;
    if ((status.st_mode & 077) == 0)
        return true;
    return tighten && ::chmod(native.constData(), 0700) == 0;
#else
    return QDir(path).exists();
#endif
}

QString PrivateRuntimeFolder()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (QDir::isAbsolutePath(runtime) && IsPrivateFolder(runtime))
        return runtime;

    // A relative XDG_CACHE_HOME is invalid and ignored, as the base directory rules say.
    QString cache = qEnvironmentVariable("XDG_CACHE_HOME");
    if (!QDir::isAbsolutePath(cache)) {
        const QString home = qEnvironmentVariable("HOME");
        if (!QDir::isAbsolutePath(home))
            return {};
        cache = home + QStringLiteral("/.cache");
    }
    const QString folder = cache + QStringLiteral("/mofurin");
#ifdef Q_OS_UNIX
    // Folders made on the way are the user's own; the last one is private from its birth.
    const mode_t previous = ::umask(0077);
    QDir().mkpath(folder);
    ::umask(previous);
#else
    QDir().mkpath(folder);
#endif
    return IsPrivateFolder(folder, true) ? folder : QString();
}
