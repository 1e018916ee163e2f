#include "ui/coverflow/flowalbum.h"

#include "ui/coverflow/flowtesting.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using flowtesting::track;

namespace {

QStringList titles(const QList<FlowAlbum> &items)
{
    QStringList out;
    for (const FlowAlbum &item : items)
        out.append(item.album.artist + u" / "_s + item.album.title);
    return out;
}

} // namespace

TEST(FlowAlbum, noTracksGiveNoItems)
{
    EXPECT_TRUE(FlowAlbum::prepare({}).isEmpty());
}

TEST(FlowAlbum, albumsAreSortedByArtistThenTitleInFinderOrder)
{
    const QList<Track> tracks = {
        track(u"Zebra"_s, u"Alpha"_s, u"a"_s),
        track(u"abba"_s, u"Waterloo"_s, u"b"_s),
        track(u"Artist 10"_s, u"X"_s, u"c"_s),
        track(u"Artist 9"_s, u"X"_s, u"d"_s),
        track(u"Łza"_s, u"Krew"_s, u"e"_s),
        track(u"ABBA"_s, u"Arrival"_s, u"f"_s),
    };
    EXPECT_EQ(titles(FlowAlbum::prepare(tracks)),
              (QStringList{u"ABBA / Arrival"_s, u"abba / Waterloo"_s, u"Artist 9 / X"_s, u"Artist 10 / X"_s,
                           u"Łza / Krew"_s, u"Zebra / Alpha"_s}));
}

TEST(FlowAlbum, equalKeysAreOrderedByAlbumId)
{
    // "AB" + "C" and "A" + "BC" make the same key; the smaller id comes first,
    // whichever order the tracks came in.
    const Track one = track(u"AB"_s, u"C"_s, u"x"_s, 1, 0, std::nullopt, u"/d/2"_s);
    const Track two = track(u"A"_s, u"BC"_s, u"y"_s, 1, 0, std::nullopt, u"/d/1"_s);
    for (const QList<Track> &tracks : {QList<Track>{one, two}, QList<Track>{two, one}}) {
        const QList<FlowAlbum> items = FlowAlbum::prepare(tracks);
        ASSERT_EQ(items.size(), 2);
        EXPECT_LT(items[0].id, items[1].id);
        EXPECT_EQ(items[0].album.artist, u"A"_s); // "A\0BC…" < "AB\0C…"
    }
}

TEST(FlowAlbum, artworkIsTheFirstTracksThatHasAny)
{
    const QByteArray broken("not a picture");
    const QByteArray good = fixtures::jpeg(20, 20);
    const QList<FlowAlbum> items = FlowAlbum::prepare({
        track(u"A"_s, u"Broken first"_s, u"1"_s, 1, 0, std::nullopt),
        track(u"A"_s, u"Broken first"_s, u"2"_s, 2, 0, broken),
        track(u"A"_s, u"Broken first"_s, u"3"_s, 3, 0, good),
        track(u"B"_s, u"Bare"_s, u"1"_s, 1),
    });
    ASSERT_EQ(items.size(), 2);
    // The broken data is kept: it is what the item shows (the placeholder),
    // never the good picture of the later track.
    ASSERT_TRUE(items[0].artwork.cover);
    EXPECT_EQ(items[0].artwork.bytes(), broken);
    EXPECT_EQ(items[0].artwork.track, items[0].album.tracks[1].url);
    EXPECT_NE(items[0].artworkKey, 0u);
    EXPECT_FALSE(items[1].artwork.cover);
    EXPECT_EQ(items[1].artworkKey, 0u);
}

TEST(FlowAlbum, tracksSharingACoverShareTheKey)
{
    const Cover cover(fixtures::jpeg(20, 20));
    const QList<FlowAlbum> items = FlowAlbum::prepare({
        track(u"A"_s, u"One"_s, u"1"_s, 1, 0, cover),
        track(u"B"_s, u"Two"_s, u"1"_s, 1, 0, cover),
        track(u"C"_s, u"Three"_s, u"1"_s, 1, 0, fixtures::jpeg(20, 20)),
    });
    ASSERT_EQ(items.size(), 3);
    EXPECT_EQ(items[0].artworkKey, items[1].artworkKey);
    EXPECT_NE(items[0].artworkKey, items[2].artworkKey);
}

TEST(FlowAlbum, discCountCountsDistinctDiscs)
{
    const struct {
        QList<qint64> discs;
        int count;
    } cases[] = {
        {{1, 1, 1}, 1},
        {{0, 0}, 1},     // no disc tag: disc 1
        {{1, 2, 2}, 2},
        {{1, 2, 3, 3}, 3},
    };
    for (const auto &c : cases) {
        QList<Track> tracks;
        for (qsizetype i = 0; i < c.discs.size(); ++i)
            tracks.append(track(u"A"_s, u"Discs"_s, u"t"_s + QString::number(i), i + 1, c.discs[i]));
        const QList<FlowAlbum> items = FlowAlbum::prepare(tracks);
        ASSERT_EQ(items.size(), 1);
        EXPECT_EQ(items[0].discCount, c.count);
        EXPECT_EQ(items[0].discCount, items[0].album.discs().size());
        EXPECT_EQ(items[0].id, items[0].album.id());
    }
}
