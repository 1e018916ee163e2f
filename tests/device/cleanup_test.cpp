#include "device/cleanup.h"
#include "device/device.h"
#include "platform/appfolders.h"
#include "platform/errors.h"
#include "platform/text.h"
#include "support/devicefixture.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

const QByteArray magic("\x00\x05\x16\x07", 4);

QByteArray appleDouble(const char *tail = "Mac OS X        ATTR")
{
    return magic + QByteArray("\x00\x02\x00\x00", 4) + QByteArray(tail);
}

class CleanupTest : public ::testing::Test
{
protected:
    void SetUp() override { AppFolders::setApplicationSupportOverride(device.outside(u"Support/Vontaro"_s)); }
    void TearDown() override { AppFolders::setApplicationSupportOverride(QString()); }

    QStringList relative(const QStringList &paths) const
    {
        QStringList out;
        for (const QString &path : paths)
            out.append(QDir(device.root()).relativeFilePath(path));
        return out;
    }
    QStringList backupFolders() const
    {
        return QDir(AppFolders::backups()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    DeviceFixture device;
};

} // namespace

TEST_F(CleanupTest, SearchFindsOnlyRealCompanionsInMusicFolders)
{
    device.writeFile(u"Music/A/B/song.mp3"_s, "audio");
    device.writeFile(u"Music/A/B/._song.mp3"_s, appleDouble());
    device.writeFile(u"Music/A/B/._orphan.mp3"_s, appleDouble());       // no counterpart
    device.writeFile(u"Music/A/B/notes.txt"_s, "n");
    device.writeFile(u"Music/A/B/._notes.txt"_s, "plain text, no magic"); // not AppleDouble
    device.writeFile(u"Music/A/B/a"_s, "a");
    device.writeFile(u"Music/A/B/._a"_s, magic.left(3));                  // too short
    device.writeFile(u"Music/A/B/target.flac"_s, "t");
    device.makeLink(u"Music/A/B/._linked"_s, device.path(u"Music/A/B/._song.mp3"_s)); // companion is a link
    device.writeFile(u"Music/A/B/._x"_s, appleDouble());
    device.makeLink(u"Music/A/B/x"_s, device.path(u"Music/A/B/target.flac"_s)); // counterpart is a link
    device.writeFile(u"Music/A/._B"_s, appleDouble());                   // counterpart is a folder: fine
    device.writeFile(u"Music/.hidden/cover.jpg"_s, "c");
    device.writeFile(u"Music/.hidden/._cover.jpg"_s, appleDouble());
    device.writeFile(u"Podcasts/ep.mp3"_s, "p");
    device.writeFile(u"Podcasts/._ep.mp3"_s, appleDouble());
    device.writeFile(u"music2/t.mp3"_s, "t");
    device.writeFile(u"music2/._t.mp3"_s, appleDouble());
    device.writeFile(u"MUSIC VIDEOS/v.mp4"_s, "v");
    device.writeFile(u"MUSIC VIDEOS/._v.mp4"_s, appleDouble());
    const QString elsewhere = device.makeFolder(device.outside(u"linked-music"_s));
    device.writeFile(elsewhere + u"/s.mp3"_s, "s");
    device.writeFile(elsewhere + u"/._s.mp3"_s, appleDouble());
    device.makeLink(u"Music Linked"_s, elsewhere); // a linked top folder is not searched

    QStringList found = relative(Storage::macMetadataFiles(device.root()));
    found.sort();
    EXPECT_EQ(found, QStringList({u"MUSIC VIDEOS/._v.mp4"_s, u"Music/.hidden/._cover.jpg"_s, u"Music/A/._B"_s,
                                  u"Music/A/B/._song.mp3"_s, u"music2/._t.mp3"_s}));
}

TEST_F(CleanupTest, RemovesCompanionsAfterBackingThemUpWithManifest)
{
    const QByteArray first = appleDouble("first");
    const QByteArray second = appleDouble("second");
    device.writeFile(u"Music/A/B/song.mp3"_s, "audio");
    const QString one = device.writeFile(u"Music/A/B/._song.mp3"_s, first);
    device.writeFile(u"Music/A/B/cover.jpeg"_s, "jpeg");
    const QString two = device.writeFile(u"Music/A/B/._cover.jpeg"_s, second);
    device.writeFile(u"Music/A/B/._notes.txt"_s, "no magic");
    device.writeFile(u"Music/A/B/notes.txt"_s, "n");

    EXPECT_EQ(Storage::cleanupMacMetadata(device.root(), AppFolders::backups()), 2);
    EXPECT_FALSE(device.exists(one));
    EXPECT_FALSE(device.exists(two));
    EXPECT_EQ(device.read(u"Music/A/B/song.mp3"_s), "audio");
    EXPECT_EQ(device.read(u"Music/A/B/._notes.txt"_s), "no magic");

    const QStringList folders = backupFolders();
    ASSERT_EQ(folders.size(), 1);
    ASSERT_TRUE(folders.first().startsWith(u"MacMetadata-"_s));
    EXPECT_TRUE(text::isUuid(folders.first().mid(12)));
    const QString folder = AppFolders::backups() + u'/' + folders.first();
    const QStringList files = QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    ASSERT_EQ(files.size(), 3);
    EXPECT_TRUE(files.contains(u"manifest.json"_s));

    const QByteArray manifestBytes = device.read(folder + u"/manifest.json"_s);
    EXPECT_FALSE(manifestBytes.contains('\n'));
    EXPECT_TRUE(manifestBytes.contains(R"(\/Music\/A\/B\/._song.mp3")"));
    const QJsonObject manifest = QJsonDocument::fromJson(manifestBytes).object();
    ASSERT_EQ(manifest.size(), 2);
    QMap<QString, QByteArray> restored;
    for (auto it = manifest.begin(); it != manifest.end(); ++it) {
        EXPECT_TRUE(it.key().endsWith(u".appledouble"_s));
        EXPECT_TRUE(text::isUuid(it.key().chopped(12)));
        restored.insert(it.value().toString(), device.read(folder + u'/' + it.key()));
    }
    EXPECT_EQ(restored, (QMap<QString, QByteArray>{{one, first}, {two, second}}));
}

TEST_F(CleanupTest, GivenFilesYieldTheirCompanionsInsideTheDeviceOnly)
{
    const QString cover = device.path(u"Music/A/B/cover.jpeg"_s); // need not exist
    const QString companion = device.writeFile(u"Music/A/B/._cover.jpeg"_s, appleDouble());
    const QString plain = device.writeFile(u"Music/A/B/._plain.jpeg"_s, "not apple double");
    const QString linkedCompanion = device.makeLink(u"Music/A/B/._linked.jpeg"_s, companion);
    // Outside the device, also when reached through a link on the device.
    DeviceFixture other(u"IPOD2"_s);
    other.writeFile(u"Music/._t.flac"_s, appleDouble());
    device.makeLink(u"Music/escape"_s, other.path(u"Music"_s));
    const QStringList given{cover,
                            device.path(u"Music/A/B/plain.jpeg"_s),
                            device.path(u"Music/A/B/linked.jpeg"_s),
                            other.path(u"Music/t.flac"_s),
                            device.path(u"Music/escape/t.flac"_s),
                            device.path(u"Music/A/B/missing.jpeg"_s),
                            cover};
    EXPECT_EQ(Storage::macMetadataCompanions(given, device.root()), QStringList({companion, companion}));

    // A file given twice is removed once.
    EXPECT_EQ(Storage::cleanupMacMetadata(device.root(), AppFolders::backups(), given), 1);
    EXPECT_FALSE(device.exists(companion));
    EXPECT_TRUE(device.exists(plain));
    EXPECT_TRUE(other.exists(u"Music/._t.flac"_s));
    EXPECT_TRUE(QFileInfo(linkedCompanion).isSymLink());
}

TEST_F(CleanupTest, NothingFoundCreatesNothing)
{
    device.writeFile(u"Music/A/song.mp3"_s, "audio");
    EXPECT_EQ(Storage::cleanupMacMetadata(device.root(), AppFolders::backups()), 0);
    EXPECT_EQ(Storage::cleanupMacMetadata(device.root(), AppFolders::backups(), QStringList{}), 0);
    EXPECT_FALSE(QDir(AppFolders::backups()).exists());
}

TEST_F(CleanupTest, FailedBackupLeavesTheDeviceUntouched)
{
    device.writeFile(u"Music/A/song.mp3"_s, "audio");
    const QString companion = device.writeFile(u"Music/A/._song.mp3"_s, appleDouble());
    const QString blocked = device.writeFile(device.outside(u"not-a-folder"_s), "file");
    EXPECT_THROW(Storage::cleanupMacMetadata(device.root(), blocked), PosixError);
    EXPECT_TRUE(device.exists(companion));

    DeviceFixture notADevice(u"IPOD"_s, false);
    EXPECT_THROW(Storage::cleanupMacMetadata(notADevice.root(), AppFolders::backups()), TavoError);
}

TEST(Manifest, CompactWithEscapedSlashes)
{
    EXPECT_EQ(Storage::encodeManifest({{u"A.appledouble"_s, u"/Volumes/IPOD/Music/._a b.mp3"_s}}),
              R"({"A.appledouble":"\/Volumes\/IPOD\/Music\/._a b.mp3"})");
    EXPECT_EQ(Storage::encodeManifest({}), "{}");
    const QByteArray quoted = Storage::encodeManifest({{u"k"_s, u"/a\"b/ł"_s}});
    EXPECT_EQ(QJsonDocument::fromJson(quoted).object().value(u"k"_s).toString(), u"/a\"b/ł"_s);
}

TEST(CleanupChecks, DeviceThatVanishesBeforeADeleteKeepsTheRest)
{
    // The device is inspected once, then checked before each of the three deletes.
    const struct {
        int vanishAt;
        int removed;
    } cases[] = {{1, 0}, {2, 0}, {3, 1}, {4, 2}, {5, 3}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.vanishAt);
        DeviceFixture device;
        for (const QString &name : {u"a"_s, u"b"_s, u"c"_s}) {
            device.writeFile(u"Music/X/"_s + name + u".mp3"_s, "audio");
            device.writeFile(u"Music/X/._"_s + name + u".mp3"_s, appleDouble());
        }
        int seen = 0;
        DeviceChecks::setObserverForTesting([&] {
            if (++seen == c.vanishAt)
                QDir().rename(device.path(u".rockbox"_s), device.path(u".gone"_s));
        });
        const QString message = [&] {
            try {
                Storage::cleanupMacMetadata(device.root(), device.outside(u"backups"_s));
            } catch (const TavoError &error) {
                return error.message();
            }
            return u"(no error)"_s;
        }();
        DeviceChecks::setObserverForTesting({});
        EXPECT_EQ(message, c.removed == 3 ? u"(no error)"_s : u"Ten folder nie zawiera katalogu .rockbox."_s);
        int left = 0;
        for (const QString &entry : device.entriesBelow(u"Music/X"_s))
            left += entry.startsWith(u"._"_s) ? 1 : 0;
        EXPECT_EQ(3 - left, c.removed);
        EXPECT_EQ(seen, std::min(c.vanishAt, 4));
    }
}

TEST_F(CleanupTest, StalePartialFilesAreRemovedFromTheMusicFoldersAndTheCandidatesFolders)
{
    const QString stale = u".vontaro-0A1B2C3D-0000-4000-8000-00000000000F.partial"_s;
    device.writeFile(u"Music/A/B/"_s + stale, "left behind");
    device.writeFile(u"Music/A/B/.vontaro-0A1B2C3D-0000-4000-8000-00000000000G.partial"_s, "not ours: G is no hex digit");
    device.writeFile(u"Playlists/"_s + stale, "not a folder the clean-up touches");
    EXPECT_EQ(Storage::cleanupMacMetadata(device.root(), device.outside(u"backups"_s)), 0);
    EXPECT_FALSE(device.exists(u"Music/A/B/"_s + stale));
    EXPECT_TRUE(device.exists(u"Music/A/B/.vontaro-0A1B2C3D-0000-4000-8000-00000000000G.partial"_s));
    EXPECT_TRUE(device.exists(u"Playlists/"_s + stale));

    // Given files: their folders are cleaned, wherever they lie on the device.
    const QString cover = device.writeFile(u"Covers/x/cover.jpg"_s, "jpg");
    device.writeFile(u"Covers/x/"_s + stale, "left behind");
    EXPECT_EQ(Storage::cleanupMacMetadata(device.root(), device.outside(u"backups"_s), QStringList{cover}), 0);
    EXPECT_FALSE(device.exists(u"Covers/x/"_s + stale));
    EXPECT_TRUE(device.exists(u"Playlists/"_s + stale));
}
