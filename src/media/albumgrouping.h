#pragma once

// Decides which tracks form one album and which disc of it each track is on,
// from the folder layout (disc folders such as "CD1" or "Płyta 2" inside a
// release folder) and from the tags (album title without a disc suffix,
// artist, disc number). Pure functions, safe from any thread.

#include "media/records.h"

#include <QList>
#include <QString>
#include <optional>

namespace AlbumGrouping {

// How one track groups.
struct Description {
    QString key;    // "release", "album" or "tagged" and its parts, joined by NUL
    QString title;  // the album title this track suggests
    QString artist; // the track's artist, unchanged
    qint64 disc = 0;

    bool operator==(const Description &) const = default;
};

// The disc number of a disc folder name ("CD1", "disk_04 (bonus)", "Płyta 2"), or none.
std::optional<qint64> folderDisc(const QString &name);

// An album title without its disc suffix ("Album (Disc 1)" → "Album"), trimmed.
QString strippedTitle(const QString &album);

Description describe(const Track &track);

// Groups tracks into albums, in the order of each album's first track in
// `tracks`; each album's tracks are sorted by disc, track number and file name
// in natural order.
QList<Album> albums(const QList<Track> &tracks);

// The folder above the track's own folder (the release folder that holds disc
// folders), in NFC. Every album lies within one neighbourhood, and how the
// tracks of one neighbourhood group never depends on tracks outside it, so a
// change to a few tracks regroups only the tracks of their neighbourhoods.
QString neighbourhood(const Track &track);

} // namespace AlbumGrouping
