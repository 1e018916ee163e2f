#pragma once

// File-system paths as plain absolute QString paths, with the semantics of
// URL path components: "/a/b.flac" → last "b.flac", extension "flac".

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

namespace paths {

QString lastComponent(const QString &path);
// Extension after the last dot of the last component; none for ".flac", "name." or no dot.
QString extension(const QString &path);
QString deletingExtension(const QString &path);
// The path without its last component ("/" stays "/").
QString parent(const QString &path);
QString appending(const QString &path, const QString &component);
// Removes ".", "..", repeated and trailing slashes.
QString standardized(const QString &path);
// Resolves the links of the longest existing prefix; the rest is appended unchanged.
QString resolvingLinks(const QString &path);

// Lookups that never follow a final link (lstat), and "exists" that does (stat).
bool isSymbolicLink(const QString &path);
bool isRegularFile(const QString &path);
bool isDirectory(const QString &path);
bool exists(const QString &path);
std::optional<qint64> fileSize(const QString &path);

// Names in a folder, without "." and ".."; none when it cannot be read.
std::optional<QStringList> list(const QString &folder);

// Every path below `root` (not `root` itself), depth first in directory order,
// never following links; hidden entries (leading ".") skipped when asked;
// unreadable folders are passed over.
struct WalkEntry {
    QString path;
    bool isLink = false;
    bool isDirectory = false;
    bool isRegular = false;
};
// The visitor returns false to stop the walk. An entry whose name is not
// valid UTF-8 has no QString path that names it (decoding would merge distinct
// names into one that does not exist), so it is never visited; with
// `unreadable` it is appended there instead, its path shown with U+FFFD in
// place of the bytes (for counting and telling, never for opening).
void walk(const QString &root, bool skipHidden, const std::function<bool(const WalkEntry &)> &visit,
          std::vector<WalkEntry> *unreadable = nullptr);

QByteArray encode(const QString &path); // for POSIX calls

} // namespace paths

