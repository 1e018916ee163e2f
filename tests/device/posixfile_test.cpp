#include "platform/errors.h"
#include "platform/posixfile.h"
#include "support/devicefixture.h"
#include "support/errorcapture.h"

#include <QDir>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <thread>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// Runs each test of the rename group with the kernel's RENAME_NOREPLACE and
// with the fallback used on file systems that refuse the flag.
class RenameNoReplace : public ::testing::TestWithParam<bool>
{
protected:
    void SetUp() override { posixfile::setNoReplaceUnsupportedForTesting(GetParam()); }
    void TearDown() override { posixfile::setNoReplaceUnsupportedForTesting(false); }
    DeviceFixture device;
};

} // namespace

TEST_P(RenameNoReplace, MovesIntoAFreeName)
{
    const QString from = device.writeFile(u"a"_s, "a");
    posixfile::renameNoReplace(from, device.path(u"b"_s));
    EXPECT_FALSE(device.exists(u"a"_s));
    EXPECT_EQ(device.read(u"b"_s), "a");
}

TEST_P(RenameNoReplace, NeverReplacesFilesFoldersOrLinks)
{
    const QString from = device.writeFile(u"a"_s, "new");
    device.writeFile(u"file"_s, "old");
    device.makeFolder(u"emptyFolder"_s);
    device.makeLink(u"dangling"_s, device.path(u"nowhere"_s));
    for (const QString &target : {u"file"_s, u"emptyFolder"_s, u"dangling"_s})
        EXPECT_EQ(posixCode([&] { posixfile::renameNoReplace(from, device.path(target)); }), EEXIST) << qPrintable(target);
    EXPECT_EQ(device.read(u"a"_s), "new");
    EXPECT_EQ(device.read(u"file"_s), "old");

    // A folder onto an empty folder, which plain rename(2) would silently replace.
    const QString folder = device.makeFolder(u"partialFolder"_s);
    device.writeFile(u"partialFolder/inside"_s, "x");
    EXPECT_EQ(posixCode([&] { posixfile::renameNoReplace(folder, device.path(u"emptyFolder"_s)); }), EEXIST);
    EXPECT_TRUE(QDir(device.path(u"emptyFolder"_s)).isEmpty());
}

TEST_P(RenameNoReplace, MissingSourceIsENOENT)
{
    EXPECT_EQ(posixCode([&] { posixfile::renameNoReplace(device.path(u"missing"_s), device.path(u"b"_s)); }), ENOENT);
}

INSTANTIATE_TEST_SUITE_P(KernelAndFallback, RenameNoReplace, ::testing::Bool());

TEST(PosixFile, CreateExclusiveRefusesAnythingExisting)
{
    DeviceFixture device;
    {
        posixfile::File file = posixfile::createExclusive(device.path(u"new"_s));
        file.writeAll("abc", 3);
        file.sync();
        file.close();
        EXPECT_FALSE(file.isOpen());
        file.close(); // a second close is a no-op, never a close of someone else's descriptor
    }
    EXPECT_EQ(device.read(u"new"_s), "abc");
    EXPECT_EQ(posixCode([&] { posixfile::createExclusive(device.path(u"new"_s)); }), EEXIST);
    device.makeLink(u"link"_s, device.path(u"target"_s));
    EXPECT_EQ(posixCode([&] { posixfile::createExclusive(device.path(u"link"_s)); }), EEXIST);
    EXPECT_FALSE(device.exists(u"target"_s));
    EXPECT_EQ(posixCode([&] { posixfile::createExclusive(device.path(u"no/folder"_s)); }), ENOENT);
}

TEST(PosixFile, OpenForReadingDoesNotFollowLinks)
{
    DeviceFixture device;
    const QString file = device.writeFile(u"file"_s, "x");
    device.makeLink(u"link"_s, file);
    EXPECT_NO_THROW(posixfile::openForReading(file));
    EXPECT_EQ(posixCode([&] { posixfile::openForReading(device.path(u"link"_s)); }), ELOOP);
}

TEST(PosixFile, ReadCollectsShortReadsUntilTheSizeOrEnd)
{
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    posixfile::File reader(fds[0]);
    std::thread writer([fd = fds[1]] {
        posixfile::File out(fd);
        for (const char *piece : {"one ", "two ", "three"}) {
            out.writeAll(piece, qint64(strlen(piece)));
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        out.close();
    });
    char buffer[64] = {};
    const qint64 first = reader.read(buffer, 6);
    EXPECT_EQ(first, 6);
    EXPECT_EQ(QByteArray(buffer, 6), "one tw");
    const qint64 rest = reader.read(buffer, sizeof buffer);
    writer.join();
    EXPECT_EQ(QByteArray(buffer, int(rest)), "o three");
    EXPECT_EQ(reader.read(buffer, sizeof buffer), 0);
}

TEST(PosixFile, FailuresCarryErrno)
{
    DeviceFixture device;
    const QString folder = device.makeFolder(u"folder"_s);
    posixfile::File dir = posixfile::openForReading(folder);
    char byte;
    EXPECT_EQ(posixCode([&] { dir.read(&byte, 1); }), EISDIR);
    EXPECT_EQ(posixCode([&] { posixfile::unlink(device.path(u"missing"_s)); }), ENOENT);
    EXPECT_EQ(posixCode([&] { posixfile::makeDirectory(folder); }), EEXIST);
    EXPECT_EQ(PosixError(0).code(), EIO);
}
