#pragma once

#include <QByteArray>
#include <QString>

// The thin layer between the settings readers, which work on bytes, and the file system.
namespace SettingsIo {

enum class ReadStatus
{
    Ok,        // the whole file is in the buffer
    Truncated, // the file is longer than the limit; the buffer holds its first part
    Missing,   // no such file, or something other than a regular file (a folder, a pipe)
    Failed,    // the file is there but could not be read
};

// Reads a regular file up to limit bytes. Only regular files (or links to one) count, so that a
// folder or a named pipe at the path never blocks or errors the caller.
ReadStatus ReadSettingsFile(const QString& path, qint64 limit, QByteArray& bytes);

enum class NewFileMode
{
    Normal,    // a new file gets the usual permissions (0666 less the umask)
    OwnerOnly, // a new file is readable and writable by its owner only (0600)
};

// Replaces the file at path with bytes so that it holds either its old or its new content, never
// a mix: the bytes go into a hidden temporary file beside it, are flushed to disk and then renamed
// over the old file. The temporary file is readable by its owner only until it is complete, and
// the temporary files an earlier write of the same file left behind (the process ended before
// its rename) are removed. An existing file keeps its permissions (and its owner where the process
// may keep it); a link is followed and the file it names is replaced. Every byte is checked: a
// short write (a full disk) fails the whole write. The folder must exist; it is never created.
// Something other than a regular file at the path is a failure. On failure the old file is
// untouched and error (when given) says why, in Japanese.
bool WriteFileAtomically(const QString& path, const QByteArray& bytes, NewFileMode mode,
                         QString* error = nullptr);

} // namespace SettingsIo
