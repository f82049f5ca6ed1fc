#include "sound/AudioEngine.h"

#include <QAudioDevice>
#include <QAudioSink>
#include <QIODevice>
#include <QMediaDevices>
#include <QSignalBlocker>
#include <QTimerEvent>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

// How much audio the sound server holds for the stream. Samples are written in pieces of up to
// this much, so that the server's client thread and this one wake rarely while a sound plays; a
// stop or a new sound closes the stream, which silences what it still holds at once.
constexpr int SinkBufferMs = 200;
// How often the stream is topped up while a sound plays: well within the buffer's length.
constexpr int FeedMs = 50;
// A stream keeps the sound server's client thread busy, so it is open only while there is
// sound: it is closed this long after a sound ends (its last samples are heard by then).
// Opening a fresh stream on a sound server the program is already connected to takes a few
// milliseconds; only the first connection is slow, and PrepareSound makes it ahead of time.
constexpr int IdleCloseMs = 100;
// Samples that the server has not taken for this long sit on a sound server that is there but
// does not answer. New sounds are refused instead of being queued where nobody hears them.
constexpr auto StuckAfter = std::chrono::milliseconds(500);

// Interleaved floats in the sink's sample format.
void convertSamples(const float* mix, qsizetype samples, const QAudioFormat& format,
                    QByteArray& out)
{
    out.resize(samples * format.bytesPerSample());
    char* data = out.data();
    switch (format.sampleFormat()) {
    case QAudioFormat::Float:
        for (qsizetype i = 0; i < samples; ++i) {
            const float v = std::clamp(mix[i], -1.0f, 1.0f);
            std::memcpy(data + i * 4, &v, 4);
        }
        break;
    case QAudioFormat::Int32:
        for (qsizetype i = 0; i < samples; ++i) {
            const auto v =
                static_cast<qint32>(std::lrint(std::clamp(mix[i], -1.0f, 1.0f) * 2147483520.0));
            std::memcpy(data + i * 4, &v, 4);
        }
        break;
    case QAudioFormat::UInt8:
        for (qsizetype i = 0; i < samples; ++i)
            data[i] = static_cast<char>(
                static_cast<quint8>(std::lrint(std::clamp(mix[i], -1.0f, 1.0f) * 127.0f) + 128));
        break;
    default: // Int16
        for (qsizetype i = 0; i < samples; ++i) {
            const auto v =
                static_cast<qint16>(std::lrint(std::clamp(mix[i], -1.0f, 1.0f) * 32767.0f));
            std::memcpy(data + i * 2, &v, 2);
        }
        break;
    }
}

} // namespace

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
    if (m_output != nullptr && m_sink->state() != QAudio::StoppedState)
        return !stuck();
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

    // One sink serves every stream to the same device in the same format. A sink is never
    // deleted while the engine lives: Qt's PulseAudio sink asks the server to drain a stream
    // that runs dry and is called back when it has, even after the stream has been closed.
    if (m_sink == nullptr || device.id() != m_deviceId || format != m_format) {
        if (m_sink != nullptr)
            m_sink->disconnect(this);
        m_sink = new QAudioSink(device, format, this);
        m_deviceId = device.id();
        m_format = format;
        connect(m_sink, &QAudioSink::stateChanged, this, [this] { onStateChanged(); });
    }
    m_sink->setBufferSize(format.bytesForDuration(SinkBufferMs * 1000));
    QIODevice* output = m_sink->start();
    if (output == nullptr || m_sink->error() != QAudio::NoError ||
        m_sink->state() == QAudio::StoppedState) {
        dropOutput();
        return false;
    }
    m_output = output;
    m_lastFree = m_sink->bytesFree();
    m_lastTaken = std::chrono::steady_clock::now();
    return true;
}

void AudioEngine::dropOutput()
{
    m_feedTimer.stop();
    m_drainTimer.stop();
    m_idleTimer.stop();
    m_output = nullptr;
    if (m_sink != nullptr && m_sink->state() != QAudio::StoppedState) {
        // The stop is this engine's own doing, not a failure to report.
        const QSignalBlocker quiet(m_sink);
        m_sink->stop();
    }
}

bool AudioEngine::stuck()
{
    if (m_output == nullptr)
        return false;
    // The sink can take more once the server has played some of what it holds; an empty sink
    // waits for nothing.
    const qsizetype free = m_sink->bytesFree();
    const auto now = std::chrono::steady_clock::now();
    if (free > m_lastFree || free >= m_sink->bufferSize())
        m_lastTaken = now;
    m_lastFree = free;
    return now - m_lastTaken >= StuckAfter;
}

void AudioEngine::onStateChanged()
{
    // The server went away or the device failed: the sound cannot go on, and the next request
    // opens a fresh stream.
    if (m_output != nullptr && m_sink->state() == QAudio::StoppedState) {
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
    // A sound still sounding gives way at once: its samples in the stream go with the stream.
    if (m_voice) {
        stopAll();
        if (!ensureOutput()) {
            request->setAccepted(false);
            return;
        }
    }
    m_idleTimer.stop();
    voice->setOutput(m_format.sampleRate(), m_format.channelCount());
    m_voice = std::move(voice);
    m_request = std::move(request);
    m_request->setAccepted(true);
    feed();
    if (m_voice && !m_draining)
        m_feedTimer.start(FeedMs, this);
}

void AudioEngine::stopAll()
{
    const bool sounding = m_voice != nullptr;
    finishVoice(false);
    // What the stream still holds would play on for up to its length: closing it silences it at
    // once. A stream on a server that does not answer stays, as a fresh one would wait for it.
    if (sounding && !stuck())
        dropOutput();
}

void AudioEngine::finishVoice(bool played)
{
    const bool hadVoice = m_voice != nullptr;
    m_voice.reset();
    m_draining = false;
    m_feedTimer.stop();
    m_drainTimer.stop();
    if (m_request) {
        m_request->setFinished(played);
        m_request.reset();
    }
    if (hadVoice && m_output != nullptr)
        m_idleTimer.start(IdleCloseMs, this);
}

void AudioEngine::feed()
{
    if (m_output == nullptr || !m_voice || m_draining || stuck())
        return;
    const int frameBytes = m_format.bytesPerFrame();
    const qsizetype free = m_lastFree;
    const qsizetype frames = frameBytes > 0 ? free / frameBytes : 0;
    if (frames <= 0)
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
        m_request->progress = m_lastTaken.time_since_epoch().count();
    }
    const int channels = m_format.channelCount();
    m_mix.assign(static_cast<size_t>(frames * channels), 0.0f);
    const qsizetype rendered = m_voice->render(m_mix.data(), frames);
    const bool ended = m_voice->finished();
    // An empty stream (a new one, or one that ran dry) starts playing only once it holds nearly
    // a whole buffer (the server's pre-buffer): a sound that ends before filling it is followed
    // by silence up to that.
    const bool starting = free >= m_sink->bufferSize();
    const qsizetype written = ended && !starting ? rendered : frames;
    convertSamples(m_mix.data(), written * channels, m_format, m_samples);
    m_output->write(m_samples.constData(), written * frameBytes);
    m_lastFree = m_sink->bytesFree();
    if (ended) {
        // The sound ends when what the stream holds of it has been heard; the silence after it
        // need not be waited for.
        m_draining = true;
        m_feedTimer.stop();
        const qint64 bytesPerSecond = std::max(1, m_format.bytesForDuration(1000000));
        const qint64 silence = (written - rendered) * frameBytes;
        const qint64 queued = std::max<qint64>(0, m_sink->bufferSize() - m_lastFree - silence);
        m_drainTimer.start(static_cast<int>(queued * 1000 / bytesPerSecond) + 20, this);
    }
}

void AudioEngine::timerEvent(QTimerEvent* event)
{
    if (event->timerId() == m_feedTimer.timerId()) {
        feed();
    } else if (event->timerId() == m_drainTimer.timerId()) {
        finishVoice(true);
    } else if (event->timerId() == m_idleTimer.timerId()) {
        m_idleTimer.stop();
        if (m_voice)
            return;
        // A fresh stream would wait for a server that does not answer: the stream stays until
        // the server has taken what it holds.
        if (stuck())
            m_idleTimer.start(IdleCloseMs, this);
        else
            dropOutput();
    } else {
        QObject::timerEvent(event);
    }
}
