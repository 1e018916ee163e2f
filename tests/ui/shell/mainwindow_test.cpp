// The main window as a person meets it: the sidebar, the transfer bar, the
// inspector, the menus and the language switch, driven by clicks offscreen.

#include "model/operationstesting.h"

#include "device/ipodillustration.h"
#include "localization/applocalizer.h"
#include "support/fakeworkspace.h"
#include "ui/coverflow/coverflowwindow.h"
#include "ui/kit/kit.h"
#include "ui/shell/inspector.h"
#include "ui/shell/ipodview.h"
#include "ui/shell/mainwindow.h"
#include "ui/shell/sidebar.h"
#include "ui/shell/transferbar.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDBusConnection>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalSpy>
#include <QStyleHints>
#include <QTest>

namespace {

void savePng(QWidget *widget, const QString &name)
{
    const QString folder = QStringLiteral(VONTARO_BUILD_DIR "/screenshots");
    QDir().mkpath(folder);
    // Layouts settle through posted events.
    QApplication::processEvents();
    QApplication::processEvents();
    EXPECT_TRUE(widget->grab().save(folder + u'/' + name + u".png"_s));
}

// Every text a person can see in the window and its menus.
QStringList visibleTexts(QMainWindow *window)
{
    QStringList texts{window->windowTitle()};
    for (QWidget *w : window->findChildren<QWidget *>()) {
        if (!w->isVisibleTo(window))
            continue;
        if (auto *label = qobject_cast<QLabel *>(w))
            texts << label->text() << label->toolTip();
        else if (auto *button = qobject_cast<QAbstractButton *>(w))
            texts << button->text() << button->toolTip();
        else if (auto *combo = qobject_cast<QComboBox *>(w))
            for (int i = 0; i < combo->count(); ++i)
                texts << combo->itemText(i);
        else
            texts << w->toolTip();
    }
    for (QAction *a : window->menuBar()->actions()) {
        texts << a->text();
        if (a->menu())
            for (QAction *item : a->menu()->actions())
                texts << item->text();
    }
    for (QAction *a : window->findChildren<QAction *>())
        if (a->isVisible())
            texts << a->text() << a->toolTip();
    texts.removeAll(QString());
    return texts;
}

bool hasPolishLetters(const QString &text)
{
    static const QString letters = u"ąćęłńóśźżĄĆĘŁŃÓŚŹŻ"_s;
    return std::any_of(text.cbegin(), text.cend(), [](QChar c) { return letters.contains(c); });
}

class MainWindowTest : public OperationsTest
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
        // A Cover Flow window a test presented reads this test's model: it goes with it.
        if (CoverFlowWindow *flow = CoverFlowWindow::current()) {
            flow->close();
            delete flow;
        }
        OperationsTest::TearDown();
    }

    void open()
    {
        window = std::make_unique<MainWindow>(model.get(), &workspace);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }

    QList<Track> queueThree()
    {
        QList<Track> tracks;
        for (int i = 1; i <= 3; ++i)
            tracks << libraryTrack(library(u"Artist/Album/%1.mp3"_s.arg(i)), u"Artist"_s, u"Album"_s, 1, i);
        model->setTracks(tracks);
        TavoModel::UuidSet ids;
        for (const Track &t : tracks)
            ids.insert(t.id);
        model->setQueued(ids);
        return tracks;
    }

    FakeWorkspace workspace;
    std::unique_ptr<MainWindow> window;
};

TEST_F(MainWindowTest, aTransferFromTheWindowThenTheWholeWindowInEnglish)
{
    device.writeFile(u".rockbox/themes/Cabbie.cfg"_s, "wps: /.rockbox/wps/cabbie.wps\n");
    connectDevice();
    ASSERT_TRUE(waitUntil([&] { return model->themes().size() == 1; }));
    queueThree();
    open();

    EXPECT_EQ(window->size(), MainWindow::defaultSize);
    // The menu bar is inside the window, within the smallest size.
    EXPECT_EQ(window->minimumSizeHint(), MainWindow::minimumContentSize);
    EXPECT_EQ(window->sidebar()->width(), 205);
    QStringList order;
    for (Section s : sections::all)
        order << window->sidebar()->button(s)->text();
    EXPECT_EQ(order, (QStringList{u"Twój iPod"_s, u"Muzyka"_s, u"Playlisty"_s, u"Motywy"_s, u"Kopie zapasowe"_s,
                                  u"Porządek"_s, u"Poradnik"_s}));
    EXPECT_TRUE(window->sidebar()->button(Section::music)->chosen());
    EXPECT_FALSE(window->sidebar()->button(Section::device)->chosen());
    EXPECT_EQ(window->transferBar()->title()->text(), u"Gotowe do wgrania"_s);
    EXPECT_EQ(window->transferBar()->summary()->text(), TransferBar::summaryText(3, model->queueBytes()));
    EXPECT_EQ(window->inspector()->themeCount()->text(), u"1 zainstalowany motyw"_s);

    // The device page takes the inspector's place.
    QTest::mouseClick(window->sidebar()->button(Section::device), Qt::LeftButton);
    EXPECT_EQ(model->section(), Section::device);
    EXPECT_FALSE(window->inspector()->isVisible());
    QTest::mouseClick(window->sidebar()->button(Section::music), Qt::LeftButton);
    EXPECT_TRUE(window->inspector()->isVisible());

    QTest::mouseClick(window->transferBar()->sendButton(), Qt::LeftButton);
    EXPECT_EQ(window->transferBar()->title()->text(), u"Pracuję…"_s);
    EXPECT_FALSE(window->transferBar()->sendButton()->isEnabled());
    ASSERT_TRUE(waitUntilIdle(*model));
    EXPECT_EQ(model->status(), u"Wgrano: 3. Pominięto identyczne: 0."_s);
    EXPECT_EQ(device.entriesBelow(u"Music"_s).filter(u".mp3"_s).size(), 3);
    ASSERT_TRUE(waitUntil([&] { return window->alertBox() && window->alertBox()->isVisible(); }));
    EXPECT_TRUE(window->alertBox()->informativeText().startsWith(u"Wgrano: 3. Pominięto identyczne: 0."_s));
    savePng(window.get(), u"mainwindow-pl-light"_s);
    // "OK" clears the model's alert.
    QTest::mouseClick(window->alertBox()->button(QMessageBox::Ok), Qt::LeftButton);
    EXPECT_FALSE(model->alert());

    // The sidebar's picker switches to English; its own widget goes with the old content.
    QSignalSpy rebuilt(window.get(), &MainWindow::rebuilt);
    QComboBox *picker = window->sidebar()->languagePicker();
    picker->setCurrentIndex(1);
    emit picker->activated(1);
    ASSERT_TRUE(rebuilt.wait(5000));
    EXPECT_EQ(Defaults::string(u"appLanguage"_s), u"en"_s);
    EXPECT_EQ(window->sidebar()->button(Section::music)->text(), u"Music"_s);
    model->setAlert(u"Wgrano: 3. Pominięto identyczne: 0."_s);
    ASSERT_TRUE(waitUntil([&] { return window->alertBox() && window->alertBox()->isVisible(); }));
    for (Section s : {Section::music, Section::playlists, Section::themes, Section::backups, Section::quality,
                      Section::guide, Section::device}) {
        model->setSection(s);
        QApplication::processEvents();
        for (const QString &text : visibleTexts(window.get()))
            EXPECT_FALSE(hasPolishLetters(text)) << qPrintable(sections::rawValue(s)) << ": " << qPrintable(text);
    }
    EXPECT_FALSE(hasPolishLetters(window->alertBox()->informativeText()))
        << qPrintable(window->alertBox()->informativeText());
    model->setSection(Section::music);
    QApplication::processEvents();
    savePng(window.get(), u"mainwindow-en-light"_s);
    model->setAlert(std::nullopt);
    EXPECT_FALSE(window->alertBox());

    // And back through the menu.
    window->action(u"Polski"_s)->trigger();
    ASSERT_TRUE(rebuilt.wait(5000));
    EXPECT_EQ(window->sidebar()->button(Section::music)->text(), u"Muzyka"_s);
}

// What Qt itself writes on a file chooser and in a text field's menu, without
// the "&" of mnemonics and the shortcut after a tab.
QStringList qtsOwnTexts()
{
    auto clean = [](QString text) { return text.section(u'\t', 0, 0).remove(u'&'); };
    QStringList texts;
    QFileDialog chooser;
    chooser.setOption(QFileDialog::DontUseNativeDialog);
    chooser.setFileMode(QFileDialog::ExistingFile);
    chooser.show();
    QApplication::processEvents();
    for (QWidget *w : chooser.findChildren<QWidget *>()) {
        if (auto *label = qobject_cast<QLabel *>(w))
            texts << clean(label->text());
        else if (auto *button = qobject_cast<QAbstractButton *>(w))
            texts << clean(button->text());
        else if (auto *header = qobject_cast<QHeaderView *>(w); header && header->model())
            for (int i = 0; i < header->count(); ++i)
                texts << header->model()->headerData(i, header->orientation()).toString();
    }
    QLineEdit field(u"Kwiat Jabłoni"_s);
    field.selectAll();
    const std::unique_ptr<QMenu> menu(field.createStandardContextMenu());
    for (QAction *action : menu->actions())
        texts << clean(action->text());
    texts.removeAll(QString());
    return texts;
}

// Qt's own texts speak the interface language, and follow a switch at once.
TEST_F(MainWindowTest, qtsOwnTextsFollowTheLanguage)
{
    // Setup installs Qt's catalogues (qt6-translations-l10n); without them this fails.
    for (const QString &catalogue : AppLocalizer::qtCatalogues()) {
        const QString file = QLibraryInfo::path(QLibraryInfo::TranslationsPath) + u'/' + catalogue + u"_pl.qm"_s;
        ASSERT_TRUE(QFile::exists(file)) << qPrintable(file) << " is missing: install qt6-translations-l10n";
    }
    Defaults::setString(u"appLanguage"_s, u"pl"_s);
    open();
    const QStringList polish{u"Anuluj"_s, u"Szukaj w:"_s, u"Nazwa"_s, u"Rozmiar"_s, u"Data modyfikacji"_s,
                             u"Cofnij"_s, u"Wytnij"_s, u"Skopiuj"_s, u"Wklej"_s, u"Zaznacz wszystko"_s};
    const QStringList english{u"Cancel"_s, u"Look in:"_s, u"Name"_s, u"Size"_s, u"Date Modified"_s,
                              u"Undo"_s, u"Cut"_s, u"Copy"_s, u"Paste"_s, u"Select All"_s};
    auto expectAll = [](const QStringList &shown, const QStringList &wanted, const QStringList &gone) {
        for (const QString &text : wanted)
            EXPECT_TRUE(shown.contains(text)) << qPrintable(text) << " not in " << qPrintable(shown.join(u" | "_s));
        for (const QString &text : gone)
            EXPECT_FALSE(shown.contains(text)) << qPrintable(text);
    };
    expectAll(qtsOwnTexts(), polish, english);

    QSignalSpy rebuilt(window.get(), &MainWindow::rebuilt);
    window->action(u"English"_s)->trigger();
    ASSERT_TRUE(rebuilt.wait(5000));
    expectAll(qtsOwnTexts(), english, polish);

    window->action(u"Polski"_s)->trigger();
    ASSERT_TRUE(rebuilt.wait(5000));
    expectAll(qtsOwnTexts(), polish, english);
}

// A desktop where neither a file manager nor a browser answers.
class SilentDesktopTest : public MainWindowTest
{
protected:
    void TearDown() override
    {
        MainWindowTest::TearDown();
        desktop.reset();
        QDBusConnection::disconnectFromBus(u"nobus-window"_s);
    }

    std::unique_ptr<DesktopWorkspace> desktop = std::make_unique<DesktopWorkspace>(
        QDBusConnection::connectToBus(u"unix:path=/nonexistent/bus"_s, u"nobus-window"_s),
        [this](const QUrl &url) {
            asked.append(url);
            return false;
        });
    QList<QUrl> asked;
};

// What the desktop could not open is said on the status line, in the interface
// language, instead of nothing happening.
TEST_F(SilentDesktopTest, theStatusLineSaysWhatCouldNotBeOpened)
{
    connectDevice();
    window = std::make_unique<MainWindow>(model.get(), desktop.get());
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));

    // The whole text, also when the bar cuts it.
    auto statusLine = [this] {
        QLabel *line = window->transferBar()->status();
        return line->toolTip().isEmpty() ? line->text() : line->toolTip();
    };
    QTest::mouseClick(window->inspector()->openButton(), Qt::LeftButton);
    EXPECT_EQ(asked, QList<QUrl>{QUrl::fromLocalFile(device.root())});
    EXPECT_EQ(model->status(), u"Nie udało się otworzyć: "_s + QDir::toNativeSeparators(device.root()));
    EXPECT_EQ(statusLine(), model->status());

    const QString track = device.root() + u"/Music/Kwiat Jabłoni/01 Dziś późno pójdę spać.flac"_s;
    desktop->reveal({track});
    EXPECT_EQ(model->status(), u"Nie udało się pokazać w menedżerze plików: "_s + track);

    QSignalSpy rebuilt(window.get(), &MainWindow::rebuilt);
    window->action(u"English"_s)->trigger();
    ASSERT_TRUE(rebuilt.wait(5000));
    EXPECT_EQ(statusLine(), u"Could not show in the file manager: "_s + track);
    EXPECT_FALSE(desktop->openUrl(QUrl(u"https://www.rockbox.org/"_s)));
    EXPECT_EQ(statusLine(), u"Could not open: https://www.rockbox.org/"_s);

    // A window that is gone no longer listens.
    window.reset();
    EXPECT_FALSE(desktop->failureHandler());
}

TEST_F(MainWindowTest, darkPalettesInBothLanguages)
{
    QApplication::setPalette(kit::darkPalette());
    connectDevice();
    queueThree();
    for (const QString &language : {u"pl"_s, u"en"_s}) {
        Defaults::setString(u"appLanguage"_s, language);
        open();
        savePng(window.get(), u"mainwindow-%1-dark"_s.arg(language));
        window.reset();
    }
}

TEST_F(MainWindowTest, menusFollowBusyTheDeviceTheQueueAndTheVolume)
{
    open();
    struct Case {
        const char *name;
        bool device, volume, queue, busy;
        bool add, choose, refresh, send, eject, toolbar;
    };
    const Case cases[] = {
        {"nothing", false, false, false, false, true, true, true, false, false, true},
        {"queue without a device", false, false, true, false, true, true, true, false, false, true},
        {"test folder and queue", true, false, true, false, true, true, true, true, false, true},
        {"volume and queue", true, true, true, false, true, true, true, true, true, true},
        {"volume without queue", true, true, false, false, true, true, true, false, true, true},
        {"busy", true, true, true, true, false, false, true, false, false, false},
    };
    const QList<Track> tracks = queueThree();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        if (c.device) {
            Device d = Device::inspect(device.root());
            d.isVolume = c.volume;
            model->setDevice(d);
        } else {
            model->setDevice(std::nullopt);
        }
        // Identifiers that match no track make no queue.
        model->setQueued(c.queue ? TavoModel::UuidSet{tracks.first().id} : TavoModel::UuidSet{QUuid::createUuid()});
        model->setBusy(c.busy);
        EXPECT_EQ(window->action(u"Dodaj muzykę…"_s)->isEnabled(), c.add);
        EXPECT_EQ(window->action(u"Wybierz urządzenie…"_s)->isEnabled(), c.choose);
        EXPECT_EQ(window->action(u"Odśwież"_s)->isEnabled(), c.refresh);
        EXPECT_EQ(window->action(u"Wgraj muzykę"_s)->isEnabled(), c.send);
        EXPECT_EQ(window->action(u"Wysuń iPoda"_s)->isEnabled(), c.eject);
        EXPECT_EQ(window->action(u"Odśwież urządzenie"_s)->isEnabled(), c.toolbar);
        EXPECT_EQ(window->inspector()->ejectButton()->isEnabled(), c.eject);
        EXPECT_EQ(window->inspector()->chooseButton()->isEnabled(), !c.busy);
        EXPECT_EQ(window->transferBar()->sendButton()->isEnabled(), c.send);
        EXPECT_EQ(window->transferBar()->clearButton()->isEnabled(), c.queue && !c.busy);
        EXPECT_EQ(window->transferBar()->progress()->isVisible(), c.busy);
    }
    model->setBusy(false);
    EXPECT_EQ(window->action(u"Dodaj muzykę…"_s)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_O));
    EXPECT_EQ(window->action(u"Odśwież"_s)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_R));
    // The File menu offers no new window.
    EXPECT_EQ(window->menuBar()->actions().first()->menu()->actions().size(), 1);
}

TEST_F(MainWindowTest, inspectorWithoutADeviceWithATestFolderAndWithAVolume)
{
    open();
    Inspector *inspector = window->inspector();
    EXPECT_EQ(inspector->width(), Inspector::fixedWidth);
    EXPECT_EQ(inspector->connection()->text(), u"Czeka na połączenie"_s);
    EXPECT_FALSE(inspector->deviceBlock()->isVisible());
    EXPECT_TRUE(inspector->hint()->isVisible());
    EXPECT_FALSE(inspector->ejectButton()->isEnabled());

    connectDevice();
    EXPECT_EQ(inspector->connection()->text(), u"Połączony"_s);
    EXPECT_TRUE(inspector->deviceBlock()->isVisible());
    EXPECT_FALSE(inspector->hint()->isVisible());
    EXPECT_TRUE(inspector->testFolder()->isVisible());
    EXPECT_EQ(inspector->name()->text(), u"IPOD"_s);
    EXPECT_TRUE(inspector->version()->text().startsWith(u"Rockbox · "_s));
    EXPECT_FALSE(inspector->ejectButton()->isEnabled());

    Device volume = *model->device();
    volume.isVolume = true;
    volume.total = 4'000'000'000;
    volume.available = 1'000'000'000;
    model->setDevice(volume);
    EXPECT_FALSE(inspector->testFolder()->isVisible());
    EXPECT_TRUE(inspector->ejectButton()->isEnabled());
    EXPECT_EQ(inspector->capacity()->text(), u"4 GB · 1 GB wolne"_s);
    EXPECT_EQ(inspector->usage()->value(), 750);

    QTest::mouseClick(inspector->openButton(), Qt::LeftButton);
    EXPECT_EQ(workspace.opened, QList<QUrl>{QUrl::fromLocalFile(device.root())});
    QTest::mouseClick(inspector->themesButton(), Qt::LeftButton);
    EXPECT_EQ(model->section(), Section::themes);
    EXPECT_TRUE(window->inspector()->isVisible());
}

TEST(InspectorUsedFraction, clampedToTheBar)
{
    struct Case {
        qint64 total, available;
        double used;
    };
    const Case cases[] = {{100, 25, 0.75}, {0, 0, 0}, {-5, 10, 0}, {100, 150, 0}, {100, -50, 1}, {1, 0, 1}};
    for (const Case &c : cases)
        EXPECT_DOUBLE_EQ(Inspector::usedFraction(c.total, c.available), c.used) << c.total << " " << c.available;
}

TEST(ClickCounter, countsClicksCloseInTimeAndPlace)
{
    struct Case {
        const char *name;
        QList<std::pair<qint64, QPointF>> clicks;
        int last;
    };
    const QList<Case> cases{
        {"three quick", {{0, {10, 10}}, {200, {10, 10}}, {400, {11, 10}}}, 3},
        {"two quick", {{0, {10, 10}}, {200, {10, 10}}}, 2},
        {"a pause starts again", {{0, {10, 10}}, {200, {10, 10}}, {2000, {10, 10}}}, 1},
        {"moved away starts again", {{0, {10, 10}}, {200, {10, 10}}, {400, {60, 10}}}, 1},
        {"four quick", {{0, {1, 1}}, {100, {1, 1}}, {200, {1, 1}}, {300, {1, 1}}}, 4},
    };
    for (const Case &c : cases) {
        ClickCounter counter(400, 5);
        int count = 0;
        for (const auto &[time, where] : c.clicks)
            count = counter.press(time, where);
        EXPECT_EQ(count, c.last) << c.name;
    }
}

TEST_F(MainWindowTest, aTripleClickOnTheDrawingRevealsCoverFlowADoubleClickDoesNot)
{
    connectDevice();
    IPodView view(model.get(), std::nullopt, 200);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    const QPointF centre = QRectF(view.rect()).center();
    // Presses with the timestamps a person's clicks carry.
    auto press = [&](quint64 timestamp) {
        QMouseEvent event(QEvent::MouseButtonPress, centre, view.mapToGlobal(centre), Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        event.setTimestamp(timestamp);
        QApplication::sendEvent(&view, &event);
        QMouseEvent release(QEvent::MouseButtonRelease, centre, view.mapToGlobal(centre), Qt::LeftButton,
                            Qt::NoButton, Qt::NoModifier);
        release.setTimestamp(timestamp + 20);
        QApplication::sendEvent(&view, &release);
    };
    press(10'000);
    press(10'150);
    EXPECT_FALSE(model->showCoverFlow());
    const quint64 later = 10'150 + QApplication::styleHints()->mouseDoubleClickInterval() + 100;
    press(later);
    press(later + 150);
    press(later + 300);
    EXPECT_TRUE(model->showCoverFlow());
    EXPECT_TRUE(model->libraryOnDevice());
}

TEST_F(MainWindowTest, theDrawingKeepsTheModelsProportionsWithinTheColumn)
{
    struct Case {
        double ratio;
        double width, height;
    };
    // 370 points high at most, 200 wide at most.
    const Case cases[] = {{1.65, 200, 330}, {1.6748, 200, 334.96}, {2.33, 158.798, 370}, {3.36, 110.119, 370}};
    for (const Case &c : cases) {
        const QSizeF size = IPodIllustration::drawnSize(c.ratio, 200, IPodView::maxHeight);
        EXPECT_NEAR(size.width(), c.width, 0.01) << c.ratio;
        EXPECT_NEAR(size.height(), c.height, 0.01) << c.ratio;
    }
}

TEST_F(MainWindowTest, theAlertFollowsTheModelBothWaysAndUpdatesWhileShown)
{
    open();
    model->setAlert(QString());
    ASSERT_TRUE(window->alertBox());
    EXPECT_TRUE(window->alertBox()->isVisible());
    EXPECT_TRUE(window->alertBox()->informativeText().isEmpty());
    EXPECT_EQ(window->alertBox()->windowModality(), Qt::WindowModal);
    model->setAlert(u"Nie udało się zapisać kopii"_s);
    EXPECT_EQ(window->alertBox()->informativeText(), u"Nie udało się zapisać kopii"_s);
    model->setAlert(std::nullopt);
    EXPECT_FALSE(window->alertBox());
    model->setAlert(u"Coś"_s);
    ASSERT_TRUE(window->alertBox());
    QTest::keyClick(window->alertBox(), Qt::Key_Escape);
    EXPECT_FALSE(model->alert());
}

TEST_F(MainWindowTest, coverFlowIsPresentedOnTheChangeToTrueOnly)
{
    open();
    QSignalSpy raise(model.get(), &TavoModel::coverFlowRaiseRequested);
    model->setShowCoverFlow(true);
    model->setShowCoverFlow(true);
    model->setShowCoverFlow(false);
    // Nothing here may throw or loop; the Cover Flow window itself is tested on its own.
    EXPECT_EQ(raise.size(), 0);
}

} // namespace

namespace {

TEST_F(MainWindowTest, aSheetClosedByItsOwnButtonClearsTheModelsValue)
{
    device.writeFile(u".rockbox/themes/Cabbie.cfg"_s, "wps: /.rockbox/wps/cabbie.wps\n");
    connectDevice();
    ASSERT_TRUE(waitUntil([&] { return model->themes().size() == 1; }));
    open();
    model->setOpenTheme(model->themes().first());
    QDialog *sheet = window->sheet("openTheme");
    ASSERT_TRUE(sheet && sheet->isVisible());
    auto *done = sheet->findChild<QPushButton *>(u"done"_s);
    ASSERT_TRUE(done);
    QTest::mouseClick(done, Qt::LeftButton);
    EXPECT_FALSE(model->openTheme());
    EXPECT_FALSE(window->sheet("openTheme"));
}

TEST_F(MainWindowTest, theInspectorsDrawingShowsTheConfiguredThemesPreviewAndFollowsTheThemeSettings)
{
    const QString corpus = QStringLiteral(VONTARO_TEST_DATA_DIR "/corpus/rockbox-device/");
    DeviceFixture::copyTree(corpus + u"ipodvideo-budm-rockb0x/.rockbox"_s, device.path(u".rockbox"_s));
    device.writeFile(u".rockbox/config.cfg"_s, "wps: /.rockbox/wps/iClassic.wps\nsbs: /.rockbox/wps/iClassic.sbs\n");
    connectDevice();
    ASSERT_TRUE(waitUntil([&] { return model->configuredTheme().has_value() && !model->busy(); }));
    open();
    IPodIllustration *drawing = window->inspector()->ipod()->illustration();

    const QString cfg = model->configuredTheme()->url;
    const ThemePreview own{QUrl::fromLocalFile(device.path(u".rockbox/backdrops/iClassic_bd.bmp"_s)), std::nullopt,
                           u"Twój zrzut"_s, std::nullopt, std::nullopt};
    model->setThemePreviews({{cfg, own}});
    EXPECT_EQ(drawing->preview(), own);

    // The settings that tie the device's configuration to the theme go and come back.
    const TavoModel::ThemeSettingsMap settings = model->themeSettings();
    model->setThemeSettings({});
    EXPECT_FALSE(model->configuredTheme());
    EXPECT_FALSE(drawing->preview().has_value());
    model->setThemeSettings(settings);
    EXPECT_EQ(drawing->preview(), own);

    // The device page, when shown, draws the same screen.
    window->sidebar()->button(Section::device)->click();
    auto *hero = window->findChild<IPodIllustration *>(u"heroIPod"_s);
    ASSERT_TRUE(hero);
    EXPECT_EQ(hero->preview(), drawing->preview());
}

} // namespace
