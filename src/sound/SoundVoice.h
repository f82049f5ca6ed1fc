#pragma once

#include "sound/WaveDecoder.h"

#include <memory>
#include <vector>

// One sound being played: reads its decoder and renders float frames at the output's rate and
// channel count, resampling linearly and mapping channels (mono to both sides; a sound with
// more than two channels gives its first two).
class SoundVoice
{
public:
    SoundVoice(std::unique_ptr<WaveDecoder> decoder, bool loop);

    // Sets the output the voice renders for; call before the first render.
    void setOutput(int sampleRate, int channels);

    // Adds up to frames output frames to out (frames * output channels floats, added to what
    // is there) and returns the frames rendered; fewer than asked means the sound has ended.
    qsizetype render(float* out, qsizetype frames);

    bool finished() const { return m_finished; }
    // The length of one pass at the output rate, in milliseconds (for time-outs).
    qint64 durationMs() const;

private:
    bool nextFrame();

    std::unique_ptr<WaveDecoder> m_decoder;
    bool m_loop = false;
    bool m_finished = false;
    int m_outRate = 44100;
    int m_outChannels = 2;
    double m_step = 1.0;     // source frames per output frame
    double m_fraction = 0.0; // position between m_previous and m_next
    float m_previous[2] = {0.0f, 0.0f};
    float m_next[2] = {0.0f, 0.0f};
    bool m_primed = false;
    std::vector<float> m_chunk; // decoded source frames not yet used
    qsizetype m_chunkFrames = 0;
    qsizetype m_chunkPosition = 0;
    bool m_sourceEnded = false;
    bool m_producedAnything = false;
};
