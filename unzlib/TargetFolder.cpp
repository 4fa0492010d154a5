#include "TargetFolder.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

TargetFolder::~TargetFolder()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool TargetFolder::open(const std::string &folder, std::string *error)
{
    // The folder the user chose may itself be a link; what lies below it not.
    m_fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_fd < 0)
        *error = std::strerror(errno);
    return m_fd >= 0;
}

int TargetFolder::stepInto(int folder, const std::string &part, std::string *error)
{
    int fd = ::openat(folder, part.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT) {
        if (::mkdirat(folder, part.c_str(), 0777) != 0 && errno != EEXIST) {
            *error = std::strerror(errno);
            return -1;
        }
        fd = ::openat(folder, part.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    }
    if (fd < 0) {
        struct stat st {};
        const bool link = ::fstatat(folder, part.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode);
        *error = link ? "a symbolic link is in the way: " + part : part + ": " + std::strerror(errno);
    }
    return fd;
}

int TargetFolder::openFolderOf(const std::string &relativePath, std::string *leaf, std::string *error) const
{
    int current = ::fcntl(m_fd, F_DUPFD_CLOEXEC, 0);
    size_t start = 0;
    for (size_t slash = relativePath.find('/'); current >= 0 && slash != std::string::npos;
         slash = relativePath.find('/', start)) {
        const std::string part = relativePath.substr(start, slash - start);
        start = slash + 1;
        if (part.empty())
            continue;
        const int next = stepInto(current, part, error);
        ::close(current);
        current = next;
    }
    if (current < 0 && error->empty())
        *error = std::strerror(errno);
    *leaf = relativePath.substr(start);
    return current;
}

bool TargetFolder::makeFolders(const std::string &relativePath, std::string *error) const
{
    std::string leaf;
    const int parent = openFolderOf(relativePath, &leaf, error);
    if (parent < 0)
        return false;
    const int folder = leaf.empty() ? ::fcntl(parent, F_DUPFD_CLOEXEC, 0) : stepInto(parent, leaf, error);
    ::close(parent);
    if (folder < 0)
        return false;
    ::close(folder);
    return true;
}

int TargetFolder::createTemporary(int folder, const std::string &leaf, std::string *name, std::string *error)
{
    static std::mt19937_64 random(std::random_device{}());
    static const char digits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string suffix;
        for (int i = 0; i < 12; ++i)
            suffix += digits[random() % 36];
        // Short enough for any file system whatever the entry's name.
        *name = "." + leaf.substr(0, 64) + "." + suffix + ".unzlib-partial";
        const int fd = ::openat(folder, name->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) {
            if (fd < 0)
                *error = std::strerror(errno);
            return fd;
        }
    }
    *error = "no free temporary name";
    return -1;
}
