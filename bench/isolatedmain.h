#pragma once

// The main of a benchmark that needs no window: the user's own settings and
// data are kept out of reach (both point at a temporary folder for the life
// of the program, before the first QSettings is made), then the benchmarks
// chosen on the command line run. `prepare` runs once before them, e.g. to
// warm the cache. With VONTARO_BENCH_HOME set, that folder is used instead
// and kept, so that a run it leaves (a stored library) can be profiled alone.

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <functional>

inline int runIsolatedBenchmarks(int argc, char **argv, const std::function<void()> &prepare = {})
{
    QTemporaryDir temporary;
    const char *kept = std::getenv("VONTARO_BENCH_HOME");
    const QByteArray home = kept && *kept ? QByteArray(kept) : QFile::encodeName(temporary.path());
    setenv("XDG_CONFIG_HOME", home.constData(), 1);
    setenv("XDG_DATA_HOME", home.constData(), 1);
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (prepare)
        prepare();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
