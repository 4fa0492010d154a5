#include "PendingFile.h"

#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

PendingFile::PendingFile(const QString &finalName)
    : m_finalName(finalName),
      m_file(QFileInfo(finalName).absolutePath() + QStringLiteral("/.") + QFileInfo(finalName).fileName()
             + QStringLiteral(".XXXXXX"))
{
}

PendingFile::~PendingFile() = default; // QTemporaryFile removes it unless renamed

bool PendingFile::open()
{
    if (!m_file.open())
        return false;
    // A new file gets the usual permissions, not the private ones of a
    // temporary file.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(m_file.handle(), 0666 & ~mask);
    return true;
}

bool PendingFile::commit(bool durable)
{
    if (!m_file.flush())
        return false;
    if (durable && ::fdatasync(m_file.handle()) != 0)
        return false;
    if (::rename(QFile::encodeName(m_file.fileName()).constData(), QFile::encodeName(m_finalName).constData()) != 0)
        return false;
    m_file.setAutoRemove(false);
    m_file.close();
    return true;
}
