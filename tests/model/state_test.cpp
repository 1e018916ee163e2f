#include "model/tavomodel.h"
#include "modeltesting.h"

#include "platform/defaults.h"
#include "support/qtprinters.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

using StateTest = ModelTest;

// Counts the emissions of one signal.
template <typename Signal>
std::shared_ptr<int> countSignal(TavoModel *model, Signal signal)
{
    auto count = std::make_shared<int>(0);
    QObject::connect(model, signal, model, [count] { ++*count; });
    return count;
}

QString copyFixture(const QString &name, const QString &folder)
{
    const QString source = QStringLiteral(VONTARO_TEST_DATA_DIR "/audio/") + name;
    QDir().mkpath(folder);
    const QString target = folder + u'/' + name;
    EXPECT_TRUE(QFile::copy(source, target)) << target.toStdString();
    QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner);
    return target;
}

TEST_F(StateTest, EmptySettingsGiveTheDefaults)
{
    auto model = makeModel();
    EXPECT_EQ(model->viewMode(), u"Albumy"_s);
    EXPECT_EQ(model->sortMode(), u"Wykonawca"_s);
    EXPECT_EQ(model->tileSize(), 170);
    EXPECT_EQ(model->section(), Section::music);
    EXPECT_EQ(model->status(), u"Gotowy na Twoją muzykę"_s);
    EXPECT_EQ(model->formatFilter(), u"Wszystko"_s);
    EXPECT_EQ(model->duplicateStatus(), u"Duplikaty nie zostały jeszcze sprawdzone."_s);
    EXPECT_EQ(model->playlistName(), u"Moja playlista"_s);
    EXPECT_TRUE(model->tracks().isEmpty());
    EXPECT_TRUE(model->deviceTracks().isEmpty());
    EXPECT_TRUE(model->queued().isEmpty());
    EXPECT_TRUE(model->devices().isEmpty());
    EXPECT_FALSE(model->device().has_value());
    EXPECT_FALSE(model->busy());
    EXPECT_EQ(model->progress(), 0);
    EXPECT_FALSE(model->alert().has_value());
    EXPECT_FALSE(model->libraryOnDevice());
    EXPECT_FALSE(model->hiResOnly());
    EXPECT_FALSE(model->showCoverFlow());
    EXPECT_TRUE(model->themePreviewStatus().isEmpty());
    EXPECT_FALSE(model->contentGeneration().isNull());
    ASSERT_NE(model->playback(), nullptr);
    EXPECT_FALSE(model->playback()->playing());
    EXPECT_EQ(model->playback()->volume(), 0.6);
    // Reading the defaults writes nothing back.
    EXPECT_FALSE(Defaults::contains(u"viewMode"_s));
    EXPECT_FALSE(Defaults::contains(u"tileSize"_s));
}

TEST_F(StateTest, EnglishInterfaceTranslatesThePlaylistNameOnce)
{
    AppLocalizer::setPreferredLanguages([] { return QStringList{u"en-GB"_s}; });
    auto model = makeModel();
    const QString english = AppLocalizer::translateEnglish(u"Moja playlista"_s, 0);
    EXPECT_NE(english, u"Moja playlista"_s);
    EXPECT_EQ(model->playlistName(), english);

    // A later change of language leaves the name as it was.
    AppLocalizer::setPreferredLanguages([] { return QStringList{u"pl-PL"_s}; });
    EXPECT_EQ(model->playlistName(), english);
}

TEST_F(StateTest, TheDefaultPlaylistNameFollowsTheLanguageUntilTheUserNamesIt)
{
    auto model = makeModel();
    const QString english = AppLocalizer::translateEnglish(u"Moja playlista"_s, 0);
    struct Step {
        const char *language;
        QString typed; // empty: nothing typed before the switch
        QString name;
    };
    const Step steps[] = {
        {"en", {}, english},
        {"pl", {}, u"Moja playlista"_s},
        {"pl", {}, u"Moja playlista"_s},
        {"en", u"Wakacje"_s, u"Wakacje"_s},
        {"pl", {}, u"Wakacje"_s},
    };
    for (const Step &step : steps) {
        if (!step.typed.isEmpty())
            model->setPlaylistName(step.typed);
        Defaults::setString(u"appLanguage"_s, QString::fromUtf8(step.language));
        model->followLanguage();
        EXPECT_EQ(model->playlistName(), step.name) << step.language;
    }
}

TEST_F(StateTest, StoredViewSettingsAreRestored)
{
    struct Case {
        std::optional<double> stored;
        double expected;
    };
    const Case cases[] = {{std::nullopt, 170}, {0, 170}, {-5, 170}, {200, 200}, {96.5, 96.5}};
    for (const Case &c : cases) {
        Defaults::clear();
        if (c.stored)
            Defaults::setNumber(u"tileSize"_s, *c.stored);
        auto model = makeModel();
        EXPECT_EQ(model->tileSize(), c.expected) << (c.stored ? *c.stored : -1);
    }

    // Any stored text is used unchanged, even one the views don't offer.
    Defaults::setString(u"viewMode"_s, u"Kafelki"_s);
    Defaults::setString(u"sortMode"_s, u"Rok"_s);
    Defaults::reload();
    auto model = makeModel();
    EXPECT_EQ(model->viewMode(), u"Kafelki"_s);
    EXPECT_EQ(model->sortMode(), u"Rok"_s);
}

TEST_F(StateTest, ViewSettingsAreSavedOnEveryAssignment)
{
    auto model = makeModel();
    const auto tileSpy = countSignal(model.get(), &TavoModel::tileSizeChanged);
    const auto sortSpy = countSignal(model.get(), &TavoModel::sortModeChanged);
    const auto viewSpy = countSignal(model.get(), &TavoModel::viewModeChanged);

    model->setTileSize(200);
    model->setSortMode(u"Rok"_s);
    model->setViewMode(u"Utwory"_s);
    EXPECT_EQ(Defaults::number(u"tileSize"_s), 200);
    EXPECT_EQ(Defaults::string(u"sortMode"_s), u"Rok"_s);
    EXPECT_EQ(Defaults::string(u"viewMode"_s), u"Utwory"_s);

    // Assigning the value it already holds still writes it and still notifies.
    Defaults::clear();
    model->setTileSize(200);
    model->setSortMode(u"Rok"_s);
    model->setViewMode(u"Utwory"_s);
    EXPECT_EQ(Defaults::number(u"tileSize"_s), 200);
    EXPECT_EQ(Defaults::string(u"sortMode"_s), u"Rok"_s);
    EXPECT_EQ(Defaults::string(u"viewMode"_s), u"Utwory"_s);
    EXPECT_EQ(*tileSpy, 2);
    EXPECT_EQ(*sortSpy, 2);
    EXPECT_EQ(*viewSpy, 2);

    // The values reach the settings store, not only the in-memory copy.
    Defaults::reload();
    auto next = makeModel();
    EXPECT_EQ(next->tileSize(), 200);
    EXPECT_EQ(next->sortMode(), u"Rok"_s);
    EXPECT_EQ(next->viewMode(), u"Utwory"_s);
}

TEST_F(StateTest, PlainPropertiesNotifyOnEveryAssignmentAndSaveNothing)
{
    auto model = makeModel();
    const auto searchSpy = countSignal(model.get(), &TavoModel::searchChanged);
    const auto sectionSpy = countSignal(model.get(), &TavoModel::sectionChanged);
    model->setSearch(u"abc"_s);
    model->setSearch(u"abc"_s);
    model->setSection(Section::themes);
    EXPECT_EQ(*searchSpy, 2);
    EXPECT_EQ(*sectionSpy, 1);
    EXPECT_EQ(model->search(), u"abc"_s);
    EXPECT_EQ(model->section(), Section::themes);
    EXPECT_FALSE(Defaults::contains(u"search"_s));
    EXPECT_FALSE(Defaults::contains(u"section"_s));
}

TEST_F(StateTest, SwitchingTheLibrarySideForgetsDuplicateFindings)
{
    auto model = makeModel();
    const QList<QualityIssue> findings = {QualityIssue{u"Duplikaty"_s, u"a.flac"_s, u"2 pliki"_s, {}}};
    auto findingsKept = [&] {
        model->setDuplicateIssues(findings);
        model->setDuplicateStatus(u"Znaleziono duplikaty: 1"_s);
    };

    findingsKept();
    model->setLibraryOnDevice(false); // unchanged: the findings stay
    EXPECT_EQ(model->duplicateIssues().size(), 1);
    EXPECT_EQ(model->duplicateStatus(), u"Znaleziono duplikaty: 1"_s);

    model->setLibraryOnDevice(true);
    EXPECT_TRUE(model->duplicateIssues().isEmpty());
    EXPECT_EQ(model->duplicateStatus(), u"Duplikaty nie zostały jeszcze sprawdzone."_s);

    findingsKept();
    model->setLibraryOnDevice(true);
    EXPECT_EQ(model->duplicateIssues().size(), 1);
    model->setLibraryOnDevice(false);
    EXPECT_TRUE(model->duplicateIssues().isEmpty());
}

TEST_F(StateTest, LibraryIsRestoredOnlyWhenAskedAndMissingPathsAreKept)
{
    QTemporaryDir dir;
    const QString kept = copyFixture(u"tagged.mp3"_s, dir.path() + u"/Artist/Album"_s);
    const QString gone = dir.path() + u"/Artist/Album/gone.mp3"_s;
    Defaults::setStringList(u"libraryPaths"_s, {gone, kept});

    {
        auto model = makeModel(false);
        EXPECT_FALSE(model->busy());
        EXPECT_EQ(model->status(), u"Gotowy na Twoją muzykę"_s);
        EXPECT_TRUE(model->tracks().isEmpty());
    }

    auto model = makeModel(true);
    // The paths are checked on a worker: the constructor returns before any
    // file was looked at, with the model busy so nothing else overlaps.
    EXPECT_TRUE(model->busy());
    EXPECT_TRUE(model->tracks().isEmpty());
    ASSERT_TRUE(waitUntilIdle(*model));
    ASSERT_EQ(model->tracks().size(), 1);
    EXPECT_EQ(model->tracks().first().url, kept);
    // A restore does not queue anything; the missing file is not shown but stays saved.
    EXPECT_TRUE(model->queued().isEmpty());
    EXPECT_EQ(Defaults::stringList(u"libraryPaths"_s), (QStringList{kept, gone}));
    EXPECT_EQ(model->status(), u"Odczytano utwory: 1"_s);
}

TEST_F(StateTest, AnUnmountedDiskLosesNoLibraryEntries)
{
    QTemporaryDir dir;
    const QString home = copyFixture(u"tagged.mp3"_s, dir.path() + u"/Home/A"_s);
    // The external disk's files, first present, then "unplugged" by moving the folder away.
    const QString external = copyFixture(u"tagged.flac"_s, dir.path() + u"/Disk/B"_s);
    const QString externalSecond = copyFixture(u"vorbis.ogg"_s, dir.path() + u"/Disk/B"_s);
    const QString other = copyFixture(u"tagged.aiff"_s, dir.path() + u"/Home/C"_s);
    Defaults::setStringList(u"libraryPaths"_s, {home, external, externalSecond});
    Defaults::flush();
    ASSERT_TRUE(QDir().rename(dir.path() + u"/Disk"_s, dir.path() + u"/Unplugged"_s));

    {
        // A start without the disk, an import and a forget: each save keeps the disk's files.
        Defaults::reload();
        auto model = makeModel(true);
        ASSERT_TRUE(waitUntilIdle(*model));
        ASSERT_EQ(model->tracks().size(), 1);
        EXPECT_EQ(Defaults::stringList(u"libraryPaths"_s), (QStringList{home, external, externalSecond}));

        model->importURLs({other}, false, true);
        ASSERT_TRUE(waitUntilIdle(*model));
        ASSERT_EQ(model->tracks().size(), 2);
        EXPECT_EQ(Defaults::stringList(u"libraryPaths"_s), (QStringList{home, other, external, externalSecond}));

        model->forget(model->albums().constFirst().tracks.constFirst().url == home ? model->albums().constFirst()
                                                                                   : model->albums().constLast());
        ASSERT_EQ(model->tracks().size(), 1);
        EXPECT_EQ(model->tracks().first().url, other);
        EXPECT_EQ(Defaults::stringList(u"libraryPaths"_s), (QStringList{other, external, externalSecond}));
        Defaults::flush();
    }

    // The list reaches the settings file, not only the in-memory copy.
    Defaults::reload();
    EXPECT_EQ(Defaults::stringList(u"libraryPaths"_s), (QStringList{other, external, externalSecond}));

    {
        // A start with the disk back shows its files again.
        ASSERT_TRUE(QDir().rename(dir.path() + u"/Unplugged"_s, dir.path() + u"/Disk"_s));
        auto model = makeModel(true);
        ASSERT_TRUE(waitUntilIdle(*model));
        QStringList urls;
        for (const Track &track : model->tracks())
            urls.append(track.url);
        urls.sort();
        QStringList expected{other, external, externalSecond};
        expected.sort();
        EXPECT_EQ(urls, expected);
        EXPECT_TRUE(model->queued().isEmpty());
    }
}

TEST_F(StateTest, AFileThatComesBackIsShownAtTheNextImport)
{
    QTemporaryDir dir;
    const QString home = copyFixture(u"tagged.mp3"_s, dir.path() + u"/Home/A"_s);
    const QString external = copyFixture(u"tagged.flac"_s, dir.path() + u"/Disk/B"_s);
    const QString other = copyFixture(u"tagged.aiff"_s, dir.path() + u"/Home/C"_s);
    Defaults::setStringList(u"libraryPaths"_s, {home, external});
    ASSERT_TRUE(QDir().rename(dir.path() + u"/Disk"_s, dir.path() + u"/Unplugged"_s));

    auto model = makeModel(true);
    ASSERT_TRUE(waitUntilIdle(*model));
    ASSERT_EQ(model->tracks().size(), 1);

    ASSERT_TRUE(QDir().rename(dir.path() + u"/Unplugged"_s, dir.path() + u"/Disk"_s));
    model->importURLs({other}, false, true);
    ASSERT_TRUE(waitUntilIdle(*model));
    ASSERT_EQ(model->tracks().size(), 3);
    // Only what the user chose is queued; the returning file is simply shown again.
    ASSERT_EQ(model->queued().size(), 1);
    for (const Track &track : model->tracks())
        EXPECT_EQ(model->queued().contains(track.id), track.url == other) << track.url.toStdString();
    QStringList saved = Defaults::stringList(u"libraryPaths"_s).value_or(QStringList());
    EXPECT_EQ(saved.size(), 3);
    EXPECT_EQ(saved.count(external), 1);

    // Forgetting its album now removes it for good.
    for (const Album &album : model->albums()) {
        if (album.tracks.constFirst().url == external)
            model->forget(album);
    }
    saved = Defaults::stringList(u"libraryPaths"_s).value_or(QStringList());
    EXPECT_EQ(saved.size(), 2);
    EXPECT_FALSE(saved.contains(external));
}

TEST_F(StateTest, NothingToRestoreStartsNoImport)
{
    struct Case {
        const char *name;
        QStringList stored;
    };
    const Case cases[] = {
        {"all missing", {u"/nonexistent/one.mp3"_s, u"/nonexistent/two"_s}},
        // An empty or relative entry would otherwise name the working folder.
        {"empty and relative", {QString(), u"Music"_s, u"."_s}},
        {"empty list", {}},
    };
    for (const Case &c : cases) {
        Defaults::clear();
        Defaults::setStringList(u"libraryPaths"_s, c.stored);
        auto model = makeModel(true);
        QStringList statuses;
        QObject::connect(model.get(), &TavoModel::statusChanged, model.get(),
                         [&] { statuses.append(model->status()); });
        ASSERT_TRUE(waitUntilIdle(*model)) << c.name;
        EXPECT_TRUE(statuses.isEmpty()) << c.name;
        EXPECT_EQ(model->status(), u"Gotowy na Twoją muzykę"_s) << c.name;
        EXPECT_TRUE(model->tracks().isEmpty()) << c.name;
        // Nothing was saved over the stored list.
        EXPECT_EQ(Defaults::stringList(u"libraryPaths"_s), c.stored) << c.name;
    }
}

} // namespace
