#include "model/importscan.h"

#include "media/albumgrouping.h"
#include "media/audioinfo.h"
#include "model/modeltasks.h"
#include "model/tavomodel.h"
#include "platform/mediaasset.h"
#include "platform/paths.h"
#include "platform/text.h"

#include <QCollatorSortKey>
#include <QHash>
#include <QMutex>
#include <QRandomGenerator>
#include <QThread>
#include <QThreadPool>
#include <QUuid>
#include <QtConcurrent/QtConcurrentMap>
#include <algorithm>
#include <chrono>
#include <future>
#include <numeric>
#include <vector>
#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// A new track's id: a random (version 4) UUID, as QUuid::createUuid makes,
// drawn from a generator of the thread's own, seeded once from the system's
// source. An import makes one per file, tens of thousands at a start, and
// asking the system's source (the processor's random instruction) for each
// costs more than the rest of taking a stored record. Ids are never stored.
QUuid newTrackId()
{
    thread_local QRandomGenerator64 generator = QRandomGenerator64::securelySeeded();
    const quint64 high = generator.generate64();
    const quint64 low = generator.generate64();
    QUuid id;
    id.data1 = uint(high >> 32);
    id.data2 = ushort(high >> 16);
    id.data3 = ushort((high & 0x0FFF) | 0x4000); // version 4
    id.data4[0] = uchar(((low >> 56) & 0x3F) | 0x80); // the RFC 4122 variant
    for (int b = 1; b < 8; ++b)
        id.data4[b] = uchar(low >> (8 * (7 - b)));
    return id;
}

// What one chosen item is, from one lstat (links are never followed, so for
// anything that is not a link it says what stat would).
enum class ItemKind : char { skipped, folder, audioFile };

ItemKind itemKind(const QString &url, const ImportScan::SeenItems *seen = nullptr)
{
    if (paths::lastComponent(url).startsWith(u'.'))
        return ItemKind::skipped;
    if (seen) {
        const auto item = seen->constFind(url);
        if (item != seen->cend()) {
            using Kind = ImportScan::SeenItem::Kind;
            if (item->kind == Kind::folder)
                return ItemKind::folder;
            return item->kind == Kind::regular && hasAudioExtension(url) ? ItemKind::audioFile : ItemKind::skipped;
        }
    }
    struct stat st;
    if (::lstat(paths::encode(url).constData(), &st) != 0 || S_ISLNK(st.st_mode))
        return ItemKind::skipped;
    if (S_ISDIR(st.st_mode))
        return ItemKind::folder;
    return S_ISREG(st.st_mode) && hasAudioExtension(url) ? ItemKind::audioFile : ItemKind::skipped;
}

// Runs `work(i)` for every i below `count`, on several threads when there is
// enough of it.
template <typename Work>
void forEachIndex(qsizetype count, Work work)
{
    constexpr qsizetype threshold = 256;
    if (count < threshold) {
        for (qsizetype i = 0; i < count; ++i)
            work(i);
        return;
    }
    std::vector<qsizetype> indices(static_cast<size_t>(count));
    std::iota(indices.begin(), indices.end(), qsizetype(0));
    QThreadPool pool;
    pool.setMaxThreadCount(std::max(1, QThread::idealThreadCount()));
    const ModelTasks::FilePoolWait waiting;
    QtConcurrent::blockingMap(&pool, indices, [&](qsizetype i) { work(i); });
}

} // namespace

namespace {

QStringList scanAudio(const QStringList &urls, qsizetype *unreadableNames, const ImportScan::SeenItems *seen)
{
    // The items are told apart on several threads (a saved library passes
    // every one of its files); the folders are then walked in order.
    std::vector<ItemKind> kinds(size_t(urls.size()));
    forEachIndex(urls.size(), [&](qsizetype i) { kinds[size_t(i)] = itemKind(urls.at(i), seen); });
    QStringList found;
    std::vector<paths::WalkEntry> unreadable;
    for (qsizetype i = 0; i < urls.size(); ++i) {
        const QString &url = urls.at(i);
        if (kinds[size_t(i)] == ItemKind::folder) {
            paths::walk(url, true, [&](const paths::WalkEntry &entry) {
                // The walker never descends into a link; a folder named like an
                // audio file is searched but is no track, and neither is a FIFO.
                if (entry.isRegular && hasAudioExtension(entry.path))
                    found.append(entry.path);
                return true;
            }, unreadableNames ? &unreadable : nullptr);
        } else if (kinds[size_t(i)] == ItemKind::audioFile) {
            found.append(url);
        }
    }
    // What would have been taken, had its name been readable: an audio file,
    // or a folder that may hold some.
    if (unreadableNames) {
        for (const paths::WalkEntry &entry : unreadable) {
            if (entry.isDirectory || (entry.isRegular && hasAudioExtension(entry.path)))
                ++*unreadableNames;
        }
    }
    return found;
}

} // namespace

QStringList scanAudio(const QStringList &urls, qsizetype *unreadableNames)
{
    return scanAudio(urls, unreadableNames, nullptr);
}

namespace ImportScan {


qint64 leadingNumber(const QString &fileName)
{
    QString run;
    for (qsizetype i = 0; i < fileName.size();) {
        char32_t c = fileName.at(i).unicode();
        qsizetype width = 1;
        if (QChar::isHighSurrogate(c) && i + 1 < fileName.size() && fileName.at(i + 1).isLowSurrogate()) {
            c = QChar::surrogateToUcs4(fileName.at(i).unicode(), fileName.at(i + 1).unicode());
            width = 2;
        }
        if (!QChar::isNumber(c))
            break;
        run += fileName.mid(i, width);
        i += width;
    }
    // Numeric characters that are not ASCII digits ("½", "①") do not read as a number.
    return text::parseDecimalInt64(run).value_or(0);
}

namespace {

std::optional<QByteArray> readImageFile(const QString &path, std::optional<LibraryStore::Stamp> *stamp);

} // namespace

std::optional<QByteArray> readImageFile(const QString &path)
{
    return readImageFile(path, nullptr);
}

namespace {

std::optional<QByteArray> readImageFile(const QString &path, std::optional<LibraryStore::Stamp> *stamp)
{
    constexpr qint64 limit = 10'000'000;
    // Non-blocking, so that a FIFO named like a cover can never hang the scan.
    const int fd = ::open(paths::encode(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    std::optional<QByteArray> result;
    struct stat st;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size < limit) {
        QByteArray bytes(qsizetype(st.st_size), Qt::Uninitialized);
        qint64 done = 0;
        bool failed = false;
        while (done < bytes.size()) {
            const ssize_t n = ::read(fd, bytes.data() + done, size_t(bytes.size() - done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                failed = true;
                break;
            }
            if (n == 0)
                break;
            done += n;
        }
        if (!failed) {
            // A file that shrank while read keeps what was there.
            bytes.truncate(qsizetype(done));
            result = bytes;
            if (stamp)
                *stamp = LibraryStore::Stamp{qint64(st.st_size), qint64(st.st_mtim.tv_sec) * 1'000'000'000
                                                                     + qint64(st.st_mtim.tv_nsec)};
        }
    }
    ::close(fd);
    return result;
}

} // namespace

namespace {

// What the metadata items of a non-FLAC file leave for one file. Each value is
// absent until an item of its kind appears; an item that yields nothing makes
// it absent again, so the last such item decides.
struct ItemValues {
    std::optional<QString> title;
    std::optional<QString> artist;
    std::optional<QString> album;
    std::optional<QByteArray> artwork;
};

ItemValues applyMetadataItems(const QList<MetadataItem> &items, AudioInfo &info);

} // namespace

const QList<QLatin1StringView> &tagFrames()
{
    // Every frame applyMetadataItems() looks at: the common keys' frames, the
    // numbers, the dates and the album artist.
    static const QList<QLatin1StringView> frames = {"TIT2"_L1, "TPE1"_L1, "TALB"_L1, "APIC"_L1, "TDRC"_L1,
                                                    "TYER"_L1, "TPOS"_L1, "TRCK"_L1, "TPE2"_L1};
    return frames;
}

TagValues tagValues(const QList<MetadataItem> &items)
{
    TagValues result;
    const ItemValues values = applyMetadataItems(items, result.info);
    result.title = values.title;
    result.artist = values.artist;
    result.album = values.album;
    result.artwork = values.artwork;
    return result;
}

namespace {

ItemValues applyMetadataItems(const QList<MetadataItem> &items, AudioInfo &info)
{
    ItemValues values;
    for (const MetadataItem &item : items) {
        const MetadataCommonKey key = item.commonKey;
        if (key == MetadataCommonKey::title)
            values.title = item.stringValue;
        else if (key == MetadataCommonKey::artist)
            values.artist = item.stringValue;
        else if (key == MetadataCommonKey::albumName)
            values.album = item.stringValue;
        else if (key == MetadataCommonKey::artwork)
            values.artwork = item.dataValue;

        const QString &id = item.identifier;
        if (id.contains(u"TPOS"_s) && item.stringValue)
            info.discNumber = firstPieceNumber(*item.stringValue).value_or(0);
        if ((id.contains(u"TRCK"_s) || id.contains(u"trackNumber"_s)) && item.stringValue) {
            if (const auto number = firstPieceNumber(*item.stringValue))
                info.trackNumber = *number;
        }
        if ((id.contains(u"TDRC"_s) || id.contains(u"TYER"_s) || key == MetadataCommonKey::creationDate)
            && item.stringValue)
            info.year = item.stringValue->left(4);
        if (id.contains(u"TPE2"_s) && item.stringValue)
            info.tags.insert(u"ALBUMARTIST"_s, *item.stringValue);
    }
    if (values.title && !values.title->isEmpty())
        info.tags.insert(u"TITLE"_s, *values.title);
    if (values.artist && !values.artist->isEmpty())
        info.tags.insert(u"ARTIST"_s, *values.artist);
    if (values.album && !values.album->isEmpty())
        info.tags.insert(u"ALBUM"_s, *values.album);
    return values;
}

std::optional<QString> tag(const AudioInfo &info, const QString &name)
{
    const auto it = info.tags.constFind(name);
    if (it == info.tags.constEnd())
        return std::nullopt;
    return *it;
}

const QStringList &folderCoverNames()
{
    static const QStringList names = {u"cover.jpeg"_s, u"cover.jpg"_s, u"cover.bmp"_s,
                                      u"folder.jpg"_s, u"cover.png"_s, u"folder.png"_s};
    return names;
}

} // namespace

namespace {

// Everything of a track but its cover, and the file's embedded picture.
Track readTags(const QString &path, std::optional<QByteArray> &embedded)
{
    MediaAsset asset(path);
    AudioInfo info = AudioInfo::read(path, asset);

    // FLAC tags come from our own reader only; the other files are asked for
    // the few frames used here, not for every item they hold.
    ItemValues values;
    if (paths::extension(path).toLower() != u"flac"_s)
        values = applyMetadataItems(asset.metadata(tagFrames()).value_or(QList<MetadataItem>()), info);

    const QString folder = paths::parent(path);
    // The tracks of a folder mostly come one after another on one thread:
    // its name is matched against the disc pattern once for them.
    thread_local QString lastFolder;
    thread_local bool lastFolderIsDisc = false;
    if (folder != lastFolder) {
        lastFolderIsDisc = AlbumGrouping::folderDisc(paths::lastComponent(folder)).has_value();
        lastFolder = folder;
    }
    const bool discFolder = lastFolderIsDisc;
    const QString albumFolder = discFolder ? paths::parent(folder) : folder;
    const QString artistFolderName = paths::lastComponent(paths::parent(albumFolder));

    // A present but empty tag or item counts as present.
    std::optional<QString> title = tag(info, u"TITLE"_s);
    if (!title)
        title = values.title;
    std::optional<QString> artist = tag(info, u"ALBUMARTIST"_s);
    if (!artist)
        artist = tag(info, u"ARTIST"_s);
    if (!artist)
        artist = values.artist;
    std::optional<QString> album = tag(info, u"ALBUM"_s);
    if (!album)
        album = values.album;

    const QString fileName = paths::lastComponent(path);
    if (info.trackNumber == 0)
        info.trackNumber = leadingNumber(fileName);

    Track track;
    track.id = newTrackId();
    track.url = path;
    track.title = title.value_or(paths::deletingExtension(fileName));
    track.artist = artist.value_or(artistFolderName);
    track.album = album.value_or(paths::lastComponent(folder));
    // The size the open file gave, when it was opened for its tags.
    const std::optional<qint64> opened = asset.openedSize();
    track.bytes = opened ? *opened : paths::fileSize(path).value_or(0);

    embedded = info.picture ? info.picture : values.artwork;
    track.hasEmbeddedArt = embedded.has_value();
    info.picture.reset();
    track.info = info;
    return track;
}

enum class CoverChoice { other, embedded, needsEmbedded };

// Cover: the user's choice, an image named like the track, the embedded
// picture, then the usual cover files of the folder. The embedded picture is
// `embedded` when known (a stored record's), else made from `embeddedBytes`
// when the choice falls to it; `embeddedKnown` false: the track has an
// embedded picture that is not at hand, and the choice then stops where it
// would need it. With `pending`, a cover another thread is still making is
// left to come: the choice stops at it with no artwork and `pending` set.
CoverChoice chooseCover(Track &track, std::optional<Cover> &embedded, const std::optional<QByteArray> &embeddedBytes,
                        bool embeddedKnown, const QMap<QString, QString> &overrides, CoverFiles &covers,
                        CoverFiles::Pending *pending = nullptr)
{
    const auto waits = [pending] { return pending && pending->valid(); };
    const QString folder = paths::parent(track.url);
    const QString fileName = paths::lastComponent(track.url);
    track.artwork.reset();
    const QString overrideKey = track.artist + QChar(u'\0') + track.album + QChar(u'\0') + folder;
    const auto chosen = overrides.constFind(overrideKey);
    if (chosen != overrides.constEnd())
        track.artwork = covers.image(*chosen, pending);
    if (!track.artwork && !waits()) {
        const QString stem = paths::deletingExtension(fileName);
        track.artwork = covers.imageIn(folder, stem + u".jpeg"_s, pending);
        if (!track.artwork && !waits())
            track.artwork = covers.imageIn(folder, stem + u".jpg"_s, pending);
    }
    if (track.artwork || waits())
        return CoverChoice::other;
    if (!embedded && embeddedBytes) {
        embedded = covers.shared(*embeddedBytes, pending);
        if (waits())
            return CoverChoice::embedded;
    }
    if (track.hasEmbeddedArt && !embeddedKnown && !embedded)
        return CoverChoice::needsEmbedded;
    if (embedded) {
        track.artwork = embedded;
        return CoverChoice::embedded;
    }
    for (qsizetype i = 0; !track.artwork && !waits() && i < folderCoverNames().size(); ++i)
        track.artwork = covers.imageIn(folder, folderCoverNames().at(i), pending);
    return CoverChoice::other;
}

} // namespace

Track readFile(const QString &path, const QMap<QString, QString> &overrides, CoverFiles &covers)
{
    std::optional<QByteArray> bytes;
    Track track = readTags(path, bytes);
    std::optional<Cover> embedded;
    chooseCover(track, embedded, bytes, true, overrides, covers);
    return track;
}


Track readFile(const QString &path, const QMap<QString, QString> &overrides)
{
    CoverFiles covers;
    return readFile(path, overrides, covers);
}

struct CoverFiles::State {
    QMutex mutex;
    // Each picture is made once: the first thread to ask makes it outside the
    // lock, the others wait for it or, when they can, go on without it (the
    // tracks of one album are read at once, and a preview takes a while).
    QHash<QString, std::shared_future<std::optional<Cover>>> images; // by path
    QHash<QString, std::shared_future<bool>> imagesRead;             // whether the file was read
    QHash<QString, std::optional<QSet<QString>>> folders;            // names; none: unreadable
    QHash<QByteArray, std::shared_future<std::optional<Cover>>> pictures; // embedded, by identity
    QHash<QString, qint64> listedTimes;                              // of folders listed, when settled
    QHash<QString, LibraryStore::Stamp> readStamps;                  // of image files read, when settled
    QHash<QString, qint64> folderTimes;                              // as asked again; 0: not a folder now
    QHash<QString, std::optional<LibraryStore::Stamp>> fileStamps;   // as asked again
};

namespace {

// A time of change far enough in the past that a change made after it, even
// on a disk that keeps times to two seconds, gives another time: a listing or
// a reading made before such a change is never taken for the current one.
bool settled(qint64 modified)
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    const qint64 nowNs = qint64(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
    return modified > 0 && nowNs - modified >= qint64(3) * 1'000'000'000;
}

qint64 folderTime(const QString &folder)
{
    struct stat st {};
    if (::stat(paths::encode(folder).constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        return 0;
    return qint64(st.st_mtim.tv_sec) * 1'000'000'000 + qint64(st.st_mtim.tv_nsec);
}

} // namespace

qint64 CoverFiles::listedTime(const QString &folder) const
{
    QMutexLocker lock(&m_state->mutex);
    return m_state->listedTimes.value(folder, 0);
}

std::optional<LibraryStore::Stamp> CoverFiles::readStamp(const QString &path) const
{
    QMutexLocker lock(&m_state->mutex);
    const auto known = m_state->readStamps.constFind(path);
    if (known == m_state->readStamps.cend())
        return std::nullopt;
    return *known;
}

bool CoverFiles::folderStill(const QString &folder, qint64 time)
{
    {
        QMutexLocker lock(&m_state->mutex);
        const auto known = m_state->folderTimes.constFind(folder);
        if (known != m_state->folderTimes.cend())
            return *known == time;
    }
    const qint64 now = folderTime(folder);
    QMutexLocker lock(&m_state->mutex);
    m_state->folderTimes.insert(folder, now);
    return now == time;
}

bool CoverFiles::fileStill(const QString &path, const LibraryStore::Stamp &stamp)
{
    {
        QMutexLocker lock(&m_state->mutex);
        const auto known = m_state->fileStamps.constFind(path);
        if (known != m_state->fileStamps.cend())
            return *known == stamp;
    }
    const std::optional<LibraryStore::Stamp> now = LibraryStore::stamp(path);
    QMutexLocker lock(&m_state->mutex);
    m_state->fileStamps.insert(path, now);
    return now == stamp;
}

CoverFiles::CoverFiles() : m_state(std::make_unique<State>()) {}
CoverFiles::~CoverFiles() = default;

namespace {

using Pending = CoverFiles::Pending;

bool ready(const Pending &future)
{
    return future.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
}

// The cover `make` gives for `key`, made by the first caller and shared. A
// later caller waits for it, or with `pending` gets none while it is being
// made and `pending` set to it.
template <typename Key, typename Make>
std::optional<Cover> once(QMutex &mutex, QHash<Key, Pending> &made, const Key &key, Pending *pending, Make make)
{
    std::promise<std::optional<Cover>> promise;
    Pending future;
    {
        QMutexLocker lock(&mutex);
        const auto known = made.constFind(key);
        if (known != made.constEnd())
            future = *known;
        else
            made.insert(key, promise.get_future().share());
    }
    if (future.valid()) {
        if (pending && !ready(future)) {
            *pending = future;
            return std::nullopt;
        }
        return future.get();
    }
    try {
        std::optional<Cover> value = make();
        promise.set_value(value);
        return value;
    } catch (...) {
        promise.set_exception(std::current_exception());
        throw;
    }
}

} // namespace

std::optional<Cover> CoverFiles::image(const QString &path, Pending *pending)
{
    // Whether the file is there is known as soon as it is read; only then is
    // its preview made, which takes far longer. A caller that does not wait
    // for the preview waits for the reading alone, to know the cover is there.
    std::promise<std::optional<Cover>> coverPromise;
    std::promise<bool> readPromise;
    Pending cover;
    std::shared_future<bool> read;
    {
        QMutexLocker lock(&m_state->mutex);
        const auto known = m_state->images.constFind(path);
        if (known != m_state->images.constEnd()) {
            cover = *known;
            read = m_state->imagesRead.value(path);
        } else {
            m_state->images.insert(path, coverPromise.get_future().share());
            m_state->imagesRead.insert(path, readPromise.get_future().share());
        }
    }
    if (cover.valid()) {
        if (pending && !ready(cover)) {
            if (read.get())
                *pending = cover;
            return std::nullopt;
        }
        return cover.get();
    }
    bool told = false;
    try {
        std::optional<LibraryStore::Stamp> stamp;
        const std::optional<QByteArray> bytes = readImageFile(path, &stamp);
        if (bytes && stamp && settled(stamp->modified)) {
            QMutexLocker lock(&m_state->mutex);
            m_state->readStamps.insert(path, *stamp);
        }
        told = true;
        readPromise.set_value(bytes.has_value());
        std::optional<Cover> made;
        if (bytes)
            made = Cover::read(*bytes, path, Cover::identityOf(*bytes));
        coverPromise.set_value(made);
        return made;
    } catch (...) {
        if (!told)
            readPromise.set_exception(std::current_exception());
        coverPromise.set_exception(std::current_exception());
        throw;
    }
}

std::optional<Cover> CoverFiles::imageIn(const QString &folder, const QString &name, Pending *pending)
{
    // Whether the folder's listing holds the name, looked up under the lock
    // (the threads share the listings; copying one out would make them
    // contend for its reference count).
    enum class Entry { unknown, missing, listed, unlisted };
    auto lookUp = [&](const std::optional<QSet<QString>> &names) {
        return !names ? Entry::unlisted : names->contains(name) ? Entry::listed : Entry::missing;
    };
    Entry entry = Entry::unknown;
    {
        QMutexLocker lock(&m_state->mutex);
        const auto known = m_state->folders.constFind(folder);
        if (known != m_state->folders.constEnd())
            entry = lookUp(*known);
    }
    if (entry == Entry::unknown) {
        // The time first: a change while listing then shows as a later time.
        const qint64 time = folderTime(folder);
        std::optional<QSet<QString>> names;
        if (const std::optional<QStringList> entries = paths::list(folder))
            names = QSet<QString>(entries->cbegin(), entries->cend());
        entry = lookUp(names);
        QMutexLocker lock(&m_state->mutex);
        if (names && settled(time))
            m_state->listedTimes.insert(folder, time);
        m_state->folders.insert(folder, std::move(names));
    }
    // A folder that could not be listed is asked file by file, as before.
    if (entry == Entry::missing)
        return std::nullopt;
    return image(paths::appending(folder, name), pending);
}

std::optional<Cover> CoverFiles::shared(const QByteArray &picture, Pending *pending)
{
    const QByteArray identity = Cover::identityOf(picture);
    return once(m_state->mutex, m_state->pictures, identity, pending,
                [&] { return std::optional<Cover>(Cover::read(picture, QString(), identity)); });
}

Cover CoverFiles::shared(const QByteArray &picture)
{
    return *shared(picture, nullptr);
}

namespace {

bool overridden(const Track &track, const QMap<QString, QString> &overrides)
{
    return !overrides.isEmpty()
           && overrides.contains(track.artist + QChar(u'\0') + track.album + QChar(u'\0') + paths::parent(track.url));
}

// Whether the cover a record keeps is the one the choice would make now: the
// folder's entries are those it was chosen among (its time is the same), the
// cover file is unchanged, and no cover of the user's own applies.
bool storedCoverHolds(const LibraryStore::Record &record, const QMap<QString, QString> &overrides, CoverFiles &covers)
{
    if (record.folder == 0 || overridden(record.track, overrides))
        return false;
    if (record.cover && record.cover->isHeld())
        return false;
    if (!covers.folderStill(paths::parent(record.track.url), record.folder))
        return false;
    return !record.cover || record.cover->isEmbedded() || covers.fileStill(record.cover->file(), record.coverFile);
}

// What a record keeps of the choice just made: the time of the folder listed
// for it and the stamp of the cover file read; a time of 0 when the choice
// cannot be kept (a cover of the user's own, a folder or file too freshly
// changed to be sure of).
std::pair<qint64, LibraryStore::Stamp> chosenCoverFacts(const Track &track, const QMap<QString, QString> &overrides,
                                                        CoverFiles &covers)
{
    if (overridden(track, overrides) || (track.artwork && track.artwork->isHeld()))
        return {0, {}};
    const qint64 time = covers.listedTime(paths::parent(track.url));
    if (time == 0 || !track.artwork || track.artwork->isEmbedded())
        return {time, {}};
    const std::optional<LibraryStore::Stamp> stamp = covers.readStamp(track.artwork->file());
    return stamp ? std::pair(time, *stamp) : std::pair(qint64(0), LibraryStore::Stamp{});
}

} // namespace

QList<Track> run(const QStringList &chosen, QSet<QString> knownPaths, const QMap<QString, QString> &overrides,
                 const ProgressPost &post, const LibraryStore::Records *stored, LibraryStore::Records *read,
                 qsizetype *unreadableNames, const SeenItems *seen)
{
    QStringList files = scanAudio(chosen, unreadableNames, seen);
    // Natural order, from keys made once per path (comparing the paths
    // themselves again and again costs far more on a big library). Paths
    // already in that order (a start reads the saved library, kept in the
    // order its one import made) are told by one pass over neighbours, and
    // no keys are made for them: the sort, being stable, would keep them so.
    const auto inOrder = [&files] {
        for (qsizetype i = 1; i < files.size(); ++i) {
            if (text::finderCompare(files.at(i), files.at(i - 1)) < 0)
                return false;
        }
        return true;
    };
    if (!inOrder()) {
        std::vector<std::optional<QCollatorSortKey>> made(size_t(files.size()));
        forEachIndex(files.size(), [&](qsizetype i) { made[size_t(i)] = text::finderSortKey(files.at(i)); });
        std::vector<QCollatorSortKey> keys;
        keys.reserve(size_t(files.size()));
        for (std::optional<QCollatorSortKey> &key : made)
            keys.push_back(std::move(*key));
        std::vector<qsizetype> order(size_t(files.size()));
        std::iota(order.begin(), order.end(), qsizetype(0));
        std::stable_sort(order.begin(), order.end(),
                         [&](qsizetype a, qsizetype b) { return keys[size_t(a)].compare(keys[size_t(b)]) < 0; });
        QStringList sorted;
        sorted.reserve(files.size());
        for (qsizetype i : order)
            sorted.append(files.at(i));
        files = std::move(sorted);
    }
    const qsizetype total = files.size();

    // The positions to read: each file once, none the caller already has.
    std::vector<qsizetype> positions;
    positions.reserve(size_t(total));
    for (qsizetype i = 0; i < total; ++i) {
        const QString key = paths::standardized(files.at(i));
        if (knownPaths.contains(key))
            continue;
        knownPaths.insert(key);
        positions.push_back(i);
    }

    // Files are read on every core in one pass, with no thread ever waiting
    // for the others to end a batch (on a busy machine one slow thread would
    // hold up all of them). A file's progress step is posted once it and every
    // file before it are read, in order, so the steps and the tracks come out
    // exactly as a reading one by one would give them.
    CoverFiles covers;
    QThreadPool pool;
    pool.setMaxThreadCount(std::max(1, QThread::idealThreadCount()));
    std::vector<Track> tracks(positions.size());
    std::vector<std::optional<LibraryStore::Record>> records(read ? positions.size() : 0);
    // What a file read keeps for its record.
    auto keep = [&](size_t k, Track track, const std::optional<Cover> &embedded, CoverChoice choice,
                    const std::optional<LibraryStore::Stamp> &stamp,
                    std::optional<std::pair<qint64, LibraryStore::Stamp>> coverFacts) {
        if (read && stamp) {
            LibraryStore::Record record;
            record.stamp = *stamp;
            record.track = track;
            record.track.artwork.reset();
            if (choice == CoverChoice::embedded)
                record.embedded = embedded;
            if (!coverFacts)
                coverFacts = chosenCoverFacts(track, overrides, covers);
            if (coverFacts->first != 0) {
                record.folder = coverFacts->first;
                record.coverFile = coverFacts->second;
                record.cover = track.artwork;
            }
            records[k] = std::move(record);
        }
        tracks[k] = std::move(track);
    };
    // A file whose cover another thread was still making: the thread reading
    // it goes on to other files rather than wait (the tracks of one album come
    // together, and a large picture's preview takes long), and the track gets
    // the cover once it is made.
    struct Waiting {
        size_t k;
        CoverFiles::Pending cover;
        CoverChoice choice;
        std::optional<LibraryStore::Stamp> stamp;
    };
    auto completeWaiting = [&](Waiting &file) {
        Track track = std::move(tracks[file.k]);
        track.artwork = file.cover.get();
        std::optional<Cover> embedded;
        if (file.choice == CoverChoice::embedded)
            embedded = track.artwork;
        keep(file.k, std::move(track), embedded, file.choice, file.stamp, std::nullopt);
    };
    // One file: from its stored record while the file is unchanged, else read.
    // A file that waits for its cover is returned, not yet kept.
    auto readOne = [&](size_t k) -> std::optional<Waiting> {
        const QString &path = files.at(positions[k]);
        std::optional<LibraryStore::Stamp> stamp;
        if (stored || read) {
            // A file the caller looked at already is not asked again.
            const auto item = seen ? seen->constFind(path) : SeenItems::const_iterator();
            if (seen && item != seen->cend() && item->kind == SeenItem::Kind::regular)
                stamp = item->stamp;
            else
                stamp = LibraryStore::stamp(path);
        }
        Track track;
        std::optional<Cover> embedded;
        CoverChoice choice = CoverChoice::needsEmbedded;
        std::optional<std::pair<qint64, LibraryStore::Stamp>> coverFacts; // the folder's time, the cover file's stamp
        CoverFiles::Pending pending;
        if (stored && stamp) {
            const auto record = stored->constFind(path);
            if (record != stored->constEnd() && record->stamp == *stamp) {
                track = record->track;
                track.id = newTrackId();
                embedded = record->embedded;
                if (storedCoverHolds(*record, overrides, covers)) {
                    // The folder has the entries it had: the cover chosen then still is.
                    track.artwork = record->cover;
                    choice = record->cover && record->cover->isEmbedded() ? CoverChoice::embedded : CoverChoice::other;
                    coverFacts = {record->folder, record->coverFile};
                } else {
                    // A cover that now falls to an embedded picture the record
                    // does not hold needs the file read after all.
                    choice = chooseCover(track, embedded, std::nullopt, embedded.has_value() || !track.hasEmbeddedArt,
                                         overrides, covers, &pending);
                }
            }
        }
        if (choice == CoverChoice::needsEmbedded) {
            embedded.reset();
            std::optional<QByteArray> bytes;
            track = readTags(path, bytes);
            pending = CoverFiles::Pending();
            choice = chooseCover(track, embedded, bytes, true, overrides, covers, &pending);
        }
        if (pending.valid()) {
            tracks[k] = std::move(track);
            return Waiting{k, std::move(pending), choice, stamp};
        }
        keep(k, std::move(track), embedded, choice, stamp, coverFacts);
        return std::nullopt;
    };
    QMutex progressMutex;
    std::vector<char> done(positions.size(), 0);
    std::vector<Waiting> waitingFiles; // under progressMutex
    size_t posted = 0; // the files whose steps are out: all before this one
    // Under progressMutex: the files waiting for a cover now made are kept,
    // and the steps of the files read in order are posted.
    auto completeAndPost = [&] {
        for (auto it = waitingFiles.begin(); it != waitingFiles.end();) {
            if (it->cover.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
                ++it;
                continue;
            }
            completeWaiting(*it);
            done[it->k] = 1;
            it = waitingFiles.erase(it);
        }
        for (; posted < positions.size() && done[posted]; ++posted) {
            if (positions[posted] % 20 == 0 && post)
                post(positions[posted], total);
        }
    };
    auto readAndPost = [&](size_t k) {
        std::optional<Waiting> waits = readOne(k);
        QMutexLocker lock(&progressMutex);
        // A cover is made before the thread making it gets here, so a file
        // that waits for it is always kept by that thread or right away.
        if (waits)
            waitingFiles.push_back(std::move(*waits));
        else
            done[k] = 1;
        completeAndPost();
    };
    std::vector<size_t> indices(positions.size());
    std::iota(indices.begin(), indices.end(), size_t(0));
    {
        // The covers' previews are scaled on the file pool.
        const ModelTasks::FilePoolWait waiting;
        QtConcurrent::blockingMap(&pool, indices, readAndPost);
    }
    {
        // Every cover is made by now.
        QMutexLocker lock(&progressMutex);
        for (const Waiting &file : waitingFiles)
            file.cover.wait();
        completeAndPost();
    }

    if (read) {
        read->reserve(read->size() + qsizetype(records.size()));
        for (std::optional<LibraryStore::Record> &record : records) {
            if (record)
                read->insert(record->track.url, std::move(*record));
        }
    }
    QList<Track> found;
    found.reserve(qsizetype(tracks.size()));
    for (Track &track : tracks)
        found.append(std::move(track));
    return found;
}

} // namespace ImportScan
