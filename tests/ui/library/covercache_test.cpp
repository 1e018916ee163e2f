#include "ui/library/covercache.h"

#include "librarytesting.h"
#include "support/imagefixtures.h"
#include "ui/library/covertile.h"

#include <QSignalSpy>

using namespace librarytesting;

namespace {

Album albumWith(const std::optional<QByteArray> &artwork)
{
    Spec s;
    s.artwork = artwork;
    Album a;
    a.title = u"Album"_s;
    a.tracks = {track(s)};
    return a;
}

TEST(CoverCacheDecode, AnyAspectBecomesTheCentredSquare)
{
    struct Case {
        int width, height, pixels, side;
    } cases[] = {
        {1200, 600, 200, 200}, // landscape: the middle square
        {600, 1200, 200, 200}, // portrait
        {800, 800, 256, 256},
        {100, 60, 256, 60}, // never scaled up beyond the shorter side
    };
    for (const Case &c : cases) {
        // Left half red, right half blue: a centred crop keeps both colours at its edges.
        const QImage square = CoverCache::decodeSquare(cover(c.width, c.height), c.pixels);
        ASSERT_FALSE(square.isNull()) << c.width << "x" << c.height;
        EXPECT_EQ(square.size(), QSize(c.side, c.side)) << c.width << "x" << c.height;
        const int y = c.side / 2;
        EXPECT_TRUE(fixtures::near(square.pixelColor(2, y), QColor(200, 40, 40))) << c.width << "x" << c.height;
        EXPECT_TRUE(fixtures::near(square.pixelColor(c.side - 3, y), QColor(40, 40, 200))) << c.width << "x" << c.height;
    }
}

TEST(CoverCacheDecode, LandscapeCropDropsTheSides)
{
    // Three vertical bands; the square of a 3:1 picture is the middle band only.
    QImage image(900, 300, QImage::Format_RGB32);
    image.fill(Qt::green);
    QPainter p(&image);
    p.fillRect(0, 0, 300, 300, Qt::red);
    p.fillRect(600, 0, 300, 300, Qt::blue);
    p.end();
    const QImage square = CoverCache::decodeSquare(fixtures::encode(image, "jpeg"), 100);
    ASSERT_EQ(square.size(), QSize(100, 100));
    for (int x : {3, 50, 96})
        EXPECT_TRUE(fixtures::near(square.pixelColor(x, 50), Qt::green)) << x;
}

TEST(CoverCacheDecode, UndecodableBytesGiveNothing)
{
    EXPECT_TRUE(CoverCache::decodeSquare(QByteArray("not a picture"), 100).isNull());
    EXPECT_TRUE(CoverCache::decodeSquare(QByteArray(), 100).isNull());
    EXPECT_TRUE(CoverCache::decodeSquare(cover(10, 10), 0).isNull());
}

TEST(CoverCacheKeys, KeyFollowsTheFirstArtworkBytes)
{
    const QByteArray a = cover(300, 300);
    const QByteArray b = cover(300, 300, Qt::yellow, Qt::black);
    EXPECT_TRUE(CoverCache::keyOf(albumWith(std::nullopt)).isEmpty());
    EXPECT_TRUE(CoverCache::keyOf(albumWith(QByteArray())).isEmpty());
    EXPECT_EQ(CoverCache::keyOf(albumWith(a)), CoverCache::keyOf(albumWith(a)));
    Album first = albumWith(a), second = albumWith(b);
    second.tracks.first().url = first.tracks.first().url; // the same album id
    second.tracks.first().artist = first.tracks.first().artist;
    EXPECT_NE(CoverCache::keyOf(first), CoverCache::keyOf(second)) << "a changed cover is another key";
    EXPECT_EQ(CoverCache::sourceOf(first).bytes(), a);
}

TEST(CoverCacheLookup, PendingThenReadyOffTheMainThread)
{
    CoverCache cache;
    QSignalSpy decoded(&cache, &CoverCache::decoded);
    const QByteArray bytes = cover(1000, 800);
    const CoverCache::Lookup first = cache.cover(u"k"_s, bytes, 150);
    EXPECT_EQ(first.state, CoverCache::State::pending);
    EXPECT_TRUE(first.image.isNull()) << "the placeholder until the decode lands";
    EXPECT_EQ(cache.pending(), 1);
    // Asking again while it decodes starts nothing more.
    cache.cover(u"k"_s, bytes, 150);
    EXPECT_EQ(cache.pending(), 1);
    ASSERT_TRUE(waitFor([&] { return decoded.count() == 1; }));
    const CoverCache::Lookup ready = cache.cover(u"k"_s, bytes, 150);
    EXPECT_EQ(ready.state, CoverCache::State::ready);
    // Decoded at the size step above the tile, not at the picture's size.
    EXPECT_EQ(ready.image.size(), QSize(192, 192));
    EXPECT_EQ(cache.pending(), 0);

    // Another size of the same cover: meanwhile the one at hand is offered.
    const CoverCache::Lookup bigger = cache.cover(u"k"_s, bytes, 300);
    EXPECT_EQ(bigger.state, CoverCache::State::pending);
    EXPECT_EQ(bigger.image.size(), QSize(192, 192));
    ASSERT_TRUE(waitFor([&] { return decoded.count() == 2; }));
    EXPECT_EQ(cache.cover(u"k"_s, bytes, 300).image.size(), QSize(320, 320));
}

TEST(CoverCacheLookup, FailuresAreRememberedAndNotRetried)
{
    CoverCache cache;
    QSignalSpy decoded(&cache, &CoverCache::decoded);
    EXPECT_EQ(cache.cover(QString(), QByteArray(), 100).state, CoverCache::State::failed);
    EXPECT_EQ(cache.cover(u"bad"_s, QByteArray("nonsense"), 100).state, CoverCache::State::pending);
    ASSERT_TRUE(waitFor([&] { return decoded.count() == 1; }));
    EXPECT_EQ(cache.cover(u"bad"_s, QByteArray("nonsense"), 100).state, CoverCache::State::failed);
    EXPECT_EQ(cache.cover(u"bad"_s, QByteArray("nonsense"), 300).state, CoverCache::State::failed);
    EXPECT_EQ(cache.pending(), 0);
}

TEST(CoverCacheLookup, StaysWithinItsMemoryBudget)
{
    // Room for about three 256-pixel covers (256 KiB each).
    const qint64 budget = 800 * 1024;
    CoverCache cache(budget);
    QSignalSpy decoded(&cache, &CoverCache::decoded);
    const QByteArray bytes = cover(600, 600);
    for (int i = 0; i < 8; ++i)
        cache.cover(u"album "_s + QString::number(i), bytes, 256);
    ASSERT_TRUE(waitFor([&] { return decoded.count() == 8; }));
    EXPECT_LE(cache.usedBytes(), budget);
    EXPECT_GT(cache.usedBytes(), 0);
    int ready = 0;
    for (int i = 0; i < 8; ++i)
        ready += cache.cover(u"album "_s + QString::number(i), bytes, 256).state == CoverCache::State::ready;
    EXPECT_LE(ready, 3);
    EXPECT_GE(ready, 1);
}

TEST(CoverTile, ShowsThePlaceholderThenTheCover)
{
    const QByteArray bytes = cover(900, 600);
    CoverView view(albumWith(bytes));
    view.resize(170, 170);
    // Until the shared cache has it, the placeholder.
    QImage before = view.grab().toImage();
    const QColor placeholderCorner = before.pixelColor(20, 20);
    ASSERT_TRUE(waitFor([&] { return !view.shownCover().isNull(); }));
    const QImage after = view.grab().toImage();
    EXPECT_TRUE(fixtures::near(after.pixelColor(20, 85), QColor(200, 40, 40)));
    EXPECT_TRUE(fixtures::near(after.pixelColor(150, 85), QColor(40, 40, 200)));
    EXPECT_FALSE(fixtures::near(placeholderCorner, QColor(200, 40, 40)));
    // Rounded corners: the very corner pixel stays unpainted.
    EXPECT_EQ(after.pixelColor(0, 0).alpha() == 255 && fixtures::near(after.pixelColor(0, 0), QColor(200, 40, 40)),
              false);
    screenshot(view, u"library-cover-tile"_s);
    view.setAlbum(albumWith(std::nullopt));
    EXPECT_TRUE(view.shownCover().isNull());
    screenshot(view, u"library-cover-placeholder"_s);
}

} // namespace
