#include "device/device.h"
#include "device/storage.h"
#include "device/transfer.h"
#include "platform/errors.h"
#include "platform/paths.h"
#include "platform/posixfile.h"
#include "support/devicefixture.h"
#include "support/errorcapture.h"
#include "support/qtprinters.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <utility>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

struct FreeSpace {
    explicit FreeSpace(qint64 bytes)
    {
        DeviceCapacity::setProbe([bytes](const QString &) { return VolumeCapacity{bytes, 1'000'000'000}; });
    }
    ~FreeSpace() { DeviceCapacity::setProbe({}); }
};

struct Recorder {
    std::vector<std::pair<int, int>> calls;
    std::function<void(int, int)> callback()
    {
        return [this](int done, int total) { calls.emplace_back(done, total); };
    }
};

QStringList partialFilesBelow(const DeviceFixture &device)
{
    QStringList found;
    for (const QString &entry : device.entriesBelow())
        if (entry.endsWith(u".partial"_s))
            found.append(entry);
    return found;
}

TransferFile job(const QString &source, const QString &artist = u"Artist"_s, const QString &album = u"Album"_s,
                 std::optional<QString> disc = std::nullopt)
{
    return TransferFile{source, artist, album, std::move(disc)};
}

} // namespace

TEST(Transfer, FreeSpaceEdges)
{
    const struct {
        qint64 free;
        qint64 first;
        qint64 second;
        bool refused;
    } cases[] = {
        {1000, 600, 400, true},  // 1,000 is not below 1,000
        {1000, 600, 399, false},
        {1000, 1000, 0, true},
        {1001, 1000, 0, false},
    };
    for (const auto &c : cases) {
        DeviceFixture device;
        const QString a = device.writeFile(device.outside(u"a.flac"_s), DeviceFixture::bytes(c.first, 'a'));
        const QString b = device.writeFile(device.outside(u"b.flac"_s), DeviceFixture::bytes(c.second, 'b'));
        FreeSpace space(c.free);
        const QString message = tavoMessage([&] { Storage::transfer({job(a), job(b)}, device.root()); });
        if (c.refused) {
            EXPECT_EQ(message, u"Za mało wolnego miejsca na cały transfer."_s) << c.first << "+" << c.second;
            EXPECT_FALSE(device.exists(u"Music"_s)); // refused before anything is written
        } else {
            EXPECT_EQ(message, u"(no error)"_s);
            EXPECT_TRUE(device.exists(u"Music/Artist/Album/b.flac"_s));
        }
    }
}

TEST(Transfer, EmptyListNeedsSomeFreeSpaceAndReportsNoProgress)
{
    DeviceFixture device;
    Recorder progress;
    {
        FreeSpace space(10);
        EXPECT_EQ(Storage::transfer({}, device.root(), progress.callback()), TransferResult{});
    }
    EXPECT_TRUE(progress.calls.empty());
    FreeSpace none(0);
    EXPECT_EQ(tavoMessage([&] { Storage::transfer({}, device.root()); }), u"Za mało wolnego miejsca na cały transfer."_s);
}

TEST(Transfer, FilesAlreadyOnTheDeviceNeedNoRoomOnRetry)
{
    DeviceFixture device;
    const QString a = device.writeFile(device.outside(u"a.flac"_s), DeviceFixture::bytes(600, 'a'));
    const QString b = device.writeFile(device.outside(u"b.flac"_s), DeviceFixture::bytes(600, 'b'));
    {
        FreeSpace space(10'000);
        Storage::transfer({job(a)}, device.root());
    }
    // A nearly full device: a.flac is there already, only b.flac needs room.
    FreeSpace space(700);
    const TransferResult result = Storage::transfer({job(a), job(b)}, device.root());
    EXPECT_EQ(result.copied, 1);
    EXPECT_EQ(result.skipped, 1);
}

TEST(Transfer, SameFileTwiceIsCopiedThenSkipped)
{
    DeviceFixture device;
    const QByteArray bytes = DeviceFixture::bytes(3000);
    const QString source = device.writeFile(device.outside(u"in/song.flac"_s), bytes);
    Recorder progress;
    const TransferResult result = Storage::transfer({job(source), job(source)}, device.root(), progress.callback());
    const QString destination = device.path(u"Music/Artist/Album/song.flac"_s);
    EXPECT_EQ(result.copied, 1);
    EXPECT_EQ(result.skipped, 1);
    EXPECT_EQ(result.destinations, QStringList({destination, destination}));
    EXPECT_EQ(device.read(destination), bytes);
    EXPECT_EQ(progress.calls, (std::vector<std::pair<int, int>>{{1, 2}, {2, 2}}));
    EXPECT_EQ(device.entriesBelow(u"Music/Artist/Album"_s), QStringList{u"song.flac"_s});
}

TEST(Transfer, ClashesGetNumberedNamesAndIdenticalNumberedFilesAreSkipped)
{
    DeviceFixture device;
    const QByteArray mine = DeviceFixture::bytes(2000, 'm');
    const QString source = device.writeFile(device.outside(u"song.flac"_s), mine);
    device.writeFile(u"Music/Artist/Album/song.flac"_s, DeviceFixture::bytes(2000, 'x')); // same size, other bytes

    TransferResult result = Storage::transfer({job(source)}, device.root());
    EXPECT_EQ(result.destinations, QStringList{device.path(u"Music/Artist/Album/song (2).flac"_s)});
    EXPECT_EQ(device.read(u"Music/Artist/Album/song (2).flac"_s), mine);

    // The same file again: song.flac differs, song (2).flac is identical, so it is skipped.
    result = Storage::transfer({job(source)}, device.root());
    EXPECT_EQ(result.copied, 0);
    EXPECT_EQ(result.skipped, 1);
    EXPECT_EQ(result.destinations, QStringList{device.path(u"Music/Artist/Album/song (2).flac"_s)});

    // Another file of the same name: song.flac and song (2).flac both differ → song (3).flac.
    const QString other = device.writeFile(device.outside(u"other/song.flac"_s), "other bytes");
    result = Storage::transfer({job(other)}, device.root());
    EXPECT_EQ(result.destinations, QStringList{device.path(u"Music/Artist/Album/song (3).flac"_s)});
    EXPECT_EQ(device.read(u"Music/Artist/Album/song (3).flac"_s), "other bytes");
    EXPECT_EQ(device.entriesBelow(u"Music/Artist/Album"_s),
              QStringList({u"song (2).flac"_s, u"song (3).flac"_s, u"song.flac"_s}));
}

TEST(Transfer, AFolderWithTheFilesNameTakesTheNextNumber)
{
    DeviceFixture device;
    const QString source = device.writeFile(device.outside(u"song.flac"_s), "bytes");
    device.makeFolder(u"Music/Artist/Album/song.flac"_s);
    const TransferResult result = Storage::transfer({job(source)}, device.root());
    EXPECT_EQ(result.destinations, QStringList{device.path(u"Music/Artist/Album/song (2).flac"_s)});
}

TEST(Transfer, FolderNamesAreSafeNames)
{
    DeviceFixture device;
    const QString source = device.writeFile(device.outside(u"01 Hells Bells.flac"_s), "bells");
    const QString second = device.writeFile(device.outside(u"02 x.flac"_s), "x");
    const QString third = device.writeFile(device.outside(u"03 y.flac"_s), "y");
    const TransferResult result = Storage::transfer(
        {job(source, u"AC/DC"_s, u"Back in Black"_s), job(second, u"AC/DC"_s, u"   "_s),
         job(third, u"Pink Floyd"_s, u"The Wall"_s, u"CD2"_s)},
        device.root());
    EXPECT_EQ(result.destinations,
              QStringList({device.path(u"Music/AC-DC/Back in Black/01 Hells Bells.flac"_s),
                           device.path(u"Music/AC-DC/Bez nazwy/02 x.flac"_s),
                           device.path(u"Music/Pink Floyd/The Wall/CD2/03 y.flac"_s)}));
    EXPECT_EQ(device.entriesBelow(u"Music/Pink Floyd"_s),
              QStringList({u"The Wall"_s, u"The Wall/CD2"_s, u"The Wall/CD2/03 y.flac"_s}));
    EXPECT_EQ(device.entriesBelow(u"Music/AC-DC"_s),
              QStringList({u"Back in Black"_s, u"Back in Black/01 Hells Bells.flac"_s, u"Bez nazwy"_s,
                           u"Bez nazwy/02 x.flac"_s}));
}

TEST(Transfer, LongFileNamesKeepTheirExtension)
{
    const auto repeated = [](const QString &piece, int times) {
        QString out;
        for (int i = 0; i < times; ++i)
            out += piece;
        return out;
    };
    DeviceFixture device;
    const struct {
        QString source;
        QString copied;   // a name cut to 160 characters or 255 bytes, extension kept
        QString numbered; // the name after a clash with other bytes
    } cases[] = {
        {repeated(u"a"_s, 200) + u".flac"_s, repeated(u"a"_s, 155) + u".flac"_s,
         repeated(u"a"_s, 160) + u" (2).flac"_s},
        {repeated(u"ż"_s, 60) + repeated(u"c"_s, 130) + u".mp3"_s, repeated(u"ż"_s, 60) + repeated(u"c"_s, 96) + u".mp3"_s,
         repeated(u"ż"_s, 60) + repeated(u"c"_s, 100) + u" (2).mp3"_s},
        {repeated(u"d"_s, 155) + u".flac"_s, repeated(u"d"_s, 155) + u".flac"_s,
         repeated(u"d"_s, 155) + u" (2).flac"_s},
        // Names that fit are kept whole.
        {repeated(u"b"_s, 150) + u".flac"_s, repeated(u"b"_s, 150) + u".flac"_s,
         repeated(u"b"_s, 150) + u" (2).flac"_s},
    };
    int index = 0;
    for (const auto &c : cases) {
        const QString album = u"Album %1"_s.arg(++index);
        const QString first = device.writeFile(device.outside(u"one/"_s + c.source), "first");
        const QString second = device.writeFile(device.outside(u"two/"_s + c.source), "second");
        const TransferResult result = Storage::transfer({job(first, u"A"_s, album), job(second, u"A"_s, album),
                                                         job(first, u"A"_s, album)},
                                                        device.root());
        const QString folder = u"Music/A/"_s + album + u'/';
        EXPECT_EQ(result.destinations,
                  QStringList({device.path(folder + c.copied), device.path(folder + c.numbered),
                               device.path(folder + c.copied)}));
        EXPECT_EQ(result.copied, 2);
        EXPECT_EQ(result.skipped, 1);
        EXPECT_EQ(device.read(folder + c.copied), "first");
        EXPECT_EQ(device.read(folder + c.numbered), "second");
    }
}

TEST(Transfer, FailureInThirdOfFiveJobsKeepsEarlierCopiesAndNoPartialFile)
{
    DeviceFixture device;
    QList<TransferFile> jobs;
    for (int i = 1; i <= 5; ++i) {
        const QString name = u"%1.flac"_s.arg(i);
        const QString source = device.writeFile(device.outside(name), DeviceFixture::bytes(1500 + i, char('a' + i)));
        jobs.append(job(source, u"Artist"_s, u"Album %1"_s.arg(i)));
    }
    device.writeFile(u"Music/Artist/Album 3"_s, "a file where the third album folder must go");
    Recorder progress;
    EXPECT_EQ(tavoMessage([&] { Storage::transfer(jobs, device.root(), progress.callback()); }),
              u"Folder jest zajęty przez plik: Album 3"_s);
    EXPECT_EQ(progress.calls, (std::vector<std::pair<int, int>>{{1, 5}, {2, 5}}));
    EXPECT_TRUE(device.exists(u"Music/Artist/Album 1/1.flac"_s));
    EXPECT_TRUE(device.exists(u"Music/Artist/Album 2/2.flac"_s));
    EXPECT_FALSE(device.exists(u"Music/Artist/Album 4"_s));
    EXPECT_TRUE(partialFilesBelow(device).isEmpty());
}

TEST(Transfer, FailedCopyRemovesItsPartialFile)
{
    DeviceFixture device;
    const QString good = device.writeFile(device.outside(u"good.flac"_s), "good");
    // A folder passes the size sum and the link test, then fails to be read (EISDIR).
    const QString folder = device.makeFolder(device.outside(u"folder.flac"_s));
    Recorder progress;
    EXPECT_THROW(Storage::transfer({job(good), job(folder)}, device.root(), progress.callback()), PosixError);
    EXPECT_EQ(progress.calls.size(), 1u);
    EXPECT_EQ(device.entriesBelow(u"Music/Artist/Album"_s), QStringList{u"good.flac"_s});
}

TEST(Transfer, RefusesLinks)
{
    DeviceFixture device;
    const QString real = device.writeFile(device.outside(u"real.flac"_s), "real");
    const QString linked = device.makeLink(device.outside(u"linked.flac"_s), real);
    EXPECT_EQ(tavoMessage([&] { Storage::transfer({job(linked)}, device.root()); }),
              u"Import dowiązań nie jest obsługiwany."_s);

    device.makeLink(u"Music/Artist/Album/real.flac"_s, real);
    EXPECT_EQ(tavoMessage([&] { Storage::transfer({job(real)}, device.root()); }),
              u"Plik docelowy jest dowiązaniem symbolicznym."_s);

    DeviceFixture linkedFolder;
    linkedFolder.makeLink(u"Music"_s, linkedFolder.makeFolder(linkedFolder.outside(u"elsewhere"_s)));
    EXPECT_EQ(tavoMessage([&] { Storage::transfer({job(real)}, linkedFolder.root()); }),
              u"Ścieżka zawiera dowiązanie: Music"_s);
}

TEST(Transfer, RefusesMissingDeviceAndMissingSource)
{
    DeviceFixture notADevice(u"IPOD"_s, false);
    const QString source = notADevice.writeFile(notADevice.outside(u"a.flac"_s), "a");
    EXPECT_EQ(tavoMessage([&] { Storage::transfer({job(source)}, notADevice.root()); }),
              u"Ten folder nie zawiera katalogu .rockbox."_s);

    DeviceFixture device;
    EXPECT_THROW(Storage::transfer({job(device.outside(u"missing.flac"_s))}, device.root()), PosixError);
}

TEST(Transfer, ProgressOncePerJobAndRealCopies)
{
    DeviceFixture device;
    QList<TransferFile> jobs;
    QList<QByteArray> contents;
    for (int i = 0; i < 4; ++i) {
        contents.append(DeviceFixture::bytes(1048576 + i * 333, char('a' + i)));
        jobs.append(job(device.writeFile(device.outside(u"t%1.flac"_s.arg(i)), contents.last())));
    }
    jobs.append(jobs.first()); // skipped, still reported
    Recorder progress;
    const TransferResult result = Storage::transfer(jobs, device.root(), progress.callback());
    EXPECT_EQ(progress.calls, (std::vector<std::pair<int, int>>{{1, 5}, {2, 5}, {3, 5}, {4, 5}, {5, 5}}));
    EXPECT_EQ(result.copied, 4);
    EXPECT_EQ(result.skipped, 1);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(device.read(result.destinations.at(i)), contents.at(i));
    EXPECT_EQ(Storage::digest(result.destinations.at(0)), Storage::digest(jobs.at(0).source));
}

namespace {

// Makes the device vanish (its ".rockbox" folder moves away) at the n-th look
// at it, counting full inspections and cheap checks alike.
struct VanishAt {
    explicit VanishAt(const DeviceFixture &device, int n)
    {
        DeviceChecks::setObserverForTesting([this, &device, n] {
            if (++seen == n)
                QDir().rename(device.path(u".rockbox"_s), device.path(u".gone"_s));
        });
    }
    ~VanishAt() { DeviceChecks::setObserverForTesting({}); }
    int seen = 0;
};

QString staleName(char fill = 'A')
{
    return u".vontaro-"_s + QString(8, QChar::fromLatin1(fill)) + u"-0000-4000-8000-000000000000.partial"_s;
}

} // namespace

TEST(Transfer, DeviceThatVanishesAtAnyCheckStopsBeforeTheNextWrite)
{
    // Looks at the device in a transfer of two new files: the inspection, the
    // check before the space test, then per job the one before its folders
    // are made, and before each rename of a batch's commit. Files are reported
    // once their batch is on the disk.
    struct Case {
        int vanishAt;
        QStringList files; // what lies below Music afterwards
        int reported;
    };
    const struct {
        int batch;
        std::vector<Case> cases;
    } tables[] = {
        {1, // each file committed on its own
         {{1, {}, 0}, {2, {}, 0}, {3, {}, 0},
          {4, {}, 0}, // between copy and rename: the copy never gets its name
          {5, {u"A/one.flac"_s}, 1}, {6, {u"A/one.flac"_s}, 1},
          {7, {u"A/one.flac"_s, u"B/two.flac"_s}, 2}}}, // never reached
        {0, // both files in one batch
         {{1, {}, 0}, {2, {}, 0}, {3, {}, 0}, {4, {}, 0},
          {5, {}, 0}, // before the first rename
          {6, {u"A/one.flac"_s}, 1}, // before the second: the first is kept and reported
          {7, {u"A/one.flac"_s, u"B/two.flac"_s}, 2}}},
    };
    for (const auto &table : tables) {
        Storage::setTransferBatchForTesting(table.batch);
        for (const Case &c : table.cases) {
            SCOPED_TRACE(QString(u"batch %1, vanishing at %2"_s).arg(table.batch).arg(c.vanishAt).toStdString());
            DeviceFixture device;
            const QString one = device.writeFile(device.outside(u"one.flac"_s), DeviceFixture::bytes(3000, 'o'));
            const QString two = device.writeFile(device.outside(u"two.flac"_s), DeviceFixture::bytes(2000, 't'));
            QString message;
            Recorder progress;
            {
                VanishAt vanish(device, c.vanishAt);
                message = tavoMessage([&] {
                    Storage::transfer({job(one, u"A"_s, u"x"_s), job(two, u"B"_s, u"x"_s)}, device.root(),
                                      progress.callback());
                });
                // A failure still commits the jobs before it, which looks once more.
                if (c.reported == 2)
                    EXPECT_EQ(vanish.seen, 6);
                else
                    EXPECT_GE(vanish.seen, c.vanishAt);
            }
            EXPECT_EQ(message, c.reported == 2 ? u"(no error)"_s : u"Ten folder nie zawiera katalogu .rockbox."_s);
            QStringList files;
            for (const QString &entry : device.entriesBelow(u"Music"_s))
                if (entry.endsWith(u".flac"_s) || entry.endsWith(u".partial"_s))
                    files.append(entry.section(u'/', 0, 0) + u'/' + entry.section(u'/', -1));
            EXPECT_EQ(files, c.files);
            EXPECT_EQ(int(progress.calls.size()), c.reported);
        }
    }
    Storage::setTransferBatchForTesting(0);
}

TEST(Transfer, BatchesReportEveryJobInOrderAndKeepNamesApart)
{
    // Three files per batch: a copy, a skip of a file already there, a clash
    // with a copy still waiting in the batch, across batch boundaries.
    Storage::setTransferBatchForTesting(3);
    DeviceFixture device;
    QList<TransferFile> jobs;
    QStringList sources;
    for (int i = 0; i < 7; ++i) {
        const QString source = device.writeFile(device.outside(u"%1/song.flac"_s.arg(i)), DeviceFixture::bytes(100 + i % 2, char('a' + i % 2)));
        jobs.append(job(source));
        sources.append(source);
    }
    Recorder progress;
    const TransferResult result = Storage::transfer(jobs, device.root(), progress.callback());
    Storage::setTransferBatchForTesting(0);
    // Sources alternate between two contents: two copies, the rest identical to one of them.
    EXPECT_EQ(result.copied, 2);
    EXPECT_EQ(result.skipped, 5);
    const QString first = device.path(u"Music/Artist/Album/song.flac"_s);
    const QString second = device.path(u"Music/Artist/Album/song (2).flac"_s);
    EXPECT_EQ(result.destinations, (QStringList{first, second, first, second, first, second, first}));
    std::vector<std::pair<int, int>> expected;
    for (int i = 1; i <= 7; ++i)
        expected.emplace_back(i, 7);
    EXPECT_EQ(progress.calls, expected);
    EXPECT_TRUE(partialFilesBelow(device).isEmpty());
}

TEST(Transfer, SwappedOrLinkedDeviceIsRefusedBetweenFiles)
{
    // Every file its own batch, so progress comes between the two.
    Storage::setTransferBatchForTesting(1);
    DeviceFixture device;
    const QString one = device.writeFile(device.outside(u"one.flac"_s), "1");
    const QString two = device.writeFile(device.outside(u"two.flac"_s), "2");
    // Another device at the same place: a new ".rockbox" folder.
    const QString swapped = tavoMessage([&] {
        Storage::transfer({job(one), job(two)}, device.root(), [&](int done, int) {
            if (done == 1) {
                QDir().rename(device.path(u".rockbox"_s), device.outside(u"old-rockbox"_s));
                device.makeFolder(u".rockbox"_s);
            }
        });
    });
    EXPECT_EQ(swapped, u"Urządzenie zostało zamienione na inne."_s);
    EXPECT_FALSE(device.exists(u"Music/Artist/Album/two.flac"_s));

    DeviceFixture second;
    const QString three = second.writeFile(second.outside(u"three.flac"_s), "3");
    const QString four = second.writeFile(second.outside(u"four.flac"_s), "4");
    const QString linked = tavoMessage([&] {
        Storage::transfer({job(three), job(four)}, second.root(), [&](int done, int) {
            if (done == 1) {
                QDir().rename(second.path(u".rockbox"_s), second.outside(u"real-rockbox"_s));
                second.makeLink(u".rockbox"_s, second.outside(u"real-rockbox"_s));
            }
        });
    });
    EXPECT_EQ(linked, u"Folder urządzenia nie może być dowiązaniem symbolicznym."_s);
    Storage::setTransferBatchForTesting(0);
}

TEST(Transfer, EmptyFileLeftByAFailedDeviceGetsTheTrackUnderItsOwnName)
{
    // After a device failed right after a copy, FAT keeps the name with no
    // size: the retry puts the track there instead of beside it as "(2)".
    DeviceFixture device;
    const QString source = device.writeFile(device.outside(u"song.flac"_s), DeviceFixture::bytes(4000));
    device.writeFile(u"Music/Artist/Album/song.flac"_s, QByteArray());
    const TransferResult result = Storage::transfer({job(source)}, device.root());
    EXPECT_EQ(result.copied, 1);
    EXPECT_EQ(result.destinations, QStringList{device.path(u"Music/Artist/Album/song.flac"_s)});
    EXPECT_EQ(device.read(u"Music/Artist/Album/song.flac"_s), DeviceFixture::bytes(4000));
    EXPECT_EQ(device.entriesBelow(u"Music/Artist/Album"_s), QStringList{u"song.flac"_s});

    // An empty source and an empty file of its name are the same bytes.
    const QString empty = device.writeFile(device.outside(u"empty.flac"_s), QByteArray());
    device.writeFile(u"Music/Artist/Album/empty.flac"_s, QByteArray());
    EXPECT_EQ(Storage::transfer({job(empty)}, device.root()).skipped, 1);
}

TEST(Transfer, NamesAreWhatFatKeeps)
{
    // FAT drops trailing dots and refuses trailing blanks: the folders and the
    // recorded destination are the names the disk really holds.
    DeviceFixture device;
    const QString source = device.writeFile(device.outside(u"Losing My Religion.flac"_s), "x");
    const QString dots = device.writeFile(device.outside(u"....flac"_s), "y");
    const TransferResult result = Storage::transfer(
        {job(source, u"R.E.M."_s, u"Out of Time."_s, u"Disc 1 "_s), job(dots, u"..."_s, u"x"_s)}, device.root());
    EXPECT_EQ(result.destinations,
              (QStringList{device.path(u"Music/R.E.M/Out of Time/Disc 1/Losing My Religion.flac"_s),
                           device.path(u"Music/Bez nazwy/x/....flac"_s)}));
    for (const QString &path : result.destinations)
        EXPECT_TRUE(QFileInfo::exists(path)) << qPrintable(path);
}

TEST(Transfer, StalePartialFilesOfThisApplicationAreRemovedAndTheirSpaceCounts)
{
    DeviceFixture device;
    const QString folder = u"Music/Artist/Album/"_s;
    device.writeFile(folder + staleName('A'), DeviceFixture::bytes(6000));
    // Not ours, or not a plain file: all stay.
    const QStringList kept{
        folder + staleName('G'),                                    // no hex digits: not our pattern
        folder + u".vontaro-x.partial"_s,
        folder + u"song.partial"_s,
        folder + staleName('C'),                                    // a link with our name
        folder + staleName('D') + u"/inside"_s,                     // a folder with our name
        folder + staleName('E'),                                    // still being written
        u"Music/Other/"_s + staleName('F'),                         // a folder this transfer does not write
    };
    device.writeFile(kept[0], "a");
    device.writeFile(kept[1], "b");
    device.writeFile(kept[2], "c");
    device.makeLink(kept[3], device.path(folder + u"song.partial"_s));
    device.writeFile(kept[4], "d");
    device.writeFile(kept[5], "e");
    device.writeFile(kept[6], "f");
    posixfile::File live = posixfile::openForReading(device.path(kept[5]));
    ASSERT_TRUE(live.tryLock());

    // Free space is what the files on the device leave of 10,000 bytes: the
    // 5,000-byte track fits only once the 6,000-byte leftover is gone.
    DeviceCapacity::setProbe([&](const QString &) {
        qint64 used = 0;
        for (const QString &entry : device.entriesBelow())
            if (paths::isRegularFile(device.path(entry)))
                used += paths::fileSize(device.path(entry)).value_or(0);
        return VolumeCapacity{10'000 - used, 10'000};
    });
    const QString source = device.writeFile(device.outside(u"song.flac"_s), DeviceFixture::bytes(5000));
    const QString message = tavoMessage([&] { Storage::transfer({job(source)}, device.root()); });
    DeviceCapacity::setProbe({});
    EXPECT_EQ(message, u"(no error)"_s);
    EXPECT_FALSE(device.exists(folder + staleName('A')));
    for (const QString &path : kept)
        EXPECT_TRUE(device.exists(path)) << qPrintable(path);
    EXPECT_TRUE(device.exists(folder + u"song.flac"_s));
}
