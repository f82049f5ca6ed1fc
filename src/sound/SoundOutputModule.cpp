#include "sound/SoundOutputModule.h"

#include "sound/SoundFlags.h"

#include <QCoreApplication>
#include <QDir>
#include <cstdio>

SoundOutputModule::SoundOutputModule(const QString& programFolder)
    : m_library(QDir(programFolder).filePath(QStringLiteral("mofurin-sound")))
{
}

SoundOutputModule::~SoundOutputModule()
{
    // Ends the output's audio thread while Qt Multimedia still works. The module itself stays
    // loaded until the process ends: Qt may still hold pointers into it.
    delete m_output;
}

SoundService* SoundOutputModule::output()
{
    if (m_tried)
        return m_output;
    m_tried = true;
    using Make = SoundService* (*)();
    if (auto make = reinterpret_cast<Make>(m_library.resolve(EntryPoint)))
        m_output = make();
    else
        std::fprintf(stderr, "%s\n",
                     qUtf8Printable(QCoreApplication::translate(
                                        "SoundOutputModule", "音を鳴らす部品を読み込めません: %1")
                                        .arg(m_library.errorString())));
    return m_output;
}

bool SoundOutputModule::PlaySound(const char* name, QByteArrayView memory, uint32_t flags)
{
    // Nothing sounds before the module is loaded, so stopping needs no module.
    const bool stop = (flags & SND_PURGE) != 0 || (name == nullptr && (flags & SND_MEMORY) == 0);
    if (stop && !m_tried)
        return true;
    SoundService* sound = output();
    return sound != nullptr && sound->PlaySound(name, memory, flags);
}

void SoundOutputModule::prepare()
{
    if (SoundService* sound = output())
        sound->prepare();
}
