// What the quality and device pages read beyond the published fields: the
// collection checks made on a worker (with the album of each cover problem and
// the two rules of the cover buttons), a result whose inputs changed meanwhile
// dropped, the facts of the device's volume, and the per-device description
// and drawing choices.

#include "caretesting.h"

#include "media/albumgrouping.h"
#include "support/imagefixtures.h"
#include "support/qtprinters.h"

#include <QFile>
#include <QSignalSpy>

namespace {

void tag(Track &track)
{
    track.info.tags = {{u"TITLE"_s, track.title}, {u"ARTIST"_s, track.artist}, {u"ALBUM"_s, track.album}};
}

class Quality : public OperationsTest
{
protected:
    // Runs one inspection to its end.
    bool inspect()
    {
        model->inspectCollection();
        return waitUntil([&] { return !model->inspectingCollection(); });
    }

    QList<Track> albumTracks(const QString &folder, const QString &title, std::optional<QByteArray> art,
                             int count = 2)
    {
        QList<Track> tracks;
        for (int i = 1; i <= count; ++i) {
            Track t = libraryTrack(folder + u"/%1.mp3"_s.arg(i, 2, 10, QChar(u'0')), u"Artist"_s, title, 1, i,
                                   i == 1 ? art : std::nullopt);
            tag(t);
            tracks.append(t);
        }
        return tracks;
    }
};

TEST_F(Quality, TheInspectionNamesEachCoverProblemsAlbumAndTheRulesOfTheCoverButtons)
{
    const QList<Track> bare = albumTracks(library(u"Bare"_s), u"Bare"_s, std::nullopt);
    const QList<Track> fine = albumTracks(library(u"Fine"_s), u"Fine"_s, fixtures::jpeg(300, 300));
    const QList<Track> large = albumTracks(library(u"Large"_s), u"Large"_s, fixtures::jpeg(800, 800));
    Track gone = libraryTrack(library(u"Gone/01.mp3"_s), u"Artist"_s, u"Gone"_s, 1, 1, fixtures::jpeg(300, 300));
    tag(gone);
    ASSERT_TRUE(QFile::remove(gone.url));
    model->setTracks(bare + fine + large + QList<Track>{gone});

    ASSERT_TRUE(inspect());
    const TavoModel::CollectionInspection &result = model->collectionInspection();
    ASSERT_EQ(result.issues.size(), 3);
    ASSERT_EQ(result.coverAlbums.size(), 3);
    QMap<QString, QString> albumOfIssue; // issue title → album title
    for (qsizetype i = 0; i < result.issues.size(); ++i) {
        const QualityIssue &issue = result.issues[i];
        if (issue.kind == u"Okładki"_s) {
            ASSERT_TRUE(result.coverAlbums[i].has_value()) << issue.title.toStdString();
            albumOfIssue.insert(issue.title, result.coverAlbums[i]->title);
            EXPECT_EQ(result.coverAlbums[i]->tracks.size(), 2);
        } else {
            EXPECT_EQ(issue.kind, u"Pliki"_s);
            EXPECT_FALSE(result.coverAlbums[i].has_value());
        }
    }
    EXPECT_EQ(albumOfIssue, (QMap<QString, QString>{{u"Bare"_s, u"Bare"_s}, {u"Large"_s, u"Large"_s}}));
    EXPECT_TRUE(result.repairableCovers);    // "Large" carries a picture to repair from
    EXPECT_TRUE(result.albumWithoutArtwork); // "Bare" has none

    // Without the oversized picture and the bare album, neither rule holds.
    model->setTracks(fine);
    ASSERT_TRUE(inspect());
    EXPECT_TRUE(model->collectionInspection().issues.isEmpty());
    EXPECT_FALSE(model->collectionInspection().repairableCovers);
    EXPECT_FALSE(model->collectionInspection().albumWithoutArtwork);

    // Only a bare album: something to look up online, nothing to repair.
    model->setTracks(bare);
    ASSERT_TRUE(inspect());
    EXPECT_FALSE(model->collectionInspection().repairableCovers);
    EXPECT_TRUE(model->collectionInspection().albumWithoutArtwork);
}

TEST_F(Quality, AResultForTracksChangedMeanwhileIsDroppedAndTheChecksRunAgain)
{
    const QList<Track> first = albumTracks(library(u"First"_s), u"First"_s, std::nullopt);
    const QList<Track> second = albumTracks(library(u"Second"_s), u"Second"_s, std::nullopt, 3);
    model->setTracks(first);
    QSignalSpy published(model.get(), &TavoModel::collectionInspectionChanged);

    model->inspectCollection();
    // The tracks change while the first inspection runs; nobody asks again.
    model->setTracks(second);
    ASSERT_TRUE(waitUntil([&] { return !model->inspectingCollection() && published.size() > 0; }));
    drainWork();
    ASSERT_EQ(published.size(), 1);
    ASSERT_EQ(model->collectionInspection().issues.size(), 1);
    EXPECT_EQ(model->collectionInspection().issues[0].title, u"Second"_s);
    EXPECT_EQ(model->collectionInspection().issues[0].tracks.size(), 3);

    // Calls while one runs are folded into one more run, on the newest tracks.
    published.clear();
    model->inspectCollection();
    model->inspectCollection();
    model->setTracks(first);
    model->inspectCollection();
    ASSERT_TRUE(waitUntil([&] { return !model->inspectingCollection() && published.size() > 0; }));
    drainWork();
    EXPECT_EQ(published.size(), 1);
    ASSERT_EQ(model->collectionInspection().issues.size(), 1);
    EXPECT_EQ(model->collectionInspection().issues[0].title, u"First"_s);
}

TEST_F(Quality, OnlyTheDeviceSideWithADeviceLooksForCoverFilesOnTheDevice)
{
    connectDevice();
    ASSERT_TRUE(waitUntil([&] { return !model->refreshing(); }));
    // A device album whose picture is known but has no cover file beside its tracks.
    QList<Track> onDevice;
    for (int i = 1; i <= 2; ++i) {
        Track t = libraryTrack(device.path(u"Music/Artist/Album/%1.mp3"_s.arg(i)), u"Artist"_s, u"Album"_s, 1, i,
                               fixtures::jpeg(300, 300));
        tag(t);
        onDevice.append(t);
    }
    const QString missingFile =
        u"Okładka dostępna w bibliotece, ale brakuje pliku przy części utworów na iPodzie. Zapisz wersję dla Rockbox."_s;

    model->setTracks(onDevice);
    model->setDeviceTracks(onDevice);
    ASSERT_TRUE(inspect());
    EXPECT_TRUE(model->collectionInspection().issues.isEmpty()) << "the Mac side passes no device root";

    model->setLibraryOnDevice(true);
    ASSERT_TRUE(inspect());
    ASSERT_EQ(model->collectionInspection().issues.size(), 1);
    EXPECT_EQ(model->collectionInspection().issues[0].detail, missingFile);
    EXPECT_TRUE(model->collectionInspection().repairableCovers);
}

TEST_F(Quality, AlbumOfFindsTheFirstAlbumHoldingOneOfTheTracks)
{
    const QList<Track> a = albumTracks(library(u"A"_s), u"A"_s, std::nullopt);
    const QList<Track> b = albumTracks(library(u"B"_s), u"B"_s, std::nullopt);
    model->setTracks(a + b);
    const QList<Album> grouped = AlbumGrouping::albums(model->activeTracks());
    ASSERT_EQ(grouped.size(), 2);
    // A duplicate group spanning both albums opens the first in the grouping's order.
    const std::optional<Album> found = model->albumOf({b[1], a[0]});
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->id(), grouped[0].id());
    EXPECT_EQ(model->albumOf({b[0]})->title, u"B"_s);
    Track stranger = a[0];
    stranger.id = QUuid::createUuid();
    EXPECT_FALSE(model->albumOf({stranger}).has_value());
}

TEST_F(Quality, TheDeviceVolumeIsReadWhenTheDeviceIsSetAndForgottenWithIt)
{
    EXPECT_FALSE(model->deviceVolume().has_value());
    QSignalSpy changed(model.get(), &TavoModel::deviceVolumeChanged);
    connectDevice();
    ASSERT_TRUE(waitUntil([&] { return model->deviceVolume().has_value(); }));
    EXPECT_EQ(model->deviceVolume()->root, device.root());
    EXPECT_TRUE(model->deviceVolume()->writable);
    EXPECT_FALSE(model->deviceVolume()->fileSystem.isEmpty());

    model->setDevice(std::nullopt);
    EXPECT_FALSE(model->deviceVolume().has_value());
}

TEST_F(Quality, DescriptionAndDrawingChoicesAreKeptPerDeviceAcrossRestarts)
{
    EXPECT_EQ(model->storedAppearance(), u"auto"_s);
    model->setDeviceDescription(u"nothing without a device"_s);
    EXPECT_FALSE(Defaults::contains(u"deviceDescription-"_s));

    connectDevice();
    EXPECT_EQ(model->deviceDescription(), QString());
    EXPECT_EQ(model->storedAppearance(), u"auto"_s);
    EXPECT_EQ(model->storedFinish(), u"auto"_s);
    model->setDeviceDescription(u"iPod 5.5G, iFlash 256 GB, bateria 3000 mAh"_s);
    model->setAppearance(u"nano1g"_s);
    model->setFinish(u"u2"_s);
    // An emptied description stays stored, as an empty text.
    DeviceFixture other(u"OTHER"_s);
    model->select(Device::inspect(other.root()));
    model->setDeviceDescription(QString());
    EXPECT_TRUE(Defaults::contains(u"deviceDescription-"_s + other.root()));
    EXPECT_EQ(model->storedAppearance(), u"auto"_s);

    Defaults::flush();
    Defaults::reload();
    auto restarted = makeModel();
    restarted->select(Device::inspect(device.root()));
    EXPECT_EQ(restarted->deviceDescription(), u"iPod 5.5G, iFlash 256 GB, bateria 3000 mAh"_s);
    EXPECT_EQ(restarted->storedAppearance(), u"nano1g"_s);
    EXPECT_EQ(restarted->storedFinish(), u"u2"_s);
    restarted->setAppearance(u"auto"_s);
    EXPECT_EQ(restarted->storedAppearance(), u"auto"_s);
    EXPECT_FALSE(Defaults::contains(u"appearance-"_s + device.root()));
    restarted.reset();
    drainWork();
}

} // namespace
