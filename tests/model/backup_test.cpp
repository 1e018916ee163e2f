#include "operationstesting.h"

#include "platform/defaults.h"
#include "support/qtprinters.h"

#include <QDir>
#include <QRegularExpression>

namespace {

class Backups : public OperationsTest
{
protected:
    void SetUp() override
    {
        OperationsTest::SetUp();
        device.writeFile(u".rockbox/config.cfg"_s, "volume: -20\n");
        device.writeFile(u".rockbox/themes/Alpha.cfg"_s, "wps: /.rockbox/wps/Alpha.wps\n");
    }

    Track deviceTrack(const QString &relative)
    {
        Track track;
        track.id = QUuid::createUuid();
        track.url = device.writeFile(relative, "audio");
        return track;
    }
};

} // namespace

TEST_F(Backups, ABackupIsSavedAndListedFirst)
{
    connectDevice();
    // An older backup and a clean-up copy are already there.
    QDir().mkpath(support(u"Backups/2001-01-01_00-00-00_AAAAAA"_s));
    QDir().mkpath(support(u"Backups/MacMetadata-1234"_s));

    model->backup();
    EXPECT_TRUE(model->busy());
    EXPECT_EQ(model->status(), u"Tworzę kopię ustawień…"_s);
    ASSERT_TRUE(waitUntilIdle(*model));

    EXPECT_EQ(model->status(), u"Kopia ustawień zapisana na komputerze"_s);
    EXPECT_FALSE(model->alert());
    const QStringList made = QDir(support(u"Backups"_s)).entryList({u"2[0-9][0-9][0-9]-*"_s}, QDir::Dirs, QDir::Name | QDir::Reversed);
    ASSERT_EQ(made.size(), 2);
    const QString newest = support(u"Backups/"_s) + made.first();
    EXPECT_TRUE(QFile::exists(newest + u"/config.cfg"_s));
    EXPECT_TRUE(QFile::exists(newest + u"/themes/Alpha.cfg"_s));
    EXPECT_TRUE(QFile::exists(newest + u"/README.txt"_s));
    // Letters sort above digits, so the clean-up copy comes before the dated backups.
    EXPECT_EQ(model->backups(), (QStringList{support(u"Backups/MacMetadata-1234"_s), newest,
                                             support(u"Backups/2001-01-01_00-00-00_AAAAAA"_s)}));
}

TEST_F(Backups, NewBackupNamesAreStampedAndDistinct)
{
    const QString first = model->newBackupURL();
    const QString second = model->newBackupURL();
    // The folder that holds them exists; the named backups do not yet.
    EXPECT_TRUE(QFileInfo(support(u"Backups"_s)).isDir());
    EXPECT_FALSE(QFile::exists(first));
    EXPECT_NE(first, second);
    const QRegularExpression stamp(u"^[0-9]{4}-[0-9]{2}-[0-9]{2}_[0-9]{2}-[0-9]{2}-[0-9]{2}_[0-9A-F]{6}$"_s);
    for (const QString &url : {first, second}) {
        EXPECT_EQ(QFileInfo(url).path(), support(u"Backups"_s));
        EXPECT_TRUE(stamp.match(QFileInfo(url).fileName()).hasMatch()) << url.toStdString();
    }
}

TEST_F(Backups, GuardsStartNothing)
{
    model->setStatus(u"przed"_s);
    model->backup(); // no device
    EXPECT_FALSE(model->busy());
    connectDevice();
    model->setBusy(true);
    model->backup(); // another operation running
    model->setBusy(false);
    EXPECT_EQ(model->status(), u"przed"_s);
    EXPECT_FALSE(model->alert());
    EXPECT_FALSE(QDir(support(u"Backups"_s)).exists());
}

TEST_F(Backups, AnUnusableBackupsFolderOnlyAlerts)
{
    connectDevice();
    // A file stands where the application's data folder belongs.
    QFile blocker(device.outside(u"Support"_s));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    model->setStatus(u"przed"_s);

    model->backup();
    EXPECT_FALSE(model->busy());
    EXPECT_EQ(model->status(), u"przed"_s);
    ASSERT_TRUE(model->alert());
    EXPECT_FALSE(model->alert()->isEmpty());
}

TEST_F(Backups, AFailedBackupReportsItsError)
{
    connectDevice();
    // Backups that would land on the device itself are refused.
    AppFolders::setApplicationSupportOverride(device.path(u"Vontaro"_s));

    model->backup();
    ASSERT_TRUE(waitUntilIdle(*model));
    EXPECT_EQ(model->status(), u"Nie udało się zapisać kopii"_s);
    EXPECT_EQ(model->alert(), u"Zapisz kopię poza iPodem."_s);
    EXPECT_FALSE(model->busy());
}

TEST_F(Backups, PlaylistTracksAreUniqueAndInPlainPathOrder)
{
    connectDevice();
    const Track a = deviceTrack(u"Music/A/y.mp3"_s);
    const Track b = deviceTrack(u"Music/B/x.mp3"_s);
    const Track upper = deviceTrack(u"Music/Z.mp3"_s);
    const Track lower = deviceTrack(u"Music/a.mp3"_s);
    const Track unmarked = deviceTrack(u"Music/C/z.mp3"_s);
    model->setDeviceTracks({b, a, lower, upper, unmarked});
    model->setTransferred({b.url});
    model->setSelectedOnDevice({a.id, b.id, upper.id, lower.id});

    EXPECT_EQ(model->playlistTracks(), (QStringList{a.url, b.url, upper.url, lower.url}));
}

TEST_F(Backups, APlaylistIsWrittenAtOnce)
{
    connectDevice();
    const Track a = deviceTrack(u"Music/A/y.mp3"_s);
    model->setDeviceTracks({a});
    model->setSelectedOnDevice({a.id});
    // Even while another operation runs.
    model->setBusy(true);

    model->makePlaylist();
    EXPECT_EQ(model->status(), u"Zapisano Moja playlista.m3u8"_s);
    EXPECT_EQ(device.read(u"Playlists/Moja playlista.m3u8"_s), "#EXTM3U\n/Music/A/y.mp3\n");
    EXPECT_TRUE(model->busy());
    model->setBusy(false);
    ASSERT_TRUE(waitUntil([&] { return model->playlists().size() == 1; }));

    // The same name again is refused, and the status keeps its text.
    model->makePlaylist();
    EXPECT_EQ(model->alert(), u"Playlista o tej nazwie już istnieje. Wybierz inną nazwę."_s);
    EXPECT_EQ(model->status(), u"Zapisano Moja playlista.m3u8"_s);
}

TEST_F(Backups, APlaylistNeedsTracksAndADevice)
{
    model->setStatus(u"przed"_s);
    model->makePlaylist();
    EXPECT_FALSE(model->alert());

    connectDevice();
    model->makePlaylist();
    EXPECT_EQ(model->alert(), u"Najpierw wgraj utwory na iPoda."_s);
    EXPECT_EQ(model->status(), u"przed"_s);
    EXPECT_FALSE(device.exists(u"Playlists"_s));
}

TEST(BackupTexts, ReadInEnglish)
{
    Defaults::clear();
    Defaults::setString(u"appLanguage"_s, u"en"_s);
    EXPECT_EQ(AppLocalizer::display(u"Zapisano Moja playlista.m3u8"_s), u"Saved Moja playlista.m3u8"_s);
    for (const QString &text :
         {u"Tworzę kopię ustawień…"_s, u"Kopia ustawień zapisana na komputerze"_s, u"Nie udało się zapisać kopii"_s})
        EXPECT_NE(AppLocalizer::display(text), text) << text.toStdString();
    Defaults::clear();
}
