#include "ArchiveLock.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

ArchiveLock::~ArchiveLock()
{
    release();
}

void ArchiveLock::release()
{
    if (m_fd >= 0)
        ::close(m_fd); // also releases the lock
    m_fd = -1;
    m_created = false;
}

bool ArchiveLock::stillNamed() const
{
    struct stat held {}, named {};
    return ::fstat(m_fd, &held) == 0 && ::stat(m_path.c_str(), &named) == 0 && held.st_dev == named.st_dev
        && held.st_ino == named.st_ino;
}

bool ArchiveLock::acquire(const std::string &path, const KeepWaiting &keepWaiting, std::string *error)
{
    m_path = path;
    int waited = 0;
    for (;;) {
        release();
        // Non-blocking: a FIFO under the name must not hang the open.
        m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (m_fd < 0 && errno == ENOENT) {
            m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_CREAT | O_EXCL, 0644);
            if (m_fd < 0 && errno == EEXIST)
                continue; // another run created it first
            m_created = m_fd >= 0;
        }
        if (m_fd < 0) {
            *error = std::strerror(errno);
            return false;
        }
        struct stat st {};
        if (::fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            *error = "not a regular file";
            release();
            return false;
        }
        while (::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
            if (errno != EWOULDBLOCK && errno != EINTR) {
                *error = std::strerror(errno);
                release();
                return false;
            }
            if (!keepWaiting(waited)) {
                *error = "the archive is in use by another program";
                release();
                return false;
            }
            ::usleep(100 * 1000);
            waited += 100;
        }
        if (stillNamed())
            return true;
        // Replaced (or removed) while we waited: lock what the name leads to now.
    }
}

void ArchiveLock::removeCreated()
{
    if (m_created && stillNamed())
        ::unlink(m_path.c_str());
}
