#pragma once

// What the last import read of each library file, kept on disk so that the
// next start shows the library without reading every file again. A record is
// used only while its file still has the size and modification time it had
// when it was read; the file is written atomically, and one that is damaged,
// of another version or of another program is ignored (a full read runs).

#include "media/records.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <optional>

namespace LibraryStore {

// When a file was last changed and how big it is, as stat() (following links) says.
struct Stamp {
    qint64 size = 0;
    qint64 modified = 0; // nanoseconds since the epoch
    bool operator==(const Stamp &) const = default;
};
std::optional<Stamp> stamp(const QString &path);

// What one lstat of a saved item said, when the caller has looked at it
// already (a start checks every saved file once, and the import then takes
// each one's kind and stamp from here instead of asking the disk again).
struct Seen {
    enum class Kind : char { other, folder, regular };
    Kind kind = Kind::other;
    Stamp stamp; // of a regular file
};
using SeenItems = QHash<QString, Seen>; // by the path as saved
// One lstat of `path`; none when it fails or names a link (whose target
// only stat can tell).
std::optional<Seen> look(const QString &path);

struct Record {
    Stamp stamp;
    Track track; // everything the file gave; id and artwork are not kept
    // The file's embedded picture, kept only when it is the track's cover:
    // its facts and preview, shared by the records of equal pictures.
    std::optional<Cover> embedded;
    // The cover chosen for the track (none: it had none) while its folder
    // had the modification time `folder` (nanoseconds; 0: not known, and the
    // cover is chosen again from the folder as it is). A cover from an image
    // file holds while that file keeps `coverFile`.
    qint64 folder = 0;
    std::optional<Cover> cover;
    Stamp coverFile;
};
using Records = QHash<QString, Record>; // by the track's path

// Whether two records would be stored alike (the track's id and cover, which
// are not stored, play no part).
bool same(const Record &a, const Record &b);
// Whether two sets of records would be stored alike.
bool same(const Records &a, const Records &b);

// applicationSupport() + "/Library.records"
QString defaultFile();

// The records in `file`; none when it is missing, damaged or not ours.
// `current`, when given, tells whether the file is of this version (an
// earlier one is read, and is worth writing again in this one).
std::optional<Records> load(const QString &file, bool *current = nullptr);
// Writes the records to `file` through a temporary file renamed over it.
// False when that failed (the earlier file then stays as it was).
bool save(const QString &file, const Records &records);
// The same for the records of `paths` alone (each once, in that order);
// paths without a record are passed over.
bool save(const QString &file, const Records &records, const QStringList &paths);
// The same, throwing what failed (PosixError with its errno, TavoError when the
// file's place holds a link or special file, which is never replaced).
void write(const QString &file, const Records &records, const QStringList &paths);

} // namespace LibraryStore
