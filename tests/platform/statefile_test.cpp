#include "platform/errors.h"
#include "platform/statefile.h"
#include "support/qtprinters.h"
#include "support/specialfiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

QByteArray contentsOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

// Everything in a folder, hidden names included: a failed save leaves no temporary file.
QStringList namesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

using State = statefile::Contents::State;

} // namespace

// A FIFO or an endless device in the file's place is reported unusable at once;
// a regular file, also behind a link, is read whole up to the limit.
TEST(StateFile, ReadsOnlyRegularFilesUpToTheLimit)
{
    QTemporaryDir dir;
    const QString regular = dir.filePath(u"regular"_s);
    writeFile(regular, "0123456789");
    ASSERT_TRUE(special::makeFifo(dir.filePath(u"fifo"_s)));
    ASSERT_TRUE(special::makeEndless(dir.filePath(u"endless"_s)));
    ASSERT_TRUE(QFile::link(regular, dir.filePath(u"link"_s)));
    ASSERT_TRUE(QDir(dir.path()).mkdir(u"folder"_s));
    writeFile(dir.filePath(u"empty"_s), QByteArray());

    struct Case {
        const char *name;
        qint64 limit;
        State state;
        QByteArray bytes;
    };
    const Case cases[] = {
        {"regular", 100, State::read, "0123456789"},
        {"regular", 10, State::read, "0123456789"},
        {"regular", 9, State::unusable, {}},
        {"link", 100, State::read, "0123456789"},
        {"empty", 100, State::read, {}},
        {"missing", 100, State::absent, {}},
        {"fifo", 100, State::unusable, {}},
        {"endless", qint64(1) << 40, State::unusable, {}},
        {"folder", 100, State::unusable, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const statefile::Contents contents = statefile::read(dir.filePath(QString::fromLatin1(c.name)), c.limit);
        EXPECT_EQ(contents.state, c.state);
        EXPECT_EQ(contents.bytes, c.bytes);
    }
    EXPECT_FALSE(statefile::openRegular(dir.filePath(u"fifo"_s), 100).has_value());
    EXPECT_TRUE(special::isFifo(dir.filePath(u"fifo"_s)));
}

TEST(StateFile, ReplacesARegularFileOrItsLinkBesideIt)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(u"Library.paths"_s);
    statefile::replace(file, "first");
    EXPECT_EQ(contentsOf(file), "first");
    ASSERT_TRUE(QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner));
    statefile::replace(file, "second");
    EXPECT_EQ(contentsOf(file), "second");
    struct stat st;
    ASSERT_EQ(::stat(QFile::encodeName(file).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u) << "an existing file keeps its permissions";

    // A link to a file in the same folder: the file is replaced, the link stays.
    const QString link = dir.filePath(u"Vontaro.conf"_s);
    ASSERT_TRUE(QFile::link(file, link));
    statefile::replace(link, "third");
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(contentsOf(file), "third");
    EXPECT_EQ(namesIn(dir.path()), (QStringList{u"Library.paths"_s, u"Vontaro.conf"_s}));
}

// A save never follows a link out of its folder or to anything but a regular
// file, and never replaces a FIFO or device node standing in the file's place.
TEST(StateFile, RefusesLinksAndSpecialFilesInTheTargetsPlace)
{
    QTemporaryDir dir;
    QTemporaryDir elsewhere;
    const QString outside = elsewhere.filePath(u"outside"_s);
    writeFile(outside, "outside");
    ASSERT_TRUE(special::makeFifo(dir.filePath(u"fifo"_s)));
    ASSERT_TRUE(QFile::link(dir.filePath(u"fifo"_s), dir.filePath(u"to-fifo"_s)));
    ASSERT_TRUE(QFile::link(outside, dir.filePath(u"to-outside"_s)));
    ASSERT_TRUE(QFile::link(dir.filePath(u"nothing"_s), dir.filePath(u"dangling"_s)));
    ASSERT_TRUE(special::makeEndless(dir.filePath(u"to-zero"_s)));
    QStringList targets{u"fifo"_s, u"to-fifo"_s, u"to-outside"_s, u"dangling"_s, u"to-zero"_s};
    // A private null device behind a link, as one silences a program's saves.
    const bool root = special::makeNullDevice(dir.filePath(u"null"_s));
    if (root) {
        ASSERT_TRUE(QFile::link(dir.filePath(u"null"_s), dir.filePath(u"to-null"_s)));
        targets += {u"null"_s, u"to-null"_s};
    }
    const QStringList before = namesIn(dir.path());
    for (const QString &target : targets) {
        SCOPED_TRACE(target.toStdString());
        EXPECT_THROW(statefile::replace(dir.filePath(target), "saved"), TavoError);
    }
    EXPECT_EQ(namesIn(dir.path()), before) << "nothing created, nothing replaced";
    EXPECT_TRUE(special::isFifo(dir.filePath(u"fifo"_s)));
    EXPECT_EQ(contentsOf(outside), "outside");
    if (root)
        EXPECT_TRUE(special::isCharDevice(dir.filePath(u"null"_s)));
    else
        GTEST_SKIP() << "device nodes need root";
}

// On a full disk the save fails with ENOSPC, the earlier file stays whole and
// no temporary file is left behind.
TEST(StateFile, AFullDiskKeepsTheEarlierFile)
{
    special::SmallDisk disk(256 * 1024);
    if (!disk.available())
        GTEST_SKIP() << "mounting a small file system needs root";
    const QString file = disk.path() + u"/Library.records"_s;
    statefile::replace(file, QByteArray(64 * 1024, 'a'));
    disk.fill();
    const QStringList before = namesIn(disk.path());
    try {
        statefile::replace(file, QByteArray(128 * 1024, 'b'));
        FAIL() << "a save that does not fit succeeded";
    } catch (const PosixError &error) {
        EXPECT_EQ(error.code(), ENOSPC);
        EXPECT_EQ(statefile::failureCause(std::make_exception_ptr(error)), u"Na dysku zabrakło miejsca."_s);
    }
    EXPECT_EQ(contentsOf(file), QByteArray(64 * 1024, 'a'));
    EXPECT_EQ(namesIn(disk.path()), before);
}

TEST(StateFile, AReadOnlyDiskIsToldAsSuch)
{
    special::SmallDisk disk(64 * 1024, true);
    if (!disk.available())
        GTEST_SKIP() << "mounting a small file system needs root";
    try {
        statefile::replace(disk.path() + u"/Vontaro.conf"_s, "x");
        FAIL() << "a save to a read-only disk succeeded";
    } catch (const PosixError &error) {
        EXPECT_EQ(error.code(), EROFS);
    }
}

TEST(StateFile, FailureTextsSayWhatAndWhy)
{
    struct Case {
        statefile::Kind kind;
        std::exception_ptr failure;
        QString text;
    };
    const Case cases[] = {
        {statefile::Kind::records, std::make_exception_ptr(PosixError(ENOSPC)),
         u"Nie udało się zapisać biblioteki na komputerze. Zostaje poprzedni zapis.\nNa dysku zabrakło miejsca."_s},
        {statefile::Kind::libraryPaths, std::make_exception_ptr(PosixError(EACCES)),
         u"Nie udało się zapisać biblioteki na komputerze. Zostaje poprzedni zapis.\n"
         u"Brak uprawnień do zapisu w folderze programu."_s},
        {statefile::Kind::settings, std::make_exception_ptr(PosixError(EROFS)),
         u"Nie udało się zapisać ustawień. Zostaje poprzedni zapis.\nDysk jest tylko do odczytu."_s},
        {statefile::Kind::settings, std::make_exception_ptr(TavoError(u"Powód."_s)),
         u"Nie udało się zapisać ustawień. Zostaje poprzedni zapis.\nPowód."_s},
    };
    for (const Case &c : cases)
        EXPECT_EQ(statefile::failureText(c.kind, c.failure), c.text);
}
