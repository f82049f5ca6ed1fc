#pragma once

#include <QByteArray>
#include <QString>

// Starting the kitten at login, the XDG Autostart way: a desktop entry named mofurin.desktop in
// the autostart folder of the user's configuration folder. The option is on exactly while that
// file exists, so turning it off by hand (or in the desktop's own settings) is seen too.
namespace Autostart {

// $XDG_CONFIG_HOME/autostart/mofurin.desktop (~/.config when XDG_CONFIG_HOME is not usable).
QString EntryPath(const QString& xdgConfigHome, const QString& home);
QString EntryPath();

// The entry that starts the executable at login. workingFolder, when not empty, becomes the
// entry's working folder: a copy that keeps vbmail.ini in the folder it is started from needs
// to start there. False, with error in Japanese, when a path holds a control character, which
// a desktop entry cannot carry.
bool EntryText(const QString& executable, const QString& workingFolder, QByteArray& text,
               QString* error = nullptr);

// Whether the desktop, reading the entry's text as it does (see DesktopEntryReader.h), starts
// the program file at programPath (its path as the file system's bytes): Exec must name an
// existing executable file both as the desktop looks for it and as it starts it, and the
// started one must be that program; TryExec, when there is one, must name an executable file,
// and Path an existing folder. False, with why in Japanese, otherwise.
bool StartsProgram(const QByteArray& text, const QByteArray& programPath, QString* why = nullptr);

// Writes the entry that starts executable (the program file at programPath) into entryPath,
// which the desktop reads at login, then reads it back from there and removes it again when the
// desktop would not start that program with it. False, with error in Japanese, when nothing
// usable was written; no entry is then left at entryPath.
bool WriteEntry(const QString& entryPath, const QString& executable, const QString& workingFolder,
                const QByteArray& programPath, QString* error = nullptr);

bool IsOn();

// Writes the entry for this copy (making the autostart folder when needed), or removes it.
// False, with error in Japanese, when the file cannot be written or removed (it is then as it
// was), or when the written entry would not start this copy (it is then removed).
bool TurnOn(QString* error = nullptr);
bool TurnOff(QString* error = nullptr);

} // namespace Autostart
