// The real application in English, walked as a person uses it: every page of
// the sidebar, every sheet, menu, context menu, tooltip and the alerts met on
// the way. Everything read or painted must be English; the only Polish allowed
// is the person's own data (titles and names of the test's files).
// The same walk in Polish finds none of the English that Qt's own dialogs and
// menus or the platform's messages leave behind when nothing translates them.
// A picture of each page and sheet is saved in a light and a dark palette.

#include "support/appwalk.h"
#include "support/texts.h"

#include "localization/applocalizer.h"
#include "model/tavomodel.h"
#include "platform/defaults.h"
#include "ui/coverflow/coverflowwindow.h"
#include "ui/guide/guideview.h"
#include "ui/library/albumgrid.h"
#include "ui/library/foldertree.h"
#include "ui/library/tracklist.h"
#include "ui/shell/mainwindow.h"
#include "ui/shell/transferbar.h"
#include "model/playback.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTextStream>
#include <QTreeView>
#include <gtest/gtest.h>
#include <iostream>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QString dataDir = QStringLiteral(VONTARO_TEST_DATA_DIR);

// Copies a folder of the test data, whole, to `to`.
void copyTree(const QString &from, const QString &to)
{
    QDir().mkpath(to);
    QDirIterator it(from, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString target = to + u'/' + QDir(from).relativeFilePath(path);
        if (it.fileInfo().isDir()) {
            QDir().mkpath(target);
        } else {
            QDir().mkpath(QFileInfo(target).path());
            ASSERT_TRUE(QFile::copy(path, target)) << qPrintable(target);
            QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner);
        }
    }
}

// The interface's own words in the language the walk speaks.
QString tr(const QString &polish)
{
    return AppLocalizer::display(polish);
}

class LanguageWalk : public ::testing::TestWithParam<bool>
{
protected:
    bool dark() const { return GetParam(); }
    // "en" or "pl".
    virtual QString language() const = 0;
    bool english() const { return language() == u"en"_s; }
    void walkEverything();

    void SetUp() override
    {
        AppWalk::usePalette(dark());
        walk = std::make_unique<AppWalk>();
        finder = std::make_unique<texts::PolishFinder>(AppLocalizer::english());
        leftovers = std::make_unique<texts::EnglishFinder>();
        // The person's own files: the music and the device folder.
        music = walk->homePath(u"Music"_s);
        copyTree(dataDir + u"/corpus/audio"_s, music + u"/Corpus"_s);
        copyTree(dataDir + u"/corpus/flac"_s, music + u"/FLAC test files"_s);
        // Two discs of one release by different artists: an album the grouping names itself.
        for (const auto &[disc, file] : {std::pair{u"CD1"_s, u"date.mp3"_s}, std::pair{u"CD2"_s, u"id3v22-test.mp3"_s}}) {
            QDir().mkpath(music + u"/Split release/"_s + disc);
            ASSERT_TRUE(QFile::copy(dataDir + u"/corpus/audio/"_s + file, music + u"/Split release/"_s + disc + u'/' + file));
        }
        deviceRoot = walk->homePath(u"IPOD"_s);
        copyTree(dataDir + u"/corpus/rockbox-device/ipodvideo-budm-rockb0x"_s, deviceRoot);
        for (const QString &path : {walk->home(), music, deviceRoot})
            allowPath(path);
    }

    void TearDown() override
    {
        if (walk && walk->running())
            walk->quit();
        walk.reset();
        AppWalk::usePalette(false);
        // Every text read in English, once, for a person to read through.
        const QString folder = screenshots();
        QFile file(folder + (dark() ? u"/texts-dark.txt"_s : u"/texts-light.txt"_s));
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            QTextStream out(&file);
            for (const QString &text : std::as_const(everyText))
                out << text << u"\n---\n"_s;
        }
        if (english())
            EXPECT_TRUE(wrong.isEmpty()) << "Polish in the English interface (" << wrong.size() << "):\n"
                                         << wrong.join(u'\n').toStdString();
        else
            EXPECT_TRUE(wrong.isEmpty()) << "English in the Polish interface (" << wrong.size() << "):\n"
                                         << wrong.join(u'\n').toStdString();
    }

    QString screenshots() const
    {
        const QString folder = QStringLiteral(VONTARO_BUILD_DIR "/screenshots/") + (english() ? u"english"_s : u"polish"_s);
        QDir().mkpath(folder);
        return folder;
    }

    // A path, whole and by its names; a name that is one of our own texts (the
    // device's folder for an album of several artists) is allowed only inside
    // the whole path, so that our own text shown alone is still read as Polish.
    void allowPath(const QString &path)
    {
        finder->allowData(path);
        leftovers->allowData(path);
        for (const QString &part : path.split(u'/', Qt::SkipEmptyParts))
            allowValue(part);
    }

    // A value of the person's data; an interface text is never data, even
    // where the model put it in a data field (a fallback name).
    void allowValue(const QString &value)
    {
        if (value.isEmpty() || AppLocalizer::english().contains(value))
            return;
        finder->allowData(value);
        leftovers->allowData(value);
    }

    // The library's and the device's data as the files hold it.
    void allowModelData()
    {
        TavoModel *model = walk->model();
        for (const QList<Track> &tracks : {model->tracks(), model->deviceTracks()}) {
            for (const Track &track : tracks) {
                allowValue(track.title);
                allowValue(track.artist);
                allowValue(track.album);
                const QFileInfo info(track.url);
                allowValue(info.fileName());
                allowValue(info.completeBaseName());
                allowValue(info.dir().dirName());
                allowPath(info.path());
            }
        }
        if (const auto &device = model->device()) {
            allowValue(device->name);
            allowPath(device->root);
            allowValue(device->version);
        }
        for (const Theme &theme : model->themes()) {
            allowValue(QFileInfo(theme.url).completeBaseName());
            allowValue(QFileInfo(theme.url).fileName());
        }
        for (const QString &name : model->playlists())
            allowValue(name);
        for (const QString &name : model->backups())
            allowValue(name);
        for (auto it = model->deviceInfo().cbegin(); it != model->deviceInfo().cend(); ++it)
            allowValue(it.value());
        for (auto it = model->deviceConfig().cbegin(); it != model->deviceConfig().cend(); ++it)
            allowValue(it.value());
    }

    // Every text of a JSON answer the loopback service gives is the service's data.
    void allowJson(const QJsonValue &value)
    {
        if (value.isString())
            allowValue(value.toString());
        else if (value.isArray())
            for (const QJsonValue &item : value.toArray())
                allowJson(item);
        else if (value.isObject())
            for (const QJsonValue &item : value.toObject())
                allowJson(item);
    }

    // The model's passing status lines are read as the transfer bar shows them,
    // each time one changes (an import's or a transfer's progress).
    void watchStatus()
    {
        QObject::connect(walk->model(), &TavoModel::statusChanged, walk->window(), [this] {
            if (QWidget *bar = walk->window()->transferBar(); bar && bar->isVisible())
                note(u"status"_s, texts::of(bar));
        });
    }

    void note(const QString &step, const QList<texts::Text> &found)
    {
        for (const texts::Text &text : found) {
            everyText.insert(text.text);
            if (text.where.startsWith(u"painted by"_s))
                paintedTexts.insert(text.text);
        }
        const QStringList lines = english() ? finder->polishAmong(found) : leftovers->englishAmong(found);
        for (const QString &line : lines) {
            const QString entry = step + u": "_s + line;
            if (!wrong.contains(entry))
                wrong.append(entry);
        }
    }

    // Reads every text the application shows now; Polish ones are kept for the end.
    void read(const QString &step)
    {
        AppWalk::settle();
        allowModelData();
        const QList<texts::Text> found = texts::harvestApplication();
        note(step, found);
    }

    void picture(const QString &name, QWidget *widget = nullptr)
    {
        AppWalk::settle();
        QWidget *shown = widget ? widget : walk->window();
        ASSERT_TRUE(shown);
        const QString path = screenshots() + u'/' + (dark() ? u"dark-"_s : u"light-"_s) + name + u".png"_s;
        EXPECT_TRUE(shown->grab().save(path)) << qPrintable(path);
    }

    // Reads the open alert and closes it with its button.
    void readAlert(const QString &step)
    {
        QMessageBox *alert = walk->waitForDialog<QMessageBox>();
        ASSERT_TRUE(alert) << qPrintable(step);
        read(step);
        picture(step, alert);
        QAbstractButton *ok = alert->buttons().value(0);
        ASSERT_TRUE(ok);
        QTest::mouseClick(ok, Qt::LeftButton);
        ASSERT_TRUE(AppWalk::waitUntil([&] { return !walk->model()->alert(); }));
        AppWalk::settle();
    }

    // Opens a context menu as the person does and reads it.
    void readMenu(const QString &step, QMenu *menu)
    {
        ASSERT_TRUE(menu) << qPrintable(step);
        menu->popup(walk->window()->geometry().center());
        ASSERT_TRUE(AppWalk::waitUntil([&] { return menu->isVisible(); }, 5'000));
        read(step);
        menu->close();
        AppWalk::settle();
    }

    static QString slug(Section section)
    {
        switch (section) {
        case Section::device: return u"device"_s;
        case Section::music: return u"music"_s;
        case Section::playlists: return u"playlists"_s;
        case Section::themes: return u"themes"_s;
        case Section::backups: return u"backups"_s;
        case Section::quality: return u"tidy-up"_s;
        case Section::guide: return u"guide"_s;
        }
        return QString();
    }

    void everyPage(const QString &when)
    {
        for (Section section : sections::all) {
            walk->goTo(section);
            ASSERT_TRUE(walk->waitIdle());
            const QString name = when + u'-' + slug(section);
            read(name);
            picture(name);
        }
    }

    std::unique_ptr<AppWalk> walk;
    std::unique_ptr<texts::PolishFinder> finder;
    std::unique_ptr<texts::EnglishFinder> leftovers;
    QString music;
    QString deviceRoot;
    QStringList wrong; // texts in the other language, with where they were read
    QSet<QString> everyText;
    QSet<QString> paintedTexts;
};

class EnglishWalk : public LanguageWalk
{
protected:
    QString language() const override { return u"en"_s; }
};

class PolishWalk : public LanguageWalk
{
protected:
    QString language() const override { return u"pl"_s; }
};

TEST_P(EnglishWalk, everyPageSheetMenuAndAlertReadsEnglish)
{
    walkEverything();
}

TEST_P(PolishWalk, everyPageSheetMenuAndAlertReadsPolish)
{
    walkEverything();
}

void LanguageWalk::walkEverything()
{
    walk->start();
    walk->chooseLanguage(language());
    ASSERT_EQ(AppLocalizer::language(), language());
    // Qt's own dialogs and menus speak Polish only through Qt's own catalogue.
    const bool qtSpeaksTheLanguage =
        english() || QCoreApplication::translate("QFileDialog", "Look in:") != u"Look in:"_s;
    leftovers->setQtWordsChecked(qtSpeaksTheLanguage);
    if (!qtSpeaksTheLanguage)
        std::cout << "[ NOTE     ] Qt's Polish catalogue is not installed: Qt's own words are not looked for\n";
    watchStatus();

    // Nothing yet: the empty states of every page.
    everyPage(u"empty"_s);

    // A folder that is not an iPod: the alert says why.
    const QString notADevice = walk->homePath(u"Documents"_s);
    QDir().mkpath(notADevice);
    walk->trigger(u"Wybierz urządzenie…"_s);
    read(u"device chooser"_s);
    ASSERT_TRUE(walk->answerFileDialog(notADevice));
    readAlert(u"alert-not-a-device"_s);

    // The music, read from the disk.
    walk->trigger(u"Dodaj muzykę…"_s);
    read(u"music chooser"_s);
    ASSERT_TRUE(walk->answerFileDialog(music));
    ASSERT_TRUE(walk->waitIdle());
    ASSERT_TRUE(AppWalk::waitUntil([&] { return !walk->model()->tracks().isEmpty(); }));
    ASSERT_TRUE(walk->waitIdle());

    // The device.
    walk->trigger(u"Wybierz urządzenie…"_s);
    ASSERT_TRUE(walk->answerFileDialog(deviceRoot));
    ASSERT_TRUE(AppWalk::waitUntil([&] { return walk->model()->device().has_value(); }));
    ASSERT_TRUE(walk->waitIdle());

    everyPage(u"full"_s);

    // The library in each of its views, with the context menu of a row.
    TavoModel *model = walk->model();
    walk->goTo(Section::music);
    const std::pair<QString, QString> modes[] = {
        {u"Albumy"_s, u"albums"_s}, {u"Utwory"_s, u"tracks"_s}, {u"Foldery"_s, u"folders"_s}};
    for (const auto &[mode, name] : modes) {
        model->setViewMode(mode);
        AppWalk::settle();
        read(u"library-"_s + name);
        picture(u"library-"_s + name);
    }
    model->setViewMode(u"Albumy"_s);
    AppWalk::settle();
    if (auto *grid = walk->find<AlbumGridView>())
        readMenu(u"album menu"_s, grid->contextMenu(0));
    else
        ADD_FAILURE() << "no album grid";
    model->setViewMode(u"Utwory"_s);
    AppWalk::settle();
    if (auto *list = walk->find<TrackListView>())
        readMenu(u"track menu"_s, list->contextMenu(0));
    else
        ADD_FAILURE() << "no track list";
    model->setViewMode(u"Foldery"_s);
    AppWalk::settle();
    if (auto *tree = walk->find<FolderTreeView>())
        readMenu(u"folder menu"_s, tree->contextMenu(tree->outline()->model()->index(0, 0)));
    else
        ADD_FAILURE() << "no folder tree";
    // The context menu of a text field is Qt's own: it speaks Polish once Qt's
    // catalogue for the language is installed, and is read whenever it should.
    if (auto *field = walk->window()->findChild<QLineEdit *>()) {
        std::unique_ptr<QMenu> menu(field->createStandardContextMenu());
        readMenu(u"text field menu"_s, menu.get());
    } else {
        ADD_FAILURE() << "no text field";
    }
    model->setViewMode(u"Albumy"_s);
    AppWalk::settle();

    // Playing: the mini player with a track, then with a file that is gone.
    {
        const Album album = model->albums().constFirst();
        model->playback()->play(album.tracks.constFirst(), album.tracks);
        AppWalk::waitUntil([&] { return model->playback()->playing() || model->playback()->error().has_value(); }, 5'000);
        read(u"playing"_s);
        picture(u"playing"_s);
        model->playback()->stop();
        const QString gone = music + u"/Corpus/gone.mp3"_s;
        ASSERT_TRUE(QFile::copy(dataDir + u"/corpus/audio/date.mp3"_s, gone));
        Track missing = album.tracks.constFirst();
        missing.id = QUuid::createUuid();
        missing.url = gone;
        QFile::remove(gone);
        model->playback()->play(missing, {missing});
        AppWalk::waitUntil([&] { return model->playback()->error().has_value(); }, 5'000);
        read(u"playing a missing file"_s);
        picture(u"playing-error"_s);
        model->playback()->stop();
        AppWalk::settle();
    }

    // Two albums queued and sent: the summary alert.
    const QList<Album> albums = model->albums();
    ASSERT_GE(albums.size(), 2);
    model->toggle(albums.at(0));
    model->toggle(albums.at(1));
    AppWalk::settle();
    read(u"queued"_s);
    picture(u"queued"_s);
    walk->trigger(u"Wgraj muzykę"_s);
    readAlert(u"alert-transfer"_s);
    ASSERT_TRUE(walk->waitIdle());

    // The iPod's side of the library after the transfer: its albums, a card's
    // menu and an album's sheet offer what belongs to the device.
    walk->goTo(Section::music);
    walk->click(tr(u"Na iPodzie"_s));
    ASSERT_TRUE(AppWalk::waitUntil([&] { return model->libraryOnDevice(); }));
    read(u"library-ipod-unread"_s);
    walk->click(tr(u"Odczytaj iPoda"_s));
    ASSERT_TRUE(walk->waitIdle());
    ASSERT_TRUE(AppWalk::waitUntil([&] { return !model->deviceTracks().isEmpty(); }));
    AppWalk::settle();
    read(u"library-ipod"_s);
    picture(u"library-ipod"_s);
    if (auto *grid = walk->find<AlbumGridView>(); grid && grid->model() && grid->model()->rowCount() > 0)
        readMenu(u"iPod album menu"_s, grid->contextMenu(0));
    if (!model->albums().isEmpty()) {
        model->setOpenAlbum(model->albums().constFirst());
        ASSERT_TRUE(AppWalk::waitUntil([&] { return walk->window()->sheet("openAlbum") != nullptr; }));
        read(u"sheet-album-ipod"_s);
        picture(u"sheet-album-ipod"_s, walk->window()->sheet("openAlbum"));
        walk->window()->sheet("openAlbum")->close();
        AppWalk::settle();
    } else {
        ADD_FAILURE() << "no album on the iPod's side";
    }
    walk->click(tr(u"Na komputerze"_s));
    ASSERT_TRUE(AppWalk::waitUntil([&] { return !model->libraryOnDevice(); }));
    AppWalk::settle();

    // The album sheet (of the album of several artists first) and the cover search sheet.
    {
        const QList<Album> all = model->albums();
        const auto various = std::find_if(all.cbegin(), all.cend(), [](const Album &a) { return a.artist == u"Różni wykonawcy"_s; });
        ASSERT_NE(various, all.cend());
        model->setOpenAlbum(*various);
        ASSERT_TRUE(AppWalk::waitUntil([&] { return walk->window()->sheet("openAlbum") != nullptr; }));
        read(u"sheet-album-various-artists"_s);
        walk->window()->sheet("openAlbum")->close();
        AppWalk::settle();
    }
    model->setOpenAlbum(albums.at(0));
    ASSERT_TRUE(AppWalk::waitUntil([&] { return walk->window()->sheet("openAlbum") != nullptr; }));
    AppWalk::settle();
    read(u"sheet-album"_s);
    picture(u"sheet-album"_s, walk->window()->sheet("openAlbum"));
    walk->window()->sheet("openAlbum")->close();
    AppWalk::settle();
    // The catalogue answers with real releases (their titles are its data).
    {
        QFile answer(dataDir + u"/corpus/musicbrainz/captured-answers/search-in-times-before-the-light-25-results.json"_s);
        ASSERT_TRUE(answer.open(QIODevice::ReadOnly));
        const QByteArray body = answer.readAll();
        allowJson(QJsonDocument::fromJson(body).object());
        walk->server().setResponse("/ws/2/release-group/", {200, {{"Content-Type", "application/json"}}, body});
    }
    model->setCoverLookup(albums.at(0));
    ASSERT_TRUE(AppWalk::waitUntil([&] { return walk->window()->sheet("coverLookup") != nullptr; }));
    // The search asks the loopback service, which knows no such album.
    ASSERT_TRUE(walk->waitIdle());
    AppWalk::waitUntil([] { return false; }, 1'500);
    read(u"sheet-cover-search"_s);
    picture(u"sheet-cover-search"_s, walk->window()->sheet("coverLookup"));
    walk->window()->sheet("coverLookup")->close();
    AppWalk::settle();

    // A playlist, a backup, the themes, the checks.
    walk->goTo(Section::playlists);
    model->setPlaylistName(u"Road trip"_s);
    model->makePlaylist();
    ASSERT_TRUE(walk->waitIdle());
    read(u"playlist made"_s);
    if (model->alert())
        readAlert(u"alert-playlist"_s);

    walk->goTo(Section::backups);
    model->backup();
    ASSERT_TRUE(walk->waitIdle());
    read(u"backup made"_s);
    picture(u"backup-made"_s);
    if (model->alert())
        readAlert(u"alert-backup"_s);

    walk->goTo(Section::themes);
    model->installTheme();
    read(u"theme chooser"_s);
    ASSERT_TRUE(walk->answerFileDialog(dataDir + u"/corpus/rockbox-themes/sprocket.zip"_s));
    ASSERT_TRUE(walk->waitIdle());
    if (model->alert())
        readAlert(u"alert-theme-installed"_s);
    // A file that only calls itself a ZIP: the error alert of a failed install.
    const QString broken = walk->homePath(u"broken.zip"_s);
    {
        QFile file(broken);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("not a zip archive");
    }
    model->installTheme();
    ASSERT_TRUE(walk->answerFileDialog(broken));
    ASSERT_TRUE(walk->waitIdle());
    readAlert(u"alert-theme-failed"_s);
    read(u"themes"_s);
    picture(u"themes"_s);
    ASSERT_FALSE(model->themes().isEmpty());
    model->setOpenTheme(model->themes().constFirst());
    ASSERT_TRUE(AppWalk::waitUntil([&] { return walk->window()->sheet("openTheme") != nullptr; }));
    ASSERT_TRUE(walk->waitIdle());
    read(u"sheet-theme"_s);
    picture(u"sheet-theme"_s, walk->window()->sheet("openTheme"));
    walk->window()->sheet("openTheme")->close();
    AppWalk::settle();

    walk->goTo(Section::quality);
    model->inspectCollection();
    ASSERT_TRUE(walk->waitIdle());
    model->checkDuplicates();
    ASSERT_TRUE(walk->waitIdle());
    read(u"quality checked"_s);
    picture(u"tidy-up-checked"_s);
    if (model->alert())
        readAlert(u"alert-duplicates"_s);
    // The checks of the iPod's side.
    walk->click(tr(u"Na iPodzie"_s));
    ASSERT_TRUE(walk->waitIdle());
    read(u"tidy-up-ipod"_s);
    picture(u"tidy-up-ipod"_s);
    walk->click(tr(u"Na komputerze"_s));
    ASSERT_TRUE(walk->waitIdle());
    model->findMissingCovers();
    ASSERT_TRUE(walk->waitIdle());
    if (model->alert())
        readAlert(u"alert-missing-covers"_s);
    model->repairAvailableCovers();
    ASSERT_TRUE(walk->waitIdle());
    if (model->alert())
        readAlert(u"alert-repair"_s);
    read(u"quality after covers"_s);

    // Cover Flow in its own window.
    model->setShowCoverFlow(true);
    ASSERT_TRUE(AppWalk::waitUntil([] { return CoverFlowWindow::current() && CoverFlowWindow::current()->isVisible(); }));
    // The iPod's albums, read as the window offers, give the flow its covers and captions.
    walk->click(tr(u"Odczytaj albumy z iPoda"_s));
    ASSERT_TRUE(walk->waitIdle());
    ASSERT_TRUE(AppWalk::waitUntil([&] { return !model->deviceTracks().isEmpty(); }));
    AppWalk::waitUntil([] { return false; }, 500);
    read(u"cover flow"_s);
    picture(u"cover-flow"_s, CoverFlowWindow::current());
    CoverFlowWindow::current()->close();
    AppWalk::settle();

    // The guide, both of its sub-pages.
    walk->goTo(Section::guide);
    if (auto *guide = walk->find<GuideView>()) {
        QTest::mouseClick(guide->modelsSegment(), Qt::LeftButton);
        AppWalk::settle();
        read(u"guide-models"_s);
        picture(u"guide-models"_s);
        QTest::mouseClick(guide->guideSegment(), Qt::LeftButton);
        AppWalk::settle();
        read(u"guide"_s);
    } else {
        ADD_FAILURE() << "no guide";
    }

    // The device page once more, after everything was written to it.
    walk->goTo(Section::device);
    read(u"device at the end"_s);

    // Ejecting where the desktop offers no way to: the error alert.
    // (Only a mounted volume can be ejected; a test folder is not one.)
    if (walk->action(u"Wysuń iPoda"_s)->isEnabled()) {
        walk->trigger(u"Wysuń iPoda"_s);
        AppWalk::waitUntil([&] { return model->alert().has_value() || !model->device(); }, 20'000);
        if (model->alert())
            readAlert(u"alert-eject"_s);
        read(u"after eject"_s);
    }

    // A device that tells nothing about itself (no version, no settings), and
    // a Rockbox player that is not an iPod.
    const QString bare = walk->homePath(u"BARE"_s);
    QDir().mkpath(bare + u"/.rockbox"_s);
    const QString other = walk->homePath(u"EROS"_s);
    copyTree(dataDir + u"/corpus/rockbox-device/erosqnative-SoraBee"_s, other);
    for (const QString &root : {bare, other}) {
        allowPath(root);
        walk->trigger(u"Wybierz urządzenie…"_s);
        ASSERT_TRUE(walk->answerFileDialog(root));
        ASSERT_TRUE(AppWalk::waitUntil([&] { return model->device() && model->device()->root == root; }));
        ASSERT_TRUE(walk->waitIdle());
        const QString name = QFileInfo(root).fileName().toLower();
        for (Section section : {Section::device, Section::music, Section::themes, Section::backups}) {
            walk->goTo(section);
            ASSERT_TRUE(walk->waitIdle());
            read(name + u'-' + slug(section));
        }
        walk->goTo(Section::device);
        picture(name + u"-device"_s);
    }
    walk->quit();

    // The reading really reached what is held, painted and answered: a page
    // title, a card's painted title, a menu item, a result of the cover search.
    for (const QString &seen : {tr(u"Twój iPod"_s), u"Hymns for the Exiled"_s, tr(u"Wybierz urządzenie…"_s),
                                u"In Times Before the Light"_s, tr(u"Pokaż w menedżerze plików"_s)})
        EXPECT_TRUE(everyText.contains(seen)) << qPrintable(seen);
    // Album cards are painted rows: their titles come from the paint.
    EXPECT_TRUE(paintedTexts.contains(u"Hymns for the Exiled"_s));
}

INSTANTIATE_TEST_SUITE_P(Palettes, EnglishWalk, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool> &info) { return info.param ? "dark" : "light"; });
// The texts do not change with the palette: one Polish walk reads them all.
INSTANTIATE_TEST_SUITE_P(Palettes, PolishWalk, ::testing::Values(false),
                         [](const ::testing::TestParamInfo<bool> &info) { return info.param ? "dark" : "light"; });

} // namespace
