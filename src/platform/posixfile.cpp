#include "platform/posixfile.h"

#include "platform/errors.h"
#include "platform/paths.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace posixfile {
namespace {

std::atomic<bool> noReplaceUnsupported{false};

[[noreturn]] void fail()
{
    PosixError::throwErrno();
}

} // namespace

File &File::operator=(File &&other) noexcept
{
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = other.m_fd;
        other.m_fd = -1;
    }
    return *this;
}

File::~File()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

qint64 File::read(char *buffer, qint64 size)
{
    qint64 done = 0;
    while (done < size) {
        const ssize_t n = ::read(m_fd, buffer + done, size_t(size - done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            fail();
        }
        if (n == 0)
            break;
        done += n;
    }
    return done;
}

void File::writeAll(const char *data, qint64 size)
{
    qint64 done = 0;
    while (done < size) {
        const ssize_t n = ::write(m_fd, data + done, size_t(size - done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            fail();
        }
        if (n == 0) // a write that makes no progress would loop forever
            throw PosixError(EIO);
        done += n;
    }
}

void File::sync()
{
    while (::fsync(m_fd) != 0) {
        if (errno != EINTR)
            fail();
    }
}

void File::startWriteback(qint64 offset, qint64 length) noexcept
{
    ::sync_file_range(m_fd, off64_t(offset), off64_t(length), SYNC_FILE_RANGE_WRITE);
}

void File::close()
{
    const int fd = m_fd;
    m_fd = -1;
    // On Linux the descriptor is gone even when close fails (also on EINTR), so it is never retried.
    if (fd >= 0 && ::close(fd) != 0)
        fail();
}

File createExclusive(const QString &path)
{
    const QByteArray name = paths::encode(path);
    for (;;) {
        const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd >= 0)
            return File(fd);
        if (errno != EINTR)
            fail();
    }
}

File openForReading(const QString &path)
{
    const QByteArray name = paths::encode(path);
    for (;;) {
        const int fd = ::open(name.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        if (fd >= 0)
            return File(fd);
        if (errno != EINTR)
            fail();
    }
}

void renameReplacing(const QString &from, const QString &to)
{
    if (::rename(paths::encode(from).constData(), paths::encode(to).constData()) != 0)
        fail();
}

void renameNoReplace(const QString &from, const QString &to)
{
    const QByteArray source = paths::encode(from);
    const QByteArray target = paths::encode(to);
    if (!noReplaceUnsupported.load()) {
        if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0)
            return;
        if (errno != EINVAL)
            fail();
    }
    // Some file systems (older vfat, network ones) refuse the flag: check, then rename.
    // A racing writer could slip in between, which is the best those systems allow.
    struct stat st;
    if (::lstat(target.constData(), &st) == 0)
        throw PosixError(EEXIST);
    if (errno != ENOENT)
        fail();
    if (::rename(source.constData(), target.constData()) != 0)
        fail();
}

void unlink(const QString &path)
{
    if (::unlink(paths::encode(path).constData()) != 0)
        fail();
}

void unlinkQuietly(const QString &path) noexcept
{
    ::unlink(paths::encode(path).constData());
}

void makeDirectory(const QString &path)
{
    if (::mkdir(paths::encode(path).constData(), 0777) != 0)
        fail();
}

void setNoReplaceUnsupportedForTesting(bool unsupported)
{
    noReplaceUnsupported.store(unsupported);
}

} // namespace posixfile
