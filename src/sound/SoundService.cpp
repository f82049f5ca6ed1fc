#include "sound/SoundService.h"

#include "platform/Services.h"
#include "sound/AudioOutputService.h"

#include <QCoreApplication>

namespace {

AudioOutputService* g_realService = nullptr;

// The audio thread ends with the application object, while Qt Multimedia still works; the
// service object itself stays (empty) until the process ends, so no late caller finds it gone.
void StopAudioThread()
{
    delete g_realService;
    g_realService = nullptr;
}

AudioOutputService& RealService()
{
    if (g_realService == nullptr) {
        g_realService = new AudioOutputService;
        qAddPostRoutine(StopAudioThread);
    }
    return *g_realService;
}

} // namespace

SoundService& DefaultSoundService()
{
    if (SoundService* service = CurrentServices().sound)
        return *service;
    return RealService();
}

void PrepareSound()
{
    if (CurrentServices().sound == nullptr)
        RealService().prepare();
}
