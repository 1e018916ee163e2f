#include "ui/library/albumgrid.h"

#include "librarytesting.h"
#include "support/accessiblerows.h"
#include "ui/kit/kit.h"
#include "ui/library/covercache.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

using namespace librarytesting;

namespace {

class AlbumGridTest : public LibraryTest
{
protected:
    void SetUp() override
    {
        LibraryTest::SetUp();
        covers = std::make_unique<CoverCache>();
    }
    void TearDown() override
    {
        view.reset();
        covers.reset();
        LibraryTest::TearDown();
    }

    // Three albums: two discs of FLAC and MP3 with a Hi-Res track; a plain MP3
    // one; one with a landscape cover.
    void fill()
    {
        Spec hires;
        hires.codec = u"FLAC"_s;
        hires.bitDepth = 24;
        hires.sampleRate = 96000;
        hires.disc = 1;
        QList<Track> tracks = album(u"Ala"_s, u"Dwie płyty"_s, 2, hires);
        Spec second;
        second.codec = u"MP3"_s;
        second.disc = 2;
        second.trackNumber = 1;
        second.artist = u"Ala"_s;
        second.album = u"Dwie płyty"_s;
        second.title = u"Druga płyta"_s;
        tracks.append(track(second));
        Spec mp3;
        mp3.codec = u"MP3"_s;
        tracks += album(u"Bartek"_s, u"Jedna"_s, 3, mp3);
        Spec covered;
        covered.artwork = cover(1200, 700);
        tracks += album(u"Celina"_s, u"Z okładką"_s, 2, covered);
        model->setTracks(tracks);
        makeView();
    }

    void makeView(QSize size = {820, 640})
    {
        view = std::make_unique<AlbumGridView>(model.get(), covers.get(), &workspace);
        view->resize(size);
        view->refresh();
        view->show();
        QCoreApplication::processEvents();
    }

    int rowOf(const QString &title) const
    {
        for (int row = 0; row < view->cards()->rowCount(); ++row) {
            if (view->cards()->album(row).title == title)
                return row;
        }
        return -1;
    }

    QPoint inCard(int row, QPointF local) const
    {
        const QRect card = view->visualRect(view->cards()->index(row));
        return (QPointF(card.topLeft()) + local).toPoint();
    }
    QPoint buttonOf(int row) const
    {
        const AlbumGridModel::Card &card = view->cards()->card(row);
        const AlbumCardLayout l = AlbumCardLayout::make(view->columnWidth(), card.discs >= 2);
        return inCard(row, l.button.topLeft() + QPointF(5, l.button.height() / 2));
    }
    QPoint coverOf(int row) const
    {
        return inCard(row, AlbumCardLayout::make(view->columnWidth(), false).cover.center());
    }
    QPoint titleOf(int row) const
    {
        return inCard(row, AlbumCardLayout::make(view->columnWidth(), false).title.center());
    }
    void click(QPoint at) { QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at); }

    QStringList menuTexts(QMenu *menu) const
    {
        QStringList out;
        for (QAction *a : menu->actions())
            out.append(a->text() + (a->isEnabled() ? QString() : u" (off)"_s));
        return out;
    }
    QAction *menuAction(QMenu *menu, const QString &text) const
    {
        for (QAction *a : menu->actions()) {
            if (a->text() == text)
                return a;
        }
        return nullptr;
    }

    std::unique_ptr<CoverCache> covers;
    RecordingWorkspace workspace;
    std::unique_ptr<AlbumGridView> view;
};

TEST_F(AlbumGridTest, CardFactsComeFromTheWholeAlbum)
{
    fill();
    model->setFormatFilter(u"FLAC"_s); // the album stays listed with all its tracks
    view->refresh();
    const int row = rowOf(u"Dwie płyty"_s);
    ASSERT_GE(row, 0);
    const AlbumGridModel::Card &card = view->cards()->card(row);
    EXPECT_EQ(card.formats, u"FLAC / MP3"_s);
    EXPECT_TRUE(card.hiRes);
    EXPECT_EQ(card.discs, 2);
    EXPECT_EQ(view->cards()->album(row).tracks.size(), 3);
    model->setFormatFilter(u"Wszystko"_s);
    view->refresh();
    const AlbumGridModel::Card &plain = view->cards()->card(rowOf(u"Jedna"_s));
    EXPECT_EQ(plain.formats, u"MP3"_s);
    EXPECT_FALSE(plain.hiRes);
    EXPECT_EQ(plain.discs, 1);
}

TEST_F(AlbumGridTest, CoverAndTitleOpenTheAlbumElsewhereNothing)
{
    fill();
    const int row = rowOf(u"Jedna"_s);
    click(coverOf(row));
    ASSERT_TRUE(model->openAlbum().has_value());
    EXPECT_EQ(model->openAlbum()->title, u"Jedna"_s);
    model->setOpenAlbum(std::nullopt);
    click(titleOf(row));
    ASSERT_TRUE(model->openAlbum().has_value());
    EXPECT_EQ(model->openAlbum()->id(), view->cards()->album(row).id());
    model->setOpenAlbum(std::nullopt);
    // The artist line reacts to nothing.
    const AlbumCardLayout l = AlbumCardLayout::make(view->columnWidth(), false);
    click(inCard(row, l.artist.center()));
    EXPECT_FALSE(model->openAlbum().has_value());
    EXPECT_TRUE(model->queued().isEmpty());
}

TEST_F(AlbumGridTest, SelectionButtonSwitchesTheWholeAlbumOnEachSide)
{
    fill();
    const int row = rowOf(u"Jedna"_s);
    const QList<Track> tracks = view->cards()->album(row).tracks;
    // One of three queued already: the button still queues, and queues all.
    model->setQueued({tracks[1].id});
    click(buttonOf(row));
    EXPECT_EQ(model->queued(), (TavoModel::UuidSet{tracks[0].id, tracks[1].id, tracks[2].id}));
    click(buttonOf(rowOf(u"Jedna"_s)));
    EXPECT_TRUE(model->queued().isEmpty());

    // The device side acts on the playlist choice.
    model->setDeviceTracks(tracks);
    model->setLibraryOnDevice(true);
    view->refresh();
    click(buttonOf(rowOf(u"Jedna"_s)));
    EXPECT_EQ(model->selectedOnDevice().size(), 3);
    EXPECT_TRUE(model->queued().isEmpty());
}

TEST_F(AlbumGridTest, BusyDisablesTheButtonAndChangingEntriesOnly)
{
    fill();
    const int row = rowOf(u"Jedna"_s);
    model->setBusy(true);
    click(buttonOf(row));
    EXPECT_TRUE(model->queued().isEmpty());
    click(coverOf(row));
    EXPECT_TRUE(model->openAlbum().has_value()) << "opening stays available";

    QMenu *menu = view->contextMenu(row);
    EXPECT_EQ(menuTexts(menu), (QStringList{u"Otwórz album"_s, u"Dodaj / zmień okładkę… (off)"_s,
                                            u"Pokaż pliki w menedżerze plików"_s, u"Usuń z biblioteki Vontaro (off)"_s}));
    delete menu;
    model->setBusy(false);
    menu = view->contextMenu(row);
    EXPECT_EQ(menuTexts(menu), (QStringList{u"Otwórz album"_s, u"Dodaj / zmień okładkę…"_s,
                                            u"Pokaż pliki w menedżerze plików"_s, u"Usuń z biblioteki Vontaro"_s}));
    delete menu;
}

TEST_F(AlbumGridTest, MenuRevealsOpensAndForgets)
{
    fill();
    const int row = rowOf(u"Jedna"_s);
    const Album album = view->cards()->album(row);
    QMenu *menu = view->contextMenu(row);
    menuAction(menu, u"Pokaż pliki w menedżerze plików"_s)->trigger();
    ASSERT_EQ(workspace.revealed.size(), 1);
    QStringList paths;
    for (const Track &t : album.tracks)
        paths.append(t.url);
    EXPECT_EQ(workspace.revealed.first(), paths) << "every track file, in album order";
    menuAction(menu, u"Otwórz album"_s)->trigger();
    ASSERT_TRUE(model->openAlbum().has_value());
    EXPECT_EQ(model->openAlbum()->id(), album.id());
    QStringList prompts;
    model->setImageChooser([&](const QString &prompt) -> std::optional<QString> {
        prompts.append(prompt);
        return std::nullopt;
    });
    menuAction(menu, u"Dodaj / zmień okładkę…"_s)->trigger();
    EXPECT_EQ(prompts, QStringList{u"Dodaj okładkę"_s}) << "a picture is asked for";
    menuAction(menu, u"Usuń z biblioteki Vontaro"_s)->trigger();
    EXPECT_EQ(model->tracks().size(), 5);
    delete menu;

    // The device side has no removal.
    model->setDeviceTracks(model->tracks());
    model->setLibraryOnDevice(true);
    view->refresh();
    menu = view->contextMenu(0);
    EXPECT_EQ(menuTexts(menu),
              (QStringList{u"Otwórz album"_s, u"Dodaj / zmień okładkę…"_s, u"Pokaż pliki w menedżerze plików"_s}));
    delete menu;
}

TEST_F(AlbumGridTest, CardsRepaintWhenSelectionSideOrBusyChange)
{
    fill();
    QSignalSpy changed(view->cards(), &QAbstractItemModel::dataChanged);
    model->setQueued({model->tracks().first().id});
    model->setSelectedOnDevice({model->tracks().first().id});
    model->setBusy(true);
    model->setLibraryOnDevice(true);
    EXPECT_EQ(changed.count(), 4);
    // The cards are made anew only for another album list.
    QSignalSpy reset(view->cards(), &QAbstractItemModel::modelReset);
    view->refresh();
    EXPECT_EQ(reset.count(), 1) << "the device side's albums";
    EXPECT_EQ(view->cards()->rowCount(), 0);
    model->setLibraryOnDevice(false);
    view->refresh();
    EXPECT_EQ(reset.count(), 2);
    EXPECT_EQ(view->cards()->rowCount(), 3);
    view->refresh();
    model->setQueued({});
    view->refresh();
    EXPECT_EQ(reset.count(), 2) << "the same list again: nothing to do";
}

TEST_F(AlbumGridTest, ColumnsFollowTheTileSize)
{
    fill();
    const double width = view->layoutWidth();
    struct Case {
        double tile;
    } cases[] = {{140}, {170}, {200}, {240}};
    for (const Case &c : cases) {
        view->setTileSize(c.tile);
        const int n = view->columnCount();
        EXPECT_GE(view->columnWidth(), c.tile);
        EXPECT_LE(n * view->columnWidth() + (n - 1) * AlbumGridView::columnSpacing, width) << c.tile;
        // One more column would be narrower than the tile.
        EXPECT_LT((width - n * AlbumGridView::columnSpacing) / double(n + 1), c.tile) << c.tile;
    }
    view->setTileSize(140);
    const int many = view->columnCount();
    view->setTileSize(240);
    EXPECT_LT(view->columnCount(), many);
}

// The right-most column keeps clear of the scroll bar, so its track counts
// are never cut, whatever the width and the tile size.
// Without a mouse: the grid takes focus, the arrows move between the cards,
// Return opens the album, Space switches its selection, the menu key opens
// the card's menu; a screen reader finds each card and its two buttons.
TEST_F(AlbumGridTest, TheKeyboardAndAScreenReaderReachEveryCard)
{
    fill();
    view->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(view.get()));
    ASSERT_NE(view->focusPolicy() & Qt::TabFocus, 0);
    view->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(view->hasFocus());
    ASSERT_EQ(view->currentIndex().row(), 0);
    const QImage unfocused = [&] {
        view->clearFocus();
        return view->grab().toImage();
    }();
    // Focus the window hands back (after a dialog) marks nothing; the keyboard's does.
    view->setFocus(Qt::ActiveWindowFocusReason);
    EXPECT_EQ(view->grab().toImage(), unfocused);
    view->clearFocus();
    view->setFocus(Qt::TabFocusReason);
    EXPECT_NE(view->grab().toImage(), unfocused) << "the current card is marked";
    QTest::keyClick(view.get(), Qt::Key_Right);
    ASSERT_EQ(view->currentIndex().row(), 1);
    const Album second = view->cards()->album(1);

    QTest::keyClick(view.get(), Qt::Key_Space);
    EXPECT_EQ(model->queued().size(), second.tracks.size());
    QTest::keyClick(view.get(), Qt::Key_Return);
    ASSERT_TRUE(model->openAlbum().has_value());
    EXPECT_EQ(model->openAlbum()->title, second.title);
    QTest::keyClick(view.get(), Qt::Key_Menu);
    auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr);
    EXPECT_NE(menuAction(menu, u"Otwórz album"_s), nullptr);
    menu->close();

    const std::vector<AccessibleRow> cards = accessibleRows(view.get());
    ASSERT_EQ(int(cards.size()), view->cards()->rowCount());
    for (int i = 0; i < int(cards.size()); ++i) {
        const Album &album = view->cards()->album(i);
        EXPECT_EQ(cards[size_t(i)].role, QAccessible::ListItem);
        EXPECT_EQ(cards[size_t(i)].name, album.title + u", "_s + album.artist);
        EXPECT_EQ(cards[size_t(i)].buttons,
                  (QStringList{u"Otwórz album"_s, i == 1 ? u"Zaznaczono"_s : u"Do kolejki"_s}));
        EXPECT_EQ(cards[size_t(i)].focused, i == 1);
    }
    ASSERT_TRUE(pressAccessible(view.get(), 0, 1));
    EXPECT_EQ(model->queued().size(), second.tracks.size() + view->cards()->album(0).tracks.size());
    ASSERT_TRUE(pressAccessible(view.get(), 2, 0));
    EXPECT_EQ(model->openAlbum()->title, view->cards()->album(2).title);
}

TEST_F(AlbumGridTest, TheLastColumnLeavesTheScrollBarFree)
{
    QList<Track> tracks;
    for (int i = 0; i < 40; ++i)
        tracks.append(track({.artist = u"Wykonawca"_s, .album = u"Album "_s + QString::number(i)}));
    model->setTracks(tracks);
    for (const int width : {600, 733, 820, 1001}) {
        makeView({width, 600});
        const QScrollBar *bar = view->verticalScrollBar();
        ASSERT_TRUE(bar->isVisible());
        const int barLeft = bar->mapTo(view.get(), QPoint(0, 0)).x();
        for (const double tile : {140.0, 170.0, 213.0, 260.0}) {
            SCOPED_TRACE(QStringLiteral("%1 px, tile %2").arg(width).arg(tile).toStdString());
            view->setTileSize(tile);
            const int n = view->columnCount();
            const QRect last = view->visualRect(view->cards()->index(n - 1));
            const int right = view->viewport()->mapTo(view.get(), last.topRight()).x();
            EXPECT_LE(right + AlbumGridView::scrollBarGap, barLeft);
            EXPECT_GE(view->columnWidth(), tile);
        }
    }
}

TEST_F(AlbumGridTest, OnlyTheCardsInViewArePainted)
{
    QList<Track> tracks;
    for (int i = 0; i < 2000; ++i)
        tracks.append(track({.artist = u"Wykonawca "_s + QString::number(i), .album = u"Album "_s + QString::number(i)}));
    model->setTracks(tracks);
    makeView({820, 600});
    ASSERT_EQ(view->cards()->rowCount(), 2000);
    view->grab();
    const int perRow = view->columnCount();
    const int rowsInView = int(600 / (view->rowHeight() + AlbumGridView::rowSpacing)) + 2;
    EXPECT_GT(view->lastPaintedCards(), 0);
    EXPECT_LE(view->lastPaintedCards(), perRow * rowsInView);
    // The last card can be reached and is laid out below all others.
    view->scrollTo(view->cards()->index(1999));
    view->grab();
    EXPECT_EQ(view->indexAt(view->visualRect(view->cards()->index(1999)).center()).row(), 1999);
    EXPECT_LE(view->lastPaintedCards(), perRow * rowsInView);
}

TEST_F(AlbumGridTest, CoversArriveAfterThePlaceholder)
{
    fill();
    const int row = rowOf(u"Z okładką"_s);
    const QPoint centre = coverOf(row);
    // The cache fills off the main thread; once it has the cover the card shows it.
    ASSERT_TRUE(waitFor([&] { return covers->pending() == 0 && covers->usedBytes() > 0; }));
    const QImage shot = view->grab().toImage();
    const double dpr = shot.devicePixelRatio();
    const QColor left = shot.pixelColor(QPoint(view->visualRect(view->cards()->index(row)).left() + 10,
                                               centre.y()) * dpr);
    EXPECT_TRUE(fixtures::near(left, QColor(200, 40, 40))) << left.name().toStdString();
}

TEST_F(AlbumGridTest, Screenshots)
{
    fill();
    // More albums, some with covers of several shapes.
    QList<Track> tracks = model->tracks();
    const QColor colours[] = {QColor(230, 160, 40), QColor(30, 140, 90), QColor(120, 60, 160), QColor(40, 90, 180)};
    for (int i = 0; i < 6; ++i) {
        Spec s;
        s.codec = i % 2 ? u"MP3"_s : u"FLAC"_s;
        if (i % 3 != 2)
            s.artwork = cover(600 + 100 * i, 900 - 80 * i, colours[i % 4], colours[(i + 1) % 4]);
        tracks += album(u"Żaneta Łęcka "_s + QString::number(i), u"Pieśni źródlane "_s + QString::number(i), 4, s);
    }
    model->setTracks(tracks);
    model->setQueued({tracks[3].id, tracks[4].id, tracks[5].id});
    for (const char *language : {"pl", "en"}) {
        for (bool dark : {false, true}) {
            setLanguage(QString::fromLatin1(language));
            makeView({880, 760});
            view->setPalette(dark ? kit::darkPalette() : kit::lightPalette());
            view->setAutoFillBackground(true);
            view->viewport()->setAutoFillBackground(true);
            ASSERT_TRUE(waitFor([&] {
                view->grab();
                return covers->pending() == 0;
            }));
            screenshot(*view, u"library-grid-"_s + QString::fromLatin1(language) + (dark ? u"-dark"_s : u"-light"_s));
        }
    }
}

} // namespace
