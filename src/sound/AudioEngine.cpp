#include "sound/AudioEngine.h"

#include <QAudioDevice>
#include <QAudioSink>
#include <QIODevice>
#include <QMediaDevices>
#include <QTimerEvent>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

// How much audio the sink holds ahead of the speaker. New sounds queue behind it, and a stop
// lets it play out, so it is kept short.
constexpr int SinkBufferMs = 30;
// A stream keeps the sound server's client thread busy even while paused, so it is open only
// while there is sound: it is closed this long after a sound ends (its last samples are heard by
// then). Opening a fresh stream on a sound server the program is already connected to takes a
// few milliseconds, less than a paused stream takes to play out what it still holds; only the
// first connection is slow, and PrepareSound makes it ahead of time.
constexpr int IdleCloseMs = 100;
// A running stream that has not pulled samples for this long is stuck: the sound server is
// there but does not answer. New sounds are refused instead of being queued where nobody hears
// them.
constexpr auto StuckAfter = std::chrono::milliseconds(500);

} // namespace

// The stream's data source: pulled by the sink on the audio thread, it renders the engine's
// voice converted to the sink's sample format. It never runs dry, so the stream stays active.
class SoundGenerator final : public QIODevice
{
public:
    SoundGenerator(AudioEngine* engine, const QAudioFormat& format, QObject* parent)
        : QIODevice(parent), m_engine(engine), m_format(format)
    {
    }

    qint64 bytesAvailable() const override { return 1 << 20; }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        const int frameBytes = m_format.bytesPerFrame();
        if (frameBytes <= 0)
            return 0;
        const qsizetype frames = static_cast<qsizetype>(maxSize / frameBytes);
        const int channels = m_format.channelCount();
        m_mix.assign(static_cast<size_t>(frames * channels), 0.0f);
        m_engine->render(m_mix.data(), frames);
        const qsizetype samples = frames * channels;
        switch (m_format.sampleFormat()) {
        case QAudioFormat::Float:
            for (qsizetype i = 0; i < samples; ++i) {
                const float v = std::clamp(m_mix[i], -1.0f, 1.0f);
                std::memcpy(data + i * 4, &v, 4);
            }
            break;
        case QAudioFormat::Int32:
            for (qsizetype i = 0; i < samples; ++i) {
                const auto v = static_cast<qint32>(
                    std::lrint(std::clamp(m_mix[i], -1.0f, 1.0f) * 2147483520.0));
                std::memcpy(data + i * 4, &v, 4);
            }
            break;
        case QAudioFormat::UInt8:
            for (qsizetype i = 0; i < samples; ++i)
                data[i] = static_cast<char>(static_cast<quint8>(
                    std::lrint(std::clamp(m_mix[i], -1.0f, 1.0f) * 127.0f) + 128));
            break;
        default: // Int16
            for (qsizetype i = 0; i < samples; ++i) {
                const auto v =
                    static_cast<qint16>(std::lrint(std::clamp(m_mix[i], -1.0f, 1.0f) * 32767.0f));
                std::memcpy(data + i * 2, &v, 2);
            }
            break;
        }
        return frames * frameBytes;
    }

    qint64 writeData(const char*, qint64) override { return -1; }

private:
    AudioEngine* m_engine; // Owns this generator.
    QAudioFormat m_format;
    std::vector<float> m_mix;
};

void SoundRequest::setAccepted(bool value)
{
    {
        std::lock_guard lock(mutex);
        if (!accepted)
            accepted = value;
    }
    changed.notify_all();
}

void SoundRequest::setFinished(bool value)
{
    {
        std::lock_guard lock(mutex);
        if (!finished)
            finished = value;
    }
    changed.notify_all();
}

AudioEngine::AudioEngine() = default;

AudioEngine::~AudioEngine()
{
    finishVoice(false);
    dropOutput();
}

bool AudioEngine::ensureOutput()
{
    if (m_sink != nullptr && m_sink->state() != QAudio::StoppedState)
        return std::chrono::steady_clock::now() - m_lastPull < StuckAfter;
    dropOutput();
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull())
        return false;

    // Stereo float at the device's own rate when it takes it, so that the server converts
    // nothing; 16-bit integers otherwise.
    QAudioFormat format = device.preferredFormat();
    if (format.sampleRate() <= 0)
        format.setSampleRate(44100);
    format.setChannelCount(std::clamp(format.channelCount(), 1, 2));
    format.setSampleFormat(QAudioFormat::Float);
    if (!device.isFormatSupported(format))
        format.setSampleFormat(QAudioFormat::Int16);

    m_format = format;
    m_generator = new SoundGenerator(this, format, this);
    m_generator->open(QIODevice::ReadOnly);
    m_sink = new QAudioSink(device, format, this);
    m_sink->setBufferSize(format.bytesForDuration(SinkBufferMs * 1000));
    connect(m_sink, &QAudioSink::stateChanged, this, [this] { onStateChanged(); });
    m_sink->start(m_generator);
    // With the server gone, start() reports the stopped state at once, and the state handler
    // has already dropped the sink by the time it returns.
    if (m_sink == nullptr)
        return false;
    if (m_sink->error() != QAudio::NoError || m_sink->state() == QAudio::StoppedState) {
        dropOutput();
        return false;
    }
    m_lastPull = std::chrono::steady_clock::now();
    return true;
}

void AudioEngine::dropOutput()
{
    m_drainTimer.stop();
    m_idleTimer.stop();
    if (m_sink != nullptr) {
        m_sink->disconnect(this);
        m_sink->stop();
        m_sink->deleteLater();
        m_sink = nullptr;
    }
    if (m_generator != nullptr) {
        m_generator->deleteLater();
        m_generator = nullptr;
    }
}

void AudioEngine::onStateChanged()
{
    // The server went away or the device failed: the sound cannot go on, and the next request
    // opens a fresh stream.
    if (m_sink != nullptr && m_sink->state() == QAudio::StoppedState) {
        finishVoice(false);
        dropOutput();
    }
}

void AudioEngine::prepare()
{
    // Connecting to the sound server is the slow part of a first sound; the stream opened for
    // it is closed again soon, the connection stays.
    if (ensureOutput() && !m_voice)
        m_idleTimer.start(IdleCloseMs, this);
}

void AudioEngine::play(std::shared_ptr<SoundVoice> voice, bool noStop,
                       std::shared_ptr<SoundRequest> request)
{
    {
        std::lock_guard lock(request->mutex);
        if (request->abandoned)
            return;
    }
    if (noStop && m_voice) {
        request->setAccepted(false);
        return;
    }
    if (!ensureOutput()) {
        request->setAccepted(false);
        return;
    }
    finishVoice(false);
    m_idleTimer.stop();
    voice->setOutput(m_format.sampleRate(), m_format.channelCount());
    m_voice = std::move(voice);
    m_request = std::move(request);
    m_request->setAccepted(true);
}

void AudioEngine::stopAll()
{
    finishVoice(false);
}

void AudioEngine::finishVoice(bool played)
{
    const bool hadVoice = m_voice != nullptr;
    m_voice.reset();
    m_draining = false;
    m_drainTimer.stop();
    if (m_request) {
        m_request->setFinished(played);
        m_request.reset();
    }
    if (hadVoice && m_sink != nullptr)
        m_idleTimer.start(IdleCloseMs, this);
}

void AudioEngine::render(float* out, qsizetype frames)
{
    m_lastPull = std::chrono::steady_clock::now();
    if (!m_voice || m_draining)
        return;
    if (m_request) {
        // A synchronous caller that gave up has been told the sound failed; it is not heard
        // later either.
        bool abandoned = false;
        {
            std::lock_guard lock(m_request->mutex);
            abandoned = m_request->abandoned;
        }
        if (abandoned) {
            finishVoice(false);
            return;
        }
        m_request->progress = m_lastPull.time_since_epoch().count();
    }
    m_voice->render(out, frames);
    if (m_voice->finished()) {
        // The last samples are in the sink now; the sound ends when they have been heard.
        m_draining = true;
        const int bytesPerSecond = std::max(1, m_format.bytesForDuration(1000000));
        const qint64 queued = m_sink != nullptr ? m_sink->bufferSize() : 0;
        m_drainTimer.start(static_cast<int>(queued * 1000 / bytesPerSecond) + 20, this);
    }
}

void AudioEngine::timerEvent(QTimerEvent* event)
{
    if (event->timerId() == m_drainTimer.timerId()) {
        finishVoice(true);
    } else if (event->timerId() == m_idleTimer.timerId()) {
        m_idleTimer.stop();
        if (!m_voice)
            dropOutput();
    } else {
        QObject::timerEvent(event);
    }
}
