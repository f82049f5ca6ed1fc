#pragma once

#include <QString>

// Where the settings live. A copy whose program folder its user can write (the build folder, a
// copied folder) keeps them where the program always kept them: the two profile files in the
// ★MailData folder beside the executable, which the program never creates, and the server file
// named relative to the current directory. An installed copy, whose program folder belongs to
// the system, keeps the same files per user in $XDG_CONFIG_HOME/mofurin (~/.config/mofurin by
// default), and makes that folder and its ★MailData folder, readable by the user only, the first
// time it looks for a file there.
QString OptionsFilePath(); // ★MailData/ini.ini: the hang-up flag
QString AccountFilePath(); // ★MailData/iniIdPass.ini: user ID, password
QString ServerFilePath();  // vbmail.ini
// Beside the options file: per mail server, whether it spoke TLS and the certificate its user
// trusts.
QString ServerTrustFilePath(); // ★MailData/tls.ini
QString MailDataFolderPath();  // the ★MailData folder: what the mail check remembers

// The one section of both profile files.
inline const QString ProfileSection = QStringLiteral("EXEINI");

// Every mail check reads NAME and NAME2 through a buffer of this many bytes, one of them for the
// terminating NUL, so a stored value may take at most 255 bytes.
inline constexpr int AccountReadBuffer = 256;

struct SettingsPlaces
{
    QString ServerFile;    // vbmail.ini; a bare name for a copy that keeps its settings beside it
    QString DataFolder;    // the ★MailData folder, without a trailing separator
    QString PerUserFolder; // the per-user mofurin folder; empty when the settings are not per user

    bool operator==(const SettingsPlaces&) const = default;
};

// The decision, on plain values: programFolder as ProgramFolder() gives it, whether its user can
// write it, and the environment's XDG_CONFIG_HOME and HOME (see ConfigHome).
SettingsPlaces ChooseSettingsPlaces(const QString& programFolder, bool programFolderWritable,
                                    const QString& xdgConfigHome, const QString& home);

// The user's configuration folder: xdgConfigHome when it is an absolute path, else
// home/.config, as the XDG base directory rules ask.
QString ConfigHome(const QString& xdgConfigHome, const QString& home);

// The places of this process.
SettingsPlaces CurrentSettingsPlaces();

// Makes the missing folders of per-user places, each readable by its owner only (0700): the
// configuration folder itself, mofurin in it and ★MailData in that. A folder that exists keeps
// its mode. Nothing to do, and true, for places beside the program. False when a folder could
// not be made (the files in it then fail to save, with the dialogs' error box).
bool MakePerUserFolders(const SettingsPlaces& places);
