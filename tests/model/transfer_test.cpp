#include "operationstesting.h"

#include "platform/defaults.h"
#include "platform/text.h"
#include "support/imagefixtures.h"
#include "support/qtprinters.h"
#include "model/importscan.h"
#include "support/embedpicture.h"
#include "support/restartedtracks.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <atomic>
#include <algorithm>

namespace {

const QString successAdvice =
    u"Utwory są dostępne w Files → Music. Jeśli używasz Database, zaktualizuj bazę w menu Rockbox na iPodzie."_s;
const QString failureAdvice =
    u"Część utworów mogła już zostać wgrana. Możesz ponowić transfer — identyczne pliki zostaną pominięte."_s;

TavoModel::UuidSet idsOf(const QList<Track> &tracks)
{
    TavoModel::UuidSet ids;
    for (const Track &track : tracks)
        ids.insert(track.id);
    return ids;
}

Album albumOf(const QList<Track> &tracks)
{
    Album album;
    album.artist = tracks.isEmpty() ? QString() : tracks.first().artist;
    album.title = tracks.isEmpty() ? QString() : tracks.first().album;
    album.tracks = tracks;
    return album;
}

QByteArray appleDouble()
{
    return QByteArray("\x00\x05\x16\x07", 4) + QByteArray(60, '\0');
}

// What the model publishes, to show that an operation changed none of it.
struct Snapshot {
    bool busy;
    double progress;
    QString status;
    std::optional<QString> alert;
    TavoModel::UuidSet queued;
    QStringList transferred;
    bool operator==(const Snapshot &) const = default;
};

Snapshot snapshot(const TavoModel &model)
{
    return {model.busy(), model.progress(), model.status(), model.alert(), model.queued(), model.transferred()};
}

class Transfer : public OperationsTest
{
protected:
    // A two-disc album in disc folders, a one-disc album whose tracks say disc 1,
    // and a compilation of two artists in one disc folder.
    void makeLibrary()
    {
        const QByteArray cover = fixtures::jpeg(640, 480);
        twoDiscs = {
            libraryTrack(library(u"Band/Double/CD1/01 Intro.mp3"_s), u"Band"_s, u"Double"_s, 1, 1, cover),
            libraryTrack(library(u"Band/Double/CD1/02 Song.mp3"_s), u"Band"_s, u"Double"_s, 1, 2, cover),
            libraryTrack(library(u"Band/Double/CD2/01 Outro.mp3"_s), u"Band"_s, u"Double"_s, 2, 1, cover),
        };
        single = {
            libraryTrack(library(u"Solo/Single/01 One.mp3"_s), u"Solo"_s, u"Single"_s, 1, 1),
            libraryTrack(library(u"Solo/Single/02 Two.mp3"_s), u"Solo"_s, u"Single"_s, 1, 2),
        };
        compilation = {
            libraryTrack(library(u"Hits/CD1/01 First.mp3"_s), u"Anna"_s, u"Hits"_s, 1, 1),
            libraryTrack(library(u"Hits/CD1/02 Second.mp3"_s), u"Bartek"_s, u"Hits"_s, 1, 2),
        };
        model->setTracks(twoDiscs + single + compilation);
    }

    QList<Track> all() const { return twoDiscs + single + compilation; }

    void queueAll() { model->setQueued(idsOf(all())); }

    void transferAndWait(const std::optional<QList<Track>> &only = std::nullopt)
    {
        model->transfer(only);
        ASSERT_TRUE(waitUntilIdle(*model));
    }

    QList<Track> twoDiscs, single, compilation;
};

} // namespace

TEST_F(Transfer, ToggleAddsTheMissingTracksThenRemovesAll)
{
    makeLibrary();
    const Album album = albumOf(twoDiscs);
    const QUuid other = single.first().id;
    model->setQueued({twoDiscs[0].id, other});

    model->toggle(album);
    EXPECT_EQ(model->queued(), idsOf(twoDiscs) + TavoModel::UuidSet{other});
    model->toggle(album);
    EXPECT_EQ(model->queued(), TavoModel::UuidSet{other});

    // An album without tracks counts as fully chosen: nothing to add or remove.
    model->toggle(Album{});
    EXPECT_EQ(model->queued(), TavoModel::UuidSet{other});

    model->toggleTrack(twoDiscs[2]);
    EXPECT_EQ(model->queued(), (TavoModel::UuidSet{other, twoDiscs[2].id}));
    model->toggleTrack(twoDiscs[2]);
    EXPECT_EQ(model->queued(), TavoModel::UuidSet{other});
    EXPECT_TRUE(model->selectedOnDevice().isEmpty());
}

TEST_F(Transfer, OnTheDeviceSideTogglesChangeThePlaylistChoice)
{
    makeLibrary();
    model->setQueued({single[0].id});
    model->setLibraryOnDevice(true);

    model->toggle(albumOf(twoDiscs));
    EXPECT_EQ(model->selectedOnDevice(), idsOf(twoDiscs));
    model->toggleTrack(twoDiscs[0]);
    EXPECT_EQ(model->selectedOnDevice(), (TavoModel::UuidSet{twoDiscs[1].id, twoDiscs[2].id}));
    model->toggle(albumOf(twoDiscs));
    EXPECT_EQ(model->selectedOnDevice(), idsOf(twoDiscs));
    model->toggle(albumOf(twoDiscs));
    EXPECT_TRUE(model->selectedOnDevice().isEmpty());
    EXPECT_EQ(model->queued(), TavoModel::UuidSet{single[0].id});
}

TEST_F(Transfer, ForgetRemovesTheAlbumFromTheLibraryOnly)
{
    makeLibrary();
    queueAll();
    model->setDuplicateStatus(u"Znaleziono 1 grup duplikatów"_s);
    model->setDuplicateIssues({QualityIssue{}});

    // Guards: an operation running, or the device side shown.
    for (int guard = 0; guard < 2; ++guard) {
        model->setBusy(guard == 0);
        model->setLibraryOnDevice(guard == 1);
        model->setDuplicateStatus(u"Znaleziono 1 grup duplikatów"_s);
        model->forget(albumOf(single));
        EXPECT_EQ(model->tracks().size(), all().size()) << guard;
        EXPECT_EQ(model->queued(), idsOf(all())) << guard;
        EXPECT_EQ(model->duplicateStatus(), u"Znaleziono 1 grup duplikatów"_s) << guard;
        EXPECT_FALSE(Defaults::contains(u"libraryPaths"_s)) << guard;
    }
    model->setBusy(false);
    model->setLibraryOnDevice(false);
    model->setDuplicateIssues({QualityIssue{}});

    model->forget(albumOf(single));
    QStringList expected;
    for (const Track &track : twoDiscs + compilation)
        expected.append(track.url);
    QStringList remaining;
    for (const Track &track : model->tracks())
        remaining.append(track.url);
    EXPECT_EQ(remaining, expected);
    EXPECT_EQ(model->queued(), idsOf(twoDiscs + compilation));
    EXPECT_TRUE(model->duplicateIssues().isEmpty());
    EXPECT_EQ(model->duplicateStatus(), u"Duplikaty nie zostały jeszcze sprawdzone."_s);
    EXPECT_EQ(Defaults::stringList(u"libraryPaths"_s), expected);
    // The audio itself stays where it was.
    EXPECT_TRUE(QFile::exists(single[0].url));
}

TEST_F(Transfer, GuardsLeaveEverythingAsItWas)
{
    makeLibrary();
    struct Case {
        const char *what;
        bool device;
        bool busy;
        bool queue;
    } cases[] = {
        {"no device", false, false, true},
        {"another operation running", true, true, true},
        {"empty queue", true, false, false},
    };
    for (const Case &c : cases) {
        if (c.device)
            connectDevice();
        model->setBusy(c.busy);
        model->setQueued(c.queue ? idsOf(all()) : TavoModel::UuidSet());
        model->setStatus(u"przed"_s);
        model->setAlert(std::nullopt);
        const Snapshot before = snapshot(*model);
        model->transfer();
        EXPECT_EQ(snapshot(*model), before) << c.what;
        QCoreApplication::processEvents();
        EXPECT_FALSE(device.exists(u"Music"_s)) << c.what;
        model->setBusy(false);
    }
}

TEST_F(Transfer, CopiesIntoArtistAlbumAndDiscFoldersWithCovers)
{
    makeLibrary();
    connectDevice();
    queueAll();
    // A stray AppleDouble companion from an earlier copy made on a Mac.
    device.writeFile(u"Music/Old/track.mp3"_s, "audio");
    device.writeFile(u"Music/Old/._track.mp3"_s, appleDouble());

    model->transfer();
    EXPECT_TRUE(model->busy());
    EXPECT_EQ(model->progress(), 0);
    EXPECT_EQ(model->status(), u"Wgrywam muzykę…"_s);
    ASSERT_TRUE(waitUntilIdle(*model));

    const QStringList expected = {
        u"Music/Band/Double/CD 1/01 Intro.mp3"_s,
        u"Music/Band/Double/CD 1/02 Song.mp3"_s,
        u"Music/Band/Double/CD 2/01 Outro.mp3"_s,
        u"Music/Solo/Single/01 One.mp3"_s,
        u"Music/Solo/Single/02 Two.mp3"_s,
        u"Music/Różni wykonawcy/Hits/01 First.mp3"_s,
        u"Music/Różni wykonawcy/Hits/02 Second.mp3"_s,
    };
    for (const QString &file : expected)
        EXPECT_TRUE(device.exists(file)) << file.toStdString();
    EXPECT_FALSE(device.exists(u"Music/Solo/Single/CD 1"_s));
    EXPECT_FALSE(device.exists(u"Music/Anna"_s));

    EXPECT_EQ(model->status(), u"Wgrano: 7. Pominięto identyczne: 0."_s);
    EXPECT_EQ(model->alert(), u"Wgrano: 7. Pominięto identyczne: 0.\n\n"_s + successAdvice);
    EXPECT_TRUE(model->queued().isEmpty());
    EXPECT_EQ(model->progress(), 1);

    QStringList destinations;
    for (const QString &file : expected)
        destinations.append(device.path(file));
    std::sort(destinations.begin(), destinations.end(),
              [](const QString &a, const QString &b) { return text::plainLess(a, b); });
    EXPECT_EQ(model->transferred(), destinations);

    // Covers for the album with artwork, one per disc folder, none elsewhere.
    for (const QString &folder : {u"Music/Band/Double/CD 1"_s, u"Music/Band/Double/CD 2"_s}) {
        const QImage cover = fixtures::decode(device.read(folder + u"/cover.jpeg"_s));
        EXPECT_EQ(cover.size(), QSize(500, 500)) << folder.toStdString();
    }
    EXPECT_FALSE(device.exists(u"Music/Solo/Single/cover.jpeg"_s));
    EXPECT_FALSE(device.exists(u"Music/Różni wykonawcy/Hits/cover.jpeg"_s));

    // The companion went, with a copy kept on the computer.
    EXPECT_TRUE(device.exists(u"Music/Old/track.mp3"_s));
    EXPECT_FALSE(device.exists(u"Music/Old/._track.mp3"_s));
    const QStringList kept = QDir(support(u"Backups"_s)).entryList({u"MacMetadata-*"_s}, QDir::Dirs);
    EXPECT_EQ(kept.size(), 1);
    EXPECT_TRUE(model->backups().contains(support(u"Backups/"_s) + kept.value(0)));
}

TEST_F(Transfer, ASecondRunSkipsIdenticalFilesAndKeepsEachDestinationOnce)
{
    makeLibrary();
    connectDevice();
    queueAll();
    transferAndWait();
    const QStringList first = model->transferred();

    queueAll();
    transferAndWait();
    EXPECT_EQ(model->status(), u"Wgrano: 0. Pominięto identyczne: 7."_s);
    EXPECT_EQ(model->alert(), u"Wgrano: 0. Pominięto identyczne: 7.\n\n"_s + successAdvice);
    EXPECT_EQ(model->transferred(), first);
    EXPECT_TRUE(model->queued().isEmpty());

    // Sending only some tracks leaves the rest of the queue alone.
    queueAll();
    transferAndWait(single);
    EXPECT_EQ(model->status(), u"Wgrano: 0. Pominięto identyczne: 2."_s);
    EXPECT_EQ(model->queued(), idsOf(twoDiscs + compilation));
}

TEST_F(Transfer, ATrackOutsideTheLibraryUsesItsOwnTags)
{
    makeLibrary();
    connectDevice();
    const Track stray = libraryTrack(library(u"Elsewhere/CD2/x.mp3"_s), u"Gość"_s, u"Luźne"_s, 2, 1);
    transferAndWait(QList<Track>{stray});
    EXPECT_TRUE(device.exists(u"Music/Gość/Luźne/x.mp3"_s));
    EXPECT_EQ(model->status(), u"Wgrano: 1. Pominięto identyczne: 0."_s);
}

TEST_F(Transfer, ACopyFailureStopsTheTransferAndKeepsTheQueue)
{
    struct Case {
        const char *what;
        std::function<void(DeviceFixture &)> prepare;
        QString error;
    } cases[] = {
        {"device full",
         [](DeviceFixture &) { DeviceCapacity::setProbe([](const QString &) { return VolumeCapacity{10, 1'000'000}; }); },
         u"Za mało wolnego miejsca na cały transfer."_s},
        {"a file where the music folder belongs",
         [](DeviceFixture &d) { d.writeFile(u"Music"_s, "not a folder"); }, QString()},
    };
    for (const Case &c : cases) {
        DeviceFixture fresh;
        AppFolders::setApplicationSupportOverride(fresh.outside(u"Support/Vontaro"_s));
        model->select(Device::inspect(fresh.root()));
        makeLibrary();
        queueAll();
        model->setTransferred({fresh.path(u"Music/earlier.mp3"_s)});
        c.prepare(fresh);

        transferAndWait();
        DeviceCapacity::setProbe({});
        EXPECT_EQ(model->status(), u"Transfer przerwany"_s) << c.what;
        ASSERT_TRUE(model->alert()) << c.what;
        EXPECT_TRUE(model->alert()->endsWith(u"\n\n"_s + failureAdvice)) << c.what;
        if (!c.error.isEmpty()) {
            EXPECT_EQ(*model->alert(), c.error + u"\n\n"_s + failureAdvice) << c.what;
        }
        EXPECT_FALSE(model->alert()->startsWith(u"\n"_s)) << c.what;
        EXPECT_EQ(model->queued(), idsOf(all())) << c.what;
        EXPECT_EQ(model->transferred(), QStringList{fresh.path(u"Music/earlier.mp3"_s)}) << c.what;
        EXPECT_FALSE(model->busy()) << c.what;
    }
}

TEST_F(Transfer, AFailedCoverIsAWarningAndTheRestStillHappens)
{
    makeLibrary();
    connectDevice();
    // The one-disc album's artwork does not decode; the two-disc album's does.
    for (Track &track : single)
        track.artwork = QByteArray("not an image");
    model->setTracks(all());
    queueAll();
    device.writeFile(u"Music/Old/track.mp3"_s, "audio");
    device.writeFile(u"Music/Old/._track.mp3"_s, appleDouble());

    transferAndWait();
    EXPECT_EQ(model->status(), u"Wgrano: 7. Pominięto identyczne: 0."_s);
    EXPECT_EQ(model->alert(), u"Wgrano: 7. Pominięto identyczne: 0.\n\n"_s + successAdvice
                                  + u"\n\nNie zapisano okładki albumu „Single”:\nNie można odczytać obrazu."_s
                                  + u"\n\nMuzyka została wgrana mimo tych błędów"_s);
    EXPECT_TRUE(model->queued().isEmpty());
    EXPECT_EQ(model->transferred().size(), 7);
    EXPECT_TRUE(device.exists(u"Music/Band/Double/CD 1/cover.jpeg"_s));
    EXPECT_TRUE(device.exists(u"Music/Band/Double/CD 2/cover.jpeg"_s));
    EXPECT_FALSE(device.exists(u"Music/Solo/Single/cover.jpeg"_s));
    EXPECT_FALSE(device.exists(u"Music/Old/._track.mp3"_s));
    EXPECT_FALSE(model->busy());

}

// The covers embedded in the tracks as the import keeps them, and as the
// next start brings them back from the records (false, true).
class EmbeddedCoverTransfer : public Transfer, public ::testing::WithParamInterface<bool>
{
};

TEST_P(EmbeddedCoverTransfer, ACoverEmbeddedInTheTracksIsReadFromTheirFilesForTheDevice)
{
    makeLibrary();
    connectDevice();
    // The single's tracks carry a large picture of their own, as an import
    // finds it: the library keeps its facts and preview, not its bytes.
    QImage picture(900, 900, QImage::Format_RGB32);
    picture.fill(QColor(30, 90, 200));
    const QByteArray bytes = fixtures::paddedTo(fixtures::encode(picture, "jpeg", true), 100 * 1024);
    ASSERT_EQ(bytes.size(), 100 * 1024);
    ImportScan::CoverFiles covers;
    for (Track &track : single) {
        ASSERT_TRUE(fixtures::embedPicture(track.url, bytes));
        track.artwork = ImportScan::readFile(track.url, {}, covers).artwork;
        ASSERT_TRUE(track.artwork.has_value());
    }
    if (GetParam()) {
        QTemporaryDir support;
        single = fixtures::throughRecords(single, support.filePath(u"Library.records"_s));
        ASSERT_EQ(single.size(), 2);
    }
    for (const Track &track : single) {
        ASSERT_TRUE(track.artwork.has_value());
        ASSERT_TRUE(track.artwork->isEmbedded());
        ASSERT_FALSE(track.artwork->isHeld());
        ASSERT_LT(track.artwork->preview().size(), bytes.size());
    }
    model->setTracks(all());
    model->setQueued(idsOf(single));

    transferAndWait();
    EXPECT_EQ(model->status(), u"Wgrano: 2. Pominięto identyczne: 0."_s);
    const QImage onDevice = fixtures::decode(device.read(u"Music/Solo/Single/cover.jpeg"_s));
    ASSERT_EQ(onDevice.size(), QSize(500, 500));
    EXPECT_TRUE(fixtures::near(onDevice.pixelColor(250, 250), QColor(30, 90, 200)));
}

INSTANTIATE_TEST_SUITE_P(Transfer, EmbeddedCoverTransfer, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool> &info) {
                             return info.param ? "AfterARestart" : "ByTheImport";
                         });

TEST_F(Transfer, TheOperationInspectsTheDeviceOnceAndRefusesItsCoversOnceReplaced)
{
    makeLibrary();
    connectDevice();
    for (Track &track : single)
        track.artwork = fixtures::jpeg(320, 320);
    model->setTracks(all());
    queueAll();

    // Reads of this device's capacity are counted: the inspection and the
    // space test, whatever the number of files and covers. Another device
    // takes its place once the second disc's cover is written, before the
    // next album's: after that cover, its album's clean-up looks twice (at
    // its start and before the folder's partial files); the third look is
    // the next album's.
    DeviceSwap swap(device, device.path(u"Music/Band/Double/CD 2/cover.jpeg"_s), 3);
    model->transfer();
    const bool idle = waitUntilIdle(*model);
    swap.stop();
    ASSERT_TRUE(idle);

    EXPECT_EQ(swap.capacityReads(), 2);
    EXPECT_TRUE(swap.replaced());
    EXPECT_EQ(model->status(), u"Wgrano: 7. Pominięto identyczne: 0."_s);
    EXPECT_TRUE(model->alert().value_or(QString()).contains(
        u"Nie zapisano okładki albumu „Single”:\nUrządzenie zostało zamienione na inne."_s));
    EXPECT_TRUE(device.exists(u"Music/Band/Double/CD 1/cover.jpeg"_s));
    EXPECT_TRUE(device.exists(u"Music/Band/Double/CD 2/cover.jpeg"_s));
    EXPECT_FALSE(device.exists(u"Music/Solo/Single/cover.jpeg"_s));
}

TEST_F(Transfer, AFailedCleanUpIsAWarningAndTheCopyStillCounts)
{
    makeLibrary();
    connectDevice();
    queueAll();
    device.writeFile(u"Music/Old/track.mp3"_s, "audio");
    device.writeFile(u"Music/Old/._track.mp3"_s, appleDouble());
    // The companion's copy has nowhere to go: a file stands where the backups folder belongs.
    QDir().mkpath(support(QString()));
    QFile blocker(support(u"Backups"_s));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.write("not a folder");
    blocker.close();

    transferAndWait();
    const QString status = u"Wgrano: 7. Pominięto identyczne: 0."_s;
    EXPECT_EQ(model->status(), status);
    ASSERT_TRUE(model->alert());
    EXPECT_TRUE(model->alert()->startsWith(status + u"\n\n"_s + successAdvice + u"\n\n"_s)) << model->alert()->toStdString();
    EXPECT_TRUE(model->alert()->contains(u"\n\nNie usunięto plików pomocniczych macOS:\n"_s)) << model->alert()->toStdString();
    EXPECT_TRUE(model->alert()->endsWith(u"\n\nMuzyka została wgrana mimo tych błędów"_s));
    EXPECT_TRUE(model->queued().isEmpty());
    EXPECT_EQ(model->transferred().size(), 7);
    // The companion stays where it was: nothing is removed without its copy.
    EXPECT_TRUE(device.exists(u"Music/Old/._track.mp3"_s));
    EXPECT_FALSE(model->busy());
}

TEST_F(Transfer, FilesWrittenForADeviceNoLongerCurrentStayOutOfItsList)
{
    makeLibrary();
    connectDevice();
    queueAll();
    DeviceFixture other(u"INNY"_s);

    model->transfer();
    ASSERT_TRUE(model->busy());
    // Another folder is chosen while the copy runs: the lists start afresh for it.
    model->select(Device::inspect(other.root()));
    ASSERT_TRUE(waitUntilIdle(*model));

    // The copy went where it started, and its outcome is still reported.
    EXPECT_TRUE(device.exists(u"Music/Solo/Single/01 One.mp3"_s));
    EXPECT_FALSE(other.exists(u"Music"_s));
    EXPECT_EQ(model->status(), u"Wgrano: 7. Pominięto identyczne: 0."_s);
    EXPECT_TRUE(model->queued().isEmpty());
    // But the files of the first device never become playlist entries of the second.
    EXPECT_TRUE(model->transferred().isEmpty());
    EXPECT_TRUE(model->playlistTracks().isEmpty());
}

TEST(TransferTexts, EverySummaryReadsInEnglish)
{
    Defaults::clear();
    Defaults::setString(u"appLanguage"_s, u"en"_s);
    const QString advice =
        u"The tracks are in Files → Music. If you use Database, update it in the Rockbox menu on the iPod."_s;
    struct Case {
        QString polish;
        QString english;
    } cases[] = {
        {u"Wgrano: 3. Pominięto identyczne: 1.\n\n"_s + successAdvice,
         u"Uploaded: 3. Identical files skipped: 1.\n\n"_s + advice},
        {u"Za mało wolnego miejsca na cały transfer.\n\n"_s + failureAdvice,
         AppLocalizer::translateEnglish(u"Za mało wolnego miejsca na cały transfer."_s)
             + u"\n\nSome tracks may already have been uploaded. You can retry the transfer — identical files will be skipped."_s},
        {u"Wgrano: 7. Pominięto identyczne: 0.\n\n"_s + successAdvice
             + u"\n\nNie zapisano okładki albumu „Single”:\nNie można odczytać obrazu.\n\nNie usunięto plików pomocniczych macOS:\nNie można odczytać obrazu.\n\nMuzyka została wgrana mimo tych błędów"_s,
         u"Uploaded: 7. Identical files skipped: 0.\n\n"_s + advice + u"\n\nThe cover of the album “Single” was not saved:\n"_s
             + AppLocalizer::translateEnglish(u"Nie można odczytać obrazu."_s)
             + u"\n\nThe macOS helper files were not removed:\n"_s
             + AppLocalizer::translateEnglish(u"Nie można odczytać obrazu."_s)
             + u"\n\nThe music was uploaded despite these errors"_s},
        {u"Transfer przerwany"_s, u"Transfer interrupted"_s},
        {u"Wgrywam muzykę…"_s, u"Uploading music…"_s},
    };
    for (const Case &c : cases)
        EXPECT_EQ(AppLocalizer::display(c.polish), c.english);
    EXPECT_NE(AppLocalizer::translateEnglish(u"Nie można odczytać obrazu."_s), u"Nie można odczytać obrazu."_s);
    Defaults::clear();
}
