#include "ui/library/tracklist.h"

#include "librarytesting.h"
#include "model/playback.h"
#include "support/accessiblerows.h"
#include "support/fakeaudio.h"
#include "ui/kit/kit.h"
#include "ui/kit/playbutton.h"
#include "ui/library/librarytexts.h"

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QMenu>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

using namespace librarytesting;

namespace {

class TrackListTest : public LibraryTest
{
protected:
    void SetUp() override
    {
        LibraryTest::SetUp();
        ASSERT_TRUE(dir.isValid());
        audio = installFakeAudio(*model->playback());
    }
    void TearDown() override
    {
        view.reset();
        LibraryTest::TearDown();
    }

    void makeView(const QList<Track> &tracks, QSize size = {760, 420})
    {
        view = std::make_unique<TrackListView>(model.get(), &workspace);
        view->resize(size);
        view->setTracks(tracks);
        view->show();
        QCoreApplication::processEvents();
    }

    QPoint cellPoint(int row, int column) const
    {
        return view->list()->visualRect(view->rows()->index(row, column)).center();
    }
    QPoint playPoint(int row) const
    {
        const QRect cell = view->list()->visualRect(view->rows()->index(row, TrackListModel::title));
        return TrackRowDelegate::playRect(cell).center().toPoint();
    }
    void click(QPoint at) { QTest::mouseClick(view->list()->viewport(), Qt::LeftButton, {}, at); }

    QAction *menuAction(QMenu *menu, const QString &text) const
    {
        for (QAction *a : menu->actions()) {
            if (a->text() == text)
                return a;
        }
        return nullptr;
    }

    QTemporaryDir dir;
    std::shared_ptr<FakeAudioState> audio;
    RecordingWorkspace workspace;
    std::unique_ptr<TrackListView> view;
};

TEST_F(TrackListTest, HeaderAndRowTexts)
{
    Spec s;
    s.title = u"Zażółć gęślą jaźń"_s;
    s.artist = u"Łucja"_s;
    s.album = u"Źródła"_s;
    s.trackNumber = 7;
    s.duration = 3725;
    s.bitDepth = 24;
    s.sampleRate = 96000;
    const Track t = track(s);
    makeView({t});
    TrackListModel *rows = view->rows();
    QStringList headers;
    for (int c = 0; c < rows->columnCount(); ++c)
        headers.append(rows->headerData(c, Qt::Horizontal).toString());
    EXPECT_EQ(headers, (QStringList{u"Utwór"_s, u"Czas"_s, u"Format"_s, u"Parametry"_s, u"Wybór"_s}));
    EXPECT_EQ(rows->index(0, TrackListModel::title).data().toString(), u"07  Zażółć gęślą jaźń"_s);
    EXPECT_EQ(rows->index(0, TrackListModel::time).data().toString(), u"1:02:05"_s);
    EXPECT_EQ(rows->index(0, TrackListModel::format).data().toString(), u"FLAC"_s);
    EXPECT_EQ(rows->index(0, TrackListModel::parameters).data().toString(), u"24-bit / 96 kHz"_s);
    EXPECT_EQ(rows->index(0, TrackListModel::choice).data(Qt::ToolTipRole).toString(), u"Dodaj / usuń z kolejki"_s);

    // An empty list still has its header.
    makeView({});
    EXPECT_EQ(view->rows()->rowCount(), 0);
    EXPECT_FALSE(view->list()->header()->isHidden());
}

TEST_F(TrackListTest, PlayButtonPlaysThroughTheWholeListInItsOrder)
{
    const QList<Track> tracks = fakeTracks(dir, 5);
    makeView(tracks);
    click(playPoint(2));
    Playback *player = model->playback();
    ASSERT_TRUE(player->current().has_value());
    EXPECT_EQ(player->current()->id, tracks[2].id);
    ASSERT_EQ(player->queue().size(), 5);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(player->queue()[i].id, tracks[i].id);
    player->next();
    EXPECT_EQ(player->current()->id, tracks[3].id);
    // A click elsewhere in the title cell plays nothing.
    click(cellPoint(0, TrackListModel::title) + QPoint(100, 0));
    EXPECT_EQ(player->current()->id, tracks[3].id);
    EXPECT_TRUE(model->queued().isEmpty());
}

TEST_F(TrackListTest, ToggleActsOnTheSelectionSetOfTheSide)
{
    const QList<Track> tracks = album(u"A"_s, u"B"_s, 3);
    makeView(tracks);
    click(cellPoint(1, TrackListModel::choice));
    EXPECT_EQ(model->queued(), TavoModel::UuidSet{tracks[1].id});
    EXPECT_TRUE(view->rows()->isChosen(1));
    click(cellPoint(1, TrackListModel::choice));
    EXPECT_TRUE(model->queued().isEmpty());

    model->setBusy(true);
    click(cellPoint(0, TrackListModel::choice));
    EXPECT_TRUE(model->queued().isEmpty()) << "disabled while busy";
    model->setBusy(false);

    model->setLibraryOnDevice(true);
    EXPECT_EQ(view->rows()->index(0, TrackListModel::choice).data(Qt::ToolTipRole).toString(),
              u"Dodaj / usuń z playlisty"_s);
    click(cellPoint(0, TrackListModel::choice));
    EXPECT_EQ(model->selectedOnDevice(), TavoModel::UuidSet{tracks[0].id});
    EXPECT_TRUE(model->queued().isEmpty());
}

// Without a mouse: the list takes focus, the arrows move, Return plays,
// Space switches the selection, the menu key opens the row's menu; a screen
// reader finds each row and its two buttons.
TEST_F(TrackListTest, TheKeyboardAndAScreenReaderReachEveryRow)
{
    const QList<Track> tracks = fakeTracks(dir, 4);
    makeView(tracks);
    view->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(view.get()));
    QTreeView *list = view->list();
    ASSERT_NE(list->focusPolicy() & Qt::TabFocus, 0);
    list->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(list->hasFocus());
    ASSERT_EQ(list->currentIndex().row(), 0);
    QTest::keyClick(list, Qt::Key_Down);
    QTest::keyClick(list, Qt::Key_Down);
    ASSERT_EQ(list->currentIndex().row(), 2);

    QTest::keyClick(list, Qt::Key_Space);
    EXPECT_EQ(model->queued(), TavoModel::UuidSet{tracks[2].id});
    QTest::keyClick(list, Qt::Key_Return);
    ASSERT_TRUE(model->playback()->current().has_value());
    EXPECT_EQ(model->playback()->current()->id, tracks[2].id);
    EXPECT_EQ(model->playback()->queue().size(), 4);

    QTest::keyClick(list, Qt::Key_Menu);
    auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr);
    EXPECT_NE(menuAction(menu, u"Otwórz album"_s), nullptr);
    menu->close();

    const std::vector<AccessibleRow> rows = accessibleRows(list);
    ASSERT_EQ(rows.size(), 4u);
    for (size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].role, QAccessible::ListItem);
        EXPECT_EQ(rows[i].name,
                  library::firstLine(tracks[int(i)]) + u", "_s + library::secondLine(tracks[int(i)]));
        EXPECT_EQ(rows[i].buttons, (QStringList{PlayButton::helpText(), u"Dodaj / usuń z kolejki"_s}));
        EXPECT_EQ(rows[i].focused, i == 2);
    }
    ASSERT_TRUE(pressAccessible(list, 1, 1));
    EXPECT_EQ(model->queued(), (TavoModel::UuidSet{tracks[1].id, tracks[2].id}));
    ASSERT_TRUE(pressAccessible(list, 3, 0));
    EXPECT_EQ(model->playback()->current()->id, tracks[3].id);
    model->setBusy(true);
    EXPECT_EQ(accessibleRows(list)[0].enabled, (QList<bool>{true, false}));
    QTest::keyClick(list, Qt::Key_Space);
    EXPECT_EQ(model->queued().size(), 2) << "no toggle while busy";
    model->setBusy(false);
}

TEST_F(TrackListTest, SelectionChangeRepaintsOnlyTheRowsItTouches)
{
    QList<Track> tracks;
    for (int i = 0; i < 200; ++i)
        tracks.append(track({.title = QString::number(i), .trackNumber = i}));
    makeView(tracks);
    QSignalSpy changed(view->rows(), &QAbstractItemModel::dataChanged);
    model->setQueued({tracks[5].id, tracks[150].id});
    ASSERT_EQ(changed.count(), 2);
    QSet<int> rows;
    for (const QList<QVariant> &signal : changed) {
        const QModelIndex from = signal[0].toModelIndex(), to = signal[1].toModelIndex();
        EXPECT_EQ(from.row(), to.row());
        rows.insert(from.row());
    }
    EXPECT_EQ(rows, (QSet<int>{5, 150}));
    changed.clear();
    model->toggleTrack(tracks[5]);
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed[0][0].toModelIndex().row(), 5);
    changed.clear();
    // A queue change of tracks not listed repaints nothing.
    model->setQueued({tracks[150].id, QUuid::createUuid()});
    EXPECT_EQ(changed.count(), 0);
    // The side changes every tooltip: one change over all rows.
    model->setLibraryOnDevice(true);
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed[0][0].toModelIndex().row(), 0);
    EXPECT_EQ(changed[0][1].toModelIndex().row(), 199);
}

TEST_F(TrackListTest, MenuOpensTheWholeAlbumAndReveals)
{
    Spec flac;
    flac.disc = 1;
    QList<Track> tracks = album(u"A"_s, u"Podwójny"_s, 2, flac);
    Spec mp3 = flac;
    mp3.codec = u"MP3"_s;
    mp3.disc = 2;
    mp3.artist = u"A"_s;
    mp3.album = u"Podwójny"_s;
    tracks.append(track(mp3));
    model->setTracks(tracks);
    model->setFormatFilter(u"FLAC"_s);
    makeView(model->filteredTracks());
    ASSERT_EQ(view->rows()->rowCount(), 2);
    QMenu *menu = view->contextMenu(0);
    QStringList texts;
    for (QAction *a : menu->actions()) {
        texts.append(a->text());
        EXPECT_TRUE(a->isEnabled());
    }
    EXPECT_EQ(texts, (QStringList{u"Otwórz album"_s, u"Pokaż w menedżerze plików"_s}));
    menuAction(menu, u"Otwórz album"_s)->trigger();
    ASSERT_TRUE(model->openAlbum().has_value());
    EXPECT_EQ(model->openAlbum()->tracks.size(), 3) << "all discs, also the ones the filter hides";
    menuAction(menu, u"Pokaż w menedżerze plików"_s)->trigger();
    EXPECT_EQ(workspace.revealed, (QList<QStringList>{{view->rows()->track(0).url}}));
    delete menu;
}

TEST_F(TrackListTest, Screenshots)
{
    QList<Track> tracks;
    const struct {
        const char *title;
        const char *codec;
        qint64 bits, rate, bitrate;
        double duration;
    } rows[] = {
        {"Zażółć gęślą jaźń", "FLAC", 24, 96000, 0, 245},
        {"Łąka o świcie", "FLAC", 16, 44100, 0, 3725},
        {"Źdźbło", "MP3", 0, 44100, 320, 65},
        {"Ćma nad żółtą lampą", "AAC", 0, 48000, 256, 301},
        {"Bez numeru i parametrów", "WAV", 0, 0, 0, -1},
    };
    int number = 1;
    for (const auto &r : rows) {
        Spec s;
        s.title = QString::fromUtf8(r.title);
        s.codec = QString::fromUtf8(r.codec);
        s.bitDepth = r.bits;
        s.sampleRate = r.rate;
        s.duration = r.duration;
        s.artist = u"Żaneta Łęcka"_s;
        s.album = u"Pieśni źródlane"_s;
        s.trackNumber = number == 5 ? 0 : number;
        Track t = track(s);
        t.info.bitrate = r.bitrate;
        tracks.append(t);
        ++number;
    }
    model->setQueued({tracks[1].id});
    for (const char *language : {"pl", "en"}) {
        for (bool dark : {false, true}) {
            setLanguage(QString::fromLatin1(language));
            makeView(tracks, {760, 300});
            view->setPalette(dark ? kit::darkPalette() : kit::lightPalette());
            view->setAutoFillBackground(true);
            screenshot(*view, u"library-tracks-"_s + QString::fromLatin1(language) + (dark ? u"-dark"_s : u"-light"_s));
        }
    }
}

} // namespace
