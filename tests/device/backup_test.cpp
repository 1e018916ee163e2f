#include "device/backup.h"
#include "platform/appfolders.h"
#include "platform/errors.h"
#include "platform/sha256.h"
#include "support/devicefixture.h"
#include "support/errorcapture.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

// Backups live where the application keeps them; each test gets a fresh one.
class BackupTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        AppFolders::setApplicationSupportOverride(device.outside(u"Application Support/Vontaro"_s));
        ASSERT_TRUE(QDir().mkpath(AppFolders::backups()));
    }
    void TearDown() override { AppFolders::setApplicationSupportOverride(QString()); }

    QString destination(const QString &name = u"2026-12-09_10-30-06_ABCDEF"_s) const
    {
        return AppFolders::backups() + u'/' + name;
    }
    QStringList leftovers() const
    {
        return QDir(AppFolders::backups()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    }

    DeviceFixture device;
};

// Relative path → SHA-256 of every regular file below a folder.
QMap<QString, QByteArray> digestsBelow(const QString &folder)
{
    QMap<QString, QByteArray> out;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        out.insert(QDir(folder).relativeFilePath(path), sha256::ofFile(path));
    }
    return out;
}

} // namespace

TEST_F(BackupTest, ReadmeText)
{
    const QDateTime when(QDate(2026, 12, 9), QTime(10, 30, 6), Qt::UTC);
    EXPECT_EQ(Storage::backupReadme(u"IPOD"_s, when),
              u"Kopia ustawień i motywów Rockbox — Vontaro\n2026-12-09 10:30:06 +0000\nUrządzenie: IPOD\n"
              "Nie zawiera muzyki ani firmware.\n"_s);
    // A local moment is written as UTC.
    const QDateTime warsaw(QDate(2026, 7, 1), QTime(12, 0, 0), Qt::OffsetFromUTC, 2 * 3600);
    EXPECT_TRUE(Storage::backupReadme(u"x"_s, warsaw).contains(u"\n2026-07-01 10:00:00 +0000\n"_s));
}

TEST_F(BackupTest, OnlyConfigGivesConfigAndReadme)
{
    device.writeFile(u".rockbox/config.cfg"_s, "volume: -20\n");
    const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(-1);
    Storage::backup(device.root(), destination());
    EXPECT_EQ(device.entriesBelow(destination()), QStringList({u"README.txt"_s, u"config.cfg"_s}));
    EXPECT_EQ(device.read(destination() + u"/config.cfg"_s), "volume: -20\n");

    const QStringList lines = QString::fromUtf8(device.read(destination() + u"/README.txt"_s)).split(u'\n');
    ASSERT_EQ(lines.size(), 5); // four lines, each ended by a line feed
    EXPECT_EQ(lines.at(0), u"Kopia ustawień i motywów Rockbox — Vontaro"_s);
    const QDateTime written = QDateTime::fromString(lines.at(1).chopped(6), u"yyyy-MM-dd HH:mm:ss"_s);
    EXPECT_TRUE(lines.at(1).endsWith(u" +0000"_s));
    const QDateTime writtenUtc(written.date(), written.time(), Qt::UTC);
    EXPECT_GE(writtenUtc, before);
    EXPECT_LE(writtenUtc, QDateTime::currentDateTimeUtc().addSecs(1));
    EXPECT_EQ(lines.at(2), u"Urządzenie: IPOD"_s);
    EXPECT_EQ(lines.at(3), u"Nie zawiera muzyki ani firmware."_s);
    EXPECT_EQ(lines.at(4), QString());
    EXPECT_EQ(leftovers(), QStringList{u"2026-12-09_10-30-06_ABCDEF"_s}); // no partial folder
}

TEST_F(BackupTest, NothingToCopyGivesReadmeAlone)
{
    Storage::backup(device.root(), destination());
    EXPECT_EQ(device.entriesBelow(destination()), QStringList{u"README.txt"_s});
}

TEST_F(BackupTest, CopiesTheNineEntriesAndNothingElse)
{
    for (const QString &entry : Storage::backupEntries()) {
        if (entry == u"config.cfg"_s)
            device.writeFile(u".rockbox/config.cfg"_s, "c");
        else
            device.writeFile(u".rockbox/"_s + entry + u"/.hidden/"_s + entry + u".txt"_s, entry.toUtf8());
    }
    device.writeInfo("Version: 4.0\n");
    device.writeFile(u".rockbox/rockbox.ipod"_s, "firmware");
    device.writeFile(u".rockbox/codecs/flac.codec"_s, "codec");
    device.writeFile(u"Music/A/B/song.flac"_s, "music");
    Storage::backup(device.root(), destination());
    QStringList expected{u"README.txt"_s, u"config.cfg"_s};
    for (const QString &entry : Storage::backupEntries().mid(1))
        expected << entry << entry + u"/.hidden"_s << entry + u"/.hidden/"_s + entry + u".txt"_s;
    expected.sort();
    EXPECT_EQ(device.entriesBelow(destination()), expected);
    EXPECT_EQ(device.read(destination() + u"/fmpresets/.hidden/fmpresets.txt"_s), "fmpresets");
}

TEST_F(BackupTest, RealIpodVideoSettingsAreCopiedByteForByte)
{
    const QString corpus = QStringLiteral(VONTARO_TEST_DATA_DIR "/corpus/rockbox-device/ipodvideo-budm-rockb0x");
    Storage::backup(corpus, destination());
    const QMap<QString, QByteArray> copied = digestsBelow(destination());
    QStringList folders;
    for (const QString &path : copied.keys())
        folders.append(path.section(u'/', 0, 0));
    folders.removeDuplicates();
    EXPECT_EQ(folders, QStringList({u"README.txt"_s, u"backdrops"_s, u"fonts"_s, u"icons"_s, u"themes"_s, u"wps"_s}));
    for (const QString &folder : {u"themes"_s, u"wps"_s, u"fonts"_s, u"icons"_s, u"backdrops"_s}) {
        const QMap<QString, QByteArray> original = digestsBelow(corpus + u"/.rockbox/"_s + folder);
        ASSERT_FALSE(original.isEmpty()) << qPrintable(folder);
        EXPECT_EQ(digestsBelow(destination() + u'/' + folder), original) << qPrintable(folder);
    }
    EXPECT_TRUE(device.read(destination() + u"/README.txt"_s).contains("Urządzenie: ipodvideo-budm-rockb0x\n"));
    EXPECT_FALSE(copied.contains(u"docs/COPYING.txt"_s));
}

TEST_F(BackupTest, DestinationMustLieOutsideTheDevice)
{
    const QString inside = u"Zapisz kopię poza iPodem."_s;
    for (const QString &target : QStringList{device.root(), device.root() + u"/"_s, device.path(u"Backups"_s),
                                  device.path(u"a/b/c/d"_s), device.path(u".rockbox/../x"_s)})
        EXPECT_EQ(tavoMessage([&] { Storage::backup(device.root(), target); }), inside) << qPrintable(target);
    // Through a link on the computer that points into the device.
    const QString link = device.makeLink(device.outside(u"shortcut"_s), device.root());
    EXPECT_EQ(tavoMessage([&] { Storage::backup(device.root(), link + u"/copy"_s); }), inside);
    EXPECT_FALSE(device.exists(u"copy"_s));

    // A sibling that merely begins with the same letters is fine.
    device.makeFolder(device.outside(u"IPOD2"_s));
    Storage::backup(device.root(), device.outside(u"IPOD2/x"_s));
    EXPECT_TRUE(device.exists(device.outside(u"IPOD2/x/README.txt"_s)));
}

TEST_F(BackupTest, ExistingDestinationIsRefused)
{
    const QString taken = u"Folder kopii już istnieje."_s;
    device.makeFolder(destination(u"empty"_s));
    device.writeFile(destination(u"file"_s), "x");
    device.makeLink(destination(u"dangling"_s), device.outside(u"nowhere"_s));
    for (const QString &name : {u"empty"_s, u"file"_s, u"dangling"_s})
        EXPECT_EQ(tavoMessage([&] { Storage::backup(device.root(), destination(name)); }), taken);
    EXPECT_TRUE(QDir(destination(u"empty"_s)).isEmpty());
    EXPECT_FALSE(device.exists(device.outside(u"nowhere"_s)));
}

TEST_F(BackupTest, LinkInsideThemesFailsTheWholeBackupAndLeavesNothing)
{
    device.writeFile(u".rockbox/config.cfg"_s, "c");
    device.writeFile(u".rockbox/themes/a.cfg"_s, "a");
    device.makeLink(u".rockbox/themes/deep/er/evil.bmp"_s, u"/etc/passwd"_s);
    EXPECT_EQ(tavoMessage([&] { Storage::backup(device.root(), destination()); }),
              u"Paczka zawiera dowiązanie symboliczne."_s);
    EXPECT_TRUE(leftovers().isEmpty());

    // An entry that is itself a link is refused the same way.
    DeviceFixture linked;
    linked.makeLink(u".rockbox/fonts"_s, linked.makeFolder(linked.outside(u"fonts"_s)));
    EXPECT_EQ(tavoMessage([&] { Storage::backup(linked.root(), destination()); }),
              u"Paczka zawiera dowiązanie symboliczne."_s);
    EXPECT_TRUE(leftovers().isEmpty());
}

TEST_F(BackupTest, OtherFailures)
{
    DeviceFixture notADevice(u"IPOD"_s, false);
    EXPECT_EQ(tavoMessage([&] { Storage::backup(notADevice.root(), destination()); }),
              u"Ten folder nie zawiera katalogu .rockbox."_s);
    // The destination's parent must exist.
    EXPECT_THROW(Storage::backup(device.root(), AppFolders::backups() + u"/missing/x"_s), PosixError);
    EXPECT_TRUE(leftovers().isEmpty());
}
