#include "PendingFile.h"

#include "SystemError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <cerrno>
#include <csignal>
#include <ctime>
#include <dirent.h>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

QString PendingFile::temporaryPrefix()
{
    return QStringLiteral(".mantole-");
}

PendingFile::PendingFile(const QString &finalName)
    : m_finalName(finalName),
      m_file(QFileInfo(finalName).absolutePath() + QLatin1Char('/') + temporaryPrefix()
             + QString::number(::getpid()) + QLatin1Char('-') + QFileInfo(finalName).fileName()
             + QStringLiteral(".XXXXXX"))
{
}

PendingFile::~PendingFile() = default; // QTemporaryFile removes it unless renamed

bool PendingFile::open()
{
    if (!m_file.open()) {
        SystemError::note(m_file.errorString());
        return false;
    }
    // Held until the file is closed, and by nobody once the writer is gone,
    // however it ended.
    ::flock(m_file.handle(), LOCK_EX | LOCK_NB);
    // A new file gets the usual permissions, not the private ones of a
    // temporary file.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(m_file.handle(), 0666 & ~mask);
    return true;
}

bool PendingFile::commit(bool durable)
{
    if (!m_file.flush()) {
        SystemError::note(m_file.errorString());
        return false;
    }
    if (durable && ::fdatasync(m_file.handle()) != 0) {
        SystemError::noteErrno();
        return false;
    }
    if (::rename(QFile::encodeName(m_file.fileName()).constData(), QFile::encodeName(m_finalName).constData()) != 0) {
        SystemError::noteErrno();
        return false;
    }
    m_file.setAutoRemove(false);
    m_file.close();
    // The rename is in place; a folder that cannot be synced (some network
    // file systems refuse) costs only that guarantee.
    syncFolder(QFileInfo(m_finalName).absolutePath());
    return true;
}

bool PendingFile::syncFolder(const QString &folder)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = ::fsync(fd) == 0 || errno == EINVAL; // EINVAL: the file system has nothing to sync
    ::close(fd);
    return synced;
}

namespace {

enum class TemporaryKind { None, Ours, Library };

TemporaryKind kindOf(const QString &name)
{
    if (name.startsWith(PendingFile::temporaryPrefix()))
        return TemporaryKind::Ours;
    // ziplib: ARCHIVE.ziplib-XXXXXX (mkstemp); unzlib: .NAME.<12 random
    // letters and digits>.unzlib-partial. Only those exact shapes, so that a
    // file of the user's that merely looks alike is never taken for ours.
    static const QRegularExpression libraryTemporary(
        QStringLiteral("^(.+\\.ziplib-[A-Za-z0-9]{6}|\\..+\\.[0-9a-z]{12}\\.unzlib-partial)$"));
    return libraryTemporary.match(name).hasMatch() ? TemporaryKind::Library : TemporaryKind::None;
}

// The process id in ".mantole-PID-…", or 0.
pid_t writerOf(const QString &name)
{
    const QString rest = name.mid(PendingFile::temporaryPrefix().size());
    bool ok = false;
    const long pid = rest.left(rest.indexOf('-')).toLong(&ok);
    return ok && pid > 0 ? static_cast<pid_t>(pid) : 0;
}

bool processAlive(pid_t pid)
{
    return ::kill(pid, 0) == 0 || errno == EPERM;
}

// True when some process we can see has the file open. Processes of other
// users may be hidden from us; the age rule covers them.
bool openAnywhere(const struct stat &file)
{
    DIR *proc = ::opendir("/proc");
    if (!proc)
        return true; // cannot tell: assume it is in use
    bool found = false;
    while (const dirent *p = ::readdir(proc)) {
        if (found)
            break;
        if (p->d_name[0] < '1' || p->d_name[0] > '9')
            continue;
        const std::string fds = std::string("/proc/") + p->d_name + "/fd";
        DIR *dir = ::opendir(fds.c_str());
        if (!dir)
            continue;
        while (const dirent *f = ::readdir(dir)) {
            struct stat st {};
            if (f->d_name[0] != '.' && ::stat((fds + '/' + f->d_name).c_str(), &st) == 0
                && st.st_dev == file.st_dev && st.st_ino == file.st_ino) {
                found = true;
                break;
            }
        }
        ::closedir(dir);
    }
    ::closedir(proc);
    return found;
}

// True when a live writer holds the file's flock.
bool lockedByWriter(const QByteArray &path, bool folder)
{
    const int fd = ::open(path.constData(),
                          O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | (folder ? O_DIRECTORY : 0));
    if (fd < 0)
        return true; // cannot look: leave it
    const bool locked = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
    ::close(fd);
    return locked;
}

} // namespace

bool PendingFile::isStaleTemporary(const QString &folder, const QString &name)
{
    const TemporaryKind kind = kindOf(name);
    if (kind == TemporaryKind::None)
        return false;
    const QByteArray path = QFile::encodeName(QDir(folder).filePath(name));
    struct stat st {};
    if (::lstat(path.constData(), &st) != 0)
        return false;
    const bool folderOfOurs = kind == TemporaryKind::Ours && S_ISDIR(st.st_mode);
    if (!S_ISREG(st.st_mode) && !folderOfOurs)
        return false;
    const bool old = std::time(nullptr) - st.st_mtime > kStaleAfterSeconds;
    if (lockedByWriter(path, folderOfOurs))
        return false;
    if (kind == TemporaryKind::Ours) {
        // A writer still running keeps its lock; the age rule covers a
        // process id that came back for another program.
        const pid_t writer = writerOf(name);
        return writer == 0 || !processAlive(writer) || old;
    }
    return old && !openAnywhere(st);
}

int PendingFile::removeStaleTemporaries(const QString &folder)
{
    const QDir dir(folder);
    int removed = 0;
    const QStringList names = dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString &name : names) {
        if (!isStaleTemporary(folder, name))
            continue;
        const QString path = dir.filePath(name);
        const bool gone = QFileInfo(path).isDir() && !QFileInfo(path).isSymLink() ? QDir(path).removeRecursively()
                                                                                   : QFile::remove(path);
        if (gone)
            ++removed;
    }
    if (removed > 0)
        syncFolder(folder);
    return removed;
}
