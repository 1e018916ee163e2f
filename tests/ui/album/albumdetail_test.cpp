#include "ui/album/albumdetail.h"

#include "albumtesting.h"
#include "media/albumgrouping.h"
#include "model/coverlookup.h"
#include "platform/text.h"
#include "ui/album/coversearchview.h"
#include "ui/album/disctracklist.h"
#include "ui/library/librarytexts.h"
#include "ui/library/tracklist.h"
#include "ui/shell/pages.h"

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeView>
#include <QSignalSpy>
#include <QTest>

using namespace albumtesting;

namespace {

QPushButton *button(QWidget *root, const QString &text)
{
    for (QPushButton *b : root->findChildren<QPushButton *>())
        if (b->text() == text)
            return b;
    return nullptr;
}

// A button is shown when it and everything above it are.
bool shown(QWidget *widget)
{
    return widget && widget->isVisible();
}

QLabel *labelWith(QWidget *root, const QString &text)
{
    for (QLabel *l : root->findChildren<QLabel *>())
        if (l->text().contains(text) && l->isVisible())
            return l;
    return nullptr;
}

class AlbumSheet : public SheetTest
{
protected:
    QList<Track> oneDisc(std::optional<QByteArray> artwork = std::nullopt, bool embedded = false)
    {
        return albumTracks(folder(u"Nightfall/Athenian Echoes"_s), u"Nightfall"_s, u"Athenian Echoes"_s,
                           {{u"Aye Aye Aye"_s, 1, 1, 245.2, u"FLAC"_s, u"1995"_s, 31'500'000},
                            {u"Ishtar (Celebrate Your Beauty)"_s, 1, 2, 301, u"FLAC"_s, u"1996"_s, 38'250'000, embedded},
                            {u"The Vineyard"_s, 1, 3, 280, u"FLAC"_s, QString(), 35'000'000}},
                           std::move(artwork));
    }

    QList<Track> twoDiscs()
    {
        QList<TrackSpec> specs;
        for (int disc = 1; disc <= 2; ++disc)
            for (int n = 1; n <= 4; ++n)
                specs.append({u"Część %1.%2 — żółć"_s.arg(disc).arg(n), disc, n, 200.0 + n, u"MP3"_s, QString(),
                              8'000'000});
        return albumTracks(folder(u"Kult/Ostateczny krach"_s), u"Kult"_s, u"Ostateczny krach systemu korporacji"_s,
                           specs);
    }

    static QString idOf(const QList<Track> &tracks)
    {
        const QList<Album> albums = AlbumGrouping::albums(tracks);
        EXPECT_EQ(albums.size(), 1);
        return albums.first().id();
    }

    std::unique_ptr<AlbumDetailView> open(const QString &id, std::optional<bool> side = std::nullopt)
    {
        auto sheet = std::make_unique<AlbumDetailView>(model.get(), id, side, nullptr, &workspace);
        sheet->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(sheet.get()));
        return sheet;
    }

    QString t(const QString &polish) const { return kit::tr(polish); }
};

} // namespace

TEST(AlbumDetailText, infoLineTakesTheYearOfTheFirstTrackOnly)
{
    QTemporaryDir dir;
    const auto album = [&](const QString &firstYear, const QString &laterYear) {
        Album a;
        a.tracks = albumTracks(dir.filePath(u"A"_s), u"A"_s, u"B"_s,
                               {{u"1"_s, 1, 1, 59.9, u"MP3"_s, firstYear, 1'500'000},
                                {u"2"_s, 1, 2, 3600.5, u"MP3"_s, laterYear, 2'000'000}});
        return a;
    };
    EXPECT_EQ(AlbumDetailView::infoLine(album(u"2001"_s, QString())), u"2001 · Utwory: 2 · 1:01:00 · 3.5 MB"_s);
    EXPECT_EQ(AlbumDetailView::infoLine(album(QString(), u"2001"_s)), u"Utwory: 2 · 1:01:00 · 3.5 MB"_s);
    EXPECT_EQ(AlbumDetailView::infoLine(Album()), u"Utwory: 0 · 0:00 · "_s + text::byteCount(0));
}

TEST_F(AlbumSheet, anUnknownAlbumShowsTheNoticeUntilItArrives)
{
    const QList<Track> tracks = oneDisc();
    auto sheet = open(idOf(tracks));
    EXPECT_TRUE(shown(labelWith(sheet.get(), u"Album nie jest już dostępny w tej bibliotece."_s)));
    EXPECT_FALSE(shown(button(sheet.get(), u"Odsłuchaj album"_s)));
    EXPECT_TRUE(shown(button(sheet.get(), u"Gotowe"_s)));

    // The sheet follows the model: the album comes, then is forgotten.
    model->setTracks(tracks);
    EXPECT_TRUE(shown(button(sheet.get(), u"Odsłuchaj album"_s)));
    EXPECT_FALSE(shown(labelWith(sheet.get(), u"Album nie jest już dostępny"_s)));
    EXPECT_TRUE(shown(labelWith(sheet.get(), u"1995 · Utwory: 3 · 13:46 · 104.8 MB"_s)));
    model->setTracks({});
    EXPECT_TRUE(shown(labelWith(sheet.get(), u"Album nie jest już dostępny w tej bibliotece."_s)));
}

TEST_F(AlbumSheet, theLookupIgnoresTheLibraryFiltersAndFollowsTheWindowsSide)
{
    const QList<Track> tracks = oneDisc();
    model->setTracks(tracks);
    model->setSearch(u"nothing matches this"_s);
    model->setFormatFilter(u"MP3"_s);
    model->setHiResOnly(true);
    auto sheet = open(idOf(tracks));
    ASSERT_TRUE(sheet->album());
    EXPECT_EQ(sheet->album()->tracks.size(), 3);

    model->setLibraryOnDevice(true);
    EXPECT_FALSE(sheet->album());
    model->setDeviceTracks(tracks);
    EXPECT_TRUE(sheet->album());
    EXPECT_TRUE(shown(button(sheet.get(), u"Dodaj album do playlisty"_s)));
    EXPECT_FALSE(shown(button(sheet.get(), u"Wgraj album"_s)));
}

TEST_F(AlbumSheet, fromCoverFlowTheDeviceSideHoldsWhateverTheWindowShows)
{
    const QList<Track> tracks = oneDisc();
    model->setDeviceTracks(tracks);
    model->setLibraryOnDevice(false);
    const TavoModel::UuidSet earlier{QUuid::createUuid()};
    model->setSelectedOnDevice(earlier);
    auto sheet = open(idOf(tracks), true);
    ASSERT_TRUE(sheet->album());
    EXPECT_FALSE(shown(button(sheet.get(), u"Dodaj album do kolejki"_s)));

    // Track toggles act on the device's choice, not on the upload queue.
    QTreeView *list = sheet->flatList()->list();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualRect(list->model()->index(0, TrackListModel::choice)).center());
    EXPECT_TRUE(model->queued().isEmpty());
    EXPECT_TRUE(model->selectedOnDevice().contains(tracks[0].id));

    QSignalSpy finished(sheet.get(), &QDialog::finished);
    QTest::mouseClick(button(sheet.get(), u"Dodaj album do playlisty"_s), Qt::LeftButton);
    EXPECT_EQ(finished.size(), 1);
    EXPECT_EQ(model->section(), Section::playlists);
    TavoModel::UuidSet expected = earlier;
    for (const Track &track : tracks)
        expected.insert(track.id);
    EXPECT_EQ(model->selectedOnDevice(), expected);
}

TEST_F(AlbumSheet, queueingTwiceKeepsTheAlbumQueuedAndUploadNeedsADevice)
{
    const QList<Track> tracks = oneDisc();
    model->setTracks(tracks);
    auto sheet = open(idOf(tracks));
    QPushButton *enqueue = button(sheet.get(), u"Dodaj album do kolejki"_s);
    QTest::mouseClick(enqueue, Qt::LeftButton);
    QTest::mouseClick(enqueue, Qt::LeftButton);
    EXPECT_EQ(model->queued().size(), 3);
    EXPECT_FALSE(button(sheet.get(), u"Wgraj album"_s)->isEnabled()) << "no device";
    EXPECT_TRUE(enqueue->isEnabled());
}

TEST_F(AlbumSheet, whileBusyToolsAndActionsAreDisabledButDoneIsNot)
{
    const QList<Track> tracks = oneDisc(fixtures::jpeg(40, 40));
    model->setTracks(tracks);
    Defaults::setStringMap(u"coverSources"_s, {{idOf(tracks), u"https://musicbrainz.org/release-group/x"_s}});
    auto sheet = open(idOf(tracks));
    ASSERT_TRUE(waitUntil([&] { return shown(button(sheet.get(), u"Przygotuj obecną dla Rockbox"_s)); }));
    const QStringList controls = {u"Dodaj / zmień okładkę…"_s, u"Znajdź w sieci…"_s, u"Przygotuj obecną dla Rockbox"_s,
                                  u"Odsłuchaj album"_s,          u"Dodaj album do kolejki"_s, u"Wgraj album"_s,
                                  u"Pokaż w menedżerze plików"_s};
    model->setBusy(true);
    for (const QString &text : controls)
        EXPECT_FALSE(button(sheet.get(), text)->isEnabled()) << text.toStdString();
    EXPECT_TRUE(button(sheet.get(), u"Gotowe"_s)->isEnabled());
    EXPECT_TRUE(labelWith(sheet.get(), u"Źródło pobranej okładki"_s)->isEnabled());
    model->setBusy(false);
    EXPECT_TRUE(button(sheet.get(), u"Odsłuchaj album"_s)->isEnabled());
}

TEST_F(AlbumSheet, thePrepareButtonAndTheEmbeddedNoteFollowTheTracks)
{
    QList<Track> tracks = oneDisc(std::nullopt, true);
    model->setTracks(tracks);
    auto sheet = open(idOf(tracks));
    const QString note = u"Rockbox może najpierw wyświetlić okładkę osadzoną w utworze."_s;
    EXPECT_FALSE(shown(button(sheet.get(), u"Przygotuj obecną dla Rockbox"_s)));
    EXPECT_TRUE(shown(labelWith(sheet.get(), note)));

    for (Track &track : tracks) {
        track.artwork = fixtures::jpeg(300, 200);
        track.hasEmbeddedArt = false;
    }
    model->setTracks(tracks);
    ASSERT_TRUE(waitUntil([&] { return shown(button(sheet.get(), u"Przygotuj obecną dla Rockbox"_s)); }));
    EXPECT_FALSE(shown(labelWith(sheet.get(), note)));

    // Bytes that are no picture leave the album without artwork.
    for (Track &track : tracks)
        track.artwork = QByteArray("not a picture");
    model->setTracks(tracks);
    ASSERT_TRUE(waitUntil([&] { return !shown(button(sheet.get(), u"Przygotuj obecną dla Rockbox"_s)); }));
}

TEST_F(AlbumSheet, theSourceLinkShowsOnlyForAWebAddressAndOpensIt)
{
    const QList<Track> tracks = oneDisc();
    model->setTracks(tracks);
    const QString id = idOf(tracks);
    const struct {
        QString stored;
        bool linked;
    } cases[] = {
        {u"https://musicbrainz.org/release-group/4a9421e6-9def-4616-82bf-674d5a5c7a29"_s, true},
        {u"http://example.org/page"_s, true},
        {u"file:///etc/passwd"_s, false},
        {u"javascript:alert(1)"_s, false},
        {u"not an address"_s, false},
        {QString(), false},
    };
    for (const auto &c : cases) {
        workspace.opened.clear();
        Defaults::setStringMap(u"coverSources"_s, {{id, c.stored}, {u"other"_s, u"https://a.org/"_s}});
        auto sheet = open(id);
        QLabel *link = labelWith(sheet.get(), u"Źródło pobranej okładki"_s);
        EXPECT_EQ(link != nullptr, c.linked) << c.stored.toStdString();
        if (link) {
            emit link->linkActivated(c.stored);
            ASSERT_EQ(workspace.opened.size(), 1);
            EXPECT_EQ(workspace.opened.first(), QUrl(c.stored));
        }
    }
    Defaults::setString(u"coverSources"_s, u"a plain text"_s);
    auto sheet = open(id);
    EXPECT_FALSE(labelWith(sheet.get(), u"Źródło pobranej okładki"_s));
}

TEST_F(AlbumSheet, listeningRevealingAndTheStatusLine)
{
    const QList<Track> tracks = oneDisc();
    model->setTracks(tracks);
    auto sheet = open(idOf(tracks));
    QTest::mouseClick(button(sheet.get(), u"Odsłuchaj album"_s), Qt::LeftButton);
    ASSERT_TRUE(model->playback()->current());
    EXPECT_EQ(model->playback()->current()->id, tracks[0].id);
    EXPECT_EQ(model->playback()->queue().size(), 3);
    EXPECT_TRUE(model->playback()->playing());
    // Once more on the loaded first track: a pause, not a new start.
    QTest::mouseClick(button(sheet.get(), u"Odsłuchaj album"_s), Qt::LeftButton);
    EXPECT_FALSE(model->playback()->playing());
    EXPECT_EQ(audio->players.size(), 1);

    QTest::mouseClick(button(sheet.get(), u"Pokaż w menedżerze plików"_s), Qt::LeftButton);
    ASSERT_EQ(workspace.revealed.size(), 1);
    EXPECT_EQ(workspace.revealed.first(), QStringList({tracks[0].url, tracks[1].url, tracks[2].url}));

    model->setStatus(u"Odczytano utwory: 12"_s);
    EXPECT_TRUE(shown(labelWith(sheet.get(), u"Odczytano utwory: 12"_s)));
}

TEST_F(AlbumSheet, twoDiscsAreListedPerDiscAndOneDiscAsOneList)
{
    model->setTracks(twoDiscs() + oneDisc());
    auto two = open(idOf(model->tracks().mid(0, 8)));
    EXPECT_TRUE(two->trackList()->trackModel()->byDisc());
    EXPECT_EQ(two->trackList()->trackModel()->rowCount(), 4);
    EXPECT_TRUE(shown(two->trackList()));
    EXPECT_FALSE(shown(two->flatList()));
    auto one = open(idOf(model->tracks().mid(8)));
    EXPECT_FALSE(shown(one->trackList()));
    ASSERT_TRUE(shown(one->flatList()));
    EXPECT_EQ(one->flatList()->rows()->rowCount(), 3);
}

TEST_F(AlbumSheet, aOneDiscCompilationShowsTheTrackListWithItsColumnsArtistsAndHiResMarks)
{
    // Tracks of several artists in one disc folder group as one album of one disc.
    QList<Track> tracks =
        albumTracks(folder(u"Składanka/CD1"_s), u"Kasia Kowalska"_s, u"Przeboje lata"_s,
                    {{u"Pierwsza"_s, 1, 1, 200}, {u"Druga"_s, 1, 2, 210}, {u"Trzecia"_s, 1, 3, 220}});
    const QStringList artists{u"Kasia Kowalska"_s, u"Lady Pank"_s, u"Perfect"_s};
    for (int i = 0; i < tracks.size(); ++i) {
        tracks[i].artist = artists[i];
        tracks[i].info.bitDepth = i == 1 ? 24 : 16;
        tracks[i].info.sampleRate = i == 1 ? 96'000 : 44'100;
    }
    model->setTracks(tracks);
    auto sheet = open(idOf(tracks));
    ASSERT_TRUE(sheet->album());
    EXPECT_EQ(sheet->album()->artist, u"Różni wykonawcy"_s);
    ASSERT_EQ(sheet->album()->discs().size(), 1);
    EXPECT_FALSE(shown(sheet->trackList()));
    ASSERT_TRUE(shown(sheet->flatList()));

    QTreeView *list = sheet->flatList()->list();
    EXPECT_TRUE(list->header()->isVisible());
    QStringList titles;
    for (int c = 0; c < TrackListModel::columnCount_; ++c)
        titles << list->model()->headerData(c, Qt::Horizontal).toString();
    EXPECT_EQ(titles, QStringList({u"Utwór"_s, u"Czas"_s, u"Format"_s, u"Parametry"_s, u"Wybór"_s}));

    // Each row names its own artist beside the album; only the 24-bit track's parameters are orange.
    QApplication::processEvents();
    const QImage shot = list->viewport()->grab().toImage();
    const QColor orange = kit::orange(list->palette());
    auto orangePixels = [&](int row) {
        const QRect cell = list->visualRect(list->model()->index(row, TrackListModel::parameters));
        int count = 0;
        for (int y = cell.top(); y <= cell.bottom(); ++y)
            for (int x = cell.left(); x <= cell.right(); ++x) {
                const QColor c = shot.pixelColor(x * shot.width() / list->viewport()->width(),
                                                 y * shot.height() / list->viewport()->height());
                count += qAbs(c.red() - orange.red()) < 40 && qAbs(c.green() - orange.green()) < 40 &&
                         qAbs(c.blue() - orange.blue()) < 40;
            }
        return count;
    };
    for (int row = 0; row < 3; ++row) {
        const Track &track = sheet->flatList()->rows()->track(row);
        EXPECT_EQ(library::secondLine(track), track.artist + u" · Przeboje lata"_s);
        EXPECT_TRUE(artists.contains(track.artist));
        if (track.info.bitDepth > 16)
            EXPECT_GT(orangePixels(row), 5) << row;
        else
            EXPECT_EQ(orangePixels(row), 0) << row;
    }

    // The toggle queues the track on the computer's side.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualRect(list->model()->index(2, TrackListModel::choice)).center());
    EXPECT_EQ(model->queued(), TavoModel::UuidSet({sheet->flatList()->rows()->track(2).id}));
}

TEST_F(AlbumSheet, escapeAndDoneFinishTheSheet)
{
    const QList<Track> tracks = oneDisc();
    model->setTracks(tracks);
    for (bool escape : {false, true}) {
        auto sheet = open(idOf(tracks));
        QSignalSpy finished(sheet.get(), &QDialog::finished);
        if (escape)
            QTest::keyClick(sheet.get(), Qt::Key_Escape);
        else
            QTest::mouseClick(button(sheet.get(), u"Gotowe"_s), Qt::LeftButton);
        EXPECT_EQ(finished.size(), 1);
    }
}

TEST_F(AlbumSheet, theShellsHookBuildsTheSheetForTheAlbum)
{
    const QList<Track> tracks = oneDisc();
    model->setTracks(tracks);
    std::unique_ptr<QDialog> sheet(sheets::albumDetail(model.get(), AlbumGrouping::albums(tracks).first(), nullptr));
    auto *detail = qobject_cast<AlbumDetailView *>(sheet.get());
    ASSERT_TRUE(detail);
    EXPECT_EQ(detail->albumID(), idOf(tracks));
    model->setLibraryOnDevice(true);
    EXPECT_FALSE(detail->album()) << "no side of its own: it follows the window";
}

TEST_F(AlbumSheet, theNestedSearchGetsTheSidesValueAndDiesWithTheSheetMidRequest)
{
    HttpServer::Response never;
    never.hang = true;
    server.setResponse("/ws/2/release-group/", never);
    const QList<Track> tracks = oneDisc();
    model->setDeviceTracks(tracks);
    model->setLibraryOnDevice(true);
    auto sheet = open(idOf(tracks));
    QTest::mouseClick(button(sheet.get(), u"Znajdź w sieci…"_s), Qt::LeftButton);
    ASSERT_TRUE(sheet->coverSearch());
    EXPECT_EQ(sheet->coverSearch()->onDeviceOverride(), std::optional<bool>(true));
    ASSERT_TRUE(waitUntil([&] { return !server.requests().isEmpty(); }));
    EXPECT_TRUE(sheet->coverSearch()->searching());

    // The album goes: the nested sheet shows nothing and stops looking.
    model->setDeviceTracks({});
    EXPECT_FALSE(sheet->coverSearch()->searching());
    model->setDeviceTracks(tracks);

    sheet.reset();
    drainWork();
    EXPECT_FALSE(model->busy());
    EXPECT_EQ(model->deviceTracks().size(), 3);
}

TEST_F(AlbumSheet, screenshots)
{
    // A cover with some structure, so cropping and scaling show.
    QImage art(800, 600, QImage::Format_RGB32);
    for (int y = 0; y < art.height(); ++y)
        for (int x = 0; x < art.width(); ++x)
            art.setPixel(x, y, qRgb(40 + x * 180 / 800, 30 + y * 120 / 600, 120 + ((x / 80 + y / 80) % 2) * 60));
    const QList<Track> single = oneDisc(fixtures::encode(art, "jpeg"), true);
    const QList<Track> double_ = twoDiscs();
    model->setTracks(single + double_);
    model->setQueued({single[1].id, double_[1].id, double_[2].id});
    model->setStatus(u"Okładka przygotowana; zostanie wgrana razem z albumem."_s);
    Defaults::setStringMap(u"coverSources"_s,
                           {{idOf(single), u"https://musicbrainz.org/release-group/4a9421e6-9def-4616-82bf-674d5a5c7a29"_s}});

    for (bool dark : {false, true}) {
        QApplication::setPalette(dark ? kit::darkPalette() : kit::lightPalette());
        for (bool english : {false, true}) {
            setEnglish(english);
            const QString suffix = QString(english ? u"-en"_s : u"-pl"_s) + (dark ? u"-dark"_s : u"-light"_s);

            auto one = open(idOf(single));
            ASSERT_TRUE(waitUntil([&] { return shown(button(one.get(), t(u"Przygotuj obecną dla Rockbox"_s))); }));
            QTest::mouseClick(button(one.get(), t(u"Odsłuchaj album"_s)), Qt::LeftButton);
            QCoreApplication::processEvents();
            EXPECT_TRUE(one->grab().save(screenshotPath(u"albumdetail-one-disc-cover"_s + suffix + u".png"_s)));
            model->playback()->stop();

            auto two = open(idOf(double_));
            DiscTrackListView *list = two->trackList();
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(list->trackModel()->index(0, 0)).center());
            QCoreApplication::processEvents();
            EXPECT_TRUE(two->grab().save(screenshotPath(u"albumdetail-two-discs-placeholder"_s + suffix + u".png"_s)));
        }
    }
    setEnglish(false);
    QApplication::setPalette(kit::lightPalette());
    auto missing = open(u"no such album"_s);
    EXPECT_TRUE(missing->grab().save(screenshotPath(u"albumdetail-missing-pl-light.png"_s)));
}
