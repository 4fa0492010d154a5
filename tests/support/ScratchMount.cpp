#include "ScratchMount.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>

#include <unistd.h>

ScratchMount::~ScratchMount()
{
    unmount();
}

bool ScratchMount::run(const QString &program, const QStringList &arguments, QString *error)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    const bool ok = process.waitForFinished(-1) && process.exitStatus() == QProcess::NormalExit
        && process.exitCode() == 0;
    if (!ok && error)
        *error = program + ' ' + arguments.join(' ') + ": "
            + (process.error() == QProcess::FailedToStart ? process.errorString()
                                                           : QString::fromLocal8Bit(process.readAll()).trimmed());
    return ok;
}

bool ScratchMount::mount(const QStringList &options, const QString &source, const QString &folder)
{
    unmount();
    m_error.clear();
    if (!QDir().mkpath(folder)) {
        m_error = QStringLiteral("cannot make ") + folder;
        return false;
    }
    if (!run(QStringLiteral("mount"), options + QStringList{source, folder}, &m_error))
        return false;
    m_folder = folder;
    return true;
}

bool ScratchMount::unmount()
{
    if (m_folder.isEmpty())
        return true;
    // A loop device set up by "mount -o loop" is released with the mount.
    if (!run(QStringLiteral("umount"), {m_folder}, &m_error))
        return false;
    QDir().rmdir(m_folder);
    m_folder.clear();
    return true;
}

QString ScratchMount::whyUnavailable()
{
    if (::geteuid() != 0)
        return QStringLiteral("mounting file systems needs root");
    if (QStandardPaths::findExecutable(QStringLiteral("mount")).isEmpty()
        || QStandardPaths::findExecutable(QStringLiteral("umount")).isEmpty())
        return QStringLiteral("mount and umount are not installed");
    return QString();
}

QString ScratchMount::whyLoopUnavailable()
{
    const QString why = whyUnavailable();
    if (!why.isEmpty())
        return why;
    QString error;
    if (!run(QStringLiteral("losetup"), {QStringLiteral("-f")}, &error))
        return QStringLiteral("no free loop device (") + error + ')';
    return QString();
}
