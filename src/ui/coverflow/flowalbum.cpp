#include "ui/coverflow/flowalbum.h"

#include "media/albumgrouping.h"
#include "platform/text.h"

#include <QHash>
#include <QSet>
#include <algorithm>
#include <numeric>
#include <vector>

QList<FlowAlbum> FlowAlbum::prepare(const QList<Track> &tracks)
{
    const QList<Album> albums = AlbumGrouping::albums(tracks);
    const qsizetype n = albums.size();

    // Collation keys made once per album; ties (the same artist + title text,
    // "AB" + "C" against "A" + "BC") fall back to the plain order of the ids.
    std::vector<QCollatorSortKey> keys;
    std::vector<QString> ids;
    keys.reserve(size_t(n));
    ids.reserve(size_t(n));
    for (const Album &album : albums) {
        keys.push_back(text::finderSortKey(album.artist + album.title));
        ids.push_back(album.id());
    }
    std::vector<qsizetype> order(static_cast<size_t>(n));
    std::iota(order.begin(), order.end(), qsizetype(0));
    std::sort(order.begin(), order.end(), [&](qsizetype a, qsizetype b) {
        const int byKey = keys[size_t(a)].compare(keys[size_t(b)]);
        if (byKey != 0)
            return byKey < 0;
        return text::plainLess(ids[size_t(a)], ids[size_t(b)]);
    });

    QList<FlowAlbum> result;
    result.reserve(n);
    for (qsizetype i : order) {
        const Album &album = albums[i];
        FlowAlbum item;
        item.album = album;
        item.id = ids[size_t(i)];
        item.artwork = album.coverSource();
        if (item.artwork.cover)
            item.artworkKey = reinterpret_cast<quintptr>(item.artwork.cover->address());
        QSet<qint64> discs;
        for (const Track &track : album.tracks)
            discs.insert(AlbumGrouping::describe(track).disc);
        item.discCount = int(discs.size());
        result.append(std::move(item));
    }
    return result;
}
