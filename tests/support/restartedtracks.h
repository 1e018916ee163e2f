#pragma once

// Tracks as the next start brings them back: their records written to the
// records file and read from it again, each track's cover then being what the
// records kept of its embedded picture (its facts and preview, never its
// bytes), as a start that finds the files unchanged uses it.

#include "model/librarystore.h"

#include <QList>
#include <QString>

namespace fixtures {

// `tracks` after going through the records file `file`, in the same order and
// with the same ids; empty when the file could not be written or read.
inline QList<Track> throughRecords(const QList<Track> &tracks, const QString &file)
{
    LibraryStore::Records records;
    for (const Track &track : tracks) {
        LibraryStore::Record record;
        record.stamp = LibraryStore::stamp(track.url).value_or(LibraryStore::Stamp{});
        record.track = track;
        record.track.artwork.reset();
        if (track.artwork && track.artwork->isEmbedded())
            record.embedded = track.artwork;
        records.insert(track.url, record);
    }
    if (!LibraryStore::save(file, records))
        return {};
    const std::optional<LibraryStore::Records> loaded = LibraryStore::load(file);
    if (!loaded || loaded->size() != records.size())
        return {};
    QList<Track> restored;
    for (const Track &track : tracks) {
        const LibraryStore::Record &record = loaded->value(track.url);
        Track back = record.track;
        back.id = track.id;
        back.artwork = record.embedded ? record.embedded : track.artwork;
        restored.append(back);
    }
    return restored;
}

} // namespace fixtures
