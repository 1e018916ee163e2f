#include "media/duplicates.h"
#include "platform/errors.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QUuid>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

class DuplicatesTest : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    QList<std::pair<qsizetype, qsizetype>> calls;

    CollectionQuality::DuplicateProgress recorder()
    {
        return [this](qsizetype done, qsizetype total) { calls.append({done, total}); };
    }

    Track file(const QString &name, const QByteArray &bytes)
    {
        Track t = phantom(name, bytes.size());
        QFile f(t.url);
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        return t;
    }
    // A track whose file does not exist: reading it would fail the check.
    Track phantom(const QString &name, qint64 size)
    {
        Track t;
        t.id = QUuid::createUuid();
        t.url = dir.path() + u'/' + name;
        t.title = name;
        t.bytes = size;
        return t;
    }
};

QStringList urls(const QualityIssue &issue)
{
    QStringList list;
    for (const Track &t : issue.tracks)
        list.append(t.url);
    return list;
}

} // namespace

TEST_F(DuplicatesTest, ReadsOnlyFilesThatShareASize)
{
    const QByteArray content(4'000'000, 'x');
    QList<Track> tracks;
    // 997 files of unique sizes that do not exist: reading any of them would throw.
    for (int i = 0; i < 997; ++i)
        tracks.append(phantom(u"other%1.flac"_s.arg(i), 10'000 + i));
    tracks.insert(100, file(u"first.flac"_s, content));
    tracks.insert(500, file(u"second.flac"_s, content));
    tracks.append(file(u"third.flac"_s, content));

    const auto issues = CollectionQuality::duplicates(tracks, recorder());
    ASSERT_EQ(issues.size(), 1);
    EXPECT_EQ(issues[0].kind, u"Duplikaty"_s);
    EXPECT_EQ(issues[0].title, u"3 identyczne pliki · first.flac"_s);
    EXPECT_EQ(issues[0].detail, u"Zgodne bajt w bajt (SHA-256). Zajętość dodatkowych kopii: 8 MB."_s);
    EXPECT_EQ(urls(issues[0]), (QStringList{dir.path() + u"/first.flac"_s, dir.path() + u"/second.flac"_s,
                                            dir.path() + u"/third.flac"_s}));
    EXPECT_EQ(calls, (QList<std::pair<qsizetype, qsizetype>>{{1, 3}, {2, 3}, {3, 3}}));
}

TEST_F(DuplicatesTest, EqualSizeButOtherContentIsNoDuplicate)
{
    const auto issues =
        CollectionQuality::duplicates({file(u"a.mp3"_s, "aaaa"), file(u"b.mp3"_s, "bbbb")}, recorder());
    EXPECT_TRUE(issues.isEmpty());
    EXPECT_EQ(calls.size(), 2);
}

TEST_F(DuplicatesTest, EmptyAndUniqueFilesAreNeverRead)
{
    EXPECT_TRUE(CollectionQuality::duplicates({phantom(u"e1"_s, 0), phantom(u"e2"_s, 0), phantom(u"u"_s, 7)}, recorder())
                    .isEmpty());
    EXPECT_TRUE(CollectionQuality::duplicates({}, recorder()).isEmpty());
    EXPECT_TRUE(calls.isEmpty());
}

TEST_F(DuplicatesTest, TheSameFileListedTwiceIsReadOnceAndIsNoDuplicate)
{
    QDir().mkpath(dir.path() + u"/sub"_s);
    const Track original = file(u"song.flac"_s, "same bytes");
    Track dotted = original;
    dotted.id = QUuid::createUuid();
    dotted.url = dir.path() + u"/./sub/../song.flac"_s;
    const auto issues = CollectionQuality::duplicates({original, dotted}, recorder());
    EXPECT_TRUE(issues.isEmpty());
    // Progress still counts the candidate that was passed over.
    EXPECT_EQ(calls, (QList<std::pair<qsizetype, qsizetype>>{{1, 2}, {2, 2}}));

    // A real copy beside it is found, and the doubled listing is still not counted.
    calls.clear();
    const Track copy = file(u"copy.flac"_s, "same bytes");
    const auto withCopy = CollectionQuality::duplicates({original, dotted, copy}, recorder());
    ASSERT_EQ(withCopy.size(), 1);
    EXPECT_EQ(withCopy[0].title, u"2 identyczne pliki · song.flac"_s);
    EXPECT_EQ(urls(withCopy[0]), (QStringList{original.url, copy.url}));
    EXPECT_EQ(calls.size(), 3);
}

TEST_F(DuplicatesTest, GroupsSplitByContentWithinOneSize)
{
    const Track a = file(u"a.flac"_s, "0123456789");
    const Track b = file(u"b.flac"_s, "abcdefghij");
    const Track c = file(u"c.flac"_s, "0123456789");
    const auto issues = CollectionQuality::duplicates({a, b, c}, recorder());
    ASSERT_EQ(issues.size(), 1);
    EXPECT_EQ(urls(issues[0]), (QStringList{a.url, c.url}));
    EXPECT_EQ(issues[0].detail, u"Zgodne bajt w bajt (SHA-256). Zajętość dodatkowych kopii: 10 bajtów."_s);
    EXPECT_EQ(calls.last(), (std::pair<qsizetype, qsizetype>{3, 3}));
}

TEST_F(DuplicatesTest, FiveCopiesAgreeInNumber)
{
    QList<Track> tracks;
    for (int i = 0; i < 5; ++i)
        tracks.append(file(u"c%1.ogg"_s.arg(i), QByteArray(1500, 'q')));
    const auto issues = CollectionQuality::duplicates(tracks);
    ASSERT_EQ(issues.size(), 1);
    EXPECT_EQ(issues[0].title, u"5 identycznych plików · c0.ogg"_s);
    EXPECT_EQ(issues[0].detail, u"Zgodne bajt w bajt (SHA-256). Zajętość dodatkowych kopii: 6 KB."_s);
}

TEST_F(DuplicatesTest, AFileGoneSinceTheImportFailsTheCheck)
{
    const Track a = file(u"a.flac"_s, "12345");
    const Track gone = phantom(u"gone.flac"_s, 5);
    EXPECT_THROW(CollectionQuality::duplicates({a, gone}, recorder()), PosixError);
    // Progress stops before the file that failed.
    EXPECT_EQ(calls, (QList<std::pair<qsizetype, qsizetype>>{{1, 2}}));
}
