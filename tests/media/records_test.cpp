#include "media/albumgrouping.h"
#include "media/records.h"

#include <QBuffer>
#include <QImage>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

const QChar nul(u'\0');

Track track(const QString &url, const QString &artist = u"A"_s, const QString &album = u"Album"_s)
{
    Track t;
    t.id = QUuid::createUuid();
    t.url = url;
    t.title = url;
    t.artist = artist;
    t.album = album;
    return t;
}

QByteArray jpeg(int width, int height, QColor color)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(color);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(image.save(&buffer, "JPEG"));
    return bytes;
}

} // namespace

TEST(AlbumId, WithoutGroupIdJoinsArtistTitleAndFirstTrackFolder)
{
    Album album{u"Artist"_s, u"Title"_s, {track(u"/music/x/01.flac"_s), track(u"/music/y/02.flac"_s)}, std::nullopt};
    const QString id = album.id();
    EXPECT_EQ(id, u"Artist"_s + nul + u"Title"_s + nul + u"/music/x"_s);
    EXPECT_EQ(id.split(nul).size(), 3);
    EXPECT_FALSE(id.endsWith(nul));
}

TEST(AlbumId, WithoutTracksEndsWithTheSecondNul)
{
    Album album{u"Artist"_s, u"Title"_s, {}, std::nullopt};
    EXPECT_EQ(album.id(), u"Artist"_s + nul + u"Title"_s + nul);
}

TEST(AlbumId, FolderDistinguishesAlbumsOnlyWithoutGroupId)
{
    Album a{u"Artist"_s, u"Title"_s, {track(u"/music/x/01.flac"_s)}, std::nullopt};
    Album b{u"Artist"_s, u"Title"_s, {track(u"/music/y/01.flac"_s)}, std::nullopt};
    EXPECT_NE(a.id(), b.id());
    a.groupID = u"album"_s + nul + u"key"_s;
    b.groupID = a.groupID;
    EXPECT_EQ(a.id(), b.id());
    EXPECT_EQ(a.id(), *a.groupID);
}

TEST(AlbumArtwork, FirstTrackWithBytesDecides)
{
    Track none = track(u"/m/a/1.flac"_s);
    Track red = track(u"/m/a/2.flac"_s);
    red.artwork = jpeg(8, 6, Qt::red);
    Track blue = track(u"/m/a/3.flac"_s);
    blue.artwork = jpeg(4, 4, Qt::blue);

    Album album{u"A"_s, u"T"_s, {none, red, blue}, std::nullopt};
    const QImage image = album.artwork();
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), QSize(8, 6));

    // Bytes that are not an image give nothing, even with a good image later.
    Track broken = track(u"/m/a/2.flac"_s);
    broken.artwork = QByteArrayLiteral("not an image");
    album.tracks = {none, broken, blue};
    EXPECT_TRUE(album.artwork().isNull());

    album.tracks = {none};
    EXPECT_TRUE(album.artwork().isNull());
}

TEST(AlbumDiscs, GroupsByDescribedDiscKeepingAlbumOrder)
{
    // Ordinary folder: the disc tag decides (0 and 1 are disc 1).
    Track first = track(u"/m/a/1.flac"_s);
    first.info.discNumber = 2;
    Track second = track(u"/m/a/2.flac"_s);
    second.info.discNumber = 0;
    Track third = track(u"/m/a/3.flac"_s);
    third.info.discNumber = 2;

    Album album{u"A"_s, u"T"_s, {first, second, third}, std::nullopt};
    const QList<AlbumDisc> discs = album.discs();
    ASSERT_EQ(discs.size(), 2);
    EXPECT_EQ(discs[0].number, 1);
    ASSERT_EQ(discs[0].tracks.size(), 1);
    EXPECT_EQ(discs[0].tracks[0].id, second.id);
    EXPECT_EQ(discs[1].number, 2);
    ASSERT_EQ(discs[1].tracks.size(), 2);
    EXPECT_EQ(discs[1].tracks[0].id, first.id);
    EXPECT_EQ(discs[1].tracks[1].id, third.id);
}

TEST(AlbumDiscs, DiscFoldersGiveTheNumberAndOneDiscGivesOneEntry)
{
    Album album{u"A"_s, u"T"_s, {track(u"/m/R/CD2/1.flac"_s), track(u"/m/R/CD10/1.flac"_s), track(u"/m/R/CD2/2.flac"_s)},
                std::nullopt};
    const QList<AlbumDisc> discs = album.discs();
    ASSERT_EQ(discs.size(), 2);
    EXPECT_EQ(discs[0].number, 2);
    EXPECT_EQ(discs[0].tracks.size(), 2);
    EXPECT_EQ(discs[1].number, 10);

    Album single{u"A"_s, u"T"_s, {track(u"/m/a/1.flac"_s), track(u"/m/a/2.flac"_s)}, std::nullopt};
    ASSERT_EQ(single.discs().size(), 1);
    EXPECT_EQ(single.discs()[0].tracks.size(), 2);
    EXPECT_TRUE(Album{}.discs().isEmpty());
}

TEST(Sections, RawValuesInSidebarOrder)
{
    const QStringList expected{u"Twój iPod"_s, u"Muzyka"_s,   u"Playlisty"_s, u"Motywy"_s,
                               u"Kopie zapasowe"_s, u"Porządek"_s, u"Poradnik"_s};
    ASSERT_EQ(sections::all.size(), size_t(expected.size()));
    for (size_t i = 0; i < sections::all.size(); ++i) {
        EXPECT_EQ(sections::rawValue(sections::all[i]), expected[qsizetype(i)]);
        EXPECT_EQ(sections::fromRawValue(expected[qsizetype(i)]), sections::all[i]);
    }
    EXPECT_EQ(sections::all.front(), Section::device);
    EXPECT_EQ(sections::all.back(), Section::guide);
}

TEST(Sections, OnlyExactRawValuesBuildASection)
{
    for (const QString &raw : {u"muzyka"_s, u"Muzyka "_s, u""_s, u"music"_s, u"Twoj iPod"_s})
        EXPECT_FALSE(sections::fromRawValue(raw).has_value()) << raw.toStdString();
    // A decomposed "ó" is the same text.
    EXPECT_EQ(sections::fromRawValue(u"Twój iPod"_s.normalized(QString::NormalizationForm_D)), Section::device);
}
