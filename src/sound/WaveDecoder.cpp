#include "sound/WaveDecoder.h"

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Sounds outside these bounds are not played: they are not WAV files anyone would hand us,
// and the limits keep every later computation (resampling steps, buffer sizes) in range.
constexpr int MaxChannels = 8;
constexpr int MinRate = 1000;
constexpr int MaxRate = 768000;

sf_count_t MemoryLength(void* user)
{
    return static_cast<WaveDecoder::Memory*>(user)->bytes.size();
}

sf_count_t MemorySeek(sf_count_t offset, int whence, void* user)
{
    auto* memory = static_cast<WaveDecoder::Memory*>(user);
    const sf_count_t size = memory->bytes.size();
    sf_count_t base = 0;
    if (whence == SEEK_CUR)
        base = memory->position;
    else if (whence == SEEK_END)
        base = size;
    else if (whence != SEEK_SET)
        return -1;
    // Positions stay within the image; a seek outside it fails instead of wrapping around.
    if ((offset > 0 && base > size - offset) || base + offset < 0)
        return -1;
    memory->position = base + offset;
    return memory->position;
}

sf_count_t MemoryRead(void* out, sf_count_t count, void* user)
{
    auto* memory = static_cast<WaveDecoder::Memory*>(user);
    const sf_count_t left = memory->bytes.size() - memory->position;
    const sf_count_t n = std::clamp<sf_count_t>(count, 0, std::max<sf_count_t>(left, 0));
    if (n > 0)
        std::memcpy(out, memory->bytes.constData() + memory->position, static_cast<size_t>(n));
    memory->position += n;
    return n;
}

sf_count_t MemoryWrite(const void*, sf_count_t, void*)
{
    return 0;
}

sf_count_t MemoryTell(void* user)
{
    return static_cast<WaveDecoder::Memory*>(user)->position;
}

} // namespace

WaveDecoder::~WaveDecoder()
{
    if (m_file != nullptr)
        sf_close(m_file);
    if (m_fd >= 0)
        ::close(m_fd);
}

bool WaveDecoder::accept()
{
    if (m_file == nullptr)
        return false;
    if (m_info.channels < 1 || m_info.channels > MaxChannels || m_info.samplerate < MinRate ||
        m_info.samplerate > MaxRate || m_info.frames < 0)
        return false;
    // Floats read from integer data come out in -1..1 rather than at the integer's scale.
    sf_command(m_file, SFC_SET_NORM_FLOAT, nullptr, SF_TRUE);
    return true;
}

std::unique_ptr<WaveDecoder> WaveDecoder::OpenFile(const char* name)
{
    if (name == nullptr || *name == '\0')
        return nullptr;
    std::unique_ptr<WaveDecoder> decoder(new WaveDecoder);
    // Opened without waiting, and only a regular file is read: a FIFO or a device named as the
    // sound must not block the caller.
    decoder->m_fd = ::open(name, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (decoder->m_fd < 0)
        return nullptr;
    struct stat info = {};
    if (::fstat(decoder->m_fd, &info) != 0 || !S_ISREG(info.st_mode))
        return nullptr;
    decoder->m_file = sf_open_fd(decoder->m_fd, SFM_READ, &decoder->m_info, SF_FALSE);
    if (!decoder->accept())
        return nullptr;
    return decoder;
}

std::unique_ptr<WaveDecoder> WaveDecoder::OpenMemory(QByteArray image)
{
    if (image.isEmpty())
        return nullptr;
    std::unique_ptr<WaveDecoder> decoder(new WaveDecoder);
    decoder->m_memory = std::make_unique<Memory>();
    decoder->m_memory->bytes = std::move(image);
    // A private deep copy: the caller's buffer is not shared behind its back.
    decoder->m_memory->bytes.detach();
    static SF_VIRTUAL_IO io = {MemoryLength, MemorySeek, MemoryRead, MemoryWrite, MemoryTell};
    decoder->m_file = sf_open_virtual(&io, SFM_READ, &decoder->m_info, decoder->m_memory.get());
    if (!decoder->accept())
        return nullptr;
    return decoder;
}

sf_count_t WaveDecoder::read(float* out, sf_count_t count)
{
    const sf_count_t n = sf_readf_float(m_file, out, count);
    return n > 0 ? n : 0;
}

bool WaveDecoder::rewind()
{
    return sf_seek(m_file, 0, SEEK_SET) == 0;
}
