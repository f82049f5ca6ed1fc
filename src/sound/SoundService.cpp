#include "sound/SoundService.h"

#include "sound/AudioOutputService.h"

#include <QCoreApplication>

namespace {

SoundService* g_testService = nullptr;
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
    if (g_testService != nullptr)
        return *g_testService;
    return RealService();
}

void SetSoundServiceForTesting(SoundService* service)
{
    g_testService = service;
}

void PrepareSound()
{
    if (g_testService == nullptr)
        RealService().prepare();
}
