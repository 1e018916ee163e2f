// Drills on a real FAT32 file system: a disk that fills up, a disk that fails
// and a disk that vanishes in the middle of a transfer, and the names and
// case-insensitive lookups FAT brings. They run only where the FAT32 stage of
// the test command has mounted a FAT32 file system for them (inside a
// user-mode Linux kernel) and say so by the environment:
//   VONTARO_FAT_MOUNT    the mount point, mounted
//   VONTARO_FAT_DEVICE   the device-mapper device mounted there (a linear map)
//   VONTARO_FAT_DISK     the disk below it, VONTARO_FAT_SECTORS its size in sectors
//   VONTARO_FAT_OPTIONS  the mount options in use
// Elsewhere every test is skipped.

#include "device/device.h"
#include "device/storage.h"
#include "device/themes.h"
#include "device/transfer.h"
#include "platform/errors.h"
#include "platform/paths.h"
#include "support/errorcapture.h"
#include "support/zipwriter.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

QString env(const char *name)
{
    return qEnvironmentVariable(name);
}

bool run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start(program, arguments);
    return process.waitForFinished(120'000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

QByteArray bytes(qsizetype size, char seed)
{
    QByteArray out(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        out[i] = char(seed + i * 7 + i / 4093);
    return out;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

QStringList partialsBelow(const QString &folder)
{
    QStringList found;
    paths::walk(folder, false, [&](const paths::WalkEntry &entry) {
        if (entry.path.endsWith(u".partial"_s))
            found.append(entry.path);
        return true;
    });
    return found;
}

class Fat32 : public ::testing::Test
{
protected:
    void SetUp() override
    {
        mount = env("VONTARO_FAT_MOUNT");
        if (mount.isEmpty())
            GTEST_SKIP() << "no FAT32 file system mounted for the drills";
        // Every file committed on its own, so a failure can fall between two.
        Storage::setTransferBatchForTesting(1);
        root = mount + u"/IPOD-"_s + QString::number(++counter);
        ASSERT_TRUE(QDir().mkpath(root + u"/.rockbox"_s));
        for (int i = 0; i < 3; ++i) {
            const QString path = computer.filePath(QString::asprintf("%d Track.flac", i + 1));
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(bytes(700'000 + i * 1000, char('a' + i)));
            sources.append(path);
        }
    }

    void TearDown() override { Storage::setTransferBatchForTesting(0); }

    QList<TransferFile> jobs() const
    {
        QList<TransferFile> out;
        for (const QString &source : sources)
            out.append(TransferFile{source, u"R.E.M."_s, u"Out of Time."_s, std::nullopt});
        return out;
    }
    QString album() const { return root + u"/Music/R.E.M/Out of Time"_s; }

    // Unplugs the disk (a lazy unmount, as when a cable comes out) and plugs
    // it back after the kernel's checker has repaired what it finds.
    static bool replug(bool failed)
    {
        const QString device = env("VONTARO_FAT_DEVICE");
        const QString name = paths::lastComponent(device);
        // Gone already when the disk vanished.
        run(u"umount"_s, {u"-l"_s, env("VONTARO_FAT_MOUNT")});
        bool ok = true;
        if (failed) {
            const QString table = u"0 "_s + env("VONTARO_FAT_SECTORS") + u" linear "_s + env("VONTARO_FAT_DISK") + u" 0"_s;
            ok = run(u"dmsetup"_s, {u"load"_s, name, u"--table"_s, table}) && ok;
            ok = run(u"dmsetup"_s, {u"resume"_s, name}) && ok;
        }
        // Nothing the old mount left in memory may stand in for the disk.
        run(u"blockdev"_s, {u"--flushbufs"_s, device});
        run(u"sh"_s, {u"-c"_s, u"echo 3 > /proc/sys/vm/drop_caches"_s});
        run(u"fsck.fat"_s, {u"-a"_s, u"-w"_s, device}); // exit 1 when it repaired something
        QStringList arguments{u"-t"_s, u"vfat"_s};
        if (!env("VONTARO_FAT_OPTIONS").isEmpty())
            arguments << u"-o"_s << env("VONTARO_FAT_OPTIONS");
        return run(u"mount"_s, arguments << device << env("VONTARO_FAT_MOUNT")) && ok;
    }

    // The device fails: every read and write from now on is an I/O error.
    static bool fail()
    {
        const QString name = paths::lastComponent(env("VONTARO_FAT_DEVICE"));
        return run(u"dmsetup"_s, {u"suspend"_s, u"--nolockfs"_s, u"--noflush"_s, name})
            && run(u"dmsetup"_s, {u"load"_s, name, u"--table"_s, u"0 "_s + env("VONTARO_FAT_SECTORS") + u" error"_s})
            && run(u"dmsetup"_s, {u"resume"_s, name});
    }

    static inline int counter = 0;
    QString mount;
    QString root;
    QTemporaryDir computer;
    QStringList sources;
};

} // namespace

TEST_F(Fat32, NamesAreTheNamesOnTheDisk)
{
    const TransferResult result = Storage::transfer(jobs(), root);
    ASSERT_EQ(result.copied, 3);
    const QStringList listed = QDir(album()).entryList(QDir::Files);
    for (const QString &destination : result.destinations) {
        EXPECT_TRUE(listed.contains(paths::lastComponent(destination))) << qPrintable(destination);
        EXPECT_EQ(readAll(destination), readAll(sources.at(result.destinations.indexOf(destination))));
    }
    EXPECT_EQ(QDir(root + u"/Music"_s).entryList(QDir::Dirs | QDir::NoDotAndDotDot), QStringList{u"R.E.M"_s});
    // Once more: every file is found again under its recorded name and skipped.
    EXPECT_EQ(Storage::transfer(jobs(), root).skipped, 3);
}

TEST_F(Fat32, FullDiskLeavesNoPartialFileAndTheRetryFinishes)
{
    const QString filler = mount + u"/filler.bin"_s;
    const QString message = tavoMessage([&] {
        try {
            Storage::transfer(jobs(), root, [&](int done, int) {
                if (done != 1)
                    return;
                QFile file(filler);
                ASSERT_TRUE(file.open(QIODevice::WriteOnly));
                const QByteArray block(1 << 20, 'f');
                while (file.write(block) == block.size()) {
                }
                file.close();
            });
        } catch (const PosixError &error) {
            throw TavoError(u"POSIX "_s + QString::number(error.code()));
        }
    });
    EXPECT_EQ(message, u"POSIX 28"_s); // ENOSPC
    EXPECT_TRUE(partialsBelow(root).isEmpty()) << qPrintable(partialsBelow(root).join(u", "_s));
    EXPECT_EQ(readAll(album() + u"/1 Track.flac"_s), readAll(sources.at(0)));
    ASSERT_TRUE(QFile::remove(filler));
    const TransferResult retry = Storage::transfer(jobs(), root);
    EXPECT_EQ(retry.skipped, 1);
    EXPECT_EQ(retry.copied, 2);
}

TEST_F(Fat32, FailingDeviceKeepsEveryTrackReportedAsCopied)
{
    int reported = 0;
    EXPECT_THROW(Storage::transfer(jobs(), root,
                                   [&](int done, int) {
                                       reported = done;
                                       if (done == 1) {
                                           ASSERT_TRUE(fail());
                                       }
                                   }),
                 std::exception);
    EXPECT_EQ(reported, 1);
    ASSERT_TRUE(replug(true));
    // What the transfer reported as copied survived with its bytes.
    EXPECT_EQ(readAll(album() + u"/1 Track.flac"_s), readAll(sources.at(0)));
    const TransferResult retry = Storage::transfer(jobs(), root);
    EXPECT_EQ(retry.skipped, 1);
    EXPECT_EQ(retry.copied, 2);
    EXPECT_EQ(QDir(album()).entryList(QDir::Files),
              (QStringList{u"1 Track.flac"_s, u"2 Track.flac"_s, u"3 Track.flac"_s}));
    EXPECT_TRUE(partialsBelow(root).isEmpty());
}

TEST_F(Fat32, VanishingDeviceLeavesAPartialFileThatTheNextTransferRemoves)
{
    // The disk goes away between the second copy and its rename: the partial
    // file stays on the disk, out of reach, until the next transfer.
    int checks = 0;
    DeviceChecks::setObserverForTesting([&] {
        // Inspection, space check, then two checks per job (before its folders
        // and before its rename): the sixth look is the second job's check
        // before its rename.
        if (++checks == 6)
            run(u"umount"_s, {u"-l"_s, mount});
    });
    const QString message = tavoMessage([&] { Storage::transfer(jobs(), root); });
    DeviceChecks::setObserverForTesting({});
    EXPECT_EQ(message, u"Ten folder nie zawiera katalogu .rockbox."_s);
    ASSERT_TRUE(replug(false));
    EXPECT_EQ(readAll(album() + u"/1 Track.flac"_s), readAll(sources.at(0)));
    EXPECT_EQ(partialsBelow(root).size(), 1);
    const TransferResult retry = Storage::transfer(jobs(), root);
    EXPECT_EQ(retry.copied, 2);
    EXPECT_TRUE(partialsBelow(root).isEmpty());
}

TEST_F(Fat32, FailedThemeInstallationRestoresTheFileUnderItsOwnSpelling)
{
    // Writes go in code-point order: cabbie.cfg, then d.cfg, whose place a folder takes.
    QDir().mkpath(root + u"/.rockbox/themes/d.cfg"_s);
    {
        QFile own(root + u"/.rockbox/themes/Cabbie.cfg"_s);
        ASSERT_TRUE(own.open(QIODevice::WriteOnly));
        own.write("the user's own");
    }
    QFile(root + u"/.rockbox/themes/d.cfg/keep"_s).open(QIODevice::WriteOnly);
    ZipWriter package;
    package.file(".rockbox/themes/cabbie.cfg", "from the package").file(".rockbox/themes/d.cfg", "blocked");
    const QString zip = computer.filePath(u"theme.zip"_s);
    EXPECT_THROW(Storage::installTheme(package.write(zip), root, computer.filePath(u"backup"_s)), std::exception);
    EXPECT_EQ(readAll(root + u"/.rockbox/themes/Cabbie.cfg"_s), "the user's own");
    EXPECT_TRUE(QDir(root + u"/.rockbox/themes"_s).entryList(QDir::Files).contains(u"Cabbie.cfg"_s));
}
