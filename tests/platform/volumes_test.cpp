#include "platform/volumes.h"

#include "support/qtprinters.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/vfs.h>

using namespace Qt::StringLiterals;

namespace {

// A mount table as a desktop system writes it: the system's own mounts, a
// network share, a FUSE mount of the desktop, and three plugged-in disks, one
// of them with blanks and a backslash in its name.
const QByteArray kTable =
    "22 28 0:21 / /sys rw,nosuid,nodev,noexec,relatime shared:7 - sysfs sysfs rw\n"
    "23 28 0:22 / /proc rw,nosuid,nodev,noexec,relatime shared:13 - proc proc rw\n"
    "24 28 0:5 / /dev rw,nosuid,relatime shared:2 - devtmpfs udev rw,size=8000000k,mode=755\n"
    "25 24 0:23 / /dev/pts rw,nosuid,noexec,relatime shared:3 - devpts devpts rw,gid=5,mode=620\n"
    "26 28 0:24 / /run rw,nosuid,nodev,noexec,relatime shared:5 - tmpfs tmpfs rw,size=1600000k,mode=755\n"
    "28 1 8:2 / / rw,relatime shared:1 - ext4 /dev/sda2 rw,errors=remount-ro\n"
    "30 28 8:1 / /boot/efi rw,relatime shared:15 - vfat /dev/sda1 rw,fmask=0077\n"
    "31 28 7:0 / /snap/core22/1122 ro,nodev,relatime shared:16 - squashfs /dev/loop0 ro\n"
    "32 28 8:3 / /home rw,relatime shared:17 - ext4 /dev/sda3 rw\n"
    "40 28 0:45 / /mnt/nas rw,relatime shared:20 - nfs4 nas:/export rw,vers=4.2\n"
    "41 28 0:46 / /mnt/share rw,relatime shared:21 - cifs //server/share rw\n"
    "42 28 0:47 / /mnt/smb rw,relatime shared:22 - smb3 //server/x rw\n"
    "43 26 0:48 / /run/user/1000/gvfs rw,nosuid,nodev,relatime shared:23 - fuse.gvfsd-fuse gvfsd-fuse rw\n"
    "44 28 0:49 / /mnt/ssh rw,relatime shared:24 - fuse.sshfs /dev/fake rw\n"
    "45 26 0:50 / /run/lock rw,nosuid,nodev,noexec,relatime shared:6 - tmpfs tmpfs rw\n"
    "50 26 8:17 / /run/media/ala/IPOD rw,nosuid,nodev,relatime shared:30 - vfat /dev/sdb1 rw,fmask=0022\n"
    "51 28 8:33 / /media/ala/My\\040iPod\\134x rw,nosuid,nodev,relatime shared:31 - vfat /dev/sdc1 rw\n"
    "52 28 8:49 / /media/ala/Nano rw,nosuid,nodev,relatime shared:32 - fuseblk /dev/sdd1 rw,user_id=0\n"
    "53 28 0:51 / /tmp rw,nosuid,nodev shared:33 - tmpfs tmpfs rw\n";

QStringList mountPoints(const QList<volumes::MountEntry> &entries)
{
    QStringList points;
    for (const auto &e : entries)
        points.append(e.mountPoint);
    return points;
}

TEST(Volumes, ParsesEveryLineWithEscapesDecoded)
{
    const QList<volumes::MountEntry> entries = volumes::parseMountInfo(kTable);
    ASSERT_EQ(entries.size(), 19);
    EXPECT_EQ(entries[0].id, 22);
    EXPECT_EQ(entries[0].mountPoint, u"/sys"_s);
    EXPECT_EQ(entries[0].fileSystem, u"sysfs"_s);
    const volumes::MountEntry &named = entries[16];
    EXPECT_EQ(named.id, 51);
    EXPECT_EQ(named.mountPoint, u"/media/ala/My iPod\\x"_s);
    EXPECT_EQ(named.fileSystem, u"vfat"_s);
    EXPECT_EQ(named.source, u"/dev/sdc1"_s);
    // Optional fields vary in number; the separator "-" ends them.
    const QList<volumes::MountEntry> more = volumes::parseMountInfo(
        "60 28 8:65 / /media/x rw shared:40 master:2 propagate_from:1 - exfat /dev/sde1 rw\n"
        "61 28 8:66 / /media/y rw - ext4 /dev/sdf1 rw");
    ASSERT_EQ(more.size(), 2);
    EXPECT_EQ(more[0].fileSystem, u"exfat"_s);
    EXPECT_EQ(more[1].source, u"/dev/sdf1"_s);
}

TEST(Volumes, DecodesNonAsciiAndEveryEscapedCharacter)
{
    const QList<volumes::MountEntry> entries = volumes::parseMountInfo(
        "70 28 8:1 / /media/ala/P\xc5\x82yta\\011tab\\012lf\\040end rw - vfat /dev/sdg1 rw\n"
        "71 28 8:2 / /media/ala/bad\\09x rw - vfat /dev/sdg2 rw\n");
    ASSERT_EQ(entries.size(), 2);
    EXPECT_EQ(entries[0].mountPoint, u"/media/ala/Płyta\ttab\nlf end"_s);
    EXPECT_EQ(entries[1].mountPoint, u"/media/ala/bad\\09x"_s); // not an octal escape: kept
}

TEST(Volumes, SkipsMalformedLines)
{
    const QList<volumes::MountEntry> entries = volumes::parseMountInfo(
        "\n"
        "garbage\n"
        "80 28 8:1 / /media/a rw shared:1 vfat /dev/sdh1 rw\n"          // no separator
        "x 28 8:1 / /media/b rw - vfat /dev/sdh1 rw\n"                    // no id
        "81 28 8:1 / /media/c rw -\n"                                     // nothing after it
        "82 28 8:1 / /media/d rw - vfat /dev/sdh2 rw\n");
    EXPECT_EQ(mountPoints(entries), QStringList{u"/media/d"_s});
}

TEST(Volumes, KeepsOnlyBlockDeviceVolumes)
{
    EXPECT_EQ(mountPoints(volumes::userVolumes(kTable)),
              (QStringList{u"/"_s, u"/home"_s, u"/run/media/ala/IPOD"_s, u"/media/ala/My iPod\\x"_s,
                           u"/media/ala/Nano"_s}));
    EXPECT_EQ(volumes::userVolumes({}), QList<volumes::MountEntry>{});
}

TEST(Volumes, ClassifiesEachKindOfMount)
{
    struct Case {
        const char *mountPoint;
        const char *fileSystem;
        const char *source;
        bool volume;
    } cases[] = {
        {"/media/u/IPOD", "vfat", "/dev/sdb1", true},
        {"/media/u/IPOD", "hfsplus", "/dev/sdb2", true},
        {"/media/u/NTFS", "fuseblk", "/dev/sdb1", true},
        {"/run/media", "ext4", "/dev/sdb1", true},
        {"/run/media/u/IPOD", "vfat", "/dev/sdb1", true},
        {"/runner", "ext4", "/dev/sdb1", true},       // only /run itself and below are system mounts
        {"/run/mediax", "ext4", "/dev/sdb1", false},
        {"/run/user/0/x", "ext4", "/dev/sdb1", false},
        {"/run", "ext4", "/dev/sdb1", false},
        {"/proc/x", "ext4", "/dev/sdb1", false},
        {"/sys/fs/bpf", "bpf", "bpf", false},
        {"/dev/shm", "tmpfs", "tmpfs", false},
        {"/boot", "ext4", "/dev/sda1", false},
        {"/bootleg", "ext4", "/dev/sda1", true},
        {"/snap/x/1", "squashfs", "/dev/loop3", false},
        {"/mnt/a", "nfs", "/dev/sdb1", false},
        {"/mnt/a", "nfs4", "host:/x", false},
        {"/mnt/a", "cifs", "//h/s", false},
        {"/mnt/a", "smb3", "//h/s", false},
        {"/mnt/a", "fuse.sshfs", "/dev/sdb1", false},
        {"/mnt/a", "fuse", "/dev/fuse", false},
        {"/mnt/a", "tmpfs", "tmpfs", false},
        {"/mnt/a", "overlay", "overlay", false},
        {"relative", "ext4", "/dev/sdb1", false},
    };
    for (const Case &c : cases) {
        const volumes::MountEntry entry{1, QString::fromUtf8(c.mountPoint), QString::fromUtf8(c.fileSystem),
                                        QString::fromUtf8(c.source)};
        EXPECT_EQ(volumes::isUserVolume(entry), c.volume) << c.mountPoint << " " << c.fileSystem << " " << c.source;
    }
}

TEST(Volumes, TopmostMountOfAMountPointDecides)
{
    // A disk hidden by a tmpfs mounted over it is not reachable there any more.
    const QByteArray table = "28 1 8:2 / / rw - ext4 /dev/sda2 rw\n"
                             "50 28 8:17 / /media/a rw - vfat /dev/sdb1 rw\n"
                             "51 28 8:33 / /media/b rw - vfat /dev/sdc1 rw\n"
                             "52 50 0:60 / /media/a rw - tmpfs tmpfs rw\n"
                             "53 51 8:49 / /media/b rw - ext4 /dev/sdd1 rw\n";
    const QList<volumes::MountEntry> found = volumes::userVolumes(table);
    EXPECT_EQ(mountPoints(found), (QStringList{u"/"_s, u"/media/b"_s}));
    ASSERT_EQ(found.size(), 2);
    EXPECT_EQ(found[1].id, 53);
}

TEST(Volumes, IsVolumeMeansAVolumeMountPointOtherThanRoot)
{
    struct Case {
        const char *root;
        bool volume;
    } cases[] = {
        {"/run/media/ala/IPOD", true},
        {"/run/media/ala/IPOD/", true},
        {"/run/media/ala/./IPOD", true},
        {"/media/ala/My iPod\\x", true},
        {"/run/media/ala/IPOD/Music", false},
        {"/run/media/ala", false},
        {"/run/media/ala/IPOD2", false},
        {"/", false},
        {"/tmp", false},        // a tmpfs, not a disk
        {"/mnt/nas", false},    // a network share
        {"/home/ala/ipod", false},
        {"", false},
    };
    for (const Case &c : cases)
        EXPECT_EQ(volumes::isVolume(QString::fromUtf8(c.root), kTable), c.volume) << c.root;
}

TEST(Volumes, ReadsThisSystemsTable)
{
    const QByteArray table = volumes::readMountInfo();
    ASSERT_FALSE(table.isEmpty());
    EXPECT_FALSE(volumes::parseMountInfo(table).isEmpty());
    // Whatever is mounted here, no system or network mount is ever listed.
    for (const QString &point : volumes::mountedVolumes()) {
        EXPECT_FALSE(point.startsWith(u"/proc"_s) || point.startsWith(u"/sys"_s)) << point.toStdString();
        EXPECT_TRUE(point.startsWith(u'/'));
    }
    EXPECT_FALSE(volumes::isVolume(u"/"_s));
    EXPECT_FALSE(volumes::isVolume(u"/proc"_s));
}

TEST(Volumes, StatfsMagicNumbersNameTheirFileSystems)
{
    const struct {
        unsigned long magic;
        const char16_t *name;
    } cases[] = {
        {0x4d44, u"vfat"},      {0x2011bab0, u"exfat"},  {0xef53, u"ext2/3/4"}, {0x9123683e, u"btrfs"},
        {0x58465342, u"xfs"},   {0x5346544e, u"ntfs"},   {0x7366746e, u"ntfs3"}, {0x65735546, u"fuseblk"},
        {0x01021994, u"tmpfs"}, {0x794c7630, u"overlay"}, {0x482b, u"hfsplus"},   {0x12345678, u""},
        {0, u""},
    };
    for (const auto &c : cases)
        EXPECT_EQ(volumes::fileSystemOfMagic(c.magic), QString::fromUtf16(c.name)) << std::hex << c.magic;
}

TEST(Volumes, TheFileSystemOfAPathComesFromTheMountTableOrElseFromStatfs)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString folder = QDir(dir.path()).canonicalPath() + u"/IPOD"_s;
    ASSERT_TRUE(QDir().mkpath(folder + u"/.rockbox"_s));
    const QString inside = folder + u"/.rockbox"_s;
    const QByteArray point = QFile::encodeName(folder).replace(" ", "\\040");

    // The innermost mount holding the path names it; a mount beside it does not.
    const QByteArray table = "28 1 8:2 / / rw - ext4 /dev/sda2 rw\n"
                             "60 28 8:17 / " + point + " rw - vfat /dev/sdb1 rw\n"
                             "61 28 8:18 / " + point + "2 rw - exfat /dev/sdc1 rw\n";
    EXPECT_EQ(volumes::fileSystemOf(inside, table), u"vfat"_s);
    EXPECT_EQ(volumes::fileSystemOf(folder, table), u"vfat"_s);
    EXPECT_EQ(volumes::fileSystemOf(dir.path(), table), u"ext4"_s);
    // A later mount over the same point is the one seen there.
    EXPECT_EQ(volumes::fileSystemOf(inside, table + "62 60 8:19 / " + point + " rw - exfat /dev/sdd1 rw\n"),
              u"exfat"_s);

    // A chroot's table without its root, an empty or unreadable one: the kernel
    // answers for the path itself.
    struct statfs st {};
    ASSERT_EQ(::statfs(QFile::encodeName(inside).constData(), &st), 0);
    const QString reported = volumes::fileSystemOfMagic(static_cast<unsigned long>(st.f_type) & 0xffffffffUL);
    const QByteArray chroot = "22 28 0:21 / /sys rw - sysfs sysfs rw\n"
                              "23 28 0:22 / /proc rw - proc proc rw\n"
                              "61 28 8:18 / " + point + "2 rw - exfat /dev/sdc1 rw\n";
    for (const QByteArray &without : {chroot, QByteArray(), QByteArray("not a mount table\n")}) {
        EXPECT_EQ(volumes::fileSystemOf(inside, without), reported) << without.constData();
        EXPECT_FALSE(volumes::fileSystemOf(inside, without).isEmpty()) << std::hex << st.f_type;
    }
    // The system's own table or statfs, whichever answers, knows this folder.
    EXPECT_FALSE(volumes::fileSystemOf(inside).isEmpty());
    // A path that is not there has no file system.
    EXPECT_EQ(volumes::fileSystemOf(folder + u"/missing"_s, chroot), QString());
    EXPECT_EQ(volumes::fileSystemOf(folder + u"/missing"_s, table), QString());
}

} // namespace
