#include "ui/album/disctracklist.h"

#include "albumtesting.h"
#include "media/albumgrouping.h"
#include "support/accessiblerows.h"
#include "ui/library/librarytexts.h"
#include "ui/kit/playbutton.h"

#include <QAction>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>

using namespace albumtesting;

namespace {

class DiscList : public SheetTest
{
protected:
    // Two discs: three tracks on the first (one without a number), two on the second.
    Album twoDiscs()
    {
        const QList<Track> tracks = albumTracks(folder(u"Band/Double"_s), u"Band"_s, u"Double"_s,
                                                {{u"One"_s, 1, 1, 61.5},
                                                 {u"Two"_s, 1, 2, 120},
                                                 {u"Hidden"_s, 1, 0, 30},
                                                 {u"Three"_s, 2, 1, 0},
                                                 {u"Four"_s, 2, 2, 0}});
        const QList<Album> albums = AlbumGrouping::albums(tracks);
        EXPECT_EQ(albums.size(), 1);
        EXPECT_EQ(albums.first().discs().size(), 2);
        return albums.first();
    }

    // Shows the list at a real size, so rows have rectangles.
    std::unique_ptr<DiscTrackListView> show(const Album &album, std::optional<bool> side = std::nullopt)
    {
        auto view = std::make_unique<DiscTrackListView>(model.get(), side, nullptr, &workspace);
        view->resize(700, 420);
        view->setAlbum(album, album.discs().size() >= 2);
        view->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(view.get()));
        return view;
    }

    static QModelIndex heading(const DiscTrackListView &view, int disc)
    {
        return view.trackModel()->index(disc * 2, 0);
    }

    static QModelIndex trackRow(const DiscTrackListView &view, const QUuid &id)
    {
        return view.trackModel()->indexOf(id);
    }

    void click(DiscTrackListView &view, const QRect &rect)
    {
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, rect.center());
    }

    // Opens the disc groups so their rows can be reached.
    void expandAll(DiscTrackListView &view)
    {
        for (int disc = 0; disc < view.trackModel()->rowCount() / 2; ++disc)
            if (!view.isExpanded(heading(view, disc)))
                click(view, view.visualRect(heading(view, disc)));
    }

    RecordingWorkspace workspace;
};

QAction *actionNamed(QMenu *menu, const QString &text)
{
    for (QAction *action : menu->actions())
        if (action->text() == text)
            return action;
    return nullptr;
}

} // namespace

TEST(DiscTrackModelText, numbersAreTwoDigitsOrADash)
{
    const struct {
        qint64 number;
        QString text;
    } cases[] = {{0, u"—"_s}, {-3, u"—"_s}, {1, u"01"_s}, {7, u"07"_s}, {10, u"10"_s}, {123, u"123"_s}};
    for (const auto &c : cases)
        EXPECT_EQ(DiscTrackModel::numberText(c.number), c.text) << c.number;
}

TEST_F(DiscList, groupsStartClosedAndEachIsFollowedByADivider)
{
    const Album album = twoDiscs();
    auto view = show(album);
    const DiscTrackModel &rows = *view->trackModel();
    ASSERT_EQ(rows.rowCount(), 4);
    using Kind = DiscTrackModel::Kind;
    const Kind expected[] = {Kind::disc, Kind::divider, Kind::disc, Kind::divider};
    for (int row = 0; row < 4; ++row)
        EXPECT_EQ(rows.kind(rows.index(row, 0)), expected[row]) << row;
    EXPECT_FALSE(view->isExpanded(heading(*view, 0)));
    EXPECT_FALSE(view->isExpanded(heading(*view, 1)));

    // Headings sum their own disc only; a disc of silent tracks reads 0:00.
    EXPECT_EQ(rows.data(heading(*view, 0)).toString(), u"CD 1 · Utwory: 3 · 3:31"_s);
    EXPECT_EQ(rows.data(heading(*view, 1)).toString(), u"CD 2 · Utwory: 2 · 0:00"_s);
    setEnglish(true);
    EXPECT_EQ(rows.data(heading(*view, 1)).toString(), u"CD 2 · Tracks: 2 · 0:00"_s);
}

TEST_F(DiscList, aClickOnAHeadingOpensItAndTheStateOutlivesANewAlbumValue)
{
    const Album album = twoDiscs();
    auto view = show(album);
    click(*view, view->visualRect(heading(*view, 1)));
    EXPECT_TRUE(view->isExpanded(heading(*view, 1)));
    EXPECT_FALSE(view->isExpanded(heading(*view, 0)));
    EXPECT_EQ(view->trackModel()->rowCount(heading(*view, 1)), 2);

    view->setAlbum(album, true);
    EXPECT_TRUE(view->isExpanded(heading(*view, 1)));
    EXPECT_FALSE(view->isExpanded(heading(*view, 0)));

    click(*view, view->visualRect(heading(*view, 1)));
    EXPECT_FALSE(view->isExpanded(heading(*view, 1)));
}

TEST_F(DiscList, aTrackOfTheSecondDiscPlaysWithinTheWholeAlbum)
{
    const Album album = twoDiscs();
    auto view = show(album);
    expandAll(*view);
    const Track three = album.discs()[1].tracks[0];
    click(*view, view->trackGeometry(trackRow(*view, three.id)).play);

    Playback &player = *model->playback();
    ASSERT_TRUE(player.current());
    EXPECT_EQ(player.current()->id, three.id);
    ASSERT_EQ(player.queue().size(), album.tracks.size());
    EXPECT_EQ(player.index(), 3);
    EXPECT_EQ(player.queue()[player.index()].id, three.id);
    // Playing on goes past the disc's end into the album's next track.
    player.next();
    EXPECT_EQ(player.current()->id, album.tracks[4].id);
    EXPECT_TRUE(view->isPlaying(album.tracks[4].id));
    EXPECT_FALSE(view->isPlaying(three.id));
}

TEST_F(DiscList, togglesChangeTheSetOfTheirSideAndOnlyTheRowsConcerned)
{
    const Album album = twoDiscs();
    const struct {
        std::optional<bool> side;
        bool windowOnDevice;
        bool changesDeviceSet;
    } cases[] = {
        {std::nullopt, false, false},
        {std::nullopt, true, true},
        // From Cover Flow: the device's choice, even while the window shows the computer.
        {true, false, true},
        {false, true, false},
    };
    for (const auto &c : cases) {
        model->setQueued({});
        model->setSelectedOnDevice({});
        model->setLibraryOnDevice(c.windowOnDevice);
        auto view = show(album, c.side);
        expandAll(*view);
        const Track &two = album.tracks[1];
        QSignalSpy changed(view->trackModel(), &QAbstractItemModel::dataChanged);
        click(*view, view->trackGeometry(trackRow(*view, two.id)).toggle);

        const TavoModel::UuidSet expected{two.id};
        EXPECT_EQ(model->selectedOnDevice(), c.changesDeviceSet ? expected : TavoModel::UuidSet());
        EXPECT_EQ(model->queued(), c.changesDeviceSet ? TavoModel::UuidSet() : expected);
        EXPECT_TRUE(view->isMarked(two.id));
        ASSERT_EQ(changed.size(), 1) << "only the toggled row is drawn again";
        EXPECT_EQ(changed.first().first().value<QModelIndex>(), trackRow(*view, two.id));

        // The symbol follows the set the toggle changes, not the other one.
        if (c.changesDeviceSet)
            model->setQueued({album.tracks[2].id});
        else
            model->setSelectedOnDevice({album.tracks[2].id});
        EXPECT_FALSE(view->isMarked(album.tracks[2].id));

        click(*view, view->trackGeometry(trackRow(*view, two.id)).toggle);
        EXPECT_FALSE(view->isMarked(two.id));
    }
}

TEST_F(DiscList, whileBusyTogglesAreDisabledButPlayButtonsAreNot)
{
    const Album album = twoDiscs();
    auto view = show(album);
    expandAll(*view);
    model->setBusy(true);
    const QModelIndex row = trackRow(*view, album.tracks[0].id);
    click(*view, view->trackGeometry(row).toggle);
    EXPECT_TRUE(model->queued().isEmpty());
    click(*view, view->trackGeometry(row).play);
    ASSERT_TRUE(model->playback()->current());
    EXPECT_EQ(model->playback()->current()->id, album.tracks[0].id);
    model->setBusy(false);
    click(*view, view->trackGeometry(row).toggle);
    EXPECT_EQ(model->queued(), TavoModel::UuidSet({album.tracks[0].id}));
}

TEST_F(DiscList, anAlbumOfOneDiscListsItsTracksWithoutGroups)
{
    const QList<Track> tracks = albumTracks(folder(u"Band/Single"_s), u"Band"_s, u"Single"_s,
                                            {{u"A"_s, 1, 1, 60}, {u"B"_s, 1, 2, 60}});
    const Album album = AlbumGrouping::albums(tracks).first();
    auto view = show(album);
    EXPECT_FALSE(view->trackModel()->byDisc());
    EXPECT_EQ(view->trackModel()->rowCount(), 2);
    click(*view, view->trackGeometry(trackRow(*view, album.tracks[1].id)).toggle);
    EXPECT_EQ(model->queued(), TavoModel::UuidSet({album.tracks[1].id}));
}

// Without a mouse: the list takes focus, the arrows pass from heading to
// heading over the dividers, Right and Return open a disc, Return plays a
// track within the whole album, Space switches its selection, the menu key
// opens its menu; a screen reader finds each heading (and whether it is open),
// each track and its two buttons.
TEST_F(DiscList, theKeyboardAndAScreenReaderReachEveryHeadingAndTrack)
{
    const Album album = twoDiscs();
    auto view = show(album);
    view->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(view.get()));
    ASSERT_NE(view->focusPolicy() & Qt::TabFocus, 0);
    view->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(view->hasFocus());
    ASSERT_EQ(view->currentIndex(), heading(*view, 0));

    // Closed discs: Down goes to the next heading, never to a divider.
    QTest::keyClick(view.get(), Qt::Key_Down);
    EXPECT_EQ(view->currentIndex(), heading(*view, 1));
    QTest::keyClick(view.get(), Qt::Key_Down);
    EXPECT_EQ(view->currentIndex(), heading(*view, 1));
    QTest::keyClick(view.get(), Qt::Key_Up);
    ASSERT_EQ(view->currentIndex(), heading(*view, 0));

    std::vector<AccessibleRow> rows = accessibleRows(view.get());
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].name, u"CD 1 · Utwory: 3 · 3:31"_s);
    EXPECT_EQ(rows[0].role, QAccessible::TreeItem);
    EXPECT_TRUE(rows[0].buttons.isEmpty());
    EXPECT_TRUE(rows[0].focused);
    QAccessibleInterface *list = QAccessible::queryAccessibleInterface(view.get());
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->role(), QAccessible::Tree);
    EXPECT_TRUE(list->child(0)->state().collapsed);

    // Return opens the first disc, Right the second; Down then walks the tracks.
    QTest::keyClick(view.get(), Qt::Key_Return);
    EXPECT_TRUE(view->isExpanded(heading(*view, 0)));
    EXPECT_TRUE(list->child(0)->state().expanded);
    for (int i = 0; i < 4; ++i)
        QTest::keyClick(view.get(), Qt::Key_Down);
    ASSERT_EQ(view->currentIndex(), heading(*view, 1));
    QTest::keyClick(view.get(), Qt::Key_Right);
    EXPECT_TRUE(view->isExpanded(heading(*view, 1)));
    QTest::keyClick(view.get(), Qt::Key_Down);
    const Track three = album.discs()[1].tracks[0];
    ASSERT_EQ(view->currentIndex(), trackRow(*view, three.id));

    QTest::keyClick(view.get(), Qt::Key_Return);
    ASSERT_TRUE(model->playback()->current());
    EXPECT_EQ(model->playback()->current()->id, three.id);
    EXPECT_EQ(model->playback()->queue().size(), album.tracks.size());
    QTest::keyClick(view.get(), Qt::Key_Space);
    EXPECT_EQ(model->queued(), TavoModel::UuidSet{three.id});

    QTest::keyClick(view.get(), Qt::Key_Menu);
    auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr);
    QAction *reveal = actionNamed(menu, u"Pokaż w menedżerze plików"_s);
    ASSERT_NE(reveal, nullptr);
    reveal->trigger();
    menu->close();
    EXPECT_EQ(workspace.revealed, QList<QStringList>{{three.url}});

    // Two headings, the first disc's three tracks, the second's two.
    rows = accessibleRows(view.get());
    ASSERT_EQ(rows.size(), 7u);
    const QList<Track> listed = album.discs()[0].tracks + album.discs()[1].tracks;
    const int trackRows[] = {1, 2, 3, 5, 6};
    for (int i = 0; i < 5; ++i) {
        const AccessibleRow &row = rows[size_t(trackRows[i])];
        EXPECT_EQ(row.name, library::firstLine(listed[i])) << i;
        EXPECT_EQ(row.role, QAccessible::TreeItem);
        EXPECT_EQ(row.buttons, (QStringList{PlayButton::helpText(), u"Dodaj / usuń z kolejki"_s})) << i;
        EXPECT_EQ(row.focused, trackRows[i] == 5) << i;
    }
    EXPECT_EQ(rows[4].name, u"CD 2 · Utwory: 2 · 0:00"_s);

    // The buttons press as a click does; the toggle is off while the model works.
    ASSERT_TRUE(pressAccessible(view.get(), 2, 1));
    EXPECT_EQ(model->queued(), (TavoModel::UuidSet{three.id, listed[1].id}));
    ASSERT_TRUE(pressAccessible(view.get(), 6, 0));
    EXPECT_EQ(model->playback()->current()->id, listed[4].id);
    model->setBusy(true);
    EXPECT_EQ(accessibleRows(view.get())[1].enabled, (QList<bool>{true, false}));
    QTest::keyClick(view.get(), Qt::Key_Space);
    EXPECT_EQ(model->queued().size(), 2) << "no toggle while busy";
    model->setBusy(false);

    // Left goes back to the heading, Return closes the disc again.
    QTest::keyClick(view.get(), Qt::Key_Left);
    ASSERT_EQ(view->currentIndex(), heading(*view, 1));
    QTest::keyClick(view.get(), Qt::Key_Return);
    EXPECT_FALSE(view->isExpanded(heading(*view, 1)));
    EXPECT_EQ(accessibleRows(view.get()).size(), 5u);
}

// The mouse's right button opens the same menu over a track, none over a heading.
TEST_F(DiscList, aTrackRowHasAMenuUnderTheRightButton)
{
    const Album album = twoDiscs();
    auto view = show(album);
    expandAll(*view);
    const QModelIndex row = trackRow(*view, album.tracks[1].id);
    QContextMenuEvent onTrack(QContextMenuEvent::Mouse, view->visualRect(row).center(),
                              view->viewport()->mapToGlobal(view->visualRect(row).center()));
    QApplication::sendEvent(view->viewport(), &onTrack);
    auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr);
    QAction *choose = actionNamed(menu, u"Dodaj / usuń z kolejki"_s);
    ASSERT_NE(choose, nullptr);
    choose->trigger();
    menu->close();
    EXPECT_EQ(model->queued(), TavoModel::UuidSet{album.tracks[1].id});

    QApplication::processEvents();
    const QPoint headingCentre = view->visualRect(heading(*view, 0)).center();
    QContextMenuEvent onHeading(QContextMenuEvent::Mouse, headingCentre, view->viewport()->mapToGlobal(headingCentre));
    QApplication::sendEvent(view->viewport(), &onHeading);
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
}
