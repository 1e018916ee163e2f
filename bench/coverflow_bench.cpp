// Cover Flow with 2,000 albums of ten tracks, each album with its own copy of
// a real 1920 × 1080 JPEG cover (the front cover of a FLAC test file):
//  - BM_PrepareItems: grouping, sorting and keying the albums (the build on a worker);
//  - BM_OpenWindow: the page from its creation to the first frame with every
//    visible cover made, with the memory it took at its peak ("peak_MB", the
//    growth of the process's resident high-water mark);
//  - BM_Frame/310 and /520: one frame of the stage while it flips from album
//    to album, at those cover sizes (sprites made ahead, as while flipping at
//    the animation's pace).

#include "media/audioinfo.h"
#include "model/tavomodel.h"
#include "ui/coverflow/coverflowview.h"
#include "ui/coverflow/flowgeometry.h"
#include "ui/coverflow/flowpictures.h"
#include "ui/coverflow/flowstage.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPainter>
#include <benchmark/benchmark.h>
#include <functional>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

constexpr int albumCount = 2000;
constexpr int tracksPerAlbum = 10;

QByteArray realCover()
{
    static const QByteArray bytes = [] {
        const AudioInfo info =
            AudioInfo::readFLAC(QStringLiteral(VONTARO_TEST_DATA_DIR) + u"/corpus/flac/56 - JPG PICTURE.flac"_s);
        return info.picture.value_or(QByteArray());
    }();
    return bytes;
}

QList<Track> library()
{
    QList<Track> tracks;
    tracks.reserve(albumCount * tracksPerAlbum);
    const QByteArray cover = realCover();
    for (int a = 0; a < albumCount; ++a) {
        // Every album has a cover file of its own, as on a device.
        const QByteArray own(cover.constData(), cover.size());
        const QString artist = u"Artist "_s + QString::number(a % 700);
        const QString album = u"Album "_s + QString::number(a);
        for (int t = 1; t <= tracksPerAlbum; ++t) {
            Track track;
            track.id = QUuid::createUuid();
            track.url = u"/media/IPOD/Music/"_s + artist + u"/"_s + album + u"/"_s + QString::number(t) + u".mp3"_s;
            track.title = u"Track "_s + QString::number(t);
            track.artist = artist;
            track.album = album;
            track.artwork = own;
            track.info.trackNumber = t;
            track.bytes = 5'000'000;
            tracks.append(track);
        }
    }
    return tracks;
}

const QList<Track> &sharedLibrary()
{
    static const QList<Track> tracks = library();
    return tracks;
}

bool waitFor(const std::function<bool()> &done)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < 60'000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    return done();
}

// The resident high-water mark in kB, and a way to start it again from now.
qint64 peakKilobytes()
{
    QFile status(u"/proc/self/status"_s);
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    return 0;
}
void resetPeak()
{
    QFile clear(u"/proc/self/clear_refs"_s);
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}
qint64 residentKilobytes()
{
    QFile status(u"/proc/self/status"_s);
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    return 0;
}

bool visibleReady(FlowStage *stage)
{
    const auto [first, last] = flowgeometry::builtRange(stage->index(), 1 << 30);
    for (int p = first; p <= last; ++p)
        if (!stage->pictures()->isReady(p))
            return false;
    return true;
}

void BM_PrepareItems(benchmark::State &state)
{
    const QList<Track> &tracks = sharedLibrary();
    for (auto _ : state) {
        QList<FlowAlbum> items = FlowAlbum::prepare(tracks);
        benchmark::DoNotOptimize(items);
    }
    state.counters["albums"] = albumCount;
}
BENCHMARK(BM_PrepareItems)->Unit(benchmark::kMillisecond);

void BM_OpenWindow(benchmark::State &state)
{
    const QList<Track> &tracks = sharedLibrary();
    TavoModel model([] { return QList<Device>(); }, false);
    model.setDeviceTracks(tracks);
    double peakMB = 0, afterMB = 0;
    for (auto _ : state) {
        const qint64 before = residentKilobytes();
        resetPeak();
        auto view = std::make_unique<CoverFlowView>(&model, true, [] {});
        view->resize(1000, 740);
        view->show();
        // The debounce's 100 ms is part of the wait, as for a user.
        waitFor([&] { return view->items().size() == albumCount; });
        view->select(albumCount / 2);
        waitFor([&] { return visibleReady(view->stage()); });
        QImage frame(view->size(), QImage::Format_ARGB32_Premultiplied);
        view->render(&frame);
        peakMB = double(peakKilobytes() - before) / 1024;
        afterMB = double(residentKilobytes() - before) / 1024;
        state.PauseTiming();
        view.reset();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
    state.counters["peak_MB"] = peakMB;
    state.counters["held_MB"] = afterMB;
}
BENCHMARK(BM_OpenWindow)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_Frame(benchmark::State &state)
{
    const int cover = int(state.range(0));
    // A stage whose cover is the asked size: width × 0.31 or the 520 cap.
    const QSize size = cover == 520 ? QSize(2000, 1000) : QSize(1000, 500);
    FlowStage stage;
    stage.resize(size);
    stage.pictures()->setCoverSize(flowgeometry::coverSize(size), 1.0);
    const QList<FlowAlbum> items = FlowAlbum::prepare(sharedLibrary());
    const int start = albumCount / 2;
    stage.setItems(items, start);
    // Sprites for the stretch flipped through, made before timing.
    constexpr int stretch = 24;
    for (int p = start; p <= start + stretch; p += 2) {
        stage.setPosition(p);
        waitFor([&] { return stage.pictures()->jobsRunning() == 0; });
    }
    QImage frame(size, QImage::Format_ARGB32_Premultiplied);
    double position = start;
    for (auto _ : state) {
        position += 0.1; // ten frames per album
        if (position > start + stretch)
            position = start;
        stage.setPosition(position);
        frame.fill(Qt::black);
        QPainter painter(&frame);
        stage.paintStage(painter, size);
        painter.end();
        benchmark::DoNotOptimize(frame.constBits());
    }
    state.counters["sprites_MB"] = double(stage.pictures()->bytes()) / (1024 * 1024);
}
BENCHMARK(BM_Frame)->Arg(310)->Arg(520)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
