#include "caretesting.h"

#include "support/qtprinters.h"

#include <QDir>
#include <QFile>
#include <algorithm>

namespace {

const QString notChecked = u"Duplikaty nie zostały jeszcze sprawdzone."_s;
const QString running = u"Sprawdzam zawartość plików…"_s;
const QString comparing = u"Porównuję zawartość plików…"_s;
const QString interrupted = u"Sprawdzanie przerwane — wynik nie jest kompletny."_s;

QString found(int groups)
{
    return u"Znaleziono grup identycznych plików: "_s + QString::number(groups) + u". Sprawdzone przez SHA-256."_s;
}

class DuplicateCheck : public OperationsTest
{
protected:
    // `count` WAV files of one size in `folder`, named 01.wav, 02.wav…; each
    // differs from the others in one sample byte, except that the members of
    // every group (0-based positions) share the content of the group's first.
    QString writeLibrary(const QString &folder, int count, const QList<QList<int>> &groups)
    {
        QFile source(testAudioFile(u"wav24.wav"_s));
        EXPECT_TRUE(source.open(QIODevice::ReadOnly));
        const QByteArray original = source.readAll();
        QDir().mkpath(folder);
        for (int i = 0; i < count; ++i) {
            int variant = i;
            for (const QList<int> &group : groups) {
                if (group.contains(i))
                    variant = group.first();
            }
            QByteArray bytes = original;
            bytes[bytes.size() / 2] = char(variant + 1);
            QFile file(folder + u"/%1.wav"_s.arg(i + 1, 2, 10, QChar(u'0')));
            EXPECT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(bytes);
        }
        return folder;
    }

    void import(const QString &folder)
    {
        model->importURLs({folder}, false, false);
        ASSERT_TRUE(waitUntilIdle(*model));
    }
};

TEST_F(DuplicateCheck, FindsTheGroupsAndPostsProgressForEveryTwentiethFileAndTheLast)
{
    import(writeLibrary(library(u"Many"_s), 45, {{0, 1, 2}, {10, 30}}));
    ASSERT_EQ(model->tracks().size(), 45);

    History history(*model);
    model->checkDuplicates();
    // The call only starts the work.
    EXPECT_TRUE(model->busy());
    EXPECT_EQ(model->duplicateStatus(), running);
    EXPECT_EQ(model->status(), comparing);
    EXPECT_TRUE(model->duplicateIssues().isEmpty());

    ASSERT_TRUE(waitUntilIdle(*model));
    EXPECT_EQ(history.progress, (QList<double>{0, 20.0 / 45, 40.0 / 45, 1}));
    EXPECT_EQ(history.duplicateStatuses, (QStringList{running, found(2)}));
    EXPECT_EQ(history.statuses, (QStringList{comparing, u"Sprawdzanie duplikatów zakończone"_s}));
    EXPECT_EQ(model->duplicateStatus(), found(2));
    EXPECT_FALSE(model->alert().has_value());

    QList<QStringList> groups;
    for (const QualityIssue &issue : model->duplicateIssues()) {
        EXPECT_EQ(issue.kind, u"Duplikaty"_s);
        QStringList names;
        for (const Track &track : issue.tracks)
            names.append(QFileInfo(track.url).fileName());
        names.sort();
        groups.append(names);
    }
    std::sort(groups.begin(), groups.end());
    EXPECT_EQ(groups, (QList<QStringList>{{u"01.wav"_s, u"02.wav"_s, u"03.wav"_s}, {u"11.wav"_s, u"31.wav"_s}}));
}

TEST_F(DuplicateCheck, FortyCandidatesPublishTheLastFractionOnce)
{
    import(writeLibrary(library(u"Forty"_s), 40, {}));
    History history(*model);
    model->checkDuplicates();
    ASSERT_TRUE(waitUntilIdle(*model));
    EXPECT_EQ(history.progress, (QList<double>{0, 0.5, 1}));
    EXPECT_EQ(model->duplicateStatus(), found(0));
    EXPECT_TRUE(model->duplicateIssues().isEmpty());
}

TEST_F(DuplicateCheck, FilesOfDistinctSizesAreNotRead)
{
    model->setTracks({
        libraryTrack(library(u"Mixed/a.mp3"_s), u"A"_s, u"X"_s, 0, 1, std::nullopt, u"tagged.mp3"_s),
        libraryTrack(library(u"Mixed/b.flac"_s), u"A"_s, u"X"_s, 0, 2, std::nullopt, u"tagged.flac"_s),
        libraryTrack(library(u"Mixed/c.ogg"_s), u"A"_s, u"X"_s, 0, 3, std::nullopt, u"vorbis.ogg"_s),
    });
    History history(*model);
    model->checkDuplicates();
    ASSERT_TRUE(waitUntilIdle(*model));
    EXPECT_EQ(history.progress, (QList<double>{0}));
    EXPECT_EQ(model->progress(), 0);
    EXPECT_EQ(model->duplicateStatus(), found(0));
    EXPECT_EQ(model->status(), u"Sprawdzanie duplikatów zakończone"_s);
}

TEST_F(DuplicateCheck, AFileGoneAfterTheImportInterruptsTheCheck)
{
    import(writeLibrary(library(u"Gone"_s), 25, {{0, 1}}));
    ASSERT_EQ(model->tracks().size(), 25);
    // All candidates share one size, so they are read in library order: the
    // 24th fails after the progress for the 20th was published.
    ASSERT_TRUE(QFile::remove(model->tracks()[23].url));

    History history(*model);
    model->checkDuplicates();
    ASSERT_TRUE(waitUntilIdle(*model));
    ASSERT_TRUE(model->alert().has_value());
    EXPECT_FALSE(model->alert()->isEmpty());
    EXPECT_EQ(model->duplicateStatus(), interrupted);
    EXPECT_TRUE(model->duplicateIssues().isEmpty());
    EXPECT_EQ(model->status(), comparing);
    EXPECT_EQ(history.statuses, (QStringList{comparing}));
    EXPECT_EQ(history.progress, (QList<double>{0, 0.8}));
    EXPECT_EQ(model->progress(), 0.8);
}

TEST_F(DuplicateCheck, TheFindingsBelongToTheSideTheyWereMadeOn)
{
    import(writeLibrary(library(u"Side"_s), 3, {{0, 2}}));
    model->checkDuplicates();
    ASSERT_TRUE(waitUntilIdle(*model));
    ASSERT_EQ(model->duplicateIssues().size(), 1);

    // Showing the same side again keeps them; the other side forgets them.
    model->setLibraryOnDevice(false);
    EXPECT_EQ(model->duplicateIssues().size(), 1);
    EXPECT_EQ(model->duplicateStatus(), found(1));
    model->setLibraryOnDevice(true);
    EXPECT_TRUE(model->duplicateIssues().isEmpty());
    EXPECT_EQ(model->duplicateStatus(), notChecked);
}

TEST_F(DuplicateCheck, TheDeviceSideIsCheckedWhenShown)
{
    connectDevice();
    const Track a = libraryTrack(device.path(u"Music/A/X/01.mp3"_s), u"A"_s, u"X"_s);
    const Track b = libraryTrack(device.path(u"Music/A/Y/01.mp3"_s), u"A"_s, u"Y"_s);
    model->setTracks({libraryTrack(library(u"Other/01.flac"_s), u"B"_s, u"Z"_s, 0, 1, std::nullopt,
                                   u"tagged.flac"_s)});
    model->setDeviceTracks({a, b});
    model->setLibraryOnDevice(true);
    model->checkDuplicates();
    ASSERT_TRUE(waitUntilIdle(*model));
    ASSERT_EQ(model->duplicateIssues().size(), 1);
    EXPECT_EQ(model->duplicateIssues().first().tracks.size(), 2);
}

TEST_F(DuplicateCheck, ASideSwitchedDuringTheCheckGetsNoForeignFindings)
{
    import(writeLibrary(library(u"Switch"_s), 3, {{0, 1}}));
    model->checkDuplicates();
    // The result can only arrive through the event loop, so this switch comes first.
    model->setLibraryOnDevice(true);
    ASSERT_TRUE(waitUntilIdle(*model));
    EXPECT_TRUE(model->duplicateIssues().isEmpty());
    EXPECT_EQ(model->duplicateStatus(), notChecked);
    EXPECT_EQ(model->status(), u"Sprawdzanie duplikatów zakończone"_s);
}

TEST_F(DuplicateCheck, RefusedCallsChangeNothing)
{
    import(writeLibrary(library(u"Guard"_s), 3, {{0, 1}}));
    struct Case {
        const char *name;
        std::function<void()> arrange;
    };
    const QList<Case> cases = {
        {"another operation runs", [&] { model->setBusy(true); }},
        {"the device side is empty", [&] { model->setLibraryOnDevice(true); }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        c.arrange();
        const QString status = model->status();
        const QString duplicateStatus = model->duplicateStatus();
        ChangeCounter changes(*model);
        model->checkDuplicates();
        EXPECT_EQ(changes.count(), 0);
        EXPECT_EQ(model->status(), status);
        EXPECT_EQ(model->duplicateStatus(), duplicateStatus);
        model->setBusy(false);
        model->setLibraryOnDevice(false);
    }
}

} // namespace
