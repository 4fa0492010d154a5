#include "VolumeProbe.h"

#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>

namespace {

bool isNetworkFileSystem(const QByteArray &type)
{
    static const char *const kTypes[] = {"nfs", "nfs4", "cifs", "smb3", "smbfs", "sshfs",
                                         "fuse.sshfs", "9p", "afs", "ceph", "glusterfs"};
    for (const char *t : kTypes)
        if (type == t)
            return true;
    return false;
}

// /sys says whether the block device (or the disk holding a partition) is
// removable, as USB sticks and card readers are.
bool isRemovableDevice(const QByteArray &device)
{
    if (!device.startsWith("/dev/"))
        return false;
    const QString sysBlock = QStringLiteral("/sys/class/block/") + QString::fromLocal8Bit(device.mid(5));
    for (const QString &candidate : {sysBlock + "/removable", sysBlock + "/../removable"}) {
        QFile flag(candidate);
        if (flag.open(QIODevice::ReadOnly))
            return flag.read(1) == "1";
    }
    return false;
}

QString withTrailingSlash(const QString &path)
{
    return path.endsWith('/') ? path : path + '/';
}

// The file system mounted at root itself. Asked about a plain folder,
// QStorageInfo answers for the file system holding it: after a disk is taken
// out, the folder it was mounted at may stay behind on the root file system.
std::optional<QStorageInfo> mountedAt(const QString &root)
{
    const QString folder = QFileInfo(root).canonicalFilePath();
    if (folder.isEmpty())
        return std::nullopt;
    QStorageInfo storage(folder);
    if (!storage.isValid() || !storage.isReady()
        || withTrailingSlash(storage.rootPath()) != withTrailingSlash(folder))
        return std::nullopt;
    return storage;
}

// Qt finds labels through udev's /dev/disk/by-label, which systems without
// udev (containers) lack; most file systems also tell theirs directly.
QString labelFromFileSystem(const QString &root)
{
    const int fd = ::open(QFile::encodeName(root).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return QString();
    char label[FSLABEL_MAX] = {};
    const bool told = ::ioctl(fd, FS_IOC_GETFSLABEL, label) == 0;
    ::close(fd);
    return told ? QString::fromUtf8(label, static_cast<qsizetype>(qstrnlen(label, sizeof label))) : QString();
}

} // namespace

QString VolumeProbe::rootOf(const QString &absolutePath) const
{
    const QStorageInfo storage(QFileInfo(absolutePath).absolutePath());
    return storage.isValid() ? withTrailingSlash(storage.rootPath()) : QString();
}

bool VolumeProbe::isPresent(const QString &root) const
{
    return mountedAt(root).has_value();
}

std::optional<VolumeInfo> VolumeProbe::query(const QString &root) const
{
    const std::optional<QStorageInfo> storage = mountedAt(root);
    if (!storage)
        return std::nullopt;
    VolumeInfo info;
    info.label = storage->name();
    if (info.label.isEmpty())
        info.label = labelFromFileSystem(storage->rootPath());
    // A size of 0 is how document portals, network and other FUSE mounts say
    // they do not know; their free space of 0 means as little.
    if (storage->bytesTotal() > 0) {
        info.totalBytes = storage->bytesTotal();
        info.freeBytes = std::max<qint64>(storage->bytesAvailable(), -1);
    }
    struct statvfs fs {};
    if (statvfs(QFile::encodeName(root).constData(), &fs) == 0)
        info.serial = static_cast<quint32>(fs.f_fsid);
    return info;
}

DriveType VolumeProbe::driveType(const QString &root) const
{
    const QStorageInfo storage(root);
    const QByteArray type = storage.fileSystemType();
    if (isNetworkFileSystem(type))
        return DriveType::Network;
    if (type == "iso9660" || type == "udf")
        return DriveType::CdRom;
    if (isRemovableDevice(storage.device()))
        return DriveType::Removable;
    return DriveType::Fixed;
}

QStringList VolumeProbe::removableRoots() const
{
    QStringList roots;
    for (const QStorageInfo &volume : QStorageInfo::mountedVolumes()) {
        if (!volume.isValid() || !volume.isReady())
            continue;
        const QString root = withTrailingSlash(volume.rootPath());
        const DriveType type = driveType(root);
        if ((type == DriveType::Removable || type == DriveType::CdRom) && !roots.contains(root))
            roots << root;
    }
    return roots;
}

VolumeProbe &VolumeProbe::system()
{
    static VolumeProbe probe;
    return probe;
}

QStringList VolumeProbe::driveRoots()
{
    QStringList roots;
    for (const QStorageInfo &volume : QStorageInfo::mountedVolumes()) {
        const QByteArray device = volume.device();
        const bool disk = device.startsWith("/dev/") && !device.startsWith("/dev/loop");
        if (!volume.isValid() || !(disk || isNetworkFileSystem(volume.fileSystemType())))
            continue;
        const QString root = withTrailingSlash(volume.rootPath());
        if (!roots.contains(root))
            roots << root;
    }
    std::sort(roots.begin(), roots.end()); // "/" sorts first
    return roots;
}
