#include "BufferedFile.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr size_t kBufferSize = 64 * 1024;
}

BufferedFile::~BufferedFile()
{
    close();
}

bool BufferedFile::open(const QString &path)
{
    close();
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st {};
    if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        return false;
    }
    m_fd = fd;
    m_size = st.st_size;
    m_pos = 0;
    m_bufferStart = 0;
    m_bufferLength = 0;
    return true;
}

void BufferedFile::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_size = 0;
    m_pos = 0;
    m_bufferLength = 0;
}

bool BufferedFile::seek(int64_t position)
{
    if (position < 0 || m_fd < 0)
        return false;
    m_pos = position;
    return true;
}

bool BufferedFile::fill()
{
    if (m_buffer.size() != kBufferSize)
        m_buffer.resize(kBufferSize);
    m_bufferStart = m_pos;
    m_bufferLength = 0;
    for (;;) {
        const ssize_t got = ::pread(m_fd, m_buffer.data(), kBufferSize, m_pos);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        m_bufferLength = static_cast<size_t>(got);
        return true;
    }
}

size_t BufferedFile::read(void *dest, size_t count)
{
    if (m_fd < 0)
        return 0;
    auto *out = static_cast<unsigned char *>(dest);
    size_t done = 0;
    while (done < count) {
        const bool inBuffer = m_pos >= m_bufferStart
            && m_pos < m_bufferStart + static_cast<int64_t>(m_bufferLength);
        if (!inBuffer) {
            // A large read bypasses the buffer rather than copying twice.
            if (count - done >= kBufferSize) {
                const ssize_t got = ::pread(m_fd, out + done, count - done, m_pos);
                if (got < 0 && errno == EINTR)
                    continue;
                if (got <= 0)
                    break;
                done += static_cast<size_t>(got);
                m_pos += got;
                continue;
            }
            if (!fill())
                break;
        }
        const size_t offset = static_cast<size_t>(m_pos - m_bufferStart);
        const size_t n = std::min(count - done, m_bufferLength - offset);
        std::memcpy(out + done, m_buffer.data() + offset, n);
        done += n;
        m_pos += static_cast<int64_t>(n);
    }
    return done;
}

int64_t BufferedFile::modificationTime() const
{
    struct stat st {};
    if (m_fd < 0 || fstat(m_fd, &st) != 0)
        return 0;
    return static_cast<int64_t>(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1000000;
}

int64_t BufferedFile::copyTo(int outFd, int64_t count)
{
    if (m_fd < 0)
        return -1;
    for (;;) {
        loff_t from = m_pos;
        const ssize_t copied = ::copy_file_range(m_fd, &from, outFd, nullptr, static_cast<size_t>(count), 0);
        if (copied < 0 && errno == EINTR)
            continue;
        if (copied < 0)
            return -1;
        m_pos += copied;
        return copied;
    }
}
