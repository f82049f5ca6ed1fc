#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>

// Plays the WAV file FilePath once or in a loop, synchronously or in the background, from its
// name or after reading it whole into the process-wide sound buffer; or, with StopFirst, stops
// every sound of the program first. Options are 0 for off and any other value for on.
// Result: 0 accepted; 1 in-memory file larger than 2,097,152 bytes; 2 synchronous together
// with loop; 3 the file could not be opened, measured or read, or the request could not be
// prepared; 4 the sound service refused or failed.
int32_t PlayWave(QString FilePath, qint16 Synchronous, qint16 Looping, qint16 InMemory,
                 qint16 StopFirst);

// The largest file that in-memory playback reads.
inline constexpr qint64 MaxInMemoryWaveBytes = 0x200000;

// The process-wide sound buffer: the complete image of the last file read for in-memory
// playback. It lives until the program ends.
const QByteArray& SoundBuffer();
