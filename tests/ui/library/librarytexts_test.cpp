#include "ui/library/librarytexts.h"

#include "librarytesting.h"
#include "localization/applocalizer.h"
#include "media/audioinfo.h"
#include "support/qtprinters.h"
#include "ui/kit/kit.h"

#include <cmath>
#include <limits>

using namespace librarytesting;

namespace {

Album albumOf(const QList<Track> &tracks)
{
    Album a;
    a.artist = u"A"_s;
    a.title = u"T"_s;
    a.tracks = tracks;
    return a;
}

Track withCodec(const QString &codec)
{
    Spec s;
    s.codec = codec;
    return track(s);
}

TEST(LibraryTexts, FormatsAreDistinctCodecsInCodePointOrder)
{
    struct Case {
        QStringList codecs;
        QString expected;
    } cases[] = {
        {{u"FLAC"_s, u"FLAC"_s}, u"FLAC"_s},
        {{u"MP3"_s, u"FLAC"_s, u"MP3"_s}, u"FLAC / MP3"_s},
        {{u"MP3"_s, u"AAC"_s, u"ALAC"_s}, u"AAC / ALAC / MP3"_s},
        // Code-point order: upper case before lower case, unlike a locale's order.
        {{u"ogg"_s, u"OPUS"_s}, u"OPUS / ogg"_s},
        // An empty codec is a value of its own and sorts first.
        {{u"MP3"_s, QString()}, u" / MP3"_s},
        {{}, QString()},
    };
    for (const Case &c : cases) {
        QList<Track> tracks;
        for (const QString &codec : c.codecs)
            tracks.append(withCodec(codec));
        EXPECT_EQ(library::formatsText(albumOf(tracks)), c.expected) << c.codecs.join(u',').toStdString();
    }
}

TEST(LibraryTexts, HiResBoundsAreSharedByAlbumAndFilter)
{
    struct Case {
        qint64 bits;
        qint64 rate;
        bool hiRes;
    } cases[] = {
        {16, 48000, false}, {17, 48000, true}, {16, 48001, true}, {24, 44100, true},
        {16, 96000, true},  {0, 48000, false}, {0, 0, false},     {32, 192000, true},
    };
    for (const Case &c : cases) {
        Spec s;
        s.bitDepth = c.bits;
        s.sampleRate = c.rate;
        const Track t = track(s);
        EXPECT_EQ(TavoModel::isHiRes(t.info), c.hiRes) << c.bits << " bit " << c.rate << " Hz";
        EXPECT_EQ(library::isHiRes(albumOf({withCodec(u"MP3"_s), t})), c.hiRes) << "one such track is enough";
    }
    EXPECT_FALSE(library::isHiRes(albumOf({})));
}

TEST(LibraryTexts, TrackNumberPrefix)
{
    const std::pair<qint64, QString> cases[] = {
        {0, QString()}, {-3, QString()}, {1, u"01  "_s}, {7, u"07  "_s}, {10, u"10  "_s}, {123, u"123  "_s},
    };
    for (const auto &[number, expected] : cases)
        EXPECT_EQ(library::numberPrefix(number), expected) << number;
    Spec s;
    s.title = u"Zażółć"_s;
    s.trackNumber = 0;
    EXPECT_EQ(library::firstLine(track(s)), u"Zażółć"_s);
    s.trackNumber = 7;
    EXPECT_EQ(library::firstLine(track(s)), u"07  Zażółć"_s);
    s.artist = u"Ktoś"_s;
    s.album = u"Płyta"_s;
    EXPECT_EQ(library::secondLine(track(s)), u"Ktoś · Płyta"_s);
}

TEST(LibraryTexts, Durations)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const std::pair<double, QString> cases[] = {
        {0, u"0:00"_s},          {65, u"1:05"_s},           {65.9, u"1:05"_s},       {3599, u"59:59"_s},
        {3600, u"1:00:00"_s},    {3725, u"1:02:05"_s},      {-1, u"—"_s},            {nan, u"—"_s},
        {inf, u"—"_s},           {-inf, u"—"_s},            {1e19, u"—"_s},          {1e300, u"—"_s},
    };
    for (const auto &[seconds, expected] : cases)
        EXPECT_EQ(durationLabel(seconds), expected) << seconds;
}

TEST(LibraryTexts, SelectionTextsForEachSide)
{
    EXPECT_EQ(library::selectionLabel(false, false), u"Do kolejki"_s);
    EXPECT_EQ(library::selectionLabel(false, true), u"Do playlisty"_s);
    EXPECT_EQ(library::selectionLabel(true, false), u"Zaznaczono"_s);
    EXPECT_EQ(library::selectionLabel(true, true), u"Zaznaczono"_s);
    EXPECT_EQ(library::selectionSymbol(true), u"checkmark.circle.fill"_s);
    EXPECT_EQ(library::selectionSymbol(false), u"plus.circle"_s);
    EXPECT_EQ(library::trackToggleTip(false), u"Dodaj / usuń z kolejki"_s);
    EXPECT_EQ(library::trackToggleTip(true), u"Dodaj / usuń z playlisty"_s);

    const QList<Track> tracks = album(u"A"_s, u"B"_s, 3);
    const Album a = albumOf(tracks);
    EXPECT_FALSE(library::isSelected(a, {}));
    EXPECT_FALSE(library::isSelected(a, {tracks[0].id, tracks[2].id})) << "a partly chosen album is not selected";
    EXPECT_TRUE(library::isSelected(a, {tracks[0].id, tracks[1].id, tracks[2].id, QUuid::createUuid()}));
}

TEST(LibraryTexts, CleanedPathsNeverStartWithTwoSlashes)
{
    const std::pair<QString, QString> cases[] = {
        {u"//home/ola/Muzyka"_s, u"/home/ola/Muzyka"_s},
        {u"/media/IPOD/Music/A/1.mp3"_s, u"/media/IPOD/Music/A/1.mp3"_s},
        {u"/media//IPOD///Music"_s, u"/media/IPOD/Music"_s},
        {u"//"_s, u"/"_s},
    };
    for (const auto &[path, expected] : cases)
        EXPECT_EQ(library::cleanedPath(path), expected) << path.toStdString();
}

class LibraryTextsEnglish : public LibraryTest
{
};

TEST_F(LibraryTextsEnglish, ComposedTextsTranslateWhole)
{
    setLanguage(u"en"_s);
    const std::pair<QString, QString> cases[] = {
        {library::countLine(12, 140), u"Albums: 12 · Tracks: 140"_s},
        {library::countLine(0, 0), u"Albums: 0 · Tracks: 0"_s},
        {library::discBadge(2), u"2 CDs · one album"_s},
        {library::selectionLabel(false, true), u"Add to Playlist"_s},
        {u"24-bit / 96 kHz"_s, u"24-bit / 96 kHz"_s},
    };
    for (const auto &[polish, english] : cases)
        EXPECT_EQ(kit::tr(polish), english) << polish.toStdString();
    setLanguage(u"pl"_s);
    EXPECT_EQ(kit::tr(library::countLine(3, 27)), u"Albumy: 3 · Utwory: 27"_s);
}

} // namespace
