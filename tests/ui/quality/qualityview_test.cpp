// The "Porządek" page driven offscreen against a real model and a temporary
// library on disk: albums without a cover and with one Rockbox can't show, 25
// byte-identical files spread over two albums, a track without tags and one
// whose file is gone. Every check and repair runs from the page's buttons
// through the model; the page's rules for enabling, the filters, the rows and
// their buttons, the empty states and the scope are checked, and pictures of
// the page are saved in both languages and palettes.

#include "ui/quality/qualityview.h"

#include "model/operationstesting.h"
#include "platform/workspace.h"
#include "support/imagefixtures.h"
#include "ui/kit/kit.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QAccessible>
#include <QMenu>
#include <QTest>

namespace {

class FakeWorkspace : public Workspace
{
public:
    bool openUrl(const QUrl &url) override
    {
        opened.append(url);
        return true;
    }
    void reveal(const QStringList &paths) override { revealed.append(paths); }
    QList<QUrl> opened;
    QList<QStringList> revealed;
};

QString screenshots()
{
    const QString folder = QCoreApplication::applicationDirPath() + u"/../screenshots"_s;
    QDir().mkpath(folder);
    return folder;
}

using Button = QualityListModel::Button;

class QualityPage : public OperationsTest
{
protected:
    void SetUp() override
    {
        OperationsTest::SetUp();
        QApplication::setPalette(kit::lightPalette());
        model->setImageChooser([this](const QString &) {
            ++imageChoices;
            return std::optional<QString>();
        });
    }
    void TearDown() override
    {
        page.reset();
        drainWork();
        OperationsTest::TearDown();
    }

    // A track on a file of its own content (or of `content` when given), with its three tags.
    Track fileTrack(const QString &path, const QString &album, int number, std::optional<QByteArray> art = {},
                    const QByteArray &content = {}, bool tagged = true)
    {
        static int seed = 0;
        ++seed;
        const QByteArray bytes = content.isEmpty() ? DeviceFixture::bytes(2048 + seed * 7, char('a' + seed % 26))
                                                   : content;
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        Track t;
        t.id = QUuid::createUuid();
        t.url = path;
        t.title = QFileInfo(path).completeBaseName();
        t.artist = u"Zespół"_s;
        t.album = album;
        t.artwork = std::move(art);
        t.bytes = bytes.size();
        t.info.trackNumber = number;
        t.info.discNumber = 1;
        t.info.codec = u"MP3"_s;
        if (tagged)
            t.info.tags = {{u"TITLE"_s, t.title}, {u"ARTIST"_s, t.artist}, {u"ALBUM"_s, album}};
        return t;
    }

    // The library described at the top of this file.
    QList<Track> collection()
    {
        QList<Track> tracks;
        for (int i = 1; i <= 12; ++i)
            tracks.append(fileTrack(library(u"Bez okładki/%1.mp3"_s.arg(i, 2, 10, QChar(u'0'))), u"Bez okładki"_s, i));
        tracks.append(fileTrack(library(u"Duża okładka/01.mp3"_s), u"Duża okładka"_s, 1, fixtures::jpeg(800, 800)));
        tracks.append(fileTrack(library(u"Duża okładka/02.mp3"_s), u"Duża okładka"_s, 2));
        const QByteArray same = DeviceFixture::bytes(4096, 'd');
        for (int i = 1; i <= 25; ++i) {
            const QString album = i <= 13 ? u"Kopie A"_s : u"Kopie B"_s;
            tracks.append(fileTrack(library(album + u"/%1.mp3"_s.arg(i, 2, 10, QChar(u'0'))), album, i,
                                    fixtures::jpeg(300, 300), same));
        }
        tracks.append(fileTrack(library(u"Luźne/bez tagów.mp3"_s), u"Luźne"_s, 1, fixtures::jpeg(300, 300), {}, false));
        Track gone = fileTrack(library(u"Luźne/zniknął.mp3"_s), u"Luźne"_s, 2, fixtures::jpeg(300, 300));
        EXPECT_TRUE(QFile::remove(gone.url));
        tracks.append(gone);
        return tracks;
    }

    void show(const QString &filter = u"Wszystko"_s)
    {
        page = std::make_unique<QualityView>(model.get(), filter, &workspace);
        page->resize(1000, 900);
        page->show();
    }

    // Waits for the page's inspection and the list's layout.
    bool settle()
    {
        return waitUntil([&] {
            return !model->inspectingCollection() && !model->busy()
                   && (page->listModel()->rowCount() == 0
                       || page->listView()->visualRect(page->listModel()->index(0)).isValid());
        });
    }

    template <typename T>
    T *child(const QString &name) const
    {
        T *found = page->findChild<T *>(name);
        EXPECT_NE(found, nullptr) << name.toStdString();
        return found;
    }
    QPushButton *button(const QString &name) const { return child<QPushButton>(name); }

    QAbstractButton *segment(const QString &picker, int index) const
    {
        const QList<QAbstractButton *> buttons = child<QWidget>(picker)->findChildren<QAbstractButton *>();
        return buttons.value(index);
    }

    int rowOf(const QString &kind, const QString &title) const
    {
        for (int r = 0; r < page->listModel()->rowCount(); ++r) {
            const QualityIssue &issue = page->listModel()->row(r).issue;
            if (issue.kind == kind && (title.isEmpty() || issue.title == title))
                return r;
        }
        ADD_FAILURE() << "no row " << kind.toStdString() << " " << title.toStdString();
        return -1;
    }

    QList<Button> buttonsOf(int row) const
    {
        return QualityListModel::buttonsOf(page->listModel()->row(row));
    }

    // Clicks one of the row's painted buttons where the delegate put it.
    void clickRowButton(int row, Button which)
    {
        QListView *list = page->listView();
        const QModelIndex index = page->listModel()->index(row);
        list->scrollTo(index, QAbstractItemView::PositionAtTop);
        ASSERT_TRUE(waitUntil([&] { return list->visualRect(index).isValid(); }));
        auto *delegate = static_cast<QualityDelegate *>(list->itemDelegate());
        const auto layout = delegate->layout(page->listModel()->row(row), list->visualRect(index));
        for (const auto &[kind, box] : layout.buttons) {
            if (kind == which) {
                QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, box.center().toPoint());
                return;
            }
        }
        FAIL() << "row " << row << " has no such button";
    }

    void saveScreenshot(const QString &name)
    {
        QTest::qWait(30);
        EXPECT_TRUE(page->grab().save(screenshots() + u"/"_s + name + u".png"_s));
    }

    FakeWorkspace workspace;
    std::unique_ptr<QualityView> page;
    int imageChoices = 0;
};

TEST_F(QualityPage, AnEmptyCollectionShowsTheFirstEmptyStateWhateverTheFilter)
{
    model->setDuplicateIssues({QualityIssue{u"Duplikaty"_s, u"x"_s, u"y"_s, {}}});
    show(u"Duplikaty"_s);
    ASSERT_TRUE(settle());
    EXPECT_EQ(page->contentState(), 0);
    EXPECT_EQ(child<QWidget>(u"firstEmptyState"_s)->findChild<QLabel *>(u"emptyTitle"_s)->text(),
              u"Najpierw odczytaj kolekcję"_s);
    EXPECT_FALSE(button(u"checkDuplicates"_s)->isEnabled());
    EXPECT_FALSE(button(u"repairCovers"_s)->isEnabled());
    EXPECT_FALSE(button(u"findMissing"_s)->isEnabled());
    model->setBusy(true);
    EXPECT_TRUE(button(u"openMusic"_s)->isEnabled());
    QTest::mouseClick(button(u"openMusic"_s), Qt::LeftButton);
    EXPECT_EQ(model->section(), Section::music);
    model->setBusy(false);
}

TEST_F(QualityPage, TheInspectionsProblemsAreListedWithTheirBadgeDetailPathsAndButtons)
{
    model->setTracks(collection());
    show();
    ASSERT_TRUE(settle());
    ASSERT_EQ(page->contentState(), 1);
    QualityListModel *rows = page->listModel();
    ASSERT_EQ(rows->rowCount(), 4);
    EXPECT_EQ(child<QLabel>(u"status"_s)->text(), u"Duplikaty nie zostały jeszcze sprawdzone."_s);

    // A bare album of 12 tracks: one path, no repair from a picture it lacks.
    const int bare = rowOf(u"Okładki"_s, u"Bez okładki"_s);
    EXPECT_EQ(rows->row(bare).badge, u"OKŁADKI"_s);
    EXPECT_EQ(rows->row(bare).detail, u"Brak odczytanej okładki. Wybierz obraz, aby naprawić album."_s);
    EXPECT_EQ(QualityListModel::listedPaths(rows->row(bare).issue), QStringList{library(u"Bez okładki/01.mp3"_s)});
    EXPECT_EQ(buttonsOf(bare), (QList<Button>{Button::searchOnline, Button::chooseCover, Button::openAlbum,
                                              Button::showFiles}));
    // An album with a picture Rockbox can't show can be repaired from it.
    const int large = rowOf(u"Okładki"_s, u"Duża okładka"_s);
    EXPECT_EQ(buttonsOf(large), (QList<Button>{Button::repair, Button::searchOnline, Button::chooseCover,
                                               Button::openAlbum, Button::showFiles}));
    // Tags and missing files: one path, only the album and the files.
    for (const QString &kind : {u"Tagi"_s, u"Pliki"_s}) {
        const int r = rowOf(kind, QString());
        EXPECT_EQ(QualityListModel::listedPaths(rows->row(r).issue).size(), 1);
        EXPECT_EQ(buttonsOf(r), (QList<Button>{Button::openAlbum, Button::showFiles}));
    }
    EXPECT_EQ(rows->row(rowOf(u"Tagi"_s, QString())).detail,
              u"Nie odczytano tagów: tytuł, wykonawca, album. Nazwy w bibliotece mogą pochodzić z folderów."_s);

    // "Pokaż pliki" selects all 12 files, though one is listed.
    clickRowButton(bare, Button::showFiles);
    ASSERT_EQ(workspace.revealed.size(), 1);
    EXPECT_EQ(workspace.revealed[0].size(), 12);
    clickRowButton(bare, Button::searchOnline);
    ASSERT_TRUE(model->coverLookup().has_value());
    EXPECT_EQ(model->coverLookup()->title, u"Bez okładki"_s);
    clickRowButton(bare, Button::chooseCover);
    EXPECT_EQ(imageChoices, 1);
    clickRowButton(rowOf(u"Tagi"_s, QString()), Button::openAlbum);
    ASSERT_TRUE(model->openAlbum().has_value());
    EXPECT_EQ(model->openAlbum()->title, u"Luźne"_s);

    // Both cover-row rules hold: a picture to repair from, an album without one.
    EXPECT_TRUE(button(u"repairCovers"_s)->isEnabled());
    EXPECT_TRUE(button(u"findMissing"_s)->isEnabled());
    EXPECT_TRUE(button(u"checkDuplicates"_s)->isEnabled());

    // "Napraw dla Rockbox" gives the album its own picture again, as a cover Rockbox shows.
    clickRowButton(large, Button::repair);
    EXPECT_TRUE(model->busy());
    ASSERT_TRUE(waitUntilIdle(*model));
    EXPECT_EQ(model->status(), u"Okładka przygotowana; zostanie wgrana razem z albumem."_s);
    ASSERT_TRUE(settle());
    EXPECT_EQ(rows->rowCount(), 3) << "the repaired album is no longer listed";
    EXPECT_FALSE(button(u"repairCovers"_s)->isEnabled());
    saveScreenshot(u"quality-pl-light"_s);
}

// Without a mouse: the list takes focus, the arrows move between problems and
// between a problem's buttons, Return and Space press them, the menu key
// offers them all; and a screen reader finds every row and button by name.
TEST_F(QualityPage, TheProblemsCanBeReachedFromTheKeyboardAndAreReadAloud)
{
    model->setTracks(collection());
    show();
    ASSERT_TRUE(settle());
    page->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(page.get()));
    QualityListView *list = page->listView();
    QualityListModel *rows = page->listModel();
    ASSERT_NE(list->focusPolicy() & Qt::TabFocus, 0);
    list->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(list->hasFocus());
    ASSERT_EQ(list->currentIndex().row(), 0);

    const int bare = rowOf(u"Okładki"_s, u"Bez okładki"_s);
    for (int i = 0; i < rows->rowCount() && list->currentIndex().row() != bare; ++i)
        QTest::keyClick(list, Qt::Key_Down);
    ASSERT_EQ(list->currentIndex().row(), bare);
    // Search online, choose a cover, open the album, show the files.
    for (int i = 0; i < 5; ++i)
        QTest::keyClick(list, Qt::Key_Right);
    EXPECT_EQ(list->focusedButton(), 3);
    QTest::keyClick(list, Qt::Key_Return);
    ASSERT_EQ(workspace.revealed.size(), 1);
    EXPECT_EQ(workspace.revealed[0].size(), 12);
    QTest::keyClick(list, Qt::Key_Left);
    QTest::keyClick(list, Qt::Key_Left);
    QTest::keyClick(list, Qt::Key_Space);
    EXPECT_EQ(imageChoices, 1);
    saveScreenshot(u"quality-keyboard-pl-light"_s);

    QTest::keyClick(list, Qt::Key_Menu);
    auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr);
    QStringList texts;
    for (QAction *action : menu->actions())
        texts << action->text();
    EXPECT_EQ(texts, (QStringList{u"Znajdź w sieci…"_s, u"Wybierz okładkę…"_s, u"Otwórz album"_s, u"Pokaż pliki"_s}));
    menu->actions().at(2)->trigger();
    menu->close();
    ASSERT_TRUE(model->openAlbum().has_value());
    EXPECT_EQ(model->openAlbum()->title, u"Bez okładki"_s);

    // What a screen reader is told.
    QAccessibleInterface *view = QAccessible::queryAccessibleInterface(list);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->role(), QAccessible::List);
    ASSERT_EQ(view->childCount(), rows->rowCount());
    QAccessibleInterface *row = view->child(bare);
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->role(), QAccessible::ListItem);
    EXPECT_EQ(row->text(QAccessible::Name), u"OKŁADKI: Bez okładki"_s);
    EXPECT_EQ(row->text(QAccessible::Description), rows->row(bare).detail);
    EXPECT_TRUE(row->state().focused);
    EXPECT_EQ(view->focusChild(), row);
    EXPECT_EQ(view->indexOfChild(row), bare);
    EXPECT_EQ(row->parent(), view);
    ASSERT_EQ(row->childCount(), 4);
    QAccessibleInterface *search = row->child(0);
    EXPECT_EQ(search->role(), QAccessible::Button);
    EXPECT_EQ(search->text(QAccessible::Name), u"Znajdź w sieci…"_s);
    EXPECT_TRUE(row->rect().contains(search->rect()));
    ASSERT_NE(search->actionInterface(), nullptr);
    search->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    ASSERT_TRUE(model->coverLookup().has_value());
    EXPECT_EQ(model->coverLookup()->title, u"Bez okładki"_s);

    // While the model works the cover buttons are off, for the reader too.
    model->setCoverLookup(std::nullopt);
    model->setBusy(true);
    EXPECT_TRUE(search->state().disabled);
    EXPECT_FALSE(row->child(3)->state().disabled);
    search->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_FALSE(model->coverLookup().has_value());
    model->setBusy(false);
}

TEST_F(QualityPage, TheFiltersShowOneKindAndTheSecondEmptyStateWhenNoneIsLeft)
{
    model->setTracks(collection());
    show();
    ASSERT_TRUE(settle());
    const QStringList labels{u"Wszystko"_s, u"Okładki"_s, u"Tagi"_s, u"Duplikaty"_s, u"Pliki"_s};
    const int counts[] = {4, 2, 1, 0, 1};
    for (int i = 0; i < 5; ++i) {
        QAbstractButton *filter = segment(u"filterPicker"_s, i);
        ASSERT_NE(filter, nullptr);
        EXPECT_EQ(filter->text(), labels[i]);
        QTest::mouseClick(filter, Qt::LeftButton);
        EXPECT_EQ(page->filter(), labels[i]);
        EXPECT_EQ(page->listModel()->rowCount(), counts[i]) << labels[i].toStdString();
        EXPECT_EQ(page->contentState(), counts[i] > 0 ? 1 : 2);
    }
    // The cover rules look at the whole inspection, whatever the filter.
    EXPECT_TRUE(button(u"repairCovers"_s)->isEnabled());
    EXPECT_EQ(child<QLabel>(u"status"_s)->text(), u"Duplikaty nie zostały jeszcze sprawdzone."_s);
    // The filter stays usable while the model works.
    model->setBusy(true);
    EXPECT_TRUE(segment(u"filterPicker"_s, 0)->isEnabled());
    model->setBusy(false);
}

TEST_F(QualityPage, TheDuplicateCheckRunsFromThePageAndAScopeChangeForgetsIt)
{
    model->setTracks(collection());
    show();
    ASSERT_TRUE(settle());
    QTest::mouseClick(button(u"checkDuplicates"_s), Qt::LeftButton);
    EXPECT_TRUE(model->busy());
    ASSERT_TRUE(waitUntilIdle(*model));
    ASSERT_TRUE(settle());
    EXPECT_EQ(child<QLabel>(u"status"_s)->text(),
              u"Znaleziono grup identycznych plików: 1. Sprawdzone przez SHA-256."_s);
    ASSERT_EQ(page->listModel()->rowCount(), 5);
    // Duplicates come after the inspection's problems.
    const int group = page->listModel()->rowCount() - 1;
    const QualityRow &row = page->listModel()->row(group);
    EXPECT_EQ(row.issue.kind, u"Duplikaty"_s);
    ASSERT_EQ(row.issue.tracks.size(), 25);
    EXPECT_EQ(QualityListModel::listedPaths(row.issue).size(), 20);
    auto *delegate = static_cast<QualityDelegate *>(page->listView()->itemDelegate());
    EXPECT_EQ(delegate->layout(row, QRect(0, 0, 900, 0)).paths.size(), 20);
    EXPECT_EQ(buttonsOf(group), (QList<Button>{Button::openAlbum, Button::showFiles}));

    clickRowButton(group, Button::showFiles);
    ASSERT_EQ(workspace.revealed.size(), 1);
    EXPECT_EQ(workspace.revealed[0].size(), 25);
    // A group over two albums opens the first of them in the grouping's order.
    clickRowButton(group, Button::openAlbum);
    ASSERT_TRUE(model->openAlbum().has_value());
    EXPECT_EQ(model->openAlbum()->id(), model->albumOf(row.issue.tracks)->id());
    EXPECT_TRUE(model->openAlbum()->title == u"Kopie A"_s || model->openAlbum()->title == u"Kopie B"_s);
    saveScreenshot(u"quality-duplicates-pl-light"_s);

    // The scope picker switches to the device: the duplicates are forgotten.
    EXPECT_FALSE(button(u"readDevice"_s)->isVisible());
    EXPECT_FALSE(button(u"cleanup"_s)->isVisible());
    QTest::mouseClick(segment(u"scopePicker"_s, 1), Qt::LeftButton);
    EXPECT_TRUE(model->libraryOnDevice());
    EXPECT_TRUE(model->duplicateIssues().isEmpty());
    EXPECT_EQ(child<QLabel>(u"status"_s)->text(), u"Duplikaty nie zostały jeszcze sprawdzone."_s);
    EXPECT_EQ(page->contentState(), 0);
    // The device buttons show, disabled while there is no device.
    EXPECT_TRUE(button(u"readDevice"_s)->isVisible());
    EXPECT_TRUE(button(u"cleanup"_s)->isVisible());
    EXPECT_FALSE(button(u"readDevice"_s)->isEnabled());
    EXPECT_FALSE(button(u"cleanup"_s)->isEnabled());
}

TEST_F(QualityPage, ChangesMadeByTheModelItselfResetTheDuplicatesToo)
{
    model->setTracks(collection());
    show();
    ASSERT_TRUE(settle());
    model->setDuplicateIssues({QualityIssue{u"Duplikaty"_s, u"a"_s, u"b"_s, model->tracks().mid(0, 2)}});
    model->setDuplicateStatus(u"Znaleziono grup identycznych plików: 1. Sprawdzone przez SHA-256."_s);
    model->setLibraryOnDevice(true);
    model->setLibraryOnDevice(false);
    EXPECT_TRUE(model->duplicateIssues().isEmpty());
    EXPECT_EQ(child<QLabel>(u"status"_s)->text(), u"Duplikaty nie zostały jeszcze sprawdzone."_s);
}

TEST_F(QualityPage, CoverRowAndCleanUpRunThroughTheModel)
{
    model->setTracks(collection());
    show();
    ASSERT_TRUE(settle());
    // "Napraw dostępne okładki" repairs the album whose picture is too large.
    QTest::mouseClick(button(u"repairCovers"_s), Qt::LeftButton);
    EXPECT_TRUE(model->busy());
    ASSERT_TRUE(waitUntilIdle(*model));
    EXPECT_EQ(model->status(), u"Naprawione albumy: 1. Nie udało się naprawić: 0."_s);
    ASSERT_TRUE(settle());

    // "Znajdź brakujące w sieci" looks the bare album up (the catalogue answers nothing).
    ASSERT_TRUE(button(u"findMissing"_s)->isEnabled());
    QTest::mouseClick(button(u"findMissing"_s), Qt::LeftButton);
    EXPECT_TRUE(model->busy());
    ASSERT_TRUE(waitUntilIdle(*model));
    EXPECT_FALSE(server.requests().isEmpty());

    // The clean-up on the device side moves the macOS companions away.
    connectDevice();
    const QByteArray appleDouble = QByteArray("\x00\x05\x16\x07", 4) + QByteArray("\x00\x02\x00\x00Mac OS X        ", 20);
    device.writeFile(u"Music/A/01.mp3"_s, DeviceFixture::bytes(64));
    device.writeFile(u"Music/A/._01.mp3"_s, appleDouble);
    QTest::mouseClick(segment(u"scopePicker"_s, 1), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return !model->refreshing() && !model->busy(); }));
    EXPECT_EQ(button(u"cleanup"_s)->toolTip(),
              u"Przenosi potwierdzone pliki AppleDouble do kopii na komputerze; nie usuwa muzyki."_s);
    ASSERT_TRUE(button(u"cleanup"_s)->isEnabled());
    QTest::mouseClick(button(u"cleanup"_s), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return !model->busy() && !device.exists(u"Music/A/._01.mp3"_s); }));
    EXPECT_TRUE(device.exists(u"Music/A/01.mp3"_s));

    // "Odczytaj iPoda" reads the device's music into the page's side.
    QTest::mouseClick(button(u"readDevice"_s), Qt::LeftButton);
    ASSERT_TRUE(waitUntilIdle(*model));
    ASSERT_TRUE(settle());
    EXPECT_TRUE(model->libraryOnDevice());
}

TEST_F(QualityPage, WhileBusyOnlyOpeningShowingAndTheFilterStayAvailable)
{
    model->setTracks(collection());
    connectDevice();
    model->setLibraryOnDevice(false);
    show();
    ASSERT_TRUE(settle());
    model->setBusy(true);
    EXPECT_FALSE(child<QWidget>(u"scopePicker"_s)->isEnabled());
    for (const QString &name : {u"checkDuplicates"_s, u"repairCovers"_s, u"findMissing"_s})
        EXPECT_FALSE(button(name)->isEnabled()) << name.toStdString();
    const int bare = rowOf(u"Okładki"_s, u"Bez okładki"_s);
    clickRowButton(bare, Button::searchOnline);
    clickRowButton(bare, Button::chooseCover);
    EXPECT_FALSE(model->coverLookup().has_value());
    EXPECT_EQ(imageChoices, 0);
    clickRowButton(bare, Button::openAlbum);
    EXPECT_TRUE(model->openAlbum().has_value());
    clickRowButton(bare, Button::showFiles);
    EXPECT_EQ(workspace.revealed.size(), 1);
    model->setBusy(false);
    EXPECT_TRUE(child<QWidget>(u"scopePicker"_s)->isEnabled());
}

TEST_F(QualityPage, TheInspectionRunsOnChangesAndOnShowNeverOnProgressOrWhileHidden)
{
    model->setTracks(collection());
    show();
    ASSERT_TRUE(settle());
    // Progress, status and busy ticks start nothing.
    model->setProgress(0.5);
    model->setStatus(u"Porównuję zawartość plików…"_s);
    model->setBusy(true);
    model->setBusy(false);
    EXPECT_FALSE(model->inspectingCollection());

    // A change of the tracks, the side or the device does.
    QList<Track> fewer = model->tracks();
    fewer.removeLast();
    model->setTracks(fewer);
    EXPECT_TRUE(model->inspectingCollection());
    ASSERT_TRUE(settle());
    EXPECT_EQ(page->listModel()->rowCount(), 3) << "the missing file was the one removed";
    model->setDevice(std::nullopt);
    EXPECT_TRUE(model->inspectingCollection());
    ASSERT_TRUE(settle());

    // Hidden, the page waits; shown again, it inspects once.
    page->hide();
    model->setTracks(collection());
    EXPECT_FALSE(model->inspectingCollection());
    page->show();
    EXPECT_TRUE(model->inspectingCollection());
    ASSERT_TRUE(settle());
    EXPECT_EQ(page->listModel()->rowCount(), 4);
}

TEST_F(QualityPage, TwentyThousandProblemsAreRowsOfOneListWithoutAWidgetEach)
{
    QList<Track> tracks;
    tracks.reserve(20'000);
    for (int i = 0; i < 20'000; ++i) {
        Track t;
        t.id = QUuid::createUuid();
        t.url = library(u"gone/%1/%2.mp3"_s.arg(i / 10).arg(i));
        t.title = u"Utwór %1"_s.arg(i);
        t.artist = u"Zespół"_s;
        t.album = u"Album %1"_s.arg(i / 10);
        t.artwork = QByteArray("x");
        t.info.tags = {{u"TITLE"_s, t.title}, {u"ARTIST"_s, t.artist}, {u"ALBUM"_s, t.album}};
        tracks.append(t);
    }
    model->setTracks(tracks);
    show(u"Pliki"_s);
    ASSERT_TRUE(settle());
    EXPECT_EQ(page->listModel()->rowCount(), 20'000);
    // No widget per row: the list holds its viewport and scroll bars only.
    EXPECT_LT(page->listView()->findChildren<QWidget *>().size(), 20);
    // The rows are measured in batches; the last one is reached once they all are.
    ASSERT_TRUE(waitUntil([&] {
        page->listView()->scrollToBottom();
        return page->listView()->visualRect(page->listModel()->index(19'999)).intersects(
            page->listView()->viewport()->rect());
    }));
}

TEST_F(QualityPage, EnglishTranslatesTheTextsButNotTitlesOrPaths)
{
    Defaults::setString(u"appLanguage"_s, u"en"_s);
    model->setTracks(collection());
    show();
    ASSERT_TRUE(settle());
    EXPECT_EQ(segment(u"filterPicker"_s, 1)->text(), u"Covers"_s);
    EXPECT_EQ(segment(u"scopePicker"_s, 1)->text(), u"On the iPod"_s);
    EXPECT_EQ(child<QLabel>(u"status"_s)->text(), u"Duplicates have not been checked yet."_s);
    const QualityRow &bare = page->listModel()->row(rowOf(u"Okładki"_s, u"Bez okładki"_s));
    EXPECT_EQ(bare.badge, u"COVERS"_s);
    EXPECT_EQ(bare.issue.title, u"Bez okładki"_s);
    EXPECT_EQ(bare.title, u"Bez okładki"_s); // an album's title shows as written
    EXPECT_FALSE(bare.detail.contains(u"okładki"_s));
    EXPECT_EQ(button(u"checkDuplicates"_s)->text(), u"Check for Exact Duplicates"_s);
    // A duplicate group's title is our own text around the track's title.
    model->setDuplicateIssues({QualityIssue{u"Duplikaty"_s, u"2 identyczne pliki · Zażółć"_s,
                                            u"Zgodne bajt w bajt (SHA-256)."_s, {}}});
    ASSERT_TRUE(settle());
    const int group = rowOf(u"Duplikaty"_s, u"2 identyczne pliki · Zażółć"_s);
    EXPECT_EQ(page->listModel()->row(group).title, u"2 identical files · Zażółć"_s);
    EXPECT_EQ(page->listModel()->index(group).data(Qt::DisplayRole).toString(), u"2 identical files · Zażółć"_s);
    EXPECT_EQ(page->listModel()->index(group).data(Qt::AccessibleTextRole).toString(),
              u"DUPLICATES 2 identical files · Zażółć"_s);
    model->setDuplicateIssues({});
    ASSERT_TRUE(settle());
    // Filtering still compares the Polish kinds.
    QTest::mouseClick(segment(u"filterPicker"_s, 1), Qt::LeftButton);
    EXPECT_EQ(page->filter(), u"Okładki"_s);
    EXPECT_EQ(page->listModel()->rowCount(), 2);
}

TEST_F(QualityPage, Screenshots)
{
    const QList<Track> tracks = collection();
    for (const QString &language : {u"pl"_s, u"en"_s}) {
        for (const bool dark : {false, true}) {
            Defaults::setString(u"appLanguage"_s, language);
            QApplication::setPalette(dark ? kit::darkPalette() : kit::lightPalette());
            const QString suffix = language + (dark ? u"-dark"_s : u"-light"_s);
            model->setTracks({});
            show();
            ASSERT_TRUE(settle());
            saveScreenshot(u"quality-empty-"_s + suffix);
            model->setTracks(tracks);
            ASSERT_TRUE(settle());
            model->setDuplicateIssues({QualityIssue{u"Duplikaty"_s, u"01"_s, u"Zgodne bajt w bajt (SHA-256)."_s,
                                                    tracks.mid(14, 25)}});
            ASSERT_TRUE(settle());
            saveScreenshot(u"quality-"_s + suffix);
            QTest::mouseClick(segment(u"filterPicker"_s, 3), Qt::LeftButton);
            QTest::mouseClick(segment(u"filterPicker"_s, 3), Qt::LeftButton);
            page->listView()->scrollToTop();
            saveScreenshot(u"quality-duplicates-"_s + suffix);
            model->setDuplicateIssues({});
            QTest::mouseClick(segment(u"filterPicker"_s, 3), Qt::LeftButton);
            saveScreenshot(u"quality-none-"_s + suffix);
        }
    }
    QApplication::setPalette(kit::lightPalette());
}

} // namespace
