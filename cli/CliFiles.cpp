#include "CliFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace CliFiles {

QString reason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

int fail(const char *command, const QString &text)
{
    std::fprintf(stderr, "mantole-cli %s: %s\n", command, text.toUtf8().constData());
    return 1;
}

namespace {

// Why a file that exists cannot be opened as an archive, or empty.
QString refusal(const QString &given, const struct stat &st)
{
    if (S_ISDIR(st.st_mode))
        return given + QStringLiteral(" is a folder, not a file");
    if (!S_ISREG(st.st_mode))
        return given + QStringLiteral(" is not a regular file (a pipe, a device or a socket)");
    return QString();
}

} // namespace

std::optional<QString> readableFile(const char *command, const QString &given)
{
    const QByteArray path = QFile::encodeName(given);
    struct stat st {};
    if (::stat(path.constData(), &st) != 0) {
        const int error = errno;
        fail(command, error == ENOENT ? QStringLiteral("no such file ") + given
                                      : QStringLiteral("cannot open %1: %2").arg(given, reason(error)));
        return std::nullopt;
    }
    if (const QString why = refusal(given, st); !why.isEmpty()) {
        fail(command, why);
        return std::nullopt;
    }
    // Opened once here so that a refusal names its reason; no FIFO gets this
    // far, and O_NONBLOCK keeps anything that changed in between from blocking.
    const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        fail(command, QStringLiteral("cannot read %1: %2").arg(given, reason(errno)));
        return std::nullopt;
    }
    ::close(fd);
    return QFileInfo(given).canonicalFilePath();
}

std::optional<QString> fileToWrite(const char *command, const QString &given)
{
    QFileInfo info(given);
    struct stat st {};
    if (::stat(QFile::encodeName(given).constData(), &st) == 0) {
        if (const QString why = refusal(given, st); !why.isEmpty()) {
            fail(command, why);
            return std::nullopt;
        }
        return info.canonicalFilePath();
    }
    // Follow a dangling link (and links to links) to the name it gives.
    for (int depth = 0; info.isSymLink() && depth < 40; ++depth)
        info = QFileInfo(info.symLinkTarget());
    const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
    if (folder.isEmpty()) {
        fail(command, QStringLiteral("no folder %1").arg(info.absolutePath()));
        return std::nullopt;
    }
    return QDir(folder).filePath(info.fileName());
}

} // namespace CliFiles
