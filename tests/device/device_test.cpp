#include "device/device.h"
#include "platform/errors.h"
#include "platform/volumes.h"
#include "support/devicefixture.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>
#include <algorithm>
#include <cerrno>
#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <pthread.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <thread>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

QString refusal(const QString &root)
{
    try {
        Device::inspect(root);
    } catch (const TavoError &error) {
        return error.message();
    }
    return QString();
}

struct CapacityProbeGuard {
    explicit CapacityProbeGuard(DeviceCapacity::Probe probe) { DeviceCapacity::setProbe(std::move(probe)); }
    ~CapacityProbeGuard() { DeviceCapacity::setProbe({}); }
};

} // namespace

TEST(DeviceInspection, RefusesFolderWithoutRockboxFolder)
{
    DeviceFixture bare(u"IPOD"_s, false);
    EXPECT_EQ(refusal(bare.root()), u"Ten folder nie zawiera katalogu .rockbox."_s);

    DeviceFixture plainFile(u"IPOD"_s, false);
    plainFile.writeFile(u".rockbox"_s, "not a folder");
    EXPECT_EQ(refusal(plainFile.root()), u"Ten folder nie zawiera katalogu .rockbox."_s);

    // A link whose target is gone does not count as an existing folder.
    DeviceFixture dangling(u"IPOD"_s, false);
    dangling.makeLink(u".rockbox"_s, dangling.outside(u"gone"_s));
    EXPECT_EQ(refusal(dangling.root()), u"Ten folder nie zawiera katalogu .rockbox."_s);
}

TEST(DeviceInspection, RefusesLinkedRockboxFolderAndLinkedRoot)
{
    DeviceFixture linkedMarker(u"IPOD"_s, false);
    const QString real = linkedMarker.makeFolder(linkedMarker.outside(u"real-rockbox"_s));
    linkedMarker.makeLink(u".rockbox"_s, real);
    EXPECT_EQ(refusal(linkedMarker.root()), u"Folder urządzenia nie może być dowiązaniem symbolicznym."_s);

    DeviceFixture device;
    const QString link = device.makeLink(device.outside(u"LINKED"_s), device.root());
    EXPECT_EQ(refusal(link), u"Folder urządzenia nie może być dowiązaniem symbolicznym."_s);
    EXPECT_NO_THROW(Device::inspect(device.root()));
    // A trailing slash makes the path name what the link points to; it is still the link.
    EXPECT_EQ(refusal(link + u"/"_s), u"Folder urządzenia nie może być dowiązaniem symbolicznym."_s);
    EXPECT_EQ(refusal(link + u"//"_s), u"Folder urządzenia nie może być dowiązaniem symbolicznym."_s);
    EXPECT_NO_THROW(Device::inspect(device.root() + u"/"_s));
}

TEST(DeviceCheck, RefusesAVanishedSwappedOrLinkedDeviceAsTheInspectionWould)
{
    const auto message = [](const DeviceCheck &check) {
        try {
            check.check();
        } catch (const TavoError &error) {
            return error.message();
        }
        return u"(no error)"_s;
    };
    DeviceFixture device;
    const DeviceCheck check(device.root());
    EXPECT_EQ(check.device().root, device.root());
    EXPECT_EQ(check.device().name, u"IPOD"_s);
    EXPECT_EQ(message(check), u"(no error)"_s);
    // Things that change on a working device change nothing.
    device.writeFile(u"Music/a.flac"_s, "a");
    device.writeInfo("Version: 4.0\n");
    EXPECT_EQ(message(check), u"(no error)"_s);

    ASSERT_TRUE(QDir().rename(device.path(u".rockbox"_s), device.outside(u"saved"_s)));
    EXPECT_EQ(message(check), u"Ten folder nie zawiera katalogu .rockbox."_s);
    device.makeFolder(u".rockbox"_s); // another device in the same place
    EXPECT_EQ(message(check), u"Urządzenie zostało zamienione na inne."_s);
    ASSERT_TRUE(QDir().rmdir(device.path(u".rockbox"_s)));
    device.makeLink(u".rockbox"_s, device.outside(u"saved"_s)); // the very folder, through a link
    EXPECT_EQ(message(check), u"Folder urządzenia nie może być dowiązaniem symbolicznym."_s);
    ASSERT_EQ(::unlink(device.path(u".rockbox"_s).toUtf8().constData()), 0);
    ASSERT_TRUE(QDir().rename(device.outside(u"saved"_s), device.path(u".rockbox"_s)));
    EXPECT_EQ(message(check), u"(no error)"_s);

    // A check made through a trailing slash still sees the root turned into a link.
    DeviceFixture other;
    const DeviceCheck slashed(other.root() + u"/"_s);
    ASSERT_TRUE(QDir().rename(other.root(), other.outside(u"moved"_s)));
    other.makeLink(other.root(), other.outside(u"moved"_s));
    EXPECT_EQ(message(slashed), u"Folder urządzenia nie może być dowiązaniem symbolicznym."_s);

    EXPECT_THROW(DeviceCheck(device.outside(u"nowhere"_s)), TavoError);
}

TEST(DeviceInspection, VersionLineRules)
{
    const struct {
        const char *info;
        QString version;
    } cases[] = {
        {"Target: ipodvideo\nVersion: 3.15   \n", u"3.15"_s},
        {"Version: 3.15 \t\n", u"3.15"_s},
        {"Version:\n", QString()},
        {"Version:", QString()},
        {" Version: 3.15\n", u"wersja nieznana"_s},
        {"version: 3.15\n", u"wersja nieznana"_s},
        {"Target: x\nVersion: first\nVersion: second\n", u"first"_s},
        {"Version: 4.0\r\nTarget: y\r\n", u"4.0"_s},
        {"Version: aVersion:b\n", u"ab"_s},
        {"Target: x\n", u"wersja nieznana"_s},
        {"", u"wersja nieznana"_s},
    };
    for (const auto &c : cases) {
        DeviceFixture device;
        device.writeInfo(c.info);
        EXPECT_EQ(Device::inspect(device.root()).version, c.version) << c.info;
        EXPECT_EQ(Device::versionFromInfo(QString::fromUtf8(c.info)), c.version) << c.info;
    }
}

TEST(DeviceInspection, MissingOrUnreadableInfoFileMeansUnknownVersion)
{
    DeviceFixture missing;
    EXPECT_EQ(Device::inspect(missing.root()).version, u"wersja nieznana"_s);

    DeviceFixture notUtf8;
    notUtf8.writeInfo("Version: \xff\xfe 1.0\n");
    EXPECT_EQ(Device::inspect(notUtf8.root()).version, u"wersja nieznana"_s);

    DeviceFixture folder; // a folder where the file should be can't be read as text
    folder.makeFolder(u".rockbox/rockbox-info.txt"_s);
    EXPECT_EQ(Device::inspect(folder.root()).version, u"wersja nieznana"_s);
}

TEST(DeviceInspection, InfoFileThatIsNoRegularFileIsNotRead)
{
    // A FIFO would block the inspection (which runs before every write step)
    // until some other program writes to it; it counts as unreadable.
    DeviceFixture fifo;
    const QByteArray info = QFile::encodeName(fifo.path(u".rockbox/rockbox-info.txt"_s));
    ASSERT_EQ(::mkfifo(info.constData(), 0600), 0);
    // Should the inspection ever block on the FIFO again, this feeds it a version
    // so the test fails instead of hanging. Its open waits for a reader: the
    // inspection's, or the one opened below once the inspection is over.
    std::thread feeder([&] {
        // The inspection may close its end before this writes: that is EPIPE
        // here, not a SIGPIPE that ends the test program.
        sigset_t pipe;
        sigemptyset(&pipe);
        sigaddset(&pipe, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
        int fd;
        do
            fd = ::open(info.constData(), O_WRONLY | O_CLOEXEC);
        while (fd < 0 && errno == EINTR);
        if (fd < 0)
            return;
        const char text[] = "Version: blocked\n";
        if (::write(fd, text, sizeof text - 1) < 0 && errno == EPIPE) {
            const timespec none{};
            ::sigtimedwait(&pipe, nullptr, &none); // the signal raised for this write
        }
        ::close(fd);
    });
    const QString version = Device::inspect(fifo.root()).version;
    const int reader = ::open(info.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    feeder.join();
    if (reader >= 0)
        ::close(reader);
    EXPECT_EQ(version, u"wersja nieznana"_s);

    // A link to a regular file is read like the file itself.
    DeviceFixture linked;
    const QString real = linked.writeFile(linked.outside(u"info.txt"_s), "Version: 3.15\n");
    linked.makeLink(u".rockbox/rockbox-info.txt"_s, real);
    EXPECT_EQ(Device::inspect(linked.root()).version, u"3.15"_s);
}

TEST(DeviceInspection, RecordFieldsAndCapacitiesFromStatvfs)
{
    DeviceFixture device(u"MÓJ IPOD"_s);
    device.writeInfo("Version: 3.15\n");
    const Device d = Device::inspect(device.root() + u'/');
    EXPECT_EQ(d.root, device.root() + u'/'); // kept exactly as given
    EXPECT_EQ(d.id(), d.root);
    EXPECT_EQ(d.name, u"MÓJ IPOD"_s);
    EXPECT_FALSE(d.isVolume);

    struct statvfs st;
    ASSERT_EQ(::statvfs(QFile::encodeName(device.root()).constData(), &st), 0);
    EXPECT_EQ(d.total, qint64(st.f_blocks) * qint64(st.f_frsize));
    EXPECT_GT(d.total, 0);
    // Free space moves as other programs write; it only has to be a plausible statvfs figure.
    EXPECT_GT(d.available, 0);
    EXPECT_LE(d.available, d.total);
}

TEST(DeviceInspection, CapacityProbeAndEqualityOfRecords)
{
    DeviceFixture device;
    qint64 free = 1000;
    CapacityProbeGuard guard([&](const QString &) { return VolumeCapacity{free, 5000}; });
    const Device first = Device::inspect(device.root());
    EXPECT_EQ(first.available, 1000);
    EXPECT_EQ(first.total, 5000);
    EXPECT_EQ(first, Device::inspect(device.root()));
    free = 999;
    EXPECT_NE(first, Device::inspect(device.root())); // a change of free space makes a new value
}

TEST(DeviceInspection, CapacityFailureIsPosixError)
{
    EXPECT_THROW(DeviceCapacity::of(u"/nonexistent-vontaro-folder/x"_s), PosixError);
}

TEST(DeviceInspection, VolumeMeansAMountPointOtherThanRoot)
{
    DeviceFixture device;
    EXPECT_FALSE(Device::inspect(device.root()).isVolume); // a plain test folder

    // Mount the device folder onto itself: now it is a mounted disk of its own.
    // Where the process may, the mount is made in a mount table of its own, so
    // that nothing else on the machine sees a disk come and go.
    if (::unshare(CLONE_NEWNS) == 0)
        ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr);
    const QByteArray root = QFile::encodeName(device.root());
    if (::mount(root.constData(), root.constData(), nullptr, MS_BIND, nullptr) != 0)
        GTEST_SKIP() << "bind mounts are not permitted here (errno " << errno << ")";
    struct Unmount {
        QByteArray path;
        ~Unmount() { ::umount2(path.constData(), MNT_DETACH); }
    } unmount{root};
    // Only disks count as volumes; a temporary folder on tmpfs or overlay makes no disk mount.
    const QList<volumes::MountEntry> mounts = volumes::parseMountInfo(volumes::readMountInfo());
    const auto mounted = std::find_if(mounts.rbegin(), mounts.rend(),
                                      [&](const volumes::MountEntry &e) { return e.mountPoint == device.root(); });
    ASSERT_NE(mounted, mounts.rend());
    if (!volumes::isUserVolume(*mounted))
        GTEST_SKIP() << "the temporary folder is not on a disk (" << mounted->fileSystem.toStdString() << ")";
    EXPECT_TRUE(Device::inspect(device.root()).isVolume);
    EXPECT_TRUE(Device::inspect(device.root() + u"/"_s).isVolume);
    device.makeFolder(u"inner/.rockbox"_s);
    EXPECT_FALSE(Device::inspect(device.path(u"inner"_s)).isVolume); // below the mount point
}

TEST(DeviceInspection, RealRockboxFolderFromIpodVideo)
{
    const QString corpus = QStringLiteral(VONTARO_TEST_DATA_DIR "/corpus/rockbox-device/");
    const struct {
        const char *folder;
        QString version;
    } devices[] = {
        {"ipodvideo-budm-rockb0x", u"modifiedf86f7883f5-200329"_s},
        {"erosqnative-SoraBee", u"adbd0125fd-241206"_s},
    };
    for (const auto &expected : devices) {
        const QString root = corpus + QString::fromUtf8(expected.folder);
        ASSERT_TRUE(QFile::exists(root + u"/.rockbox/rockbox-info.txt"_s)) << expected.folder;
        const Device d = Device::inspect(root);
        EXPECT_EQ(d.version, expected.version);
        EXPECT_EQ(d.name, QString::fromUtf8(expected.folder));
        EXPECT_FALSE(d.isVolume);
        EXPECT_GT(d.total, 0);
    }
    // A folder with only config.cfg and no .rockbox is no device.
    EXPECT_EQ(refusal(corpus + u"rockbox-repo-sample"_s), u"Ten folder nie zawiera katalogu .rockbox."_s);
}
