// Copying files onto a device folder on the same disk, side by side in the same
// run with the tools a user would compare against: `cp -r` followed by `sync`
// (one flush for everything at the end) and a copy that flushes each file
// before the next (what any copy must do to report each file as safely on the
// device). Two shapes: 2,000 files of 100 KB, where the cost per file counts,
// and 200 files of 5 MB, where the bytes do. Hashing is measured against
// `sha256sum` as well.
//
// Each iteration runs the transfer and both references on fresh folders; the
// reported time is the transfer's, and the counters give its time divided by
// each reference's (below 1 is faster). Each copy is removed once timed, so
// the target disk needs room for one copy of the largest shape only.
//
// The copies go beside the generated sources unless VONTARO_TRANSFER_TARGET
// names a folder, such as a FAT32 file system mounted as a desktop mounts an
// iPod (scripts/fat32-bench.sh runs it so); the sources stay in the temporary
// folder, as a library stays on the computer.

#include "device/storage.h"
#include "device/transfer.h"
#include "platform/paths.h"
#include "platform/posixfile.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <chrono>
#include <functional>
#include <map>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

struct Sources {
    QTemporaryDir dir;
    QString folder;
    QStringList files;
    qint64 bytes = 0;

    Sources(int count, qint64 size)
    {
        folder = dir.path() + u"/src"_s;
        QDir().mkpath(folder);
        QByteArray data(size, Qt::Uninitialized);
        for (int i = 0; i < count; ++i) {
            QRandomGenerator::global()->fillRange(reinterpret_cast<quint32 *>(data.data()), size / 4);
            const QString path = folder + QString::asprintf("/%04d Track.flac", i);
            QFile file(path);
            file.open(QIODevice::WriteOnly);
            file.write(data);
            files.append(path);
            bytes += size;
        }
    }
};

Sources &sources(int count, qint64 size)
{
    static std::map<std::pair<int, qint64>, std::unique_ptr<Sources>> made;
    auto &slot = made[{count, size}];
    if (!slot)
        slot = std::make_unique<Sources>(count, size);
    return *slot;
}

// Where the copies go: the folder the environment names, else beside the sources.
QString targetFolder(const Sources &s)
{
    const QString chosen = qEnvironmentVariable("VONTARO_TRANSFER_TARGET");
    return chosen.isEmpty() ? s.dir.path() : chosen;
}

QString freshTarget(const Sources &s, const QString &name)
{
    const QString target = targetFolder(s) + u"/bench-"_s + name;
    QDir(target).removeRecursively();
    return target;
}

void run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(program, arguments);
    process.waitForFinished(-1);
}

double seconds(const std::function<void()> &work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The plain reference for a durable copy: read, write, fsync, close, per file.
void copyEachFileSynced(const QStringList &files, const QString &target)
{
    QDir().mkpath(target);
    constexpr qint64 chunk = 1 << 20;
    std::unique_ptr<char[]> buffer(new char[chunk]);
    for (const QString &file : files) {
        posixfile::File input = posixfile::openForReading(file);
        posixfile::File output = posixfile::createExclusive(paths::appending(target, paths::lastComponent(file)));
        for (qint64 n; (n = input.read(buffer.get(), chunk)) > 0;)
            output.writeAll(buffer.get(), n);
        output.sync();
        output.close();
    }
}

void BM_TransferAgainstReferences(benchmark::State &state)
{
    Sources &s = sources(int(state.range(0)), state.range(1));
    QList<TransferFile> jobs;
    for (const QString &file : s.files)
        jobs.append(TransferFile{file, u"Artist"_s, u"Album"_s, std::nullopt});
    double transfer = 0;
    double cpSync = 0;
    double fsyncCopy = 0;
    int round = 0;
    for (auto _ : state) {
        const QString root = freshTarget(s, u"device"_s);
        QDir().mkpath(root + u"/.rockbox"_s);
        const QString cp = freshTarget(s, u"cp"_s);
        const QString synced = freshTarget(s, u"synced"_s);
        // Each copy starts on a quiet disk and is removed, untimed, once timed.
        const auto settled = [](const QString &done) {
            QDir(done).removeRecursively();
            run(u"sync"_s, {});
        };
        run(u"sync"_s, {});

        double t = 0;
        double c = 0;
        double f = 0;
        const std::function<void()> steps[] = {
            [&] {
                t = seconds([&] { benchmark::DoNotOptimize(Storage::transfer(jobs, root).copied); });
                settled(root);
            },
            [&] {
                c = seconds([&] {
                    run(u"cp"_s, {u"-r"_s, s.folder, cp});
                    run(u"sync"_s, {});
                });
                settled(cp);
            },
            [&] {
                f = seconds([&] { copyEachFileSynced(s.files, synced); });
                settled(synced);
            },
        };
        // Each goes first in turn, so none always meets the disk as the one
        // before left it.
        for (int k = 0; k < 3; ++k)
            steps[(round + k) % 3]();
        ++round;
        state.SetIterationTime(t);
        transfer += t;
        cpSync += c;
        fsyncCopy += f;
    }
    state.SetBytesProcessed(state.iterations() * s.bytes);
    state.counters["x_cp_sync"] = transfer / cpSync;
    state.counters["x_fsync_copy"] = transfer / fsyncCopy;
    state.counters["cp_sync_ms"] = 1000 * cpSync / double(state.iterations());
    state.counters["fsync_copy_ms"] = 1000 * fsyncCopy / double(state.iterations());
}

void BM_Digest(benchmark::State &state)
{
    Sources &s = sources(200, 5'000'000);
    for (auto _ : state) {
        for (const QString &file : s.files)
            benchmark::DoNotOptimize(Storage::digest(file));
    }
    state.SetBytesProcessed(state.iterations() * s.bytes);
}

void BM_Sha256sum(benchmark::State &state)
{
    Sources &s = sources(200, 5'000'000);
    for (auto _ : state)
        run(u"sha256sum"_s, s.files);
    state.SetBytesProcessed(state.iterations() * s.bytes);
}

// Three rounds unless VONTARO_TRANSFER_ITERATIONS asks for more, as a noisy
// disk needs.
int rounds()
{
    bool ok = false;
    const int asked = qEnvironmentVariableIntValue("VONTARO_TRANSFER_ITERATIONS", &ok);
    return ok && asked > 0 ? asked : 3;
}

} // namespace

BENCHMARK(BM_TransferAgainstReferences)
    ->ArgNames({"files", "bytes"})
    ->Args({2000, 100'000})
    ->Args({200, 5'000'000})
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(rounds());
BENCHMARK(BM_Digest)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_Sha256sum)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

BENCHMARK_MAIN();
