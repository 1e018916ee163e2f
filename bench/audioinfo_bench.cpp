// Reading technical data from a folder of 2,000 mixed audio files on a warm
// cache, one thread: AudioInfo::read alone, as the import uses it (plus the
// metadata items of non-FLAC files), and a plain TagLib FileRef for comparison.

#include "media/audioinfo.h"
#include "platform/mediaasset.h"
#include "platform/paths.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <taglib/fileref.h>
#include <taglib/tag.h>

using namespace Qt::StringLiterals;

namespace {

constexpr int fileCount = 2000;

const QStringList &files()
{
    static QTemporaryDir dir;
    static QStringList list = [] {
        const QStringList sources = {u"tagged.flac"_s, u"tagged.mp3"_s, u"aac.m4a"_s,   u"alac.m4a"_s,   u"vorbis.ogg"_s,
                                     u"opus.opus"_s,   u"wav24.wav"_s,  u"adts.aac"_s, u"tagged.aiff"_s};
        QStringList out;
        for (int i = 0; i < fileCount; ++i) {
            const QString source = QString::fromUtf8(VONTARO_TEST_DATA_DIR "/audio/") + sources[i % sources.size()];
            const QString target = dir.filePath(QString::number(i).rightJustified(4, u'0') + u' ' + paths::lastComponent(source));
            if (!QFile::copy(source, target))
                qFatal("cannot copy the sample files");
            out.append(target);
        }
        return out;
    }();
    return list;
}

void warmUp()
{
    for (const QString &path : files()) {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly))
            benchmark::DoNotOptimize(file.readAll());
    }
}

void BM_AudioInfoRead(benchmark::State &state)
{
    warmUp();
    for (auto _ : state)
        for (const QString &path : files()) {
            MediaAsset asset(path);
            benchmark::DoNotOptimize(AudioInfo::read(path, asset));
        }
    state.SetItemsProcessed(state.iterations() * files().size());
}
BENCHMARK(BM_AudioInfoRead)->Unit(benchmark::kMillisecond);

void BM_AudioInfoReadWithMetadataItems(benchmark::State &state)
{
    warmUp();
    for (auto _ : state)
        for (const QString &path : files()) {
            MediaAsset asset(path);
            benchmark::DoNotOptimize(AudioInfo::read(path, asset));
            if (paths::extension(path) != u"flac")
                benchmark::DoNotOptimize(asset.metadata());
        }
    state.SetItemsProcessed(state.iterations() * files().size());
}
BENCHMARK(BM_AudioInfoReadWithMetadataItems)->Unit(benchmark::kMillisecond);

void BM_TagLibFileRef(benchmark::State &state)
{
    warmUp();
    for (auto _ : state)
        for (const QString &path : files()) {
            const QByteArray name = QFile::encodeName(path);
            TagLib::FileRef ref(name.constData(), true, TagLib::AudioProperties::Accurate);
            if (!ref.isNull() && ref.tag())
                benchmark::DoNotOptimize(ref.tag()->title());
            if (!ref.isNull() && ref.audioProperties())
                benchmark::DoNotOptimize(ref.audioProperties()->lengthInMilliseconds());
        }
    state.SetItemsProcessed(state.iterations() * files().size());
}
BENCHMARK(BM_TagLibFileRef)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
