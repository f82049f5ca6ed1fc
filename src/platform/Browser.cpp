#include "platform/Browser.h"

#include <QUrl>

#if defined(Q_OS_LINUX)
#include <QProcess>
#include <QStandardPaths>
#else
#include <QDesktopServices>
#endif

#if defined(Q_OS_LINUX)

// QDesktopServices::openUrl starts xdg-open detached and reports success as soon as the
// process starts, so a launcher that then finds no browser would look like success. Running
// xdg-open ourselves and reading its exit status tells the two apart.
bool BrowserObject::Navigate(const QString& url)
{
    const QUrl address = QUrl::fromUserInput(url);
    if (!address.isValid() || address.isEmpty())
        return false;
    const QString launcher = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (launcher.isEmpty())
        return false;

    QProcess process;
    process.setProgram(launcher);
    // The address is one argument, never parsed by a shell.
    process.setArguments({address.toString(QUrl::FullyEncoded)});
    // The browser may inherit these; nothing of it must end up on our terminal or block on a
    // full pipe.
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start();
    if (!process.waitForStarted(LauncherTimeoutMs))
        return false;
    if (!process.waitForFinished(LauncherTimeoutMs)) {
        // A launcher that hangs has not opened anything we can vouch for; do not leave it
        // behind either.
        process.kill();
        process.waitForFinished(1000);
        return false;
    }
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

#else

bool BrowserObject::Navigate(const QString& url)
{
    const QUrl address = QUrl::fromUserInput(url);
    if (!address.isValid() || address.isEmpty())
        return false;
    return QDesktopServices::openUrl(address);
}

#endif
