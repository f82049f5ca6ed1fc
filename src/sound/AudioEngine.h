#pragma once

#include "sound/SoundVoice.h"

#include <QAudioFormat>
#include <QBasicTimer>
#include <QObject>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>

class QAudioSink;
class SoundGenerator;

// What the caller's thread and the audio thread share about one play request: the caller
// waits (with a time-out) for the answer and, for a synchronous play, for the end.
struct SoundRequest
{
    std::mutex mutex;
    std::condition_variable changed;
    std::optional<bool> accepted; // set once by the audio thread
    std::optional<bool> finished; // set once: true played to the end, false failed or stopped
    bool abandoned = false;       // the caller stopped waiting; the audio thread drops it
    // When the output last took samples of this sound (steady clock, nanoseconds); a
    // synchronous caller gives up when it stops moving.
    std::atomic<std::chrono::steady_clock::rep> progress = 0;

    void setAccepted(bool value);
    void setFinished(bool value);
};

// The audio side of the service. It lives on the service's thread and is only called there
// (through queued calls), so its members need no locks.
class AudioEngine final : public QObject
{
public:
    AudioEngine();
    ~AudioEngine() override;

    // Starts voice if the output works and (with noStop) nothing else plays.
    void play(std::shared_ptr<SoundVoice> voice, bool noStop,
              std::shared_ptr<SoundRequest> request);
    void stopAll();
    // Connects to the sound server ahead of the first sound (opening a stream, closed again
    // shortly).
    void prepare();

    // Called by the generator on the audio thread: renders the playing voice (silence when
    // there is none) as interleaved floats of the output format.
    void render(float* out, qsizetype frames);

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    bool ensureOutput();
    void dropOutput();
    void finishVoice(bool played);
    void onStateChanged();

    QAudioSink* m_sink = nullptr;          // Owned; parented to this engine.
    SoundGenerator* m_generator = nullptr; // Owned; parented to this engine.
    QAudioFormat m_format;
    std::shared_ptr<SoundVoice> m_voice;
    std::shared_ptr<SoundRequest> m_request; // the playing voice's request
    bool m_draining = false;                 // the voice has ended; its tail is in the sink
    // When the sink last pulled samples. A running sink pulls every few milliseconds; one that
    // has not for a while sits on a sound server that no longer answers.
    std::chrono::steady_clock::time_point m_lastPull;
    QBasicTimer m_drainTimer;
    QBasicTimer m_idleTimer;
};
