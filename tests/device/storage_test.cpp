#include "device/storage.h"
#include "platform/errors.h"
#include "platform/sha256.h"
#include "support/devicefixture.h"
#include "support/errorcapture.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <csignal>
#include <gtest/gtest.h>
#include <linux/magic.h>
#include <sys/vfs.h>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

QStringList partialFiles(const QString &folder)
{
    return QDir(folder).entryList({u"*.partial"_s}, QDir::AllEntries | QDir::Hidden | QDir::System);
}

// FAT keeps no Unix modes: every file shows the mount's mode there.
bool keepsUnixModes(const QString &path)
{
    struct statfs fs {};
    return ::statfs(QFile::encodeName(path).constData(), &fs) != 0 || fs.f_type != MSDOS_SUPER_MAGIC;
}

struct stat lstatOf(const QString &path)
{
    struct stat st {};
    ::lstat(QFile::encodeName(path).constData(), &st);
    return st;
}

QString repeated(const QString &piece, int times)
{
    QString out;
    for (int i = 0; i < times; ++i)
        out += piece;
    return out;
}

// Makes writes beyond `bytes` fail with EFBIG, as a full disk would fail them.
struct FileSizeLimit {
    rlimit saved{};
    explicit FileSizeLimit(rlim_t bytes)
    {
        std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &saved);
        rlimit limit = saved;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() { ::setrlimit(RLIMIT_FSIZE, &saved); }
};

// Open descriptors of this process.
int openDescriptors()
{
    return int(QDir(u"/proc/self/fd"_s).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot).size());
}

} // namespace

TEST(SafeName, Table)
{
    const QString twoHundred = repeated(u"abcdefghij"_s, 20);
    const struct {
        QString input;
        QString expected;
    } cases[] = {
        {u"AC/DC"_s, u"AC-DC"_s},
        {u"a//b"_s, u"a--b"_s},
        {u"/x"_s, u"-x"_s},
        {u"x/"_s, u"x-"_s},
        {u"a\\b:c"_s, u"a-b-c"_s},
        {u"line\nbreak\rend"_s, u"line-break-end"_s},
        {u"nul"_s + QChar(u'\0') + u"x"_s, u"nul-x"_s},
        {u"   "_s, u"Bez nazwy"_s},
        {QString(), u"Bez nazwy"_s},
        {u".."_s, u"Bez nazwy"_s},
        {u"."_s, u"Bez nazwy"_s},
        {u" .. "_s, u"Bez nazwy"_s},
        // FAT refuses a name ending in a blank and drops trailing dots, so
        // neither survives: the name kept is the name on the disk.
        {u"..."_s, u"Bez nazwy"_s},
        {u". . ."_s, u"Bez nazwy"_s},
        {u"R.E.M."_s, u"R.E.M"_s},
        {u"Out of Time."_s, u"Out of Time"_s},
        {u"Wait... "_s, u"Wait"_s},
        {u"a.b"_s, u"a.b"_s},
        {u".hidden"_s, u".hidden"_s},
        // A cut at 160 characters that ends in a blank or a dot is trimmed again.
        {repeated(u"a"_s, 159) + u" b"_s, repeated(u"a"_s, 159)},
        {repeated(u"a"_s, 158) + u". b"_s, repeated(u"a"_s, 158)},
        {repeated(u"a"_s, 157) + u" .. tail"_s, repeated(u"a"_s, 157)},
        {u"\u00A0 Back in Black \u3000"_s, u"Back in Black"_s},
        {twoHundred, twoHundred.left(160)},
        {repeated(u"a"_s, 160), repeated(u"a"_s, 160)},
        // Characters a FAT32 device refuses become dashes as well.
        {u"Why? * <Live> | \"Best\""_s, u"Why- - -Live- - -Best-"_s},
        {u"tab\tbell\x07"_s, u"tab-bell-"_s},
        {u"Żółć — Łódź"_s, u"Żółć — Łódź"_s},
    };
    for (const auto &c : cases)
        EXPECT_EQ(safeName(c.input), c.expected) << qPrintable(c.input);
}

TEST(SafeName, LongNamesFitFatAndExt4Limits)
{
    // 160 characters, but each emoji takes 4 UTF-8 bytes and 2 UTF-16 units:
    // 640 bytes would be refused by ext4 (255 bytes) and vfat (255 units).
    const QString emoji = u"\U0001F3B5"_s;
    const QString name = safeName(repeated(emoji, 160));
    EXPECT_EQ(name, repeated(emoji, 63)); // 252 bytes; a 64th would need 256
    EXPECT_LE(name.toUtf8().size(), 255);

    // Two-byte letters: 127 fit in 255 bytes.
    EXPECT_EQ(safeName(repeated(u"ł"_s, 160)), repeated(u"ł"_s, 127));

    // A cut never splits a user-perceived character (family emoji: 18 bytes each).
    const QString family = u"\U0001F468\u200D\U0001F469\u200D\U0001F467"_s;
    EXPECT_EQ(safeName(repeated(family, 20)), repeated(family, 14));

    // The cut name really can be created on disk.
    DeviceFixture device;
    EXPECT_TRUE(QDir().mkdir(device.path(name)));
}

TEST(Storage, PartialFileName)
{
    const QString name = Storage::partialName();
    EXPECT_EQ(name.size(), 53);
    EXPECT_TRUE(QRegularExpression(u"^\\.vontaro-[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\.partial$"_s)
                    .match(name).hasMatch()) << qPrintable(name);
    EXPECT_NE(name, Storage::partialName());
}

TEST(Storage, IsSymbolicLink)
{
    DeviceFixture device;
    const QString file = device.writeFile(u"file"_s, "x");
    EXPECT_FALSE(isSymbolicLink(device.path(u"nothing"_s)));
    EXPECT_FALSE(isSymbolicLink(file));
    EXPECT_FALSE(isSymbolicLink(device.root()));
    EXPECT_TRUE(isSymbolicLink(device.makeLink(u"link"_s, file)));
    EXPECT_TRUE(isSymbolicLink(device.makeLink(u"dangling"_s, device.path(u"gone"_s))));
}

TEST(StorageDirectory, EmptyPathsReturnRootAfterInspection)
{
    DeviceFixture device;
    for (const QString &relative : {QString(), u"/"_s, u"//"_s})
        EXPECT_EQ(Storage::directory(relative, device.root()), device.root());
    DeviceFixture notADevice(u"IPOD"_s, false);
    EXPECT_EQ(tavoMessage([&] { Storage::directory(QString(), notADevice.root()); }),
              u"Ten folder nie zawiera katalogu .rockbox."_s);
}

TEST(StorageDirectory, CreatesLevelsOneByOne)
{
    DeviceFixture device;
    EXPECT_EQ(Storage::directory(u"Music//a/"_s, device.root()), device.path(u"Music/a"_s));
    EXPECT_EQ(device.entriesBelow(u"Music"_s), QStringList{u"a"_s});
    // Existing levels are used as they are.
    device.writeFile(u"Music/a/keep.flac"_s, "k");
    EXPECT_EQ(Storage::directory(u"Music/a/b"_s, device.root()), device.path(u"Music/a/b"_s));
    EXPECT_EQ(device.read(u"Music/a/keep.flac"_s), "k");
}

TEST(StorageDirectory, DotLevelsAreRefusedAfterEarlierLevelsWereMade)
{
    DeviceFixture device;
    EXPECT_EQ(tavoMessage([&] { Storage::directory(u"Music/a/../b"_s, device.root()); }), u"Nieprawidłowa ścieżka."_s);
    EXPECT_TRUE(device.exists(u"Music/a"_s));
    EXPECT_FALSE(device.exists(u"Music/b"_s));
    EXPECT_FALSE(device.exists(u"b"_s));
    EXPECT_EQ(tavoMessage([&] { Storage::directory(u"./x"_s, device.root()); }), u"Nieprawidłowa ścieżka."_s);
    EXPECT_FALSE(device.exists(u"x"_s));
}

TEST(StorageDirectory, LinksAndFilesInTheWay)
{
    DeviceFixture device;
    const QString elsewhere = device.makeFolder(device.outside(u"elsewhere"_s));
    device.makeLink(u"Music"_s, elsewhere);
    EXPECT_EQ(tavoMessage([&] { Storage::directory(u"Music/A"_s, device.root()); }),
              u"Ścieżka zawiera dowiązanie: Music"_s);
    EXPECT_TRUE(QDir(elsewhere).isEmpty()); // nothing was made through the link

    DeviceFixture nested;
    nested.makeFolder(u"Music"_s);
    nested.makeLink(u"Music/Artist"_s, nested.path(u"gone"_s)); // dangling links are links too
    EXPECT_EQ(tavoMessage([&] { Storage::directory(u"Music/Artist/Album"_s, nested.root()); }),
              u"Ścieżka zawiera dowiązanie: Artist"_s);

    DeviceFixture file;
    file.writeFile(u"Music/a"_s, "file");
    EXPECT_EQ(tavoMessage([&] { Storage::directory(u"Music/a/b"_s, file.root()); }),
              u"Folder jest zajęty przez plik: a"_s);
    EXPECT_EQ(file.read(u"Music/a"_s), "file");
}

TEST(StorageWriteBytes, CreatesAndReplacesInOneStep)
{
    ::umask(022);
    DeviceFixture device;
    const QString target = device.path(u"cover.jpeg"_s);
    Storage::writeBytes("first", target);
    EXPECT_EQ(device.read(u"cover.jpeg"_s), "first");
    if (keepsUnixModes(target)) {
        EXPECT_EQ(lstatOf(target).st_mode & 0777, 0644u);
    }
    const ino_t before = lstatOf(target).st_ino;

    Storage::writeBytes("second, longer", target);
    EXPECT_EQ(device.read(u"cover.jpeg"_s), "second, longer");
    EXPECT_NE(lstatOf(target).st_ino, before); // a new file renamed over the old, not rewritten in place
    EXPECT_TRUE(partialFiles(device.root()).isEmpty());

    Storage::writeBytes(QByteArray(), target);
    EXPECT_EQ(lstatOf(target).st_size, 0);
}

TEST(StorageWriteBytes, FailedWriteLeavesOldTargetAndNoPartialFile)
{
    DeviceFixture device;
    const QString target = device.writeFile(u"cover.jpeg"_s, "old bytes");
    {
        FileSizeLimit limit(1000);
        EXPECT_EQ(posixCode([&] { Storage::writeBytes(DeviceFixture::bytes(5000), target); }), EFBIG);
    }
    EXPECT_EQ(device.read(u"cover.jpeg"_s), "old bytes");
    EXPECT_TRUE(partialFiles(device.root()).isEmpty());
}

TEST(StorageWriteBytes, FailedRenameOrOpenLeavesNoPartialFile)
{
    DeviceFixture device;
    device.writeFile(u"folder/inside"_s, "x"); // a non-empty folder can't be replaced by a file
    EXPECT_EQ(posixCode([&] { Storage::writeBytes("data", device.path(u"folder"_s)); }), EISDIR);
    EXPECT_TRUE(partialFiles(device.root()).isEmpty());
    EXPECT_EQ(device.read(u"folder/inside"_s), "x");

    EXPECT_EQ(posixCode([&] { Storage::writeBytes("data", device.path(u"missing/file"_s)); }), ENOENT);
}

TEST(StorageWriteBytes, ReplacesALinkItselfNotWhatItPointsTo)
{
    DeviceFixture device;
    const QString outside = device.writeFile(device.outside(u"outside.txt"_s), "outside");
    const QString link = device.makeLink(u"cover.jpeg"_s, outside);
    Storage::writeBytes("new", link);
    EXPECT_FALSE(isSymbolicLink(link));
    EXPECT_EQ(device.read(u"cover.jpeg"_s), "new");
    EXPECT_EQ(device.read(outside), "outside");
}

TEST(StorageCreateWithBytes, NeverReplaces)
{
    DeviceFixture device;
    const QString target = device.path(u"list.m3u8"_s);
    Storage::createWithBytes("one", target);
    EXPECT_EQ(posixCode([&] { Storage::createWithBytes("two", target); }), EEXIST);
    EXPECT_EQ(device.read(u"list.m3u8"_s), "one");
    EXPECT_TRUE(partialFiles(device.root()).isEmpty());
}

TEST(StorageCopyAudioBytes, CopiesInChunksWithMode0644)
{
    ::umask(022);
    DeviceFixture device;
    const QByteArray bytes = DeviceFixture::bytes(2 * 1048576 + 12345);
    const QString source = device.writeFile(device.outside(u"song.flac"_s), bytes);
    const QString destination = device.path(u"song.flac"_s);
    Storage::copyAudioBytes(source, destination);
    EXPECT_EQ(device.read(destination), bytes);
    if (keepsUnixModes(destination)) {
        EXPECT_EQ(lstatOf(destination).st_mode & 0777, 0644u);
    }

    const QString empty = device.writeFile(device.outside(u"empty.flac"_s), QByteArray());
    Storage::copyAudioBytes(empty, device.path(u"empty.flac"_s));
    EXPECT_TRUE(device.exists(u"empty.flac"_s));
    EXPECT_EQ(lstatOf(device.path(u"empty.flac"_s)).st_size, 0);
}

TEST(StorageCopyAudioBytes, RefusesExistingDestinationsAndLinkedSources)
{
    DeviceFixture device;
    const QString source = device.writeFile(device.outside(u"song.flac"_s), "new bytes");
    const QString existing = device.writeFile(u"song.flac"_s, "old");
    EXPECT_EQ(posixCode([&] { Storage::copyAudioBytes(source, existing); }), EEXIST);
    EXPECT_EQ(device.read(u"song.flac"_s), "old");

    // A dangling link at the destination is not followed to create its target.
    const QString dangling = device.makeLink(u"dangling.flac"_s, device.outside(u"created-through-link"_s));
    EXPECT_EQ(posixCode([&] { Storage::copyAudioBytes(source, dangling); }), EEXIST);
    EXPECT_FALSE(device.exists(device.outside(u"created-through-link"_s)));

    const QString linkedSource = device.makeLink(device.outside(u"link.flac"_s), source);
    EXPECT_EQ(posixCode([&] { Storage::copyAudioBytes(linkedSource, device.path(u"x.flac"_s)); }), ELOOP);
    EXPECT_EQ(posixCode([&] { Storage::copyAudioBytes(device.outside(u"missing"_s), device.path(u"y.flac"_s)); }), ENOENT);
    EXPECT_FALSE(device.exists(u"y.flac"_s)); // the source is opened first
}

TEST(StorageCopyAudioBytes, WriteFailureIsThrown)
{
    DeviceFixture device;
    const QString source = device.writeFile(device.outside(u"song.flac"_s), DeviceFixture::bytes(5000));
    FileSizeLimit limit(1000);
    EXPECT_EQ(posixCode([&] { Storage::copyAudioBytes(source, device.path(u"song.flac"_s)); }), EFBIG);
}

TEST(StorageDigest, RealSha256)
{
    DeviceFixture device;
    const QString empty = device.writeFile(u"empty"_s, QByteArray());
    EXPECT_EQ(Storage::digest(empty).toHex(), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    const QString abc = device.writeFile(u"abc"_s, "abc");
    EXPECT_EQ(Storage::digest(abc).toHex(), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    const QByteArray big = DeviceFixture::bytes(3 * 1048576 + 7);
    EXPECT_EQ(Storage::digest(device.writeFile(u"big"_s, big)), sha256::of(big));
    EXPECT_EQ(Storage::digest(abc).size(), 32);
    EXPECT_EQ(posixCode([&] { Storage::digest(device.path(u"missing"_s)); }), ENOENT);
}

TEST(StorageRejectLinks, FindsLinksAnywhereIncludingHiddenOnes)
{
    DeviceFixture device;
    device.writeFile(u"themes/a.cfg"_s, "x");
    device.writeFile(u"themes/.hidden/deep/b.bmp"_s, "y");
    EXPECT_NO_THROW(Storage::rejectLinks(device.path(u"themes"_s)));
    EXPECT_NO_THROW(Storage::rejectLinks(device.path(u"themes/a.cfg"_s)));
    EXPECT_NO_THROW(Storage::rejectLinks(device.path(u"nothing-here"_s)));

    device.makeLink(u"themes/.hidden/deep/c.bmp"_s, u"/etc/passwd"_s);
    EXPECT_EQ(tavoMessage([&] { Storage::rejectLinks(device.path(u"themes"_s)); }),
              u"Paczka zawiera dowiązanie symboliczne."_s);

    const QString linkedFolder = device.makeLink(u"linked"_s, device.path(u"themes"_s));
    EXPECT_EQ(tavoMessage([&] { Storage::rejectLinks(linkedFolder); }), u"Paczka zawiera dowiązanie symboliczne."_s);
}

TEST(Storage, FailuresLeaveNoDescriptorOpen)
{
    DeviceFixture device;
    const QString source = device.writeFile(device.outside(u"song.flac"_s), DeviceFixture::bytes(5000));
    const QString existing = device.writeFile(u"song.flac"_s, "old");
    const int before = openDescriptors();
    // The source is already open when the destination is refused.
    EXPECT_EQ(posixCode([&] { Storage::copyAudioBytes(source, existing); }), EEXIST);
    {
        FileSizeLimit limit(1000);
        EXPECT_EQ(posixCode([&] { Storage::copyAudioBytes(source, device.path(u"big.flac"_s)); }), EFBIG);
        EXPECT_EQ(posixCode([&] { Storage::writeBytes(DeviceFixture::bytes(5000), existing); }), EFBIG);
    }
    EXPECT_EQ(posixCode([&] { Storage::writeBytes("x", device.path(u"missing/file"_s)); }), ENOENT);
    EXPECT_EQ(posixCode([&] { Storage::digest(device.path(u"missing"_s)); }), ENOENT);
    EXPECT_EQ(posixCode([&] { Storage::digest(device.makeFolder(u"folder"_s)); }), EISDIR);
    Storage::copyAudioBytes(source, device.path(u"copy.flac"_s));
    Storage::writeBytes("new", existing);
    Storage::digest(existing);
    EXPECT_EQ(openDescriptors(), before);
}
