#pragma once
// A read-only file with a read-ahead buffer: a central directory is read as
// thousands of small pieces, and one system call per piece is far too slow.
// Positions are 64-bit; seeking past the end is allowed (the next read just
// returns fewer bytes), as with the Windows file API.

#include <QString>

#include <cstddef>
#include <cstdint>
#include <vector>

class BufferedFile {
public:
    BufferedFile() = default;
    ~BufferedFile();
    BufferedFile(const BufferedFile &) = delete;
    BufferedFile &operator=(const BufferedFile &) = delete;

    bool open(const QString &path);
    void close();
    bool isOpen() const { return m_fd >= 0; }

    int64_t size() const { return m_size; }
    int64_t position() const { return m_pos; }
    bool atEnd() const { return m_pos >= m_size; }
    // False only for a negative position.
    bool seek(int64_t position);
    bool skip(int64_t count) { return seek(m_pos + count); }
    // Reads up to count bytes at the position; returns how many arrived.
    size_t read(void *dest, size_t count);
    // Copies up to count bytes from the position to the file descriptor's
    // own offset inside the kernel (copy_file_range: no trip through user
    // memory, and a shared extent where the file system can). Returns the
    // bytes copied, 0 at the end of the file, or -1 when the kernel cannot
    // copy between these files and nothing was copied.
    int64_t copyTo(int outFd, int64_t count);
    // Last modification time of the open file, in milliseconds since the epoch.
    int64_t modificationTime() const;

private:
    bool fill();

    int m_fd = -1;
    int64_t m_size = 0;
    int64_t m_pos = 0;
    std::vector<unsigned char> m_buffer;
    int64_t m_bufferStart = 0; // file offset of m_buffer[0]
    size_t m_bufferLength = 0;
};
