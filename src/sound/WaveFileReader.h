#pragma once

#include <QByteArray>
#include <QString>

// Reads a sound file whole for in-memory playback, refusing what cannot be a sound file
// instead of blocking on it: only a regular file is read, and it is opened without waiting so
// that a FIFO or a device given as the sound cannot hang the caller.
enum class WaveFileRead
{
    Ok,
    TooLarge, // longer than the limit: closed unread, the buffer untouched
    Failed,   // missing, not a regular file, unreadable, empty, or changed while read
};

// Opens path (never creating it), measures it and, when it is at most maxBytes long, replaces
// buffer with exactly its bytes. buffer keeps its old contents on TooLarge and on every failure
// found before the read; after a failed read it is empty.
WaveFileRead ReadWaveFile(const QString& path, qint64 maxBytes, QByteArray& buffer);
