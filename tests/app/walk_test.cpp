// The real application, end to end, as a person uses it: started with an
// empty home folder, fed real music, given a device folder holding a real
// Rockbox tree, used through every page and sheet, quit and started again.
// Every step looks at what reached the device folder and the settings file,
// not only at what the window says.

#include "support/appwalk.h"

#include "model/tavomodel.h"
#include "platform/defaults.h"
#include "support/devicefixture.h"
#include "support/imagefixtures.h"
#include "support/qtprinters.h"
#include "ui/album/coversearchview.h"
#include "ui/kit/kit.h"
#include "ui/library/albumgrid.h"
#include "ui/library/librarypage.h"
#include "ui/library/segmentedpicker.h"
#include "ui/coverflow/coverflowview.h"
#include "ui/coverflow/coverflowwindow.h"
#include "ui/guide/guideview.h"
#include "ui/shell/inspector.h"
#include "ui/shell/ipodview.h"
#include "ui/shell/sidebar.h"
#include "ui/shell/mainwindow.h"
#include "ui/shell/transferbar.h"
#include "ui/themes/themegrid.h"
#include "device/themeimage.h"

#include <QComboBox>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QDir>
#include <QDirIterator>
#include <QJsonDocument>
#include <QJsonObject>
#include <QFile>
#include <QFileInfo>
#include <QKeySequence>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

const QString data = QStringLiteral(VONTARO_TEST_DATA_DIR);

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Every regular file below a folder, as sorted paths relative to it.
QStringList filesBelow(const QString &folder)
{
    QStringList files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext())
        files.append(QDir(folder).relativeFilePath(it.next()));
    files.sort();
    return files;
}

// What the settings file holds under a key, read as a new process reads it
// (once every assignment so far has reached it).
QVariant stored(const AppWalk &walk, const QString &key)
{
    Defaults::flush();
    // The library's paths are kept in a file of their own beside the settings.
    if (key == u"libraryPaths"_s) {
        Defaults::reload();
        const std::optional<QStringList> paths = Defaults::stringList(key);
        return paths ? QVariant(*paths) : QVariant();
    }
    QSettings file(walk.settingsFile(), QSettings::IniFormat);
    return file.value(QString::fromLatin1(QUrl::toPercentEncoding(key, QByteArray(), "/\\")));
}

// The theme gallery's index for the iPod Video, naming one of the device's themes.
QByteArray galleryPage()
{
    return "<html><body><table><tr><th class=\"t\">\n  <a href=\"index.php?themeid=7&amp;target=ipodvideo\">"
           "iClassic</a></th></tr>\n<tr><td><a href=\"index.php?themeid=7&target=ipodvideo\"><img path=\"themes/7/\" "
           "src=\"themes/7/wps.png\" oversrc=\"menu.png\"></a><br><strong>Submitter:</strong>&nbsp;Jane Doe</td></tr>\n"
           "</table></body></html>";
}

bool samePath(const QString &a, const QString &b)
{
    return QFileInfo(a).canonicalFilePath() == QFileInfo(b).canonicalFilePath();
}

class Walk : public ::testing::Test
{
protected:
    // The person's computer: music in ~/Music, theme packages in ~/Downloads,
    // and two folders holding real Rockbox trees standing in for devices: an
    // iPod Video's (with a settings file the firmware wrote) and an Eros Q's.
    void prepareHome()
    {
        for (const QString &folder : {u"audio"_s, u"flac"_s}) {
            QDir().mkpath(walk.homePath(u"Music/"_s + folder));
            for (const QString &name : QDir(data + u"/corpus/"_s + folder).entryList(QDir::Files))
                if (!name.endsWith(u".txt"_s)) {
                    ASSERT_TRUE(QFile::copy(data + u"/corpus/"_s + folder + u'/' + name,
                                            walk.homePath(u"Music/"_s + folder + u'/' + name)));
                }
        }
        QDir().mkpath(walk.homePath(u"Downloads"_s));
        for (const QString &zip : {u"OptimalInfo_iPodVideo5G.zip"_s, u"sprocket.zip"_s})
            ASSERT_TRUE(QFile::copy(data + u"/corpus/rockbox-themes/"_s + zip, walk.homePath(u"Downloads/"_s + zip)));
        DeviceFixture::copyTree(data + u"/corpus/rockbox-device/ipodvideo-budm-rockb0x/.rockbox"_s,
                                walk.homePath(u"IPOD/.rockbox"_s));
        DeviceFixture::copyTree(data + u"/corpus/rockbox-device/erosqnative-SoraBee/.rockbox"_s,
                                walk.homePath(u"EROSQ/.rockbox"_s));
        ASSERT_TRUE(QFile::copy(data + u"/corpus/rockbox-device/rockbox-repo-sample/config.cfg"_s,
                                walk.homePath(u"IPOD/.rockbox/config.cfg"_s)));
        // Copies of read-only files are read-only; a person's own files are not.
        QDirIterator it(walk.home(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext())
            QFile::setPermissions(it.next(), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    }

    int audioFilesIn(const QString &folder) const
    {
        int count = 0;
        for (const QString &name : QDir(walk.homePath(folder)).entryList(QDir::Files))
            count += TavoModel::audioExtensions().contains(QFileInfo(name).suffix().toLower());
        return count;
    }

    LibraryPage *libraryPage() const { return qobject_cast<LibraryPage *>(walk.window()->page()); }

    AppWalk walk;
};

// One road per language and palette, each saving its pictures.
struct Look {
    const char *language;
    bool dark;
};

void PrintTo(const Look &look, std::ostream *out) { *out << look.language << (look.dark ? " dark" : " light"); }

class Road : public Walk, public ::testing::WithParamInterface<Look>
{
protected:
    QString picture(const QString &what) const
    {
        return QString::fromLatin1(GetParam().language) + (GetParam().dark ? u"-dark-"_s : u"-light-"_s) + what;
    }
    void grab(const QString &what, QWidget *widget = nullptr) { walk.grab(picture(what), widget); }

    // The album card's point of the album with these names in the grid shown.
    QPoint cardPoint(const QString &artist, const QString &title, bool button)
    {
        AlbumGridView *grid = libraryPage()->grid();
        for (int row = 0; row < grid->cards()->rowCount(); ++row) {
            const Album &album = grid->cards()->album(row);
            if (album.artist != artist || album.title != title)
                continue;
            const QModelIndex index = grid->cards()->index(row);
            grid->scrollTo(index);
            AppWalk::settle();
            const QRect card = grid->visualRect(index);
            const AlbumCardLayout l = AlbumCardLayout::make(grid->columnWidth(), grid->cards()->card(row).discs >= 2);
            const QPointF local = button ? l.button.topLeft() + QPointF(5, l.button.height() / 2) : l.cover.center();
            return (QPointF(card.topLeft()) + local).toPoint();
        }
        ADD_FAILURE() << "no card for " << qPrintable(artist) << " / " << qPrintable(title);
        return {};
    }
    void clickCard(const QString &artist, const QString &title, bool button)
    {
        const QPoint at = cardPoint(artist, title, button);
        QTest::mouseClick(libraryPage()->grid()->viewport(), Qt::LeftButton, {}, at);
        AppWalk::settle();
    }
    void dismissAlert()
    {
        ASSERT_TRUE(AppWalk::waitUntil([&] { return walk.window()->alertBox() && walk.window()->alertBox()->isVisible(); }, 10'000));
        QTest::mouseClick(walk.window()->alertBox()->button(QMessageBox::Ok), Qt::LeftButton);
        ASSERT_FALSE(walk.model()->alert());
    }
};

TEST_P(Road, fromAnEmptyHomeThroughEveryPageToARestart)
{
    const QString language = QString::fromLatin1(GetParam().language);
    AppWalk::usePalette(GetParam().dark);
    prepareHome();
    walk.server().setResponse("/index.php", {200, {{"Content-Type", "text/html"}}, galleryPage()});
    walk.server().setResponse("/ws/2/release-group/",
                              {200, {{"Content-Type", "application/json"}},
                               readAll(data + u"/corpus/musicbrainz/captured-answers/search-in-times-before-the-light-25-results.json"_s)});
    // Every picture the services are asked for.
    walk.server().setFallback({200, {{"Content-Type", "image/jpeg"}}, fixtures::jpeg(500, 500)});
    walk.start();
    EXPECT_FALSE(stored(walk, u"appLanguage"_s).isValid());
    walk.chooseLanguage(language);
    Defaults::flush();
    EXPECT_EQ(stored(walk, u"appLanguage"_s).toString(), language);

    // --- nothing saved ---
    EXPECT_FALSE(stored(walk, u"libraryPaths"_s).isValid());
    EXPECT_TRUE(walk.model()->tracks().isEmpty());
    EXPECT_FALSE(walk.model()->device());
    EXPECT_EQ(walk.model()->section(), Section::music);
    ASSERT_TRUE(libraryPage());
    EXPECT_EQ(libraryPage()->content(), LibraryPage::Content::empty);
    grab(u"music-empty"_s);

    // --- music: a folder through the menu's shortcut, another dropped on the page ---
    walk.press(QKeySequence(Qt::CTRL | Qt::Key_O));
    ASSERT_TRUE(walk.answerFileDialog(walk.homePath(u"Music/audio"_s)));
    ASSERT_TRUE(walk.waitIdle());
    const int audioCount = audioFilesIn(u"Music/audio"_s);
    EXPECT_EQ(walk.model()->tracks().size(), audioCount);
    ASSERT_TRUE(AppWalk::drop(libraryPage(), {walk.homePath(u"Music/flac"_s)}));
    ASSERT_TRUE(walk.waitIdle());
    const int flacCount = audioFilesIn(u"Music/flac"_s);
    ASSERT_EQ(walk.model()->tracks().size(), audioCount + flacCount);
    // Every file is kept in the saved library and waits in the queue.
    QStringList saved = stored(walk, u"libraryPaths"_s).toStringList();
    saved.sort();
    QStringList imported;
    for (const Track &track : walk.model()->tracks())
        imported.append(track.url);
    imported.sort();
    EXPECT_EQ(saved, imported);
    EXPECT_EQ(walk.model()->queue().size(), imported.size());
    EXPECT_EQ(libraryPage()->content(), LibraryPage::Content::albums);

    // --- view settings, saved as they are chosen ---
    ASSERT_TRUE(AppWalk::chooseItem(libraryPage()->sortPicker(), kit::tr(u"Rok"_s)));
    libraryPage()->tileSlider()->setFocus();
    QTest::keyClick(libraryPage()->tileSlider(), Qt::Key_Home);
    Defaults::flush();
    EXPECT_EQ(stored(walk, u"sortMode"_s).toString(), walk.model()->sortMode());
    EXPECT_EQ(stored(walk, u"tileSize"_s).toDouble(), LibraryPage::minimumTile);
    grab(u"music"_s);

    // --- a device that is no iPod first: its themes and its target are read ---
    walk.trigger(u"Wybierz urządzenie…"_s);
    ASSERT_TRUE(walk.answerFileDialog(walk.homePath(u"EROSQ"_s)));
    ASSERT_TRUE(AppWalk::waitUntil([&] { return walk.model()->device().has_value(); }));
    ASSERT_TRUE(AppWalk::waitUntil([&] { return walk.model()->themes().size() == 2; }));
    ASSERT_TRUE(walk.waitIdle());
    EXPECT_EQ(walk.model()->deviceInfo().value(u"Target"_s), u"erosqnative"_s);

    // --- the device: a folder holding a real iPod's Rockbox tree ---
    walk.trigger(u"Wybierz urządzenie…"_s);
    ASSERT_TRUE(walk.answerFileDialog(walk.homePath(u"IPOD"_s)));
    // The chosen folder is inspected in the background.
    ASSERT_TRUE(AppWalk::waitUntil([&] {
        return walk.model()->device() && samePath(walk.model()->device()->root, walk.homePath(u"IPOD"_s));
    }));
    ASSERT_TRUE(walk.model()->device()) << qPrintable(walk.model()->alert().value_or(QString()));
    ASSERT_TRUE(walk.waitIdle());
    const QString root = walk.model()->device()->root;
    EXPECT_EQ(QFileInfo(root).canonicalFilePath(), QFileInfo(walk.homePath(u"IPOD"_s)).canonicalFilePath());
    ASSERT_TRUE(AppWalk::waitUntil([&] { return walk.model()->themes().size() == 4; }));
    EXPECT_TRUE(walk.window()->inspector()->deviceBlock()->isVisible());
    // The gallery was asked for the firmware's target, on the loopback server only.
    ASSERT_TRUE(AppWalk::waitUntil([&] {
        for (const auto &request : walk.server().requests())
            if (request.target == "/index.php?target=ipodvideo")
                return true;
        return false;
    }));

    // --- the device page: model and colour ---
    walk.goTo(Section::device);
    auto *modelPicker = walk.find<QComboBox>(u"modelPicker"_s);
    auto *finishPicker = walk.find<QComboBox>(u"finishPicker"_s);
    ASSERT_TRUE(modelPicker && finishPicker);
    const QString chosenModel = modelPicker->itemData(2).toString();
    const QString chosenFinish = finishPicker->itemData(finishPicker->count() - 1).toString();
    ASSERT_TRUE(AppWalk::chooseItem(modelPicker, modelPicker->itemText(2)));
    finishPicker = walk.find<QComboBox>(u"finishPicker"_s);
    ASSERT_TRUE(AppWalk::chooseItem(finishPicker, finishPicker->itemText(finishPicker->count() - 1)));
    Defaults::flush();
    EXPECT_EQ(stored(walk, u"appearance-"_s + root).toString(), chosenModel);
    EXPECT_EQ(stored(walk, u"finish-"_s + root).toString(), chosenFinish);
    EXPECT_EQ(walk.model()->deviceProfile().id, chosenModel);
    // Each fact of the device is shown whole, however it wraps: the firmware's font among them.
    bool fontShown = false;
    for (QLabel *fact : walk.visible<QLabel>()) {
        if (!fact->objectName().startsWith(u"fact"_s) || fact->text().isEmpty())
            continue;
        fontShown = fontShown || fact->text() == u"16-GNU-Unifont.fnt"_s;
        EXPECT_GE(fact->width(), fact->fontMetrics().horizontalAdvance(fact->text())) << qPrintable(fact->text());
        EXPECT_GE(fact->height(), fact->heightForWidth(fact->width())) << qPrintable(fact->text());
    }
    EXPECT_TRUE(fontShown);
    grab(u"device"_s);

    // --- two albums queued and sent ---
    walk.goTo(Section::music);
    QTest::mouseClick(walk.window()->transferBar()->clearButton(), Qt::LeftButton);
    EXPECT_TRUE(walk.model()->queue().isEmpty());
    const QList<std::pair<QString, QString>> chosen{{u"Anais Mitchell"_s, u"Hymns for the Exiled"_s},
                                                    {u"the album artist"_s, u"the album"_s}};
    QList<Track> sent;
    for (const auto &[artist, title] : chosen) {
        clickCard(artist, title, true);
        for (const Album &album : walk.model()->albums())
            if (album.artist == artist && album.title == title)
                sent += album.tracks;
    }
    ASSERT_EQ(sent.size(), 7);
    EXPECT_EQ(walk.model()->queue().size(), sent.size());
    grab(u"music-queued"_s);
    QTest::mouseClick(walk.window()->transferBar()->sendButton(), Qt::LeftButton);
    ASSERT_TRUE(walk.waitIdle());
    EXPECT_EQ(walk.model()->status(), u"Wgrano: 7. Pominięto identyczne: 0."_s);
    grab(u"music-sent"_s);
    ASSERT_TRUE(AppWalk::waitUntil([&] { return walk.window()->alertBox() && walk.window()->alertBox()->isVisible(); }));
    grab(u"alert-sent"_s, walk.window()->alertBox());
    dismissAlert();
    EXPECT_TRUE(walk.model()->queue().isEmpty());
    // Each file arrived whole under Music/<artist>/<album>.
    for (const Track &track : sent) {
        const QString onDevice = root + u"/Music/"_s + track.artist + u'/' + track.album + u'/' + QFileInfo(track.url).fileName();
        EXPECT_EQ(readAll(onDevice), readAll(track.url)) << qPrintable(onDevice);
    }
    EXPECT_EQ(filesBelow(root + u"/Music"_s),
              (QStringList{u"Anais Mitchell/Hymns for the Exiled/id3v22-test.mp3"_s, u"the album artist/the album/date.mp3"_s,
                           u"the album artist/the album/full.aiff"_s, u"the album artist/the album/full.alac.m4a"_s,
                           u"the album artist/the album/full.m4a"_s, u"the album artist/the album/full.mp3"_s,
                           u"the album artist/the album/space_time.mp3"_s}));
    EXPECT_EQ(walk.model()->transferred().size(), 7);
    // Nothing left to send; a test folder is no volume to eject.
    EXPECT_FALSE(walk.action(u"Wgraj muzykę"_s)->isEnabled());
    EXPECT_FALSE(walk.action(u"Wysuń iPoda"_s)->isEnabled());
    // A refresh from the keyboard keeps the chosen folder and reads it again.
    QSignalSpy themesRead(walk.model(), &TavoModel::themesChanged);
    walk.press(QKeySequence(Qt::CTRL | Qt::Key_R));
    ASSERT_TRUE(themesRead.count() > 0 || themesRead.wait(10'000));
    ASSERT_TRUE(walk.waitIdle());
    ASSERT_TRUE(walk.model()->device());
    EXPECT_TRUE(samePath(walk.model()->device()->root, root));
    EXPECT_EQ(walk.model()->themes().size(), 4);

    // --- a playlist of what was sent ---
    walk.goTo(Section::playlists);
    auto *name = walk.find<QLineEdit>(u"name"_s);
    ASSERT_TRUE(name);
    name->setFocus();
    name->selectAll();
    QTest::keyClicks(name, u"Droga"_s);
    grab(u"playlists"_s);
    QTest::mouseClick(walk.find<QPushButton>(u"save"_s), Qt::LeftButton);
    ASSERT_TRUE(walk.waitIdle());
    const QStringList lines = QString::fromUtf8(readAll(root + u"/Playlists/Droga.m3u8"_s)).split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 8) << qPrintable(lines.join(u'|'));
    EXPECT_EQ(lines.first().trimmed(), u"#EXTM3U"_s);
    for (const QString &line : lines.mid(1)) {
        EXPECT_TRUE(line.startsWith(u"/Music/"_s)) << qPrintable(line);
        EXPECT_TRUE(QFile::exists(root + line.trimmed())) << qPrintable(line);
    }
    EXPECT_TRUE(AppWalk::waitUntil([&] { return walk.model()->playlists().size() == 1; }));
    grab(u"playlists-saved"_s);
    if (walk.model()->alert())
        dismissAlert();

    // --- a backup of the device's settings ---
    walk.goTo(Section::backups);
    QTest::mouseClick(walk.find<QPushButton>(u"backup"_s), Qt::LeftButton);
    ASSERT_TRUE(walk.waitIdle());
    if (walk.model()->alert())
        dismissAlert();
    const QString backups = walk.homePath(u".local/share/Vontaro/Backups"_s);
    QStringList folders = QDir(backups).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    ASSERT_EQ(folders.size(), 1);
    const QString backup = backups + u'/' + folders.first();
    EXPECT_TRUE(QFile::exists(backup + u"/README.txt"_s));
    // The settings and every theme file, byte for byte.
    for (const QString &file : filesBelow(root + u"/.rockbox"_s)) {
        static const QStringList kept{u"config.cfg"_s, u"themes/"_s, u"wps/"_s, u"fonts/"_s, u"icons/"_s, u"backdrops/"_s};
        if (std::none_of(kept.cbegin(), kept.cend(), [&](const QString &k) { return file.startsWith(k); }))
            continue;
        EXPECT_EQ(readAll(backup + u'/' + file), readAll(root + u"/.rockbox/"_s + file)) << qPrintable(file);
    }
    grab(u"backups"_s);

    // --- the two real theme packages ---
    walk.goTo(Section::themes);
    struct Package {
        QString zip, cfg, file;
        qint64 bytes;
    };
    const QList<Package> packages{{u"OptimalInfo_iPodVideo5G.zip"_s, u"OptimalInfo.cfg"_s, u"fonts/20-Profont-basil.fnt"_s, 217434},
                                  {u"sprocket.zip"_s, u"sprocket.cfg"_s, u"wps/sprocket.sbs"_s, 3125}};
    for (const Package &package : packages) {
        QTest::mouseClick(walk.find<QPushButton>(u"importZip"_s), Qt::LeftButton);
        ASSERT_TRUE(walk.answerFileDialog(walk.homePath(u"Downloads/"_s + package.zip)));
        ASSERT_TRUE(walk.waitIdle());
        EXPECT_EQ(walk.model()->status(), u"Zainstalowano motywy: 1"_s);
        if (walk.model()->alert())
            dismissAlert();
        EXPECT_TRUE(QFile::exists(root + u"/.rockbox/themes/"_s + package.cfg)) << qPrintable(package.cfg);
        EXPECT_EQ(QFileInfo(root + u"/.rockbox/"_s + package.file).size(), package.bytes) << qPrintable(package.file);
    }
    ASSERT_TRUE(AppWalk::waitUntil([&] { return walk.model()->themes().size() == 6; }));
    // Each installation kept the settings first.
    EXPECT_EQ(QDir(backups).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size(), 3);
    grab(u"themes"_s);
    ThemeGrid *grid = walk.find<ThemeGrid>(u"themeGrid"_s);
    ASSERT_TRUE(grid);
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->viewportRect(grid->card(0).picture).center().toPoint());
    ASSERT_TRUE(AppWalk::waitUntil([&] { return walk.window()->sheet("openTheme") && walk.window()->sheet("openTheme")->isVisible(); }));
    // The theme's own backdrop as its playing screen, read from the device.
    const QList<ThemeImage *> screens = walk.window()->sheet("openTheme")->findChildren<ThemeImage *>();
    ASSERT_TRUE(AppWalk::waitUntil([&] {
        return std::none_of(screens.cbegin(), screens.cend(), [](ThemeImage *image) {
            return image->loader().state() == ThemeImageLoader::State::loading;
        });
    }));
    ASSERT_EQ(screens.size(), 2);
    EXPECT_EQ(screens[0]->loader().state(), ThemeImageLoader::State::loaded);
    EXPECT_EQ(screens[0]->url(), QUrl::fromLocalFile(root + u"/.rockbox/backdrops/cabbiev2.bmp"_s));
    grab(u"theme-detail"_s, walk.window()->sheet("openTheme"));
    QTest::mouseClick(walk.find<QPushButton>(u"done"_s), Qt::LeftButton);
    ASSERT_TRUE(AppWalk::waitUntil([&] { return !walk.model()->openTheme(); }));

    // --- the collection checks ---
    walk.goTo(Section::quality);
    const QStringList deviceBefore = filesBelow(root);
    QTest::mouseClick(walk.find<QPushButton>(u"checkDuplicates"_s), Qt::LeftButton);
    ASSERT_TRUE(walk.waitIdle());
    // The corpus holds no two identical files.
    EXPECT_EQ(walk.model()->duplicateStatus(), u"Znaleziono grup identycznych plików: 0. Sprawdzone przez SHA-256."_s);
    EXPECT_TRUE(walk.model()->duplicateIssues().isEmpty());
    if (walk.model()->alert())
        dismissAlert();
    grab(u"quality"_s);
    // The pictures the library's files carry become covers Rockbox shows,
    // kept on the computer until their albums are sent.
    QTest::mouseClick(walk.find<QPushButton>(u"repairCovers"_s), Qt::LeftButton);
    ASSERT_TRUE(walk.waitIdle());
    EXPECT_EQ(walk.model()->status(), u"Naprawione albumy: 3. Nie udało się naprawić: 0."_s);
    if (walk.model()->alert())
        dismissAlert();
    Defaults::flush();
    const QJsonObject overrides = QJsonDocument::fromJson(stored(walk, u"artworkOverrides"_s).toString().toUtf8()).object();
    EXPECT_GE(overrides.size(), 3);
    for (const QJsonValue &cached : overrides)
        EXPECT_TRUE(QFile::exists(cached.toString())) << qPrintable(cached.toString());
    // The albums without any picture are looked up online; none of the
    // service's answers names them, so each is left for a choice by hand.
    walk.server().clearRequests();
    QTest::mouseClick(walk.find<QPushButton>(u"findMissing"_s), Qt::LeftButton);
    ASSERT_TRUE(walk.waitIdle());
    EXPECT_EQ(walk.model()->status(), u"Dodano okładki: 0. Do wyboru ręcznie: 4. Niedostępne: 0."_s);
    int searches = 0;
    for (const auto &request : walk.server().requests())
        searches += request.path() == "/ws/2/release-group/";
    // Two of the four albums bear the same names: their one answer is kept.
    EXPECT_EQ(searches, 3);
    if (walk.model()->alert())
        dismissAlert();
    EXPECT_EQ(filesBelow(root), deviceBefore);

    // --- an album, its cover search ---
    walk.goTo(Section::music);
    clickCard(u"the artist"_s, u"the album"_s, false);
    QDialog *detail = walk.window()->sheet("openAlbum");
    ASSERT_TRUE(detail && detail->isVisible());
    grab(u"album-detail"_s, detail);
    walk.click(kit::tr(u"Znajdź w sieci…"_s));
    auto *search = walk.waitForDialog<CoverSearchView>();
    ASSERT_TRUE(search);
    ASSERT_TRUE(AppWalk::waitUntil([&] { return !search->searching() && !search->results().isEmpty(); }));
    ASSERT_TRUE(AppWalk::waitUntil([&] {
        for (RemoteThumbnail *t : search->thumbnails())
            if (t->state() == RemoteThumbnail::State::loading)
                return false;
        return true;
    }));
    grab(u"cover-search"_s, search);
    walk.click(kit::tr(u"Pobierz i dodaj"_s));
    ASSERT_TRUE(walk.waitIdle());
    EXPECT_EQ(walk.model()->status(), u"Pobrano okładkę; zostanie wgrana razem z albumem."_s);
    Defaults::flush();
    // The chosen release is remembered as the cover's source, its picture cached.
    const QJsonObject sources = QJsonDocument::fromJson(stored(walk, u"coverSources"_s).toString().toUtf8()).object();
    EXPECT_EQ(sources.size(), 1);
    EXPECT_GT(QJsonDocument::fromJson(stored(walk, u"artworkOverrides"_s).toString().toUtf8()).object().size(),
              overrides.size());
    if (walk.model()->alert())
        dismissAlert();
    if (search && search->isVisible())
        search->close();
    if (walk.window()->sheet("openAlbum"))
        walk.click(kit::tr(u"Gotowe"_s));
    ASSERT_TRUE(AppWalk::waitUntil([&] { return !walk.model()->openAlbum(); }));

    // --- the iPod's own music, then Cover Flow: three quick clicks on the inspector's iPod ---
    QTest::mouseClick(libraryPage()->deviceButton(), Qt::LeftButton);
    ASSERT_TRUE(walk.waitIdle());
    EXPECT_EQ(walk.model()->deviceTracks().size(), sent.size());
    QTest::mouseClick(libraryPage()->sourcePicker()->button(1), Qt::LeftButton);
    ASSERT_TRUE(walk.model()->libraryOnDevice());
    EXPECT_EQ(walk.model()->albums().size(), 2);
    grab(u"music-ipod"_s);
    QTest::mouseClick(libraryPage()->sourcePicker()->button(0), Qt::LeftButton);
    ASSERT_FALSE(walk.model()->libraryOnDevice());
    IPodView *ipod = walk.window()->inspector()->ipod();
    ASSERT_TRUE(ipod && ipod->isVisible());
    const QPointF centre = QRectF(ipod->rect()).center();
    for (quint64 at : {50'000u, 50'150u, 50'300u}) {
        QMouseEvent press(QEvent::MouseButtonPress, centre, ipod->mapToGlobal(centre), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        press.setTimestamp(at);
        QApplication::sendEvent(ipod, &press);
        QMouseEvent release(QEvent::MouseButtonRelease, centre, ipod->mapToGlobal(centre), Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        release.setTimestamp(at + 20);
        QApplication::sendEvent(ipod, &release);
    }
    ASSERT_TRUE(AppWalk::waitUntil([&] { return CoverFlowWindow::current() && CoverFlowWindow::current()->isVisible(); }));
    EXPECT_TRUE(walk.model()->libraryOnDevice());
    ASSERT_TRUE(walk.waitIdle());
    // The two albums sent, built after the window's short pause.
    ASSERT_TRUE(AppWalk::waitUntil([&] {
        const CoverFlowView *view = CoverFlowWindow::current()->view();
        return !view->loading() && view->items().size() == 2;
    }));
    grab(u"coverflow"_s, CoverFlowWindow::current());
    CoverFlowWindow::current()->close();
    ASSERT_TRUE(AppWalk::waitUntil([&] { return !walk.model()->showCoverFlow(); }));

    // --- the guide and its gallery of iPods ---
    walk.goTo(Section::guide);
    grab(u"guide"_s);
    auto *guide = qobject_cast<GuideView *>(walk.window()->page());
    ASSERT_TRUE(guide);
    QTest::mouseClick(guide->modelsSegment(), Qt::LeftButton);
    grab(u"guide-models"_s);

    // --- the other language from the sidebar, the track list, and quit ---
    const QString other = language == u"pl"_s ? u"en"_s : u"pl"_s;
    walk.goTo(Section::music);
    QSignalSpy rebuilt(walk.window(), &MainWindow::rebuilt);
    ASSERT_TRUE(AppWalk::chooseItem(walk.window()->sidebar()->languagePicker(), other.toUpper()));
    ASSERT_TRUE(rebuilt.count() > 0 || rebuilt.wait(10'000));
    ASSERT_TRUE(AppWalk::chooseItem(libraryPage()->viewPicker(), kit::tr(u"Foldery"_s)));
    EXPECT_EQ(libraryPage()->content(), LibraryPage::Content::folders);
    grab(u"music-folders"_s);
    ASSERT_TRUE(AppWalk::chooseItem(libraryPage()->viewPicker(), kit::tr(u"Utwory"_s)));
    EXPECT_EQ(libraryPage()->content(), LibraryPage::Content::tracks);
    grab(u"music-tracks"_s);
    const QString viewMode = walk.model()->viewMode();
    const QString sortMode = walk.model()->sortMode();
    const QStringList libraryFiles = imported;
    walk.quit();
    EXPECT_EQ(stored(walk, u"appLanguage"_s).toString(), other);
    EXPECT_EQ(stored(walk, u"viewMode"_s).toString(), viewMode);

    // --- the next start finds everything as it was left ---
    walk.start();
    ASSERT_TRUE(walk.waitIdle());
    QStringList restored;
    for (const Track &track : walk.model()->tracks())
        restored.append(track.url);
    restored.sort();
    EXPECT_EQ(restored, libraryFiles);
    EXPECT_EQ(walk.model()->viewMode(), viewMode);
    EXPECT_EQ(walk.model()->sortMode(), sortMode);
    EXPECT_EQ(walk.model()->tileSize(), LibraryPage::minimumTile);
    EXPECT_EQ(walk.window()->sidebar()->button(Section::music)->text(), other == u"en"_s ? u"Music"_s : u"Muzyka"_s);
    ASSERT_TRUE(libraryPage());
    EXPECT_EQ(libraryPage()->content(), LibraryPage::Content::tracks);
    EXPECT_EQ(libraryPage()->sortPicker()->currentText(), kit::tr(u"Rok"_s));
    // The device folder chosen again shows the model and colour picked for it.
    QTest::mouseClick(walk.window()->inspector()->chooseButton(), Qt::LeftButton);
    ASSERT_TRUE(walk.answerFileDialog(walk.homePath(u"IPOD"_s)));
    ASSERT_TRUE(AppWalk::waitUntil([&] { return walk.model()->device().has_value(); }));
    ASSERT_TRUE(walk.waitIdle());
    EXPECT_EQ(walk.model()->deviceProfile().id, chosenModel);
    EXPECT_EQ(walk.model()->deviceFinish(), chosenFinish);
    walk.goTo(Section::device);
    EXPECT_EQ(walk.find<QComboBox>(u"modelPicker"_s)->currentData().toString(), chosenModel);
    EXPECT_EQ(walk.find<QComboBox>(u"finishPicker"_s)->currentData().toString(), chosenFinish);
    grab(u"restarted-device"_s);
    walk.quit();
}

INSTANTIATE_TEST_SUITE_P(EveryLook, Road,
                         ::testing::Values(Look{"pl", false}, Look{"en", false}, Look{"pl", true}, Look{"en", true}),
                         [](const ::testing::TestParamInfo<Look> &info) {
                             return std::string(info.param.language) + (info.param.dark ? "Dark" : "Light");
                         });

} // namespace
