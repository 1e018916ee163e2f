#include "model/tavomodel.h"
#include "modeltesting.h"

#include "platform/defaults.h"
#include "support/qtprinters.h"

#include <QEventLoop>
#include <QFutureWatcher>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <gmock/gmock.h>

namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ListsTest = ModelTest;

struct TrackSpec {
    QString artist;
    QString album;
    QString title;
    QString codec = u"FLAC"_s;
    qint64 bytes = 1000;
    QString year = u"2000"_s;
    qint64 bitDepth = 16;
    qint64 sampleRate = 44100;
    qint64 trackNumber = 0;
};

Track makeTrack(const TrackSpec &spec)
{
    Track t;
    t.id = QUuid::createUuid();
    t.url = u"/muzyka/"_s + spec.artist + u'/' + spec.album + u'/' + spec.title + u".flac"_s;
    t.title = spec.title;
    t.artist = spec.artist;
    t.album = spec.album;
    t.bytes = spec.bytes;
    t.info.codec = spec.codec;
    t.info.year = spec.year;
    t.info.bitDepth = spec.bitDepth;
    t.info.sampleRate = spec.sampleRate;
    t.info.trackNumber = spec.trackNumber;
    return t;
}

QStringList titles(const QList<Track> &tracks)
{
    QStringList out;
    for (const Track &t : tracks)
        out.append(t.title);
    return out;
}

QStringList albumTitles(const QList<Album> &albums)
{
    QStringList out;
    for (const Album &a : albums)
        out.append(a.title);
    return out;
}

// A model whose start-up refresh has come back, so nothing arrives later.
std::unique_ptr<TavoModel> settledModel()
{
    auto model = makeModel();
    QEventLoop loop;
    QTimer::singleShot(10'000, &loop, &QEventLoop::quit);
    while (model->refreshing() || !model->findChildren<QFutureWatcherBase *>().isEmpty()) {
        QTimer::singleShot(5, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return model;
}

Device testDevice(const QString &root)
{
    Device d;
    d.root = root;
    d.name = root.section(u'/', -1);
    return d;
}

// --- filters ---

struct FormatCase {
    const char16_t *filter;
    QStringList kept; // titles, in artist order
};

TEST_F(ListsTest, FormatFilterComparesCodecsExactly)
{
    auto model = settledModel();
    model->setTracks({
        makeTrack({u"A"_s, u"X"_s, u"aac"_s, u"AAC"_s}),
        makeTrack({u"A"_s, u"X"_s, u"flac"_s, u"FLAC"_s}),
        makeTrack({u"A"_s, u"X"_s, u"mp3 lower"_s, u"mp3"_s}),
        makeTrack({u"A"_s, u"X"_s, u"MP3 upper"_s, u"MP3"_s}),
        makeTrack({u"A"_s, u"X"_s, u"alac"_s, u"ALAC"_s}),
    });
    const FormatCase cases[] = {
        {u"Wszystko", {u"aac"_s, u"alac"_s, u"flac"_s, u"mp3 lower"_s, u"MP3 upper"_s}},
        {u"Pozostałe", {u"aac"_s, u"alac"_s, u"mp3 lower"_s}},
        {u"FLAC", {u"flac"_s}},
        {u"MP3", {u"MP3 upper"_s}},
        {u"flac", {}},
    };
    for (const FormatCase &c : cases) {
        model->setFormatFilter(QString::fromUtf16(c.filter));
        EXPECT_EQ(titles(model->filteredTracks()), c.kept) << QString::fromUtf16(c.filter).toStdString();
        for (const Track &t : model->tracks())
            EXPECT_EQ(model->matches(t), c.kept.contains(t.title)) << t.title.toStdString();
    }
}

TEST_F(ListsTest, HiResKeepsMoreThan16BitsOrMoreThan48kHz)
{
    auto model = settledModel();
    model->setTracks({
        makeTrack({u"A"_s, u"X"_s, u"16-48000"_s, u"FLAC"_s, 1, u""_s, 16, 48000}),
        makeTrack({u"A"_s, u"X"_s, u"16-48001"_s, u"FLAC"_s, 1, u""_s, 16, 48001}),
        makeTrack({u"A"_s, u"X"_s, u"24-44100"_s, u"FLAC"_s, 1, u""_s, 24, 44100}),
        makeTrack({u"A"_s, u"X"_s, u"0-44100"_s, u"AAC"_s, 1, u""_s, 0, 44100}),
    });
    EXPECT_EQ(model->filteredTracks().size(), 4);
    model->setHiResOnly(true);
    EXPECT_EQ(titles(model->filteredTracks()), (QStringList{u"16-48001"_s, u"24-44100"_s}));
    model->setHiResOnly(false);
    EXPECT_EQ(model->filteredTracks().size(), 4);
}

TEST_F(ListsTest, SearchLooksThroughArtistAlbumAndTitleInAnyCase)
{
    auto model = settledModel();
    Track decomposed = makeTrack({u"Łukasz Żal"_s, u"Zima"_s, u"Noc"_s});
    decomposed.title = u"Z\u0307ycie"_s; // "Życie" written decomposed, as macOS writes names
    model->setTracks({
        makeTrack({u"Anna Maria Jopek"_s, u"Upojenie Live"_s, u"Cichy zapada zmrok"_s}),
        makeTrack({u"Kult"_s, u"Spokojnie"_s, u"Arahja"_s}),
        decomposed,
    });
    const struct {
        const char16_t *search;
        QStringList found;
    } cases[] = {
        {u"", {u"Cichy zapada zmrok"_s, u"Arahja"_s, u"Z\u0307ycie"_s}},
        // The end of the artist and the start of the album, joined by the one space.
        {u"JOPEK upojenie", {u"Cichy zapada zmrok"_s}},
        {u"live cichy", {u"Cichy zapada zmrok"_s}},
        {u"arahja", {u"Arahja"_s}},
        {u"ŻYCIE", {u"Z\u0307ycie"_s}},
        {u"łukasz", {u"Z\u0307ycie"_s}},
        // Not trimmed: one space is in every joined text.
        {u" ", {u"Cichy zapada zmrok"_s, u"Arahja"_s, u"Z\u0307ycie"_s}},
        {u" kult", {}},
        {u"brak", {}},
    };
    for (const auto &c : cases) {
        model->setSearch(QString::fromUtf16(c.search));
        EXPECT_EQ(titles(model->filteredTracks()), c.found) << QString::fromUtf16(c.search).toStdString();
    }
}

TEST_F(ListsTest, AlbumWithOneMatchingTrackIsListedWhole)
{
    auto model = settledModel();
    QList<Track> tracks;
    for (int i = 1; i <= 10; ++i)
        tracks.append(makeTrack({u"Wykonawca"_s, u"Płyta"_s, u"Utwór %1"_s.arg(i), u"FLAC"_s, 1, u"2000"_s, 16, 44100, i}));
    tracks[6].info.codec = u"MP3"_s;
    tracks.append(makeTrack({u"Inny"_s, u"Druga"_s, u"Coś"_s}));
    model->setTracks(tracks);

    model->setSearch(u"utwór 7"_s);
    ASSERT_EQ(model->albums().size(), 1);
    EXPECT_EQ(model->albums().first().tracks.size(), 10);
    EXPECT_EQ(model->filteredTracks().size(), 1);

    // The only MP3 keeps its album in the list, with its FLAC tracks.
    model->setSearch(QString());
    model->setFormatFilter(u"MP3"_s);
    ASSERT_EQ(model->albums().size(), 1);
    EXPECT_EQ(model->albums().first().title, u"Płyta"_s);
    EXPECT_EQ(model->albums().first().tracks.size(), 10);

    model->setFormatFilter(u"AAC"_s);
    EXPECT_TRUE(model->albums().isEmpty());
}

// --- sort orders ---

TEST_F(ListsTest, TracksSortByEveryMode)
{
    auto model = settledModel();
    model->setTracks({
        makeTrack({u"beta"_s, u"Album 10"_s, u"t2"_s, u"FLAC"_s, 300, u"1999"_s}),
        makeTrack({u"Alfa"_s, u"Album 2"_s, u"Track 10"_s, u"FLAC"_s, 100, u"2001"_s}),
        makeTrack({u"Alfa"_s, u"Album 2"_s, u"Track 2"_s, u"FLAC"_s, 200, u"2001"_s}),
        makeTrack({u"gamma"_s, u"album 3"_s, u"a"_s, u"FLAC"_s, 300, u"2001"_s}),
    });
    const struct {
        const char16_t *mode;
        QStringList order;
    } cases[] = {
        // Artist then title, Finder order: case-insensitive, numbers by value.
        {u"Wykonawca", {u"Track 2"_s, u"Track 10"_s, u"t2"_s, u"a"_s}},
        {u"Album", {u"Track 2"_s, u"Track 10"_s, u"a"_s, u"t2"_s}},
        // Newest year first; one year by title in plain order (capitals first).
        {u"Rok", {u"Track 10"_s, u"Track 2"_s, u"a"_s, u"t2"_s}},
        // Largest first; equal sizes keep the library order.
        {u"Rozmiar", {u"t2"_s, u"a"_s, u"Track 2"_s, u"Track 10"_s}},
        // Anything else sorts like the artist order.
        {u"Nieznany", {u"Track 2"_s, u"Track 10"_s, u"t2"_s, u"a"_s}},
    };
    for (const auto &c : cases) {
        model->setSortMode(QString::fromUtf16(c.mode));
        EXPECT_EQ(titles(model->filteredTracks()), c.order) << QString::fromUtf16(c.mode).toStdString();
    }
}

TEST_F(ListsTest, AlbumsSortByEveryMode)
{
    auto model = settledModel();
    auto album = [](const QString &artist, const QString &title, const QString &year, qint64 bytes, int count) {
        QList<Track> tracks;
        for (int i = 1; i <= count; ++i)
            tracks.append(makeTrack({artist, title, u"%1"_s.arg(i), u"FLAC"_s, bytes, year, 16, 44100, i}));
        return tracks;
    };
    model->setTracks(album(u"Zed"_s, u"Album 10"_s, u"1999"_s, 100, 3)     // 300 bytes
                     + album(u"adam"_s, u"Album 9"_s, u"2005"_s, 50, 2)    // 100 bytes
                     + album(u"Adam"_s, u"Zima"_s, u"2010"_s, 400, 1));    // 400 bytes
    const struct {
        const char16_t *mode;
        QStringList order;
    } cases[] = {
        {u"Wykonawca", {u"Album 9"_s, u"Zima"_s, u"Album 10"_s}},
        {u"Album", {u"Album 9"_s, u"Album 10"_s, u"Zima"_s}},
        {u"Rok", {u"Zima"_s, u"Album 9"_s, u"Album 10"_s}},
        {u"Rozmiar", {u"Zima"_s, u"Album 10"_s, u"Album 9"_s}},
        {u"", {u"Album 9"_s, u"Zima"_s, u"Album 10"_s}},
    };
    for (const auto &c : cases) {
        model->setSortMode(QString::fromUtf16(c.mode));
        EXPECT_EQ(albumTitles(model->albums()), c.order) << QString::fromUtf16(c.mode).toStdString();
    }
}

TEST_F(ListsTest, AlbumsOfOneYearAreNotOrderedFurther)
{
    auto model = settledModel();
    QList<Track> tracks;
    for (const QString &title : {u"B"_s, u"C"_s, u"A"_s})
        tracks.append(makeTrack({u"X"_s, title, u"1"_s, u"FLAC"_s, 1, u"2000"_s}));
    model->setTracks(tracks);

    model->setSortMode(u"Rozmiar"_s); // all equal: the grouping's order
    const QStringList grouping = albumTitles(model->albums());
    model->setSortMode(u"Rok"_s);
    EXPECT_EQ(albumTitles(model->albums()), grouping);
}

// --- every change of an input shows at the next read ---

TEST_F(ListsTest, ListsFollowEveryInputChange)
{
    auto model = settledModel();
    const Track flac = makeTrack({u"A"_s, u"Jeden"_s, u"flac"_s, u"FLAC"_s});
    const Track mp3 = makeTrack({u"B"_s, u"Dwa"_s, u"mp3"_s, u"MP3"_s});
    model->setTracks({flac, mp3});
    model->setFormatFilter(u"FLAC"_s);
    EXPECT_EQ(titles(model->filteredTracks()), QStringList{u"flac"_s});
    EXPECT_EQ(albumTitles(model->albums()), QStringList{u"Jeden"_s});
    // Reading again with nothing changed gives the very same lists, not new ones.
    EXPECT_TRUE(model->filteredTracks().isSharedWith(model->filteredTracks()));
    EXPECT_TRUE(model->albums().isSharedWith(model->albums()));
    EXPECT_TRUE(model->queue().isSharedWith(model->queue()));

    // A changed track in the library (same size, same ids).
    Track changed = mp3;
    changed.info.codec = u"FLAC"_s;
    model->setTracks({flac, changed});
    EXPECT_EQ(titles(model->filteredTracks()), (QStringList{u"flac"_s, u"mp3"_s}));
    EXPECT_EQ(albumTitles(model->albums()), (QStringList{u"Jeden"_s, u"Dwa"_s}));

    // The other side of the library.
    model->setDeviceTracks({makeTrack({u"C"_s, u"Trzy"_s, u"na iPodzie"_s, u"FLAC"_s})});
    model->setLibraryOnDevice(true);
    EXPECT_EQ(titles(model->activeTracks()), QStringList{u"na iPodzie"_s});
    EXPECT_EQ(titles(model->filteredTracks()), QStringList{u"na iPodzie"_s});
    EXPECT_EQ(albumTitles(model->albums()), QStringList{u"Trzy"_s});
    model->setLibraryOnDevice(false);
    EXPECT_EQ(titles(model->filteredTracks()), (QStringList{u"flac"_s, u"mp3"_s}));

    // Sort mode, search, filters.
    model->setSortMode(u"Album"_s);
    EXPECT_EQ(titles(model->filteredTracks()), (QStringList{u"mp3"_s, u"flac"_s}));
    model->setSearch(u"jeden"_s);
    EXPECT_EQ(titles(model->filteredTracks()), QStringList{u"flac"_s});
    model->setSearch(QString());
    model->setHiResOnly(true);
    EXPECT_TRUE(model->filteredTracks().isEmpty());
    EXPECT_TRUE(model->albums().isEmpty());
}

// A library of two artists, one album on two discs, one track in two places.
QList<Track> changeableLibrary()
{
    QList<Track> tracks;
    for (int i = 0; i < 8; ++i) {
        Track t = makeTrack({i < 4 ? u"Anna"_s : u"Bartek"_s, i < 4 ? u"Pierwszy"_s : u"Drugi"_s,
                             u"Utwór %1"_s.arg(i), i % 2 ? u"MP3"_s : u"FLAC"_s, 1000 + (i * 37) % 5,
                             QString::number(1990 + i % 3), 16, 44100, i % 4 + 1});
        t.info.discNumber = i < 4 ? 1 + i / 2 : 0;
        t.artwork = QByteArray(1, char('a' + i));
        tracks.append(t);
    }
    return tracks;
}

// The model's lists, first read before the change, against a model that
// makes them anew from the changed tracks.
QStringList linesAfterChange(TavoModel &model, const QList<Track> &before, const QList<Track> &after)
{
    model.setTracks(before);
    listLinesInEveryOrder(model, u"anna"_s);
    model.setTracks(after);
    return listLinesInEveryOrder(model, u"anna"_s);
}

TEST_F(ListsTest, ListsFollowAChangeOfAnyOneField)
{
    auto model = settledModel();
    auto reference = settledModel();
    struct Case {
        const char *field;
        std::function<void(Track &)> change;
    };
    const Case cases[] = {
        {"artwork", [](Track &t) { t.artwork = QByteArray("nowa okładka"); }},
        {"no artwork", [](Track &t) { t.artwork.reset(); }},
        {"embedded art", [](Track &t) { t.hasEmbeddedArt = !t.hasEmbeddedArt; }},
        {"id", [](Track &t) { t.id = QUuid::createUuid(); }},
        {"url", [](Track &t) { t.url = u"/inne/Anna/Pierwszy/x.flac"_s; }},
        {"title", [](Track &t) { t.title = u"Aaa"_s; }},
        {"artist", [](Track &t) { t.artist = u"Bartek"_s; }},
        {"album", [](Track &t) { t.album = u"Drugi"_s; }},
        {"bytes", [](Track &t) { t.bytes = 99'999; }},
        {"year", [](Track &t) { t.info.year = u"2024"_s; }},
        {"codec", [](Track &t) { t.info.codec = u"AAC"_s; }},
        {"bit depth", [](Track &t) { t.info.bitDepth = 24; }},
        {"sample rate", [](Track &t) { t.info.sampleRate = 96000; }},
        {"track number", [](Track &t) { t.info.trackNumber = 9; }},
        {"disc number", [](Track &t) { t.info.discNumber = 3; }},
    };
    const QList<Track> before = changeableLibrary();
    for (const Case &c : cases) {
        for (qsizetype index : {qsizetype(1), qsizetype(6)}) {
            QList<Track> after = before;
            c.change(after[index]);
            reference->setTracks({});
            reference->setTracks(after);
            EXPECT_EQ(linesAfterChange(*model, before, after), listLinesInEveryOrder(*reference, u"anna"_s))
                << c.field << " of track " << index;
        }
    }
    // With a filter on, and one id held by two tracks in two albums.
    QList<Track> twins = before;
    twins[6].id = twins[1].id;
    QList<Track> after = twins;
    after[6].artwork = QByteArray("inna");
    model->setFormatFilter(u"FLAC"_s);
    reference->setFormatFilter(u"FLAC"_s);
    reference->setTracks({});
    reference->setTracks(after);
    EXPECT_EQ(linesAfterChange(*model, twins, after), listLinesInEveryOrder(*reference, u"anna"_s));
    EXPECT_EQ(model->albumContaining(twins[1].id)->title, reference->albumContaining(twins[1].id)->title);
}

// A library whose neighbourhoods group every way: disc folders of one release
// kept from merging with a loose folder beside them by one track of another
// artist, sibling folders merged by their disc tags, a
// compilation over disc folders, two albums of one artist side by side, two
// artists in one folder, all listed out of album order; two albums share a year.
QList<Track> removableLibrary()
{
    struct Spec {
        const char16_t *path;
        const char16_t *artist;
        const char16_t *album;
        qint64 disc;
        qint64 number;
        const char16_t *codec;
        const char16_t *year;
    };
    const Spec specs[] = {
        {u"/m/Wydanie/CD1/01.flac", u"Anna", u"Wydanie", 1, 1, u"FLAC", u"1999"},
        {u"/m/Bartek/Zwykły/01.mp3", u"Bartek", u"Zwykły", 0, 1, u"MP3", u"2005"},
        {u"/m/Wydanie/CD2/01.flac", u"Anna", u"Wydanie", 2, 1, u"FLAC", u"1999"},
        {u"/m/Sklejka/Część A/x.m4a", u"Celina", u"Sklejka", 1, 1, u"AAC", u"2010"},
        {u"/m/Mix/1.mp3", u"Dawid", u"Mix", 0, 1, u"MP3", u"2001"},
        {u"/m/Sklejka/Część B/y.m4a", u"Celina", u"Sklejka", 2, 1, u"AAC", u"2010"},
        {u"/m/Mix/2.flac", u"Ewa", u"Mix", 0, 2, u"FLAC", u"2001"},
        {u"/m/Bartek/Zwykły/02.mp3", u"Bartek", u"Zwykły", 0, 2, u"MP3", u"2005"},
        {u"/m/Kompilacja/CD1/01.flac", u"Anna", u"Składanka", 1, 1, u"FLAC", u"2015"},
        {u"/m/Kompilacja/CD1/02.flac", u"Bartek", u"Składanka", 1, 2, u"FLAC", u"2015"},
        {u"/m/Kompilacja/CD2/01.flac", u"Anna", u"Składanka", 2, 1, u"FLAC", u"2015"},
        {u"/m/Kompilacja/CD2/02.flac", u"Celina", u"Składanka", 2, 2, u"FLAC", u"2015"},
        {u"/m/Anna/Inny/01.m4a", u"Anna", u"Inny", 0, 1, u"ALAC", u"1999"},
        {u"/m/Sklejka/Część B/z.m4a", u"Celina", u"Sklejka", 2, 2, u"AAC", u"2010"},
        {u"/m/Anna/Drugi/01.flac", u"Anna", u"Drugi", 0, 1, u"FLAC", u"2003"},
        {u"/m/Wydanie/CD1/02.flac", u"Anna", u"Wydanie", 1, 2, u"FLAC", u"1999"},
        // Another artist's track keeps the release's disc folders from merging
        // with the loose folder beside them.
        {u"/m/Wydanie/CD2/02.flac", u"Bartek", u"Wydanie", 2, 2, u"FLAC", u"1999"},
        {u"/m/Wydanie/Dodatki/bonus.flac", u"Anna", u"Wydanie", 3, 1, u"FLAC", u"1999"},
    };
    QList<Track> tracks;
    int i = 0;
    for (const Spec &spec : specs) {
        Track t;
        t.id = QUuid::createUuid();
        t.url = QString::fromUtf16(spec.path);
        t.title = u"Utwór "_s + QString::number(++i);
        t.artist = QString::fromUtf16(spec.artist);
        t.album = QString::fromUtf16(spec.album);
        t.bytes = 1000 + (i * 7919) % 613;
        t.info.codec = QString::fromUtf16(spec.codec);
        t.info.year = QString::fromUtf16(spec.year);
        t.info.discNumber = spec.disc;
        t.info.trackNumber = spec.number;
        tracks.append(t);
    }
    return tracks;
}

// The album each track of `tracks` is found in, or "-" for none.
QStringList albumsContaining(const TavoModel &model, const QList<Track> &tracks)
{
    QStringList out;
    for (const Track &t : tracks) {
        const auto album = model.albumContaining(t.id);
        out.append(album ? album->id() + u'|' + album->title : u"-"_s);
    }
    return out;
}

TEST_F(ListsTest, ListsFollowTheRemovalOfAnyTracks)
{
    auto model = settledModel();
    auto reference = settledModel();
    struct Case {
        const char *name;
        std::vector<qsizetype> removed;
        std::function<void(QList<Track> &)> alsoChange; // then it is no mere removal
    };
    std::vector<qsizetype> allButOne, all;
    for (qsizetype i = 0; i < removableLibrary().size(); ++i) {
        all.push_back(i);
        if (i != 6)
            allButOne.push_back(i);
    }
    const Case cases[] = {
        {"the first track", {0}, {}},
        {"the last track", {17}, {}},
        {"the other artist of a release, which lets the rest merge", {16}, {}},
        {"an album", {1, 7}, {}},
        {"one disc folder of a merged release", {2}, {}},
        {"the sibling folder that made a merge", {5, 13}, {}},
        {"one artist of a compilation", {9}, {}},
        {"one of two artists in a folder", {4}, {}},
        {"tracks of three neighbourhoods", {4, 10, 12}, {}},
        {"all but one", allButOne, {}},
        {"every track", all, {}},
        {"a removal with an artist changed", {3}, [](QList<Track> &t) { t[6].artist = u"Anna"_s; }},
        {"a removal with two tracks swapped", {3}, [](QList<Track> &t) { t.swapItemsAt(0, 1); }},
        {"a removal with a new id", {3}, [](QList<Track> &t) { t[8].id = QUuid::createUuid(); }},
    };
    const QList<Track> before = removableLibrary();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QList<Track> after;
        for (qsizetype i = 0; i < before.size(); ++i) {
            if (std::find(c.removed.begin(), c.removed.end(), i) == c.removed.end())
                after.append(before[i]);
        }
        if (c.alsoChange)
            c.alsoChange(after);
        reference->setTracks({});
        reference->setTracks(after);
        EXPECT_EQ(linesAfterChange(*model, before, after), listLinesInEveryOrder(*reference, u"anna"_s));
        EXPECT_EQ(albumsContaining(*model, before), albumsContaining(*reference, before));
    }
}

// Albums forgotten one after another, each time from the lists the last
// removal left, with a filter on.
TEST_F(ListsTest, ListsFollowRemovalsOneAfterAnother)
{
    auto model = settledModel();
    auto reference = settledModel();
    model->setFormatFilter(u"FLAC"_s);
    reference->setFormatFilter(u"FLAC"_s);
    QList<Track> tracks = removableLibrary();
    const QList<Track> whole = tracks;
    model->setTracks(tracks);
    listLinesInEveryOrder(*model, u"anna"_s);
    for (qsizetype pick : {16, 5, 0, 9, 3, 3, 7, 0, 4, 2, 1, 0, 2, 1}) {
        const QString url = tracks[pick].url;
        SCOPED_TRACE(url.toStdString());
        tracks.removeAt(pick);
        model->setTracks(tracks);
        reference->setTracks({});
        reference->setTracks(tracks);
        EXPECT_EQ(listLinesInEveryOrder(*model, u"anna"_s), listLinesInEveryOrder(*reference, u"anna"_s));
        EXPECT_EQ(albumsContaining(*model, whole), albumsContaining(*reference, whole));
    }
    ASSERT_EQ(tracks.size(), 4);

    // Forgetting an album through the model goes the same way.
    model->setFormatFilter(u"Wszystko"_s);
    model->setTracks(whole);
    const QList<Album> albums = model->albums();
    const auto compilation = std::find_if(albums.begin(), albums.end(), [](const Album &a) { return a.title == u"Składanka"_s; });
    ASSERT_NE(compilation, albums.end());
    model->forget(*compilation);
    QList<Track> rest;
    for (const Track &t : whole) {
        if (!t.url.startsWith(u"/m/Kompilacja/"_s))
            rest.append(t);
    }
    reference->setFormatFilter(u"Wszystko"_s);
    reference->setTracks({});
    reference->setTracks(rest);
    EXPECT_EQ(listLinesInEveryOrder(*model, u"anna"_s), listLinesInEveryOrder(*reference, u"anna"_s));
}

// --- the transfer queue ---

TEST_F(ListsTest, QueueHoldsQueuedLibraryTracksInLibraryOrder)
{
    auto model = settledModel();
    const Track a = makeTrack({u"A"_s, u"X"_s, u"a"_s, u"FLAC"_s, 100});
    const Track b = makeTrack({u"B"_s, u"X"_s, u"b"_s, u"FLAC"_s, 20});
    const Track c = makeTrack({u"C"_s, u"X"_s, u"c"_s, u"FLAC"_s, 3});
    const Track onDevice = makeTrack({u"D"_s, u"X"_s, u"d"_s, u"FLAC"_s, 4000});
    model->setTracks({a, b, c});
    model->setDeviceTracks({onDevice});

    EXPECT_TRUE(model->queue().isEmpty());
    EXPECT_EQ(model->queueBytes(), 0);

    model->setQueued({c.id, a.id, onDevice.id, QUuid::createUuid()});
    model->setLibraryOnDevice(true);
    EXPECT_EQ(titles(model->queue()), (QStringList{u"a"_s, u"c"_s}));
    EXPECT_EQ(model->queueBytes(), 103);

    model->setTracks({a, b});
    EXPECT_EQ(titles(model->queue()), QStringList{u"a"_s});
    EXPECT_EQ(model->queueBytes(), 100);
    model->setQueued({b.id});
    EXPECT_EQ(titles(model->queue()), QStringList{u"b"_s});
    EXPECT_EQ(model->queueBytes(), 20);
}

// --- the configured theme ---

TEST_F(ListsTest, ConfiguredThemeMatchesWpsAndPrefersTheSameSbs)
{
    auto model = settledModel();
    const Theme one{u"/ipod/.rockbox/themes/one.cfg"_s};
    const Theme two{u"/ipod/.rockbox/themes/two.cfg"_s};
    const Theme three{u"/ipod/.rockbox/themes/three.cfg"_s};
    model->setThemes({one, two, three});
    model->setThemeSettings({
        {one.url, {{u"wps"_s, u"/.rockbox/wps/a.wps"_s}}},
        {two.url, {{u"wps"_s, u"/.rockbox/wps/a.wps"_s}, {u"sbs"_s, u"/.rockbox/wps/a.sbs"_s}}},
        {three.url, {{u"wps"_s, u"/.rockbox/wps/b.wps"_s}, {u"sbs"_s, u"/.rockbox/wps/b.sbs"_s}}},
    });
    using Config = TavoModel::StringMap;
    const struct {
        Config config;
        std::optional<Theme> expected;
    } cases[] = {
        {Config{}, std::nullopt},
        {Config{{u"sbs"_s, u"/.rockbox/wps/a.sbs"_s}}, std::nullopt},
        // Without an sbs setting the first theme with the same wps wins.
        {Config{{u"wps"_s, u"/.rockbox/wps/a.wps"_s}}, one},
        // The later theme whose sbs also matches wins.
        {Config{{u"wps"_s, u"/.rockbox/wps/a.wps"_s}, {u"sbs"_s, u"/.rockbox/wps/a.sbs"_s}}, two},
        // No sbs matches: back to the first with the same wps.
        {Config{{u"wps"_s, u"/.rockbox/wps/a.wps"_s}, {u"sbs"_s, u"-"_s}}, one},
        {Config{{u"wps"_s, u"/.rockbox/wps/b.wps"_s}}, three},
        {Config{{u"wps"_s, u"/.rockbox/wps/c.wps"_s}}, std::nullopt},
    };
    for (const auto &c : cases) {
        model->setDeviceConfig(c.config);
        EXPECT_EQ(model->configuredTheme(), c.expected);
    }

    // A theme without settings of its own is passed over.
    model->setThemeSettings({{two.url, {{u"wps"_s, u"/.rockbox/wps/a.wps"_s}}}});
    model->setDeviceConfig({{u"wps"_s, u"/.rockbox/wps/a.wps"_s}});
    EXPECT_EQ(model->configuredTheme(), two);
}

// --- the drawn model and finish ---

TEST_F(ListsTest, DeviceProfileAndFinishFollowTheStoredChoice)
{
    auto model = settledModel();
    // Without a device: the placeholder, white, and choices are not stored.
    EXPECT_EQ(model->deviceProfile(), IPodProfile::placeholder());
    EXPECT_EQ(model->deviceProfile().name, u"Wybierz model iPoda"_s);
    EXPECT_EQ(model->deviceFinish(), u"white"_s);
    model->setAppearance(u"classic6"_s);
    model->setFinish(u"black"_s);
    EXPECT_FALSE(Defaults::contains(u"appearance-"_s));
    EXPECT_EQ(model->deviceProfile(), IPodProfile::placeholder());

    const QString root = u"/media/ja/IPOD"_s;
    model->setDevice(testDevice(root));
    EXPECT_EQ(model->deviceProfile(), IPodProfile::placeholder()); // no firmware target known yet
    model->setDeviceInfo({{u"Target"_s, u"ipodvideo"_s}});
    EXPECT_EQ(model->deviceProfile().id, u"video"_s);
    EXPECT_EQ(model->deviceFinish(), u"white"_s);

    int notices = 0;
    QObject::connect(model.get(), &TavoModel::objectWillChange, [&] { ++notices; });
    model->setAppearance(u"u25"_s);
    EXPECT_EQ(Defaults::string(u"appearance-"_s + root), u"u25"_s);
    EXPECT_EQ(model->deviceProfile().id, u"u25"_s);
    EXPECT_EQ(model->deviceFinish(), u"u2"_s); // the chosen model's own finish
    model->setFinish(u"black"_s);
    EXPECT_EQ(model->deviceFinish(), u"black"_s);
    model->setFinish(u"dowolny"_s); // kept as given
    EXPECT_EQ(model->deviceFinish(), u"dowolny"_s);
    EXPECT_EQ(notices, 3);

    // "auto" forgets the choice: back to the firmware's target.
    model->setAppearance(u"auto"_s);
    EXPECT_FALSE(Defaults::contains(u"appearance-"_s + root));
    EXPECT_EQ(model->deviceProfile().id, u"video"_s);
    model->setFinish(u"auto"_s);
    EXPECT_FALSE(Defaults::contains(u"finish-"_s + root));
    EXPECT_EQ(model->deviceFinish(), u"white"_s);
    EXPECT_EQ(notices, 5);

    // Another device has choices of its own.
    model->setAppearance(u"classic6"_s);
    model->setDevice(testDevice(u"/media/ja/INNY"_s));
    EXPECT_EQ(model->deviceProfile().id, u"video"_s);
}

TEST_F(ListsTest, StaleStoredModelIdFallsBackToTheAutomaticProfile)
{
    auto model = settledModel();
    const QString root = u"/media/ja/IPOD"_s;
    Defaults::setString(u"appearance-"_s + root, u"ipod-z-przyszlosci"_s);
    model->setDevice(testDevice(root));
    model->setDeviceInfo({{u"Target"_s, u"ipod6g"_s}});
    EXPECT_EQ(model->deviceProfile().id, u"classic6"_s);
    EXPECT_EQ(model->deviceFinish(), model->deviceProfile().finish);

    // An id in another letter case is not the same id either.
    Defaults::setString(u"appearance-"_s + root, u"VIDEO"_s);
    EXPECT_EQ(model->deviceProfile().id, u"classic6"_s);
}

} // namespace
