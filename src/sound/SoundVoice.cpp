#include "sound/SoundVoice.h"

namespace {
constexpr qsizetype ChunkFrames = 1024;
}

SoundVoice::SoundVoice(std::unique_ptr<WaveDecoder> decoder, bool loop)
    : m_decoder(std::move(decoder)), m_loop(loop)
{
    m_chunk.resize(static_cast<size_t>(ChunkFrames * m_decoder->channels()));
}

void SoundVoice::setOutput(int sampleRate, int channels)
{
    m_outRate = sampleRate > 0 ? sampleRate : 44100;
    m_outChannels = channels == 1 ? 1 : 2;
    m_step = static_cast<double>(m_decoder->sampleRate()) / m_outRate;
}

qint64 SoundVoice::durationMs() const
{
    const int rate = m_decoder->sampleRate();
    return rate > 0 ? m_decoder->frames() * 1000 / rate : 0;
}

// Moves to the next source frame: m_previous takes m_next, m_next the following frame. At the
// end of a looping sound it starts over, unless the sound has no frames to repeat.
bool SoundVoice::nextFrame()
{
    if (m_chunkPosition >= m_chunkFrames) {
        if (m_sourceEnded)
            return false;
        m_chunkFrames = m_decoder->read(m_chunk.data(), ChunkFrames);
        m_chunkPosition = 0;
        if (m_chunkFrames == 0 && m_loop && m_producedAnything && m_decoder->rewind())
            m_chunkFrames = m_decoder->read(m_chunk.data(), ChunkFrames);
        if (m_chunkFrames == 0) {
            m_sourceEnded = true;
            return false;
        }
        m_producedAnything = true;
    }
    const int channels = m_decoder->channels();
    const float* frame = m_chunk.data() + m_chunkPosition * channels;
    m_previous[0] = m_next[0];
    m_previous[1] = m_next[1];
    m_next[0] = frame[0];
    m_next[1] = channels > 1 ? frame[1] : frame[0];
    ++m_chunkPosition;
    return true;
}

qsizetype SoundVoice::render(float* out, qsizetype frames)
{
    if (m_finished)
        return 0;
    if (!m_primed) {
        m_primed = true;
        if (!nextFrame()) {
            m_finished = true;
            return 0;
        }
        m_previous[0] = m_next[0];
        m_previous[1] = m_next[1];
        // Interpolation runs between two frames; a sound of one frame pairs it with itself.
        if (!nextFrame()) {
            m_next[0] = m_previous[0];
            m_next[1] = m_previous[1];
        }
    }
    qsizetype done = 0;
    while (done < frames) {
        while (m_fraction >= 1.0) {
            if (!nextFrame()) {
                m_finished = true;
                return done;
            }
            m_fraction -= 1.0;
        }
        const float t = static_cast<float>(m_fraction);
        const float left = m_previous[0] + (m_next[0] - m_previous[0]) * t;
        const float right = m_previous[1] + (m_next[1] - m_previous[1]) * t;
        if (m_outChannels == 1) {
            out[done] += 0.5f * (left + right);
        } else {
            out[2 * done] += left;
            out[2 * done + 1] += right;
        }
        m_fraction += m_step;
        ++done;
    }
    return done;
}
