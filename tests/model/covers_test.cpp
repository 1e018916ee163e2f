#include "operationstesting.h"

#include "media/coversearch.h"
#include "platform/defaults.h"
#include "platform/sha256.h"
#include "support/imagefixtures.h"
#include "support/qtprinters.h"
#include "support/coverbytes.h"

#include <QDir>

namespace {

const QString releaseGroup = u"0b4ea8f4-7c8c-4b3a-9f55-2d8e3a1c5b77"_s;

CoverCandidate candidate()
{
    CoverCandidate c;
    c.id = releaseGroup;
    c.title = u"Album"_s;
    c.artistCredit = {{u"Band"_s}};
    c.score = 100;
    return c;
}

Album albumOf(const QList<Track> &tracks)
{
    Album album;
    album.artist = tracks.first().artist;
    album.title = tracks.first().album;
    album.tracks = tracks;
    // As the grouping names albums: by release, not by the first track's folder.
    album.groupID = u"release"_s + QChar(u'\0') + QFileInfo(tracks.first().url).path();
    return album;
}

QByteArray png(QColor color = QColor(20, 120, 220))
{
    return fixtures::encode(fixtures::solid(300, 200, color), "png");
}

class Covers : public OperationsTest
{
protected:
    void SetUp() override
    {
        OperationsTest::SetUp();
        model->setImageChooser([this](const QString &prompt) -> std::optional<QString> {
            prompts.append(prompt);
            return chosen;
        });
    }

    // An album of two tracks on the device, shown on the device side.
    Album deviceAlbum()
    {
        QList<Track> tracks = {
            libraryTrack(device.path(u"Music/Band/Album/01 A.mp3"_s), u"Band"_s, u"Album"_s, 1, 1),
            libraryTrack(device.path(u"Music/Band/Album/02 B.mp3"_s), u"Band"_s, u"Album"_s, 1, 2),
        };
        model->setDeviceTracks(tracks);
        model->setLibraryOnDevice(true);
        return albumOf(tracks);
    }

    // An album on the computer whose tracks lie in two folders.
    Album libraryAlbum()
    {
        QList<Track> tracks = {
            libraryTrack(library(u"Band/Album/CD1/01 A.mp3"_s), u"Band"_s, u"Album"_s, 1, 1),
            libraryTrack(library(u"Band/Album/CD2/01 B.mp3"_s), u"Guest"_s, u"Album"_s, 2, 1),
        };
        model->setTracks(tracks);
        return albumOf(tracks);
    }

    void serveCover(const QByteArray &image, int status = 200)
    {
        HttpServer::Response answer;
        answer.status = status;
        answer.body = image;
        server.setResponse("/release-group/" + releaseGroup.toUtf8() + "/front-500", answer);
    }

    QString cacheFile(const Album &album) const
    {
        return support(u"Artwork/"_s + sha256::hex(album.id().toUtf8()) + u".jpg"_s);
    }

    static QString folderKey(const Track &track)
    {
        return track.artist + QChar(u'\0') + track.album + QChar(u'\0') + QFileInfo(track.url).path();
    }

    QStringList prompts;
    std::optional<QString> chosen;
};

} // namespace

TEST_F(Covers, ADownloadedCoverGoesOntoTheDeviceAtOnce)
{
    connectDevice();
    const Album album = deviceAlbum();
    serveCover(png());

    model->downloadCover(candidate(), album);
    EXPECT_TRUE(model->busy());
    EXPECT_EQ(model->status(), u"Pobieram okładkę…"_s);
    ASSERT_TRUE(waitUntilIdle(*model));

    EXPECT_EQ(model->status(), u"Pobrano i zapisano okładkę na iPodzie."_s);
    EXPECT_FALSE(model->alert());
    EXPECT_EQ(model->progress(), 0);
    const QByteArray onDevice = device.read(u"Music/Band/Album/cover.jpeg"_s);
    EXPECT_EQ(fixtures::decode(onDevice).size(), QSize(500, 500));

    // Cached, remembered for later imports, and shown on the device's tracks.
    QFile cached(cacheFile(album));
    ASSERT_TRUE(cached.open(QIODevice::ReadOnly));
    EXPECT_EQ(cached.readAll(), onDevice);
    const auto overrides = Defaults::stringMap(u"artworkOverrides"_s).value_or(QMap<QString, QString>());
    EXPECT_EQ(overrides.value(album.id()), cacheFile(album));
    EXPECT_EQ(overrides.value(folderKey(album.tracks[0])), cacheFile(album));
    for (const Track &track : model->deviceTracks())
        EXPECT_EQ(track.artwork, onDevice);
    EXPECT_EQ(Defaults::stringMap(u"coverSources"_s)->value(album.id()),
              server.base().resolved(QUrl(u"release-group/"_s + releaseGroup)).toString());
}

TEST_F(Covers, ADownloadForTheComputerSideWaitsForTheTransfer)
{
    connectDevice();
    const Album album = libraryAlbum();
    serveCover(png());

    model->downloadCover(candidate(), album, false);
    ASSERT_TRUE(waitUntilIdle(*model));

    EXPECT_EQ(model->status(), u"Pobrano okładkę; zostanie wgrana razem z albumem."_s);
    EXPECT_FALSE(device.exists(u"Music"_s));
    for (const Track &track : model->tracks()) {
        ASSERT_TRUE(track.artwork);
        EXPECT_EQ(fixtures::decode(fixtures::coverBytes(track)).size(), QSize(500, 500));
    }
    // One entry per source folder, each keyed by the track's own artist.
    const auto overrides = *Defaults::stringMap(u"artworkOverrides"_s);
    EXPECT_EQ(overrides.size(), 3);
    EXPECT_EQ(overrides.value(folderKey(album.tracks[0])), cacheFile(album));
    EXPECT_EQ(overrides.value(folderKey(album.tracks[1])), cacheFile(album));
    EXPECT_TRUE(folderKey(album.tracks[1]).startsWith(u"Guest"_s));
}

TEST_F(Covers, AFailedDownloadOnlyReportsInTheStatus)
{
    struct Case {
        const char *what;
        int status;
        bool device;
        QString text;
    } cases[] = {
        {"the device side without a device", 200, false, u"Nie udało się pobrać okładki: Podłącz iPoda."_s},
        {"no front cover", 404, true,
         u"Nie udało się pobrać okładki: To wydanie nie ma dostępnej przedniej okładki. Wybierz inny wynik lub własny obraz."_s},
    };
    for (const Case &c : cases) {
        Defaults::setStringMap(u"coverSources"_s, {{u"x"_s, u"y"_s}});
        if (c.device)
            connectDevice();
        const Album album = deviceAlbum();
        serveCover(png(), c.status);

        model->downloadCover(candidate(), album, true);
        ASSERT_TRUE(waitUntilIdle(*model)) << c.what;
        EXPECT_EQ(model->status(), c.text) << c.what;
        EXPECT_FALSE(model->alert()) << c.what;
        EXPECT_EQ(Defaults::stringMap(u"coverSources"_s), (QMap<QString, QString>{{u"x"_s, u"y"_s}})) << c.what;
        EXPECT_FALSE(Defaults::contains(u"artworkOverrides"_s)) << c.what;
        EXPECT_FALSE(QFile::exists(cacheFile(album))) << c.what;
        EXPECT_FALSE(device.exists(u"Music/Band/Album/cover.jpeg"_s)) << c.what;
        for (const Track &track : model->deviceTracks())
            EXPECT_FALSE(track.artwork) << c.what;
    }
}

TEST_F(Covers, AChosenPictureIsPreparedForTheNextTransfer)
{
    const Album album = libraryAlbum();
    chosen = device.outside(u"Pictures/front.png"_s);
    QDir().mkpath(QFileInfo(*chosen).path());
    QFile file(*chosen);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(png());
    file.close();

    model->chooseArtwork(album, false);
    EXPECT_EQ(prompts, QStringList{u"Dodaj okładkę"_s});
    EXPECT_TRUE(model->busy());
    EXPECT_EQ(model->status(), u"Przygotowuję okładkę…"_s);
    ASSERT_TRUE(waitUntilIdle(*model));

    EXPECT_EQ(model->status(), u"Okładka przygotowana; zostanie wgrana razem z albumem."_s);
    EXPECT_FALSE(model->alert());
    for (const Track &track : model->tracks()) {
        ASSERT_TRUE(track.artwork);
        EXPECT_TRUE(fixtures::coverBytes(track).startsWith("\xFF\xD8"));
    }

    // A second picture for the same album replaces the cached one.
    file.open(QIODevice::WriteOnly);
    file.write(png(QColor(250, 250, 0)));
    file.close();
    model->chooseArtwork(album, false);
    ASSERT_TRUE(waitUntilIdle(*model));
    EXPECT_EQ(QDir(support(u"Artwork"_s)).entryList(QDir::Files), QStringList{QFileInfo(cacheFile(album)).fileName()});
    QFile cached(cacheFile(album));
    ASSERT_TRUE(cached.open(QIODevice::ReadOnly));
    EXPECT_TRUE(fixtures::near(fixtures::decode(cached.readAll()).pixelColor(250, 250), QColor(250, 250, 0)));
}

TEST_F(Covers, TheCurrentArtworkIsWrittenToTheDeviceOnTheDeviceSide)
{
    connectDevice();
    Album album = deviceAlbum();
    const QByteArray art = fixtures::jpeg(800, 800);
    album.tracks[1].artwork = art;
    // The cover it replaces is kept on the computer.
    device.writeFile(u"Music/Band/Album/cover.jpeg"_s, fixtures::jpeg(100, 100));

    model->chooseArtwork(album, true);
    ASSERT_TRUE(waitUntilIdle(*model));
    EXPECT_TRUE(prompts.isEmpty());
    EXPECT_EQ(model->status(), u"Okładka zapisana na iPodzie. Poprzednie obrazy mają kopię na komputerze."_s);
    EXPECT_EQ(fixtures::decode(device.read(u"Music/Band/Album/cover.jpeg"_s)).size(), QSize(500, 500));
    EXPECT_EQ(QDir(support(u"Backups"_s)).entryList({u"Covers-*"_s}, QDir::Dirs).size(), 1);
}

TEST_F(Covers, AFailedChoiceShowsTheErrorInTheAlert)
{
    struct Case {
        const char *what;
        QByteArray picture;
        QString alert;
    } cases[] = {
        {"the device side without a device", png(), u"Podłącz iPoda."_s},
        {"not a picture", "plain text, not an image", u"Nie można odczytać obrazu."_s},
    };
    for (const Case &c : cases) {
        const Album album = deviceAlbum();
        chosen = device.outside(u"Pictures/picked"_s);
        QDir().mkpath(QFileInfo(*chosen).path());
        QFile file(*chosen);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(c.picture);
        file.close();

        model->chooseArtwork(album, false);
        ASSERT_TRUE(waitUntilIdle(*model)) << c.what;
        EXPECT_EQ(model->alert(), c.alert) << c.what;
        EXPECT_EQ(model->status(), u"Nie udało się zapisać okładki"_s) << c.what;
        EXPECT_FALSE(QFile::exists(cacheFile(album))) << c.what;
        EXPECT_FALSE(Defaults::contains(u"artworkOverrides"_s)) << c.what;
        for (const Track &track : model->deviceTracks())
            EXPECT_FALSE(track.artwork) << c.what;
    }
}

TEST_F(Covers, NothingHappensWithoutAPicture)
{
    const Album album = libraryAlbum();
    struct Case {
        const char *what;
        bool current;
        std::optional<QString> chosen;
        bool busy;
    } cases[] = {
        {"current artwork but none there", true, std::nullopt, false},
        {"chooser cancelled", false, std::nullopt, false},
        {"unreadable file", false, device.outside(u"missing.png"_s), false},
        {"a folder", false, device.base(), false},
        {"another operation running", true, std::nullopt, true},
    };
    for (const Case &c : cases) {
        chosen = c.chosen;
        model->setBusy(c.busy);
        model->setStatus(u"przed"_s);
        Album withArt = album;
        if (c.busy)
            withArt.tracks[0].artwork = png();
        model->chooseArtwork(withArt, c.current);
        if (c.busy)
            model->downloadCover(candidate(), withArt);
        EXPECT_EQ(model->busy(), c.busy) << c.what;
        EXPECT_EQ(model->status(), u"przed"_s) << c.what;
        EXPECT_FALSE(model->alert()) << c.what;
        model->setBusy(false);
    }
    drainWork();
    EXPECT_FALSE(QDir(support(u"Artwork"_s)).exists());
    EXPECT_TRUE(server.requests().isEmpty());
}

TEST_F(Covers, AnOperationStartedWhileThePickerWasOpenIsNotOverlapped)
{
    const Album album = libraryAlbum();
    const QString picture = device.outside(u"Pictures/front.png"_s);
    QDir().mkpath(QFileInfo(picture).path());
    QFile file(picture);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(png());
    file.close();
    // The event loop runs under the dialog; here another operation starts meanwhile.
    model->setImageChooser([&](const QString &) -> std::optional<QString> {
        model->setBusy(true);
        model->setStatus(u"Kopiuję"_s);
        return picture;
    });

    model->chooseArtwork(album, false);
    EXPECT_TRUE(model->busy());
    EXPECT_EQ(model->status(), u"Kopiuję"_s);
    QEventLoop loop;
    QTimer::singleShot(200, &loop, &QEventLoop::quit);
    loop.exec();
    // Nothing of the cover work ran: no cache, no artwork, and the other operation still owns busy.
    EXPECT_TRUE(model->busy());
    EXPECT_EQ(model->status(), u"Kopiuję"_s);
    EXPECT_FALSE(model->alert());
    EXPECT_FALSE(QDir(support(u"Artwork"_s)).exists());
    for (const Track &track : model->tracks())
        EXPECT_FALSE(track.artwork);
    model->setBusy(false);
}

TEST_F(Covers, ThePromptFollowsTheInterfaceLanguage)
{
    Defaults::setString(u"appLanguage"_s, u"en"_s);
    model->chooseArtwork(libraryAlbum(), false);
    EXPECT_EQ(prompts, QStringList{u"Add Cover"_s});
}

TEST(CoverTexts, ReadInEnglish)
{
    Defaults::clear();
    Defaults::setString(u"appLanguage"_s, u"en"_s);
    const QString texts[] = {
        u"Pobieram okładkę…"_s,
        u"Przygotowuję okładkę…"_s,
        u"Pobrano i zapisano okładkę na iPodzie."_s,
        u"Pobrano okładkę; zostanie wgrana razem z albumem."_s,
        u"Okładka zapisana na iPodzie. Poprzednie obrazy mają kopię na komputerze."_s,
        u"Okładka przygotowana; zostanie wgrana razem z albumem."_s,
        u"Nie udało się zapisać okładki"_s,
        u"Podłącz iPoda."_s,
    };
    for (const QString &text : texts)
        EXPECT_NE(AppLocalizer::display(text), text) << text.toStdString();
    EXPECT_EQ(AppLocalizer::display(u"Nie udało się pobrać okładki: Podłącz iPoda."_s),
              u"Could not download the cover: Connect your iPod."_s);
    Defaults::clear();
}
