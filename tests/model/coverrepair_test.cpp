#include "caretesting.h"

#include "media/albumgrouping.h"
#include "media/artwork.h"
#include "media/jpegmarkers.h"
#include "platform/sha256.h"
#include "support/imagefixtures.h"
#include "support/qtprinters.h"
#include "support/coverbytes.h"

#include <QDir>
#include <QFile>
#include <atomic>

namespace {

const QString nothingToRepair =
    u"Brak dostępnych obrazów do automatycznej naprawy. Przy brakującej okładce wybierz plik obrazu."_s;
const QString macAdvice = u"Okładki są gotowe do wgrania razem z albumami."_s;
const QString deviceAdvice = u"Poprzednie obrazy z iPoda mają kopię na komputerze."_s;
const QString pickAdvice = u"Brakujące lub nieczytelne obrazy wymagają wyboru nowej okładki."_s;

QString summary(int repaired, int failed)
{
    return u"Naprawione albumy: %1. Nie udało się naprawić: %2."_s.arg(repaired).arg(failed);
}

QString alertText(int repaired, int failed, const QString &sideAdvice)
{
    return summary(repaired, failed) + u"\n"_s + sideAdvice + u"\n"_s + pickAdvice;
}

// A cover Rockbox shows as it is: a small baseline JPEG.
QByteArray fitCover()
{
    return fixtures::jpeg(300, 300);
}

void expectRockboxCover(const Track &track)
{
    ASSERT_TRUE(track.artwork.has_value()) << track.url.toStdString();
    EXPECT_FALSE(Artwork::compatibilityIssue(track.artwork->facts()).has_value()) << track.url.toStdString();
    EXPECT_FALSE(JpegMarkers::isProgressive(fixtures::coverBytes(track)));
    EXPECT_EQ(fixtures::decode(fixtures::coverBytes(track)).size(), QSize(500, 500));
}

class CoverRepair : public OperationsTest
{
protected:
    // Two tracks of one album in `folder`; the first carries `art` when given.
    QList<Track> album(const QString &folder, const QString &artist, const QString &title,
                       std::optional<QByteArray> art)
    {
        return {
            libraryTrack(folder + u"/01.mp3"_s, artist, title, 1, 1, art),
            libraryTrack(folder + u"/02.mp3"_s, artist, title, 1, 2),
        };
    }

    const Track *find(const QList<Track> &tracks, const QString &title, int number) const
    {
        for (const Track &track : tracks) {
            if (track.album == title && track.info.trackNumber == number)
                return &track;
        }
        return nullptr;
    }
};

TEST_F(CoverRepair, PicturesRockboxCannotShowAreRepairedOnTheComputerSide)
{
    QList<Track> tracks;
    tracks += album(library(u"A/Progressive"_s), u"A"_s, u"Progressive"_s, fixtures::jpeg(500, 500, true));
    tracks += album(library(u"B/Oversized"_s), u"B"_s, u"Oversized"_s, fixtures::jpeg(1200, 800));
    // Neither of these is a target: one has no picture, the other a fit one.
    tracks += album(library(u"C/Bare"_s), u"C"_s, u"Bare"_s, std::nullopt);
    tracks += album(library(u"D/Fine"_s), u"D"_s, u"Fine"_s, fitCover());
    model->setTracks(tracks);

    History history(*model);
    model->repairAvailableCovers();
    // The collection is inspected on a worker; the model is busy from the start.
    EXPECT_TRUE(model->busy());
    ASSERT_TRUE(waitUntilIdle(*model));

    EXPECT_EQ(history.progress, (QList<double>{0, 0.5, 1}));
    EXPECT_EQ(history.statuses, (QStringList{u"Naprawiam dostępne okładki…"_s, summary(2, 0)}));
    EXPECT_EQ(model->alert(), std::optional<QString>(alertText(2, 0, macAdvice)));

    const QList<Track> &after = model->tracks();
    for (const QString &title : {u"Progressive"_s, u"Oversized"_s}) {
        SCOPED_TRACE(title.toStdString());
        // Every track of the album shows the repaired cover, not only the one that had it.
        expectRockboxCover(*find(after, title, 1));
        expectRockboxCover(*find(after, title, 2));
    }
    // Cached and remembered for the next import.
    const auto overrides = Defaults::stringMap(u"artworkOverrides"_s).value_or(QMap<QString, QString>());
    for (const Album &a : AlbumGrouping::albums(after)) {
        const bool target = a.title == u"Progressive"_s || a.title == u"Oversized"_s;
        EXPECT_EQ(overrides.contains(a.id()), target) << a.title.toStdString();
        if (target) {
            const QString cached = support(u"Artwork/"_s + sha256::hex(a.id().toUtf8()) + u".jpg"_s);
            EXPECT_EQ(overrides.value(a.id()), cached);
            EXPECT_TRUE(QFile::exists(cached));
        }
    }
    // The others keep exactly what they had.
    EXPECT_FALSE(find(after, u"Bare"_s, 1)->artwork.has_value());
    EXPECT_EQ(find(after, u"Fine"_s, 1)->artwork, std::optional<QByteArray>(fitCover()));
    EXPECT_FALSE(find(after, u"Fine"_s, 2)->artwork.has_value());
    // The computer side writes nothing onto a device.
    EXPECT_FALSE(model->device().has_value());
}

TEST_F(CoverRepair, AFailingAlbumIsCountedAndTheNextIsStillRepaired)
{
    QList<Track> tracks;
    tracks += album(library(u"A/Broken"_s), u"A"_s, u"Broken"_s, QByteArray("not an image at all"));
    tracks += album(library(u"B/Progressive"_s), u"B"_s, u"Progressive"_s, fixtures::jpeg(400, 400, true));
    model->setTracks(tracks);

    History history(*model);
    model->repairAvailableCovers();
    ASSERT_TRUE(waitUntilIdle(*model));
    EXPECT_EQ(history.progress, (QList<double>{0, 0.5, 1}));
    EXPECT_EQ(model->status(), summary(1, 1));
    // The reason is not shown; the advice covers it.
    EXPECT_EQ(model->alert(), std::optional<QString>(alertText(1, 1, macAdvice)));
    expectRockboxCover(*find(model->tracks(), u"Progressive"_s, 1));
    EXPECT_EQ(find(model->tracks(), u"Broken"_s, 1)->artwork, std::optional<QByteArray>("not an image at all"));
}

TEST_F(CoverRepair, OnTheDeviceSideCoversAreWrittenBesideTheTracks)
{
    connectDevice();
    QList<Track> tracks;
    tracks += album(device.path(u"Music/A/Progressive"_s), u"A"_s, u"Progressive"_s, fixtures::jpeg(500, 500, true));
    // A fit picture whose cover file is missing on the device is repaired too.
    tracks += album(device.path(u"Music/B/NoFile"_s), u"B"_s, u"NoFile"_s, fitCover());
    model->setDeviceTracks(tracks);
    model->setLibraryOnDevice(true);

    model->repairAvailableCovers();
    ASSERT_TRUE(waitUntilIdle(*model));
    EXPECT_EQ(model->status(), summary(2, 0));
    EXPECT_EQ(model->alert(), std::optional<QString>(alertText(2, 0, deviceAdvice)));
    for (const QString &folder : {u"Music/A/Progressive"_s, u"Music/B/NoFile"_s}) {
        SCOPED_TRACE(folder.toStdString());
        ASSERT_TRUE(device.exists(folder + u"/cover.jpeg"_s));
        const QByteArray written = device.read(folder + u"/cover.jpeg"_s);
        EXPECT_FALSE(Artwork::compatibilityIssue(written).has_value());
    }
    expectRockboxCover(*find(model->deviceTracks(), u"Progressive"_s, 2));
    // The computer side is not touched.
    EXPECT_TRUE(model->tracks().isEmpty());

    // Now every album is fit and has its files: nothing is left to repair.
    model->setAlert(std::nullopt);
    model->repairAvailableCovers();
    ASSERT_TRUE(waitUntilIdle(*model));
    EXPECT_EQ(model->alert(), std::optional<QString>(nothingToRepair));
}

TEST_F(CoverRepair, TheRunInspectsTheDeviceOnceAndRefusesItOnceReplaced)
{
    connectDevice();
    QList<Track> tracks;
    tracks += album(device.path(u"Music/A/First"_s), u"A"_s, u"First"_s, fixtures::jpeg(500, 500, true));
    tracks += album(device.path(u"Music/B/Second"_s), u"B"_s, u"Second"_s, fixtures::jpeg(500, 500, true));
    tracks += album(device.path(u"Music/C/Third"_s), u"C"_s, u"Third"_s, fixtures::jpeg(500, 500, true));
    model->setDeviceTracks(tracks);
    model->setLibraryOnDevice(true);

    // Full inspections of this device are counted, and another device takes
    // its place between the second album and the third: the second album's
    // clean-up looks at the device twice after its cover is written (at its
    // start and before its folder's partial files); the third look is the
    // third album's.
    DeviceSwap swap(device, device.path(u"Music/B/Second/cover.jpeg"_s), 3);
    model->repairAvailableCovers();
    const bool idle = waitUntilIdle(*model);
    swap.stop();
    ASSERT_TRUE(idle);

    EXPECT_EQ(swap.capacityReads(), 1);
    EXPECT_TRUE(swap.replaced());
    EXPECT_EQ(model->status(), summary(2, 1));
    EXPECT_TRUE(device.exists(u"Music/A/First/cover.jpeg"_s));
    EXPECT_TRUE(device.exists(u"Music/B/Second/cover.jpeg"_s));
    EXPECT_FALSE(device.exists(u"Music/C/Third/cover.jpeg"_s));
}

TEST_F(CoverRepair, TheDeviceSideWithoutADeviceFailsEveryAlbum)
{
    model->setDeviceTracks(album(device.path(u"Music/A/Progressive"_s), u"A"_s, u"Progressive"_s,
                                 fixtures::jpeg(500, 500, true)));
    model->setLibraryOnDevice(true);
    model->repairAvailableCovers();
    ASSERT_TRUE(waitUntilIdle(*model));
    EXPECT_EQ(model->status(), summary(0, 1));
    EXPECT_EQ(model->alert(), std::optional<QString>(alertText(0, 1, deviceAdvice)));
    EXPECT_FALSE(device.exists(u"Music/A/Progressive/cover.jpeg"_s));
}

TEST_F(CoverRepair, WithoutAPictureToRepairFromOnlyTheAlertSpeaks)
{
    QList<Track> tracks;
    tracks += album(library(u"C/Bare"_s), u"C"_s, u"Bare"_s, std::nullopt);
    tracks += album(library(u"D/Fine"_s), u"D"_s, u"Fine"_s, fitCover());
    model->setTracks(tracks);
    const QString status = model->status();
    History history(*model);
    model->repairAvailableCovers();
    // Busy only while the collection is inspected on a worker; then only the alert speaks.
    EXPECT_TRUE(model->busy());
    ASSERT_TRUE(waitUntilIdle(*model));
    EXPECT_EQ(model->alert(), std::optional<QString>(nothingToRepair));
    EXPECT_EQ(model->status(), status);
    EXPECT_TRUE(history.statuses.isEmpty());
    EXPECT_TRUE(history.progress.isEmpty());
    EXPECT_EQ(model->progress(), 0);
}

TEST_F(CoverRepair, AnotherOperationRunningChangesNothing)
{
    model->setTracks(album(library(u"A/Progressive"_s), u"A"_s, u"Progressive"_s, fixtures::jpeg(500, 500, true)));
    model->setBusy(true);
    ChangeCounter changes(*model);
    model->repairAvailableCovers();
    EXPECT_EQ(changes.count(), 0);
    model->setBusy(false);
}

} // namespace
