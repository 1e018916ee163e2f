// Importing generated libraries of 1,000, 10,000 and 50,000 real audio files
// (MP3, FLAC, M4A and Ogg, each with tags of its own, ten tracks and one cover
// per album folder) through the model, against plain single-threaded TagLib
// reading the same files (FileRef with accurate audio properties, then every
// field of tag()) in the same run. Warm: the files are in the page cache.
// Cold: each file's cached pages are dropped first (posix_fadvise), and as
// root every cached page, folder and inode, for both.
// Beside the times, each benchmark reports the processor time of the whole
// process (every thread) per file, "cpu_us_per_file", and the machine's load
// average when it started, "load1"; the model's import also reports its wall
// time and its processor time as ratios to plain TagLib's of the same size in
// the same run ("time_ratio", "cpu_ratio"). On a shared machine the processor
// time ratio is the figure that load does not move much.
// A last benchmark measures the resident memory an import of 20,000 tracks in
// 2,000 folders with a 400 KB cover each adds.
//
//   importscale_bench --benchmark_filter='Warm|Cold'
//   importscale_bench --benchmark_filter=Memory

#include "generatedlibrary.h"
#include "model/importscan.h"
#include "model/tavomodel.h"
#include "platform/defaults.h"
#include "isolatedmain.h"
#include "machineload.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <fileref.h>
#include <map>
#include <memory>
#include <tag.h>
#include <sys/resource.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

QByteArray jpeg(int side, int quality)
{
    return generated::noiseJPEG(side, quality);
}

struct Library : generated::AudioLibrary {
    Library(int count, int perFolder, const QByteArray &cover)
        : generated::AudioLibrary(count, perFolder, [&cover](int) { return cover; })
    {
    }
};

Library &library(int count)
{
    static std::map<int, std::unique_ptr<Library>> made;
    auto &slot = made[count];
    if (!slot)
        slot = std::make_unique<Library>(count, 10, jpeg(120, 90));
    return *slot;
}

// Wall and processor seconds per file of the timed part of a benchmark.
struct Cost {
    double wall = 0;
    double cpu = 0;
};

// Plain TagLib's cost per file, by benchmark kind ("warm", "cold") and size,
// for the ratios of the model's import run after it.
std::map<std::pair<std::string, int>, Cost> &tagLibCosts()
{
    static std::map<std::pair<std::string, int>, Cost> costs;
    return costs;
}

// Times the timed part of each iteration by the clock and by processor time,
// and reports both per file with the load average.
class Meter
{
public:
    explicit Meter(benchmark::State &state) : m_state(state), m_load(loadAverage()) {}

    void start()
    {
        m_clock.start();
        m_cpuStart = processSeconds();
    }
    void stop()
    {
        m_wall += double(m_clock.nsecsElapsed()) / 1e9;
        m_cpu += processSeconds() - m_cpuStart;
    }

    Cost finish(qsizetype files)
    {
        const double n = double(std::max<qint64>(1, m_state.iterations() * files));
        const Cost cost{m_wall / n, m_cpu / n};
        m_state.counters["cpu_us_per_file"] = cost.cpu * 1e6;
        m_state.counters["wall_us_per_file"] = cost.wall * 1e6;
        m_state.counters["load1"] = m_load;
        m_state.counters["cores_busy"] = m_wall > 0 ? m_cpu / m_wall : 0;
        return cost;
    }

    // Ratios to plain TagLib's cost of the same kind and size, when it ran.
    void compare(const Cost &cost, const std::string &kind, int size)
    {
        const auto known = tagLibCosts().find({kind, size});
        if (known == tagLibCosts().end() || known->second.wall <= 0 || known->second.cpu <= 0)
            return;
        m_state.counters["time_ratio"] = cost.wall / known->second.wall;
        m_state.counters["cpu_ratio"] = cost.cpu / known->second.cpu;
    }

private:
    benchmark::State &m_state;
    double m_load = 0;
    QElapsedTimer m_clock;
    double m_cpuStart = 0;
    double m_wall = 0;
    double m_cpu = 0;
};

void dropCache(const QStringList &files)
{
    for (const QString &file : files) {
        const int fd = ::open(QFile::encodeName(file).constData(), O_RDONLY | O_CLOEXEC);
        if (fd >= 0) {
            ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
            ::close(fd);
        }
    }
    // Where allowed (as root), the folders' and inodes' caches go too, so the
    // walk over the tree starts cold as well.
    ::sync();
    const int fd = ::open("/proc/sys/vm/drop_caches", O_WRONLY | O_CLOEXEC);
    if (fd >= 0) {
        benchmark::DoNotOptimize(::write(fd, "3", 1));
        ::close(fd);
    }
}

// The whole import, up to the model's end, which waits for the stored
// records to be written; `shownMs` gets the time until the library was
// published and the import had ended.
qsizetype importThroughModel(const QString &root, double *shownMs = nullptr)
{
    QElapsedTimer clock;
    clock.start();
    Defaults::clear();
    qsizetype count = 0;
    {
        TavoModel model([] { return QList<Device>(); }, false);
        QEventLoop loop;
        QObject::connect(&model, &TavoModel::busyChanged, &loop, [&] {
            if (!model.busy())
                loop.quit();
        });
        model.importURLs({root}, false, true);
        loop.exec();
        count = model.tracks().size();
        if (shownMs)
            *shownMs = std::max(*shownMs, double(clock.nsecsElapsed()) / 1e6);
    }
    return count;
}

void plainTagLib(const QStringList &files)
{
    for (const QString &file : files) {
        TagLib::FileRef ref(QFile::encodeName(file).constData(), true, TagLib::AudioProperties::Accurate);
        if (const TagLib::Tag *tag = ref.tag()) {
            benchmark::DoNotOptimize(tag->title());
            benchmark::DoNotOptimize(tag->artist());
            benchmark::DoNotOptimize(tag->album());
            benchmark::DoNotOptimize(tag->track());
            benchmark::DoNotOptimize(tag->year());
        }
        if (const TagLib::AudioProperties *audio = ref.audioProperties())
            benchmark::DoNotOptimize(audio->lengthInMilliseconds());
    }
}

void BM_WarmModelImport(benchmark::State &state)
{
    Library &lib = library(int(state.range(0)));
    double shown = 0;
    Meter meter(state);
    for (auto _ : state) {
        meter.start();
        if (importThroughModel(lib.dir.path(), &shown) != lib.files.size())
            state.SkipWithError("not every file became a track");
        meter.stop();
    }
    state.counters["shown_ms_worst"] = shown;
    state.SetItemsProcessed(state.iterations() * lib.files.size());
    meter.compare(meter.finish(lib.files.size()), "warm", int(state.range(0)));
}

// The reading part alone, without the model's finish on the main thread.
void BM_WarmScanOnly(benchmark::State &state)
{
    Library &lib = library(int(state.range(0)));
    Meter meter(state);
    for (auto _ : state) {
        meter.start();
        if (ImportScan::run({lib.dir.path()}, {}, {}, {}).size() != lib.files.size())
            state.SkipWithError("not every file became a track");
        meter.stop();
    }
    state.SetItemsProcessed(state.iterations() * lib.files.size());
    meter.compare(meter.finish(lib.files.size()), "warm", int(state.range(0)));
}

void BM_WarmPlainTagLib(benchmark::State &state)
{
    Library &lib = library(int(state.range(0)));
    Meter meter(state);
    for (auto _ : state) {
        meter.start();
        plainTagLib(lib.files);
        meter.stop();
    }
    state.SetItemsProcessed(state.iterations() * lib.files.size());
    tagLibCosts()[{"warm", int(state.range(0))}] = meter.finish(lib.files.size());
}

void BM_ColdModelImport(benchmark::State &state)
{
    Library &lib = library(int(state.range(0)));
    double shown = 0;
    Meter meter(state);
    for (auto _ : state) {
        state.PauseTiming();
        dropCache(lib.files);
        state.ResumeTiming();
        meter.start();
        if (importThroughModel(lib.dir.path(), &shown) != lib.files.size())
            state.SkipWithError("not every file became a track");
        meter.stop();
    }
    state.counters["shown_ms_worst"] = shown;
    state.SetItemsProcessed(state.iterations() * lib.files.size());
    meter.compare(meter.finish(lib.files.size()), "cold", int(state.range(0)));
}

void BM_ColdPlainTagLib(benchmark::State &state)
{
    Library &lib = library(int(state.range(0)));
    Meter meter(state);
    for (auto _ : state) {
        state.PauseTiming();
        dropCache(lib.files);
        state.ResumeTiming();
        meter.start();
        plainTagLib(lib.files);
        meter.stop();
    }
    state.SetItemsProcessed(state.iterations() * lib.files.size());
    tagLibCosts()[{"cold", int(state.range(0))}] = meter.finish(lib.files.size());
}

// Each pair runs side by side, so the machine's state is the same for both.
BENCHMARK(BM_WarmPlainTagLib)->Arg(1000)->Arg(10000)->Arg(50000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_WarmModelImport)->Arg(1000)->Arg(10000)->Arg(50000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_WarmScanOnly)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_ColdPlainTagLib)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
BENCHMARK(BM_ColdModelImport)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
BENCHMARK(BM_ColdPlainTagLib)->Name("BM_ColdPlainTagLib50k")->Arg(50000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_ColdModelImport)->Name("BM_ColdModelImport50k")->Arg(50000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

long residentKilobytes()
{
    QFile status(u"/proc/self/status"_s);
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return 0;
}

// 20,000 tracks in 2,000 folders, a 400 KB cover in each: resident memory
// after the import, with the model and its tracks alive.
void BM_MemoryAfterImport(benchmark::State &state)
{
    static Library lib(20000, 10, [] {
        QByteArray cover = jpeg(400, 95);
        // Pad to 400 KB with a comment segment after the start marker.
        while (cover.size() < 400 * 1024) {
            const int room = std::min(400 * 1024 - int(cover.size()), 65000);
            QByteArray segment("\xFF\xFE", 2);
            segment += char((room + 2) >> 8);
            segment += char((room + 2) & 0xFF);
            segment += QByteArray(room, 'c');
            cover.insert(2, segment);
        }
        return cover;
    }());
    for (auto _ : state) {
        const long before = residentKilobytes();
        Defaults::clear();
        TavoModel model([] { return QList<Device>(); }, false);
        QEventLoop loop;
        QObject::connect(&model, &TavoModel::busyChanged, &loop, [&] {
            if (!model.busy())
                loop.quit();
        });
        model.importURLs({lib.dir.path()}, false, true);
        loop.exec();
        state.counters["tracks"] = double(model.tracks().size());
        state.counters["rss_after_import_mb"] = double(residentKilobytes()) / 1024;
        state.counters["rss_added_mb"] = double(residentKilobytes() - before) / 1024;
    }
}
BENCHMARK(BM_MemoryAfterImport)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

} // namespace

int main(int argc, char **argv)
{
    return runIsolatedBenchmarks(argc, argv);
}
