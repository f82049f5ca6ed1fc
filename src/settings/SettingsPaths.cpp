#include "settings/SettingsPaths.h"

#include "platform/ProgramFolder.h"

#include <QDir>
#include <QFileInfo>

namespace {

const QString DataFolderName = QStringLiteral("★MailData"); // untranslated: a folder name
const QString ServerFileName = QStringLiteral("vbmail.ini");

// The places with their folders made, as every caller needs them.
SettingsPlaces readyPlaces()
{
    SettingsPlaces places = CurrentSettingsPlaces();
    MakePerUserFolders(places);
    return places;
}

bool makeOwnerOnlyFolder(const QString& path)
{
    if (QFileInfo(path).isDir())
        return true;
    return QDir().mkdir(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

} // namespace

SettingsPlaces ChooseSettingsPlaces(const QString& programFolder, bool programFolderWritable,
                                    const QString& xdgConfigHome, const QString& home)
{
    if (programFolderWritable) {
        // Plain concatenation, as every path under the program folder is formed.
        return {ServerFileName,
                ProgramPath(programFolder, u"\\★MailData"), // untranslated: a folder
                QString()};
    }
    const QString perUser =
        QDir::cleanPath(ConfigHome(xdgConfigHome, home) + QStringLiteral("/mofurin"));
    return {perUser + QLatin1Char('/') + ServerFileName,
            perUser + QLatin1Char('/') + DataFolderName, perUser};
}

QString ConfigHome(const QString& xdgConfigHome, const QString& home)
{
    return !xdgConfigHome.isEmpty() && QDir::isAbsolutePath(xdgConfigHome)
               ? QDir::cleanPath(xdgConfigHome)
               : QDir::cleanPath(home + QStringLiteral("/.config"));
}

SettingsPlaces CurrentSettingsPlaces()
{
    return ChooseSettingsPlaces(ProgramFolder(), ProgramFolderWritable(),
                                qEnvironmentVariable("XDG_CONFIG_HOME"), QDir::homePath());
}

bool MakePerUserFolders(const SettingsPlaces& places)
{
    if (places.PerUserFolder.isEmpty())
        return true;
    const QString configHome = QFileInfo(places.PerUserFolder).path();
    return makeOwnerOnlyFolder(configHome) && makeOwnerOnlyFolder(places.PerUserFolder) &&
           makeOwnerOnlyFolder(places.DataFolder);
}

QString OptionsFilePath()
{
    return readyPlaces().DataFolder + QStringLiteral("/ini.ini");
}

QString AccountFilePath()
{
    return readyPlaces().DataFolder + QStringLiteral("/iniIdPass.ini");
}

QString ServerTrustFilePath()
{
    return readyPlaces().DataFolder + QStringLiteral("/tls.ini");
}

QString MailDataFolderPath()
{
    return readyPlaces().DataFolder;
}

QString ServerFilePath()
{
    // Beside the program this is a bare relative name, resolved against whatever the current
    // directory is at each use.
    return readyPlaces().ServerFile;
}
