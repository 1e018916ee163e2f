// Importing a generated tree of 5,000 audio files through the model, end to end
// on a warm cache, against reading the same files' technical data and tags
// alone; and the longest time the main thread went without turning its event
// loop while the scan ran. Each benchmark reports the machine's load average
// when it started ("load1") and the processor time of the whole process per
// file ("cpu_us_per_file"), which load moves far less than the clock.

#include "media/audioinfo.h"
#include "model/tavomodel.h"
#include "platform/defaults.h"
#include "platform/mediaasset.h"
#include "isolatedmain.h"
#include "machineload.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <sys/resource.h>

using namespace Qt::StringLiterals;

namespace {

constexpr int fileCount = 5000;

struct Tree {
    QTemporaryDir dir;
    QStringList files;

    Tree()
    {
        const QStringList sources = {u"tagged.mp3"_s, u"tagged.flac"_s, u"aac.m4a"_s, u"vorbis.ogg"_s};
        for (int i = 0; i < fileCount; ++i) {
            const QString source = QStringLiteral(VONTARO_TEST_DATA_DIR "/audio/") + sources.at(i % sources.size());
            const QString folder = dir.path() + QString::asprintf("/Artist %d/Album %d", i / 500, i / 100);
            QDir().mkpath(folder);
            const QString target = folder + QString::asprintf("/%03d Track.", i % 100) + QFileInfo(source).suffix();
            QFile::copy(source, target);
            files.append(target);
        }
    }
};

Tree &tree()
{
    static Tree t;
    return t;
}

// Reports the load average at the start and the processor time per file.
class CpuCounters
{
public:
    explicit CpuCounters(benchmark::State &state) : m_state(state), m_load(loadAverage()), m_start(processSeconds()) {}
    ~CpuCounters()
    {
        const double files = double(std::max<qint64>(1, m_state.iterations() * fileCount));
        m_state.counters["load1"] = m_load;
        m_state.counters["cpu_us_per_file"] = (processSeconds() - m_start) / files * 1e6;
    }

private:
    benchmark::State &m_state;
    double m_load;
    double m_start;
};

// `watchMainThread` adds a 1 ms timer that records the longest wait between two
// turns of the main loop while the scan runs; it costs a little throughput.
void importThroughModel(benchmark::State &state, bool watchMainThread)
{
    Tree &t = tree();
    CpuCounters counters(state);
    qint64 longestGap = 0;
    qint64 longestFinish = 0;
    for (auto _ : state) {
        Defaults::clear();
        TavoModel model([] { return QList<Device>(); }, false);
        QEventLoop loop;
        QElapsedTimer sinceLastTurn;
        QTimer tick;
        tick.setInterval(1);
        tick.setTimerType(Qt::PreciseTimer);
        bool finishing = false;
        QElapsedTimer finish;
        QObject::connect(&tick, &QTimer::timeout, [&] {
            // Only the turns while the scan runs count; the finish is timed on its own.
            if (!finishing)
                longestGap = std::max(longestGap, sinceLastTurn.nsecsElapsed());
            sinceLastTurn.restart();
        });
        QObject::connect(&model, &TavoModel::tracksChanged, [&] {
            finishing = true;
            finish.start();
        });
        QObject::connect(&model, &TavoModel::busyChanged, &loop, [&] {
            if (!model.busy()) {
                longestFinish = std::max(longestFinish, finish.nsecsElapsed());
                loop.quit();
            }
        });
        sinceLastTurn.start();
        if (watchMainThread)
            tick.start();
        model.importURLs({t.dir.path()}, false, true);
        loop.exec();
        tick.stop();
        if (model.tracks().size() != fileCount)
            state.SkipWithError("not every file became a track");
    }
    state.SetItemsProcessed(state.iterations() * fileCount);
    state.counters["finish_step_ms"] = double(longestFinish) / 1e6;
    if (watchMainThread)
        state.counters["longest_main_thread_step_ms"] = double(longestGap) / 1e6;
}

void BM_ImportThroughModel(benchmark::State &state)
{
    importThroughModel(state, false);
}
BENCHMARK(BM_ImportThroughModel)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_ImportMainThreadSteps(benchmark::State &state)
{
    importThroughModel(state, true);
}
BENCHMARK(BM_ImportMainThreadSteps)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// The part of the import that reads each file: technical data and tags.
void BM_TagReadingAlone(benchmark::State &state)
{
    Tree &t = tree();
    CpuCounters counters(state);
    for (auto _ : state) {
        for (const QString &file : t.files) {
            MediaAsset asset(file);
            AudioInfo info = AudioInfo::read(file, asset);
            if (!file.endsWith(u".flac"_s))
                benchmark::DoNotOptimize(asset.metadata());
            benchmark::DoNotOptimize(info);
        }
    }
    state.SetItemsProcessed(state.iterations() * fileCount);
}
BENCHMARK(BM_TagReadingAlone)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// Saving the library's paths, which the import does on the main thread when it ends.
void BM_SaveLibraryPaths(benchmark::State &state)
{
    Tree &t = tree();
    CpuCounters counters(state);
    for (auto _ : state)
        Defaults::setStringList(u"libraryPaths"_s, t.files);
    state.SetItemsProcessed(state.iterations() * fileCount);
}
BENCHMARK(BM_SaveLibraryPaths)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

} // namespace

int main(int argc, char **argv)
{
    return runIsolatedBenchmarks(argc, argv, [] { tree(); }); // warm the cache before timing
}
