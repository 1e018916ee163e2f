#include "media/albumgrouping.h"
#include "support/qtprinters.h"

#include <QHash>
#include <QStringList>
#include <algorithm>
#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

const QString various = u"Różni wykonawcy"_s;

QString key(std::initializer_list<QString> parts)
{
    return QStringList(parts).join(QChar(u'\0'));
}

QString nfd(const QString &s)
{
    return s.normalized(QString::NormalizationForm_D);
}

struct T {
    QString path;
    QString artist = u"A"_s;
    QString album = u"Album"_s;
    qint64 disc = 0;
    qint64 number = 0;
};

Track make(const T &t)
{
    Track track;
    track.id = QUuid::createUuid();
    track.url = t.path;
    track.title = t.path;
    track.artist = t.artist;
    track.album = t.album;
    track.info.discNumber = t.disc;
    track.info.trackNumber = t.number;
    return track;
}

QList<Track> makeAll(const std::vector<T> &ts)
{
    QList<Track> tracks;
    for (const T &t : ts)
        tracks.append(make(t));
    return tracks;
}

struct ExpectedAlbum {
    QString key;
    QString title;
    QString artist;
    QStringList paths; // in album order
};

struct GroupingCase {
    const char *name;
    std::vector<T> tracks;
    std::vector<ExpectedAlbum> albums;
};

std::vector<GroupingCase> groupingCases()
{
    return {
        {"disc folders with disc suffixes in the album tags",
         {{u"/m/Release/CD2/01.flac"_s, u"A"_s, u"Release (Disc 2)"_s}, {u"/m/Release/CD1/01.flac"_s, u"A"_s, u"Release (Disc 1)"_s}},
         {{key({u"release"_s, u"/m/Release"_s}), u"Release"_s, u"A"_s, {u"/m/Release/CD1/01.flac"_s, u"/m/Release/CD2/01.flac"_s}}}},
        {"album tags named like the disc folders",
         {{u"/m/Release/CD1/01.flac"_s, u"A"_s, u"CD1"_s}, {u"/m/Release/CD2/01.flac"_s, u"A"_s, u"CD2"_s}},
         {{key({u"release"_s, u"/m/Release"_s}), u"Release"_s, u"A"_s, {u"/m/Release/CD1/01.flac"_s, u"/m/Release/CD2/01.flac"_s}}}},
        {"disc folders with disc tags merge under the tagged key",
         {{u"/m/Release/CD1/01.flac"_s, u"A"_s, u"Release"_s, 1}, {u"/m/Release/CD2/01.flac"_s, u"A"_s, u"Release"_s, 2}},
         {{key({u"tagged"_s, u"/m/Release"_s, u"a"_s, u"release"_s}), u"Release"_s, u"A"_s,
           {u"/m/Release/CD1/01.flac"_s, u"/m/Release/CD2/01.flac"_s}}}},
        // One artist on both discs without an album-artist tag must not split
        // the release: the disc folders stay one album by various artists.
        {"compilation over disc folders stays one album",
         {{u"/m/Release/CD1/01.flac"_s, u"A"_s, u"Comp"_s, 1, 1},
          {u"/m/Release/CD1/02.flac"_s, u"B"_s, u"Comp"_s, 1, 2},
          {u"/m/Release/CD2/01.flac"_s, u"A"_s, u"Comp"_s, 2, 1},
          {u"/m/Release/CD2/02.flac"_s, u"C"_s, u"Comp"_s, 2, 2}},
         {{key({u"release"_s, u"/m/Release"_s}), u"Comp"_s, various,
           {u"/m/Release/CD1/01.flac"_s, u"/m/Release/CD1/02.flac"_s, u"/m/Release/CD2/01.flac"_s,
            u"/m/Release/CD2/02.flac"_s}}}},
        // The same when the repeated artist's tracks come first or are the
        // only ones with disc tags: a merge never takes part of a release.
        {"compilation whose other artists have no disc tags",
         {{u"/m/Release/CD1/01.flac"_s, u"A"_s, u"Comp"_s, 1, 1},
          {u"/m/Release/CD2/01.flac"_s, u"A"_s, u"Comp"_s, 2, 1},
          {u"/m/Release/CD2/02.flac"_s, u"C"_s, u"Comp"_s, 0, 2}},
         {{key({u"release"_s, u"/m/Release"_s}), u"Comp"_s, various,
           {u"/m/Release/CD1/01.flac"_s, u"/m/Release/CD2/01.flac"_s, u"/m/Release/CD2/02.flac"_s}}}},
        // A release whose tracks all merge keeps being one album, under the tagged key.
        {"one artist over both disc folders and a loose sibling",
         {{u"/m/Release/CD1/01.flac"_s, u"A"_s, u"Comp"_s, 1, 1},
          {u"/m/Release/CD2/01.flac"_s, u"A"_s, u"Comp"_s, 2, 1},
          {u"/m/Release/Extra/01.flac"_s, u"A"_s, u"Comp"_s, 3, 1}},
         {{key({u"tagged"_s, u"/m/Release"_s, u"a"_s, u"comp"_s}), u"Comp"_s, u"A"_s,
           {u"/m/Release/CD1/01.flac"_s, u"/m/Release/CD2/01.flac"_s, u"/m/Release/Extra/01.flac"_s}}}},
        {"Płyta folders are disc folders",
         {{u"/m/Release/Płyta 2/01.flac"_s, u"A"_s, u"Release"_s}, {u"/m/Release/PŁYTA 1/01.flac"_s, u"A"_s, u"Release"_s}},
         {{key({u"release"_s, u"/m/Release"_s}), u"Release"_s, u"A"_s,
           {u"/m/Release/PŁYTA 1/01.flac"_s, u"/m/Release/Płyta 2/01.flac"_s}}}},
        {"a disc folder keeps the release key whatever the album tag",
         {{u"/m/Release/CD1/01.flac"_s, u"A"_s, u"Other Name"_s}},
         {{key({u"release"_s, u"/m/Release"_s}), u"Other Name"_s, u"A"_s, {u"/m/Release/CD1/01.flac"_s}}}},
        {"a decomposed release folder is the same release",
         {{nfd(u"/m/Café/CD1/01.flac"_s), u"A"_s, u"Café"_s}, {u"/m/Café/CD2/01.flac"_s, u"A"_s, nfd(u"Café"_s)}},
         {{key({u"release"_s, u"/m/Café"_s}), u"Café"_s, u"A"_s, {nfd(u"/m/Café/CD1/01.flac"_s), u"/m/Café/CD2/01.flac"_s}}}},
        {"artists differing in case share an album with various artists",
         {{u"/m/f/1.flac"_s, u"MAXI"_s, u"Album"_s, 0, 1}, {u"/m/f/2.flac"_s, u"Maxi"_s, u"Album"_s, 0, 2}},
         {{key({u"album"_s, u"/m/f"_s, u"maxi"_s, u"album"_s}), u"Album"_s, various, {u"/m/f/1.flac"_s, u"/m/f/2.flac"_s}}}},
        {"different artists in one folder are two albums",
         {{u"/m/f/1.flac"_s, u"A"_s}, {u"/m/f/2.flac"_s, u"B"_s}},
         {{key({u"album"_s, u"/m/f"_s, u"a"_s, u"album"_s}), u"Album"_s, u"A"_s, {u"/m/f/1.flac"_s}},
          {key({u"album"_s, u"/m/f"_s, u"b"_s, u"album"_s}), u"Album"_s, u"B"_s, {u"/m/f/2.flac"_s}}}},
        {"sibling folders with disc tags 1 and 2 merge",
         {{u"/m/Release/Part B/y.flac"_s, u"A"_s, u"Album"_s, 2}, {u"/m/Release/Part A/x.flac"_s, u"A"_s, u"Album"_s, 1}},
         {{key({u"tagged"_s, u"/m/Release"_s, u"a"_s, u"album"_s}), u"Album"_s, u"A"_s,
           {u"/m/Release/Part A/x.flac"_s, u"/m/Release/Part B/y.flac"_s}}}},
        {"sibling folders both tagged disc 1 stay apart",
         {{u"/m/Release/Part A/x.flac"_s, u"A"_s, u"Album"_s, 1}, {u"/m/Release/Part B/y.flac"_s, u"A"_s, u"Album"_s, 1}},
         {{key({u"album"_s, u"/m/Release/Part A"_s, u"a"_s, u"album"_s}), u"Album"_s, u"A"_s, {u"/m/Release/Part A/x.flac"_s}},
          {key({u"album"_s, u"/m/Release/Part B"_s, u"a"_s, u"album"_s}), u"Album"_s, u"A"_s, {u"/m/Release/Part B/y.flac"_s}}}},
        {"sibling folders without disc tags stay apart",
         {{u"/m/Release/Part A/x.flac"_s}, {u"/m/Release/Part B/y.flac"_s}},
         {{key({u"album"_s, u"/m/Release/Part A"_s, u"a"_s, u"album"_s}), u"Album"_s, u"A"_s, {u"/m/Release/Part A/x.flac"_s}},
          {key({u"album"_s, u"/m/Release/Part B"_s, u"a"_s, u"album"_s}), u"Album"_s, u"A"_s, {u"/m/Release/Part B/y.flac"_s}}}},
        {"folders with different parents do not merge",
         {{u"/m/One/Part A/x.flac"_s, u"A"_s, u"Album"_s, 1}, {u"/m/Two/Part B/y.flac"_s, u"A"_s, u"Album"_s, 2}},
         {{key({u"album"_s, u"/m/One/Part A"_s, u"a"_s, u"album"_s}), u"Album"_s, u"A"_s, {u"/m/One/Part A/x.flac"_s}},
          {key({u"album"_s, u"/m/Two/Part B"_s, u"a"_s, u"album"_s}), u"Album"_s, u"A"_s, {u"/m/Two/Part B/y.flac"_s}}}},
        {"track numbers by value, then file names in Finder order",
         {{u"/m/f/Track 10.flac"_s, u"A"_s, u"Album"_s, 0, 3},
          {u"/m/f/z.flac"_s, u"A"_s, u"Album"_s, 0, 10},
          {u"/m/f/Track 2.flac"_s, u"A"_s, u"Album"_s, 0, 3},
          {u"/m/f/y.flac"_s, u"A"_s, u"Album"_s, 0, 2},
          {u"/m/f/a10.flac"_s},
          {u"/m/f/B.flac"_s},
          {u"/m/f/a9.flac"_s}},
         {{key({u"album"_s, u"/m/f"_s, u"a"_s, u"album"_s}), u"Album"_s, u"A"_s,
           {u"/m/f/a9.flac"_s, u"/m/f/a10.flac"_s, u"/m/f/B.flac"_s, u"/m/f/y.flac"_s, u"/m/f/Track 2.flac"_s,
            u"/m/f/Track 10.flac"_s, u"/m/f/z.flac"_s}}}},
        {"disc before track number",
         {{u"/m/f/1.flac"_s, u"A"_s, u"Album"_s, 2, 1}, {u"/m/f/2.flac"_s, u"A"_s, u"Album"_s, 1, 9}},
         {{key({u"album"_s, u"/m/f"_s, u"a"_s, u"album"_s}), u"Album"_s, u"A"_s, {u"/m/f/2.flac"_s, u"/m/f/1.flac"_s}}}},
        {"names equal but for case keep their input order",
         {{u"/m/f/01.FLAC"_s}, {u"/m/f/01.flac"_s}, {u"/m/f/00.flac"_s}},
         {{key({u"album"_s, u"/m/f"_s, u"a"_s, u"album"_s}), u"Album"_s, u"A"_s,
           {u"/m/f/00.flac"_s, u"/m/f/01.FLAC"_s, u"/m/f/01.flac"_s}}}},
        {"different titles in disc folders: the release folder names the album",
         {{u"/m/Release/CD1/01.flac"_s, u"A"_s, u"Album"_s}, {u"/m/Release/CD2/01.flac"_s, u"A"_s, u"Album Live"_s}},
         {{key({u"release"_s, u"/m/Release"_s}), u"Release"_s, u"A"_s, {u"/m/Release/CD1/01.flac"_s, u"/m/Release/CD2/01.flac"_s}}}},
        {"titles differing in case: the folder above names the album",
         {{u"/m/Artist/Album/1.flac"_s, u"A"_s, u"Album"_s, 0, 1}, {u"/m/Artist/Album/2.flac"_s, u"A"_s, u"ALBUM"_s, 0, 2}},
         {{key({u"album"_s, u"/m/Artist/Album"_s, u"a"_s, u"album"_s}), u"Artist"_s, u"A"_s,
           {u"/m/Artist/Album/1.flac"_s, u"/m/Artist/Album/2.flac"_s}}}},
        {"a title that strips to nothing: the folder names the album",
         {{u"/m/Some Folder/1.flac"_s, u"A"_s, u"CD1"_s}},
         {{key({u"album"_s, u"/m/Some Folder"_s, u"a"_s, u""_s}), u"Some Folder"_s, u"A"_s, {u"/m/Some Folder/1.flac"_s}}}},
        {"a title that strips to nothing in a disc folder: the release folder names the album",
         {{u"/m/Release/Disc 1/1.flac"_s, u"A"_s, u"(Disc 1)"_s}},
         {{key({u"release"_s, u"/m/Release"_s}), u"Release"_s, u"A"_s, {u"/m/Release/Disc 1/1.flac"_s}}}},
        {"an empty list gives no albums", {}, {}},
    };
}

} // namespace

TEST(AlbumGroupingFolderDisc, Table)
{
    const struct {
        QString name;
        std::optional<qint64> disc;
    } cases[] = {
        {u"CD1"_s, 1},           {u"cd 2"_s, 2},          {u"Disc-3"_s, 3},
        {u"disk_04 (bonus)"_s, 4}, {u"Płyta 2"_s, 2},     {u"PŁYTA 3"_s, 3},
        {u"płyta7"_s, 7},        {u"CD1_remaster"_s, 1},  {u"CD 1 of 2"_s, 1},
        {u"Disc.05"_s, 5},       {u"CD01"_s, 1},          {u"CD1-bonus"_s, 1},
        {u"CD"_s, std::nullopt}, {u"Bonus CD1"_s, std::nullopt}, {u"CD1a"_s, std::nullopt},
        {u"Discs 2"_s, std::nullopt}, {u"diskette 2"_s, std::nullopt}, {u""_s, std::nullopt},
        {u"CD 99999999999999999999"_s, std::nullopt}, {u"CD9223372036854775807"_s, 9223372036854775807LL},
        {u"Album"_s, std::nullopt},
    };
    for (const auto &c : cases)
        EXPECT_EQ(AlbumGrouping::folderDisc(c.name), c.disc) << c.name.toStdString();
}

TEST(AlbumGroupingStrippedTitle, Table)
{
    const struct {
        QString title;
        QString stripped;
    } cases[] = {
        {u"Album (Disc 1)"_s, u"Album"_s},
        {u"Album - CD2"_s, u"Album"_s},
        {u"Album [CD 1/2]"_s, u"Album"_s},
        {u"Album: Disc 2 of 3"_s, u"Album"_s},
        {u"Album CD1"_s, u"Album"_s},
        {u"Album – cd1"_s, u"Album"_s},
        {u"Album (Deluxe)"_s, u"Album (Deluxe)"_s},
        {u"Best of Disco 2"_s, u"Best of Disco 2"_s},
        {u"CD1"_s, u""_s},
        {u"Album Płyta 2"_s, u"Album Płyta 2"_s},
        {u"  Album\u00A0(DISK 3)\n"_s, u"Album"_s},
        {u"Album CD1\r\n"_s, u"Album"_s},
        {u"Album CD1\u2028"_s, u"Album"_s},
        {u"Album (Disc 1) Remastered"_s, u"Album (Disc 1) Remastered"_s},
    };
    for (const auto &c : cases)
        EXPECT_EQ(AlbumGrouping::strippedTitle(c.title), c.stripped) << c.title.toStdString();
}

TEST(AlbumGroupingDescribe, Table)
{
    const struct {
        T track;
        AlbumGrouping::Description expected;
    } cases[] = {
        {{u"/m/Release/CD2/01.flac"_s, u"A"_s, u"Release (Disc 2)"_s, 5},
         {key({u"release"_s, u"/m/Release"_s}), u"Release"_s, u"A"_s, 2}},
        {{u"/m/Release/CD1/01.flac"_s, u"A"_s, u"Disc 1"_s}, {key({u"release"_s, u"/m/Release"_s}), u"Release"_s, u"A"_s, 1}},
        {{u"/m/f/1.flac"_s, u"Mixed Case"_s, u"Title CD2"_s, 0},
         {key({u"album"_s, u"/m/f"_s, u"mixed case"_s, u"title"_s}), u"Title"_s, u"Mixed Case"_s, 1}},
        {{u"/m/f/1.flac"_s, u"A"_s, u"Album"_s, 3}, {key({u"album"_s, u"/m/f"_s, u"a"_s, u"album"_s}), u"Album"_s, u"A"_s, 3}},
        {{u"/m/f/1.flac"_s, u"A"_s, u"Album"_s, 1}, {key({u"album"_s, u"/m/f"_s, u"a"_s, u"album"_s}), u"Album"_s, u"A"_s, 1}},
        {{u"/m/f/1.flac"_s, u"A"_s, u"Album"_s, -4}, {key({u"album"_s, u"/m/f"_s, u"a"_s, u"album"_s}), u"Album"_s, u"A"_s, 1}},
        // Full Unicode lower-casing, canonical form in the key, title and artist kept as given.
        {{u"/m/f/1.flac"_s, nfd(u"ŻUK"_s), u"STRASSE"_s},
         {key({u"album"_s, u"/m/f"_s, u"żuk"_s, u"strasse"_s}), u"STRASSE"_s, nfd(u"ŻUK"_s), 1}},
    };
    for (const auto &c : cases) {
        const AlbumGrouping::Description d = AlbumGrouping::describe(make(c.track));
        SCOPED_TRACE(c.track.path.toStdString());
        EXPECT_EQ(d.key, c.expected.key);
        EXPECT_EQ(d.title, c.expected.title);
        EXPECT_EQ(d.artist, c.expected.artist);
        EXPECT_EQ(d.disc, c.expected.disc);
    }
}

TEST(AlbumGroupingAlbums, EdgeCases)
{
    for (const GroupingCase &c : groupingCases()) {
        SCOPED_TRACE(c.name);
        const QList<Track> tracks = makeAll(c.tracks);
        QList<Album> albums = AlbumGrouping::albums(tracks);
        std::vector<ExpectedAlbum> expected = c.albums;
        ASSERT_EQ(size_t(albums.size()), expected.size());
        std::sort(albums.begin(), albums.end(), [](const Album &a, const Album &b) { return a.id() < b.id(); });
        std::sort(expected.begin(), expected.end(), [](const auto &a, const auto &b) { return a.key < b.key; });
        for (size_t i = 0; i < expected.size(); ++i) {
            const Album &album = albums[qsizetype(i)];
            ASSERT_TRUE(album.groupID.has_value());
            EXPECT_EQ(*album.groupID, expected[i].key);
            EXPECT_EQ(album.title, expected[i].title);
            EXPECT_EQ(album.artist, expected[i].artist);
            QStringList paths;
            for (const Track &t : album.tracks)
                paths.append(t.url);
            EXPECT_EQ(paths, expected[i].paths);
        }
    }
}

TEST(AlbumGroupingAlbums, MergedSiblingFoldersTakeTheirDiscsFromTheTags)
{
    const QList<Track> tracks = makeAll({{u"/m/Release/Part B/y.flac"_s, u"A"_s, u"Album"_s, 2},
                                         {u"/m/Release/Part A/x.flac"_s, u"A"_s, u"Album"_s, 1}});
    const QList<Album> albums = AlbumGrouping::albums(tracks);
    ASSERT_EQ(albums.size(), 1);
    const QList<AlbumDisc> discs = albums[0].discs();
    ASSERT_EQ(discs.size(), 2);
    EXPECT_EQ(discs[0].number, 1);
    EXPECT_EQ(discs[0].tracks[0].id, tracks[1].id);
    EXPECT_EQ(discs[1].number, 2);
    EXPECT_EQ(discs[1].tracks[0].id, tracks[0].id);
}

TEST(AlbumGroupingAlbums, CompilationOverDiscFoldersHasBothDiscs)
{
    const QList<Track> tracks = makeAll({{u"/m/Release/CD2/02.flac"_s, u"C"_s, u"Comp"_s, 2, 2},
                                         {u"/m/Release/CD1/01.flac"_s, u"A"_s, u"Comp"_s, 1, 1},
                                         {u"/m/Release/CD2/01.flac"_s, u"A"_s, u"Comp"_s, 2, 1},
                                         {u"/m/Release/CD1/02.flac"_s, u"B"_s, u"Comp"_s, 1, 2}});
    const QList<Album> albums = AlbumGrouping::albums(tracks);
    ASSERT_EQ(albums.size(), 1);
    EXPECT_EQ(albums[0].artist, various);
    const QList<AlbumDisc> discs = albums[0].discs();
    ASSERT_EQ(discs.size(), 2);
    EXPECT_EQ(discs[0].number, 1);
    EXPECT_EQ(discs[0].tracks.size(), 2);
    EXPECT_EQ(discs[1].number, 2);
    ASSERT_EQ(discs[1].tracks.size(), 2);
    EXPECT_EQ(discs[1].tracks[0].id, tracks[2].id);
    EXPECT_EQ(discs[1].tracks[1].id, tracks[0].id);
}

TEST(AlbumGroupingAlbums, KeepsEveryTrackOnceWithItsData)
{
    Track t = make({u"/m/f/1.flac"_s});
    t.artwork = QByteArrayLiteral("bytes");
    t.bytes = 1234;
    t.hasEmbeddedArt = true;
    const QList<Album> albums = AlbumGrouping::albums({t, make({u"/m/g/1.flac"_s})});
    ASSERT_EQ(albums.size(), 2);
    qsizetype count = 0;
    for (const Album &album : albums) {
        for (const Track &track : album.tracks) {
            ++count;
            if (track.id == t.id) {
                EXPECT_EQ(track.artwork, t.artwork);
                EXPECT_EQ(track.bytes, 1234);
                EXPECT_TRUE(track.hasEmbeddedArt);
            }
        }
    }
    EXPECT_EQ(count, 2);
}

// How tracks group depends only on the tracks of their neighbourhood, so a
// change to a few tracks needs only their neighbourhoods grouped again.
TEST(AlbumGroupingAlbums, EachNeighbourhoodGroupsOnItsOwn)
{
    // Every case's tracks under a folder of its own, taken in turn from each
    // case, so that albums of many neighbourhoods interleave.
    const std::vector<GroupingCase> cases = groupingCases();
    QList<Track> tracks;
    for (size_t round = 0;; ++round) {
        bool any = false;
        for (size_t c = 0; c < cases.size(); ++c) {
            if (round >= cases[c].tracks.size())
                continue;
            T t = cases[c].tracks[round];
            t.path = u"/case"_s + QString::number(c) + t.path;
            tracks.append(make(t));
            any = true;
        }
        if (!any)
            break;
    }
    QHash<QUuid, qsizetype> position;
    std::map<QString, QList<Track>> neighbourhoods;
    for (qsizetype i = 0; i < tracks.size(); ++i) {
        position.insert(tracks[i].id, i);
        neighbourhoods[AlbumGrouping::neighbourhood(tracks[i])].append(tracks[i]);
    }
    auto firstOf = [&](const Album &album) {
        qsizetype first = tracks.size();
        for (const Track &t : album.tracks)
            first = std::min(first, position.value(t.id));
        return first;
    };

    // Each neighbourhood grouped alone, its albums put in the order of their first track.
    std::vector<std::pair<qsizetype, Album>> pieces;
    for (const auto &[name, part] : neighbourhoods) {
        for (const Album &album : AlbumGrouping::albums(part)) {
            for (const Track &t : album.tracks)
                EXPECT_EQ(AlbumGrouping::neighbourhood(t), name) << t.url.toStdString();
            pieces.emplace_back(firstOf(album), album);
        }
    }
    std::sort(pieces.begin(), pieces.end(), [](const auto &a, const auto &b) { return a.first < b.first; });

    const QList<Album> whole = AlbumGrouping::albums(tracks);
    ASSERT_EQ(size_t(whole.size()), pieces.size());
    for (qsizetype i = 0; i < whole.size(); ++i) {
        const Album &album = whole[i], &piece = pieces[size_t(i)].second;
        SCOPED_TRACE(album.id().toStdString());
        EXPECT_EQ(firstOf(album), pieces[size_t(i)].first) << "albums come in the order of their first track";
        EXPECT_EQ(album.groupID, piece.groupID);
        EXPECT_EQ(album.title, piece.title);
        EXPECT_EQ(album.artist, piece.artist);
        QStringList paths, piecePaths;
        for (const Track &t : album.tracks)
            paths.append(t.url);
        for (const Track &t : piece.tracks)
            piecePaths.append(t.url);
        EXPECT_EQ(paths, piecePaths);
    }
}

TEST(AlbumGroupingNeighbourhood, IsTheFolderAboveTheTracksFolderInNFC)
{
    EXPECT_EQ(AlbumGrouping::neighbourhood(make({u"/m/Artist/Album/01.flac"_s})), u"/m/Artist"_s);
    EXPECT_EQ(AlbumGrouping::neighbourhood(make({nfd(u"/m/Café/CD1/01.flac"_s)})), u"/m/Café"_s);
    EXPECT_EQ(AlbumGrouping::neighbourhood(make({u"/m/01.flac"_s})), u"/"_s);
}
