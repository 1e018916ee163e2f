#pragma once

// The albums Cover Flow shows: the device's tracks grouped into albums, in the
// order of artist followed by title, each with the picture data it is drawn
// from and its number of discs. Pictures are not decoded here: a library of
// thousands of albums would need gigabytes for them, so the stage decodes only
// the few around its centre (see FlowPictures).

#include "media/records.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

struct FlowAlbum {
    Album album;
    // The artwork data of the album's first track that has any; only that one
    // is ever decoded: when it is broken the placeholder shows, even if a later
    // track carries a good picture.
    std::optional<QByteArray> artwork;
    // Which bytes those are (the address of the shared buffer; 0 without
    // artwork): tracks of one album share one buffer, so this costs nothing
    // to make, and a picture cache that keeps the bytes alive with its entry
    // can never see the key reused for other bytes.
    quintptr artworkKey = 0;
    int discCount = 0;

    // album.id(), kept once made: the identity of an item on the stage and the
    // key by which the centred album is found again after a rebuild.
    QString id;

    // Groups the tracks, sorts the albums and fills every field. Reads only its
    // argument, so it may run on any thread.
    static QList<FlowAlbum> prepare(const QList<Track> &tracks);
};
