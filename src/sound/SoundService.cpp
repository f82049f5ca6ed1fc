#include "sound/SoundService.h"

#include "platform/Services.h"
#include "sound/SoundOutputModule.h"

#include <QCoreApplication>

namespace {

SoundOutputModule* g_default = nullptr;

// The sound output ends with the application object, while Qt Multimedia still works.
void EndDefaultOutput()
{
    delete g_default;
    g_default = nullptr;
}

} // namespace

SoundService& DefaultSoundService()
{
    if (SoundService* service = CurrentServices().sound)
        return *service;
    if (g_default == nullptr) {
        QString folder = CurrentServices().programFolder;
        if (folder.isEmpty())
            folder = QCoreApplication::applicationDirPath();
        g_default = new SoundOutputModule(folder);
        qAddPostRoutine(EndDefaultOutput);
    }
    return *g_default;
}

void PrepareSound()
{
    DefaultSoundService().prepare();
}
