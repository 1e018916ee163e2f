#include "platform/defaults.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>
#include <QUrl>
#include <condition_variable>
#include <mutex>
#include <thread>

using namespace Qt::StringLiterals;

namespace Defaults {
namespace {

struct Store {
    std::mutex mutex;
    bool loaded = false;
    QMap<QString, QVariant> values; // keyed by the caller's key
};

Store &store()
{
    static Store s;
    return s;
}

QSettings settings()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, u"Vontaro"_s, u"Vontaro"_s);
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

// Writes reach the settings file on a thread of their own, in order and
// coalesced: rewriting the whole file for every assignment (a slider, a saved
// library of thousands of paths) must not stall the window. The in-memory copy
// is the truth for readers; the file catches up.
class Writer
{
public:
    ~Writer()
    {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_all();
        if (m_thread.joinable())
            m_thread.join();
    }

    void set(const QString &key, std::optional<QVariant> value)
    {
        {
            std::lock_guard lock(m_mutex);
            startLocked();
            m_pending.insert(key, std::move(value));
        }
        m_wake.notify_all();
    }

    void clearAll()
    {
        {
            std::lock_guard lock(m_mutex);
            startLocked();
            m_pending.clear();
            m_clear = true;
        }
        m_wake.notify_all();
    }

    void flush()
    {
        std::unique_lock lock(m_mutex);
        m_idle.wait(lock, [this] { return m_pending.isEmpty() && !m_clear && !m_writing; });
    }

private:
    void startLocked()
    {
        if (!m_thread.joinable()) {
            m_thread = std::thread([this] { loop(); });
            // Everything assigned reaches the file before the application's
            // objects go away, not in the static teardown after them.
            if (QCoreApplication::instance())
                qAddPostRoutine(&Defaults::flush);
        }
    }

    void loop()
    {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_wake.wait(lock, [this] { return m_stop || m_clear || !m_pending.isEmpty(); });
            if (!m_clear && m_pending.isEmpty())
                return; // stopping with nothing left to write
            const QMap<QString, std::optional<QVariant>> batch = std::exchange(m_pending, {});
            const bool clear = std::exchange(m_clear, false);
            m_writing = true;
            lock.unlock();
            {
                QSettings file = settings();
                if (clear)
                    file.clear();
                for (auto it = batch.begin(); it != batch.end(); ++it) {
                    if (it.value())
                        file.setValue(storedKey(it.key()), *it.value());
                    else
                        file.remove(storedKey(it.key()));
                }
                file.sync();
            }
            lock.lock();
            m_writing = false;
            m_idle.notify_all();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    QMap<QString, std::optional<QVariant>> m_pending; // none = remove
    bool m_clear = false;
    bool m_writing = false;
    bool m_stop = false;
    std::thread m_thread;
};

Writer &writer()
{
    static Writer w;
    return w;
}

void loadLocked(Store &s)
{
    if (s.loaded)
        return;
    QSettings file = settings();
    for (const QString &key : file.allKeys())
        s.values.insert(callerKey(key), file.value(key));
    s.loaded = true;
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
    writer().set(key, value);
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
    writer().set(key, std::nullopt);
}

bool contains(const QString &key)
{
    return get(key).has_value();
}

void flush()
{
    writer().flush();
}

void reload()
{
    Store &s = store();
    std::lock_guard lock(s.mutex);
    writer().flush();
    s.values.clear();
    s.loaded = false;
}

void clear()
{
    Store &s = store();
    std::lock_guard lock(s.mutex);
    writer().clearAll();
    writer().flush();
    s.values.clear();
    s.loaded = true;
}

} // namespace Defaults
