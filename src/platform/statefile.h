#pragma once

// The application's own files on this computer (settings, the library's paths
// and records): read without ever waiting on something that is not a plain
// file, and replaced in one step through a temporary file whose every write
// is checked. A failed save leaves the earlier file as it was and is reported
// to whoever listens (the model shows it once per cause).

#include "platform/posixfile.h"

#include <QByteArray>
#include <QString>
#include <exception>
#include <functional>
#include <memory>
#include <optional>

namespace statefile {

struct Contents {
    enum class State {
        absent,   // no such file (or its folder cannot be reached)
        read,     // `bytes` hold the whole file
        unusable, // a FIFO, device, folder, a file over the limit or one that failed to read
    };
    State state = State::absent;
    QByteArray bytes;
};

// Opens `path` with O_RDONLY|O_NONBLOCK|O_CLOEXEC (a link is followed), checks
// with fstat that it is a regular file of at most `limit` bytes and reads at
// most that much. Anything else is unusable and gets a line in the log; opening
// a FIFO or a device never waits and an endless one is never read.
Contents read(const QString &path, qint64 limit);

// The same checks, giving the open file instead of its bytes (to be mapped, say);
// none when absent or unusable (logged as above).
std::optional<posixfile::File> openRegular(const QString &path, qint64 limit, qint64 *size = nullptr);

// A regular file written to a temporary name beside its target and renamed
// over it once complete and synced. The target must be absent, a regular file,
// or a link to a regular file in the same folder (the link's target is then
// replaced and the link kept); anything else is refused before a byte is
// written (TavoError). Every failure throws (PosixError with its errno, or
// TavoError); the temporary file is removed unless committed.
class AtomicFile
{
public:
    explicit AtomicFile(const QString &path);
    AtomicFile(const AtomicFile &) = delete;
    AtomicFile &operator=(const AtomicFile &) = delete;
    ~AtomicFile();

    void write(const char *data, qint64 size);
    void write(const QByteArray &bytes) { write(bytes.constData(), bytes.size()); }
    // fsync, close, rename over the target, fsync of the folder.
    void commit();

private:
    struct Private;
    std::unique_ptr<Private> d;
};

// AtomicFile in one call.
void replace(const QString &path, const QByteArray &bytes);

// Which of the application's files a save was for.
enum class Kind { records, libraryPaths, settings };

// Saves report here, from any thread: a failure with its exception, or
// success (a null exception), which lets the next failure of that kind be
// reported again. Listeners are called on the saving thread, one at a time,
// and never after removeListener has returned.
using Listener = std::function<void(Kind, std::exception_ptr)>;
int addListener(Listener listener);
void removeListener(int id);
void report(Kind kind, std::exception_ptr failure);

// The Polish lines an alert shows for a failed save: what was not saved and why.
QString failureText(Kind kind, std::exception_ptr failure);
// The cause alone, so that equal causes are told apart from new ones.
QString failureCause(std::exception_ptr failure);

} // namespace statefile
