#include "platform/posixfile.h"

#include "platform/errors.h"
#include "platform/paths.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>
#include <algorithm>
#include <chrono>
#include <exception>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

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

void File::syncFileSystem()
{
    while (::syncfs(m_fd) != 0) {
        if (errno != EINTR)
            fail();
    }
    constexpr unsigned long fat = 0x4d44;       // MSDOS_SUPER_MAGIC
    constexpr unsigned long exfat = 0x2011BAB0; // EXFAT_SUPER_MAGIC
    struct statfs st;
    if (::fstatfs(m_fd, &st) == 0 && (static_cast<unsigned long>(st.f_type) == fat
                                      || static_cast<unsigned long>(st.f_type) == exfat))
        sync();
}

bool File::tryLock() noexcept
{
    int result;
    do
        result = ::flock(m_fd, LOCK_EX | LOCK_NB);
    while (result != 0 && errno == EINTR);
    return result == 0;
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

void closeTogether(const std::vector<File *> &files, bool *waits)
{
    // Enough threads for a whole transfer batch at once; each only waits.
    constexpr std::size_t most = 128;
    // A close that takes this long is sleeping (FAT's wait is 100 ms), not
    // merely slowed down by a busy machine.
    constexpr auto slowClose = std::chrono::milliseconds(80);
    std::atomic<std::size_t> next{0};
    std::mutex failureMutex;
    std::exception_ptr failure;
    const auto closeOne = [&](std::size_t i) {
        try {
            files[i]->close();
        } catch (...) {
            std::lock_guard lock(failureMutex);
            if (!failure)
                failure = std::current_exception();
        }
    };
    const auto closeSome = [&] {
        for (std::size_t i; (i = next++) < files.size();)
            closeOne(i);
    };
    if (!waits || !*waits) {
        // One after another while closing costs nothing.
        for (std::size_t i; (i = next++) < files.size();) {
            if (!files[i]->isOpen())
                continue;
            const auto start = std::chrono::steady_clock::now();
            closeOne(i);
            if (std::chrono::steady_clock::now() - start >= slowClose) {
                if (waits)
                    *waits = true;
                break;
            }
        }
    }
    std::size_t open = 0;
    for (std::size_t i = next.load(); i < files.size(); ++i)
        open += files[i]->isOpen() ? 1 : 0;
    std::vector<std::thread> helpers;
    const std::size_t wanted = std::min(open, most);
    for (std::size_t k = 1; k < wanted; ++k) {
        try {
            helpers.emplace_back(closeSome);
        } catch (const std::system_error &) {
            break; // no thread to be had: fewer do the same work
        }
    }
    closeSome();
    for (std::thread &helper : helpers)
        helper.join();
    if (failure)
        std::rethrow_exception(failure);
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

File openRegular(const QString &path)
{
    int fd;
    do
        fd = ::open(paths::encode(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    while (fd < 0 && errno == EINTR);
    if (fd < 0)
        fail();
    File file(fd);
    struct stat st;
    if (::fstat(fd, &st) != 0)
        fail();
    if (!S_ISREG(st.st_mode))
        throw PosixError(EINVAL);
    return file;
}

std::optional<QByteArray> readRegular(const QString &path, qint64 limit)
{
    std::optional<File> opened;
    try {
        opened = openRegular(path);
    } catch (const PosixError &) {
        return std::nullopt;
    }
    File &file = *opened;
    QByteArray bytes;
    try {
        constexpr qint64 chunk = 64 * 1024;
        for (;;) {
            const qsizetype at = bytes.size();
            bytes.resize(at + chunk);
            const qint64 n = file.read(bytes.data() + at, chunk);
            bytes.resize(at + n);
            if (bytes.size() > limit)
                return std::nullopt;
            if (n < chunk)
                break;
        }
    } catch (const PosixError &) {
        return std::nullopt;
    }
    return bytes;
}

qint64 copyData(File &input, File &output, qint64 chunk, const std::function<void(qint64, qint64)> &written)
{
    qint64 done = 0;
    // sendfile moves the pages inside the kernel; where the pair of file
    // systems refuses it, nothing has been copied yet and a buffer takes over.
    for (;;) {
        ssize_t n = ::sendfile(output.fd(), input.fd(), nullptr, size_t(chunk));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (done == 0 && (errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP))
                break;
            fail();
        }
        if (n == 0)
            return done;
        if (written)
            written(done, n);
        done += n;
    }
    std::unique_ptr<char[]> buffer(new char[size_t(chunk)]);
    for (;;) {
        const qint64 n = input.read(buffer.get(), chunk);
        if (n <= 0)
            return done;
        output.writeAll(buffer.get(), n);
        if (written)
            written(done, n);
        done += n;
    }
}

void syncFolder(const QString &folder)
{
    int fd;
    do
        fd = ::open(paths::encode(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    while (fd < 0 && errno == EINTR);
    if (fd < 0)
        fail();
    File directory(fd);
    while (::fsync(fd) != 0) {
        if (errno == EINTR)
            continue;
        if (errno == EINVAL)
            break;
        fail();
    }
    directory.close();
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
