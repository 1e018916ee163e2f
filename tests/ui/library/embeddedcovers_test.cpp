// Covers embedded in the tracks, as an import keeps them (facts and a preview,
// the whole picture left in the files), shown by the grid, Cover Flow and the
// album sheet: from the preview at the usual sizes, from the track's file
// when a view is larger than the preview.

#include "model/importscan.h"
#include "ui/album/albumdetail.h"
#include "ui/album/coversearchview.h"
#include "ui/coverflow/flowpictures.h"
#include "ui/library/covercache.h"

#include "support/embedpicture.h"
#include "support/imagefixtures.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPainter>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <functional>
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
    // Padded with a comment segment to 100 KB, as large as real covers are,
    // so that it has a preview of its own.
    QByteArray jpeg = fixtures::encode(image, "jpeg");
    const int room = 100 * 1024 - int(jpeg.size());
    QByteArray segment("\xFF\xFE", 2);
    segment += char((room + 2) >> 8);
    segment += char((room + 2) & 0xFF);
    segment += QByteArray(room, 'c');
    jpeg.insert(2, segment);
    return jpeg;
}

class EmbeddedCovers : public ::testing::Test
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
        album.artist = u"Band"_s;
        album.title = u"Album"_s;
        album.tracks = tracks;
    }

    QTemporaryDir dir;
    const QByteArray picture = framedCover(1000, QColor(200, 40, 160));
    QList<Track> tracks;
    Album album;
};

TEST_F(EmbeddedCovers, theImportKeepsOneCoverWithoutTheBytes)
{
    for (const Track &track : tracks) {
        ASSERT_TRUE(track.artwork.has_value()) << track.url.toStdString();
        EXPECT_EQ(track.artwork->address(), tracks.first().artwork->address());
        EXPECT_TRUE(track.artwork->isEmbedded());
        EXPECT_EQ(track.artwork->facts().size, QSize(1000, 1000));
        EXPECT_LT(track.artwork->preview().size(), picture.size());
    }
}

TEST_F(EmbeddedCovers, theGridShowsThePreviewAndReadsTheFileForLargeTiles)
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

TEST_F(EmbeddedCovers, coverFlowShowsTheCoverAtTheLargestStage)
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

TEST_F(EmbeddedCovers, theAlbumSheetReadsThePictureFromTheTrack)
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

    // The same cover again starts nothing.
    cover.setArtwork(album.coverSource());
    QCoreApplication::processEvents();
    EXPECT_EQ(changed.count(), 1);
}

} // namespace
