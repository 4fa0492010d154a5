#pragma once
// What the engine needs to know about the drive (on Linux: the mounted file
// system) that holds an archive. The methods are virtual so that tests can
// stand in a removable drive whose disk they swap.

#include <QString>
#include <QStringList>

#include <optional>

enum class DriveType { Fixed, Removable, Network, CdRom };

struct VolumeInfo {
    QString label;
    quint32 serial = 0;
    qint64 totalBytes = -1; // -1: the file system does not tell (many FUSE mounts say 0)
    qint64 freeBytes = -1;  // bytes available to this user; -1 when the size is not told
};

class VolumeProbe {
public:
    virtual ~VolumeProbe() = default;

    // The mount point that holds the path, with a trailing "/"; empty when the
    // path lies on no mounted file system.
    virtual QString rootOf(const QString &absolutePath) const;
    // A file system is mounted at the root itself (not merely at a folder
    // above it, as when a disk was taken out and its folder is left) and can
    // be read.
    virtual bool isPresent(const QString &root) const;
    // Label, serial and space of the file system mounted at the root;
    // nullopt when none is.
    virtual std::optional<VolumeInfo> query(const QString &root) const;
    virtual DriveType driveType(const QString &root) const;
    // The roots of the mounted removable disks and CDs, with a trailing "/".
    // A desktop mounts each disk at a folder of its own (named after its
    // label), so the disks of one set are found here, not at one root.
    virtual QStringList removableRoots() const;

    // The roots of the mounted disks and network shares, "/" first, each
    // with a trailing "/": what a drive list shows on this system. Loop
    // devices (snaps, images) and in-memory file systems are left out.
    static QStringList driveRoots();

    // The probe of the real system, used unless a test installs its own.
    static VolumeProbe &system();
};
