#include "VolumeProbe.h"

#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>

#include <sys/statvfs.h>

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

} // namespace

QString VolumeProbe::rootOf(const QString &absolutePath) const
{
    const QStorageInfo storage(QFileInfo(absolutePath).absolutePath());
    return storage.isValid() ? withTrailingSlash(storage.rootPath()) : QString();
}

bool VolumeProbe::isPresent(const QString &root) const
{
    const QStorageInfo storage(root);
    return storage.isValid() && storage.isReady();
}

std::optional<VolumeInfo> VolumeProbe::query(const QString &root) const
{
    const QStorageInfo storage(root);
    if (!storage.isValid() || !storage.isReady())
        return std::nullopt;
    VolumeInfo info;
    info.label = storage.name();
    info.totalBytes = storage.bytesTotal() > 0 ? storage.bytesTotal() : -1;
    info.freeBytes = storage.bytesAvailable() >= 0 ? storage.bytesAvailable() : -1;
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
