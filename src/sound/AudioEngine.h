#pragma once

#include "sound/SoundVoice.h"

#include <QAudioFormat>
#include <QBasicTimer>
#include <QByteArray>
#include <QObject>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

class QAudioSink;
class QIODevice;

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

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    bool ensureOutput();
    void dropOutput();
    // Whether samples have waited in the stream too long; notes when the server last took some.
    bool stuck();
    // Writes as much of the playing voice as the stream can take.
    void feed();
    void finishVoice(bool played);
    void onStateChanged();

    QAudioSink* m_sink = nullptr;  // Parented to this engine, as are the sinks it replaced.
    QByteArray m_deviceId;         // The sink's device
    QAudioFormat m_format;         // and format.
    QIODevice* m_output = nullptr; // The sink's open stream; null when it has none.
    std::shared_ptr<SoundVoice> m_voice;
    std::shared_ptr<SoundRequest> m_request; // the playing voice's request
    bool m_draining = false;                 // the voice has ended; its tail is in the sink
    std::vector<float> m_mix;
    QByteArray m_samples;
    // What the sink could take at the last look, and when the server last took samples from
    // it. Samples that wait for long sit on a sound server that no longer answers.
    qsizetype m_lastFree = 0;
    std::chrono::steady_clock::time_point m_lastTaken;
    QBasicTimer m_feedTimer;
    QBasicTimer m_drainTimer;
    QBasicTimer m_idleTimer;
};
