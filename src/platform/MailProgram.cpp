#include "platform/MailProgram.h"

#include "platform/DesktopEntryReader.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

namespace MailProgram {
namespace {

const QByteArray MailtoType = "x-scheme-handler/mailto";

// The folders a base-directory variable names, or its default when it is unset or empty.
QStringList Folders(const char* variable, const QString& fallback)
{
    QStringList folders;
    const QString value = qEnvironmentVariable(variable);
    for (const QString& folder : (value.isEmpty() ? fallback : value).split(u':'))
        if (QDir::isAbsolutePath(folder))
            folders << folder;
    return folders;
}

QString Home(const char* variable, const char* underHome)
{
    const QString value = qEnvironmentVariable(variable);
    if (QDir::isAbsolutePath(value))
        return value;
    return QDir::homePath() + QLatin1Char('/') + QLatin1String(underHome);
}

// The desktop entries named as the mailto: handler, in the order the lookup tries them: the
// user's config, the system's config, then the user's and the system's data folders.
QList<QByteArray> DefaultHandlers()
{
    QStringList lists;
    const QString desktops = qEnvironmentVariable("XDG_CURRENT_DESKTOP").toLower();
    const QStringList configFolders = QStringList{Home("XDG_CONFIG_HOME", ".config")} +
                                      Folders("XDG_CONFIG_DIRS", QStringLiteral("/etc/xdg"));
    const QStringList dataFolders =
        QStringList{Home("XDG_DATA_HOME", ".local/share")} +
        Folders("XDG_DATA_DIRS", QStringLiteral("/usr/local/share:/usr/share"));
    for (const QString& folder : configFolders) {
        for (const QString& desktop : desktops.split(u':', Qt::SkipEmptyParts))
            lists << folder + QLatin1Char('/') + desktop + QStringLiteral("-mimeapps.list");
        lists << folder + QStringLiteral("/mimeapps.list");
    }
    for (const QString& folder : dataFolders)
        lists << folder + QStringLiteral("/applications/mimeapps.list");

    QList<QByteArray> handlers;
    for (const QString& path : lists) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            continue;
        bool inDefaults = false;
        for (QByteArray line : file.readAll().split('\n')) {
            line = line.trimmed();
            if (line.startsWith('[')) {
                inDefaults = line == "[Default Applications]";
                continue;
            }
            const qsizetype equals = line.indexOf('=');
            if (inDefaults && equals > 0 && line.left(equals).trimmed() == MailtoType) {
                for (const QByteArray& entry : line.mid(equals + 1).split(';'))
                    if (!entry.trimmed().isEmpty())
                        handlers << entry.trimmed();
            }
        }
    }
    return handlers;
}

// The command of an installed desktop entry by its file name (vendor-app.desktop may also live
// as vendor/app.desktop).
std::optional<QList<QByteArray>> EntryCommand(const QByteArray& name)
{
    if (!name.endsWith(".desktop") || name.contains('/'))
        return std::nullopt;
    const QStringList dataFolders =
        QStringList{Home("XDG_DATA_HOME", ".local/share")} +
        Folders("XDG_DATA_DIRS", QStringLiteral("/usr/local/share:/usr/share"));
    const QString fileName = QString::fromUtf8(name);
    for (const QString& folder : dataFolders) {
        QStringList candidates{folder + QStringLiteral("/applications/") + fileName};
        if (fileName.contains(u'-'))
            candidates << folder + QStringLiteral("/applications/") +
                              QString(fileName).replace(fileName.indexOf(u'-'), 1, u'/');
        for (const QString& path : candidates) {
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly))
                continue;
            const std::optional<DesktopEntryReader::Command> command =
                DesktopEntryReader::Read(file.readAll());
            if (command &&
                !QStandardPaths::findExecutable(QFile::decodeName(command->startedProgram))
                     .isEmpty())
                return command->started;
        }
    }
    return std::nullopt;
}

} // namespace

std::optional<QList<QByteArray>> Find(const QString& mailerCommand, QString* error)
{
    if (!mailerCommand.trimmed().isEmpty()) {
        std::optional<QList<QByteArray>> command =
            DesktopEntryReader::SplitCommand(mailerCommand.toUtf8());
        if (command &&
            !QStandardPaths::findExecutable(QFile::decodeName(command->first())).isEmpty())
            return command;
        *error = QCoreApplication::translate("MailProgram",
                                             "MAILER に書かれたメールソフトを起動できません: %1")
                     .arg(mailerCommand);
        return std::nullopt;
    }
    for (const QByteArray& handler : DefaultHandlers()) {
        if (std::optional<QList<QByteArray>> command = EntryCommand(handler))
            return command;
    }
    *error = QCoreApplication::translate(
        "MailProgram", "メールソフトが見つかりません。デスクトップの設定で既定のメールソフトを"
                       "選ぶか、★MailData/ini.ini の [MOFURIN] に MAILER= で起動する"
                       "コマンドを書いてください。");
    return std::nullopt;
}

bool Open(const QString& mailerCommand, QString* error)
{
    const std::optional<QList<QByteArray>> command = Find(mailerCommand, error);
    if (!command)
        return false;
    QStringList arguments;
    for (qsizetype i = 1; i < command->size(); ++i)
        arguments << QFile::decodeName(command->at(i));
    const QString program = QFile::decodeName(command->first());
    if (QProcess::startDetached(program, arguments))
        return true;
    *error =
        QCoreApplication::translate("MailProgram", "メールソフトを起動できません: %1").arg(program);
    return false;
}

} // namespace MailProgram
