// The collection inspection of the quality page for 20,000 tracks in 2,000
// albums, as the page starts it: the tracks change while the page is shown,
// the model inspects them on a worker and the page lays out its rows. Each
// album's first track carries a cover (a fitting 300 × 300 JPEG for most, an
// 800 × 800 one for 1 album in 20); 1 album in 10 has none, 1 track in 50 has
// no tags and 1 in 100 has lost its file, so the list has about 900 rows.
//
// Reported: the time from the change to the published result (the worker's
// share: the inspection, the grouping and the album of each cover problem),
// the time until the page's list holds the rows, and the longest wait between
// two turns of the main thread's loop meanwhile (a 1 ms timer records it),
// which includes the page's row building and the list's batched layout.

#include "model/tavomodel.h"
#include "platform/defaults.h"
#include "ui/quality/qualityview.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QImage>
#include <QListView>
#include <QTemporaryDir>
#include <QTimer>
#include <QUuid>
#include <benchmark/benchmark.h>
#include <cstdlib>

using namespace Qt::StringLiterals;

namespace {

constexpr int albums = 2'000;
constexpr int tracksPerAlbum = 10;

QByteArray jpeg(int size)
{
    QImage image(size, size, QImage::Format_RGB32);
    image.fill(QColor(40, 90, 160));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 85);
    return bytes;
}

struct Library {
    QTemporaryDir dir;
    QList<Track> tracks;

    Library()
    {
        const QByteArray fitting = jpeg(300);
        const QByteArray large = jpeg(800);
        tracks.reserve(albums * tracksPerAlbum);
        for (int a = 0; a < albums; ++a) {
            const QString folder = dir.path() + u"/Artist %1/Album %2"_s.arg(a / 10).arg(a);
            QDir().mkpath(folder);
            for (int t = 0; t < tracksPerAlbum; ++t) {
                const int n = a * tracksPerAlbum + t;
                Track track;
                track.id = QUuid::createUuid();
                track.url = folder + u"/%1 Track.mp3"_s.arg(t + 1, 2, 10, QChar(u'0'));
                track.title = u"Track %1"_s.arg(t + 1);
                track.artist = u"Artist %1"_s.arg(a / 10);
                track.album = u"Album %1"_s.arg(a);
                track.bytes = 4'000'000;
                track.info.codec = u"MP3"_s;
                track.info.trackNumber = t + 1;
                track.info.discNumber = 1;
                if (n % 50 != 7)
                    track.info.tags = {{u"TITLE"_s, track.title}, {u"ARTIST"_s, track.artist}, {u"ALBUM"_s, track.album}};
                if (t == 0 && a % 10 != 3)
                    track.artwork = a % 20 == 5 ? large : fitting;
                if (n % 100 != 42) {
                    QFile file(track.url);
                    if (!file.open(QIODevice::WriteOnly))
                        std::abort();
                }
                tracks.append(track);
            }
        }
    }
};

Library &library()
{
    static Library instance;
    return instance;
}

void BM_QualityInspectionThroughThePage(benchmark::State &state)
{
    Library &lib = library();
    Defaults::clear();
    TavoModel model([] { return QList<Device>(); }, false);
    QualityView page(&model, u"Wszystko"_s);
    page.resize(1000, 900);
    page.show();
    QListView *list = page.listView();

    qint64 longestGap = 0;
    double offThread = 0, untilRows = 0;
    qsizetype rows = 0;
    for (auto _ : state) {
        state.PauseTiming();
        model.setTracks({});
        QEventLoop settle;
        QTimer::singleShot(200, &settle, &QEventLoop::quit);
        settle.exec();
        // A list of its own each time, so the model sees a change.
        QList<Track> tracks = lib.tracks;
        tracks.detach();
        QElapsedTimer clock, sinceLastTurn;
        QTimer tick;
        tick.setInterval(1);
        tick.setTimerType(Qt::PreciseTimer);
        qint64 gap = 0;
        QObject::connect(&tick, &QTimer::timeout, [&] {
            gap = std::max(gap, sinceLastTurn.nsecsElapsed());
            sinceLastTurn.restart();
        });
        qint64 published = 0, listed = 0;
        QEventLoop loop;
        auto connection = QObject::connect(&model, &TavoModel::collectionInspectionChanged, [&] {
            if (!published)
                published = clock.nsecsElapsed();
        });
        QTimer watch;
        watch.setInterval(1);
        QObject::connect(&watch, &QTimer::timeout, [&] {
            const int count = page.listModel()->rowCount();
            if (count > 0 && !listed)
                listed = clock.nsecsElapsed();
            // Done once the list has measured its last row.
            if (count > 0 && list->visualRect(page.listModel()->index(count - 1)).isValid())
                loop.quit();
        });
        state.ResumeTiming();

        clock.start();
        sinceLastTurn.start();
        tick.start();
        watch.start();
        model.setTracks(tracks);
        loop.exec();
        tick.stop();
        watch.stop();
        QObject::disconnect(connection);
        state.PauseTiming();
        longestGap = std::max(longestGap, gap);
        offThread += double(published) / 1e6;
        untilRows += double(listed) / 1e6;
        rows = page.listModel()->rowCount();
        state.ResumeTiming();
    }
    const double n = double(state.iterations());
    state.counters["tracks"] = double(lib.tracks.size());
    state.counters["rows"] = double(rows);
    state.counters["until_result_ms"] = offThread / n;
    state.counters["until_rows_ms"] = untilRows / n;
    state.counters["longest_main_thread_step_ms"] = double(longestGap) / 1e6;
}
BENCHMARK(BM_QualityInspectionThroughThePage)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

} // namespace

int main(int argc, char **argv)
{
    // Keep the user's own settings out of reach; no display needed.
    QTemporaryDir home;
    setenv("XDG_CONFIG_HOME", QFile::encodeName(home.path()).constData(), 1);
    setenv("XDG_DATA_HOME", QFile::encodeName(home.path()).constData(), 1);
    if (!getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    library();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
