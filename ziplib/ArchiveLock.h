#pragma once
// An advisory lock (flock) on an archive for the whole read-modify-write of
// an add or delete, so that two runs on one archive, from the wizard or the
// command line, take turns instead of one losing the other's work. The
// archive is replaced by a rename, so after waiting the lock holder checks
// that the name still leads to the file it locked, and starts over when not.
// A missing archive is created empty (and locked) to reserve the name.

#include <functional>
#include <string>

class ArchiveLock {
public:
    ArchiveLock() = default;
    ~ArchiveLock();
    ArchiveLock(const ArchiveLock &) = delete;
    ArchiveLock &operator=(const ArchiveLock &) = delete;

    // Called about ten times a second while another run holds the archive,
    // with the milliseconds waited so far; false gives up.
    using KeepWaiting = std::function<bool(int waitedMs)>;
    // True when locked; otherwise error says why.
    bool acquire(const std::string &path, const KeepWaiting &keepWaiting, std::string *error);
    int fd() const { return m_fd; }
    // The archive did not exist: the file under the name is our empty one.
    bool created() const { return m_created; }
    // Removes the empty file acquire made, when the name still leads to it.
    void removeCreated();

private:
    void release();
    bool stillNamed() const;

    std::string m_path;
    int m_fd = -1;
    bool m_created = false;
};
