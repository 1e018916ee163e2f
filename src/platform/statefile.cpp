#include "platform/statefile.h"

#include "platform/errors.h"
#include "platform/paths.h"
#include "platform/posixfile.h"

#include <QFile>
#include <QLoggingCategory>
#include <QRandomGenerator>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

Q_LOGGING_CATEGORY(stateFiles, "vontaro.files")

namespace statefile {
namespace {

void logUnusable(const QString &path, const char *why)
{
    qCWarning(stateFiles, "%s is not read: %s", qUtf8Printable(path), why);
}

std::mutex listenerMutex;
// Never destroyed: the settings writer may still report from the static teardown.
std::map<int, Listener> &listeners()
{
    static auto *l = new std::map<int, Listener>;
    return *l;
}

// The real path of an existing file or folder; none when it cannot be resolved.
std::optional<QByteArray> realPath(const QByteArray &path)
{
    char *resolved = ::realpath(path.constData(), nullptr);
    if (!resolved)
        return std::nullopt;
    QByteArray result(resolved);
    ::free(resolved);
    return result;
}

[[noreturn]] void refuse(const QString &path)
{
    qCWarning(stateFiles, "%s is not replaced: it is neither a regular file nor a link to one beside it",
              qUtf8Printable(path));
    throw TavoError(u"W miejscu pliku jest łącze lub plik specjalny, więc nie został zastąpiony."_s);
}

// The file a save replaces: `path` itself when absent or a regular file, the
// target of a link to a regular file in the same folder; anything else is refused.
QString replacedFile(const QString &path, mode_t *mode)
{
    const QByteArray name = paths::encode(path);
    struct stat st;
    *mode = 0;
    if (::lstat(name.constData(), &st) != 0) {
        if (errno == ENOENT)
            return path;
        PosixError::throwErrno();
    }
    if (S_ISREG(st.st_mode)) {
        *mode = st.st_mode & 07777;
        return path;
    }
    if (!S_ISLNK(st.st_mode))
        refuse(path);
    // A link: acceptable only to a regular file in this same folder, which is
    // then replaced while the link stays.
    const std::optional<QByteArray> target = realPath(name);
    const std::optional<QByteArray> folder = realPath(paths::encode(paths::parent(path)));
    if (!target || !folder || ::stat(target->constData(), &st) != 0 || !S_ISREG(st.st_mode))
        refuse(path);
    const qsizetype slash = target->lastIndexOf('/');
    if (slash < 0 || target->left(slash == 0 ? 1 : slash) != *folder)
        refuse(path);
    *mode = st.st_mode & 07777;
    return QFile::decodeName(*target);
}

} // namespace

namespace {

std::optional<posixfile::File> openChecked(const QString &path, qint64 limit, qint64 *size, bool *unusable)
{
    *unusable = false;
    int fd;
    do
        fd = ::open(paths::encode(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        if (errno != ENOENT && errno != ENOTDIR) {
            logUnusable(path, "it cannot be opened");
            *unusable = true;
        }
        return std::nullopt;
    }
    posixfile::File file(fd);
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        logUnusable(path, "it is not a regular file");
        *unusable = true;
        return std::nullopt;
    }
    if (st.st_size > limit) {
        logUnusable(path, "it is larger than such a file can be");
        *unusable = true;
        return std::nullopt;
    }
    if (size)
        *size = qint64(st.st_size);
    return file;
}

} // namespace

std::optional<posixfile::File> openRegular(const QString &path, qint64 limit, qint64 *size)
{
    bool unusable = false;
    return openChecked(path, limit, size, &unusable);
}

Contents read(const QString &path, qint64 limit)
{
    Contents contents;
    bool unusable = false;
    qint64 size = 0;
    std::optional<posixfile::File> opened = openChecked(path, limit, &size, &unusable);
    if (!opened) {
        if (unusable)
            contents.state = Contents::State::unusable;
        return contents;
    }
    posixfile::File &file = *opened;
    // The size may change while reading: read one byte more than allowed to
    // tell a file that grew past the limit from one that fits.
    try {
        QByteArray bytes(qsizetype(size) + 1, Qt::Uninitialized);
        qint64 done = file.read(bytes.data(), bytes.size());
        while (done == bytes.size() && done <= limit) {
            bytes.resize(qsizetype(std::min<qint64>(limit + 1, bytes.size() * 2)));
            done += file.read(bytes.data() + done, bytes.size() - done);
        }
        if (done > limit) {
            logUnusable(path, "it is larger than such a file can be");
            contents.state = Contents::State::unusable;
            return contents;
        }
        bytes.truncate(qsizetype(done));
        contents.bytes = std::move(bytes);
        contents.state = Contents::State::read;
    } catch (const PosixError &) {
        logUnusable(path, "reading it failed");
        contents.state = Contents::State::unusable;
    }
    return contents;
}

struct AtomicFile::Private {
    QString target;
    QString temporary;
    posixfile::File file;
    bool committed = false;
};

AtomicFile::AtomicFile(const QString &path) : d(std::make_unique<Private>())
{
    mode_t mode = 0;
    d->target = replacedFile(path, &mode);
    const QString folder = paths::parent(d->target);
    const QString name = paths::lastComponent(d->target);
    for (int attempt = 0;; ++attempt) {
        d->temporary = folder + u"/."_s + name + u"."_s
                       + QString::number(QRandomGenerator::global()->generate64() & 0xFFFFFFFFFFFFull, 36)
                       + u".tmp"_s;
        try {
            d->file = posixfile::createExclusive(d->temporary);
            break;
        } catch (const PosixError &error) {
            if (error.code() != EEXIST || attempt > 8)
                throw;
        }
    }
    // An existing file keeps its permissions (a settings file the user made private stays so).
    if (mode != 0)
        ::fchmod(d->file.fd(), mode);
}

AtomicFile::~AtomicFile()
{
    if (!d->committed && !d->temporary.isEmpty()) {
        d->file = posixfile::File();
        posixfile::unlinkQuietly(d->temporary);
    }
}

void AtomicFile::write(const char *data, qint64 size)
{
    d->file.writeAll(data, size);
}

void AtomicFile::commit()
{
    d->file.sync();
    d->file.close();
    posixfile::renameReplacing(d->temporary, d->target);
    d->committed = true;
    posixfile::syncFolder(paths::parent(d->target));
}

void replace(const QString &path, const QByteArray &bytes)
{
    AtomicFile file(path);
    file.write(bytes);
    file.commit();
}

int addListener(Listener l)
{
    std::lock_guard lock(listenerMutex);
    static int next = 0;
    listeners().insert({++next, std::move(l)});
    return next;
}

void removeListener(int id)
{
    std::lock_guard lock(listenerMutex);
    listeners().erase(id);
}

void report(Kind kind, std::exception_ptr failure)
{
    // Called under the lock, so that a listener is never called once removed.
    std::lock_guard lock(listenerMutex);
    for (const auto &[id, l] : listeners())
        l(kind, failure);
}

QString failureCause(std::exception_ptr failure)
{
    try {
        if (failure)
            std::rethrow_exception(failure);
    } catch (const PosixError &error) {
        switch (error.code()) {
        case ENOSPC:
        case EDQUOT:
            return u"Na dysku zabrakło miejsca."_s;
        case EACCES:
        case EPERM:
            return u"Brak uprawnień do zapisu w folderze programu."_s;
        case EROFS:
            return u"Dysk jest tylko do odczytu."_s;
        default:
            return u"Błąd zapisu: "_s + error.message();
        }
    } catch (const TavoError &error) {
        return error.message();
    } catch (const std::exception &error) {
        return u"Błąd zapisu: "_s + describe(error);
    } catch (...) {
    }
    return u"Błąd zapisu."_s;
}

QString failureText(Kind kind, std::exception_ptr failure)
{
    const QString what = kind != Kind::settings
                             ? u"Nie udało się zapisać biblioteki na komputerze. Zostaje poprzedni zapis."_s
                             : u"Nie udało się zapisać ustawień. Zostaje poprzedni zapis."_s;
    return what + u"\n"_s + failureCause(failure);
}

} // namespace statefile
