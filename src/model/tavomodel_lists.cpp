// The lists the library pages, the transfer bar and the device page show, and
// the iPod model and finish drawn for the device.
//
// The library pages read these lists many times per frame, so each result is
// kept until one of its inputs changes. Inputs are recognised without any
// bookkeeping in the setters: the cache holds copies of the input lists and
// sets, which share their data with the model's fields, so "unchanged" is a
// pointer comparison, and any change of a field (a new list, or an in-place
// edit, which detaches a shared list) shows at the next read.
//
// The work is split so that typing a search or switching a filter costs one
// pass over the tracks: the grouping into albums and the sorted orders depend
// only on the tracks (and the sort mode), and a stable sort followed by a
// filter gives the same list as the filter followed by the stable sort.

#include "model/tavomodel.h"

#include "media/albumgrouping.h"
#include "model/modeltasks.h"
#include "platform/defaults.h"
#include "platform/text.h"

#include <QCollator>
#include <QHash>
#include <QSet>
#include <QThread>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>
#include <array>
#include <numeric>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

enum class SortKind { artist, album, year, size };
constexpr int sortKindCount = 4;

SortKind sortKind(const QString &sortMode)
{
    if (sortMode == u"Album"_s)
        return SortKind::album;
    if (sortMode == u"Rok"_s)
        return SortKind::year;
    if (sortMode == u"Rozmiar"_s)
        return SortKind::size;
    return SortKind::artist; // "Wykonawca" and every other value
}

bool passesFormat(const Track &track, const QString &formatFilter)
{
    if (formatFilter == u"Wszystko"_s)
        return true;
    if (formatFilter == u"Pozostałe"_s)
        return track.info.codec != u"MP3"_s && track.info.codec != u"FLAC"_s;
    return track.info.codec == formatFilter;
}

bool passesResolution(const Track &track, bool hiResOnly)
{
    return !hiResOnly || TavoModel::isHiRes(track.info);
}

// The text the search looks in: artist, album and title joined by one space.
QString searchText(const Track &track)
{
    return track.artist + u' ' + track.album + u' ' + track.title;
}

// The same folding as text::containsIgnoringCase, done once per track.
QString foldedForSearch(const QString &s)
{
    return text::nfc(s).toUpper();
}

// Stable order of `count` items by a "comes before" predicate over indices.
template <typename Before>
std::vector<qsizetype> sortedIndices(qsizetype count, Before before)
{
    std::vector<qsizetype> order(static_cast<size_t>(count));
    std::iota(order.begin(), order.end(), qsizetype(0));
    std::stable_sort(order.begin(), order.end(), before);
    return order;
}

// Collation keys made once per item instead of once per comparison.
std::vector<QCollatorSortKey> finderKeys(qsizetype count, const std::function<QString(qsizetype)> &textOf)
{
    std::vector<QCollatorSortKey> keys;
    keys.reserve(size_t(count));
    for (qsizetype i = 0; i < count; ++i)
        keys.push_back(text::finderSortKey(textOf(i)));
    return keys;
}

std::vector<qsizetype> trackOrder(const QList<Track> &tracks, SortKind kind)
{
    const qsizetype n = tracks.size();
    switch (kind) {
    case SortKind::album:
    case SortKind::artist: {
        const auto keys = finderKeys(n, [&](qsizetype i) {
            const Track &t = tracks[i];
            return (kind == SortKind::album ? t.album : t.artist) + t.title;
        });
        return sortedIndices(n, [&](qsizetype a, qsizetype b) { return keys[size_t(a)].compare(keys[size_t(b)]) < 0; });
    }
    case SortKind::year: {
        // Newest year first; within a year, by title in plain order.
        std::vector<QString> years, titles;
        years.reserve(size_t(n));
        titles.reserve(size_t(n));
        for (const Track &t : tracks) {
            years.push_back(text::nfc(t.info.year));
            titles.push_back(text::nfc(t.title));
        }
        return sortedIndices(n, [&](qsizetype a, qsizetype b) {
            const int year = text::plainCompare(years[size_t(a)], years[size_t(b)]);
            if (year != 0)
                return year > 0;
            return text::plainLess(titles[size_t(a)], titles[size_t(b)]);
        });
    }
    case SortKind::size:
        return sortedIndices(n, [&](qsizetype a, qsizetype b) { return tracks[b].bytes < tracks[a].bytes; });
    }
    return {};
}

// What albums are sorted by in one order, one key per album. Kept with the
// orders, so that albums grouped again take new keys and the rest keep theirs.
struct AlbumKeys {
    std::vector<QCollatorSortKey> collation; // artist and album orders
    std::vector<QString> years;              // year order: the first track's year
    std::vector<qint64> sizes;               // size order: the album's bytes

    void append(const Album &album, SortKind kind)
    {
        switch (kind) {
        case SortKind::album:
        case SortKind::artist:
            collation.push_back(text::finderSortKey(kind == SortKind::album ? album.title : album.artist + album.title));
            break;
        case SortKind::year:
            years.push_back(album.tracks.isEmpty() ? QString() : text::nfc(album.tracks.first().info.year));
            break;
        case SortKind::size: {
            qint64 sum = 0;
            for (const Track &t : album.tracks)
                sum += t.bytes;
            sizes.push_back(sum);
            break;
        }
        }
    }

    // Takes the key of album `index` of another set of keys (only one of
    // whose lists is filled, that of the order it was made for).
    void appendFrom(const AlbumKeys &other, qsizetype index)
    {
        if (!other.collation.empty())
            collation.push_back(other.collation[size_t(index)]);
        if (!other.years.empty())
            years.push_back(other.years[size_t(index)]);
        if (!other.sizes.empty())
            sizes.push_back(other.sizes[size_t(index)]);
    }
};

AlbumKeys albumKeys(const QList<Album> &albums, SortKind kind)
{
    AlbumKeys keys;
    for (const Album &a : albums)
        keys.append(a, kind);
    return keys;
}

std::vector<qsizetype> albumOrder(const AlbumKeys &keys, qsizetype n, SortKind kind)
{
    switch (kind) {
    case SortKind::album:
    case SortKind::artist:
        return sortedIndices(n, [&](qsizetype a, qsizetype b) {
            return keys.collation[size_t(a)].compare(keys.collation[size_t(b)]) < 0;
        });
    case SortKind::year:
        // Newest first by the first track's year; albums of one year keep their order.
        return sortedIndices(n, [&](qsizetype a, qsizetype b) {
            return text::plainCompare(keys.years[size_t(a)], keys.years[size_t(b)]) > 0;
        });
    case SortKind::size:
        return sortedIndices(n, [&](qsizetype a, qsizetype b) { return keys.sizes[size_t(b)] < keys.sizes[size_t(a)]; });
    }
    return {};
}

// Copies of one track share their texts: those need no comparing.
bool sameText(const QString &a, const QString &b)
{
    return (a.constData() == b.constData() && a.size() == b.size()) || a == b;
}

// Whether two tracks are alike in everything the lists look at: the
// grouping, the sort orders, the filters and the search.
bool sameForLists(const Track &a, const Track &b)
{
    return a.id == b.id && sameText(a.url, b.url) && sameText(a.title, b.title) && sameText(a.artist, b.artist)
           && sameText(a.album, b.album) && a.bytes == b.bytes && sameText(a.info.year, b.info.year)
           && sameText(a.info.codec, b.info.codec)
           && a.info.bitDepth == b.info.bitDepth && a.info.sampleRate == b.info.sampleRate
           && a.info.trackNumber == b.info.trackNumber && a.info.discNumber == b.info.discNumber;
}

// Everything computed from one list of active tracks.
struct ListCache {
    QList<Track> source; // shares its data with the field it was taken from
    bool hasSource = false;
    std::vector<QString> searchTexts; // folded; made on the first search
    std::array<std::optional<std::vector<qsizetype>>, sortKindCount> trackOrders;
    bool grouped = false;
    QList<Album> groups;
    std::vector<std::vector<qsizetype>> groupMembers; // per album: indices into source, -1 when not found
    bool uniqueIds = false;                           // every track of source has an id of its own
    // Track id → the first album holding it, through a slot that stays the
    // album's own while albums around it are grouped again or removed.
    QHash<QUuid, qsizetype> albumOfTrack;
    std::vector<qsizetype> slotAlbum; // slot → album index, -1 when the album is gone
    std::vector<qsizetype> albumSlot; // album index → slot
    std::vector<QString> neighbourhoods;              // per album (AlbumGrouping::neighbourhood)
    std::array<std::optional<AlbumKeys>, sortKindCount> albumSortKeys;
    std::array<std::optional<std::vector<qsizetype>>, sortKindCount> albumOrders;

    // What depends on the filters too.
    bool hasFilter = false;
    QString formatFilter;
    bool hiResOnly = false;
    QString search;
    std::vector<char> matched; // per index of source
    qsizetype matchedCount = 0;

    // The results, for the sort kind they were made for.
    std::optional<SortKind> filteredKind, albumsKind;
    QList<Track> filtered;
    QList<Album> albums;

    bool holds(const QList<Track> &active) const
    {
        return hasSource && source.isSharedWith(active) && source.size() == active.size();
    }

    void useFilters(const QString &format, bool hiRes, const QString &searchFor)
    {
        if (hasFilter && formatFilter == format && hiResOnly == hiRes && search == searchFor)
            return;
        hasFilter = true;
        formatFilter = format;
        hiResOnly = hiRes;
        search = searchFor;
        filteredKind.reset();
        albumsKind.reset();

        const qsizetype n = source.size();
        QString needle;
        if (!search.isEmpty()) {
            needle = foldedForSearch(search);
            makeSearchTexts();
        }
        matched.assign(size_t(n), 0);
        matchedCount = 0;
        for (qsizetype i = 0; i < n; ++i) {
            const Track &t = source.at(i);
            matched[size_t(i)] = passesFormat(t, formatFilter) && passesResolution(t, hiResOnly)
                                 && (search.isEmpty() || searchTexts[size_t(i)].contains(needle));
            matchedCount += matched[size_t(i)];
        }
    }

    void makeSearchTexts()
    {
        if (!searchTexts.empty() || source.isEmpty())
            return;
        searchTexts.reserve(size_t(source.size()));
        for (const Track &t : std::as_const(source))
            searchTexts.push_back(foldedForSearch(searchText(t)));
    }

    // Everything that depends on the tracks alone, made ahead (on a worker)
    // so that no first read, search or sort change has to make it.
    // Whether a track passes the filters this cache was brought up to.
    bool passes(const Track &track) const
    {
        return passesFormat(track, formatFilter) && passesResolution(track, hiResOnly)
               && (search.isEmpty() || text::containsIgnoringCase(searchText(track), search));
    }

    // The filtered tracks in the order of `kind`.
    void makeFiltered(SortKind kind)
    {
        if (filteredKind == kind)
            return;
        QList<Track> result;
        result.reserve(matchedCount);
        for (qsizetype i : orderOfTracks(kind)) {
            if (matched[size_t(i)])
                result.append(source.at(i));
        }
        filtered = std::move(result);
        filteredKind = kind;
    }

    // The albums with a matching track, in the order of `kind`.
    void makeAlbums(SortKind kind)
    {
        if (albumsKind == kind)
            return;
        group();
        QList<Album> result;
        for (qsizetype g : orderOfAlbums(kind)) {
            const std::vector<qsizetype> &members = groupMembers[size_t(g)];
            const Album &album = groups.at(g);
            bool kept = false;
            for (size_t k = 0; k < members.size() && !kept; ++k)
                kept = members[k] >= 0 ? bool(matched[size_t(members[k])]) : passes(album.tracks[qsizetype(k)]);
            // A kept album keeps every one of its tracks, matching or not.
            if (kept)
                result.append(album);
        }
        albums = std::move(result);
        albumsKind = kind;
    }

    // The parts are independent (each writes its own members and only reads
    // the source), so they run side by side. The lists themselves are made
    // for the filters and the order given, those the model has as this runs;
    // a later change of them is made at the first read, as always.
    void prepare(const QString &format, bool hiRes, const QString &searchFor, SortKind kind)
    {
        QThreadPool pool;
        pool.setMaxThreadCount(std::max(1, QThread::idealThreadCount()));
        QList<QFuture<void>> parts;
        parts.append(QtConcurrent::run(&pool, [this] { makeSearchTexts(); }));
        for (int kind = 0; kind < sortKindCount; ++kind)
            parts.append(QtConcurrent::run(&pool, [this, kind] { orderOfTracks(SortKind(kind)); }));
        group();
        makeNeighbourhoods();
        for (int kind = 0; kind < sortKindCount; ++kind)
            orderOfAlbums(SortKind(kind));
        for (QFuture<void> &part : parts)
            part.waitForFinished();
        useFilters(format, hiRes, searchFor);
        makeFiltered(kind);
        makeAlbums(kind);
    }

    // Takes `active` as the source when it holds the same tracks, in the same
    // order, alike in everything the lists look at (only a cover changed,
    // say): what was made stays valid, and the albums take the new copies of
    // their tracks. False when `active` differs more; nothing changes then.
    bool rebase(const QList<Track> &active)
    {
        if (!hasSource || source.size() != active.size() || (grouped && !uniqueIds))
            return false;
        for (qsizetype i = 0; i < active.size(); ++i) {
            if (!sameForLists(source.at(i), active.at(i)))
                return false;
        }
        source = active;
        if (grouped) {
            for (qsizetype g = 0; g < groups.size(); ++g) {
                const std::vector<qsizetype> &members = groupMembers[size_t(g)];
                QList<Track> tracks;
                tracks.reserve(qsizetype(members.size()));
                for (qsizetype i : members)
                    tracks.append(source.at(i));
                groups[g].tracks = std::move(tracks);
            }
        }
        // The results hold copies of the old tracks: they are made again.
        filteredKind.reset();
        albumsKind.reset();
        filtered.clear();
        albums.clear();
        return true;
    }

    const std::vector<qsizetype> &orderOfTracks(SortKind kind)
    {
        auto &slot = trackOrders[size_t(kind)];
        if (!slot)
            slot = trackOrder(source, kind);
        return *slot;
    }

    void group()
    {
        if (grouped)
            return;
        grouped = true;
        groups = AlbumGrouping::albums(source);
        QHash<QUuid, qsizetype> indexOf;
        indexOf.reserve(source.size());
        for (qsizetype i = 0; i < source.size(); ++i)
            indexOf.insert(source.at(i).id, i);
        uniqueIds = indexOf.size() == source.size();
        groupMembers.resize(size_t(groups.size()));
        slotAlbum.resize(size_t(groups.size()));
        std::iota(slotAlbum.begin(), slotAlbum.end(), qsizetype(0));
        albumSlot = slotAlbum;
        albumOfTrack.reserve(source.size());
        for (qsizetype g = 0; g < groups.size(); ++g) {
            for (const Track &t : groups.at(g).tracks) {
                groupMembers[size_t(g)].push_back(indexOf.value(t.id, -1));
                if (!albumOfTrack.contains(t.id)) // a later album never replaces the first
                    albumOfTrack.insert(t.id, g);
            }
        }
    }

    const std::vector<qsizetype> &orderOfAlbums(SortKind kind)
    {
        auto &slot = albumOrders[size_t(kind)];
        if (!slot) {
            auto &keys = albumSortKeys[size_t(kind)];
            if (!keys)
                keys = albumKeys(groups, kind);
            slot = albumOrder(*keys, groups.size(), kind);
        }
        return *slot;
    }

    // Takes `active` as the source when it is the source with some tracks
    // left out, the rest in the same order and alike in everything the lists
    // look at (an album forgotten). The sorted orders and search texts lose
    // the removed entries, and only the albums of the neighbourhoods that lost
    // a track are grouped again, so the first read after forgetting an album
    // costs a few passes over the tracks instead of grouping and sorting them
    // all. False when `active` differs otherwise; nothing changes then.
    bool rebaseRemoving(const QList<Track> &active)
    {
        const qsizetype oldCount = source.size(), newCount = active.size();
        if (!hasSource || newCount >= oldCount || (grouped && !uniqueIds))
            return false;
        // Where each track of the source went in `active`; -1 when removed.
        std::vector<qsizetype> moved(size_t(oldCount), -1);
        qsizetype j = 0;
        for (qsizetype i = 0; i < newCount; ++i, ++j) {
            const QUuid &id = active.at(i).id;
            while (j < oldCount && source.at(j).id != id)
                ++j;
            if (j == oldCount || !sameForLists(source.at(j), active.at(i)))
                return false;
            moved[size_t(j)] = i;
        }

        if (!searchTexts.empty()) {
            std::vector<QString> kept;
            kept.reserve(size_t(newCount));
            for (qsizetype k = 0; k < oldCount; ++k) {
                if (moved[size_t(k)] >= 0)
                    kept.push_back(std::move(searchTexts[size_t(k)]));
            }
            searchTexts = std::move(kept);
        }
        // A stable order without some of its items is the stable order of the rest.
        for (auto &order : trackOrders) {
            if (!order)
                continue;
            std::vector<qsizetype> kept;
            kept.reserve(size_t(newCount));
            for (qsizetype k : *order) {
                if (moved[size_t(k)] >= 0)
                    kept.push_back(moved[size_t(k)]);
            }
            order = std::move(kept);
        }
        if (grouped)
            regroupAfterRemoving(active, moved);

        // What was made from the old list is freed on a worker.
        letGo(source);
        source = active;
        hasFilter = false;
        matched.clear();
        filteredKind.reset();
        albumsKind.reset();
        letGo(filtered);
        letGo(albums);
        return true;
    }

    template <typename T>
    static void letGo(T &value)
    {
        ModelTasks::releaseLater(std::make_shared<T>(std::exchange(value, T())));
    }

    void makeNeighbourhoods()
    {
        if (neighbourhoods.size() == size_t(groups.size()))
            return;
        neighbourhoods.clear();
        neighbourhoods.reserve(size_t(groups.size()));
        for (const Album &album : std::as_const(groups))
            neighbourhoods.push_back(AlbumGrouping::neighbourhood(album.tracks.first()));
    }

    // Part of rebaseRemoving: `moved` maps the source's indices to active's.
    void regroupAfterRemoving(const QList<Track> &active, const std::vector<qsizetype> &moved)
    {
        const qsizetype oldGroups = groups.size();
        makeNeighbourhoods();
        QSet<QString> touched;
        for (qsizetype k = 0; k < source.size(); ++k) {
            if (moved[size_t(k)] < 0)
                touched.insert(AlbumGrouping::neighbourhood(source.at(k)));
        }

        // Albums of untouched neighbourhoods stay as they are; the remaining
        // tracks of the touched ones are grouped again, in library order.
        struct Entry {
            qsizetype first;     // the album's first track in the new source
            qsizetype old = -1;  // the album kept, or
            qsizetype fresh = -1; // the album grouped again
        };
        std::vector<Entry> entries;
        entries.reserve(size_t(oldGroups));
        std::vector<qsizetype> regrouping;
        for (qsizetype g = 0; g < oldGroups; ++g) {
            const std::vector<qsizetype> &members = groupMembers[size_t(g)];
            if (touched.contains(neighbourhoods[size_t(g)])) {
                for (qsizetype m : members) {
                    if (moved[size_t(m)] >= 0)
                        regrouping.push_back(moved[size_t(m)]);
                }
                continue;
            }
            qsizetype first = moved[size_t(members.front())];
            for (qsizetype m : members)
                first = std::min(first, moved[size_t(m)]);
            entries.push_back({first, g, -1});
        }
        std::sort(regrouping.begin(), regrouping.end());
        QList<Track> subset;
        subset.reserve(qsizetype(regrouping.size()));
        QHash<QUuid, qsizetype> indexOf;
        indexOf.reserve(qsizetype(regrouping.size()));
        for (qsizetype i : regrouping) {
            subset.append(active.at(i));
            indexOf.insert(active.at(i).id, i);
        }
        const QList<Album> regrouped = AlbumGrouping::albums(subset);
        std::vector<std::vector<qsizetype>> freshMembers(size_t(regrouped.size()));
        for (qsizetype r = 0; r < regrouped.size(); ++r) {
            std::vector<qsizetype> &members = freshMembers[size_t(r)];
            for (const Track &t : regrouped.at(r).tracks)
                members.push_back(indexOf.value(t.id));
            entries.push_back({*std::min_element(members.begin(), members.end()), -1, r});
        }
        // Albums come in the order of their first track, as the grouping gives them.
        std::sort(entries.begin(), entries.end(), [](const Entry &a, const Entry &b) { return a.first < b.first; });

        QList<Album> newGroups;
        newGroups.reserve(qsizetype(entries.size()));
        std::vector<std::vector<qsizetype>> newMembers;
        newMembers.reserve(entries.size());
        std::vector<QString> newNeighbourhoods;
        newNeighbourhoods.reserve(entries.size());
        std::vector<qsizetype> newAlbumSlot;
        newAlbumSlot.reserve(entries.size());
        for (qsizetype g = 0; g < oldGroups; ++g)
            slotAlbum[size_t(albumSlot[size_t(g)])] = -1;
        std::array<std::optional<AlbumKeys>, sortKindCount> newKeys;
        for (int kind = 0; kind < sortKindCount; ++kind) {
            if (albumSortKeys[size_t(kind)])
                newKeys[size_t(kind)].emplace();
        }
        for (const Entry &e : entries) {
            const qsizetype g = newGroups.size();
            if (e.old >= 0) {
                const qsizetype slot = albumSlot[size_t(e.old)];
                slotAlbum[size_t(slot)] = g;
                newAlbumSlot.push_back(slot);
                newGroups.append(groups.at(e.old));
                std::vector<qsizetype> members = std::move(groupMembers[size_t(e.old)]);
                for (qsizetype &m : members)
                    m = moved[size_t(m)];
                newMembers.push_back(std::move(members));
                newNeighbourhoods.push_back(neighbourhoods[size_t(e.old)]);
            } else {
                const Album &album = regrouped.at(e.fresh);
                const qsizetype slot = qsizetype(slotAlbum.size());
                slotAlbum.push_back(g);
                newAlbumSlot.push_back(slot);
                for (qsizetype m : freshMembers[size_t(e.fresh)])
                    albumOfTrack.insert(active.at(m).id, slot);
                newGroups.append(album);
                newMembers.push_back(std::move(freshMembers[size_t(e.fresh)]));
                newNeighbourhoods.push_back(AlbumGrouping::neighbourhood(album.tracks.first()));
            }
            for (int kind = 0; kind < sortKindCount; ++kind) {
                if (!newKeys[size_t(kind)])
                    continue;
                if (e.old >= 0)
                    newKeys[size_t(kind)]->appendFrom(*albumSortKeys[size_t(kind)], e.old);
                else
                    newKeys[size_t(kind)]->append(newGroups.last(), SortKind(kind));
            }
        }

        // Each track is in exactly one album (the ids are unique): the kept
        // ones keep their album's slot, the regrouped ones took a new one.
        for (qsizetype k = 0; k < source.size(); ++k) {
            if (moved[size_t(k)] < 0)
                albumOfTrack.remove(source.at(k).id);
        }

        letGo(groups);
        groups = std::move(newGroups);
        groupMembers = std::move(newMembers);
        albumSlot = std::move(newAlbumSlot);
        neighbourhoods = std::move(newNeighbourhoods);
        albumSortKeys = std::move(newKeys);
        for (auto &order : albumOrders)
            order.reset();
    }
};

// The transfer queue, from the library and the set of queued ids. Its size
// and bytes are counted without making the list, which copies every queued
// track (all 20,000 of them after a first import), until the list is asked for.
struct QueueCache {
    bool valid = false;
    QList<Track> library; // shares its data with the field it was taken from
    QSet<QUuid> ids;
    qsizetype count = 0;
    qint64 bytes = 0;
    std::optional<QList<Track>> queue;
};

} // namespace

struct TavoModel::PreparedLists {
    ListCache lists;
};

struct TavoModel::DerivedCache {
    ListCache lists;
    QueueCache queue;
    // Lists worked out on a worker for a list about to be published.
    std::shared_ptr<PreparedLists> prepared;

    // The list cache brought up to date with the active tracks and the filters.
    ListCache &currentLists(const QList<Track> &active, const QString &format, bool hiRes, const QString &search)
    {
        // The lists given up are freed on a worker: at 50,000 tracks that
        // takes the main thread several milliseconds.
        if (!lists.holds(active)) {
            if (prepared && prepared->lists.holds(active)) {
                ModelTasks::release(std::make_shared<ListCache>(std::exchange(lists, std::move(prepared->lists))));
                ModelTasks::release(std::exchange(prepared, {}));
            } else if (!lists.rebase(active) && !lists.rebaseRemoving(active)) {
                ListCache fresh;
                fresh.source = active;
                fresh.hasSource = true;
                ModelTasks::release(std::make_shared<ListCache>(std::exchange(lists, std::move(fresh))));
            }
        }
        lists.useFilters(format, hiRes, search);
        return lists;
    }
};

std::shared_ptr<TavoModel::PreparedLists> TavoModel::prepareLists(const QList<Track> &tracks, const ListInputs &inputs)
{
    auto prepared = std::make_shared<PreparedLists>();
    ListCache &lists = prepared->lists;
    lists.source = tracks;
    lists.hasSource = true;
    lists.prepare(inputs.formatFilter, inputs.hiResOnly, inputs.search, sortKind(inputs.sortMode));
    return prepared;
}

void TavoModel::offerPreparedLists(std::shared_ptr<PreparedLists> prepared)
{
    // A list offered earlier and never shown is given up for the new one.
    derived().prepared = std::move(prepared);
}

TavoModel::DerivedCache &TavoModel::derived() const
{
    if (!m_derived)
        m_derived = std::make_shared<DerivedCache>();
    // Prepared lists of a list that is no longer (or never became) either
    // side's are let go rather than kept alive with their tracks.
    std::shared_ptr<PreparedLists> &prepared = m_derived->prepared;
    if (prepared && !prepared->lists.holds(m_tracks) && !prepared->lists.holds(m_deviceTracks))
        prepared.reset();
    return *m_derived;
}

const QList<Track> &TavoModel::activeTracks() const
{
    return m_libraryOnDevice ? m_deviceTracks : m_tracks;
}

bool TavoModel::matches(const Track &track) const
{
    return passesFormat(track, m_formatFilter) && passesResolution(track, m_hiResOnly)
           && (m_search.isEmpty() || text::containsIgnoringCase(searchText(track), m_search));
}

QList<Track> TavoModel::filteredTracks() const
{
    ListCache &cache = derived().currentLists(activeTracks(), m_formatFilter, m_hiResOnly, m_search);
    cache.makeFiltered(sortKind(m_sortMode));
    return cache.filtered;
}

qsizetype TavoModel::filteredCount() const
{
    return derived().currentLists(activeTracks(), m_formatFilter, m_hiResOnly, m_search).matchedCount;
}

QList<Album> TavoModel::albums() const
{
    ListCache &cache = derived().currentLists(activeTracks(), m_formatFilter, m_hiResOnly, m_search);
    cache.makeAlbums(sortKind(m_sortMode));
    return cache.albums;
}

TavoModel::OptionalAlbum TavoModel::albumContaining(const QUuid &trackId) const
{
    ListCache &cache = derived().currentLists(activeTracks(), m_formatFilter, m_hiResOnly, m_search);
    cache.group();
    const auto found = cache.albumOfTrack.constFind(trackId);
    if (found == cache.albumOfTrack.constEnd())
        return std::nullopt;
    return cache.groups.at(cache.slotAlbum[size_t(*found)]);
}

void TavoModel::openAlbumContaining(const Track &track)
{
    setOpenAlbum(albumContaining(track.id));
}

namespace {

// The queue's count and bytes brought up to date with the library and the queued ids.
QueueCache &currentQueue(QueueCache &cache, const QList<Track> &library, const QSet<QUuid> &queued)
{
    if (cache.valid && cache.library.isSharedWith(library) && cache.library.size() == library.size()
        && cache.ids == queued)
        return cache;
    cache.valid = true;
    cache.library = library;
    cache.ids = queued;
    cache.queue.reset();
    cache.count = 0;
    cache.bytes = 0;
    if (!queued.isEmpty()) {
        for (const Track &t : library) {
            if (queued.contains(t.id)) {
                ++cache.count;
                cache.bytes += t.bytes;
            }
        }
    }
    return cache;
}

} // namespace

QList<Track> TavoModel::queue() const
{
    QueueCache &cache = currentQueue(derived().queue, m_tracks, m_queued);
    if (!cache.queue) {
        QList<Track> made;
        made.reserve(cache.count);
        if (cache.count > 0) {
            for (const Track &t : m_tracks) {
                if (m_queued.contains(t.id))
                    made.append(t);
            }
        }
        cache.queue = std::move(made);
    }
    return *cache.queue;
}

qsizetype TavoModel::queueCount() const
{
    return currentQueue(derived().queue, m_tracks, m_queued).count;
}

qint64 TavoModel::queueBytes() const
{
    return currentQueue(derived().queue, m_tracks, m_queued).bytes;
}

TavoModel::OptionalTheme TavoModel::configuredTheme() const
{
    const auto wps = m_deviceConfig.constFind(u"wps"_s);
    if (wps == m_deviceConfig.constEnd())
        return std::nullopt;
    const auto sbs = m_deviceConfig.constFind(u"sbs"_s);
    const bool wantsSbs = sbs != m_deviceConfig.constEnd();

    // Prefer the theme whose status bar matches too; then any with the same screen.
    std::optional<Theme> sameWps;
    for (const Theme &theme : m_themes) {
        const auto settings = m_themeSettings.constFind(theme.url);
        if (settings == m_themeSettings.constEnd())
            continue;
        const auto ownWps = settings->constFind(u"wps"_s);
        if (ownWps == settings->constEnd() || *ownWps != *wps)
            continue;
        const auto ownSbs = settings->constFind(u"sbs"_s);
        if (!wantsSbs || (ownSbs != settings->constEnd() && *ownSbs == *sbs))
            return theme;
        if (!sameWps)
            sameWps = theme;
    }
    return sameWps;
}

IPodProfile TavoModel::deviceProfile() const
{
    if (!m_device)
        return IPodProfile::placeholder();
    if (const std::optional<QString> chosen = Defaults::string(u"appearance-"_s + m_device->root)) {
        for (const IPodProfile &profile : IPodProfile::all()) {
            if (profile.id == *chosen)
                return profile;
        }
    }
    const auto target = m_deviceInfo.constFind(u"Target"_s);
    return IPodProfile::automatic(target == m_deviceInfo.constEnd() ? std::nullopt : std::optional<QString>(*target));
}

QString TavoModel::deviceFinish() const
{
    if (!m_device)
        return u"white"_s;
    if (const std::optional<QString> chosen = Defaults::string(u"finish-"_s + m_device->root))
        return *chosen;
    return deviceProfile().finish;
}

void TavoModel::storeDeviceChoice(const QString &prefix, const QString &value)
{
    if (!m_device)
        return;
    const QString key = prefix + m_device->root;
    if (value == u"auto"_s)
        Defaults::remove(key);
    else
        Defaults::setString(key, value);
    // The choice lives in the settings, not in a published field: tell the views.
    emit objectWillChange();
}

void TavoModel::setAppearance(const QString &value)
{
    storeDeviceChoice(u"appearance-"_s, value);
}

void TavoModel::setFinish(const QString &value)
{
    storeDeviceChoice(u"finish-"_s, value);
}
