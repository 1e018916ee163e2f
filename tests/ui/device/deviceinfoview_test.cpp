// The "Twój iPod" page driven offscreen against a real model and a temporary
// folder holding a real .rockbox (rockbox-info.txt of an iPod Video build and
// a config.cfg from the Rockbox sources): the no-device state, the facts and
// their fallbacks, the model and colour pickers stored per device and read
// back after a restart, the description, the buttons, the statistics, the
// storage legend and the cards; and pictures of the page in both languages
// and palettes.

#include "ui/device/deviceinfoview.h"

#include "device/ipodillustration.h"
#include "model/operationstesting.h"
#include "platform/text.h"
#include "platform/workspace.h"
#include "ui/device/storagebar.h"
#include "ui/kit/kit.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QWheelEvent>
#include <QMouseEvent>
#include <QTest>
#include <QToolButton>

namespace {

const QString corpus = QStringLiteral(VONTARO_TEST_DATA_DIR "/corpus/rockbox-device/");

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

class DevicePage : public OperationsTest
{
protected:
    void SetUp() override
    {
        OperationsTest::SetUp();
        QApplication::setPalette(kit::lightPalette());
        model->setFolderChooser([this](const QString &, const QString &) {
            ++chooserCalls;
            return std::optional<QString>();
        });
    }
    void TearDown() override
    {
        page.reset();
        OperationsTest::TearDown();
    }

    // The test folder with the iPod Video's rockbox-info.txt and the sample config.cfg.
    void writeRockboxFiles(const DeviceFixture &where)
    {
        QFile info(corpus + u"ipodvideo-budm-rockb0x/.rockbox/rockbox-info.txt"_s);
        QFile config(corpus + u"rockbox-repo-sample/config.cfg"_s);
        ASSERT_TRUE(info.open(QIODevice::ReadOnly) && config.open(QIODevice::ReadOnly));
        where.writeFile(u".rockbox/rockbox-info.txt"_s, info.readAll());
        where.writeFile(u".rockbox/config.cfg"_s, config.readAll());
    }

    void select(const DeviceFixture &where)
    {
        model->select(Device::inspect(where.root()));
        ASSERT_TRUE(waitUntil([&] { return !model->deviceInfo().isEmpty() && model->deviceVolume().has_value(); }));
    }

    void show()
    {
        page = std::make_unique<DeviceInfoView>(model.get(), &workspace);
        page->resize(1000, 1300);
        page->show();
    }

    template <typename T>
    T *child(const QString &name) const
    {
        T *found = page->findChild<T *>(name);
        EXPECT_NE(found, nullptr) << name.toStdString();
        return found;
    }
    QString textOf(const QString &name) const { return child<QLabel>(name)->text(); }

    void saveScreenshot(const QString &name)
    {
        page->resize(1000, 1300);
        // Let the theme picture and the layout settle before the picture is taken.
        QTest::qWait(50);
        EXPECT_TRUE(page->grab().save(screenshots() + u"/"_s + name + u".png"_s));
    }

    FakeWorkspace workspace;
    std::unique_ptr<DeviceInfoView> page;
    int chooserCalls = 0;
};

TEST_F(DevicePage, WithoutADeviceOnlyThePlaceholderTheLineAndTheChoiceAreShown)
{
    show();
    EXPECT_TRUE(child<QLabel>(u"waitingTitle"_s)->isVisible());
    EXPECT_EQ(textOf(u"waitingTitle"_s), u"Twój iPod czeka na połączenie"_s);
    EXPECT_FALSE(child<QWidget>(u"hero"_s)->isVisible());
    EXPECT_FALSE(child<StorageBar>(u"storageBar"_s)->isVisible());
    EXPECT_EQ(child<IPodIllustration>(u"placeholderIPod"_s)->profile().name, u"Wybierz model iPoda"_s);
    auto *choose = child<QPushButton>(u"chooseDevice"_s);
    EXPECT_EQ(choose->text(), u"Wybierz urządzenie…"_s);
    model->setBusy(true);
    EXPECT_TRUE(choose->isEnabled());
    QTest::mouseClick(choose, Qt::LeftButton);
    EXPECT_EQ(chooserCalls, 1);
    model->setBusy(false);
    saveScreenshot(u"device-none-pl-light"_s);
}

TEST_F(DevicePage, FactsOfATestDeviceWithTheirFallbacks)
{
    writeRockboxFiles(device);
    select(device);
    show();
    EXPECT_FALSE(child<QLabel>(u"waitingTitle"_s)->isVisible());
    EXPECT_EQ(textOf(u"badge"_s), u"FOLDER TESTOWY"_s);
    EXPECT_EQ(textOf(u"modelName"_s), model->deviceProfile().name);
    EXPECT_EQ(model->deviceProfile().target, u"ipodvideo"_s);
    EXPECT_EQ(textOf(u"capacity"_s),
              text::byteCount(model->device()->total) + u" · Rockbox modifiedf86f7883f5-200329"_s);
    EXPECT_EQ(textOf(u"rootPath"_s), device.root());
    const QStringList facts{u"IPOD"_s, u"ipodvideo"_s, u"arm"_s, u"64 MB"_s, model->deviceVolume()->fileSystem,
                            u"Odczyt i zapis"_s, u"16-GNU-Unifont.fnt"_s, u"Domyślny"_s};
    for (int i = 0; i < facts.size(); ++i)
        EXPECT_EQ(page->fact(i), facts[i]) << i;
    EXPECT_NE(page->fact(4), u"Nieznany"_s);
    EXPECT_EQ(textOf(u"themeName"_s), u"Motyw domyślny"_s);
    EXPECT_EQ(textOf(u"previewSource"_s), u"Brak podglądu — dodaj zrzut w Motywach"_s);
    EXPECT_TRUE(textOf(u"appearanceNote"_s).startsWith(u"Wybór grafiki nie zmienia sprzętu ani firmware. "_s));
    EXPECT_TRUE(textOf(u"appearanceNote"_s).endsWith(model->deviceProfile().support));

    // Files without those keys: every fallback, and a wps file named by config.cfg alone.
    model->setDeviceInfo({{u"Version"_s, u"4.0"_s}});
    model->setDeviceConfig({{u"wps"_s, u"/.rockbox/wps/iClassic.wps"_s}});
    EXPECT_EQ(page->fact(1), u"Nieznana"_s);
    EXPECT_EQ(page->fact(2), u"Nieznane"_s);
    EXPECT_EQ(page->fact(3), u"Nieznany"_s);
    EXPECT_EQ(page->fact(6), u"Domyślny"_s);
    EXPECT_EQ(page->fact(7), u"iClassic"_s);
    // The right column names only a configured theme.
    EXPECT_EQ(textOf(u"themeName"_s), u"Motyw domyślny"_s);
    EXPECT_EQ(textOf(u"themeCardName"_s), u"iClassic"_s);
    model->setDeviceConfig({});
    EXPECT_EQ(textOf(u"themeCardName"_s), u"Motyw domyślny"_s);
}

TEST_F(DevicePage, TheConfiguredThemeNamesTheHeroAndItsPreviewGoesOnTheScreen)
{
    DeviceFixture::copyTree(corpus + u"ipodvideo-budm-rockb0x/.rockbox"_s, device.path(u".rockbox"_s));
    device.writeFile(u".rockbox/config.cfg"_s,
                     "wps: /.rockbox/wps/iClassic.wps\nsbs: /.rockbox/wps/iClassic.sbs\n"
                     "font: /.rockbox/fonts/24 iLike.fnt\n");
    select(device);
    ASSERT_TRUE(waitUntil([&] { return model->configuredTheme().has_value(); }));
    show();
    EXPECT_EQ(textOf(u"themeName"_s), u"iClassic"_s);
    EXPECT_EQ(page->fact(7), u"iClassic"_s);
    EXPECT_EQ(page->fact(6), u"24 iLike.fnt"_s);
    EXPECT_EQ(textOf(u"themesTile"_s),
              QString::number(model->themes().size()) + u" do wyboru"_s);

    const QString cfg = model->configuredTheme()->url;
    TavoModel::ThemePreviewMap previews;
    const ThemePreview own{QUrl::fromLocalFile(device.path(u".rockbox/backdrops/iClassic_bd.bmp"_s)), std::nullopt,
                           u"Twój zrzut"_s, std::nullopt, std::nullopt};
    previews.insert(cfg, own);
    model->setThemePreviews(previews);
    EXPECT_EQ(textOf(u"previewSource"_s), u"Twój zrzut"_s);
    EXPECT_EQ(child<IPodIllustration>(u"heroIPod"_s)->preview(), own);
    model->setThemePreviews({});
    EXPECT_FALSE(child<IPodIllustration>(u"heroIPod"_s)->preview().has_value());
}

TEST_F(DevicePage, ThePickersStoreTheChoicePerDeviceAndReadItBackAfterARestart)
{
    writeRockboxFiles(device);
    select(device);
    show();
    auto *modelPicker = child<QComboBox>(u"modelPicker"_s);
    auto *finishPicker = child<QComboBox>(u"finishPicker"_s);
    ASSERT_EQ(modelPicker->count(), 1 + IPodProfile::all().size());
    EXPECT_EQ(modelPicker->itemText(0), u"Automatycznie z Rockbox"_s);
    EXPECT_EQ(modelPicker->currentData().toString(), u"auto"_s);
    ASSERT_EQ(finishPicker->count(), 11);
    EXPECT_EQ(finishPicker->itemText(6), u"Pomarańczowy"_s);
    EXPECT_EQ(finishPicker->currentData().toString(), u"auto"_s);

    modelPicker->setFocus();
    QTest::keyClick(modelPicker, Qt::Key_Down);
    const IPodProfile chosen = IPodProfile::all().first();
    EXPECT_EQ(Defaults::string(u"appearance-"_s + device.root()), chosen.id);
    EXPECT_EQ(model->deviceProfile(), chosen);
    EXPECT_EQ(child<IPodIllustration>(u"heroIPod"_s)->profile(), chosen);
    EXPECT_EQ(textOf(u"modelName"_s), chosen.name);

    finishPicker->setFocus();
    QTest::keyClick(finishPicker, Qt::Key_End);
    EXPECT_EQ(Defaults::string(u"finish-"_s + device.root()), u"u2"_s);
    EXPECT_EQ(child<IPodIllustration>(u"heroIPod"_s)->finish(), u"u2"_s);

    // A restart: a new model and page read the choices back.
    page.reset();
    Defaults::flush();
    Defaults::reload();
    model = makeModel();
    select(device);
    show();
    modelPicker = child<QComboBox>(u"modelPicker"_s);
    finishPicker = child<QComboBox>(u"finishPicker"_s);
    EXPECT_EQ(modelPicker->currentData().toString(), chosen.id);
    EXPECT_EQ(finishPicker->currentData().toString(), u"u2"_s);

    // "auto" forgets the choice: the firmware's target and the model's own colour again.
    modelPicker->setFocus();
    QTest::keyClick(modelPicker, Qt::Key_Home);
    EXPECT_FALSE(Defaults::contains(u"appearance-"_s + device.root()));
    EXPECT_EQ(model->deviceProfile().target, u"ipodvideo"_s);

    // A stored id no model has matches no option and is left as it is.
    Defaults::setString(u"appearance-"_s + device.root(), u"zune"_s);
    page->refresh();
    EXPECT_EQ(modelPicker->currentIndex(), -1);
    EXPECT_EQ(Defaults::string(u"appearance-"_s + device.root()), u"zune"_s);
}

// The wheel over a picker on its way down the page scrolls the page and
// leaves the choice alone; a picker the user has focused takes the wheel.
TEST_F(DevicePage, TheWheelScrollsThePageOverThePickersUnlessOneIsFocused)
{
    writeRockboxFiles(device);
    select(device);
    show();
    page->resize(1000, 500);
    auto *scroll = page->findChild<QScrollArea *>();
    ASSERT_NE(scroll, nullptr);
    QScrollBar *bar = scroll->verticalScrollBar();
    ASSERT_TRUE(waitUntil([&] { return bar->maximum() > 0; }));
    page->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(page.get()));

    const auto wheel = [](QWidget *over) {
        const QPointF at(over->width() / 2.0, over->height() / 2.0);
        QWheelEvent event(at, over->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(over, &event);
    };
    for (const QString &name : {u"modelPicker"_s, u"finishPicker"_s}) {
        SCOPED_TRACE(name.toStdString());
        auto *picker = child<QComboBox>(name);
        scroll->ensureWidgetVisible(picker);
        bar->setValue(std::max(0, bar->value() - 40));
        const int before = bar->value();
        ASSERT_LT(before, bar->maximum());
        wheel(picker);
        EXPECT_EQ(picker->currentData().toString(), u"auto"_s);
        EXPECT_FALSE(picker->hasFocus());
        EXPECT_GT(bar->value(), before);
    }
    EXPECT_FALSE(Defaults::contains(u"appearance-"_s + device.root()));
    EXPECT_FALSE(Defaults::contains(u"finish-"_s + device.root()));

    // Focused on purpose (Tab), the picker is the user's to turn.
    auto *finish = child<QComboBox>(u"finishPicker"_s);
    finish->setFocus(Qt::TabFocusReason);
    const int before = bar->value();
    wheel(finish);
    EXPECT_NE(finish->currentData().toString(), u"auto"_s);
    EXPECT_EQ(bar->value(), before);
    EXPECT_TRUE(Defaults::contains(u"finish-"_s + device.root()));
}

// A test folder deleted while chosen: the next refresh brings the waiting
// state back instead of the old facts and capacity.
TEST_F(DevicePage, ARefreshAfterTheTestFolderVanishedShowsTheWaitingState)
{
    writeRockboxFiles(device);
    select(device);
    show();
    ASSERT_FALSE(child<QLabel>(u"waitingTitle"_s)->isVisible());
    ASSERT_TRUE(QDir(device.root()).removeRecursively());
    model->refresh();
    ASSERT_TRUE(waitUntil([&] { return !model->refreshing(); }));
    EXPECT_FALSE(model->device().has_value());
    EXPECT_TRUE(child<QLabel>(u"waitingTitle"_s)->isVisible());
    EXPECT_FALSE(child<QWidget>(u"hero"_s)->isVisible());
}

TEST_F(DevicePage, TheDescriptionIsKeptForEachDevice)
{
    writeRockboxFiles(device);
    DeviceFixture second(u"SECOND"_s);
    writeRockboxFiles(second);
    select(device);
    show();
    auto *field = child<QLineEdit>(u"description"_s);
    EXPECT_EQ(field->placeholderText(), u"Twój opis sprzętu: model, iFlash, bateria…"_s);
    QTest::keyClicks(field, u"5.5G, iFlash Quad"_s);
    EXPECT_EQ(Defaults::string(u"deviceDescription-"_s + device.root()), u"5.5G, iFlash Quad"_s);

    select(second);
    EXPECT_EQ(field->text(), QString());
    QTest::keyClicks(field, u"Classic"_s);
    select(device);
    EXPECT_EQ(field->text(), u"5.5G, iFlash Quad"_s);
    select(second);
    EXPECT_EQ(field->text(), u"Classic"_s);
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Backspace);
    EXPECT_EQ(Defaults::string(u"deviceDescription-"_s + second.root()), QString());
}

TEST_F(DevicePage, TheButtonsOpenTheMusicAndTheFolder)
{
    writeRockboxFiles(device);
    select(device);
    show();
    // Nothing read from the device yet: the music is read.
    QTest::mouseClick(child<QPushButton>(u"openMusic"_s), Qt::LeftButton);
    EXPECT_TRUE(model->libraryOnDevice());
    EXPECT_EQ(model->section(), Section::music);
    EXPECT_TRUE(model->busy());
    ASSERT_TRUE(waitUntilIdle(*model));

    // Music already read: only the switch.
    model->setSection(Section::device);
    model->setLibraryOnDevice(false);
    model->setDeviceTracks({libraryTrack(device.path(u"Music/A/B/01.mp3"_s), u"A"_s, u"B"_s)});
    QTest::mouseClick(child<QPushButton>(u"openMusic"_s), Qt::LeftButton);
    EXPECT_TRUE(model->libraryOnDevice());
    EXPECT_EQ(model->section(), Section::music);
    EXPECT_FALSE(model->busy());

    // While busy: the switch without a reading.
    model->setDeviceTracks({});
    model->setSection(Section::device);
    model->setBusy(true);
    QTest::mouseClick(child<QPushButton>(u"openMusic"_s), Qt::LeftButton);
    EXPECT_EQ(model->section(), Section::music);
    EXPECT_TRUE(model->deviceTracks().isEmpty());
    model->setBusy(false);

    auto *folder = child<QToolButton>(u"openFolder"_s);
    EXPECT_EQ(folder->toolTip(), u"Otwórz dysk w menedżerze plików"_s);
    QTest::mouseClick(folder, Qt::LeftButton);
    ASSERT_EQ(workspace.opened.size(), 1);
    EXPECT_EQ(workspace.opened[0], QUrl::fromLocalFile(device.root()));
}

TEST_F(DevicePage, StatisticsStorageAndCardsFollowTheModel)
{
    writeRockboxFiles(device);
    select(device);
    show();
    const Device &d = *model->device();
    EXPECT_EQ(textOf(u"freeTile"_s), text::byteCount(d.available));
    EXPECT_EQ(textOf(u"musicTile"_s), u"Do odczytania"_s);
    EXPECT_EQ(textOf(u"themesTile"_s), u"0 do wyboru"_s);
    EXPECT_EQ(textOf(u"storageFree"_s), text::byteCount(d.available) + u" wolne"_s);
    EXPECT_EQ(textOf(u"otherLegend"_s), u"Zajęte — odczytaj bibliotekę"_s);
    EXPECT_EQ(textOf(u"totalLegend"_s), text::byteCount(d.total) + u" łącznie"_s);
    auto *bar = child<StorageBar>(u"storageBar"_s);
    EXPECT_EQ(bar->bytes(), StorageBytes::from(d.total, d.available, 0, 0));

    // Reading the music splits the bar; ALAC is no MP3 or FLAC.
    QList<Track> tracks;
    for (const auto &[codec, bytes] : {std::pair{u"MP3"_s, qint64(3000)}, {u"FLAC"_s, qint64(5000)},
                                       {u"ALAC"_s, qint64(7000)}, {u"MP3"_s, qint64(1000)}}) {
        Track t;
        t.id = QUuid::createUuid();
        t.info.codec = codec;
        t.bytes = bytes;
        tracks.append(t);
    }
    model->setDeviceTracks(tracks);
    EXPECT_EQ(textOf(u"musicTile"_s), u"4 utwory"_s);
    EXPECT_EQ(textOf(u"otherLegend"_s), u"Pozostałe"_s);
    EXPECT_EQ(bar->bytes().mp3, 4000);
    EXPECT_EQ(bar->bytes().flac, 5000);
    EXPECT_EQ(bar->bytes(), StorageBytes::from(d.total, d.available, 4000, 5000));

    EXPECT_EQ(textOf(u"backupTitle"_s), u"Zapisz pierwszą kopię"_s);
    model->setBackups({u"/a"_s, u"/b"_s, u"/c"_s});
    EXPECT_EQ(textOf(u"backupTitle"_s), u"3 kopie na komputerze"_s);
    auto *backup = child<QPushButton>(u"makeBackup"_s);
    auto *gallery = child<QPushButton>(u"openGallery"_s);
    EXPECT_TRUE(backup->isEnabled());
    model->setBusy(true);
    EXPECT_FALSE(backup->isEnabled());
    EXPECT_TRUE(gallery->isEnabled());
    QTest::mouseClick(gallery, Qt::LeftButton);
    EXPECT_EQ(model->section(), Section::themes);
    model->setBusy(false);
    EXPECT_TRUE(backup->isEnabled());
}

TEST_F(DevicePage, ThePreviewFetchRunsOnShowOnlyWhileTheModelHasNoStatus)
{
    DeviceFixture::copyTree(corpus + u"ipodvideo-budm-rockb0x/.rockbox"_s, device.path(u".rockbox"_s));
    select(device);
    ASSERT_TRUE(waitUntil([&] { return !model->themes().isEmpty(); }));
    // Let the model's own fetch at selection end, then forget its status.
    drainWork();
    model->setThemePreviewStatus(QString());
    show();
    EXPECT_EQ(model->themePreviewStatus(), u"Pobieram podglądy z Rockbox…"_s);
    drainWork();
    page->hide();
    model->setThemePreviewStatus(u"Podglądy katalogowe: 0. Wersja motywu może różnić się od zainstalowanej."_s);
    page->show();
    EXPECT_EQ(model->themePreviewStatus(),
              u"Podglądy katalogowe: 0. Wersja motywu może różnić się od zainstalowanej."_s);
}

TEST_F(DevicePage, ThreeClicksOnTheDrawingRevealCoverFlowTwoDoNot)
{
    writeRockboxFiles(device);
    select(device);
    show();
    QWidget *drawing = page->findChild<QWidget *>(u"heroIPod"_s);
    ASSERT_TRUE(drawing);
    const QPointF centre = QRectF(drawing->rect()).center();
    // Presses with the timestamps a person's clicks carry; the second of a run is a double click.
    auto click = [&](quint64 timestamp, QEvent::Type type) {
        QMouseEvent press(type, centre, drawing->mapToGlobal(centre), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        press.setTimestamp(timestamp);
        QApplication::sendEvent(drawing, &press);
        QMouseEvent release(QEvent::MouseButtonRelease, centre, drawing->mapToGlobal(centre), Qt::LeftButton,
                            Qt::NoButton, Qt::NoModifier);
        release.setTimestamp(timestamp + 20);
        QApplication::sendEvent(drawing, &release);
    };
    click(10'000, QEvent::MouseButtonPress);
    click(10'150, QEvent::MouseButtonDblClick);
    EXPECT_FALSE(model->showCoverFlow());
    const quint64 later = 20'000;
    click(later, QEvent::MouseButtonPress);
    click(later + 150, QEvent::MouseButtonDblClick);
    click(later + 300, QEvent::MouseButtonPress);
    EXPECT_TRUE(model->showCoverFlow());
    EXPECT_TRUE(model->libraryOnDevice());
    model->setShowCoverFlow(false);
}

TEST_F(DevicePage, EnglishTranslatesLabelsButNotNames)
{
    Defaults::setString(u"appLanguage"_s, u"en"_s);
    writeRockboxFiles(device);
    select(device);
    show();
    const QList<QLabel *> labels = page->findChildren<QLabel *>();
    const auto shows = [&](const QString &text) {
        return std::any_of(labels.cbegin(), labels.cend(), [&](QLabel *l) { return l->text() == text; });
    };
    EXPECT_TRUE(shows(u"DISK NAME"_s));
    EXPECT_TRUE(shows(u"FILE SYSTEM"_s));
    EXPECT_EQ(page->fact(0), u"IPOD"_s);
    EXPECT_EQ(page->fact(5), u"Read and write"_s);
    // A saved theme's name is never translated; the fallback when none is saved is our own word.
    EXPECT_EQ(page->fact(7), u"Default"_s);
    EXPECT_EQ(textOf(u"badge"_s), u"TEST FOLDER"_s);
    EXPECT_EQ(textOf(u"rootPath"_s), device.root());
    EXPECT_EQ(textOf(u"musicTile"_s), u"Not read yet"_s);
    EXPECT_EQ(textOf(u"themesTile"_s), u"0 to choose from"_s);
    EXPECT_FALSE(textOf(u"appearanceNote"_s).contains(u"Wybór"_s));
    model->setDeviceTracks({libraryTrack(device.path(u"Music/A/B/01.mp3"_s), u"A"_s, u"B"_s),
                            libraryTrack(device.path(u"Music/A/B/02.mp3"_s), u"A"_s, u"B"_s)});
    EXPECT_EQ(textOf(u"musicTile"_s), u"2 tracks"_s);
}

// Pictures of both states, in Polish and English, light and dark.
TEST_F(DevicePage, Screenshots)
{
    DeviceFixture::copyTree(corpus + u"ipodvideo-budm-rockb0x/.rockbox"_s, device.path(u".rockbox"_s));
    writeRockboxFiles(device);
    device.writeFile(u".rockbox/config.cfg"_s,
                     "wps: /.rockbox/wps/iClassic.wps\nsbs: /.rockbox/wps/iClassic.sbs\n"
                     "font: /.rockbox/fonts/24 iLike.fnt\n");
    for (const QString &language : {u"pl"_s, u"en"_s}) {
        for (const bool dark : {false, true}) {
            Defaults::setString(u"appLanguage"_s, language);
            QApplication::setPalette(dark ? kit::darkPalette() : kit::lightPalette());
            const QString suffix = language + (dark ? u"-dark"_s : u"-light"_s);
            model->setDevice(std::nullopt);
            show();
            saveScreenshot(u"device-none-"_s + suffix);
            select(device);
            model->setDeviceTracks({});
            model->setBackups({u"/a"_s, u"/b"_s});
            Defaults::setString(u"deviceDescription-"_s + device.root(), u"iPod 5.5G · iFlash · bateria 2000 mAh"_s);
            model->setThemePreviews({{model->configuredTheme()->url,
                                      ThemePreview{QUrl::fromLocalFile(device.path(u".rockbox/backdrops/iClassic_bd.bmp"_s)),
                                                   std::nullopt, u"Tło motywu — bez elementów interfejsu"_s,
                                                   std::nullopt, std::nullopt}}});
            show();
            saveScreenshot(u"device-unread-"_s + suffix);
            QList<Track> tracks;
            for (int i = 0; i < 40; ++i) {
                Track t;
                t.id = QUuid::createUuid();
                t.info.codec = i % 3 == 0 ? u"FLAC"_s : u"MP3"_s;
                t.bytes = model->device()->total / 200;
                tracks.append(t);
            }
            model->setDeviceTracks(tracks);
            saveScreenshot(u"device-"_s + suffix);
        }
    }
    QApplication::setPalette(kit::lightPalette());
}

} // namespace
