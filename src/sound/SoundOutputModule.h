#pragma once

#include "sound/SoundService.h"

#include <QLibrary>
#include <QString>

// The sound service on the desktop's sound server, kept in a module of its own (Qt Multimedia,
// the sound server's client and libsndfile with its codecs) that is loaded into the process
// the first time a sound becomes likely. A kitten that never meows never loads it, and the
// start-up does not pay for linking it.
//
// The module lives in the program folder. When it cannot be loaded (a broken installation, or
// Qt Multimedia missing) every request fails, as with no sound server, and the reason is said
// once on standard error.
class SoundOutputModule final : public SoundService
{
public:
    // programFolder: the folder that holds the executable and the module.
    explicit SoundOutputModule(const QString& programFolder);
    ~SoundOutputModule() override;
    SoundOutputModule(const SoundOutputModule&) = delete;
    SoundOutputModule& operator=(const SoundOutputModule&) = delete;

    bool PlaySound(const char* name, QByteArrayView memory, uint32_t flags) override;
    void prepare() override;

    // The entry point the module exports: makes the sound output, owned by the caller.
    static constexpr const char* EntryPoint = "mofurinMakeSoundOutput";

private:
    SoundService* output();

    QLibrary m_library;
    SoundService* m_output = nullptr;
    bool m_tried = false;
};
