// Covers embedded in the tracks, as an import keeps them (facts and a preview,
// the whole picture left in the files) and as the next start brings them back
// from the records, shown by the grid, Cover Flow and the album sheet: from
// the preview at the usual sizes, from the track's file when a view is larger
// than the preview.

#include "model/importscan.h"
#include "ui/album/albumdetail.h"
#include "ui/album/coversearchview.h"
#include "ui/coverflow/flowpictures.h"
#include "ui/library/covercache.h"

#include "support/embedpicture.h"
#include "support/imagefixtures.h"
#include "support/restartedtracks.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPainter>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <functional>
#include <ostream>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

bool waitFor(const std::function<bool()> &done)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < 15'000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

// A picture of one colour with a frame of another: the middle tells whether
// the picture shown is this one.
QByteArray framedCover(int side, QColor middle)
{
    QImage image(side, side, QImage::Format_RGB32);
    image.fill(QColor(250, 250, 250));
    QPainter painter(&image);
    painter.fillRect(side / 8, side / 8, side * 3 / 4, side * 3 / 4, middle);
    painter.end();
    // 100 KB, as large as real covers are, so that it has a preview of its own.
    return fixtures::paddedTo(fixtures::encode(image, "jpeg"), 100 * 1024);
}

// Where the tracks' covers come from: the import that read the files, or the
// records the next start reads instead of the files.
enum class Kept { byTheImport, afterARestart };

void PrintTo(Kept kept, std::ostream *out)
{
    *out << (kept == Kept::byTheImport ? "by the import" : "after a restart");
}

class EmbeddedCovers : public ::testing::TestWithParam<Kept>
{
protected:
    void SetUp() override
    {
        const QStringList fixturesUsed = {u"tagged.mp3"_s, u"tagged.flac"_s, u"aac.m4a"_s};
        ImportScan::CoverFiles covers;
        for (int i = 0; i < fixturesUsed.size(); ++i) {
            const QString path = dir.path() + u"/Band/Album/0%1 t.%2"_s.arg(i + 1).arg(
                                                  QFileInfo(fixturesUsed[i]).suffix());
            QDir().mkpath(QFileInfo(path).path());
            ASSERT_TRUE(QFile::copy(QStringLiteral(VONTARO_TEST_DATA_DIR "/audio/") + fixturesUsed[i], path));
            QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
            ASSERT_TRUE(fixtures::embedPicture(path, picture));
            Track track = ImportScan::readFile(path, {}, covers);
            track.artist = u"Band"_s;
            track.album = u"Album"_s;
            track.info.trackNumber = i + 1;
            tracks.append(track);
        }
        if (GetParam() == Kept::afterARestart) {
            const QList<Track> read = tracks;
            tracks = fixtures::throughRecords(read, dir.path() + u"/Library.records"_s);
            ASSERT_EQ(tracks.size(), fixturesUsed.size());
            // The covers are the records' own, not the ones the import made.
            ASSERT_TRUE(tracks.first().artwork.has_value());
            ASSERT_NE(tracks.first().artwork->address(), read.first().artwork->address());
        }
        album.artist = u"Band"_s;
        album.title = u"Album"_s;
        album.tracks = tracks;
    }

    QTemporaryDir dir;
    const QByteArray picture = framedCover(1024, QColor(200, 40, 160));
    QList<Track> tracks;
    Album album;
};

TEST_P(EmbeddedCovers, theImportKeepsOneCoverWithoutTheBytes)
{
    for (const Track &track : tracks) {
        ASSERT_TRUE(track.artwork.has_value()) << track.url.toStdString();
        EXPECT_EQ(track.artwork->address(), tracks.first().artwork->address());
        EXPECT_TRUE(track.artwork->isEmbedded());
        EXPECT_EQ(track.artwork->facts().size, QSize(1024, 1024));
        EXPECT_LT(track.artwork->preview().size(), picture.size());
    }
}

TEST_P(EmbeddedCovers, theGridShowsThePreviewAndReadsTheFileForLargeTiles)
{
    CoverCache cache;
    QSignalSpy decoded(&cache, &CoverCache::decoded);
    const QString key = CoverCache::keyOf(album);
    ASSERT_FALSE(key.isEmpty());
    for (const int pixels : {150, 700}) {
        SCOPED_TRACE(pixels);
        const int before = int(decoded.count());
        cache.cover(key, CoverCache::sourceOf(album), pixels);
        ASSERT_TRUE(waitFor([&] { return decoded.count() > before; }));
        const CoverCache::Lookup ready = cache.cover(key, CoverCache::sourceOf(album), pixels);
        ASSERT_EQ(ready.state, CoverCache::State::ready);
        // Larger than the preview: the picture itself, read from the file.
        EXPECT_GE(ready.image.width(), pixels);
        EXPECT_TRUE(fixtures::near(ready.image.pixelColor(ready.image.width() / 2, ready.image.height() / 2),
                                   QColor(200, 40, 160)));
        EXPECT_TRUE(fixtures::near(ready.image.pixelColor(2, 2), QColor(250, 250, 250)));
    }
}

TEST_P(EmbeddedCovers, coverFlowShowsTheCoverAtTheLargestStage)
{
    FlowPictures pictures;
    const QList<FlowAlbum> items = FlowAlbum::prepare(tracks);
    ASSERT_EQ(items.size(), 1);
    pictures.setItems(items);
    pictures.setCoverSize(520, 1);
    pictures.setCentre(0);
    ASSERT_TRUE(waitFor([&] { return pictures.isReady(0); }));
    const QImage sprite = pictures.spriteFor(0).flat;
    ASSERT_FALSE(sprite.isNull());
    const QImage placeholder = flowpictures::placeholderFace(520, 1);
    // The face's middle is the picture's middle, not the placeholder's.
    const QColor middle = sprite.pixelColor(260, 260);
    EXPECT_TRUE(fixtures::near(middle, QColor(200, 40, 160))) << middle.name().toStdString();
    EXPECT_FALSE(fixtures::near(placeholder.pixelColor(260, 260), QColor(200, 40, 160)));
}

TEST_P(EmbeddedCovers, theAlbumSheetReadsThePictureFromTheTrack)
{
    DetailCover cover(600);
    QSignalSpy changed(&cover, &DetailCover::imageChanged);
    cover.setArtwork(album.coverSource());
    ASSERT_TRUE(waitFor([&] { return changed.count() == 1; }));
    ASSERT_FALSE(cover.image().isNull());
    EXPECT_EQ(cover.image().size(), QSize(600, 600));
    EXPECT_TRUE(fixtures::near(cover.image().pixelColor(300, 300), QColor(200, 40, 160)));
    // The picture's own edge, at the picture's own sharpness: the frame is
    // there, one sixteenth of the way in.
    EXPECT_TRUE(fixtures::near(cover.image().pixelColor(37, 300), QColor(250, 250, 250)));
    // The last pixel of the frame and the first of the middle (the edge falls
    // between them at this size) stay apart: made from the whole picture, not
    // from the smaller preview enlarged, which blurs them into each other.
    EXPECT_TRUE(fixtures::near(cover.image().pixelColor(74, 300), QColor(250, 250, 250)))
        << cover.image().pixelColor(74, 300).name().toStdString();
    EXPECT_TRUE(fixtures::near(cover.image().pixelColor(75, 300), QColor(200, 40, 160)))
        << cover.image().pixelColor(75, 300).name().toStdString();

    // The same cover again starts nothing.
    cover.setArtwork(album.coverSource());
    QCoreApplication::processEvents();
    EXPECT_EQ(changed.count(), 1);
}

INSTANTIATE_TEST_SUITE_P(Covers, EmbeddedCovers, ::testing::Values(Kept::byTheImport, Kept::afterARestart),
                         [](const ::testing::TestParamInfo<Kept> &info) {
                             return info.param == Kept::byTheImport ? "ByTheImport" : "AfterARestart";
                         });

} // namespace
