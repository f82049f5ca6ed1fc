#pragma once

#include <QByteArray>
#include <memory>
#include <sndfile.h>
#include <vector>

// A sound file opened by libsndfile, read as interleaved float frames. It reads from a file
// descriptor of a regular file or from its own copy of a memory image, so the caller's buffer
// may change or go away while the sound plays.
class WaveDecoder
{
public:
    ~WaveDecoder();
    WaveDecoder(const WaveDecoder&) = delete;
    WaveDecoder& operator=(const WaveDecoder&) = delete;

    // Null when the name is not a regular file or libsndfile cannot read it as a sound.
    static std::unique_ptr<WaveDecoder> OpenFile(const char* name);
    // Null when the image is not a sound libsndfile can read.
    static std::unique_ptr<WaveDecoder> OpenMemory(QByteArray image);

    int channels() const { return m_info.channels; }
    int sampleRate() const { return m_info.samplerate; }
    sf_count_t frames() const { return m_info.frames; }

    // Reads up to count frames into out (count * channels() floats); returns the frames read,
    // 0 at the end or on a read error.
    sf_count_t read(float* out, sf_count_t count);
    // Goes back to the first frame; false when the source cannot seek.
    bool rewind();

    // The virtual-I/O state of a memory image; public for libsndfile's C callbacks.
    struct Memory
    {
        QByteArray bytes;
        sf_count_t position = 0;
    };

private:
    WaveDecoder() = default;
    bool accept();

    SNDFILE* m_file = nullptr;
    SF_INFO m_info = {};
    int m_fd = -1;
    std::unique_ptr<Memory> m_memory;
};
