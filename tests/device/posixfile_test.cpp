#include "platform/errors.h"
#include "platform/posixfile.h"
#include "support/devicefixture.h"
#include "support/errorcapture.h"

#include <QDir>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
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

TEST(PosixFile, ReadRegularReadsOnlyRegularFilesAndNeverWaits)
{
    DeviceFixture device;
    const QString file = device.writeFile(u"a.cfg"_s, DeviceFixture::bytes(200'000));
    EXPECT_EQ(posixfile::readRegular(file), DeviceFixture::bytes(200'000));
    EXPECT_EQ(posixfile::readRegular(device.writeFile(u"empty"_s, QByteArray())), QByteArray());
    const QString fifo = device.path(u"fifo.cfg"_s);
    ASSERT_EQ(::mkfifo(fifo.toUtf8().constData(), 0644), 0);
    EXPECT_EQ(posixfile::readRegular(fifo), std::nullopt); // returns at once: nobody writes to it
    EXPECT_EQ(posixfile::readRegular(device.root()), std::nullopt);
    EXPECT_EQ(posixfile::readRegular(device.path(u"missing"_s)), std::nullopt);
    EXPECT_EQ(posixfile::readRegular(device.makeLink(u"link.cfg"_s, file)), DeviceFixture::bytes(200'000));
}

TEST(PosixFile, CopyDataCopiesTheRestInStepsAndReportsEach)
{
    DeviceFixture device;
    for (const qsizetype size : {qsizetype(0), qsizetype(1), qsizetype(4096), qsizetype(2'500'001)}) {
        SCOPED_TRACE(size);
        const QString source = device.writeFile(u"source"_s, DeviceFixture::bytes(size));
        const QString target = device.path(u"target"_s);
        ::unlink(target.toUtf8().constData());
        posixfile::File input = posixfile::openForReading(source);
        posixfile::File output = posixfile::createExclusive(target);
        qint64 reported = 0;
        int steps = 0;
        const qint64 copied = posixfile::copyData(input, output, 1 << 20, [&](qint64 offset, qint64 length) {
            EXPECT_EQ(offset, reported);
            EXPECT_LE(length, 1 << 20);
            reported += length;
            ++steps;
        });
        output.close();
        EXPECT_EQ(copied, size);
        EXPECT_EQ(reported, size);
        EXPECT_EQ(steps, (size + (1 << 20) - 1) / (1 << 20));
        EXPECT_EQ(device.read(u"target"_s), DeviceFixture::bytes(size));
    }
}

TEST(PosixFile, SyncFolderAndLocks)
{
    DeviceFixture device;
    EXPECT_EQ(posixCode([&] { posixfile::syncFolder(device.root()); }), 0);
    EXPECT_EQ(posixCode([&] { posixfile::syncFolder(device.path(u"missing"_s)); }), ENOENT);
    EXPECT_EQ(posixCode([&] { posixfile::syncFolder(device.writeFile(u"file"_s, "x")); }), ENOTDIR);

    // An advisory lock is held by one open file at a time and ends with it.
    const QString path = device.writeFile(u"locked"_s, "x");
    posixfile::File first = posixfile::openForReading(path);
    posixfile::File second = posixfile::openForReading(path);
    EXPECT_TRUE(first.tryLock());
    EXPECT_FALSE(second.tryLock());
    first.close();
    EXPECT_TRUE(second.tryLock());
}

TEST(PosixFile, CloseTogetherClosesEveryFileAndReportsTheFirstFailureAfterwards)
{
    DeviceFixture device;
    for (bool waits : {false, true}) {
        SCOPED_TRACE(waits);
        std::vector<posixfile::File> files;
        for (int i = 0; i < 40; ++i)
            files.push_back(posixfile::openForReading(device.writeFile(u"f%1-%2"_s.arg(waits).arg(i), "x")));
        files[3].close(); // already closed: passed over
        std::vector<int> descriptors;
        std::vector<posixfile::File *> list;
        for (posixfile::File &file : files) {
            descriptors.push_back(file.fd());
            list.push_back(&file);
        }
        bool flag = waits;
        EXPECT_EQ(posixCode([&] { posixfile::closeTogether(list, &flag); }), 0);
        // Closing takes no time here, so nothing is learnt; an earlier wait is kept.
        EXPECT_EQ(flag, waits);
        for (std::size_t i = 0; i < files.size(); ++i) {
            EXPECT_FALSE(files[i].isOpen());
            if (descriptors[i] >= 0) {
                EXPECT_EQ(::fcntl(descriptors[i], F_GETFD), -1) << i;
            }
        }
    }

    // A descriptor someone else closed fails; the others are closed all the same.
    posixfile::File first = posixfile::openForReading(device.writeFile(u"a"_s, "x"));
    posixfile::File broken = posixfile::openForReading(device.writeFile(u"b"_s, "x"));
    posixfile::File last = posixfile::openForReading(device.writeFile(u"c"_s, "x"));
    const int lastDescriptor = last.fd();
    ::close(broken.fd());
    bool flag = true;
    EXPECT_EQ(posixCode([&] { posixfile::closeTogether({&first, &broken, &last}, &flag); }), EBADF);
    EXPECT_FALSE(last.isOpen());
    EXPECT_EQ(::fcntl(lastDescriptor, F_GETFD), -1);
}
