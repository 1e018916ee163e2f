// Grouping a large library into albums: the model regroups on every change of
// the library, so this must stay well below a frame budget of interaction.

#include "media/albumgrouping.h"

#include <QCoreApplication>
#include <QList>
#include <benchmark/benchmark.h>

using namespace Qt::StringLiterals;

namespace {

// A library shaped like real ones: mostly ordinary album folders with track
// numbers, some multi-disc releases in "CD1"/"CD2" folders, some with disc tags
// across sibling folders, some compilations, and untagged folders that sort by
// file name alone.
QList<Track> library(int count)
{
    QList<Track> tracks;
    tracks.reserve(count);
    int album = 0;
    while (tracks.size() < count) {
        const QString artist = u"Wykonawca %1"_s.arg(album % 1500);
        const QString title = u"Album %1"_s.arg(album);
        const QString base = u"/home/ja/Muzyka/"_s + artist + u'/' + title;
        const int kind = album % 10;
        for (int i = 0; i < 12 && tracks.size() < count; ++i) {
            Track t;
            t.id = QUuid::createUuid();
            t.artist = kind == 7 ? u"Gość %1"_s.arg(i % 4) : artist;
            t.album = title;
            QString folder = base;
            if (kind == 3) { // disc folders
                folder += u"/CD"_s + QString::number(1 + i / 6);
                t.album = title + u" (Disc %1)"_s.arg(1 + i / 6);
            } else if (kind == 5) { // disc tags across sibling folders
                folder += i < 6 ? u"/Część A"_s : u"/Część B"_s;
                t.info.discNumber = 1 + i / 6;
            }
            const bool untagged = kind == 9;
            t.info.trackNumber = untagged ? 0 : (i % 6) + 1;
            t.url = folder + u'/' + (untagged ? u"Utwór %1.flac"_s.arg(i + 1) : u"%1 Tytuł.flac"_s.arg(i + 1, 2, 10, QChar(u'0')));
            t.title = t.url;
            tracks.append(std::move(t));
        }
        ++album;
    }
    return tracks;
}

void BM_Albums(benchmark::State &state)
{
    const QList<Track> tracks = library(int(state.range(0)));
    qsizetype albums = 0;
    for (auto _ : state) {
        const QList<Album> result = AlbumGrouping::albums(tracks);
        albums = result.size();
        benchmark::DoNotOptimize(result.constData());
    }
    state.counters["albums"] = double(albums);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_Albums)->Arg(50'000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
