#include "settings/Autostart.h"

#include "platform/DesktopEntryReader.h"
#include "platform/ProgramFolder.h"
#include "settings/AtomicFile.h"
#include "settings/SettingsPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <sys/stat.h>
#include <unistd.h>

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

bool IsExecutableFile(const QByteArray& path)
{
    struct stat st
    {
    };
    return !path.isEmpty() && ::stat(path.constData(), &st) == 0 && S_ISREG(st.st_mode) &&
           ::access(path.constData(), X_OK) == 0;
}

bool IsFolder(const QByteArray& path)
{
    struct stat st
    {
    };
    return ::stat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool SameFile(const QByteArray& a, const QByteArray& b)
{
    struct stat first
    {
    };
    struct stat second
    {
    };
    return ::stat(a.constData(), &first) == 0 && ::stat(b.constData(), &second) == 0 &&
           first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

// Far more than any entry this program writes.
constexpr qint64 MaxEntryBytes = 64 * 1024;

// The running program's path as the file system's bytes, which Qt's own path loses where they
// are not UTF-8 (it is then empty).
QByteArray RunningProgramPath()
{
    QByteArray path(4096, '\0');
    const ssize_t length = ::readlink("/proc/self/exe", path.data(), size_t(path.size()));
    if (length <= 0 || length >= path.size())
        return QFile::encodeName(QCoreApplication::applicationFilePath());
    path.truncate(length);
    // A program file replaced while it runs (an upgrade) reads as "… (deleted)"; the entry is
    // for the file now at its place.
    const QByteArray deleted = " (deleted)";
    if (path.endsWith(deleted))
        path.chop(deleted.size());
    return path;
}

// Why a program path cannot be carried by an entry, where its path alone is the reason.
QString CauseInPath(const QByteArray& programPath)
{
    QStringDecoder utf8(QStringDecoder::Utf8);
    (void)utf8.decode(programPath);
    if (utf8.hasError())
        return QCoreApplication::translate(
            "Autostart", "\nプログラムの場所(フォルダーかファイルの名前)に、UTF-8として"
                         "読めない文字が含まれています。");
    if (programPath.contains('%'))
        return QCoreApplication::translate(
            "Autostart", "\nプログラムの場所に「%」が含まれていると、デスクトップはその"
                         "場所を読み違えます。");
    return {};
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
            *error = QCoreApplication::translate(
                "Autostart", "プログラムの場所に改行などの制御文字が含まれているため、"
                             "ログイン時に起動するように設定できません。");
        return false;
    }
    // The entry carries both languages; the desktop shows the one it speaks.
    QString entry = QStringLiteral("[Desktop Entry]\n"
                                   "Type=Application\n"
                                   "Name=Mofurin\n"
                                   "Name[ja]=もふりん\n" // untranslated: the file's Japanese name
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

bool StartsProgram(const QByteArray& text, const QByteArray& programPath, QString* why)
{
    const auto refuse = [why](const QString& reason) {
        if (why)
            *why = reason;
        return false;
    };
    const auto shown = [](const QByteArray& path) { return QString::fromUtf8(path); };
    const std::optional<DesktopEntryReader::Command> command = DesktopEntryReader::Read(text);
    if (!command)
        return refuse(
            QCoreApplication::translate("Autostart", "起動するコマンド(Exec)が読み取れません。"));
    for (const QByteArray& program : {command->checkedProgram, command->startedProgram}) {
        if (!IsExecutableFile(program))
            return refuse(QCoreApplication::translate("Autostart",
                                                      "起動するプログラム「%1」が見つかりません。")
                              .arg(shown(program)));
    }
    if (!SameFile(command->startedProgram, programPath))
        return refuse(QCoreApplication::translate(
                          "Autostart", "起動するプログラム「%1」が、このプログラムではありません。")
                          .arg(shown(command->startedProgram)));
    if (!command->tryExec.isEmpty() && !IsExecutableFile(command->tryExec))
        return refuse(QCoreApplication::translate(
                          "Autostart", "確かめるプログラム(TryExec)「%1」が見つかりません。")
                          .arg(shown(command->tryExec)));
    if (!command->workingFolder.isEmpty() && !IsFolder(command->workingFolder))
        return refuse(
            QCoreApplication::translate("Autostart", "作業フォルダー「%1」が見つかりません。")
                .arg(shown(command->workingFolder)));
    return true;
}

bool WriteEntry(const QString& entryPath, const QString& executable, const QString& workingFolder,
                const QByteArray& programPath, QString* error)
{
    QByteArray text;
    if (!EntryText(executable, workingFolder, text, error))
        return false;
    if (!SettingsIo::WriteFileAtomically(entryPath, text, SettingsIo::NewFileMode::Normal, error))
        return false;
    // What counts is what the desktop will read at login: the file as it is now on disk.
    QByteArray written;
    QString why = QCoreApplication::translate("Autostart", "書き込んだ項目を読み返せません。");
    if (SettingsIo::ReadSettingsFile(entryPath, MaxEntryBytes, written) ==
            SettingsIo::ReadStatus::Ok &&
        StartsProgram(written, programPath, &why))
        return true;
    QFile::remove(entryPath);
    if (error)
        *error = QCoreApplication::translate(
                     "Autostart", "ログイン時に起動する項目を書きましたが、デスクトップがこの"
                                  "プログラムを起動できない内容になるため、取り消しました。\n") +
                 why + CauseInPath(programPath);
    return false;
}

bool IsOn()
{
    return QFileInfo(EntryPath()).isFile();
}

bool TurnOn(QString* error)
{
    // A copy that keeps vbmail.ini in the current directory starts where it was started now.
    const QString workingFolder = ProgramFolderWritable() ? QDir::currentPath() : QString();
    const QString path = EntryPath();
    const QString folder = QFileInfo(path).path();
    if (!QDir().mkpath(folder)) {
        if (error)
            *error = QCoreApplication::translate("Autostart", "フォルダー「%1」を作成できません。")
                         .arg(folder);
        return false;
    }
    return WriteEntry(path, QCoreApplication::applicationFilePath(), workingFolder,
                      RunningProgramPath(), error);
}

bool TurnOff(QString* error)
{
    const QString path = EntryPath();
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return true;
    if (info.isDir() || !QFile::remove(path)) {
        if (error)
            *error = QCoreApplication::translate("Autostart", "「%1」を削除できません。").arg(path);
        return false;
    }
    return true;
}

} // namespace Autostart
