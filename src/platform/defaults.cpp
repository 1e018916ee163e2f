#include "platform/defaults.h"

#include "platform/errors.h"
#include "platform/paths.h"
#include "platform/sha256.h"
#include "platform/statefile.h"

#include <QCoreApplication>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>
#include <cerrno>
#include <unistd.h>
#include <condition_variable>
#include <mutex>
#include <thread>

using namespace Qt::StringLiterals;

Q_LOGGING_CATEGORY(settingsLog, "vontaro.settings")

namespace Defaults {
namespace {

// The library's paths (tens of thousands) are kept in a file of their own, so
// that a change of any small setting rewrites a few kilobytes rather than the
// whole library, and a damaged settings file cannot shorten the library.
const QString libraryPathsKey = u"libraryPaths"_s;
constexpr char pathsMagic[] = "VONTARO-PATHS\n";
constexpr qsizetype digestSize = 32;
constexpr qint64 largestSettings = 64 << 20;
constexpr qint64 largestPaths = qint64(1) << 30;

QString folder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + u"/Vontaro"_s;
}

// Where QSettings keeps the native user settings of "Vontaro"/"Vontaro".
QString settingsFile()
{
    return folder() + u"/Vontaro.conf"_s;
}

QString pathsFile()
{
    return folder() + u"/Library.paths"_s;
}

// QSettings treats "/" as a group separator and "\" specially: keep every key flat.
QString storedKey(const QString &key)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(key, QByteArray(), "/\\"));
}

QString callerKey(const QString &stored)
{
    return QUrl::fromPercentEncoding(stored.toLatin1());
}

// QSettings reads and writes its files itself, waiting on a FIFO and following
// links; it is only ever given a private copy. The real file is read with the
// checks of statefile::read and replaced through statefile::AtomicFile.
QString scratchFile(const char *name);

QMap<QString, QVariant> parseSettings(const QByteArray &bytes)
{
    QMap<QString, QVariant> values;
    const QString scratch = scratchFile("read.conf");
    if (scratch.isEmpty())
        return values;
    {
        QFile copy(scratch);
        if (!copy.open(QIODevice::WriteOnly | QIODevice::Truncate) || copy.write(bytes) != bytes.size()
            || !copy.flush())
            return values;
    }
    {
        QSettings file(scratch, QSettings::IniFormat);
        for (const QString &key : file.allKeys())
            values.insert(callerKey(key), file.value(key));
    }
    QFile::remove(scratch);
    return values;
}

QByteArray formatSettings(const QMap<QString, QVariant> &values)
{
    const QString scratch = scratchFile("write.conf");
    if (scratch.isEmpty())
        throw TavoError(u"Brak miejsca na pliki tymczasowe."_s);
    QFile::remove(scratch);
    QSettings::Status status;
    {
        QSettings file(scratch, QSettings::IniFormat);
        for (auto it = values.begin(); it != values.end(); ++it)
            file.setValue(storedKey(it.key()), it.value());
        file.sync();
        status = file.status();
    }
    const statefile::Contents written = statefile::read(scratch, largestSettings);
    QFile::remove(scratch);
    if (status != QSettings::NoError || written.state == statefile::Contents::State::unusable)
        throw TavoError(u"Nie udało się przygotować pliku ustawień."_s);
    return written.bytes;
}

QByteArray formatPaths(const QStringList &paths)
{
    QByteArray payload;
    {
        QDataStream out(&payload, QIODevice::WriteOnly);
        out.setVersion(QDataStream::Qt_6_4);
        out << paths;
    }
    return QByteArray(pathsMagic) + payload + sha256::of(payload);
}

// The stored paths; none when the file is cut short, changed or not ours.
std::optional<QStringList> parsePaths(const QByteArray &bytes)
{
    const qsizetype head = qsizetype(sizeof pathsMagic - 1);
    if (bytes.size() < head + digestSize || !bytes.startsWith(pathsMagic))
        return std::nullopt;
    const QByteArray payload = bytes.mid(head, bytes.size() - head - digestSize);
    if (sha256::of(payload) != bytes.right(digestSize))
        return std::nullopt;
    QDataStream in(payload);
    in.setVersion(QDataStream::Qt_6_4);
    QStringList paths;
    in >> paths;
    if (in.status() != QDataStream::Ok || !in.atEnd())
        return std::nullopt;
    return paths;
}

struct Store {
    std::mutex mutex;
    bool loaded = false;
    QMap<QString, QVariant> values; // keyed by the caller's key
    // The paths are in their own file (read from it, or written there since);
    // until then a value read from the settings file stays there too.
    bool pathsInOwnFile = false;
    // The settings file was there but could not be read (not a regular file,
    // no permission, far too large).
    bool settingsUnreadable = false;

    // What the writer thread has still to write.
    std::condition_variable idle;
    bool settingsDirty = false;
    bool pathsDirty = false;
    bool writing = false;
    bool writerDone = false; // the thread has ended its loop (it may still be joined)
    bool postRoutineAdded = false;
    std::thread thread;
    // Outlives the writer thread, which the destructor joins first.
    QTemporaryDir scratch;

    ~Store();
};

Store &store()
{
    static Store s;
    return s;
}

QString scratchFile(const char *name)
{
    const QTemporaryDir &dir = store().scratch;
    return dir.isValid() ? dir.path() + u'/' + QLatin1StringView(name) : QString();
}

void writeSnapshot(Store &s, std::unique_lock<std::mutex> &lock)
{
    const bool paths = std::exchange(s.pathsDirty, false);
    const bool settings = std::exchange(s.settingsDirty, false);
    const QMap<QString, QVariant> values = s.values; // shared, not copied
    const bool pathsInOwnFile = s.pathsInOwnFile;
    const bool settingsUnreadable = s.settingsUnreadable;
    s.writing = true;
    lock.unlock();

    bool pathsWritten = false;
    if (paths) {
        try {
            const auto list = values.constFind(libraryPathsKey);
            QDir().mkpath(folder());
            if (list == values.constEnd()) {
                // Nothing stored: no file, rather than an empty list that hides an old value.
                if (::unlink(paths::encode(pathsFile()).constData()) != 0 && errno != ENOENT)
                    PosixError::throwErrno();
            } else {
                statefile::replace(pathsFile(), formatPaths(list->toStringList()));
            }
            pathsWritten = true;
            statefile::report(statefile::Kind::libraryPaths, nullptr);
        } catch (...) {
            statefile::report(statefile::Kind::libraryPaths, std::current_exception());
        }
    }
    // A value taken over from the settings file leaves it only once it is safe in its own.
    const bool dropOldPaths = pathsWritten && !pathsInOwnFile;
    if (settings || dropOldPaths) {
        try {
            QMap<QString, QVariant> small = values;
            if (pathsInOwnFile || pathsWritten)
                small.remove(libraryPathsKey);
            QDir().mkpath(folder());
            statefile::AtomicFile file(settingsFile());
            // A settings file that could not be read is never replaced by
            // what little is known without it.
            if (settingsUnreadable)
                throw TavoError(u"Pliku ustawień nie dało się odczytać, więc nie został zastąpiony."_s);
            file.write(formatSettings(small));
            file.commit();
            statefile::report(statefile::Kind::settings, nullptr);
        } catch (...) {
            statefile::report(statefile::Kind::settings, std::current_exception());
        }
    }

    lock.lock();
    if (pathsWritten)
        s.pathsInOwnFile = true;
    s.writing = false;
    s.idle.notify_all();
}

// Runs while there is something to write, then ends: a thread kept for the
// life of the process would end only in the static teardown, after the
// libraries it used (OpenSSL's per-thread state) have been torn down.
void writerLoop(Store &s)
{
    std::unique_lock lock(s.mutex);
    while (s.settingsDirty || s.pathsDirty)
        writeSnapshot(s, lock);
    s.writerDone = true;
}

Store::~Store()
{
    if (thread.joinable())
        thread.join();
}

// Writes reach the files on a thread of their own, in order and coalesced:
// the in-memory copy is the truth for readers; the files catch up.
void markDirtyLocked(Store &s, const QString &key)
{
    if (key == libraryPathsKey)
        s.pathsDirty = true;
    else
        s.settingsDirty = true;
    if (s.thread.joinable() && !s.writerDone)
        return; // the running writer takes this up before it ends
    // An ended writer no longer needs the lock; joining it under the lock is safe.
    if (s.thread.joinable())
        s.thread.join();
    s.writerDone = false;
    s.thread = std::thread([&s] { writerLoop(s); });
    if (!s.postRoutineAdded && QCoreApplication::instance()) {
        // Everything assigned reaches the file before the application's
        // objects go away, not in the static teardown after them.
        qAddPostRoutine(&Defaults::flush);
        s.postRoutineAdded = true;
    }
}

void loadLocked(Store &s)
{
    if (s.loaded)
        return;
    s.loaded = true;
    s.values.clear();
    s.pathsInOwnFile = false;
    const statefile::Contents settings = statefile::read(settingsFile(), largestSettings);
    if (settings.state == statefile::Contents::State::read)
        s.values = parseSettings(settings.bytes);
    s.settingsUnreadable = settings.state == statefile::Contents::State::unusable;
    const statefile::Contents paths = statefile::read(pathsFile(), largestPaths);
    if (paths.state == statefile::Contents::State::read) {
        if (const std::optional<QStringList> list = parsePaths(paths.bytes)) {
            s.values.insert(libraryPathsKey, *list);
            s.pathsInOwnFile = true;
            return;
        }
        qCWarning(settingsLog, "%s is damaged and not used", qUtf8Printable(pathsFile()));
    }
    // Kept by an earlier version in the settings file: moved to a file of its own.
    if (s.values.contains(libraryPathsKey))
        markDirtyLocked(s, libraryPathsKey);
}

std::optional<QVariant> get(const QString &key)
{
    Store &s = store();
    std::lock_guard lock(s.mutex);
    loadLocked(s);
    auto it = s.values.constFind(key);
    if (it == s.values.constEnd())
        return std::nullopt;
    return *it;
}

void put(const QString &key, const QVariant &value)
{
    Store &s = store();
    std::lock_guard lock(s.mutex);
    loadLocked(s);
    s.values.insert(key, value);
    markDirtyLocked(s, key);
}

} // namespace

std::optional<QString> string(const QString &key)
{
    auto v = get(key);
    if (!v || !v->canConvert<QString>() || v->typeId() == QMetaType::QStringList)
        return std::nullopt;
    return v->toString();
}

std::optional<qint64> integer(const QString &key)
{
    auto v = get(key);
    if (!v)
        return std::nullopt;
    bool ok = false;
    const qint64 n = v->toLongLong(&ok);
    return ok ? std::optional<qint64>(n) : std::nullopt;
}

std::optional<double> number(const QString &key)
{
    auto v = get(key);
    if (!v)
        return std::nullopt;
    bool ok = false;
    const double n = v->toDouble(&ok);
    return ok ? std::optional<double>(n) : std::nullopt;
}

std::optional<bool> boolean(const QString &key)
{
    auto v = get(key);
    if (!v)
        return std::nullopt;
    const QString t = v->toString();
    if (t == u"true"_s || t == u"1"_s)
        return true;
    if (t == u"false"_s || t == u"0"_s)
        return false;
    return std::nullopt;
}

std::optional<QStringList> stringList(const QString &key)
{
    auto v = get(key);
    if (!v)
        return std::nullopt;
    if (v->typeId() == QMetaType::QStringList || v->typeId() == QMetaType::QVariantList)
        return v->toStringList();
    // QSettings gives a one-element list back as a plain string.
    if (v->typeId() == QMetaType::QString)
        return QStringList{v->toString()};
    return std::nullopt;
}

std::optional<QMap<QString, QString>> stringMap(const QString &key)
{
    auto v = string(key);
    if (!v)
        return std::nullopt;
    const QJsonDocument doc = QJsonDocument::fromJson(v->toUtf8());
    if (!doc.isObject())
        return std::nullopt;
    QMap<QString, QString> map;
    const QJsonObject object = doc.object();
    for (auto it = object.begin(); it != object.end(); ++it) {
        // One damaged entry costs only itself: treating the whole map as absent
        // would let the next save overwrite every good entry with nothing.
        if (it.value().isString())
            map.insert(it.key(), it.value().toString());
    }
    return map;
}

void setString(const QString &key, const QString &value) { put(key, value); }
void setInteger(const QString &key, qint64 value) { put(key, value); }
void setNumber(const QString &key, double value) { put(key, value); }
void setBoolean(const QString &key, bool value) { put(key, value); }
void setStringList(const QString &key, const QStringList &value) { put(key, value); }

void setStringMap(const QString &key, const QMap<QString, QString> &value)
{
    QJsonObject object;
    for (auto it = value.begin(); it != value.end(); ++it)
        object.insert(it.key(), it.value());
    put(key, QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)));
}

void remove(const QString &key)
{
    Store &s = store();
    std::lock_guard lock(s.mutex);
    loadLocked(s);
    s.values.remove(key);
    markDirtyLocked(s, key);
}

bool contains(const QString &key)
{
    return get(key).has_value();
}

void flush()
{
    Store &s = store();
    std::unique_lock lock(s.mutex);
    s.idle.wait(lock, [&s] { return !s.settingsDirty && !s.pathsDirty && !s.writing; });
}

void reload()
{
    Store &s = store();
    std::unique_lock lock(s.mutex);
    s.idle.wait(lock, [&s] { return !s.settingsDirty && !s.pathsDirty && !s.writing; });
    s.values.clear();
    s.loaded = false;
}

void clear()
{
    Store &s = store();
    std::unique_lock lock(s.mutex);
    s.values.clear();
    s.loaded = true;
    s.pathsInOwnFile = true;
    s.settingsUnreadable = false;
    markDirtyLocked(s, QString());
    markDirtyLocked(s, libraryPathsKey);
    s.idle.wait(lock, [&s] { return !s.settingsDirty && !s.pathsDirty && !s.writing; });
}

} // namespace Defaults
