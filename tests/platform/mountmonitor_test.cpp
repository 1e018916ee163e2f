#include "platform/mountmonitor.h"

#include "support/qtprinters.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

const QByteArray kSystem = "22 28 0:21 / /sys rw - sysfs sysfs rw\n"
                           "28 1 8:2 / / rw - ext4 /dev/sda2 rw\n";
const QByteArray kIpod = "50 28 8:17 / /media/ala/IPOD rw - vfat /dev/sdb1 rw\n";
const QByteArray kNano = "51 28 8:33 / /media/ala/My\\040Nano rw - vfat /dev/sdc1 rw\n";
// The same mount point, mounted again (another mount id) between two readings.
const QByteArray kIpodAgain = "57 28 8:17 / /media/ala/IPOD rw - vfat /dev/sdb1 rw\n";
const QByteArray kTmpfs = "60 28 0:70 / /media/ala/scratch rw - tmpfs tmpfs rw\n";
const QByteArray kNetwork = "61 28 0:71 / /media/ala/nas rw - nfs4 nas:/x rw\n";

struct Recorder {
    explicit Recorder(MountMonitor &monitor)
    {
        QObject::connect(&monitor, &MountMonitor::mounted, [this](const QString &p) { events.append(u"+"_s + p); });
        QObject::connect(&monitor, &MountMonitor::unmounted, [this](const QString &p) { events.append(u"-"_s + p); });
    }
    QStringList take() { return std::exchange(events, {}); }
    QStringList events;
};

TEST(MountMonitor, CompareFindsVolumesAddedAndRemoved)
{
    struct Case {
        QByteArray before;
        QByteArray after;
        QStringList unmounted;
        QStringList mounted;
    } cases[] = {
        {kSystem, kSystem + kIpod, {}, {u"/media/ala/IPOD"_s}},
        {kSystem + kIpod, kSystem, {u"/media/ala/IPOD"_s}, {}},
        {kSystem + kIpod, kSystem + kIpod, {}, {}},
        {kSystem + kIpod, kSystem + kNano, {u"/media/ala/IPOD"_s}, {u"/media/ala/My Nano"_s}},
        {kSystem, kSystem + kNano + kIpod, {}, {u"/media/ala/My Nano"_s, u"/media/ala/IPOD"_s}},
        {kSystem + kIpod, kSystem + kIpodAgain, {u"/media/ala/IPOD"_s}, {u"/media/ala/IPOD"_s}},
        // Mounts that are not disks come and go unnoticed.
        {kSystem, kSystem + kTmpfs + kNetwork, {}, {}},
        {kSystem + kTmpfs + kNetwork, kSystem, {}, {}},
        // Order of the lines alone changes nothing.
        {kSystem + kIpod + kNano, kNano + kSystem + kIpod, {}, {}},
    };
    for (const Case &c : cases) {
        const MountMonitor::Changes changes = MountMonitor::compare(c.before, c.after);
        EXPECT_EQ(changes.unmounted, c.unmounted) << c.after.constData();
        EXPECT_EQ(changes.mounted, c.mounted) << c.after.constData();
    }
}

TEST(MountMonitor, UpdateEmitsOneSignalPerChangeAndRemembersTheTable)
{
    MountMonitor monitor(kSystem + kIpod);
    EXPECT_FALSE(monitor.isWatching());
    EXPECT_EQ(monitor.volumes(), (QStringList{u"/"_s, u"/media/ala/IPOD"_s}));
    Recorder recorder(monitor);

    monitor.update(kSystem + kIpod + kNano);
    EXPECT_EQ(recorder.take(), QStringList{u"+/media/ala/My Nano"_s});
    // The same table again: nothing new.
    monitor.update(kSystem + kIpod + kNano);
    EXPECT_EQ(recorder.take(), QStringList{});
    // Removals are reported before additions.
    monitor.update(kSystem + kNano + kIpodAgain);
    EXPECT_EQ(recorder.take(), (QStringList{u"-/media/ala/IPOD"_s, u"+/media/ala/IPOD"_s}));
    monitor.update(kSystem + kTmpfs);
    EXPECT_EQ(recorder.take(), (QStringList{u"-/media/ala/My Nano"_s, u"-/media/ala/IPOD"_s}));
    EXPECT_EQ(monitor.volumes(), QStringList{u"/"_s});
}

TEST(MountMonitor, ReceiversSeeTheNewTable)
{
    MountMonitor monitor(kSystem);
    QStringList seen;
    QObject::connect(&monitor, &MountMonitor::mounted, [&] { seen = monitor.volumes(); });
    monitor.update(kSystem + kIpod);
    EXPECT_EQ(seen, (QStringList{u"/"_s, u"/media/ala/IPOD"_s}));
}

TEST(MountMonitor, WatchesThisProcesssTable)
{
    MountMonitor monitor;
    EXPECT_TRUE(monitor.isWatching());
    EXPECT_EQ(monitor.volumes(), volumes::mountedVolumes());
}

} // namespace
