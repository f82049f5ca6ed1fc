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

    // On the heap: a launcher that is still running after the wait must be left to run.
    auto* process = new QProcess;
    process->setProgram(launcher);
    // The address is one argument, never parsed by a shell.
    process->setArguments({address.toString(QUrl::FullyEncoded)});
    // The browser may inherit these; nothing of it must end up on our terminal or block on a
    // full pipe.
    process->setStandardInputFile(QProcess::nullDevice());
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    process->start();
    if (!process->waitForStarted(LauncherTimeoutMs)) {
        delete process;
        return false;
    }
    if (process->waitForFinished(LauncherTimeoutMs)) {
        // xdg-open exits non-zero when it finds no tool to open the address with, or when the
        // tool it ran failed.
        const bool opened =
            process->exitStatus() == QProcess::NormalExit && process->exitCode() == 0;
        delete process;
        return opened;
    }
    // Still running: where no desktop service takes the address, xdg-open runs the browser
    // itself and returns only when the browser closes. The address has been handed on; the
    // object goes when the launcher ends (its end is seen by the event loop, not before).
    QObject::connect(process, &QProcess::finished, process, &QObject::deleteLater);
    return true;
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
