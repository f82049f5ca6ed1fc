#include "platform/ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>

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
    QString literal = backslashLiteral.toString();
#ifndef Q_OS_WIN
    literal.replace(QLatin1Char('\\'), QLatin1Char('/'));
#endif
    return ProgramFolder() + literal;
}

void SetProgramFolderForTesting(const QString& folder)
{
    overrideFolder() = folder;
}
