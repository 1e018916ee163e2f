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
    // The cover of the album's first track that has one, with that track;
    // only that one is ever decoded: when it is broken the placeholder shows,
    // even if a later track carries a good picture.
    CoverSource artwork;
    // Which cover that is (the address of the shared cover; 0 without
    // artwork): tracks of one album share one cover, so this costs nothing
    // to make, and a picture cache that keeps the cover alive with its entry
    // can never see the key reused for another.
    quintptr artworkKey = 0;
    int discCount = 0;

    // album.id(), kept once made: the identity of an item on the stage and the
    // key by which the centred album is found again after a rebuild.
    QString id;

    // Groups the tracks, sorts the albums and fills every field. Reads only its
    // argument, so it may run on any thread.
    static QList<FlowAlbum> prepare(const QList<Track> &tracks);
};
