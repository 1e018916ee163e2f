// Duplicate check over 500 files of 4 MB in 100 size groups of 5, beside
// `sha256sum` reading the same files (warm cache for both, after a first pass).

#include "media/duplicates.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QUuid>
#include <benchmark/benchmark.h>

using namespace Qt::StringLiterals;

namespace {

struct Library {
    QTemporaryDir dir;
    QList<Track> tracks;
    qint64 totalBytes = 0;

    Library()
    {
        QByteArray content(4 * 1024 * 1024 + 100, '\0');
        for (int group = 0; group < 100; ++group) {
            for (int member = 0; member < 5; ++member) {
                const qint64 size = 4'000'000 + group; // 100 distinct sizes
                QRandomGenerator::global()->fillRange(reinterpret_cast<quint32 *>(content.data()),
                                                      content.size() / 4);
                Track track;
                track.id = QUuid::createUuid();
                track.url = dir.path() + u"/%1-%2.flac"_s.arg(group).arg(member);
                track.title = track.url;
                track.bytes = size;
                QFile file(track.url);
                file.open(QIODevice::WriteOnly);
                file.write(content.constData(), size);
                totalBytes += size;
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

void BM_DuplicateCheck(benchmark::State &state)
{
    Library &lib = library();
    for (auto _ : state) {
        auto issues = CollectionQuality::duplicates(lib.tracks);
        benchmark::DoNotOptimize(issues);
    }
    state.SetBytesProcessed(state.iterations() * lib.totalBytes);
}
BENCHMARK(BM_DuplicateCheck)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(5);

void BM_Sha256sum(benchmark::State &state)
{
    Library &lib = library();
    QStringList arguments;
    for (const Track &track : lib.tracks)
        arguments.append(track.url);
    for (auto _ : state) {
        QProcess process;
        process.setStandardOutputFile(QProcess::nullDevice());
        process.start(u"sha256sum"_s, arguments);
        process.waitForFinished(-1);
        if (process.exitCode() != 0)
            state.SkipWithError("sha256sum failed");
    }
    state.SetBytesProcessed(state.iterations() * lib.totalBytes);
}
BENCHMARK(BM_Sha256sum)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(5);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
