#include "sound/PlayWave.h"

#include "sound/SoundFlags.h"
#include "sound/SoundService.h"
#include "sound/WaveFileReader.h"

#include <QFile>

namespace {

// The service copies what it plays before it answers, so replacing the buffer can never change
// a sound that is still playing (a refused request still refills it, as the routine always
// did, but the loop that refused it plays on unharmed).
QByteArray& WritableSoundBuffer()
{
    static QByteArray buffer;
    return buffer;
}

// The flag word of a play from memory and of a play from a file name, before the async and
// loop bits.
constexpr uint32_t MemoryFlags = SND_NOWAIT | SND_NOSTOP | SND_MEMORY | SND_NODEFAULT;
constexpr uint32_t FileNameFlags = SND_FILENAME | SND_NOWAIT | SND_NOSTOP | SND_NODEFAULT;
static_assert(MemoryFlags == 8214 && FileNameFlags == 139282 && SND_PURGE == 64);

} // namespace

const QByteArray& SoundBuffer()
{
    return WritableSoundBuffer();
}

int32_t PlayWave(QString FilePath, qint16 Synchronous, qint16 Looping, qint16 InMemory,
                 qint16 StopFirst)
{
    // 1. A private copy: nothing the caller does later changes the request.
    const QString path = FilePath;
    SoundService& service = DefaultSoundService();

    // 2. Stop every sound first; whether that worked does not change what follows.
    if (StopFirst != 0)
        service.PlaySound(nullptr, QByteArrayView(), SND_PURGE);

    // 3. A synchronous loop would never return: refused before the file is touched.
    if (Synchronous != 0 && Looping != 0)
        return 2;

    uint32_t flags = 0;
    if (InMemory != 0) {
        switch (ReadWaveFile(path, MaxInMemoryWaveBytes, WritableSoundBuffer())) {
        case WaveFileRead::Ok:
            break;
        case WaveFileRead::TooLarge:
            return 1;
        case WaveFileRead::Failed:
            return 3;
        }
        flags = MemoryFlags;
    } else {
        flags = FileNameFlags;
    }
    if (Synchronous == 0)
        flags |= SND_ASYNC;
    if (Looping != 0)
        flags |= SND_LOOP;

    bool accepted = false;
    if (InMemory != 0) {
        accepted = service.PlaySound(nullptr, QByteArrayView(WritableSoundBuffer()), flags);
    } else {
        // The narrow form of the name is the file system's own encoding, which is what opening
        // the file needs; a NUL in the path ends the name, as in any C file name.
        const QByteArray name = QFile::encodeName(path);
        accepted = service.PlaySound(name.constData(), QByteArrayView(), flags);
    }
    return accepted ? 0 : 4;
}
