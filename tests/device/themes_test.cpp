#include "device/device.h"
#include "device/themes.h"
#include "platform/errors.h"
#include "platform/paths.h"
#include "support/zipwriter.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// Copies a read-only corpus tree into a writable one.
void copyTree(const QString &from, const QString &to)
{
    QDir().mkpath(to);
    QDirIterator it(from, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString target = to + path.mid(from.size());
        if (it.fileInfo().isDir())
            QDir().mkpath(target);
        else
            writeFile(target, readFile(path));
    }
}

// Runs a call on a thread of its own whose root powers over file modes are
// dropped (capabilities are per thread on Linux), so that as root, too, a file
// of mode 000 can't be read and a folder of mode 555 can't be emptied, as for
// any other user. Without root it simply runs the call.
template<typename F>
void withoutModeOverrides(F &&call)
{
    std::thread worker([&] {
        __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
        __user_cap_data_struct data[2]{};
        if (::syscall(SYS_capget, &header, data) == 0) {
            for (const int cap : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER})
                data[cap / 32].effective &= ~(1u << (cap % 32));
            ASSERT_EQ(::syscall(SYS_capset, &header, data), 0);
        }
        call();
    });
    worker.join();
}

QStringList names(const QList<Theme> &themes)
{
    QStringList out;
    for (const Theme &t : themes)
        out.append(paths::lastComponent(t.url));
    return out;
}

class Install : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // A private temporary folder, so the test can see that the working
        // folder never outlives the installation.
        ASSERT_TRUE(QDir().mkpath(dir.filePath(u"tmp"_s)));
        oldTmp = qgetenv("TMPDIR");
        qputenv("TMPDIR", dir.filePath(u"tmp"_s).toUtf8());
        root = dir.filePath(u"ipod"_s);
        QDir().mkpath(root + u"/.rockbox/themes"_s);
        writeFile(root + u"/.rockbox/config.cfg"_s, "volume: -20\n");
        backupFolder = dir.filePath(u"backup"_s);
        zip = dir.filePath(u"theme.zip"_s);
    }
    void TearDown() override
    {
        EXPECT_TRUE(QDir(dir.filePath(u"tmp"_s)).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot))
            << "working folder left behind";
        DeviceCapacity::setProbe({});
        qputenv("TMPDIR", oldTmp);
    }

    int install(const ZipWriter &package) { return Storage::installTheme(package.write(zip), root, backupFolder); }

    QString refusal(const ZipWriter &package)
    {
        try {
            install(package);
        } catch (const TavoError &error) {
            return error.message();
        }
        return u"<no error>"_s;
    }

    // The number of themes installed, or the message of the failure.
    QString tavoOrCount(const ZipWriter &package)
    {
        try {
            return QString::number(install(package));
        } catch (const std::exception &error) {
            return QString::fromUtf8(error.what());
        }
    }

    QString device(const QString &relative) const { return root + u"/.rockbox/"_s + relative; }

    QTemporaryDir dir;
    QByteArray oldTmp;
    QString root;
    QString backupFolder;
    QString zip;
};

} // namespace

TEST(Themes, ListedInFinderOrder)
{
    QTemporaryDir dir;
    const QString folder = dir.path() + u"/.rockbox/themes/"_s;
    for (const QString &name : {u"B.cfg"_s, u"a.CFG"_s, u"a10.cfg"_s, u"a9.cfg"_s, u"theme.txt"_s, u".cfg"_s})
        writeFile(folder + name, "x");
    QDir().mkpath(folder + u"folder.cfg"_s);
    ASSERT_EQ(::symlink((folder + u"B.cfg"_s).toUtf8().constData(), (folder + u"link.cfg"_s).toUtf8().constData()), 0);
    EXPECT_EQ(names(Storage::themes(dir.path())), (QStringList{u"a.CFG"_s, u"a9.cfg"_s, u"a10.cfg"_s, u"B.cfg"_s}));
    EXPECT_EQ(Storage::themes(dir.path()).first().url, folder + u"a.CFG"_s);
}

TEST(Themes, MissingOrLinkedFolderGivesNothing)
{
    QTemporaryDir dir;
    EXPECT_TRUE(Storage::themes(dir.path()).isEmpty());
    QDir().mkpath(dir.path() + u"/elsewhere"_s);
    writeFile(dir.path() + u"/elsewhere/a.cfg"_s, "x");
    QDir().mkpath(dir.path() + u"/.rockbox"_s);
    ASSERT_EQ(::symlink((dir.path() + u"/elsewhere"_s).toUtf8().constData(),
                        (dir.path() + u"/.rockbox/themes"_s).toUtf8().constData()), 0);
    EXPECT_TRUE(Storage::themes(dir.path()).isEmpty());
}

TEST(Themes, RealDeviceFolders)
{
    const QString corpus = QStringLiteral(VONTARO_TEST_DATA_DIR "/corpus/rockbox-device/");
    EXPECT_EQ(names(Storage::themes(corpus + u"ipodvideo-budm-rockb0x"_s)),
              (QStringList{u"cabbiev2.cfg"_s, u"iClassic.cfg"_s, u"rockbox_default_icons.cfg"_s, u"rockbox_failsafe.cfg"_s}));
    EXPECT_EQ(names(Storage::themes(corpus + u"erosqnative-SoraBee"_s)),
              (QStringList{u"ipodmod3blkFixed.cfg"_s, u"retroTapeFixed.cfg"_s}));
}

TEST_F(Install, RealPackagesOntoARealDevice)
{
    const QString corpus = QStringLiteral(VONTARO_TEST_DATA_DIR "/corpus/");
    struct Case {
        QString package;
        QString cfg;
        QString sample; // one more file the package brings
    } cases[] = {
        {u"OptimalInfo_iPodVideo5G.zip"_s, u"OptimalInfo.cfg"_s, u"fonts/20-Profont-basil.fnt"_s},
        {u"sprocket.zip"_s, u"sprocket.cfg"_s, u"wps/sprocket/hdd-activity-wide.bmp"_s},
    };
    for (const Case &c : cases) {
        QTemporaryDir work;
        const QString ipod = work.filePath(u"ipod"_s);
        copyTree(corpus + u"rockbox-device/ipodvideo-budm-rockb0x"_s, ipod);
        const QString backup = work.filePath(u"backup"_s);
        EXPECT_EQ(Storage::installTheme(corpus + u"rockbox-themes/"_s + c.package, ipod, backup), 1);
        EXPECT_TRUE(names(Storage::themes(ipod)).contains(c.cfg));
        EXPECT_TRUE(paths::isRegularFile(ipod + u"/.rockbox/"_s + c.sample)) << c.sample.toStdString();
        EXPECT_TRUE(paths::isRegularFile(backup + u"/themes/cabbiev2.cfg"_s));
        EXPECT_EQ(Storage::themes(ipod).size(), 5);
    }
}

TEST_F(Install, CopiesOnlyTheThemeFoldersAndCountsThemes)
{
    ZipWriter package;
    package.folder(".rockbox/").folder(".rockbox/themes/")
        .file(".rockbox/themes/Night.cfg", "wps: /.rockbox/wps/night.wps\n")
        .file(".rockbox/themes/Day.cfg", "wps: -\n")
        .file(".rockbox/themes/.hidden", "h")
        .file(".rockbox/wps/night/backdrop_wps.bmp", "BM")
        .file("README.txt", "not installed");
    EXPECT_EQ(install(package), 2);
    EXPECT_EQ(readFile(device(u"themes/Night.cfg"_s)), "wps: /.rockbox/wps/night.wps\n");
    EXPECT_EQ(readFile(device(u"themes/.hidden"_s)), "h");
    EXPECT_EQ(readFile(device(u"wps/night/backdrop_wps.bmp"_s)), "BM");
    EXPECT_FALSE(paths::exists(root + u"/README.txt"_s));
    EXPECT_EQ(readFile(backupFolder + u"/config.cfg"_s), "volume: -20\n");
    EXPECT_EQ(QFileInfo(device(u"themes/Night.cfg"_s)).permissions() & QFileDevice::WriteOwner, QFileDevice::WriteOwner);
}

TEST_F(Install, Refusals)
{
    struct Case {
        const char *what;
        ZipWriter package;
        QString message;
    } cases[] = {
        {"no .rockbox", ZipWriter().file("themes/a.cfg"), u"ZIP musi zawierać folder .rockbox (paczka motywu Rockbox)."_s},
        {"no theme file", ZipWriter().file(".rockbox/wps/a.wps"), u"Paczka nie zawiera motywu .cfg w .rockbox/themes."_s},
        {"settings at the top", ZipWriter().file(".rockbox/themes/a.cfg").file(".rockbox/config.cfg"),
         u"Paczka zawiera pliki poza katalogami motywów: config.cfg"_s},
        {"info file at the top", ZipWriter().file(".rockbox/themes/a.cfg").file(".rockbox/rockbox-info.txt"),
         u"Paczka zawiera pliki poza katalogami motywów: rockbox-info.txt"_s},
        {"hidden file at the top", ZipWriter().file(".rockbox/themes/a.cfg").file(".rockbox/.DS_Store"),
         u"Paczka zawiera pliki poza katalogami motywów: .DS_Store"_s},
        {"other folder", ZipWriter().file(".rockbox/themes/a.cfg").file(".rockbox/codecs/x.codec"),
         u"Paczka zawiera pliki poza katalogami motywów: codecs"_s},
        {"file named like a theme folder", ZipWriter().file(".rockbox/themes/a.cfg").file(".rockbox/wps"),
         u"Paczka zawiera pliki poza katalogami motywów: wps"_s},
        {"link entry", ZipWriter().file(".rockbox/themes/a.cfg").link(".rockbox/wps/x", "/etc/passwd"),
         u"Paczka zawiera dowiązanie lub plik specjalny."_s},
        {"encrypted entry", ZipWriter().add({".rockbox/themes/a.cfg", "x", 0x0801}),
         u"Nieprawidłowa lub niebezpieczna paczka ZIP."_s},
        {"unsafe name", ZipWriter().file(".rockbox/themes/a.cfg").file(".rockbox/../../x"),
         u"Paczka ZIP zawiera niebezpieczną ścieżkę."_s},
    };
    for (Case &c : cases) {
        EXPECT_EQ(refusal(c.package), c.message) << c.what;
        // Refused before anything was backed up or written.
        EXPECT_FALSE(paths::exists(backupFolder)) << c.what;
        EXPECT_TRUE(Storage::themes(root).isEmpty()) << c.what;
    }
}

TEST_F(Install, DeflatedEntriesUnpackAsUsual)
{
    ZipWriter::Entry entry;
    entry.name = ".rockbox/themes/a.cfg";
    entry.deflated = ZipWriter::zeros(70000, 70000);
    ZipWriter package;
    package.add(entry);
    EXPECT_EQ(install(package), 1);
    EXPECT_EQ(readFile(device(u"themes/a.cfg"_s)), QByteArray(70000, '\0'));
}

TEST_F(Install, PackageThatUnpacksToMoreThan100MBIsRefusedWhateverItsHeadersSay)
{
    // The headers claim a few bytes; the deflate data says one byte over
    // 100 MiB. The unzip tool writes what the data says, so the real size is
    // what has to be held to the limit, and before anything lands on a disk.
    const auto refusedFor = [&](ZipWriter::Entry::Deflated payload) {
        ZipWriter::Entry entry;
        entry.name = ".rockbox/themes/a.cfg";
        entry.deflated = payload;
        ZipWriter package;
        package.add(entry);
        return refusal(package);
    };
    EXPECT_EQ(refusedFor(ZipWriter::zeros(Storage::zipSizeLimit + 1, 10)), u"Rozpakowany motyw przekracza 100 MB."_s);
    EXPECT_FALSE(paths::exists(backupFolder));
    EXPECT_TRUE(Storage::themes(root).isEmpty());
    EXPECT_FALSE(paths::exists(device(u"themes/a.cfg"_s)));
}

TEST_F(Install, PackageModesNeitherHideFilesNorLockTheWorkingFolder)
{
    // Unix modes from the package are restored by the unzip tool: a file of
    // mode 000 in a read-only folder would be unreadable, and the folder not
    // removable, for anyone but root.
    ZipWriter package;
    ZipWriter::Entry folder;
    folder.name = ".rockbox/themes/";
    folder.mode = 040555;
    ZipWriter::Entry locked;
    locked.name = ".rockbox/themes/a.cfg";
    locked.data = "locked";
    locked.mode = 0100000;
    package.add(folder).add(locked);
    withoutModeOverrides([&] {
        EXPECT_EQ(tavoOrCount(package), u"1"_s);
    });
    EXPECT_EQ(readFile(device(u"themes/a.cfg"_s)), "locked");
}

TEST_F(Install, RefusesAPlaceThatIsNoDevice)
{
    EXPECT_THROW(Storage::installTheme(ZipWriter().file(".rockbox/themes/a.cfg").write(zip), dir.filePath(u"tmp"_s),
                                       backupFolder),
                 TavoError);
}

TEST_F(Install, FailedWriteRestoresWhatWasWritten)
{
    // Writes go in code-point order of the package paths: backdrops/new.bmp,
    // themes/a.cfg, then themes/b.cfg, whose target is a folder on the device.
    writeFile(device(u"themes/a.cfg"_s), "old a");
    writeFile(device(u"themes/b.cfg/keep"_s), "k");
    ZipWriter package;
    package.file(".rockbox/themes/a.cfg", "new a").file(".rockbox/themes/b.cfg", "new b")
        .file(".rockbox/backdrops/new.bmp", "BM");
    const QDateTime old(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC);
    {
        QFile a(device(u"themes/a.cfg"_s));
        ASSERT_TRUE(a.open(QIODevice::ReadWrite));
        ASSERT_TRUE(a.setFileTime(old, QFileDevice::FileModificationTime));
    }
    try {
        install(package);
        FAIL() << "no error";
    } catch (const PosixError &) {
    }
    // a.cfg was replaced and then written back from the backup: a new file
    // with the old bytes.
    EXPECT_NE(QFileInfo(device(u"themes/a.cfg"_s)).lastModified(), old);
    EXPECT_EQ(readFile(device(u"themes/a.cfg"_s)), "old a");
    EXPECT_FALSE(paths::exists(device(u"backdrops/new.bmp"_s)));
    EXPECT_TRUE(paths::isDirectory(device(u"backdrops"_s))); // folders made on the way stay
    EXPECT_EQ(readFile(device(u"themes/b.cfg/keep"_s)), "k");
    EXPECT_EQ(readFile(backupFolder + u"/themes/a.cfg"_s), "old a");
}

TEST_F(Install, TargetTurnedIntoALinkIsRefused)
{
    // The device's settings are backed up before any write, and the backup
    // refuses links; a link that appears after it is caught at the target.
    writeFile(dir.filePath(u"outside.cfg"_s), "outside");
    const QString target = device(u"themes/a.cfg"_s);
    bool planted = false;
    DeviceCapacity::setProbe([&](const QString &) {
        if (!planted && paths::exists(backupFolder)) {
            planted = ::symlink(dir.filePath(u"outside.cfg"_s).toUtf8().constData(), target.toUtf8().constData()) == 0;
        }
        return VolumeCapacity{1'000'000'000, 2'000'000'000};
    });
    EXPECT_EQ(refusal(ZipWriter().file(".rockbox/themes/a.cfg", "new")), u"Docelowy zasób jest dowiązaniem."_s);
    EXPECT_TRUE(planted);
    EXPECT_EQ(readFile(dir.filePath(u"outside.cfg"_s)), "outside");
}

TEST_F(Install, LinkOnTheDeviceStopsTheBackupBeforeAnyWrite)
{
    writeFile(dir.filePath(u"outside.cfg"_s), "outside");
    ASSERT_EQ(::symlink(dir.filePath(u"outside.cfg"_s).toUtf8().constData(),
                        device(u"themes/a.cfg"_s).toUtf8().constData()), 0);
    EXPECT_EQ(refusal(ZipWriter().file(".rockbox/themes/a.cfg", "new")), u"Paczka zawiera dowiązanie symboliczne."_s);
    EXPECT_EQ(readFile(dir.filePath(u"outside.cfg"_s)), "outside");
}

TEST_F(Install, FailedWriteRestoresTheFileTheNameResolvedToEvenWithoutItsBackup)
{
    // On a case-insensitive disk the package's "themes/a.cfg" may replace a file
    // the backup holds under another spelling; the rollback must not depend on
    // finding it there. Here the backup's copy is gone before any write.
    writeFile(device(u"themes/a.cfg"_s), "old a");
    writeFile(device(u"themes/b.cfg/keep"_s), "k");
    DeviceChecks::setObserverForTesting([&] { QFile::remove(backupFolder + u"/themes/a.cfg"_s); });
    ZipWriter package;
    package.file(".rockbox/themes/a.cfg", "new a").file(".rockbox/themes/b.cfg", "new b");
    EXPECT_THROW(install(package), PosixError);
    DeviceChecks::setObserverForTesting({});
    EXPECT_EQ(readFile(device(u"themes/a.cfg"_s)), "old a");
    EXPECT_FALSE(paths::exists(backupFolder + u"/themes/a.cfg"_s));
}

TEST_F(Install, StalePartialFilesInTheThemeFoldersAreRemoved)
{
    const QString stale = u".vontaro-0A1B2C3D-0000-4000-8000-00000000000F.partial"_s;
    writeFile(device(u"themes/"_s + stale), "left behind");
    writeFile(device(u"fonts/"_s + stale), "a folder the package does not write");
    writeFile(device(u"themes/keep.partial"_s), "not ours");
    EXPECT_EQ(install(ZipWriter().file(".rockbox/themes/a.cfg", "new")), 1);
    EXPECT_FALSE(paths::exists(device(u"themes/"_s + stale)));
    EXPECT_TRUE(paths::exists(device(u"fonts/"_s + stale)));
    EXPECT_TRUE(paths::exists(device(u"themes/keep.partial"_s)));
}
