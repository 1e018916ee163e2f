// One change of a small setting (the tile size) with a library of 1,000 to
// 100,000 tracks, until it is in the file.
//
// SettingsChange: through Defaults, which keeps the library's paths in a file
// of their own; the time must not grow with the library.
// SettingsChangeWithPathsInside: the same change with the paths kept as one
// value of the settings file itself, as QSettings rewrites it (the way the
// settings were kept before), for comparison.
//
//   settingschange_bench

#include "platform/defaults.h"
#include "isolatedmain.h"

#include <QSettings>
#include <QStandardPaths>
#include <benchmark/benchmark.h>

using namespace Qt::StringLiterals;

namespace {

QStringList libraryPaths(qsizetype count)
{
    QStringList paths;
    paths.reserve(count);
    for (qsizetype i = 0; i < count; ++i)
        paths.append(u"/home/ja/Muzyka/Wykonawca %1/Album %2/%3 Utwór.flac"_s.arg(i / 120).arg(i / 12).arg(i % 12));
    return paths;
}

void SettingsChange(benchmark::State &state)
{
    Defaults::clear();
    Defaults::setStringList(u"libraryPaths"_s, libraryPaths(state.range(0)));
    Defaults::setString(u"sortMode"_s, u"Rok"_s);
    Defaults::flush();
    int size = 100;
    for (auto _ : state) {
        Defaults::setNumber(u"tileSize"_s, ++size);
        Defaults::flush();
    }
    Defaults::clear();
}
BENCHMARK(SettingsChange)->Arg(1'000)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMillisecond)->UseRealTime();

void SettingsChangeWithPathsInside(benchmark::State &state)
{
    const QString file =
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + u"/Vontaro/Inside.conf"_s;
    {
        QSettings settings(file, QSettings::IniFormat);
        settings.clear();
        settings.setValue(u"libraryPaths"_s, libraryPaths(state.range(0)));
        settings.setValue(u"sortMode"_s, u"Rok"_s);
    }
    int size = 100;
    for (auto _ : state) {
        QSettings settings(file, QSettings::IniFormat);
        settings.setValue(u"tileSize"_s, ++size);
        settings.sync();
    }
    QFile::remove(file);
}
BENCHMARK(SettingsChangeWithPathsInside)
    ->Arg(1'000)
    ->Arg(10'000)
    ->Arg(100'000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    return runIsolatedBenchmarks(argc, argv);
}
