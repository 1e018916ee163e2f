#pragma once

// The background half of importing music: collecting the audio files under the
// chosen files and folders, and reading each new one into a Track (technical
// data, tags, names from the folders, cover, size). Touches no model state;
// safe to run on a worker thread.

#include "media/records.h"
#include "model/librarystore.h"
#include "platform/mediaasset.h"

#include <QHash>
#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>
#include <future>
#include <memory>
#include <optional>

// The audio files under the given files and folders, unsorted: the chosen items
// in their order, a folder's contents in directory order at its place. Links and
// hidden items are skipped, links are never followed, and only regular files
// whose lower-cased extension is an audio one are taken (a folder named like an
// audio file is searched, not taken). Entries whose names are not UTF-8 are
// left out and counted in `unreadableNames` when given. Never fails.
QStringList scanAudio(const QStringList &urls, qsizetype *unreadableNames = nullptr);

namespace ImportScan {

using SeenItem = LibraryStore::Seen;
using SeenItems = LibraryStore::SeenItems;

// Receives the 0-based position of a file read and the number of files collected.
using ProgressPost = std::function<void(qsizetype position, qsizetype total)>;

// Reads every audio file under `chosen` whose standardised path is not yet in
// `knownPaths` (files reached twice count once), in natural order of their paths,
// calling `post` for each file read at a position that is a multiple of 20.
// Files are read on several threads; the tracks and the progress steps come
// out in the same order as a reading one by one would give them (`post` is
// called on those threads, one call at a time).
// With `stored`, a file whose size and modification time are those of its
// record is taken from the record instead of being read, with the cover
// the record keeps while its folder and cover file are unchanged (else
// chosen again, as the folder is now); `read`, when given, receives the record of
// every track found; `unreadableNames` the count scanAudio gives. A chosen
// item in `seen` is taken as it says, without looking at the disk again.
QList<Track> run(const QStringList &chosen, QSet<QString> knownPaths, const QMap<QString, QString> &overrides,
                 const ProgressPost &post, const LibraryStore::Records *stored = nullptr,
                 LibraryStore::Records *read = nullptr, qsizetype *unreadableNames = nullptr,
                 const SeenItems *seen = nullptr);

// The cover files of one import, shared by the threads that read the tracks:
// each folder is listed once (so a cover that does not exist costs no failed
// open per track), each image file is read once and made into one cover
// shared by every track that uses it, and equal embedded pictures share one
// cover. No picture's whole bytes are kept.
class CoverFiles
{
public:
    CoverFiles();
    ~CoverFiles();
    CoverFiles(const CoverFiles &) = delete;
    CoverFiles &operator=(const CoverFiles &) = delete;

    // A cover another thread is still making (its preview), to be had once made.
    using Pending = std::shared_future<std::optional<Cover>>;

    // The cover of readImageFile(path), made once per path; the same cover for every caller.
    // With `pending`, a caller that finds the cover being made by another
    // thread does not wait for it: it gets none, and `pending` that cover.
    std::optional<Cover> image(const QString &path, Pending *pending = nullptr);
    // image() of folder/name, without touching the disk when the folder's
    // listing shows no such entry.
    std::optional<Cover> imageIn(const QString &folder, const QString &name, Pending *pending = nullptr);
    // The cover of an earlier equal embedded picture when there was one, else
    // a new one made of these bytes.
    Cover shared(const QByteArray &picture);
    std::optional<Cover> shared(const QByteArray &picture, Pending *pending);

    // The folder's modification time taken just before imageIn() listed it,
    // when it was listed and that time lies far enough in the past to show
    // any later change of its entries; 0 otherwise.
    qint64 listedTime(const QString &folder) const;
    // The stamp of the image file image() read, likewise; none otherwise.
    std::optional<LibraryStore::Stamp> readStamp(const QString &path) const;
    // Whether the folder still has that modification time, and the file that
    // stamp (each asked of the disk once per import).
    bool folderStill(const QString &folder, qint64 time);
    bool fileStill(const QString &path, const LibraryStore::Stamp &stamp);

private:
    struct State;
    std::unique_ptr<State> m_state;
};

// The frames of a file's metadata items that the import reads (tags of FLAC
// files come from the FLAC reader instead); the others are never converted.
const QList<QLatin1StringView> &tagFrames();

// What a file's metadata items give its track: the numbers, the year and the
// album artist in `info`, and the last title, artist, album and artwork item.
struct TagValues {
    AudioInfo info;
    std::optional<QString> title;
    std::optional<QString> artist;
    std::optional<QString> album;
    std::optional<QByteArray> artwork;
    bool operator==(const TagValues &) const = default;
};
TagValues tagValues(const QList<MetadataItem> &items);

// One file into a Track; `overrides` maps artist NUL album NUL folder to a cover file.
Track readFile(const QString &path, const QMap<QString, QString> &overrides);
Track readFile(const QString &path, const QMap<QString, QString> &overrides, CoverFiles &covers);

// The run of numeric characters at the start of a file name read as a decimal
// integer ("07 Intro.mp3" → 7); 0 when there is none or it cannot be read.
qint64 leadingNumber(const QString &fileName);

// The whole file when it is a regular file (after following links) below
// 10,000,000 bytes and can be read; none otherwise.
std::optional<QByteArray> readImageFile(const QString &path);

} // namespace ImportScan
