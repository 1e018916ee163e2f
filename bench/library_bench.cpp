// The library page with 2,000 albums and 20,000 tracks, covers real JPEG
// pictures of 600 to 1,200 pixels. What a person feels: the first paint of
// the grid, the frames while scrolling the whole grid and while sweeping the
// tile slider (a frame should stay within 16 ms), the time from a keystroke in
// the search field to the grid showing the result (within 50 ms), building the
// track list and the folder tree of 20,000 files (within 200 ms), a filter
// change of the tree with its open folders restored, and the memory it takes.

#include "generatedlibrary.h"
#include "model/tavomodel.h"
#include "ui/library/albumgrid.h"
#include "ui/library/covercache.h"
#include "ui/library/foldertree.h"
#include "ui/library/librarypage.h"
#include "ui/library/tracklist.h"

#include <QApplication>
#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTreeView>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <memory>
#include <numeric>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

constexpr int kAlbums = 2'000;
constexpr int kTracksPerAlbum = 10;
constexpr int kCoverPictures = 64; // distinct JPEG files; every album decodes its own
const QSize kWindow(1000, 800);

QByteArray photo(int width, int height, quint32 seed)
{
    return generated::photoJPEG(width, height, seed);
}

QList<Track> library()
{
    std::vector<QByteArray> covers;
    for (int i = 0; i < kCoverPictures; ++i) {
        const int w = 600 + (i * 97) % 601;
        const int h = (i % 4 == 0) ? w * 3 / 4 : w; // some not square
        covers.push_back(photo(w, h, quint32(i + 1)));
    }
    static const QString codecs[] = {u"FLAC"_s, u"MP3"_s, u"AAC"_s, u"ALAC"_s, u"MP3"_s};
    QList<Track> tracks;
    tracks.reserve(kAlbums * kTracksPerAlbum);
    for (int a = 0; a < kAlbums; ++a) {
        const QString artist = u"Wykonawca %1"_s.arg(a % 400);
        const QString title = u"Album %1"_s.arg(a);
        // Every album has its own bytes, as covers read from files would.
        const QByteArray cover(covers[size_t(a % kCoverPictures)].constData(), covers[size_t(a % kCoverPictures)].size());
        for (int i = 0; i < kTracksPerAlbum; ++i) {
            Track t;
            t.id = QUuid::createUuid();
            t.artist = artist;
            t.album = title;
            t.title = u"Utwór numer %1"_s.arg(i + 1);
            t.url = u"/home/ja/Muzyka/"_s + artist + u'/' + title + u'/'
                    + u"%1 %2.flac"_s.arg(i + 1, 2, 10, QChar(u'0')).arg(t.title);
            t.bytes = 3'000'000 + (qint64(a) * 7919 + i * 104729) % 40'000'000;
            t.artwork = cover;
            t.info.codec = codecs[a % 5];
            t.info.year = QString::number(1960 + a % 60);
            t.info.trackNumber = i + 1;
            t.info.duration = 180 + i * 7;
            t.info.bitDepth = a % 7 == 0 ? 24 : 16;
            t.info.sampleRate = a % 11 == 0 ? 96000 : 44100;
            tracks.append(std::move(t));
        }
    }
    return tracks;
}

struct Fixture {
    std::unique_ptr<TavoModel> model;
    QList<Track> tracks;
};

Fixture &fixture()
{
    static Fixture f = [] {
        Fixture made;
        made.tracks = library();
        made.model = std::make_unique<TavoModel>([] { return QList<Device>(); }, false);
        made.model->setTracks(made.tracks);
        return made;
    }();
    return f;
}

// A line of /proc/self/status in MB: "VmHWM:" the peak, "VmRSS:" now.
double residentMB(const QByteArray &field)
{
    QFile status(u"/proc/self/status"_s);
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(field.size()).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return 0;
}

double peakResidentMB()
{
    return residentMB("VmHWM:");
}

double elapsedMs(const QElapsedTimer &clock)
{
    return double(clock.nsecsElapsed()) / 1e6;
}

// Frame statistics as counters.
void report(benchmark::State &state, std::vector<double> frames)
{
    if (frames.empty())
        return;
    std::sort(frames.begin(), frames.end());
    const double sum = std::accumulate(frames.begin(), frames.end(), 0.0);
    state.counters["frames"] = double(frames.size());
    state.counters["mean_ms"] = sum / double(frames.size());
    state.counters["p95_ms"] = frames[size_t(double(frames.size() - 1) * 0.95)];
    state.counters["max_ms"] = frames.back();
    state.counters["over16ms"] = double(std::count_if(frames.begin(), frames.end(), [](double f) { return f > 16; }));
}

void settle(CoverCache &covers)
{
    QElapsedTimer clock;
    clock.start();
    while (covers.pending() > 0 && clock.elapsed() < 60'000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QCoreApplication::processEvents();
}

// From refresh to the cards in view painted (placeholders), then to every
// cover in view decoded and painted.
void BM_GridFirstPaint(benchmark::State &state)
{
    Fixture &f = fixture();
    f.model->setSearch(QString());
    for (auto _ : state) {
        CoverCache covers;
        AlbumGridView grid(f.model.get(), &covers);
        grid.resize(kWindow);
        grid.show();
        QCoreApplication::processEvents(); // the window is on screen, still empty
        QElapsedTimer clock;
        clock.start();
        grid.refresh();
        grid.viewport()->repaint();
        const double first = elapsedMs(clock);
        settle(covers);
        grid.viewport()->repaint();
        state.SetIterationTime(first / 1000.0);
        state.counters["first_paint_ms"] = first;
        state.counters["covers_in_view_ms"] = elapsedMs(clock);
        state.counters["cards_painted"] = grid.lastPaintedCards();
    }
}
BENCHMARK(BM_GridFirstPaint)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

// Scrolling from the first album to the last, 120 pixels a frame, covers
// decoding meanwhile; each frame repaints the whole viewport.
void BM_GridScrollWholeGrid(benchmark::State &state)
{
    Fixture &f = fixture();
    f.model->setSearch(QString());
    for (auto _ : state) {
        // The library itself (20,000 tracks holding their cover bytes) before any view.
        state.counters["rss_before_MB"] = residentMB("VmRSS:");
        CoverCache covers;
        AlbumGridView grid(f.model.get(), &covers);
        grid.resize(kWindow);
        grid.show();
        grid.refresh();
        grid.viewport()->repaint();
        QScrollBar *bar = grid.verticalScrollBar();
        std::vector<double> frames;
        QElapsedTimer total;
        total.start();
        for (int value = 0; value <= bar->maximum(); value += 120) {
            QElapsedTimer clock;
            clock.start();
            bar->setValue(value);
            grid.viewport()->repaint();
            QCoreApplication::processEvents(); // decoded covers arrive and repaint
            frames.push_back(elapsedMs(clock));
        }
        state.SetIterationTime(double(total.nsecsElapsed()) / 1e9);
        report(state, frames);
        settle(covers);
        state.counters["cover_cache_MB"] = double(covers.usedBytes()) / (1024.0 * 1024.0);
        state.counters["peak_rss_MB"] = peakResidentMB();
    }
}
BENCHMARK(BM_GridScrollWholeGrid)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

// The tile slider swept from 140 to 240 and back, one step a frame, in the middle of the grid.
void BM_GridSliderSweep(benchmark::State &state)
{
    Fixture &f = fixture();
    f.model->setSearch(QString());
    for (auto _ : state) {
        CoverCache covers;
        AlbumGridView grid(f.model.get(), &covers);
        grid.resize(kWindow);
        grid.show();
        grid.refresh();
        grid.verticalScrollBar()->setValue(grid.verticalScrollBar()->maximum() / 2);
        grid.viewport()->repaint();
        settle(covers);
        std::vector<double> frames;
        QElapsedTimer total;
        total.start();
        for (int step = 0; step <= 200; ++step) {
            const int size = step <= 100 ? 140 + step : 340 - step;
            QElapsedTimer clock;
            clock.start();
            grid.setTileSize(size);
            grid.viewport()->repaint();
            QCoreApplication::processEvents();
            frames.push_back(elapsedMs(clock));
        }
        state.SetIterationTime(double(total.nsecsElapsed()) / 1e9);
        report(state, frames);
        state.counters["peak_rss_MB"] = peakResidentMB();
    }
}
BENCHMARK(BM_GridSliderSweep)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

// A keystroke in the page's search field until the grid has painted the result.
void BM_SearchKeystrokeToGrid(benchmark::State &state)
{
    Fixture &f = fixture();
    f.model->setSearch(QString());
    f.model->setViewMode(u"Albumy"_s);
    CoverCache covers;
    QWidget window;
    window.resize(kWindow.width() + 48, kWindow.height() + 300);
    LibraryPage page(f.model.get(), &window, nullptr, &covers);
    page.resize(window.size());
    window.show();
    QCoreApplication::processEvents();
    const QString typed = u"wykonawca 12"_s;
    std::vector<double> frames, updates;
    for (auto _ : state) {
        // Type the text, then erase it, a key at a time.
        for (int i = 0; i < typed.size() * 2; ++i) {
            const bool typing = i < typed.size();
            QKeyEvent press(QEvent::KeyPress, typing ? 0 : Qt::Key_Backspace, Qt::NoModifier,
                            typing ? QString(typed.at(i)) : QString());
            QElapsedTimer clock;
            clock.start();
            QCoreApplication::sendEvent(page.searchField(), &press);
            updates.push_back(elapsedMs(clock));
            page.grid()->viewport()->repaint();
            frames.push_back(elapsedMs(clock));
        }
        state.SetIterationTime(std::accumulate(frames.end() - typed.size() * 2, frames.end(), 0.0) / 1000.0);
    }
    report(state, frames);
    // Of that, the model's lists and the page brought up to date, before painting.
    std::sort(updates.begin(), updates.end());
    state.counters["update_mean_ms"] = std::accumulate(updates.begin(), updates.end(), 0.0) / double(updates.size());
    state.counters["update_max_ms"] = updates.back();
    f.model->setSearch(QString());
}
BENCHMARK(BM_SearchKeystrokeToGrid)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

// The track list given the 20,000 tracks (or a filtered half) and painted.
void BM_TrackListBuild(benchmark::State &state)
{
    Fixture &f = fixture();
    TrackListView view(f.model.get());
    view.resize(kWindow);
    view.show();
    QList<Track> half;
    for (int i = 0; i < f.tracks.size(); i += 2)
        half.append(f.tracks.at(i));
    bool whole = true;
    for (auto _ : state) {
        QList<Track> shown = whole ? f.tracks : half;
        shown.detach(); // a new list each time, as the model hands one over
        QElapsedTimer clock;
        clock.start();
        view.setTracks(shown);
        view.list()->viewport()->repaint();
        state.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
        state.counters["rows"] = double(shown.size());
        whole = !whole;
    }
}
BENCHMARK(BM_TrackListBuild)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);

// The folder tree of the 20,000 files built and painted.
void BM_FolderTreeBuild(benchmark::State &state)
{
    Fixture &f = fixture();
    FolderTreeView view(f.model.get());
    view.resize(kWindow);
    view.show();
    for (auto _ : state) {
        QList<Track> shown = f.tracks;
        shown.detach();
        QElapsedTimer clock;
        clock.start();
        view.setTracks(shown, std::nullopt);
        view.outline()->viewport()->repaint();
        state.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
    }
    state.counters["files"] = double(f.tracks.size());
}
BENCHMARK(BM_FolderTreeBuild)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);

// A filter change on the tree with 500 album folders open: rebuilt from the
// filtered tracks (a fifth of them), the open folders opened again, painted.
void BM_FolderTreeFilterChange(benchmark::State &state)
{
    Fixture &f = fixture();
    FolderTreeView view(f.model.get());
    view.resize(kWindow);
    view.show();
    view.setTracks(f.tracks, std::nullopt);
    // Open the path down to 500 albums.
    for (int a = 0; a < 500; ++a) {
        const QStringList parts = f.tracks.at(a * kTracksPerAlbum).url.split(u'/', Qt::SkipEmptyParts);
        QString id = u"/"_s;
        for (int i = 0; i + 1 < parts.size(); ++i) {
            id += u'/' + parts.at(i);
            view.outline()->expand(view.tree()->indexOf(id));
        }
    }
    QList<Track> filtered;
    for (int i = 0; i < f.tracks.size(); ++i) {
        if (i % 5 == 0)
            filtered.append(f.tracks.at(i));
    }
    bool narrow = true;
    for (auto _ : state) {
        QList<Track> shown = narrow ? filtered : f.tracks;
        shown.detach();
        QElapsedTimer clock;
        clock.start();
        view.setTracks(shown, std::nullopt);
        view.outline()->viewport()->repaint();
        state.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
        narrow = !narrow;
    }
    state.counters["open_folders"] = double(view.expandedIds().size());
}
BENCHMARK(BM_FolderTreeFilterChange)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    // The model saves view settings: keep the user's own settings out of it.
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
    qputenv("XDG_DATA_HOME", home.path().toUtf8());
    qputenv("XDG_CACHE_HOME", home.path().toUtf8());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    fixture().model.reset();
    return 0;
}
