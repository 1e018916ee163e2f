// The library pages read the model's albums and filtered tracks many times per
// frame, and every keystroke in the search field changes them. A repeated read
// must cost next to nothing; the first read after a change of the search, the
// filters, the sort mode or the library itself must stay well inside a frame
// of interaction.

#include "model/tavomodel.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QList>
#include <QTemporaryDir>
#include <QThreadPool>
#include <benchmark/benchmark.h>
#include <cstdlib>

using namespace Qt::StringLiterals;

namespace {

constexpr int kTracks = 50'000;

// A library shaped like real ones: albums of twelve tracks in their own
// folders, some with disc folders, mixed codecs, years and sizes.
QList<Track> library(int count)
{
    static const QString codecs[] = {u"FLAC"_s, u"MP3"_s, u"AAC"_s, u"ALAC"_s, u"MP3"_s};
    QList<Track> tracks;
    tracks.reserve(count);
    int album = 0;
    while (tracks.size() < count) {
        const QString artist = u"Wykonawca %1"_s.arg(album % 1500);
        const QString title = u"Album %1"_s.arg(album);
        const QString base = u"/home/ja/Muzyka/"_s + artist + u'/' + title;
        const bool discs = album % 10 == 3;
        for (int i = 0; i < 12 && tracks.size() < count; ++i) {
            Track t;
            t.id = QUuid::createUuid();
            t.artist = artist;
            t.album = title;
            t.title = u"Utwór numer %1"_s.arg(i + 1);
            const QString folder = discs ? base + u"/CD"_s + QString::number(1 + i / 6) : base;
            t.url = folder + u'/' + u"%1 %2.flac"_s.arg(i + 1, 2, 10, QChar(u'0')).arg(t.title);
            t.bytes = 3'000'000 + (qint64(album) * 7919 + i * 104729) % 40'000'000;
            t.info.codec = codecs[album % 5];
            t.info.year = QString::number(1960 + album % 60);
            t.info.trackNumber = (i % 6) + 1;
            t.info.bitDepth = album % 7 == 0 ? 24 : 16;
            t.info.sampleRate = album % 11 == 0 ? 96000 : 44100;
            tracks.append(std::move(t));
        }
        ++album;
    }
    return tracks;
}

struct Fixture {
    Fixture()
    {
        model = std::make_unique<TavoModel>([] { return QList<Device>(); }, false);
        model->setTracks(library(kTracks));
    }
    std::unique_ptr<TavoModel> model;
};

Fixture &fixture()
{
    static Fixture f;
    return f;
}

// Which list a benchmark reads.
enum List { filteredTracks, albums };

qsizetype read(TavoModel &model, int list)
{
    return list == filteredTracks ? model.filteredTracks().size() : model.albums().size();
}

// The read after a keystroke in the search field (two searches in turn).
void BM_FirstReadAfterSearchChange(benchmark::State &state)
{
    TavoModel &model = *fixture().model;
    model.setSearch(QString());
    read(model, int(state.range(0))); // the grouping and the orders are made once per library
    const QString searches[] = {u"wykonawca 14"_s, u"wykonawca 1"_s};
    int turn = 0;
    qsizetype size = 0;
    for (auto _ : state) {
        model.setSearch(searches[turn ^= 1]);
        size = read(model, int(state.range(0)));
    }
    state.counters["listed"] = double(size);
    model.setSearch(QString());
}
BENCHMARK(BM_FirstReadAfterSearchChange)->Arg(filteredTracks)->Arg(albums)->Unit(benchmark::kMillisecond);

// The read after switching the format filter.
void BM_FirstReadAfterFilterChange(benchmark::State &state)
{
    TavoModel &model = *fixture().model;
    read(model, int(state.range(0)));
    const QString filters[] = {u"FLAC"_s, u"Pozostałe"_s};
    int turn = 0;
    for (auto _ : state) {
        model.setFormatFilter(filters[turn ^= 1]);
        benchmark::DoNotOptimize(read(model, int(state.range(0))));
    }
    model.setFormatFilter(u"Wszystko"_s);
}
BENCHMARK(BM_FirstReadAfterFilterChange)->Arg(filteredTracks)->Arg(albums)->Unit(benchmark::kMillisecond);

// The read after choosing another sort order (each order is sorted once per library).
void BM_FirstReadAfterSortChange(benchmark::State &state)
{
    TavoModel &model = *fixture().model;
    const QString modes[] = {u"Wykonawca"_s, u"Album"_s, u"Rok"_s, u"Rozmiar"_s};
    int turn = 0;
    for (auto _ : state) {
        model.setSortMode(modes[turn++ % 4]);
        benchmark::DoNotOptimize(read(model, int(state.range(0))));
    }
    model.setSortMode(u"Wykonawca"_s);
}
BENCHMARK(BM_FirstReadAfterSortChange)->Arg(filteredTracks)->Arg(albums)->Unit(benchmark::kMillisecond);

// The read after the library itself changed (one track's artwork replaced, say):
// everything is made again, grouping and sort keys included.
void BM_FirstReadAfterLibraryChange(benchmark::State &state)
{
    TavoModel &model = *fixture().model;
    for (auto _ : state) {
        state.PauseTiming();
        QList<Track> changed = model.tracks();
        changed[0].artwork = QByteArray("x");
        model.setTracks(changed);
        state.ResumeTiming();
        benchmark::DoNotOptimize(read(model, int(state.range(0))));
    }
}
BENCHMARK(BM_FirstReadAfterLibraryChange)->Arg(filteredTracks)->Arg(albums)->Unit(benchmark::kMillisecond);

// The read after an album was forgotten: one album after another leaves the
// library, from places spread over it, each followed by the views' read.
// Every order and the search texts were made before, as after an import.
void BM_FirstReadAfterAlbumRemoved(benchmark::State &state)
{
    TavoModel &model = *fixture().model;
    const QList<Track> whole = model.tracks();
    for (const QString &mode : {u"Album"_s, u"Rok"_s, u"Rozmiar"_s, u"Wykonawca"_s}) {
        model.setSortMode(mode);
        model.setSearch(u"x"_s);
        read(model, filteredTracks);
        read(model, albums);
        model.setSearch(QString());
        read(model, filteredTracks);
        read(model, albums);
    }
    qsizetype step = 0;
    QElapsedTimer clock;
    clock.start();
    qint64 worst = 0;
    for (auto _ : state) {
        state.PauseTiming();
        // What the last read let go of is freed between two of the user's
        // actions, as the event loop would.
        QCoreApplication::sendPostedEvents();
        QThreadPool::globalInstance()->waitForDone();
        QList<Track> without = model.tracks();
        const qsizetype at = (step++ * 7919 * 12) % (without.size() - 12);
        without.remove(at - at % 12, 12);
        model.setTracks(without);
        state.ResumeTiming();
        const qint64 start = clock.nsecsElapsed();
        benchmark::DoNotOptimize(read(model, int(state.range(0))));
        worst = std::max(worst, clock.nsecsElapsed() - start);
    }
    state.counters["worst_ms"] = double(worst) / 1e6;
    model.setTracks(whole);
}
BENCHMARK(BM_FirstReadAfterAlbumRemoved)->Arg(filteredTracks)->Arg(albums)->Iterations(200)->Unit(benchmark::kMillisecond);

// The first keystroke in the search field after the library changed: the
// texts the search looks in are made once per library.
void BM_FirstSearchAfterLibraryChange(benchmark::State &state)
{
    TavoModel &model = *fixture().model;
    for (auto _ : state) {
        state.PauseTiming();
        model.setSearch(QString());
        QList<Track> changed = model.tracks();
        changed[0].artwork = QByteArray("x");
        model.setTracks(changed);
        read(model, int(state.range(0)));
        state.ResumeTiming();
        model.setSearch(u"wykonawca 14"_s);
        benchmark::DoNotOptimize(read(model, int(state.range(0))));
    }
    model.setSearch(QString());
}
BENCHMARK(BM_FirstSearchAfterLibraryChange)->Arg(filteredTracks)->Arg(albums)->Unit(benchmark::kMillisecond);

// The first change to another sort order after the library changed: that
// order is not sorted yet.
void BM_FirstSortChangeAfterLibraryChange(benchmark::State &state)
{
    TavoModel &model = *fixture().model;
    const QString modes[] = {u"Album"_s, u"Rok"_s, u"Rozmiar"_s};
    int turn = 0;
    for (auto _ : state) {
        state.PauseTiming();
        model.setSortMode(u"Wykonawca"_s);
        QList<Track> changed = model.tracks();
        changed[0].artwork = QByteArray("x");
        model.setTracks(changed);
        read(model, int(state.range(0)));
        state.ResumeTiming();
        model.setSortMode(modes[turn++ % 3]);
        benchmark::DoNotOptimize(read(model, int(state.range(0))));
    }
    model.setSortMode(u"Wykonawca"_s);
}
BENCHMARK(BM_FirstSortChangeAfterLibraryChange)->Arg(filteredTracks)->Arg(albums)->Unit(benchmark::kMillisecond);

// A view reading the same list again with nothing changed.
void BM_RepeatedRead(benchmark::State &state)
{
    TavoModel &model = *fixture().model;
    model.setSearch(u"wykonawca 1"_s);
    read(model, int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(read(model, int(state.range(0))));
    model.setSearch(QString());
}
BENCHMARK(BM_RepeatedRead)->Arg(filteredTracks)->Arg(albums)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    // The model saves the sort mode: keep the user's own settings out of it.
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
    qputenv("XDG_DATA_HOME", home.path().toUtf8());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    fixture().model.reset();
    return 0;
}
