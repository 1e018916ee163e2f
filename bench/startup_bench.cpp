// The main thread's side of a 50,000-track library, on a warm cache.
//
// Start-up: a library of generated files is imported once through the model,
// which stores its records and paths; every start is then a fresh model on
// the same settings and data folders (the settings read again from disk, as a
// new process does). Timed: until the library's tracks are published, and
// until the pages' first reads of the albums and the track list after that.
//
// Import: the same files imported into an empty library.
//
// Both record the longest time the main thread went without turning its event
// loop (a 1 ms timer notes the largest gap between two of its ticks), with a
// slot on tracksChanged that reads the albums and the track list as the pages
// do, so the finish and the first reads count as the steps they are.
//
// Start-up in a new process: the same stored library, restored by a process
// of its own (this program again, with --restore), from its main() until the
// library is ready (every track published, the model no longer busy), then
// the time its end takes (the model waits for any records being written).
// Whether that run rewrote the records file is reported beside the load
// average, which is what makes two figures of a busy machine comparable.
//
//   startup_bench --benchmark_filter=Startup
//   startup_bench --benchmark_filter=Import

#include "generatedlibrary.h"
#include "model/librarystore.h"
#include "model/tavomodel.h"
#include "platform/defaults.h"
#include "isolatedmain.h"
#include "machineload.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
#include <memory>
#include <sys/resource.h>

using namespace Qt::StringLiterals;

namespace {

constexpr int kTracks = 50'000;

qint64 monotonicNs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return qint64(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

// Processor time of the whole process so far (user and system, all threads).
double processMs()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3
           + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

generated::AudioLibrary &library()
{
    static const QByteArray cover = generated::noiseJPEG(120, 90);
    static generated::AudioLibrary lib(kTracks, 10, [](int) { return cover; });
    return lib;
}

QList<Device> noDevices()
{
    return {};
}

// What one run of the main thread saw.
struct MainThreadWatch {
    qint64 longestStep = 0;  // ns, the largest gap between two ticks
    qint64 shown = -1;       // ns from the start until the tracks were published
    qint64 shownAndRead = -1; // ... and the first reads of the lists done
    qint64 firstReads = 0;    // ns the first reads took
    qint64 done = 0;          // ns until the model was no longer busy
    qint64 started = 0;       // ns the start itself took (the settings read, the model made)
};

// Runs `start` (which makes or uses the model) and the event loop until the
// model is busy no more with `expected` tracks.
MainThreadWatch watch(const std::function<TavoModel *()> &start, qsizetype expected, benchmark::State &state)
{
    MainThreadWatch seen;
    QElapsedTimer sinceStart;
    QElapsedTimer sinceLastTurn;
    QTimer tick;
    tick.setInterval(1);
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        seen.longestStep = std::max(seen.longestStep, sinceLastTurn.nsecsElapsed());
        sinceLastTurn.restart();
    });
    QEventLoop loop;
    sinceStart.start();
    sinceLastTurn.start();
    tick.start();
    TavoModel *model = start();
    seen.started = sinceStart.nsecsElapsed();
    QObject::connect(model, &TavoModel::tracksChanged, &loop, [&] {
        if (model->tracks().size() != expected || seen.shown >= 0)
            return;
        seen.shown = sinceStart.nsecsElapsed();
        QElapsedTimer reads;
        reads.start();
        benchmark::DoNotOptimize(model->albums().size());
        benchmark::DoNotOptimize(model->filteredTracks().size());
        seen.firstReads = reads.nsecsElapsed();
        seen.shownAndRead = sinceStart.nsecsElapsed();
    });
    auto finished = [&] {
        if (!model->busy()) {
            seen.done = sinceStart.nsecsElapsed();
            loop.quit();
        }
    };
    QObject::connect(model, &TavoModel::busyChanged, &loop, finished);
    if (model->busy())
        loop.exec();
    else
        finished();
    tick.stop();
    // The last gap, until the loop ended.
    seen.longestStep = std::max(seen.longestStep, sinceLastTurn.nsecsElapsed());
    if (model->tracks().size() != expected)
        state.SkipWithError("not every file became a track");
    return seen;
}

void report(benchmark::State &state, const MainThreadWatch &seen)
{
    state.counters["shown_ms"] = double(seen.shown) / 1e6;
    state.counters["shown_and_read_ms"] = double(seen.shownAndRead) / 1e6;
    state.counters["first_reads_ms"] = double(seen.firstReads) / 1e6;
    state.counters["done_ms"] = double(seen.done) / 1e6;
    state.counters["start_step_ms"] = double(seen.started) / 1e6;
    state.counters["longest_main_thread_step_ms"] = double(seen.longestStep) / 1e6;
}

// Imports the library once, so that its records and paths are stored.
void saveLibraryOnce()
{
    static bool saved = false;
    if (saved)
        return;
    saved = true;
    Defaults::clear();
    TavoModel model(noDevices, false);
    QEventLoop loop;
    QObject::connect(&model, &TavoModel::busyChanged, &loop, [&] {
        if (!model.busy())
            loop.quit();
    });
    model.importURLs({library().dir.path()}, false, true);
    loop.exec();
    Defaults::flush();
    // The model's destruction waits for its records to be written.
}

void BM_StartupFromStoredRecords(benchmark::State &state)
{
    library();
    saveLibraryOnce();
    for (auto _ : state) {
        std::unique_ptr<TavoModel> model;
        const MainThreadWatch seen = watch([&] {
            // A new process reads the settings from disk first.
            Defaults::reload();
            model = std::make_unique<TavoModel>(noDevices, true);
            return model.get();
        }, kTracks, state);
        state.SetIterationTime(double(seen.shownAndRead) / 1e9);
        report(state, seen);
        state.PauseTiming();
        model.reset();
        Defaults::flush();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_StartupFromStoredRecords)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1)->Repetitions(3);

// Reading the stored records alone (on a worker at start-up).
void BM_LoadStoredRecords(benchmark::State &state)
{
    library();
    saveLibraryOnce();
    qsizetype count = 0;
    for (auto _ : state)
        count = LibraryStore::load(LibraryStore::defaultFile()).value_or(LibraryStore::Records()).size();
    state.counters["records"] = double(count);
    state.counters["file_mb"] = double(QFileInfo(LibraryStore::defaultFile()).size()) / 1e6;
}
BENCHMARK(BM_LoadStoredRecords)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// Writing them (on a thread of its own after every import or forget): the
// end of an import waits for it when the application closes.
void BM_SaveStoredRecords(benchmark::State &state)
{
    library();
    saveLibraryOnce();
    const LibraryStore::Records records = LibraryStore::load(LibraryStore::defaultFile()).value_or(LibraryStore::Records());
    QTemporaryDir dir;
    for (auto _ : state) {
        if (!LibraryStore::save(dir.path() + u"/Library.records"_s, records))
            state.SkipWithError("the records were not written");
    }
    state.counters["records"] = double(records.size());
}
BENCHMARK(BM_SaveStoredRecords)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_ImportMainThreadSteps(benchmark::State &state)
{
    library();
    for (auto _ : state) {
        Defaults::clear();
        std::unique_ptr<TavoModel> model;
        const MainThreadWatch seen = watch([&] {
            model = std::make_unique<TavoModel>(noDevices, false);
            model->importURLs({library().dir.path()}, false, true);
            return model.get();
        }, kTracks, state);
        state.SetIterationTime(double(seen.done) / 1e9);
        report(state, seen);
        state.PauseTiming();
        model.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ImportMainThreadSteps)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1)->Repetitions(3);

// The child: restores the stored library and prints its figures.
int restoreChild(int argc, char **argv, qint64 launched)
{
    const qint64 atMain = monotonicNs();
    QCoreApplication app(argc, argv);
    auto model = std::make_unique<TavoModel>(noDevices, true);
    QEventLoop loop;
    auto ready = [&] { return model->tracks().size() == kTracks && !model->busy(); };
    QObject::connect(model.get(), &TavoModel::busyChanged, &loop, [&] {
        if (ready())
            loop.quit();
    });
    if (!ready())
        loop.exec();
    const qint64 readyAt = monotonicNs();
    const double readyCpu = processMs();
    const bool complete = ready();
    model.reset();
    Defaults::flush();
    const qint64 endedAt = monotonicNs();
    std::printf("figure from_launch_ms %.3f\n", double(readyAt - launched) / 1e6);
    std::printf("figure from_main_ms %.3f\n", double(readyAt - atMain) / 1e6);
    std::printf("figure ready_cpu_ms %.3f\n", readyCpu);
    std::printf("figure end_ms %.3f\n", double(endedAt - readyAt) / 1e6);
    std::printf("figure tracks %d\n", int(complete ? kTracks : 0));
    return 0;
}

struct FileState {
    qint64 size = -1;
    QDateTime modified;
    bool operator==(const FileState &) const = default;
};

FileState fileState(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() ? FileState{info.size(), info.lastModified()} : FileState{};
}

void BM_StartupNewProcess(benchmark::State &state)
{
    library();
    saveLibraryOnce();
    std::map<std::string, std::pair<double, double>> range; // best, worst
    int rewritten = 0;
    double load = 0;
    for (auto _ : state) {
        const FileState before = fileState(LibraryStore::defaultFile());
        load = std::max(load, loadAverage());
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QCoreApplication::applicationFilePath(),
                    {u"--restore"_s, QString::number(monotonicNs())});
        child.waitForFinished(-1);
        if (child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0) {
            std::fprintf(stderr, "restoring process: %s, exit code %d\n", qPrintable(child.errorString()),
                         child.exitCode());
            state.SkipWithError("the restoring process failed");
        }
        std::map<std::string, double> figures;
        for (const QByteArray &line : child.readAllStandardOutput().split('\n')) {
            const QList<QByteArray> parts = line.split(' ');
            if (parts.size() == 3 && parts[0] == "figure")
                figures[parts[1].toStdString()] = parts[2].toDouble();
        }
        if (figures["tracks"] != kTracks)
            state.SkipWithError("not every file became a track");
        state.SetIterationTime(figures["from_main_ms"] / 1e3);
        for (const auto &[name, value] : figures) {
            auto [it, inserted] = range.try_emplace(name, value, value);
            it->second.first = std::min(it->second.first, value);
            it->second.second = std::max(it->second.second, value);
        }
        rewritten += fileState(LibraryStore::defaultFile()) == before ? 0 : 1;
    }
    for (const auto &[name, values] : range) {
        state.counters[name] = values.second;
        state.counters[name + "_min"] = values.first;
    }
    state.counters["records_rewritten"] = rewritten;
    state.counters["load_avg"] = load;
    std::fprintf(stderr, "load average %.2f; ready from main %.1f–%.1f ms; records rewritten %d times\n", load,
                 range["from_main_ms"].first, range["from_main_ms"].second, rewritten);
}
BENCHMARK(BM_StartupNewProcess)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);

} // namespace

int main(int argc, char **argv)
{
    // A restoring child inherits the parent's private folders.
    if (argc == 3 && QByteArray(argv[1]) == "--restore")
        return restoreChild(argc, argv, QByteArray(argv[2]).toLongLong());
    // The start-up reads the settings again from the private folder.
    return runIsolatedBenchmarks(argc, argv);
}
