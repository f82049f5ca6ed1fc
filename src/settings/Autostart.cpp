#include "settings/Autostart.h"

#include "platform/ProgramFolder.h"
#include "settings/AtomicFile.h"
#include "settings/SettingsPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace Autostart {

namespace {

bool hasControlCharacter(const QString& text)
{
    for (const QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return true;
    }
    return false;
}

// A value of the string type: a backslash is written as two, a leading blank as \s.
QString escapeValue(const QString& value)
{
    QString escaped = value;
    escaped.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    if (escaped.startsWith(QLatin1Char(' ')))
        escaped.replace(0, 1, QStringLiteral("\\s"));
    return escaped;
}

// One argument of the Exec key, always quoted: inside the quotes ", `, $ and \ take a backslash,
// a literal % is %%, and the whole key is then escaped as any string value.
QString execArgument(const QString& argument)
{
    QString quoted;
    for (const QChar c : argument) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
            c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        if (c == QLatin1Char('%'))
            quoted += QLatin1Char('%');
        quoted += c;
    }
    return escapeValue(QLatin1Char('"') + quoted + QLatin1Char('"'));
}

} // namespace

QString EntryPath(const QString& xdgConfigHome, const QString& home)
{
    return ConfigHome(xdgConfigHome, home) + QStringLiteral("/autostart/mofurin.desktop");
}

QString EntryPath()
{
    return EntryPath(qEnvironmentVariable("XDG_CONFIG_HOME"), QDir::homePath());
}

bool EntryText(const QString& executable, const QString& workingFolder, QByteArray& text,
               QString* error)
{
    if (hasControlCharacter(executable) || hasControlCharacter(workingFolder)) {
        if (error)
            *error = QStringLiteral("プログラムの場所に改行などの制御文字が含まれているため、"
                                    "ログイン時に起動するように設定できません。");
        return false;
    }
    QString entry = QStringLiteral("[Desktop Entry]\n"
                                   "Type=Application\n"
                                   "Name=Mofurin\n"
                                   "Name[ja]=もふりん\n"
                                   "Comment=Starts the desktop kitten at login\n"
                                   "Comment[ja]=ログイン時にデスクトップの子猫を起動します\n");
    entry += QStringLiteral("Exec=") + execArgument(executable) + QLatin1Char('\n');
    // Where the program is gone, the desktop skips the entry instead of failing to start it.
    entry += QStringLiteral("TryExec=") + escapeValue(executable) + QLatin1Char('\n');
    if (!workingFolder.isEmpty())
        entry += QStringLiteral("Path=") + escapeValue(workingFolder) + QLatin1Char('\n');
    entry += QStringLiteral("Icon=mofurin\n"
                            "Terminal=false\n"
                            "StartupNotify=false\n");
    text = entry.toUtf8();
    return true;
}

bool IsOn()
{
    return QFileInfo(EntryPath()).isFile();
}

bool TurnOn(QString* error)
{
    // A copy that keeps vbmail.ini in the current directory starts where it was started now.
    const QString workingFolder = ProgramFolderWritable() ? QDir::currentPath() : QString();
    QByteArray text;
    if (!EntryText(QCoreApplication::applicationFilePath(), workingFolder, text, error))
        return false;
    const QString path = EntryPath();
    const QString folder = QFileInfo(path).path();
    if (!QDir().mkpath(folder)) {
        if (error)
            *error = QStringLiteral("フォルダー「%1」を作成できません。").arg(folder);
        return false;
    }
    return SettingsIo::WriteFileAtomically(path, text, SettingsIo::NewFileMode::Normal, error);
}

bool TurnOff(QString* error)
{
    const QString path = EntryPath();
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return true;
    if (info.isDir() || !QFile::remove(path)) {
        if (error)
            *error = QStringLiteral("「%1」を削除できません。").arg(path);
        return false;
    }
    return true;
}

} // namespace Autostart
