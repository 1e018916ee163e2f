// The duplicate check as the user starts it, through the model: 2,000 files of
// about 1 MB, of which 1,000 share their size with another file (200 pairs of
// identical files and 300 pairs that only look alike by size) and 1,000 have a
// size of their own. Beside it, `sha256sum` over the 1,000 files that share a
// size, which is the reading the check cannot avoid. A 1 ms timer on the main
// thread records the longest wait between two turns of its loop while the
// check runs. Warm cache for both (the files are read once before timing).

#include "model/tavomodel.h"
#include "platform/defaults.h"
#include "isolatedmain.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>
#include <QUuid>
#include <benchmark/benchmark.h>
#include <cstdlib>

using namespace Qt::StringLiterals;

namespace {

constexpr int identicalPairs = 200;
constexpr int lookAlikePairs = 300;
constexpr int loners = 1000;

struct Library {
    QTemporaryDir dir;
    QList<Track> tracks;
    QStringList sharingASize;
    qint64 sharedBytes = 0;

    Library()
    {
        QByteArray content(1'100'000, '\0');
        const auto refill = [&] {
            QRandomGenerator::global()->fillRange(reinterpret_cast<quint32 *>(content.data()), content.size() / 4);
        };
        const auto add = [&](qint64 size, bool shared) {
            Track track;
            track.id = QUuid::createUuid();
            track.url = dir.path() + u"/%1.flac"_s.arg(tracks.size(), 4, 10, QChar(u'0'));
            track.title = track.url;
            track.artist = u"Artist"_s;
            track.album = u"Album"_s;
            track.bytes = size;
            QFile file(track.url);
            if (!file.open(QIODevice::WriteOnly) || file.write(content.constData(), size) != size)
                std::abort();
            tracks.append(track);
            if (shared) {
                sharingASize.append(track.url);
                sharedBytes += size;
            }
        };
        qint64 size = 1'000'000;
        for (int i = 0; i < identicalPairs; ++i, ++size) {
            refill();
            add(size, true);
            add(size, true);
        }
        for (int i = 0; i < lookAlikePairs; ++i, ++size) {
            refill();
            add(size, true);
            refill();
            add(size, true);
        }
        for (int i = 0; i < loners; ++i, ++size) {
            refill();
            add(size, false);
        }
    }
};

Library &library()
{
    static Library instance;
    return instance;
}

void BM_DuplicateCheckThroughModel(benchmark::State &state)
{
    Library &lib = library();
    qint64 longestGap = 0;
    for (auto _ : state) {
        state.PauseTiming();
        Defaults::clear();
        TavoModel model([] { return QList<Device>(); }, false);
        model.setTracks(lib.tracks);
        QEventLoop loop;
        QElapsedTimer sinceLastTurn;
        QTimer tick;
        tick.setInterval(1);
        tick.setTimerType(Qt::PreciseTimer);
        QObject::connect(&tick, &QTimer::timeout, [&] {
            longestGap = std::max(longestGap, sinceLastTurn.nsecsElapsed());
            sinceLastTurn.restart();
        });
        QObject::connect(&model, &TavoModel::busyChanged, &loop, [&] {
            if (!model.busy())
                loop.quit();
        });
        state.ResumeTiming();

        sinceLastTurn.start();
        tick.start();
        model.checkDuplicates();
        loop.exec();
        tick.stop();
        if (model.duplicateIssues().size() != identicalPairs)
            state.SkipWithError("wrong number of duplicate groups");
    }
    state.SetBytesProcessed(state.iterations() * lib.sharedBytes);
    state.counters["longest_main_thread_step_ms"] = double(longestGap) / 1e6;
}
BENCHMARK(BM_DuplicateCheckThroughModel)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

void BM_Sha256sumOfFilesSharingASize(benchmark::State &state)
{
    Library &lib = library();
    for (auto _ : state) {
        QProcess process;
        process.setStandardOutputFile(QProcess::nullDevice());
        process.start(u"sha256sum"_s, lib.sharingASize);
        process.waitForFinished(-1);
        if (process.exitCode() != 0)
            state.SkipWithError("sha256sum failed");
    }
    state.SetBytesProcessed(state.iterations() * lib.sharedBytes);
}
BENCHMARK(BM_Sha256sumOfFilesSharingASize)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

} // namespace

int main(int argc, char **argv)
{
    // Written once and read once, so both contenders start from a warm cache.
    return runIsolatedBenchmarks(argc, argv, [] {
        for (const Track &track : library().tracks) {
            QFile file(track.url);
            if (file.open(QIODevice::ReadOnly))
                while (!file.read(1 << 20).isEmpty()) {
                }
        }
    });
}
