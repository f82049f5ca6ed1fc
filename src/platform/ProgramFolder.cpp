#include "platform/ProgramFolder.h"

#include "platform/Services.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifndef Q_OS_WIN
#include <unistd.h>
#endif

QString ProgramFolder()
{
    if (const QString& folder = CurrentServices().programFolder; !folder.isEmpty())
        return folder;
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
