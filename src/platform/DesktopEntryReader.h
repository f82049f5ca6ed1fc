#pragma once

#include <QByteArray>
#include <QList>
#include <optional>

// What the desktop makes of a desktop entry's command, read the way GLib reads it (GLib's
// reader starts the autostart entries of GNOME, Xfce and most other sessions):
//
// - the [Desktop Entry] group's values by the key-file rules: blanks before a value are
//   dropped, \s \n \t \r and \\ are unescaped, and any other escape makes the value unreadable;
// - Exec split into words the way a shell would (g_shell_parse_argv): blanks part words, '...'
//   keeps everything, "..." keeps everything but \$ \` \" \\ and a backslash-newline, and a
//   backslash outside quotes keeps the next character;
// - the % codes of Exec (%% for a literal %) expanded before the split when the program is
//   started, but not when the desktop first looks for the program the entry names.
//
// Bytes in, bytes out: the paths are the file system's own bytes.
namespace DesktopEntryReader {

struct Command
{
    QByteArray checkedProgram; // Exec's first word as the desktop looks for it on loading
    QByteArray startedProgram; // the program it starts
    QList<QByteArray> started; // the whole command it starts, the program first
    QByteArray tryExec;        // empty: no TryExec
    QByteArray workingFolder;  // Path; empty: none
};

// Nothing when the entry has no Exec the desktop can read or split into at least one word.
std::optional<Command> Read(const QByteArray& text);

// A command line written as Exec is (a user's own command, say), split into the program and
// its arguments as the desktop starts it, without a shell; nothing when it holds no word or
// an unclosed quote.
std::optional<QList<QByteArray>> SplitCommand(const QByteArray& line);

} // namespace DesktopEntryReader
