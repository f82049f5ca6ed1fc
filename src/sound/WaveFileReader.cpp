#include "sound/WaveFileReader.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Closes the descriptor on every way out of the reader.
class FileDescriptor
{
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd = -1;
};

// Reads up to size bytes, resuming after signals; returns the count read or -1.
qint64 ReadFully(int fd, char* data, qint64 size)
{
    qint64 done = 0;
    while (done < size) {
        const ssize_t n = ::read(fd, data + done, static_cast<size_t>(size - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        done += n;
    }
    return done;
}

} // namespace

WaveFileRead ReadWaveFile(const QString& path, qint64 maxBytes, QByteArray& buffer)
{
    const QByteArray name = QFile::encodeName(path);
    if (name.isEmpty())
        return WaveFileRead::Failed;
    // O_NONBLOCK keeps a FIFO from blocking the open; it does not matter for regular files.
    FileDescriptor file(::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (file.get() < 0)
        return WaveFileRead::Failed;
    struct stat info = {};
    if (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode))
        return WaveFileRead::Failed;
    const qint64 length = static_cast<qint64>(info.st_size);
    if (length > maxBytes)
        return WaveFileRead::TooLarge;
    if (length <= 0)
        return WaveFileRead::Failed;

    buffer.clear();
    try {
        buffer.resize(length);
    } catch (const std::bad_alloc&) {
        buffer = QByteArray();
        return WaveFileRead::Failed;
    }
    // One read of the whole length. A file that shrank reads short; one that grew has bytes
    // left over. Either way the buffer is not the file's image, so it is not played.
    const qint64 got = ReadFully(file.get(), buffer.data(), length);
    char extra = 0;
    if (got != length || ReadFully(file.get(), &extra, 1) != 0) {
        buffer.clear();
        return WaveFileRead::Failed;
    }
    return WaveFileRead::Ok;
}
