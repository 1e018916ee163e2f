// The window and its sheets on the screens people have: at the default size and
// at the smallest the inspector shows everything without scrolling and no
// control of any page is cut; on a 1366 × 768 laptop with a panel the window and
// every sheet open within the free area; alerts are wide enough to read.

#include "model/operationstesting.h"

#include "support/fakeworkspace.h"
#include "support/qtprinters.h"
#include "ui/album/albumdetail.h"
#include "ui/album/disctracklist.h"
#include "ui/album/coversearchview.h"
#include "ui/coverflow/coverflowwindow.h"
#include "ui/kit/kit.h"
#include "ui/shell/inspector.h"
#include "ui/shell/filechoosers.h"
#include "ui/shell/mainwindow.h"
#include "ui/shell/sidebar.h"
#include "ui/themes/themedetailview.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QLabel>
#include <QLayout>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>

namespace {

QScreen *screenNamed(const QString &name)
{
    for (QScreen *screen : QGuiApplication::screens())
        if (screen->name() == name)
            return screen;
    return nullptr;
}

// Pictures go to the build's screenshots folder, or where VONTARO_PICTURES says.
void savePng(QWidget *widget, const QString &name)
{
    const QString folder = qEnvironmentVariable("VONTARO_PICTURES", QStringLiteral(VONTARO_BUILD_DIR "/screenshots"));
    QDir().mkpath(folder);
    QApplication::processEvents();
    QApplication::processEvents();
    EXPECT_TRUE(widget->grab().save(folder + u'/' + name + u".png"_s));
}

// Whether the widget and all its ancestors up to `top` are shown.
bool shownIn(const QWidget *widget, const QWidget *top)
{
    return widget->isVisibleTo(top) && widget->isVisible();
}

// Scrolled content may lie outside the window; it is reached by scrolling.
bool insideScrolledContent(const QWidget *widget, const QWidget *top)
{
    for (const QWidget *w = widget->parentWidget(); w && w != top; w = w->parentWidget())
        if (qobject_cast<const QAbstractScrollArea *>(w))
            return true;
    return false;
}

// The buttons and one-line texts of `top` that are cut: narrower than their
// text needs, or reaching out of the window.
QStringList clipped(QWidget *top)
{
    QStringList found;
    const QRect bounds = top->rect();
    for (QWidget *w : top->findChildren<QWidget *>()) {
        if (!shownIn(w, top) || insideScrolledContent(w, top))
            continue;
        QString text;
        int needed = 0;
        if (auto *button = qobject_cast<QPushButton *>(w)) {
            text = button->text();
            needed = button->minimumSizeHint().width();
        } else if (auto *label = qobject_cast<QLabel *>(w)) {
            if (label->wordWrap() || label->text().isEmpty() || label->textFormat() == Qt::RichText ||
                label->sizePolicy().horizontalPolicy() == QSizePolicy::Ignored)
                continue;
            text = label->text();
            for (const QString &line : label->text().split(u'\n'))
                needed = std::max(needed, label->fontMetrics().horizontalAdvance(line) + 2 * label->margin());
        } else {
            continue;
        }
        const QRect area(w->mapTo(top, QPoint(0, 0)), w->size());
        if (w->width() < needed || !bounds.contains(area))
            found << text + u" (%1 < %2)"_s.arg(w->width()).arg(needed);
    }
    return found;
}

class WindowSizes : public OperationsTest
{
protected:
    void SetUp() override
    {
        OperationsTest::SetUp();
        QApplication::setPalette(kit::lightPalette());
    }
    void TearDown() override
    {
        window.reset();
        if (CoverFlowWindow *flow = CoverFlowWindow::current()) {
            flow->close();
            delete flow;
        }
        OperationsTest::TearDown();
    }

    void open(QScreen *screen = nullptr)
    {
        window = std::make_unique<MainWindow>(model.get(), &workspace);
        if (screen) {
            window->setScreen(screen);
            window->move(screen->availableGeometry().topLeft());
        }
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        QApplication::processEvents();
    }

    void withDeviceAndThemes()
    {
        device.writeFile(u".rockbox/themes/Cabbie.cfg"_s, "wps: /.rockbox/wps/cabbie.wps\n");
        connectDevice();
        ASSERT_TRUE(waitUntil([&] { return model->themes().size() == 1; }));
    }

    // Everything of the inspector is in view: no scroll bar, the eject button
    // whole and above the column's bottom margin.
    void expectInspectorFits()
    {
        Inspector *inspector = window->inspector();
        // Layouts settle through posted events.
        waitUntil([&] { return !inspector->scrollArea()->verticalScrollBar()->isVisible(); });
        EXPECT_FALSE(inspector->scrollArea()->verticalScrollBar()->isVisible()) << window->height();
        QPushButton *eject = inspector->ejectButton();
        const QRect ejectArea(eject->mapTo(inspector, QPoint(0, 0)), eject->size());
        EXPECT_LE(ejectArea.bottom(), inspector->height() - 12) << window->height();
        EXPECT_TRUE(inspector->rect().contains(ejectArea));
        EXPECT_GE(eject->height(), eject->minimumSizeHint().height());
    }

    FakeWorkspace workspace;
    std::unique_ptr<MainWindow> window;
};

TEST_F(WindowSizes, theInspectorFitsTheDefaultAndTheSmallestWindowWithoutScrolling)
{
    withDeviceAndThemes();
    open();
    EXPECT_EQ(window->size(), MainWindow::defaultSize);
    expectInspectorFits();

    // The smallest window, menu bar included, is the smallest content size.
    window->resize(400, 300);
    QApplication::processEvents();
    EXPECT_EQ(window->size(), MainWindow::minimumContentSize);
    expectInspectorFits();
    // Without a device the hint stands where the device's facts stood.
    model->setDevice(std::nullopt);
    expectInspectorFits();
}

TEST_F(WindowSizes, atTheSmallestSizeNoPageCutsAControl)
{
    withDeviceAndThemes();
    open();
    window->resize(MainWindow::minimumContentSize);
    for (const QString &language : {u"pl"_s, u"en"_s}) {
        window->chooseLanguage(language);
        ASSERT_TRUE(waitUntil([&] { return kit::tr(u"Muzyka"_s) == window->sidebar()->button(Section::music)->text(); }));
        for (Section section : sections::all) {
            model->setSection(section);
            QApplication::processEvents();
            QApplication::processEvents();
            EXPECT_EQ(clipped(window.get()), QStringList()) << int(section) << " " << language.toStdString();
            savePng(window.get(), u"smallest-%1-"_s.arg(int(section)) + language);
        }
    }
}

TEST_F(WindowSizes, onALaptopTheWindowAndEverySheetOpenWithinTheFreeArea)
{
    QScreen *laptop = screenNamed(u"Laptop"_s);
    if (!laptop)
        GTEST_SKIP() << "the test platform has no laptop screen";
    withDeviceAndThemes();
    QList<Track> tracks{libraryTrack(library(u"Artist/Album/1.mp3"_s), u"Artist"_s, u"Album"_s, 1, 1)};
    for (int disc = 1; disc <= 2; ++disc)
        tracks << libraryTrack(library(u"Artist/Double/%1.mp3"_s.arg(disc)), u"Artist"_s, u"Double"_s, disc, 1);
    model->setTracks(tracks);
    open(laptop);
    EXPECT_EQ(window->screen(), laptop);
    const QSize room = laptop->availableGeometry().size();
    EXPECT_LE(window->frameGeometry().height(), room.height());
    EXPECT_LE(window->frameGeometry().width(), room.width());
    EXPECT_EQ(window->width(), MainWindow::defaultSize.width());
    expectInspectorFits();
    EXPECT_EQ(clipped(window.get()), QStringList());
    const QMargins frame = window->windowHandle()->frameMargins();
    const QSize inside = room - QSize(frame.left() + frame.right(), frame.top() + frame.bottom());
    // Maximised, nothing of the window asks for more than the free area.
    EXPECT_LE(window->minimumSize().height(), inside.height());
    EXPECT_LE(window->minimumSize().width(), inside.width());
    EXPECT_LE(window->minimumSizeHint().height(), inside.height());
    EXPECT_LE(window->minimumSizeHint().width(), inside.width());

    // Each sheet at its own size where that fits, else as tall as the free area
    // allows, and its content needs no more than it gets.
    Album album, twoDiscs;
    for (const Album &a : model->albums())
        (a.discs().size() >= 2 ? twoDiscs : album) = a;
    ASSERT_EQ(twoDiscs.discs().size(), 2);
    struct Sheet {
        QString name;
        QSize wanted;
        std::function<QDialog *()> make;
    };
    const Sheet sheets[] = {
        {u"album"_s, {860, 660}, [&] { return new AlbumDetailView(model.get(), album.id(), std::nullopt, window.get(), &workspace); }},
        {u"album of two discs"_s, {860, 660},
         [&] { return new AlbumDetailView(model.get(), twoDiscs.id(), std::nullopt, window.get(), &workspace); }},
        {u"cover search"_s, {760, 630}, [&] { return new CoverSearchView(model.get(), album, false, window.get(), &workspace); }},
        {u"theme"_s, {ThemeDetailView::sheetWidth, ThemeDetailView::sheetHeight},
         [&] { return new ThemeDetailView(model.get(), model->themes().first(), window.get(), &workspace); }},
        {u"music chooser"_s, {820, 520},
         [&] { return new FilesAndFoldersDialog(window.get(), u"Dodaj muzykę"_s, u"Dodaj muzykę"_s); }},
    };
    for (const Sheet &s : sheets) {
        std::unique_ptr<QDialog> dialog(s.make());
        dialog->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
        EXPECT_EQ(dialog->width(), s.wanted.width()) << s.name.toStdString();
        EXPECT_EQ(dialog->height(), std::min(s.wanted.height(), inside.height())) << s.name.toStdString();
        ASSERT_TRUE(dialog->layout());
        const QSize needed = dialog->layout()->minimumSize();
        EXPECT_LE(needed.height(), dialog->height()) << s.name.toStdString();
        EXPECT_LE(needed.width(), dialog->width()) << s.name.toStdString();
        EXPECT_EQ(clipped(dialog.get()), QStringList()) << s.name.toStdString();
        dialog->close();
    }

    // An alert opens over the window within the free area.
    model->setAlert(u"Nie udało się odczytać iPoda: folder zniknął albo nie ma do niego dostępu."_s);
    QMessageBox *box = window->alertBox();
    ASSERT_TRUE(box);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(box));
    EXPECT_LE(box->frameGeometry().height(), room.height());
    EXPECT_LE(box->frameGeometry().width(), room.width());
    model->setAlert(std::nullopt);
}

// Cover Flow opens on the screen of the window it is asked from, within the
// free area there.
TEST_F(WindowSizes, onALaptopCoverFlowOpensWithinTheFreeArea)
{
    QScreen *laptop = screenNamed(u"Laptop"_s);
    if (!laptop)
        GTEST_SKIP() << "the test platform has no laptop screen";
    open(laptop);
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    CoverFlowWindow::present(model.get());
    CoverFlowWindow *flow = CoverFlowWindow::current();
    ASSERT_TRUE(flow);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(flow));
    EXPECT_EQ(flow->screen(), laptop);
    const QRect room = laptop->availableGeometry();
    EXPECT_TRUE(room.contains(flow->frameGeometry())) << flow->frameGeometry().top() << " " << flow->frameGeometry().bottom();
    const QMargins frame = flow->windowHandle()->frameMargins();
    const QSize inside = room.size() - QSize(frame.left() + frame.right(), frame.top() + frame.bottom());
    EXPECT_LE(flow->minimumSize().height(), inside.height());
    EXPECT_LE(flow->minimumSize().width(), inside.width());
    EXPECT_LE(flow->minimumSizeHint().height(), inside.height());
    EXPECT_LE(flow->minimumSizeHint().width(), inside.width());
}

TEST_F(WindowSizes, anAlertIsWideEnoughForItsTextAndTitle)
{
    open();
    for (const QString &text : {u"Nie udało się zapisać kopii"_s,
                                u"Nie udało się odczytać iPoda: folder zniknął albo nie ma do niego dostępu. "
                                u"Sprawdź połączenie i spróbuj ponownie."_s}) {
        model->setAlert(text);
        QMessageBox *box = window->alertBox();
        ASSERT_TRUE(box);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(box));
        EXPECT_GE(box->width(), 420);
        EXPECT_LE(box->width(), 560);
        // The whole title fits the title bar with room for its buttons.
        EXPECT_GE(box->width(), box->fontMetrics().horizontalAdvance(box->windowTitle()) + 150);
        auto *informative = box->findChild<QLabel *>(u"qt_msgbox_informativelabel"_s);
        ASSERT_TRUE(informative);
        // A short message stays on one line; a long one wraps into a few full lines.
        savePng(box, u"alert-%1"_s.arg(text.size()));
        const QFontMetrics metrics = informative->fontMetrics();
        const int lines =
            metrics.boundingRect(QRect(0, 0, informative->width(), 0), Qt::TextWordWrap, text).height() / metrics.lineSpacing();
        if (text.size() < 40)
            EXPECT_EQ(lines, 1) << informative->height() << " " << informative->width() << " " << box->width();
        else
            EXPECT_LE(lines, 3) << informative->height();
        model->setAlert(std::nullopt);
    }
}

// Pictures of every page and sheet at the default size and maximised on the
// laptop, in both languages and palettes, for people to look at.
TEST_F(WindowSizes, pictures)
{
    QScreen *laptop = screenNamed(u"Laptop"_s);
    if (!laptop)
        GTEST_SKIP() << "the test platform has no laptop screen";
    withDeviceAndThemes();
    QList<Track> tracks;
    for (int i = 1; i <= 3; ++i)
        tracks << libraryTrack(library(u"Artist/Album/%1.mp3"_s.arg(i)), u"Artist"_s, u"Album"_s, 1, i);
    for (int disc = 1; disc <= 2; ++disc)
        for (int i = 1; i <= 4; ++i)
            tracks << libraryTrack(library(u"Artist/Double/%1-%2.mp3"_s.arg(disc).arg(i)), u"Artist"_s, u"Double"_s,
                                   disc, i);
    model->setTracks(tracks);
    Album album, twoDiscs;
    for (const Album &a : model->albums())
        (a.discs().size() >= 2 ? twoDiscs : album) = a;
    ASSERT_EQ(twoDiscs.discs().size(), 2);
    // What the music chooser lists: a folder, tracks and a file of another kind.
    QTemporaryDir music;
    QDir(music.path()).mkpath(u"Album"_s);
    for (const QString &name : {u"one.mp3"_s, u"two.flac"_s, u"cover.jpg"_s})
        QFile::copy(testAudioFile(u"tagged.mp3"_s), music.filePath(name));

    for (bool dark : {false, true}) {
        QApplication::setPalette(dark ? kit::darkPalette() : kit::lightPalette());
        for (const QString &language : {u"pl"_s, u"en"_s}) {
            Defaults::setString(u"appLanguage"_s, language);
            for (bool small : {false, true}) {
                const QString suffix = u"-%1-%2-%3"_s.arg(language, dark ? u"dark"_s : u"light"_s,
                                                          small ? u"1366x768"_s : u"1260x820"_s);
                open(small ? laptop : nullptr);
                if (small) {
                    const QMargins frame = window->windowHandle()->frameMargins();
                    window->resize(laptop->availableGeometry().size() -
                                   QSize(frame.left() + frame.right(), frame.top() + frame.bottom()));
                }
                for (Section section : sections::all) {
                    model->setSection(section);
                    waitUntil([&] { return !model->busy(); });
                    savePng(window.get(), u"page-%1"_s.arg(int(section)) + suffix);
                }
                struct Sheet {
                    QString name;
                    std::function<QWidget *()> make;
                };
                const Sheet sheets[] = {
                    {u"sheet-album"_s,
                     [&] { return new AlbumDetailView(model.get(), album.id(), std::nullopt, window.get(), &workspace); }},
                    {u"sheet-album-discs"_s,
                     [&] {
                         auto *sheet = new AlbumDetailView(model.get(), twoDiscs.id(), std::nullopt, window.get(), &workspace);
                         DiscTrackListView *list = sheet->trackList();
                         list->setExpanded(list->trackModel()->index(0, 0), true);
                         return sheet;
                     }},
                    {u"sheet-coversearch"_s,
                     [&] { return new CoverSearchView(model.get(), album, false, window.get(), &workspace); }},
                    {u"sheet-theme"_s,
                     [&] { return new ThemeDetailView(model.get(), model->themes().first(), window.get(), &workspace); }},
                    {u"sheet-musicchooser"_s,
                     [&] {
                         auto *chooser = new FilesAndFoldersDialog(window.get(), kit::tr(u"Dodaj muzykę"_s),
                                                                   kit::tr(u"Dodaj muzykę"_s));
                         chooser->setViewMode(QFileDialog::Detail);
                         chooser->setDirectory(music.path());
                         return chooser;
                     }},
                };
                for (const Sheet &s : sheets) {
                    std::unique_ptr<QWidget> sheet(s.make());
                    sheet->show();
                    ASSERT_TRUE(QTest::qWaitForWindowExposed(sheet.get()));
                    if (auto *chooser = qobject_cast<FilesAndFoldersDialog *>(sheet.get())) {
                        // The folder's entries are read in the background.
                        auto *files = chooser->findChild<QAbstractItemView *>(u"treeView"_s);
                        waitUntil([&] { return files && files->model()->rowCount(files->rootIndex()) >= 3; });
                    }
                    savePng(sheet.get(), s.name + suffix);
                    sheet->close();
                }
                // The device folder chooser, as the model asks for it.
                filechoosers::install(model.get(), window.get());
                model->chooseDevice();
                QFileDialog *folders = nullptr;
                ASSERT_TRUE(waitUntil([&] {
                    for (QFileDialog *d : window->findChildren<QFileDialog *>())
                        if (d->isVisible() && !qobject_cast<FilesAndFoldersDialog *>(d))
                            folders = d;
                    return folders != nullptr;
                }));
                ASSERT_TRUE(QTest::qWaitForWindowExposed(folders));
                folders->setDirectory(music.path());
                savePng(folders, u"sheet-folderchooser"_s + suffix);
                folders->reject();
                model->setAlert(u"Nie udało się zapisać kopii"_s);
                ASSERT_TRUE(window->alertBox());
                EXPECT_TRUE(QTest::qWaitForWindowExposed(window->alertBox()));
                savePng(window->alertBox(), u"alert"_s + suffix);
                model->setAlert(std::nullopt);
                window.reset();
            }
        }
    }
    QApplication::setPalette(kit::lightPalette());
}

} // namespace
