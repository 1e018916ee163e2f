#pragma once

// The user's settings: typed values under fixed keys, kept in an in-memory copy
// (read for every displayed text) and written through to QSettings at once.

#include <QMap>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <optional>

namespace Defaults {

std::optional<QString> string(const QString &key);
std::optional<qint64> integer(const QString &key);
std::optional<double> number(const QString &key);
std::optional<bool> boolean(const QString &key);
std::optional<QStringList> stringList(const QString &key);
// Dictionaries are stored as one JSON text value (their keys may hold NUL and "/").
std::optional<QMap<QString, QString>> stringMap(const QString &key);

void setString(const QString &key, const QString &value);
void setInteger(const QString &key, qint64 value);
void setNumber(const QString &key, double value);
void setBoolean(const QString &key, bool value);
void setStringList(const QString &key, const QStringList &value);
void setStringMap(const QString &key, const QMap<QString, QString> &value);
void remove(const QString &key);
bool contains(const QString &key);

// Waits until every assignment so far is in the settings file (they are
// written in order on a thread of their own).
void flush();

// Tests: forget the in-memory copy and read the store again (after pointing
// XDG_CONFIG_HOME or QSettings::setPath elsewhere), or wipe everything.
void reload();
void clear();

} // namespace Defaults
