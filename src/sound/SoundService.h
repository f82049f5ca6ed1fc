#pragma once

#include <QByteArrayView>
#include <cstdint>

// The platform's sound service: what the sound routine asks of the operating system. It offers
// three operations, chosen by the flag word (sound/SoundFlags.h):
//   - play from a file name: name is a NUL-terminated file name in the local 8-bit encoding,
//     flags include SND_FILENAME;
//   - play from a memory image: memory holds a complete WAV file, flags include SND_MEMORY;
//   - stop all of the program's sounds: name is null and flags include SND_PURGE.
// The answer is true when the request was carried out (for a synchronous play: the sound
// played to its end), false when it was refused or failed. Calls come from one thread.
class SoundService
{
public:
    virtual ~SoundService() = default;
    virtual bool PlaySound(const char* name, QByteArrayView memory, uint32_t flags) = 0;
    // Connects to the sound server ahead of a likely sound, without waiting for it.
    virtual void prepare() {}
};

// The one the services in use (platform/Services.h) name, else the sound module beside the
// executable (sound/SoundOutputModule.h), loaded on first use.
SoundService& DefaultSoundService();

// Connects to the sound server ahead of a sound that is likely soon (the bar or the notice
// opened), so that the first meow starts at once instead of waiting for the connection.
// Returns at once; harmless to call more than once or with no sound server.
void PrepareSound();
