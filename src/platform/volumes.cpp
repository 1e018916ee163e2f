#include "platform/volumes.h"

#include "platform/paths.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/vfs.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace volumes {
namespace {

// The kernel writes blanks, tabs, line feeds and backslashes of paths as "\ooo".
QString unescape(QByteArrayView field)
{
    QByteArray bytes;
    bytes.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        const char c = field[i];
        if (c == '\\' && i + 3 < field.size()) {
            const auto isOctal = [](char d) { return d >= '0' && d <= '7'; };
            if (isOctal(field[i + 1]) && isOctal(field[i + 2]) && isOctal(field[i + 3])) {
                const int value = (field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0');
                if (value <= 0xff) {
                    bytes.append(char(value));
                    i += 3;
                    continue;
                }
            }
        }
        bytes.append(c);
    }
    return QFile::decodeName(bytes);
}

bool isUnder(const QString &path, QStringView prefix)
{
    return path == prefix || (path.startsWith(prefix) && path.size() > prefix.size() && path.at(prefix.size()) == u'/');
}

bool isNetworkFileSystem(const QString &type)
{
    static const QStringList network = {
        u"nfs"_s, u"nfs4"_s, u"cifs"_s, u"smb3"_s, u"smbfs"_s, u"ncpfs"_s, u"9p"_s,
        u"afs"_s, u"ceph"_s, u"glusterfs"_s, u"lustre"_s, u"davfs"_s, u"sshfs"_s,
    };
    if (type == u"fuseblk")
        return false; // a local disk through FUSE (NTFS, exFAT)
    if (type == u"fuse" || type.startsWith(u"fuse."))
        return true;
    return network.contains(type);
}

} // namespace

QList<MountEntry> parseMountInfo(const QByteArray &text)
{
    QList<MountEntry> entries;
    for (const QByteArray &line : text.split('\n')) {
        // id parent major:minor root mount-point options [optional…] - type source super-options
        QList<QByteArray> fields;
        for (const QByteArray &field : line.split(' ')) {
            if (!field.isEmpty())
                fields.append(field);
        }
        if (fields.size() < 9)
            continue;
        qsizetype separator = -1;
        for (qsizetype i = 6; i < fields.size(); ++i) {
            if (fields[i] == "-") {
                separator = i;
                break;
            }
        }
        if (separator < 0 || separator + 2 >= fields.size())
            continue;
        bool ok = false;
        const int id = fields[0].toInt(&ok);
        if (!ok)
            continue;
        MountEntry entry;
        entry.id = id;
        entry.mountPoint = unescape(fields[4]);
        entry.fileSystem = unescape(fields[separator + 1]);
        entry.source = unescape(fields[separator + 2]);
        entries.append(entry);
    }
    return entries;
}

bool isUserVolume(const MountEntry &entry)
{
    const QString &point = entry.mountPoint;
    if (!point.startsWith(u'/'))
        return false;
    if (isNetworkFileSystem(entry.fileSystem))
        return false;
    // Only file systems that sit on a block device: no tmpfs, overlay, proc…
    if (!entry.source.startsWith(u"/dev/"))
        return false;
    for (QStringView system : {u"/proc", u"/sys", u"/dev", u"/boot", u"/snap"}) {
        if (isUnder(point, system))
            return false;
    }
    if (isUnder(point, u"/run") && !isUnder(point, u"/run/media"))
        return false;
    return true;
}

QList<MountEntry> userVolumes(const QByteArray &text)
{
    // The last mount of a mount point is the one that is visible there.
    QList<MountEntry> top;
    QHash<QString, qsizetype> position; // systems with many containers have thousands of mounts
    for (const MountEntry &entry : parseMountInfo(text)) {
        const auto it = position.constFind(entry.mountPoint);
        if (it == position.constEnd()) {
            position.insert(entry.mountPoint, top.size());
            top.append(entry);
        } else {
            top[*it] = entry;
        }
    }
    top.removeIf([](const MountEntry &e) { return !isUserVolume(e); });
    return top;
}

std::optional<QByteArray> readMountInfoFrom(int fd)
{
    if (::lseek(fd, 0, SEEK_SET) < 0)
        return std::nullopt;
    QByteArray text;
    char buffer[16384];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return std::nullopt;
        if (n == 0)
            return text;
        text.append(buffer, n);
    }
}

QByteArray readMountInfo()
{
    const int fd = ::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    const std::optional<QByteArray> text = readMountInfoFrom(fd);
    ::close(fd);
    return text.value_or(QByteArray());
}

QStringList mountedVolumes()
{
    QStringList points;
    for (const MountEntry &entry : userVolumes(readMountInfo()))
        points.append(entry.mountPoint);
    return points;
}

QString fileSystemOfMagic(unsigned long magic)
{
    // The super-block magic numbers of <linux/magic.h> and the drivers that
    // keep theirs to themselves (exFAT, ntfs3, ZFS).
    static const QHash<unsigned long, QString> known{
        {0x4d44UL, u"vfat"_s},           {0x2011bab0UL, u"exfat"_s},     {0xef53UL, u"ext2/3/4"_s},
        {0x9123683eUL, u"btrfs"_s},      {0x58465342UL, u"xfs"_s},       {0x5346544eUL, u"ntfs"_s},
        {0x7366746eUL, u"ntfs3"_s},      {0x65735546UL, u"fuseblk"_s},   {0x01021994UL, u"tmpfs"_s},
        {0x482bUL, u"hfsplus"_s},        {0x4244UL, u"hfs"_s},           {0xf2f52010UL, u"f2fs"_s},
        {0x2fc12fc1UL, u"zfs"_s},        {0x794c7630UL, u"overlay"_s},   {0x858458f6UL, u"ramfs"_s},
        {0x9660UL, u"iso9660"_s},        {0x15013346UL, u"udf"_s},       {0x73717368UL, u"squashfs"_s},
        {0x6969UL, u"nfs"_s},            {0xff534d42UL, u"cifs"_s},      {0xfe534d42UL, u"smb3"_s},
        {0x01021997UL, u"9p"_s},         {0x52654973UL, u"reiserfs"_s},  {0xca451a4eUL, u"bcachefs"_s},
    };
    return known.value(magic);
}

QString fileSystemOf(const QString &path, const QByteArray &mountInfo)
{
    const QString real = QFileInfo(path).canonicalFilePath();
    if (real.isEmpty())
        return {};
    QString best;
    QString type;
    bool found = false;
    for (const MountEntry &entry : parseMountInfo(mountInfo)) {
        const QString &point = entry.mountPoint;
        const bool holds = point == u"/" || isUnder(real, point);
        // Later lines mount over earlier ones at the same point.
        if (holds && (!found || point.size() >= best.size())) {
            best = point;
            type = entry.fileSystem;
            found = true;
        }
    }
    if (found)
        return type;
    struct statfs st;
    int result;
    do
        result = ::statfs(paths::encode(real).constData(), &st);
    while (result != 0 && errno == EINTR);
    if (result != 0)
        return {};
    // The magic numbers are 32 bits wide; where f_type is a signed 32-bit long they come negative.
    return fileSystemOfMagic(static_cast<unsigned long>(st.f_type) & 0xffffffffUL);
}

QString fileSystemOf(const QString &path)
{
    return fileSystemOf(path, readMountInfo());
}

bool isVolume(const QString &root, const QByteArray &mountInfo)
{
    const QString path = paths::standardized(root);
    if (path.isEmpty() || path == u"/")
        return false;
    const QList<MountEntry> volumes = userVolumes(mountInfo);
    return std::any_of(volumes.begin(), volumes.end(), [&](const MountEntry &e) { return e.mountPoint == path; });
}

bool isVolume(const QString &root)
{
    return isVolume(root, readMountInfo());
}

} // namespace volumes
