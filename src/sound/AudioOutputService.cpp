#include "sound/AudioOutputService.h"

#include "sound/AudioEngine.h"
#include "sound/SoundFlags.h"
#include "sound/WaveDecoder.h"

#include <QMetaObject>
#include <chrono>

namespace {

// The longest a request waits for the audio thread to take it. A sound server that does not
// answer in this time counts as missing.
constexpr auto AnswerTimeout = std::chrono::milliseconds(1000);
// A synchronous play waits for the sound's length plus this much before it gives up.
constexpr auto EndMargin = std::chrono::milliseconds(2000);
// A synchronous play also gives up when the output has taken no samples of its sound for this
// long: the sound server stopped answering in the middle of the sound.
constexpr auto StallTimeout = std::chrono::milliseconds(1000);

// Waits until field is set or the deadline passes; on time-out the request is abandoned so the
// audio thread drops it. Returns the field's value, false on time-out.
bool WaitFor(SoundRequest& request, std::optional<bool> SoundRequest::*field,
             std::chrono::steady_clock::time_point deadline)
{
    std::unique_lock lock(request.mutex);
    if (!request.changed.wait_until(lock, deadline, [&] { return (request.*field).has_value(); })) {
        request.abandoned = true;
        return false;
    }
    return *(request.*field);
}

// Waits until the sound has ended, the deadline has passed or the output has stalled; on
// time-out or stall the request is abandoned. Returns whether the sound played to its end.
bool WaitForEnd(SoundRequest& request, std::chrono::steady_clock::time_point deadline)
{
    using Clock = std::chrono::steady_clock;
    request.progress = Clock::now().time_since_epoch().count();
    std::unique_lock lock(request.mutex);
    for (;;) {
        const auto now = Clock::now();
        const Clock::time_point lastProgress{Clock::duration(request.progress.load())};
        if (now >= deadline || now - lastProgress > StallTimeout) {
            request.abandoned = true;
            return false;
        }
        if (request.changed.wait_for(lock, std::chrono::milliseconds(50),
                                     [&] { return request.finished.has_value(); }))
            return *request.finished;
    }
}

} // namespace

AudioOutputService::AudioOutputService()
{
    m_thread.setObjectName(QStringLiteral("Mofurin sound"));
    m_engine = new AudioEngine;
    m_engine->moveToThread(&m_thread);
    QObject::connect(&m_thread, &QThread::finished, m_engine, &QObject::deleteLater);
    m_thread.start();
}

AudioOutputService::~AudioOutputService()
{
    m_thread.quit();
    // A sound server that hangs must not hang the program's exit as well.
    if (!m_thread.wait(2000))
        m_thread.terminate();
    m_thread.wait(1000);
}

void AudioOutputService::prepare()
{
    QMetaObject::invokeMethod(
        m_engine, [engine = m_engine] { engine->prepare(); }, Qt::QueuedConnection);
}

bool AudioOutputService::PlaySound(const char* name, QByteArrayView memory, uint32_t flags)
{
    const bool fromMemory = (flags & SND_MEMORY) != 0;
    if ((flags & SND_PURGE) != 0 || (name == nullptr && !fromMemory)) {
        // Stop every sound; waits (bounded) so that the stop has happened when the call returns.
        auto request = std::make_shared<SoundRequest>();
        QMetaObject::invokeMethod(
            m_engine,
            [engine = m_engine, request] {
                engine->stopAll();
                request->setAccepted(true);
            },
            Qt::QueuedConnection);
        return WaitFor(*request, &SoundRequest::accepted,
                       std::chrono::steady_clock::now() + AnswerTimeout);
    }

    const bool async = (flags & SND_ASYNC) != 0;
    const bool loop = (flags & SND_LOOP) != 0;
    // A loop only ends when stopped, which a blocked caller could never do.
    if (loop && !async)
        return false;

    // Decoding starts here, on the caller's thread: a missing or broken file is answered at
    // once, and the audio thread never touches the caller's memory. There is no default sound
    // to fall back to, so a sound that cannot be found is silent and the request fails,
    // whether or not SND_NODEFAULT is given.
    std::unique_ptr<WaveDecoder> decoder;
    if (fromMemory)
        decoder = WaveDecoder::OpenMemory(QByteArray(memory.data(), memory.size()));
    else
        decoder = WaveDecoder::OpenFile(name);
    if (!decoder)
        return false;

    auto voice = std::make_shared<SoundVoice>(std::move(decoder), loop);
    const auto length = std::chrono::milliseconds(voice->durationMs());
    auto request = std::make_shared<SoundRequest>();
    const bool noStop = (flags & SND_NOSTOP) != 0;
    QMetaObject::invokeMethod(
        m_engine,
        [engine = m_engine, voice, noStop, request] { engine->play(voice, noStop, request); },
        Qt::QueuedConnection);
    const auto start = std::chrono::steady_clock::now();
    if (!WaitFor(*request, &SoundRequest::accepted, start + AnswerTimeout))
        return false;
    if (async)
        return true;
    return WaitForEnd(*request, start + AnswerTimeout + length + EndMargin);
}
