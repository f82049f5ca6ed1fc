#pragma once

#include "sound/SoundService.h"

#include <QThread>
#include <memory>

class AudioEngine;

// The sound service on the desktop's sound server: Qt Multimedia's QAudioSink, driven from a
// thread of its own so that a synchronous play can block the caller while the audio keeps
// flowing, and WAV decoding by libsndfile.
//
// The first connection to the sound server takes a long time, so PrepareSound makes it when a
// sound becomes likely; the connection is then kept. A stream is open only while a sound plays
// (opening one on the kept connection is quick), so that an idle program costs nothing.
//
// Every wait for the audio thread has a time-out: with no sound server, no device, or a server
// that went away, a request fails within a second; the next request tries a fresh stream.
class AudioOutputService final : public SoundService
{
public:
    AudioOutputService();
    ~AudioOutputService() override;
    AudioOutputService(const AudioOutputService&) = delete;
    AudioOutputService& operator=(const AudioOutputService&) = delete;

    bool PlaySound(const char* name, QByteArrayView memory, uint32_t flags) override;

    // Opens the output stream in the background, without waiting for it.
    void prepare() override;

private:
    QThread m_thread;
    AudioEngine* m_engine = nullptr; // Lives on m_thread; deleted there when the thread ends.
};
