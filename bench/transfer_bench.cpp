// Copying 200 files of 5 MB onto a device folder on the same disk, and hashing
// the same files, side by side with `cp -r` and `sha256sum` in the same run.
// The transfer flushes every file to disk before naming it, so `cp -r` is also
// measured followed by `sync`, the fair comparison for a device write.

#include "device/storage.h"
#include "device/transfer.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

using namespace Qt::StringLiterals;

namespace {

constexpr int fileCount = 200;
constexpr qint64 fileSize = 5 * 1000 * 1000;

struct Sources {
    QTemporaryDir dir;
    QStringList files;

    Sources()
    {
        QDir().mkpath(dir.path() + u"/src"_s);
        QByteArray bytes(fileSize, Qt::Uninitialized);
        for (int i = 0; i < fileCount; ++i) {
            QRandomGenerator::global()->fillRange(reinterpret_cast<quint32 *>(bytes.data()), fileSize / 4);
            const QString path = dir.path() + QString::asprintf("/src/%03d Track.flac", i);
            QFile file(path);
            file.open(QIODevice::WriteOnly);
            file.write(bytes);
            files.append(path);
        }
    }
};

Sources &sources()
{
    static Sources s;
    return s;
}

QString freshTarget(const QString &name)
{
    const QString target = sources().dir.path() + u'/' + name;
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

void setBytes(benchmark::State &state)
{
    state.SetBytesProcessed(state.iterations() * fileCount * fileSize);
}

void BM_Transfer(benchmark::State &state)
{
    QList<TransferFile> jobs;
    for (const QString &file : sources().files)
        jobs.append(TransferFile{file, u"Artist"_s, u"Album"_s, std::nullopt});
    for (auto _ : state) {
        state.PauseTiming();
        const QString root = freshTarget(u"device"_s);
        QDir().mkpath(root + u"/.rockbox"_s);
        state.ResumeTiming();
        const TransferResult result = Storage::transfer(jobs, root);
        benchmark::DoNotOptimize(result.copied);
    }
    setBytes(state);
}

void BM_CpR(benchmark::State &state)
{
    for (auto _ : state) {
        state.PauseTiming();
        const QString target = freshTarget(u"cp"_s);
        state.ResumeTiming();
        run(u"cp"_s, {u"-r"_s, sources().dir.path() + u"/src"_s, target});
    }
    setBytes(state);
}

void BM_CpRThenSync(benchmark::State &state)
{
    for (auto _ : state) {
        state.PauseTiming();
        const QString target = freshTarget(u"cpsync"_s);
        run(u"sync"_s, {});
        state.ResumeTiming();
        run(u"cp"_s, {u"-r"_s, sources().dir.path() + u"/src"_s, target});
        run(u"sync"_s, {});
    }
    setBytes(state);
}

void BM_Digest(benchmark::State &state)
{
    for (auto _ : state) {
        for (const QString &file : sources().files)
            benchmark::DoNotOptimize(Storage::digest(file));
    }
    setBytes(state);
}

void BM_Sha256sum(benchmark::State &state)
{
    for (auto _ : state)
        run(u"sha256sum"_s, sources().files);
    setBytes(state);
}

} // namespace

BENCHMARK(BM_Transfer)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_CpR)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_CpRThenSync)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_Digest)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_Sha256sum)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

BENCHMARK_MAIN();
