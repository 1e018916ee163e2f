#pragma once

// Thin POSIX file calls for the device writes. Every failure throws
// PosixError(errno) (EIO when errno is 0); every descriptor is closed exactly once.

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>
#include <sys/types.h>
#include <vector>

namespace posixfile {

// An owned file descriptor. close() reports its failure; the destructor closes
// a still-open descriptor and ignores the result.
class File
{
public:
    File() = default;
    explicit File(int fd) : m_fd(fd) {}
    File(const File &) = delete;
    File &operator=(const File &) = delete;
    File(File &&other) noexcept : m_fd(other.m_fd) { other.m_fd = -1; }
    File &operator=(File &&other) noexcept;
    ~File();

    int fd() const { return m_fd; }
    bool isOpen() const { return m_fd >= 0; }

    // Reads until `size` bytes or end of file, retrying EINTR; returns the count (0 at EOF).
    qint64 read(char *buffer, qint64 size);
    // Writes all bytes, retrying EINTR and short writes.
    void writeAll(const char *data, qint64 size);
    void sync();
    // syncfs(2): everything written to the file system holding this file
    // reaches the disk, data and names alike. FAT and exFAT write everything
    // back on syncfs but ask the disk to empty its own write cache only on
    // fsync, so there this file is synchronised as well.
    void syncFileSystem();
    // Takes an exclusive advisory lock (flock) without waiting; false when
    // another open file holds one.
    bool tryLock() noexcept;
    // Asks the kernel to start writing a range back now (advisory, never fails), so
    // the final sync of a long copy has little left to wait for.
    void startWriteback(qint64 offset, qint64 length) noexcept;
    // Closes the descriptor; it is released even when close reports an error.
    void close();

private:
    int m_fd = -1;
};

// Closes every open file of the list and throws the first failure once all
// are closed. A FAT file system mounted with "flush" (as desktops mount an
// iPod) sleeps a tenth of a second in the close of every written file; one
// after another, those sleeps outweigh the copying of small files. So when a
// close waits (or `waits` says an earlier one did), the rest are closed
// together on short-lived threads, and `waits` is set for the next call.
void closeTogether(const std::vector<File *> &files, bool *waits = nullptr);

// open(O_WRONLY|O_CREAT|O_EXCL|O_NOFOLLOW|O_CLOEXEC, 0644): never reuses or follows anything.
File createExclusive(const QString &path);
// open(O_RDONLY|O_NOFOLLOW|O_CLOEXEC): a final symbolic link fails with ELOOP.
File openForReading(const QString &path);

// open(O_RDONLY|O_NONBLOCK|O_CLOEXEC), a final link followed, then fstat:
// anything but a regular file fails with EINVAL. A name that turned into a
// FIFO or a device since it was listed never makes the caller wait.
File openRegular(const QString &path);

// The bytes of a regular file (a link to one is followed) of at most `limit`
// bytes; none when it can't be opened or read, is larger or is anything else.
// A FIFO or device node is never read, and opening one never waits.
std::optional<QByteArray> readRegular(const QString &path, qint64 limit = qint64(16) << 20);

// Copies the rest of `input` to the end of `output` inside the kernel where the
// file systems allow it (sendfile), else through a buffer, in steps of at most
// `chunk` bytes; after each step `written(offset, length)` runs. Returns the bytes copied.
qint64 copyData(File &input, File &output, qint64 chunk,
                const std::function<void(qint64, qint64)> &written = {});

// fsync of a folder, so that names created, renamed or removed in it last
// through a power loss or an unplugged disk. A file system that cannot sync
// folders (EINVAL) has nothing more to write.
void syncFolder(const QString &folder);

// rename(2): replaces an existing target in one step.
void renameReplacing(const QString &from, const QString &to);
// renameat2(RENAME_NOREPLACE); where the file system refuses the flag (EINVAL),
// lstat the target (EEXIST when something is there) and rename.
void renameNoReplace(const QString &from, const QString &to);

void unlink(const QString &path);
// unlink ignoring the result, for clean-up paths.
void unlinkQuietly(const QString &path) noexcept;
// mkdir(path, 0777), no intermediate folders.
void makeDirectory(const QString &path);

// Tests force the EINVAL fallback of renameNoReplace.
void setNoReplaceUnsupportedForTesting(bool unsupported);

} // namespace posixfile
