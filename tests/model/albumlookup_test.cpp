// Finding the album of one track: through the index kept with the grouping of
// the side shown, whole albums whatever the filters, and anew once the
// tracks change.

#include "model/tavomodel.h"
#include "modeltesting.h"

#include "media/albumgrouping.h"
#include "support/qtprinters.h"

namespace {

using AlbumLookupTest = ModelTest;

Track makeTrack(const QString &folder, const QString &album, const QString &title, const QString &codec,
                qint64 disc = 0)
{
    Track t;
    t.id = QUuid::createUuid();
    t.url = folder + u'/' + title + u'.' + codec.toLower();
    t.title = title;
    t.artist = u"Wykonawca"_s;
    t.album = album;
    t.info.codec = codec;
    t.info.discNumber = disc;
    return t;
}

QStringList titlesOf(const Album &album)
{
    QStringList out;
    for (const Track &t : album.tracks)
        out.append(t.title);
    return out;
}

TEST_F(AlbumLookupTest, FindsTheWholeAlbumOfTheSideShownWhateverTheFilters)
{
    auto model = makeModel();
    const QList<Track> library = {
        makeTrack(u"/m/Dwie płyty/CD1"_s, u"Dwie płyty"_s, u"a1"_s, u"FLAC"_s, 1),
        makeTrack(u"/m/Dwie płyty/CD2"_s, u"Dwie płyty"_s, u"b1"_s, u"MP3"_s, 2),
        makeTrack(u"/m/Inny"_s, u"Inny"_s, u"c1"_s, u"MP3"_s),
    };
    model->setTracks(library);
    model->setFormatFilter(u"FLAC"_s); // hides the second disc from the lists

    const auto found = model->albumContaining(library[0].id);
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(titlesOf(*found), (QStringList{u"a1"_s, u"b1"_s}));
    // The same album AlbumGrouping makes from all the side's tracks.
    const QList<Album> grouped = AlbumGrouping::albums(library);
    const auto same = std::find_if(grouped.cbegin(), grouped.cend(), [&](const Album &a) { return a.id() == found->id(); });
    ASSERT_NE(same, grouped.cend());
    EXPECT_EQ(titlesOf(*same), titlesOf(*found));

    model->openAlbumContaining(library[1]);
    ASSERT_TRUE(model->openAlbum().has_value());
    EXPECT_EQ(model->openAlbum()->id(), found->id());
}

TEST_F(AlbumLookupTest, UnknownTrackClosesTheSheet)
{
    auto model = makeModel();
    model->setTracks({makeTrack(u"/m/A"_s, u"A"_s, u"1"_s, u"MP3"_s)});
    model->setOpenAlbum(model->albums().first());
    const Track stranger = makeTrack(u"/m/B"_s, u"B"_s, u"2"_s, u"MP3"_s);
    EXPECT_FALSE(model->albumContaining(stranger.id).has_value());
    model->openAlbumContaining(stranger);
    EXPECT_FALSE(model->openAlbum().has_value());
}

TEST_F(AlbumLookupTest, FollowsTheSideAndNewTrackLists)
{
    auto model = makeModel();
    const Track mac = makeTrack(u"/m/A"_s, u"A"_s, u"1"_s, u"MP3"_s);
    const Track ipod = makeTrack(u"/ipod/Music/B"_s, u"B"_s, u"2"_s, u"MP3"_s);
    model->setTracks({mac});
    model->setDeviceTracks({ipod});
    EXPECT_TRUE(model->albumContaining(mac.id).has_value());
    EXPECT_FALSE(model->albumContaining(ipod.id).has_value());

    model->setLibraryOnDevice(true);
    EXPECT_FALSE(model->albumContaining(mac.id).has_value());
    ASSERT_TRUE(model->albumContaining(ipod.id).has_value());
    EXPECT_EQ(model->albumContaining(ipod.id)->title, u"B"_s);

    // A new list (a track added to the album) is grouped anew.
    const Track more = makeTrack(u"/ipod/Music/B"_s, u"B"_s, u"3"_s, u"MP3"_s);
    QList<Track> device = model->deviceTracks();
    device.append(more);
    model->setDeviceTracks(device);
    ASSERT_TRUE(model->albumContaining(ipod.id).has_value());
    EXPECT_EQ(titlesOf(*model->albumContaining(ipod.id)), (QStringList{u"2"_s, u"3"_s}));
}

} // namespace

namespace {

// The page counts the filtered tracks as the search is typed, without the list.
TEST_F(AlbumLookupTest, FilteredCountIsTheLengthOfTheFilteredList)
{
    auto model = makeModel();
    QList<Track> library = {
        makeTrack(u"/m/A"_s, u"Jedna"_s, u"a"_s, u"FLAC"_s), makeTrack(u"/m/A"_s, u"Jedna"_s, u"b"_s, u"MP3"_s),
        makeTrack(u"/m/B"_s, u"Druga"_s, u"c"_s, u"AAC"_s), makeTrack(u"/m/B"_s, u"Druga"_s, u"d"_s, u"FLAC"_s),
    };
    library[3].info.bitDepth = 24;
    model->setTracks(library);
    struct Case {
        QString format;
        bool hiRes;
        QString search;
        qsizetype count;
    } cases[] = {
        {u"Wszystko"_s, false, QString(), 4}, {u"FLAC"_s, false, QString(), 2}, {u"Pozostałe"_s, false, QString(), 1},
        {u"Wszystko"_s, true, QString(), 1},  {u"Wszystko"_s, false, u"druga"_s, 2}, {u"MP3"_s, false, u"druga"_s, 0},
    };
    for (const Case &c : cases) {
        model->setFormatFilter(c.format);
        model->setHiResOnly(c.hiRes);
        model->setSearch(c.search);
        EXPECT_EQ(model->filteredCount(), c.count) << c.format.toStdString() << " " << c.search.toStdString();
        EXPECT_EQ(model->filteredTracks().size(), c.count);
    }
    model->setLibraryOnDevice(true);
    EXPECT_EQ(model->filteredCount(), 0) << "the device side is empty";
}

} // namespace
