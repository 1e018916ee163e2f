// The storage bar's bytes and segment widths, as a table of devices: before
// and after the music is read, codecs other than MP3 and FLAC, a full and an
// empty device, a total of 0 and a total smaller than the music.

#include "ui/device/storagebar.h"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

constexpr qint64 GB = 1'000'000'000;
using Kind = StorageSegment::Kind;

Track track(const QString &codec, qint64 bytes)
{
    Track t;
    t.id = QUuid::createUuid();
    t.info.codec = codec;
    t.bytes = bytes;
    return t;
}

struct Case {
    const char *name;
    qint64 total;
    qint64 available;
    QList<Track> tracks;
    StorageBytes bytes;
    QList<StorageSegment> segments; // for a bar 406 wide (400 to share)
};

TEST(StorageBar, BytesAndWidthsOfEveryKindOfDevice)
{
    const Case cases[] = {
        {"music not read yet: all used space is other", 80 * GB, 30 * GB, {},
         {0, 0, 50 * GB, 30 * GB}, {{Kind::other, 250}, {Kind::free, 150}}},
        {"music read: MP3, FLAC and the rest", 80 * GB, 30 * GB,
         {track(u"MP3"_s, 10 * GB), track(u"FLAC"_s, 16 * GB), track(u"MP3"_s, 6 * GB)},
         {16 * GB, 16 * GB, 18 * GB, 30 * GB},
         {{Kind::mp3, 80}, {Kind::flac, 80}, {Kind::other, 90}, {Kind::free, 150}}},
        {"ALAC, AAC and lower-case names count as other", 80 * GB, 30 * GB,
         {track(u"ALAC"_s, 20 * GB), track(u"AAC"_s, 10 * GB), track(u"mp3"_s, 4 * GB), track(u"FLAC"_s, 8 * GB)},
         {0, 8 * GB, 42 * GB, 30 * GB}, {{Kind::flac, 40}, {Kind::other, 210}, {Kind::free, 150}}},
        {"no free space: no free segment", 40 * GB, 0, {track(u"MP3"_s, 10 * GB)},
         {10 * GB, 0, 30 * GB, 0}, {{Kind::mp3, 100}, {Kind::other, 300}}},
        {"empty device: only free space", 40 * GB, 40 * GB, {}, {0, 0, 0, 40 * GB}, {{Kind::free, 400}}},
        {"total 0: divided by 1 and held inside the bar", 0, 0, {track(u"MP3"_s, 5)},
         {5, 0, 0, 0}, {{Kind::mp3, 400}}},
        {"a total smaller than the music: cut to the bar", 10 * GB, 2 * GB,
         {track(u"MP3"_s, 6 * GB), track(u"FLAC"_s, 6 * GB)}, {6 * GB, 6 * GB, 0, 2 * GB},
         {{Kind::mp3, 240}, {Kind::flac, 160}, {Kind::free, 0}}},
        {"free space reported above the total", 10 * GB, 12 * GB, {}, {0, 0, 0, 12 * GB}, {{Kind::free, 400}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const StorageBytes bytes = StorageBytes::of(c.total, c.available, c.tracks);
        EXPECT_EQ(bytes.mp3, c.bytes.mp3);
        EXPECT_EQ(bytes.flac, c.bytes.flac);
        EXPECT_EQ(bytes.other, c.bytes.other);
        EXPECT_EQ(bytes.free, c.bytes.free);
        const QList<StorageSegment> segments = storageSegments(bytes, c.total, 406);
        ASSERT_EQ(segments.size(), c.segments.size());
        double sum = 0;
        for (qsizetype i = 0; i < segments.size(); ++i) {
            EXPECT_EQ(segments[i].kind, c.segments[i].kind) << i;
            EXPECT_NEAR(segments[i].width, c.segments[i].width, 1e-9) << i;
            sum += segments[i].width;
        }
        EXPECT_LE(sum, 400 + 1e-9);
    }
}

TEST(StorageBar, ANarrowBarNeverGetsNegativeWidths)
{
    const StorageBytes bytes = StorageBytes::from(100, 50, 20, 10);
    for (double width : {0.0, 3.0, 6.0, 7.0}) {
        for (const StorageSegment &segment : storageSegments(bytes, 100, width)) {
            EXPECT_GE(segment.width, 0) << width;
            EXPECT_LE(segment.width, std::max(0.0, width - 6)) << width;
        }
    }
}

TEST(StorageBar, PaintsEachSegmentInItsColourFromLeftToRight)
{
    StorageBar bar;
    bar.resize(406, 14);
    bar.setBytes(StorageBytes::from(100, 50, 25, 0), 100); // MP3 100 px, other 100 px, free 200 px
    QImage image(bar.size(), QImage::Format_ARGB32);
    image.fill(Qt::white);
    bar.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    const QColor mp3 = StorageBar::colorOf(Kind::mp3, bar.palette());
    EXPECT_EQ(image.pixelColor(50, 7).rgb(), mp3.rgb());
    // The gap after the MP3 segment shows what is under the bar.
    EXPECT_EQ(image.pixelColor(101, 7).rgb(), QColor(Qt::white).rgb());
    EXPECT_NE(image.pixelColor(150, 7).rgb(), mp3.rgb());
    ASSERT_EQ(bar.segments().size(), 3);
    EXPECT_NEAR(bar.segments()[2].width, 200, 1e-9);
}

} // namespace
