#include "model/importscan.h"
#include "model/librarystore.h"
#include "model/tavomodel.h"
#include "modeltesting.h"

#include "media/audioinfo.h"
#include "platform/adts.h"
#include "platform/appfolders.h"
#include "platform/defaults.h"
#include "platform/errors.h"
#include "platform/mediaasset.h"
#include "support/qtprinters.h"
#include "support/specialfiles.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

// The library's own files drilled from outside: FIFOs and endless devices in
// their places, links to device nodes, full and read-only disks, and names
// that are not UTF-8.

namespace {

const QString libraryNotSaved = u"Nie udało się zapisać biblioteki na komputerze. Zostaje poprzedni zapis."_s;

class StateFilesTest : public ModelTest
{
protected:
    void SetUp() override
    {
        ModelTest::SetUp();
        useSupportFolder(dir.path() + u"/Support"_s);
    }
    void TearDown() override
    {
        AppFolders::setApplicationSupportOverride(QString());
        ModelTest::TearDown();
    }

    void useSupportFolder(const QString &folder)
    {
        AppFolders::setApplicationSupportOverride(folder);
        QDir().mkpath(folder);
    }

    QString copy(const QString &fixture, const QString &relative)
    {
        const QString target = dir.path() + u"/Music/"_s + relative;
        QDir().mkpath(QFileInfo(target).path());
        EXPECT_TRUE(QFile::copy(QStringLiteral(VONTARO_TEST_DATA_DIR "/audio/") + fixture, target));
        QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner);
        return target;
    }

    // Four tracks imported and saved (the model gone, so every save has ended).
    void importLibrary()
    {
        copy(u"tagged.mp3"_s, u"A/One/01 a.mp3"_s);
        copy(u"tagged.flac"_s, u"A/One/02 b.flac"_s);
        copy(u"vorbis.ogg"_s, u"B/Two/01 c.ogg"_s);
        copy(u"aac.m4a"_s, u"B/Two/02 d.m4a"_s);
        auto model = makeModel();
        model->importURLs({dir.path() + u"/Music"_s}, false, false);
        ASSERT_TRUE(waitUntilIdle(*model));
        ASSERT_EQ(model->tracks().size(), 4);
        model.reset();
        Defaults::flush();
    }

    // The alert shown while `model` finishes an import of `urls` and its saves.
    static void importAndSave(TavoModel &model, const QStringList &urls)
    {
        model.importURLs(urls, false, false);
        ASSERT_TRUE(waitUntilIdle(model));
    }

    QTemporaryDir dir;
};

// A FIFO or a link to an endless device in place of the records: the start
// neither hangs nor eats memory; every file is read again instead.
TEST_F(StateFilesTest, ARecordsFileThatIsNoFileGivesAFullRead)
{
    importLibrary();
    for (const bool fifo : {true, false}) {
        SCOPED_TRACE(fifo ? "FIFO" : "link to /dev/zero");
        const QString records = LibraryStore::defaultFile();
        QFile::remove(records);
        ASSERT_TRUE(fifo ? special::makeFifo(records) : special::makeEndless(records));
        EXPECT_FALSE(LibraryStore::load(records).has_value());

        Defaults::reload();
        auto model = makeModel(true);
        ASSERT_TRUE(waitUntilIdle(*model));
        EXPECT_EQ(model->tracks().size(), 4);
        model.reset();
        EXPECT_TRUE(fifo ? special::isFifo(records) : QFileInfo(records).isSymLink())
            << "never replaced by a save";
    }
}

// The saved paths lost (their file damaged or gone) while the records are
// whole: the library comes back from the records, and the next save holds it all.
TEST_F(StateFilesTest, LostPathsAreTakenFromTheRecords)
{
    importLibrary();
    const QString pathsFile =
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + u"/Vontaro/Library.paths"_s;
    for (const bool damaged : {true, false}) {
        SCOPED_TRACE(damaged ? "damaged" : "removed");
        if (damaged) {
            QFile file(pathsFile);
            ASSERT_TRUE(file.open(QIODevice::ReadWrite));
            ASSERT_TRUE(file.resize(file.size() - 1));
        } else {
            ASSERT_TRUE(QFile::remove(pathsFile));
        }
        Defaults::reload();
        ASSERT_FALSE(Defaults::stringList(u"libraryPaths"_s).has_value());
        auto model = makeModel(true);
        ASSERT_TRUE(waitUntilIdle(*model));
        EXPECT_EQ(model->tracks().size(), 4);
        model.reset();
        Defaults::reload();
        EXPECT_EQ(Defaults::stringList(u"libraryPaths"_s).value_or(QStringList()).size(), 4);
    }
}

// A FIFO in place of the settings file: the model (whose constructor reads the
// interface language) is made at once, with the settings' first values.
TEST_F(StateFilesTest, ASettingsFileThatIsAFifoDoesNotHoldUpTheStart)
{
    Defaults::setString(u"viewMode"_s, u"Utwory"_s);
    Defaults::flush();
    const QString settings =
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + u"/Vontaro/Vontaro.conf"_s;
    ASSERT_TRUE(QFile::remove(settings));
    ASSERT_TRUE(special::makeFifo(settings));
    Defaults::reload();
    auto model = makeModel(true);
    EXPECT_EQ(model->viewMode(), u"Albumy"_s);
    EXPECT_FALSE(model->busy());
    model.reset();
    QFile::remove(settings);
    Defaults::reload();
}

// A full disk: the records are not saved, the earlier ones stay whole, and an
// alert says so once, not at every later save that fails the same way.
TEST_F(StateFilesTest, AFullDiskIsToldOnceAndKeepsTheEarlierRecords)
{
    special::SmallDisk disk(1024 * 1024);
    if (!disk.available())
        GTEST_SKIP() << "mounting a small file system needs root";
    useSupportFolder(disk.path() + u"/Support"_s);
    importLibrary();
    const auto before = LibraryStore::load(LibraryStore::defaultFile());
    ASSERT_TRUE(before.has_value());
    ASSERT_EQ(before->size(), 4);
    disk.fill();

    auto model = makeModel(true);
    ASSERT_TRUE(waitUntilIdle(*model));
    copy(u"tagged.aiff"_s, u"C/Three/01 e.aiff"_s);
    importAndSave(*model, {dir.path() + u"/Music/C"_s});
    EXPECT_EQ(model->status(), u"Odczytano utwory: 1"_s);
    ASSERT_TRUE(QTest::qWaitFor([&] { return model->alert().has_value(); }));
    EXPECT_EQ(*model->alert(), libraryNotSaved + u"\nNa dysku zabrakło miejsca."_s);
    EXPECT_EQ(AppLocalizer::translateEnglish(*model->alert()),
              u"The library could not be saved on this computer. The previous save is kept.\nThe disk is full."_s);

    // The same cause again: no second alert.
    model->setAlert(std::nullopt);
    QSignalSpy alerts(model.get(), &TavoModel::alertChanged);
    copy(u"wav24.wav"_s, u"D/Four/01 f.wav"_s);
    importAndSave(*model, {dir.path() + u"/Music/D"_s});
    model.reset(); // every save has ended
    EXPECT_EQ(alerts.count(), 0);

    const auto after = LibraryStore::load(LibraryStore::defaultFile());
    ASSERT_TRUE(after.has_value());
    EXPECT_EQ(after->keys(), before->keys());
}

// A read-only disk under the records, or the records linked to a device node:
// told in the alert, and nothing on the disk is replaced.
TEST_F(StateFilesTest, ARecordsSaveThatCannotBeDoneIsTold)
{
    special::SmallDisk readOnly(64 * 1024, true);
    const QString node = dir.path() + u"/null"_s;
    struct Case {
        const char *name;
        bool available;
        std::function<void()> prepare;
        QString cause;
    };
    const Case cases[] = {
        {"read-only disk", readOnly.available(), [&] { useSupportFolder(readOnly.path()); },
         u"Dysk jest tylko do odczytu."_s},
        {"link to a device node", special::makeNullDevice(node),
         [&] {
             useSupportFolder(dir.path() + u"/Linked"_s);
             QFile::link(node, LibraryStore::defaultFile());
         },
         u"W miejscu pliku jest łącze lub plik specjalny, więc nie został zastąpiony."_s},
    };
    copy(u"tagged.mp3"_s, u"A/One/01 a.mp3"_s);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        if (!c.available) {
            ADD_FAILURE() << "needs root";
            continue;
        }
        c.prepare();
        auto model = makeModel();
        importAndSave(*model, {dir.path() + u"/Music"_s});
        ASSERT_TRUE(QTest::qWaitFor([&] { return model->alert().has_value(); }));
        EXPECT_EQ(*model->alert(), libraryNotSaved + u'\n' + c.cause);
    }
    EXPECT_TRUE(special::isCharDevice(node));
}

// Two files whose names differ only in bytes that are not UTF-8: neither is
// merged into a track at a path that does not exist; both are left out and
// the summary says so.
TEST_F(StateFilesTest, NamesThatAreNotUtf8AreLeftOutAndCounted)
{
    copy(u"tagged.mp3"_s, u"Album/good.mp3"_s);
    const QByteArray folder = QFile::encodeName(dir.path() + u"/Music/Album/"_s);
    for (const QByteArray &name : {QByteArray("bad\xff\xfe.mp3"), QByteArray("bad\xfe\xff.mp3")}) {
        const QByteArray target = folder + name;
        ASSERT_TRUE(QFile::copy(QStringLiteral(VONTARO_TEST_DATA_DIR "/audio/tagged.mp3"), dir.path() + u"/tmp.mp3"_s));
        ASSERT_EQ(::rename(QFile::encodeName(dir.path() + u"/tmp.mp3"_s).constData(), target.constData()), 0);
    }
    auto model = makeModel();
    importAndSave(*model, {dir.path() + u"/Music"_s});
    ASSERT_EQ(model->tracks().size(), 1);
    EXPECT_EQ(model->tracks().constFirst().url, dir.path() + u"/Music/Album/good.mp3"_s);
    EXPECT_EQ(model->status(), u"Odczytano utwory: 1. Pominięto pliki i foldery o nieczytelnych nazwach: 2"_s);
    EXPECT_EQ(AppLocalizer::translateEnglish(model->status()),
              u"Tracks read: 1. Files and folders with unreadable names were skipped: 2"_s);
}

// A name that turns into a FIFO between the listing and the read makes every
// reader fail at once instead of waiting for a writer.
TEST_F(StateFilesTest, AFifoNamedLikeMusicNeverHoldsUpAReader)
{
    for (const QString &name : {u"a.flac"_s, u"b.mp3"_s, u"c.aac"_s, u"d.m4a"_s, u"e.ogg"_s}) {
        SCOPED_TRACE(name.toStdString());
        const QString path = dir.path() + u'/' + name;
        ASSERT_TRUE(special::makeFifo(path));
        const Track track = ImportScan::readFile(path, {});
        EXPECT_EQ(track.url, path);
        EXPECT_EQ(track.info.duration, 0);
        EXPECT_FALSE(adts::read(path).has_value());
        EXPECT_THROW(AudioInfo::readFLAC(path), PosixError);
        MediaAsset asset(path);
        EXPECT_FALSE(asset.metadata().has_value());
    }
}

} // namespace
