// Importing a library whose albums each have a distinct cover of 432 KB,
// once embedded in every track (ID3 APIC in MP3, a FLAC picture block, MP4
// "covr" in M4A) and once as each folder's cover.jpg with no picture in the
// tracks: the peak resident memory and the time of the whole import through
// the model, the stored records written. Each import runs in a process of
// its own (this program started again), so that the peak is that import's
// alone. The argument is the number of albums of ten tracks (2,000: 20,000
// tracks, 8.6 GB of pictures when embedded).
//
//   embeddedcovers_bench --benchmark_filter='/200$'    (a quick run)

#include "generatedlibrary.h"
#include "model/tavomodel.h"
#include "platform/defaults.h"
#include "isolatedmain.h"
#include "machineload.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <attachedpictureframe.h>
#include <benchmark/benchmark.h>
#include <flacfile.h>
#include <flacpicture.h>
#include <id3v2tag.h>
#include <map>
#include <memory>
#include <mp4coverart.h>
#include <mp4file.h>
#include <mp4tag.h>
#include <mpegfile.h>
#include <sys/resource.h>
#include <xiphcomment.h>

using namespace Qt::StringLiterals;

namespace {

constexpr qsizetype coverBytes = 432 * 1024;
constexpr int perAlbum = 10;

// A photograph-like picture of 432 KB; each album's copy differs by a comment
// segment naming the album, so every album's cover is a distinct picture.
QByteArray albumCover(int album)
{
    static const QByteArray base = [] {
        QByteArray photo = generated::photoJPEG(1000, 1000, 11);
        // Brought to the size with a comment segment after the start marker.
        while (photo.size() < coverBytes - 64) {
            const int room = int(std::min<qsizetype>(coverBytes - 64 - photo.size(), 65000));
            QByteArray segment("\xFF\xFE", 2);
            segment += char((room + 2) >> 8);
            segment += char((room + 2) & 0xFF);
            segment += QByteArray(room, 'c');
            photo.insert(2, segment);
        }
        return photo;
    }();
    QByteArray name = QByteArray("album ") + QByteArray::number(album);
    name = name.leftJustified(60, ' ');
    QByteArray segment("\xFF\xFE", 2);
    segment += char((name.size() + 2) >> 8);
    segment += char((name.size() + 2) & 0xFF);
    segment += name;
    QByteArray cover = base;
    cover.insert(2, segment);
    return cover;
}

// Gives the file its tags and `picture` as its only picture (none when empty).
bool tagFile(const QString &path, int index, int album, const QByteArray &picture)
{
    const QByteArray encoded = QFile::encodeName(path);
    const TagLib::ByteVector data(picture.constData(), uint(picture.size()));
    const TagLib::String title(QString::asprintf("Title %d", index).toStdString());
    const TagLib::String artist(QString::asprintf("Artist %d", album / 10).toStdString());
    const TagLib::String albumName(QString::asprintf("Album %d", album).toStdString());
    const uint track = uint(index % perAlbum + 1);
    auto setTags = [&](TagLib::Tag *tag) {
        tag->setTitle(title);
        tag->setArtist(artist);
        tag->setAlbum(albumName);
        tag->setTrack(track);
    };
    if (path.endsWith(u".mp3"_s)) {
        TagLib::MPEG::File file(encoded.constData());
        TagLib::ID3v2::Tag *tag = file.ID3v2Tag(true);
        setTags(tag);
        tag->removeFrames("APIC");
        if (!picture.isEmpty()) {
            auto *frame = new TagLib::ID3v2::AttachedPictureFrame;
            frame->setMimeType("image/jpeg");
            frame->setType(TagLib::ID3v2::AttachedPictureFrame::FrontCover);
            frame->setPicture(data);
            tag->addFrame(frame);
        }
        return file.save();
    }
    if (path.endsWith(u".flac"_s)) {
        TagLib::FLAC::File file(encoded.constData());
        setTags(file.xiphComment(true));
        file.removePictures();
        if (!picture.isEmpty()) {
            auto *block = new TagLib::FLAC::Picture;
            block->setMimeType("image/jpeg");
            block->setType(TagLib::FLAC::Picture::FrontCover);
            block->setData(data);
            file.addPicture(block);
        }
        return file.save();
    }
    TagLib::MP4::File file(encoded.constData());
    setTags(file.tag());
    file.tag()->removeItem("covr");
    if (!picture.isEmpty())
        file.tag()->setItem("covr", TagLib::MP4::CoverArtList().append(TagLib::MP4::CoverArt(TagLib::MP4::CoverArt::JPEG, data)));
    return file.save();
}

// `albums` folders of ten tracks (MP3, FLAC and M4A by turns), each album's
// cover embedded in its tracks or written beside them as cover.jpg.
struct CoverLibrary {
    QTemporaryDir dir;
    qsizetype files = 0;
    bool ok = true;

    CoverLibrary(int albums, bool embedded)
    {
        const QStringList sources = {u"tagged.mp3"_s, u"tagged.flac"_s, u"aac.m4a"_s};
        for (int album = 0; album < albums && ok; ++album) {
            const QByteArray cover = albumCover(album);
            const QString folder = dir.path() + QString::asprintf("/Artist %d/Album %d", album / 10, album);
            QDir().mkpath(folder);
            if (!embedded) {
                QFile file(folder + u"/cover.jpg"_s);
                ok = ok && file.open(QIODevice::WriteOnly) && file.write(cover) == cover.size();
            }
            const QString source = QStringLiteral(VONTARO_TEST_DATA_DIR "/audio/") + sources.at(album % sources.size());
            for (int t = 0; t < perAlbum && ok; ++t) {
                const int index = album * perAlbum + t;
                const QString target = folder + QString::asprintf("/%02d Track %d.", t + 1, index)
                                       + QFileInfo(source).suffix();
                ok = QFile::copy(source, target);
                QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner);
                ok = ok && tagFile(target, index, album, embedded ? cover : QByteArray());
                ++files;
            }
        }
    }
};

CoverLibrary &library(int albums, bool embedded)
{
    static std::map<std::pair<int, bool>, std::unique_ptr<CoverLibrary>> made;
    auto &slot = made[{albums, embedded}];
    if (!slot)
        slot = std::make_unique<CoverLibrary>(albums, embedded);
    return *slot;
}

// The child: imports `root` through the model, lets the model go (which waits
// for the stored records to be written) and prints the import's time in
// milliseconds, the number of tracks, the peak resident memory in KiB and the
// processor time the import took in milliseconds (over its time: the cores it
// kept busy).
int importChild(const QString &root)
{
    QElapsedTimer clock;
    clock.start();
    qsizetype tracks = 0;
    double importMs = 0;
    double cpuMs = 0;
    {
        Defaults::clear();
        TavoModel model([] { return QList<Device>(); }, false);
        QEventLoop loop;
        QObject::connect(&model, &TavoModel::busyChanged, &loop, [&] {
            if (!model.busy())
                loop.quit();
        });
        model.importURLs({root}, false, true);
        loop.exec();
        importMs = double(clock.nsecsElapsed()) / 1e6;
        struct rusage spent {};
        ::getrusage(RUSAGE_SELF, &spent);
        cpuMs = double(spent.ru_utime.tv_sec + spent.ru_stime.tv_sec) * 1e3
                + double(spent.ru_utime.tv_usec + spent.ru_stime.tv_usec) / 1e3;
        tracks = model.tracks().size();
    }
    struct rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    std::printf("%.1f %lld %ld %.1f\n", importMs, static_cast<long long>(tracks), usage.ru_maxrss, cpuMs);
    return 0;
}

void importInChild(benchmark::State &state, bool embedded)
{
    const int albums = int(state.range(0));
    CoverLibrary &lib = library(albums, embedded);
    if (!lib.ok) {
        state.SkipWithError("the library could not be made");
        return;
    }
    double peakMb = 0;
    double load = 0;
    double importMs = 0;
    double cpuMs = 0;
    for (auto _ : state) {
        load = loadAverage();
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {u"--import-child"_s, lib.dir.path()});
        if (!child.waitForFinished(-1) || child.exitCode() != 0) {
            state.SkipWithError("the importing process failed");
            return;
        }
        const QList<QByteArray> figures = child.readAllStandardOutput().trimmed().split(' ');
        if (figures.size() != 4 || figures.at(1).toLongLong() != lib.files) {
            state.SkipWithError("not every file became a track");
            return;
        }
        state.SetIterationTime(figures.at(0).toDouble() / 1000);
        peakMb = std::max(peakMb, figures.at(2).toDouble() / 1024);
        importMs += figures.at(0).toDouble();
        cpuMs += figures.at(3).toDouble();
    }
    state.counters["peak_rss_mb"] = peakMb;
    state.counters["tracks"] = double(lib.files);
    state.counters["busy_cores"] = importMs > 0 ? cpuMs / importMs : 0;
    state.counters["load1"] = load;
    state.SetItemsProcessed(state.iterations() * lib.files);
}

void BM_ImportEmbeddedCovers(benchmark::State &state)
{
    importInChild(state, true);
}

void BM_ImportFolderCovers(benchmark::State &state)
{
    importInChild(state, false);
}

BENCHMARK(BM_ImportFolderCovers)->Arg(200)->Arg(2000)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(2);
BENCHMARK(BM_ImportEmbeddedCovers)->Arg(200)->Arg(2000)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(2);

} // namespace

int main(int argc, char **argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--import-child") == 0) {
        QTemporaryDir home;
        setenv("XDG_CONFIG_HOME", QFile::encodeName(home.path()).constData(), 1);
        setenv("XDG_DATA_HOME", QFile::encodeName(home.path()).constData(), 1);
        QCoreApplication app(argc, argv);
        return importChild(QString::fromLocal8Bit(argv[2]));
    }
    return runIsolatedBenchmarks(argc, argv);
}
