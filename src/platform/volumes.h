#pragma once

#include <optional>

// Mounted volumes, read from the kernel's mount table (/proc/self/mountinfo).
//
// A "volume" is a mount of a real block-device file system where a user's disk
// may appear: pseudo and system mounts (/proc, /sys, /dev, /run but /run/media,
// /boot, /snap) and network file systems (nfs, cifs, smb3, fuse.* but fuseblk)
// are left out — a hung network mount would block any later look at it.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace volumes {

// One line of the mount table.
struct MountEntry {
    int id = 0;           // the mount's unique id
    QString mountPoint;   // octal escapes ("\040" for a blank) decoded
    QString fileSystem;   // e.g. "ext4", "vfat", "fuseblk"
    QString source;       // e.g. "/dev/sdb1"

    bool operator==(const MountEntry &) const = default;
};

// Every well-formed line of mountinfo text, in table order.
QList<MountEntry> parseMountInfo(const QByteArray &text);

// Whether a mount is a user volume (see above).
bool isUserVolume(const MountEntry &entry);

// The user volumes of mountinfo text, in table order, each mount point once
// (a mount point mounted over again is judged by its topmost mount).
QList<MountEntry> userVolumes(const QByteArray &text);

// The current mount table's text; empty when it cannot be read.
QByteArray readMountInfo();
// The mount table's text read again through an open descriptor, from its start
// (/proc files report no size, so it is read to the end); none on a failure.
std::optional<QByteArray> readMountInfoFrom(int fd);

// The mount points of the user volumes mounted now.
QStringList mountedVolumes();

// The kernel's name of the file system a statfs() f_type stands for ("vfat",
// "exfat", "ext2/3/4" — one number for the three —, "btrfs", "xfs", "ntfs3",
// "fuseblk", "tmpfs"…); empty for a number not known here.
QString fileSystemOfMagic(unsigned long magic);

// The kernel's name of the file system holding `path`: the type of the mount
// table's innermost mount holding it, or, where the table names none (a chroot
// whose root is not in it, a table that can't be read), the one statfs()
// reports. Empty when neither tells. Reads the disk: not for the main thread.
QString fileSystemOf(const QString &path, const QByteArray &mountInfo);
QString fileSystemOf(const QString &path);

// Whether `root` is the mount point of a user volume other than "/".
bool isVolume(const QString &root);
bool isVolume(const QString &root, const QByteArray &mountInfo);

} // namespace volumes
