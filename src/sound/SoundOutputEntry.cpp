// The entry point of the sound module (mofurin-sound), which SoundOutputModule loads.
#include "sound/AudioOutputService.h"

#include <QtGlobal>

extern "C" Q_DECL_EXPORT SoundService* mofurinMakeSoundOutput()
{
    return new AudioOutputService;
}
