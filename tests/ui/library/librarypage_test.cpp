#include "ui/library/librarypage.h"

#include "librarytesting.h"
#include "ui/kit/kit.h"
#include "ui/library/albumgrid.h"
#include "ui/library/covercache.h"
#include "ui/library/foldertree.h"
#include "ui/library/segmentedpicker.h"
#include "ui/library/tracklist.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDropEvent>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

using namespace librarytesting;

namespace {

// The page with its dropped files recorded instead of imported.
class RecordingPage : public LibraryPage
{
public:
    using LibraryPage::LibraryPage;
    QList<QStringList> imports;

protected:
    void importDropped(const QStringList &paths) override { imports.append(paths); }
};

class LibraryPageTest : public LibraryTest
{
protected:
    void SetUp() override
    {
        LibraryTest::SetUp();
        covers = std::make_unique<CoverCache>();
    }
    void TearDown() override
    {
        page.reset();
        holder.reset();
        covers.reset();
        LibraryTest::TearDown();
    }

    void makePage(const QPalette &palette = kit::lightPalette(), QSize size = {1000, 780})
    {
        page.reset();
        holder = std::make_unique<QWidget>();
        holder->setPalette(palette);
        holder->setAutoFillBackground(true);
        holder->resize(size);
        page = std::make_unique<RecordingPage>(model.get(), holder.get(), &workspace, covers.get());
        page->resize(size);
        holder->show();
        QCoreApplication::processEvents();
    }

    // Two albums: FLAC Hi-Res and MP3.
    QList<Track> library()
    {
        Spec hires;
        hires.bitDepth = 24;
        hires.sampleRate = 96000;
        QList<Track> tracks = album(u"Ala"_s, u"Źródła"_s, 2, hires);
        Spec mp3;
        mp3.codec = u"MP3"_s;
        tracks += album(u"Bartek"_s, u"Jedna"_s, 3, mp3);
        return tracks;
    }

    // Sends a drop of these URLs; true when the page took it.
    bool drop(const QList<QUrl> &urls)
    {
        auto *mime = new QMimeData;
        mime->setUrls(urls);
        const QPointF at(page->width() / 2.0, page->height() / 2.0);
        QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(page.get(), &enter);
        QDropEvent event(at, Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(page.get(), &event);
        delete mime;
        return enter.isAccepted() && event.isAccepted();
    }

    std::unique_ptr<CoverCache> covers;
    RecordingWorkspace workspace;
    std::unique_ptr<QWidget> holder;
    std::unique_ptr<RecordingPage> page;
};

TEST_F(LibraryPageTest, EmptyStatesAndCounts)
{
    makePage();
    struct Case {
        const char *view;
        const char *format;
        bool hiRes;
    } filters[] = {{"Albumy", "Wszystko", false}, {"Utwory", "FLAC", true}, {"Foldery", "MP3", false}};
    for (const Case &c : filters) {
        model->setViewMode(QString::fromUtf8(c.view));
        model->setFormatFilter(QString::fromUtf8(c.format));
        model->setHiResOnly(c.hiRes);
        EXPECT_EQ(page->content(), LibraryPage::Content::empty) << c.view;
        EXPECT_EQ(page->emptyHeadline()->text(), u"Dodaj muzykę lub odczytaj iPoda"_s) << c.view;
    }
    model->setHiResOnly(false);
    model->setFormatFilter(u"Wszystko"_s);
    model->setViewMode(u"Albumy"_s);
    model->setTracks(library());
    EXPECT_EQ(page->content(), LibraryPage::Content::albums);
    EXPECT_EQ(page->countLine()->text(), u"Albumy: 2 · Utwory: 5"_s);

    // A filter that hides every track.
    model->setFormatFilter(u"Pozostałe"_s);
    EXPECT_EQ(page->content(), LibraryPage::Content::empty);
    EXPECT_EQ(page->emptyHeadline()->text(), u"Brak utworów dla tych filtrów"_s);
    EXPECT_EQ(page->countLine()->text(), u"Albumy: 0 · Utwory: 0"_s);

    // The count is of filtered tracks and of whole albums holding one of them.
    model->setFormatFilter(u"Wszystko"_s);
    model->setSearch(u"utwór 3"_s);
    EXPECT_EQ(page->countLine()->text(), u"Albumy: 1 · Utwory: 1"_s);
    EXPECT_EQ(page->grid()->cards()->rowCount(), 1);
    EXPECT_EQ(page->grid()->cards()->album(0).tracks.size(), 3);
}

TEST_F(LibraryPageTest, ControlsWriteTheModel)
{
    model->setTracks(library());
    makePage();
    // Format segments.
    QTest::mouseClick(page->formatPicker()->button(2), Qt::LeftButton);
    EXPECT_EQ(model->formatFilter(), u"FLAC"_s);
    QTest::mouseClick(page->formatPicker()->button(3), Qt::LeftButton);
    EXPECT_EQ(model->formatFilter(), u"Pozostałe"_s);
    QTest::mouseClick(page->formatPicker()->button(0), Qt::LeftButton);
    EXPECT_EQ(model->formatFilter(), u"Wszystko"_s);

    // Hi-Res with its note.
    EXPECT_TRUE(page->hiResNote()->isHidden());
    QTest::mouseClick(page->hiResBox(), Qt::LeftButton);
    EXPECT_TRUE(model->hiResOnly());
    EXPECT_FALSE(page->hiResNote()->isHidden());
    EXPECT_EQ(page->countLine()->text(), u"Albumy: 1 · Utwory: 2"_s);
    QTest::mouseClick(page->hiResBox(), Qt::LeftButton);
    EXPECT_FALSE(model->hiResOnly());
    EXPECT_TRUE(page->hiResNote()->isHidden());

    // Search as it is typed.
    QTest::keyClicks(page->searchField(), u"Jedna"_s);
    EXPECT_EQ(model->search(), u"Jedna"_s);
    EXPECT_EQ(page->grid()->cards()->rowCount(), 1);
    QTest::keyClick(page->searchField(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(page->searchField(), Qt::Key_Backspace);
    EXPECT_EQ(model->search(), QString());

    // View and sort pickers by keys; the slider only with albums.
    EXPECT_FALSE(page->tileSlider()->isHidden());
    page->viewPicker()->setFocus();
    QTest::keyClick(page->viewPicker(), Qt::Key_Down);
    EXPECT_EQ(model->viewMode(), u"Utwory"_s);
    EXPECT_EQ(page->content(), LibraryPage::Content::tracks);
    EXPECT_TRUE(page->tileSlider()->isHidden());
    EXPECT_TRUE(page->tileSymbol()->isHidden());
    EXPECT_EQ(page->trackList()->rows()->rowCount(), 5);
    QTest::keyClick(page->viewPicker(), Qt::Key_Down);
    EXPECT_EQ(model->viewMode(), u"Foldery"_s);
    EXPECT_EQ(page->content(), LibraryPage::Content::folders);
    page->sortPicker()->setFocus();
    QTest::keyClick(page->sortPicker(), Qt::Key_Down);
    EXPECT_EQ(model->sortMode(), u"Album"_s);
    QTest::keyClick(page->sortPicker(), Qt::Key_Down);
    EXPECT_EQ(model->sortMode(), u"Rok"_s);

    // Any other view value shows the folder tree, without the slider.
    model->setViewMode(u"Coś innego"_s);
    EXPECT_EQ(page->content(), LibraryPage::Content::folders);
    EXPECT_TRUE(page->tileSlider()->isHidden());
    model->setViewMode(u"Albumy"_s);
    EXPECT_EQ(page->content(), LibraryPage::Content::albums);
    page->tileSlider()->setFocus();
    QTest::keyClick(page->tileSlider(), Qt::Key_End);
    EXPECT_EQ(model->tileSize(), 240);
    EXPECT_EQ(page->grid()->tileSize(), 240);
    QTest::keyClick(page->tileSlider(), Qt::Key_Home);
    EXPECT_EQ(model->tileSize(), 140);
    EXPECT_EQ(page->grid()->tileSize(), 140);
}

TEST_F(LibraryPageTest, EnglishLabelsStorePolishValues)
{
    setLanguage(u"en"_s);
    model->setTracks(library());
    makePage();
    EXPECT_EQ(page->addButton()->text(), u"Add Music…"_s);
    EXPECT_EQ(page->countLine()->text(), u"Albums: 2 · Tracks: 5"_s);
    EXPECT_EQ(page->sourcePicker()->button(0)->text(), u"On this computer"_s);
    EXPECT_EQ(page->formatPicker()->button(0)->text(), u"All"_s);
    EXPECT_EQ(page->formatPicker()->button(3)->text(), u"Other"_s);
    EXPECT_EQ(page->searchField()->placeholderText(), u"Search for an album, artist or track"_s);
    EXPECT_EQ(page->tileSlider()->toolTip(), u"Cover size"_s);
    QStringList sortLabels;
    for (int i = 0; i < page->sortPicker()->count(); ++i)
        sortLabels.append(page->sortPicker()->itemText(i));
    EXPECT_EQ(sortLabels, (QStringList{u"Artist"_s, u"Album"_s, u"Year"_s, u"Size"_s}));
    page->sortPicker()->setFocus();
    QTest::keyClick(page->sortPicker(), Qt::Key_End);
    EXPECT_EQ(model->sortMode(), u"Rozmiar"_s);
    EXPECT_EQ(Defaults::string(u"sortMode"_s).value_or(QString()), u"Rozmiar"_s);
    QTest::mouseClick(page->formatPicker()->button(3), Qt::LeftButton);
    EXPECT_EQ(model->formatFilter(), u"Pozostałe"_s);
    page->viewPicker()->setFocus();
    QTest::keyClick(page->viewPicker(), Qt::Key_Down);
    EXPECT_EQ(model->viewMode(), u"Utwory"_s);
}

TEST_F(LibraryPageTest, SideDeviceButtonAndBusy)
{
    makePage();
    EXPECT_TRUE(page->deviceButton()->isHidden()) << "absent on the computer side";
    QTest::mouseClick(page->sourcePicker()->button(1), Qt::LeftButton);
    EXPECT_TRUE(model->libraryOnDevice());
    EXPECT_FALSE(page->deviceButton()->isHidden());
    EXPECT_FALSE(page->deviceButton()->isEnabled()) << "no device";

    QTemporaryDir dir;
    Device device;
    device.root = dir.path();
    device.name = u"IPOD"_s;
    model->setDevice(device);
    EXPECT_TRUE(page->deviceButton()->isEnabled());
    // Reading a device without music ends with nothing found.
    QTest::mouseClick(page->deviceButton(), Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return !model->busy(); }, 30'000));
    EXPECT_EQ(model->status(), u"Nie znaleziono nowych plików audio"_s);
    EXPECT_TRUE(model->libraryOnDevice());
    model->setBusy(true);
    EXPECT_FALSE(page->deviceButton()->isEnabled());
    EXPECT_FALSE(page->addButton()->isEnabled());
    EXPECT_FALSE(page->sourcePicker()->isEnabled());
    model->setBusy(false);
    EXPECT_TRUE(page->addButton()->isEnabled());
    EXPECT_TRUE(page->sourcePicker()->isEnabled());
    QTest::mouseClick(page->sourcePicker()->button(0), Qt::LeftButton);
    EXPECT_FALSE(model->libraryOnDevice());
    EXPECT_TRUE(page->deviceButton()->isHidden());

    // "Dodaj muzykę…" asks for files.
    QStringList prompts;
    model->setFilesChooser([&](const QString &prompt) -> std::optional<QStringList> {
        prompts.append(prompt);
        return std::nullopt;
    });
    QTest::mouseClick(page->addButton(), Qt::LeftButton);
    EXPECT_EQ(prompts, QStringList{u"Dodaj muzykę"_s});
}

TEST_F(LibraryPageTest, FolderTreeRootFollowsTheSide)
{
    const QList<Track> tracks = {track({.folder = u"/media/IPOD/Music/A"_s})};
    model->setTracks(tracks);
    model->setDeviceTracks(tracks);
    model->setViewMode(u"Foldery"_s);
    makePage();
    FolderTreeModel *tree = page->folderTree()->tree();
    EXPECT_TRUE(tree->indexOf(u"//media"_s).isValid()) << "computer side: whole paths";
    model->setLibraryOnDevice(true);
    EXPECT_TRUE(tree->indexOf(u"//media"_s).isValid()) << "device side without a device: no root";
    Device device;
    device.root = u"/media/IPOD"_s;
    device.name = u"IPOD"_s;
    model->setDevice(device);
    EXPECT_TRUE(tree->indexOf(u"/media/IPOD/Music"_s).isValid());
    EXPECT_FALSE(tree->indexOf(u"//media"_s).isValid());
}

TEST_F(LibraryPageTest, DroppedFilesGoToOneImportInDropOrder)
{
    makePage();
    ASSERT_TRUE(drop({QUrl::fromLocalFile(u"/m/b.flac"_s), QUrl(u"https://example.org/x.mp3"_s),
                      QUrl::fromLocalFile(u"/m/folder"_s), QUrl::fromLocalFile(u"/m/a.mp3"_s)}));
    ASSERT_EQ(page->imports.size(), 1);
    EXPECT_EQ(page->imports.first(), (QStringList{u"/m/b.flac"_s, u"/m/folder"_s, u"/m/a.mp3"_s}));

    // Nothing that is a file still makes one call, with nothing in it.
    ASSERT_TRUE(drop({QUrl(u"https://example.org/"_s)}));
    ASSERT_EQ(page->imports.size(), 2);
    EXPECT_TRUE(page->imports.last().isEmpty());

    // Refused while busy.
    model->setBusy(true);
    EXPECT_FALSE(drop({QUrl::fromLocalFile(u"/m/c.mp3"_s)}));
    EXPECT_EQ(page->imports.size(), 2);
}

TEST_F(LibraryPageTest, ADroppedFileIsImportedAndQueued)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(u"Żółw.mp3"_s);
    ASSERT_TRUE(QFile::copy(QStringLiteral(VONTARO_TEST_DATA_DIR "/audio/tagged.mp3"), file));
    holder = std::make_unique<QWidget>();
    LibraryPage real(model.get(), holder.get(), &workspace, covers.get());
    auto *mime = new QMimeData;
    mime->setUrls({QUrl::fromLocalFile(file)});
    ASSERT_FALSE(model->busy());
    // A drop always follows the drag entering the page.
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&real, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent event(QPointF(10, 10), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&real, &event);
    delete mime;
    EXPECT_TRUE(event.isAccepted());
    ASSERT_TRUE(waitFor([&] { return !model->busy(); }, 30'000));
    ASSERT_EQ(model->tracks().size(), 1);
    EXPECT_EQ(model->tracks().first().url, file);
    EXPECT_TRUE(model->queued().contains(model->tracks().first().id));
    EXPECT_EQ(real.content(), LibraryPage::Content::albums);
    EXPECT_EQ(real.countLine()->text(), u"Albumy: 1 · Utwory: 1"_s);
}

TEST_F(LibraryPageTest, Screenshots)
{
    QList<Track> tracks = library();
    const QColor colours[] = {QColor(230, 160, 40), QColor(30, 140, 90), QColor(120, 60, 160)};
    for (int i = 0; i < 4; ++i) {
        Spec s;
        s.codec = i % 2 ? u"MP3"_s : u"FLAC"_s;
        s.folder = u"/home/ola/Muzyka/Żaneta Łęcka/Pieśni "_s + QString::number(i);
        if (i != 1)
            s.artwork = cover(900, 700 + 100 * i, colours[i % 3], colours[(i + 1) % 3]);
        tracks += album(u"Żaneta Łęcka"_s, u"Pieśni źródlane "_s + QString::number(i), 3, s);
    }
    model->setTracks(tracks);
    model->setQueued({tracks[0].id, tracks[1].id});
    const struct {
        const char *view;
        const char *name;
    } views[] = {{"Albumy", "albums"}, {"Utwory", "tracks"}, {"Foldery", "folders"}};
    for (const char *language : {"pl", "en"}) {
        for (bool dark : {false, true}) {
            setLanguage(QString::fromLatin1(language));
            const QString suffix = QString::fromLatin1(language) + (dark ? u"-dark"_s : u"-light"_s);
            for (const auto &v : views) {
                model->setViewMode(QString::fromUtf8(v.view));
                model->setHiResOnly(QByteArray(v.name) == "tracks");
                makePage(dark ? kit::darkPalette() : kit::lightPalette());
                if (QByteArray(v.name) == "folders")
                    page->folderTree()->outline()->expandToDepth(4);
                ASSERT_TRUE(waitFor([&] {
                    holder->grab();
                    return covers->pending() == 0;
                }));
                screenshot(*holder, u"library-page-"_s + QString::fromLatin1(v.name) + u'-' + suffix);
            }
            model->setHiResOnly(false);
            model->setSearch(u"nic takiego"_s);
            makePage(dark ? kit::darkPalette() : kit::lightPalette());
            screenshot(*holder, u"library-page-empty-"_s + suffix);
            model->setSearch(QString());
        }
    }
}

} // namespace
