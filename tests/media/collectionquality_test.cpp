#include "media/collectionquality.h"
#include "support/imagefixtures.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QUuid>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

const QString noCover = u"Brak odczytanej okładki. Wybierz obraz, aby naprawić album."_s;
const QString deviceFileMissing =
    u"Okładka dostępna w bibliotece, ale brakuje pliku przy części utworów na iPodzie. Zapisz wersję dla Rockbox."_s;
const QString progressive = u"JPEG progresywny — przygotuj zwykły JPEG dla Rockbox."_s;
const QString conversion = u"Obraz wymaga konwersji do JPEG obsługiwanego przez Rockbox."_s;
const QString fileGone = u"Plik nie jest już dostępny w zapisanej lokalizacji."_s;

class CollectionQualityTest : public ::testing::Test
{
protected:
    QTemporaryDir dir;

    // A fully tagged track whose file exists in folder `folder` below the temporary folder.
    Track track(const QString &folder, const QString &file, const QString &album, int number,
                std::optional<QByteArray> artwork = std::nullopt)
    {
        QDir().mkpath(dir.path() + u'/' + folder);
        Track t;
        t.id = QUuid::createUuid();
        t.url = dir.path() + u'/' + folder + u'/' + file;
        QFile f(t.url);
        f.open(QIODevice::WriteOnly);
        f.write("audio");
        t.title = stem(file);
        t.artist = u"Artist"_s;
        t.album = album;
        t.artwork = std::move(artwork);
        t.bytes = 5;
        t.info.trackNumber = number;
        t.info.tags = {{u"TITLE"_s, t.title}, {u"ARTIST"_s, t.artist}, {u"ALBUM"_s, album}};
        return t;
    }
    static QString stem(const QString &file) { return file.left(file.lastIndexOf(u'.')); }
    void touch(const QString &relative)
    {
        QFile f(dir.path() + u'/' + relative);
        f.open(QIODevice::WriteOnly);
        f.write("img");
    }
};

QStringList summary(const QList<QualityIssue> &issues)
{
    QStringList lines;
    for (const QualityIssue &issue : issues)
        lines.append(issue.kind + u" | "_s + issue.title + u" | "_s + issue.detail + u" | "_s
                     + QString::number(issue.tracks.size()));
    return lines;
}

} // namespace

TEST(QualityIssueId, KindThenPathsInCodePointOrder)
{
    Track a, b, c;
    a.url = u"/m/b.flac"_s;
    b.url = u"/m/\uFF5E.flac"_s;     // U+FF5E: one UTF-16 unit
    c.url = u"/m/\U0001F600.flac"_s; // above U+FFFF: sorts after it by code point
    const QualityIssue one{u"Duplikaty"_s, u"t"_s, u"d"_s, {c, a, b}};
    const QualityIssue two{u"Duplikaty"_s, u"x"_s, u"y"_s, {b, c, a}};
    const QString nul(QChar(u'\0'));
    EXPECT_EQ(one.id(), u"Duplikaty"_s + nul + a.url + nul + b.url + nul + c.url);
    EXPECT_EQ(one.id(), two.id());
    EXPECT_EQ(QualityIssue{u"Pliki"_s}.id(), u"Pliki"_s + nul);
}

TEST_F(CollectionQualityTest, EmptyListGivesNothing)
{
    EXPECT_TRUE(CollectionQuality::inspect({}).isEmpty());
    EXPECT_TRUE(CollectionQuality::inspect({}, dir.path()).isEmpty());
}

TEST_F(CollectionQualityTest, AlbumWithoutArtworkGivesOneIssueEvenOnTheDevice)
{
    const QList<Track> tracks = {track(u"A"_s, u"01 a.flac"_s, u"Alpha"_s, 1), track(u"A"_s, u"02 b.flac"_s, u"Alpha"_s, 2)};
    for (const auto &root : {std::optional<QString>(), std::optional<QString>(dir.path())}) {
        const auto issues = CollectionQuality::inspect(tracks, root);
        ASSERT_EQ(issues.size(), 1);
        EXPECT_EQ(issues[0].kind, u"Okładki"_s);
        EXPECT_EQ(issues[0].title, u"Alpha"_s);
        EXPECT_EQ(issues[0].detail, noCover);
        EXPECT_EQ(issues[0].tracks.size(), 2);
    }
}

TEST_F(CollectionQualityTest, OnlyTheFirstPictureIsJudged)
{
    // First picture progressive: its text, and no device-file rule afterwards.
    QList<Track> tracks = {track(u"P"_s, u"01 a.flac"_s, u"Prog"_s, 1),
                           track(u"P"_s, u"02 b.flac"_s, u"Prog"_s, 2, fixtures::jpeg(300, 300, true)),
                           track(u"P"_s, u"03 c.flac"_s, u"Prog"_s, 3, fixtures::jpeg(300, 300))};
    auto issues = CollectionQuality::inspect(tracks, dir.path());
    ASSERT_EQ(issues.size(), 1);
    EXPECT_EQ(issues[0].detail, progressive);
    EXPECT_EQ(issues[0].tracks.size(), 3);

    // A PNG first, a fit JPEG later: the PNG decides.
    tracks = {track(u"Q"_s, u"01 a.flac"_s, u"Png"_s, 1, fixtures::encode(fixtures::solid(10, 10), "png")),
              track(u"Q"_s, u"02 b.flac"_s, u"Png"_s, 2, fixtures::jpeg(300, 300))};
    issues = CollectionQuality::inspect(tracks);
    ASSERT_EQ(issues.size(), 1);
    EXPECT_EQ(issues[0].detail, conversion);
}

TEST_F(CollectionQualityTest, CoverFilesMatterOnlyWithADeviceRoot)
{
    QList<Track> tracks;
    for (int i = 1; i <= 10; ++i)
        tracks.append(track(u"Ten"_s, u"%1 t.flac"_s.arg(i, 2, 10, QChar(u'0')), u"Ten"_s, i, fixtures::jpeg(500, 500)));
    // Every track but the seventh has its own image; no folder cover.
    for (int i = 1; i <= 10; ++i) {
        if (i != 7)
            touch(u"Ten/%1 t.jpeg"_s.arg(i, 2, 10, QChar(u'0')));
    }
    EXPECT_TRUE(CollectionQuality::inspect(tracks).isEmpty());

    auto issues = CollectionQuality::inspect(tracks, dir.path());
    ASSERT_EQ(issues.size(), 1);
    EXPECT_EQ(issues[0].detail, deviceFileMissing);
    EXPECT_EQ(issues[0].tracks.size(), 10);

    // With a folder cover every track has a file beside it.
    touch(u"Ten/cover.jpg"_s);
    EXPECT_TRUE(CollectionQuality::inspect(tracks, dir.path()).isEmpty());
    EXPECT_TRUE(CollectionQuality::inspect(tracks).isEmpty());
}

TEST_F(CollectionQualityTest, MissingFileIsReportedInsteadOfItsTags)
{
    Track gone = track(u"G"_s, u"01 gone.flac"_s, u"Gone"_s, 1, fixtures::jpeg(100, 100));
    gone.info.tags.clear();
    QFile::remove(gone.url);
    const auto issues = CollectionQuality::inspect({gone});
    ASSERT_EQ(issues.size(), 1);
    EXPECT_EQ(issues[0].kind, u"Pliki"_s);
    EXPECT_EQ(issues[0].title, u"01 gone"_s);
    EXPECT_EQ(issues[0].detail, fileGone);
    ASSERT_EQ(issues[0].tracks.size(), 1);
    EXPECT_EQ(issues[0].tracks[0].id, gone.id);
}

TEST_F(CollectionQualityTest, MissingTagsAreNamedInOrder)
{
    struct Case {
        QMap<QString, QString> tags;
        QString expected; // empty: no issue
    };
    const QString prefix = u"Nie odczytano tagów: "_s;
    const QString suffix = u". Nazwy w bibliotece mogą pochodzić z folderów."_s;
    const Case cases[] = {
        {{{u"TITLE"_s, u"  \t"_s}, {u"ALBUM"_s, u"X"_s}}, prefix + u"tytuł, wykonawca"_s + suffix},
        {{{u"title"_s, u"a"_s}, {u"artist"_s, u"b"_s}, {u"album"_s, u"c"_s}}, prefix + u"tytuł, wykonawca, album"_s + suffix},
        {{{u"TITLE"_s, u"a"_s}, {u"ARTIST"_s, u"b"_s}, {u"ALBUM"_s, u"\n\u2028 "_s}}, prefix + u"album"_s + suffix},
        {{{u"TITLE"_s, u"a"_s}, {u"ARTIST"_s, u"b"_s}, {u"ALBUM"_s, u"c"_s}}, QString()},
    };
    for (const Case &c : cases) {
        Track t = track(u"T"_s, u"01 t.flac"_s, u"Tagged"_s, 1, fixtures::jpeg(100, 100));
        t.info.tags = c.tags;
        const auto issues = CollectionQuality::inspect({t});
        if (c.expected.isEmpty()) {
            EXPECT_TRUE(issues.isEmpty());
            continue;
        }
        ASSERT_EQ(issues.size(), 1);
        EXPECT_EQ(issues[0].kind, u"Tagi"_s);
        EXPECT_EQ(issues[0].title, u"01 t"_s);
        EXPECT_EQ(issues[0].detail, c.expected);
    }
}

TEST_F(CollectionQualityTest, IssuesSortByKindThenTitleWithNumbersByValue)
{
    Track album10 = track(u"X10"_s, u"01 x.flac"_s, u"Album 10"_s, 1);
    Track album2 = track(u"X2"_s, u"01 x.flac"_s, u"Album 2"_s, 1);
    Track gone = track(u"Z"_s, u"01 z.flac"_s, u"Zeta"_s, 1, fixtures::jpeg(10, 10));
    QFile::remove(gone.url);
    Track untagged = track(u"U"_s, u"01 u.flac"_s, u"Untagged"_s, 1, fixtures::jpeg(10, 10));
    untagged.info.tags.remove(u"ARTIST"_s);
    const auto issues = CollectionQuality::inspect({untagged, gone, album10, album2});
    const QStringList lines = summary(issues);
    ASSERT_EQ(lines.size(), 4) << lines.join(u'\n').toStdString();
    EXPECT_EQ(issues[0].kind, u"Okładki"_s);
    EXPECT_EQ(issues[0].title, u"Album 2"_s);
    EXPECT_EQ(issues[1].title, u"Album 10"_s);
    EXPECT_EQ(issues[2].kind, u"Pliki"_s);
    EXPECT_EQ(issues[3].kind, u"Tagi"_s);
}
