#include "platform/ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifndef Q_OS_WIN
#include <unistd.h>
#endif

namespace {
QString& overrideFolder()
{
    static QString folder;
    return folder;
}
} // namespace

QString ProgramFolder()
{
    if (!overrideFolder().isEmpty())
        return overrideFolder();
    return QDir::toNativeSeparators(QCoreApplication::applicationDirPath());
}

QString ProgramPath(QStringView backslashLiteral)
{
    return ProgramPath(ProgramFolder(), backslashLiteral);
}

QString ProgramPath(const QString& folder, QStringView backslashLiteral)
{
    QString literal = backslashLiteral.toString();
#ifndef Q_OS_WIN
    literal.replace(QLatin1Char('\\'), QLatin1Char('/'));
#endif
    return folder + literal;
}

bool ProgramFolderWritable()
{
#ifdef Q_OS_WIN
    return QFileInfo(ProgramFolder()).isWritable();
#else
    // Writing a file there needs both the right to write the folder and to enter it.
    return ::access(QFile::encodeName(QDir::fromNativeSeparators(ProgramFolder())).constData(),
                    W_OK | X_OK) == 0;
#endif
}

void SetProgramFolderForTesting(const QString& folder)
{
    overrideFolder() = folder;
}
