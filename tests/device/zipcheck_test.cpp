#include "device/zipcheck.h"
#include "platform/errors.h"
#include "platform/process.h"
#include "support/zipwriter.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <cerrno>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const QString invalid = u"Nieprawidłowa lub niebezpieczna paczka ZIP."_s;
const QString special = u"Paczka zawiera dowiązanie lub plik specjalny."_s;
const QString unsafePath = u"Paczka ZIP zawiera niebezpieczną ścieżkę."_s;
const QString tooLarge = u"Rozpakowany motyw przekracza 100 MB."_s;
const QString countRefused = u"Paczka jest pusta lub zawiera zbyt wiele plików."_s;

// The message of the check on an archive in memory; empty when it passes.
QString verdict(const QByteArray &archive)
{
    try {
        Storage::inspectZipData(archive);
        return {};
    } catch (const TavoError &error) {
        return error.message();
    }
}

QString listingVerdict(const QString &listing)
{
    try {
        Storage::validateZipListing(listing);
        return {};
    } catch (const TavoError &error) {
        return error.message();
    }
}

ZipWriter theme()
{
    ZipWriter zip;
    zip.folder(".rockbox/").folder(".rockbox/themes/").file(".rockbox/themes/a.cfg", "wps: -\n");
    return zip;
}

} // namespace

TEST(ZipCheck, WellFormedThemePackagePasses)
{
    EXPECT_EQ(verdict(theme().build()), QString());
}

TEST(ZipCheck, ArchiveComment)
{
    ZipWriter withComment = theme();
    withComment.comment = QByteArray(100, 'c');
    EXPECT_EQ(verdict(withComment.build()), QString());

    ZipWriter pastEnd = theme();
    pastEnd.comment = QByteArray(100, 'c');
    pastEnd.declaredCommentLength = 101;
    EXPECT_EQ(verdict(pastEnd.build()), invalid);

    ZipWriter shortOfEnd = theme();
    shortOfEnd.comment = QByteArray(100, 'c');
    shortOfEnd.declaredCommentLength = 99;
    EXPECT_EQ(verdict(shortOfEnd.build()), invalid);
}

TEST(ZipCheck, EndRecordSignatureInsideTheCommentIsPassedOver)
{
    // A fake end record inside the comment whose own comment length does not
    // reach the end is skipped; the real one further down is used.
    ZipWriter zip = theme();
    zip.comment = QByteArray("PK\x05\x06", 4) + QByteArray(30, '\0');
    EXPECT_EQ(verdict(zip.build()), QString());
}

TEST(ZipCheck, EntryCountLimits)
{
    EXPECT_EQ(verdict(ZipWriter().build()), invalid); // no entries at all

    ZipWriter many;
    for (int i = 0; i < 5000; ++i)
        many.file("f" + QByteArray::number(i), QByteArray());
    EXPECT_EQ(verdict(many.build()), QString());

    ZipWriter claimsMore = many;
    claimsMore.declaredCount = 5001;
    EXPECT_EQ(verdict(claimsMore.build()), invalid);

    ZipWriter claimsFewer = theme();
    claimsFewer.declaredCount = 2; // the walk would stop short of the end record
    EXPECT_EQ(verdict(claimsFewer.build()), invalid);
}

TEST(ZipCheck, EntryFlagsAndModes)
{
    struct Case {
        const char *what;
        quint16 flags;
        std::optional<quint32> mode;
        std::optional<quint32> external;
        QString expected;
    } cases[] = {
        {"encrypted", 0x0801, 0100644, {}, invalid},
        {"symbolic link", 0x0800, 0120777, {}, special},
        {"fifo", 0x0800, 010644, {}, special},
        {"block device", 0x0800, 060644, {}, special},
        {"directory", 0x0800, 040755, {}, QString()},
        {"regular file", 0x0800, 0100600, {}, QString()},
        {"no unix mode", 0x0800, {}, 0u, QString()},
        {"ms-dos attributes only", 0x0000, {}, 0x20u, QString()},
    };
    for (const Case &c : cases) {
        ZipWriter zip = theme();
        ZipWriter::Entry entry;
        entry.name = ".rockbox/themes/b.cfg";
        entry.data = "x";
        entry.flags = c.flags;
        if (c.mode)
            entry.mode = *c.mode;
        entry.externalAttributes = c.external;
        zip.add(entry);
        EXPECT_EQ(verdict(zip.build()), c.expected) << c.what;
    }
}

TEST(ZipCheck, NamesMustBeUniqueRegardlessOfCase)
{
    ZipWriter zip;
    zip.file("Themes/a.cfg").file("themes/A.CFG");
    EXPECT_EQ(verdict(zip.build()), invalid);

    ZipWriter composed;
    composed.file("themes/\xC3\xA9.cfg").file("themes/e\xCC\x81.cfg"); // é precomposed and decomposed
    EXPECT_EQ(verdict(composed.build()), invalid);
}

TEST(ZipCheck, UnsafeAndInvalidNames)
{
    struct Case {
        QByteArray name;
        QString expected;
    } cases[] = {
        {"../x", unsafePath},
        {"/etc/x", unsafePath},
        {"themes\\a.cfg", unsafePath},
        {".rockbox/themes/../../x", unsafePath},
        {"a/..", unsafePath},
        {"a\rb", unsafePath},
        {QByteArray("a\0b", 3), unsafePath},
        {"a\nb", invalid},
        {"bad\xFF\xFEutf8", invalid},
        {"a..b/c...d", QString()}, // dots inside a name are harmless
        {"./x", QString()},
    };
    for (const Case &c : cases) {
        ZipWriter zip = theme();
        zip.file(c.name);
        EXPECT_EQ(verdict(zip.build()), c.expected) << c.name.toStdString();
    }
    ZipWriter empty = theme();
    empty.file("");
    EXPECT_EQ(verdict(empty.build()), invalid);
}

TEST(ZipCheck, DeclaredUncompressedSizesAreLimitedTo100MB)
{
    // Only the central directory is read, so declared sizes need no data.
    auto withSizes = [](quint32 a, quint32 b) {
        ZipWriter zip;
        ZipWriter::Entry first;
        first.name = "a";
        first.declaredSize = a;
        ZipWriter::Entry second;
        second.name = "b";
        second.declaredSize = b;
        zip.add(first).add(second);
        return zip.build();
    };
    EXPECT_EQ(verdict(withSizes(52428800, 52428800)), QString());
    EXPECT_EQ(verdict(withSizes(52428800, 52428801)), tooLarge);
    EXPECT_EQ(verdict(withSizes(0xFFFFFFFF, 0xFFFFFFFF)), tooLarge); // ZIP64 markers
}

TEST(ZipCheck, LocalHeaderMustMatchTheCentralOne)
{
    ZipWriter zip = theme();
    ZipWriter::Entry entry;
    entry.name = ".rockbox/themes/b.cfg";
    entry.localName = ".rockbox/themes/c.cfg";
    zip.add(entry);
    EXPECT_EQ(verdict(zip.build()), invalid);

    ZipWriter longer = theme();
    entry.localName = ".rockbox/themes/b.cfgx";
    longer.add(entry);
    EXPECT_EQ(verdict(longer.build()), invalid);
}

TEST(ZipCheck, ShortOrGarbageInput)
{
    EXPECT_EQ(verdict(QByteArray()), invalid);
    EXPECT_EQ(verdict(QByteArray(21, '\0')), invalid);
    EXPECT_EQ(verdict(QByteArray("PK\x05\x06", 4) + QByteArray(18, '\0')), invalid); // zero entries
    QByteArray garbage;
    for (int i = 0; i < 4096; ++i)
        garbage.append(char((i * 7919 + 13) % 251));
    EXPECT_EQ(verdict(garbage), invalid);
}

TEST(ZipCheck, EveryTruncationAndCorruptionIsRefusedSafely)
{
    // Sizes and offsets come from the archive; none may send a read outside it
    // (the sanitizer build would stop on one). Every prefix and every byte set
    // to 0xFF or 0x00 must give a clean verdict.
    const QByteArray good = theme().build();
    for (qsizetype length = 0; length < good.size(); ++length)
        EXPECT_EQ(verdict(good.left(length)), invalid) << length;
    for (qsizetype i = 0; i < good.size(); ++i) {
        for (const char value : {'\xFF', '\0'}) {
            QByteArray bad = good;
            bad[i] = value;
            const QString result = verdict(bad);
            EXPECT_TRUE(result.isEmpty() || result == invalid || result == special || result == tooLarge
                        || result == unsafePath)
                << i << ' ' << result.toStdString();
        }
    }
}

TEST(ZipCheck, ReadsFromFiles)
{
    QTemporaryDir dir;
    const QString path = theme().write(dir.filePath(u"t.zip"_s));
    EXPECT_NO_THROW(Storage::inspectZip(path));

    try {
        Storage::inspectZip(dir.filePath(u"missing.zip"_s));
        FAIL() << "no error";
    } catch (const PosixError &error) {
        EXPECT_EQ(error.code(), ENOENT);
    }

    // An archive of 100 MiB or more is refused without being read whole (sparse file).
    const QString huge = dir.filePath(u"huge.zip"_s);
    QFile file(huge);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_TRUE(file.resize(Storage::zipSizeLimit));
    file.close();
    try {
        Storage::inspectZip(huge);
        FAIL() << "no error";
    } catch (const TavoError &error) {
        EXPECT_EQ(error.message(), invalid);
    }
}

TEST(ZipCheck, RealThemePackagesPassBothChecks)
{
    const QString folder = QStringLiteral(VONTARO_TEST_DATA_DIR "/corpus/rockbox-themes/");
    for (const QString &name : {u"OptimalInfo_iPodVideo5G.zip"_s, u"sprocket.zip"_s}) {
        const QString path = folder + name;
        EXPECT_NO_THROW(Storage::inspectZip(path)) << name.toStdString();
        EXPECT_NO_THROW(Storage::validateZipListing(Process::run(u"/usr/bin/unzip"_s, {u"-Z1"_s, path})));
    }
}

TEST(ZipCheck, ToolListingOfOurOwnArchiveMatchesItsNames)
{
    QTemporaryDir dir;
    ZipWriter zip = theme();
    zip.file(".rockbox/fonts/24 iLike.fnt").file(".rockbox/wps/\xC5\xBC\xC3\xB3\xC5\x82w.wps");
    const QString path = zip.write(dir.filePath(u"t.zip"_s));
    EXPECT_EQ(Process::run(u"/usr/bin/unzip"_s, {u"-Z1"_s, path}),
              u".rockbox/\n.rockbox/themes/\n.rockbox/themes/a.cfg\n.rockbox/fonts/24 iLike.fnt\n"
              ".rockbox/wps/żółw.wps\n"_s);
}

TEST(ZipListing, Cases)
{
    struct Case {
        QString listing;
        QString expected;
    } cases[] = {
        {u"a\nb/c\n"_s, QString()},
        {u"\n\na\n\n"_s, QString()},
        {QString(), countRefused},
        {u"\n\n"_s, countRefused},
        {u"ok\n../x\n"_s, unsafePath},
        {u"/etc/x"_s, unsafePath},
        {u"a\\b"_s, unsafePath},
        {u"a/../b"_s, unsafePath},
        {u"a/b/.."_s, unsafePath},
        {u"a\r\nb"_s, unsafePath},
        {u"a"_s + QChar(0) + u"b"_s, unsafePath},
        {u"a..b"_s, QString()},
    };
    for (const Case &c : cases)
        EXPECT_EQ(listingVerdict(c.listing), c.expected) << c.listing.toStdString();

    QStringList names;
    for (int i = 0; i < 5000; ++i)
        names.append(u"f"_s + QString::number(i));
    EXPECT_EQ(listingVerdict(names.join(u'\n')), QString());
    names.append(u"one-more"_s);
    EXPECT_EQ(listingVerdict(names.join(u'\n')), countRefused);
}
