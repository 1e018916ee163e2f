#include "model/librarystore.h"

#include "platform/appfolders.h"
#include "platform/paths.h"
#include "platform/sha256.h"
#include "platform/statefile.h"

#include <QBuffer>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QSet>
#include <QThread>
#include <QThreadPool>
#include <QtEndian>
#include <QtConcurrent/QtConcurrentMap>
#include <QtConcurrent/QtConcurrentRun>
#include <cstring>
#include <functional>
#include <type_traits>
#include <vector>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace LibraryStore {
namespace {

constexpr char magic[] = "VONTARO-LIBRARY\n";
// 4: as 3, and each record with its chosen cover and the folder's time.
// 3: each distinct picture once, as its identity, facts and preview.
// 2: each distinct picture's whole bytes (still read; their covers are made
// again from them).
constexpr quint32 version = 4;
constexpr quint32 previewsVersion = 3;
constexpr quint32 wholePicturesVersion = 2;
constexpr qsizetype chunkSize = 2048; // records per chunk
constexpr qsizetype digestSize = 32;
// Far above any real library with its pictures; a file beyond it is not ours.
constexpr qint64 largestFile = qint64(8) << 30;

void write(QDataStream &out, const Track &t)
{
    out << t.url << t.title << t.artist << t.album << t.bytes << t.hasEmbeddedArt;
    const AudioInfo &i = t.info;
    out << i.codec << i.sampleRate << i.bitDepth << i.duration << i.bitrate << i.trackNumber << i.discNumber << i.year
        << i.tags;
}

// The few texts that recur across records (tag names, codecs, years): the
// records of one chunk hold one copy of each. A library's records are tens
// of thousands, and every text held on its own is one more block to allocate
// as they are read and to free at the end.
class SharedTexts
{
public:
    void share(QString &text)
    {
        if (text.isEmpty())
            return;
        // A handful of texts, mostly of different lengths: a look along them
        // costs less than hashing each text read.
        for (const QString &known : m_texts) {
            if (known.size() == text.size() && known == text) {
                text = known;
                return;
            }
        }
        if (m_texts.size() < limit)
            m_texts.push_back(text);
    }

private:
    static constexpr size_t limit = 128; // beyond it, texts are not recurring ones
    std::vector<QString> m_texts;
};

// Reads what QDataStream (version Qt_6_4, big-endian, doubles in double
// precision) wrote, straight from the bytes: the records are most of the
// file, and going through a stream and a device for every field costs more
// than the fields themselves. Anything cut short or malformed leaves it
// failed, after which every read gives nothing.
class FieldReader
{
public:
    explicit FieldReader(const QByteArray &bytes)
        : m_at(reinterpret_cast<const uchar *>(bytes.constData())), m_end(m_at + bytes.size())
    {
    }

    bool ok() const { return m_ok; }
    bool atEnd() const { return m_at == m_end; }

    template <typename Integer>
    Integer integer()
    {
        static_assert(std::is_integral_v<Integer>);
        if (!take(sizeof(Integer)))
            return 0;
        Integer value = qFromBigEndian<Integer>(m_at - sizeof(Integer));
        return value;
    }
    bool boolean() { return integer<qint8>() != 0; }
    double real()
    {
        const quint64 bits = integer<quint64>();
        double value = 0;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }
    // As QDataStream reads a QString: the byte count (all ones for a null
    // string), then UTF-16 units; an empty one is empty, not null.
    QString text()
    {
        const quint32 bytes = integer<quint32>();
        if (!m_ok)
            return QString();
        if (bytes == 0xFFFFFFFFu)
            return QString();
        if (bytes == 0)
            return QString(QLatin1StringView(""));
        if ((bytes & 1) != 0 || !take(bytes)) {
            m_ok = false;
            return QString();
        }
        const uchar *units = m_at - bytes;
        QString result(qsizetype(bytes / 2), Qt::Uninitialized);
        char16_t *out = reinterpret_cast<char16_t *>(result.data());
        for (quint32 u = 0; u < bytes / 2; ++u)
            out[u] = char16_t((units[2 * u] << 8) | units[2 * u + 1]);
        return result;
    }

private:
    bool take(size_t size)
    {
        if (!m_ok || size_t(m_end - m_at) < size) {
            m_ok = false;
            m_at = m_end;
            return false;
        }
        m_at += size;
        return true;
    }

    const uchar *m_at;
    const uchar *m_end;
    bool m_ok = true;
};

// As QDataStream reads a QMap (a count, then each name and value), with the
// names shared and a value equal to the track's title, artist or album taken
// as that text. The names come in ascending order, so each goes at the end.
void readTags(FieldReader &in, const Track &t, QMap<QString, QString> &tags, SharedTexts &shared)
{
    tags.clear();
    const quint32 count = in.integer<quint32>();
    for (quint32 n = 0; n < count && in.ok(); ++n) {
        QString name = in.text();
        QString value = in.text();
        if (!in.ok())
            break;
        shared.share(name);
        if (!value.isEmpty()) {
            for (const QString *known : {&t.title, &t.artist, &t.album}) {
                if (*known == value) {
                    value = *known;
                    break;
                }
            }
        }
        tags.insert(tags.cend(), name, value);
    }
    if (!in.ok())
        tags.clear();
}

void read(FieldReader &in, Track &t, SharedTexts &shared)
{
    t.url = in.text();
    t.title = in.text();
    t.artist = in.text();
    t.album = in.text();
    t.bytes = in.integer<qint64>();
    t.hasEmbeddedArt = in.boolean();
    AudioInfo &i = t.info;
    i.codec = in.text();
    i.sampleRate = in.integer<qint64>();
    i.bitDepth = in.integer<qint64>();
    i.duration = in.real();
    i.bitrate = in.integer<qint64>();
    i.trackNumber = in.integer<qint64>();
    i.discNumber = in.integer<qint64>();
    i.year = in.text();
    if (!in.ok())
        return;
    shared.share(i.codec);
    shared.share(i.year);
    readTags(in, t, i.tags, shared);
}

// The records of one chunk, each with the index of its picture (-1: none);
// none when the chunk is not what it says.
struct Parsed {
    Record record;
    qint32 embedded = -1;
    qint32 cover = -1;
};

std::optional<QList<Parsed>> parseChunk(const QByteArray &chunk, quint32 count, qsizetype pictures,
                                        quint32 storedVersion)
{
    FieldReader in(chunk);
    QList<Parsed> records;
    records.reserve(qsizetype(count));
    SharedTexts shared;
    for (quint32 r = 0; r < count; ++r) {
        Parsed parsed;
        Record &record = parsed.record;
        record.stamp.size = in.integer<qint64>();
        record.stamp.modified = in.integer<qint64>();
        read(in, record.track, shared);
        parsed.embedded = in.integer<qint32>();
        if (storedVersion >= version) {
            record.folder = in.integer<qint64>();
            parsed.cover = in.integer<qint32>();
            record.coverFile.size = in.integer<qint64>();
            record.coverFile.modified = in.integer<qint64>();
        }
        if (!in.ok() || parsed.embedded < -1 || parsed.embedded >= pictures || parsed.cover < -1
            || parsed.cover >= pictures)
            return std::nullopt;
        records.append(std::move(parsed));
    }
    if (!in.atEnd())
        return std::nullopt;
    return records;
}

std::optional<Records> parse(const QByteArray &payload, QThreadPool &pool, quint32 &storedVersion)
{
    QDataStream in(payload);
    in.setVersion(QDataStream::Qt_6_4);
    quint32 pictureCount = 0;
    in >> storedVersion;
    if (storedVersion != version && storedVersion != previewsVersion && storedVersion != wholePicturesVersion)
        return std::nullopt;
    in >> pictureCount;
    if (in.status() != QDataStream::Ok || pictureCount > quint32(payload.size()))
        return std::nullopt;
    QList<Cover> pictures;
    if (storedVersion == wholePicturesVersion) {
        QList<QByteArray> whole;
        for (quint32 p = 0; p < pictureCount && in.status() == QDataStream::Ok; ++p) {
            QByteArray picture;
            in >> picture;
            whole.append(picture);
        }
        if (in.status() != QDataStream::Ok)
            return std::nullopt;
        // The previews are made once, on every core; the bytes are let go.
        pictures = QtConcurrent::blockingMapped<QList<Cover>>(&pool, whole, [](const QByteArray &picture) {
            return Cover::read(picture, QString(), Cover::identityOf(picture));
        });
    } else {
        for (quint32 p = 0; p < pictureCount && in.status() == QDataStream::Ok; ++p) {
            QByteArray identity;
            CoverFacts facts;
            QByteArray preview;
            bool previewIsWhole = false;
            QString file;
            in >> identity >> facts.readable >> facts.format >> facts.progressive >> facts.size >> facts.bytes
                >> preview >> previewIsWhole >> file;
            pictures.append(Cover::stored(identity, facts, preview, previewIsWhole, file));
        }
    }
    quint32 count = 0;
    quint32 chunkCount = 0;
    in >> count >> chunkCount;
    if (in.status() != QDataStream::Ok || count > quint32(payload.size()) || chunkCount > count)
        return std::nullopt;
    struct Chunk {
        quint32 count = 0;
        QByteArray bytes;
    };
    // Each chunk is a view into the payload, not a copy of it.
    QList<Chunk> chunks;
    quint64 total = 0;
    for (quint32 c = 0; c < chunkCount && in.status() == QDataStream::Ok; ++c) {
        Chunk chunk;
        quint32 size = 0;
        in >> chunk.count >> size;
        const qint64 at = in.device()->pos();
        if (in.status() != QDataStream::Ok || size == 0xFFFFFFFFu || size > payload.size() - at)
            return std::nullopt;
        chunk.bytes = QByteArray::fromRawData(payload.constData() + at, qsizetype(size));
        in.skipRawData(int(size));
        total += chunk.count;
        chunks.append(std::move(chunk));
    }
    if (in.status() != QDataStream::Ok || !in.atEnd() || total != count)
        return std::nullopt;

    if (in.status() != QDataStream::Ok)
        return std::nullopt;
    const qsizetype pictureTotal = pictures.size();
    QList<std::optional<QList<Parsed>>> parsed = QtConcurrent::blockingMapped<QList<std::optional<QList<Parsed>>>>(
        &pool, chunks, [pictureTotal, storedVersion](const Chunk &chunk) {
            return parseChunk(chunk.bytes, chunk.count, pictureTotal, storedVersion);
        });
    Records records;
    records.reserve(qsizetype(count));
    for (auto &chunk : parsed) {
        if (!chunk)
            return std::nullopt;
        for (Parsed &one : *chunk) {
            Record &record = one.record;
            if (one.embedded >= 0)
                record.embedded = pictures.at(one.embedded);
            if (one.cover >= 0)
                record.cover = pictures.at(one.cover);
            const QString url = record.track.url;
            records.insert(url, std::move(record));
        }
    }
    return records;
}

} // namespace

std::optional<Stamp> stamp(const QString &path)
{
    struct stat st {};
    if (::stat(paths::encode(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    return Stamp{qint64(st.st_size), qint64(st.st_mtim.tv_sec) * 1'000'000'000 + qint64(st.st_mtim.tv_nsec)};
}

std::optional<Seen> look(const QString &path)
{
    struct stat st {};
    if (::lstat(paths::encode(path).constData(), &st) != 0 || S_ISLNK(st.st_mode))
        return std::nullopt;
    Seen item;
    if (S_ISDIR(st.st_mode)) {
        item.kind = Seen::Kind::folder;
    } else if (S_ISREG(st.st_mode)) {
        item.kind = Seen::Kind::regular;
        item.stamp = {qint64(st.st_size), qint64(st.st_mtim.tv_sec) * 1'000'000'000 + qint64(st.st_mtim.tv_nsec)};
    }
    return item;
}

QString defaultFile()
{
    return AppFolders::applicationSupport() + u"/Library.records"_s;
}

bool same(const Record &a, const Record &b)
{
    const Track &s = a.track;
    const Track &t = b.track;
    if (!(a.stamp == b.stamp && s.url == t.url && s.title == t.title && s.artist == t.artist && s.album == t.album
          && s.bytes == t.bytes && s.hasEmbeddedArt == t.hasEmbeddedArt && s.info == t.info))
        return false;
    if (a.folder != b.folder || !(a.coverFile == b.coverFile))
        return false;
    auto samePicture = [](const std::optional<Cover> &x, const std::optional<Cover> &y) {
        if (x.has_value() != y.has_value())
            return false;
        return !x || x->address() == y->address()
               || (x->identity() == y->identity() && x->facts() == y->facts() && x->preview() == y->preview()
                   && x->previewIsWhole() == y->previewIsWhole() && x->file() == y->file());
    };
    return samePicture(a.embedded, b.embedded) && samePicture(a.cover, b.cover);
}

bool same(const Records &a, const Records &b)
{
    if (a.isSharedWith(b))
        return true;
    if (a.size() != b.size())
        return false;
    for (auto it = a.cbegin(); it != a.cend(); ++it) {
        const auto other = b.constFind(it.key());
        if (other == b.cend() || !same(*it, *other))
            return false;
    }
    return true;
}

std::optional<Records> load(const QString &file, bool *current)
{
    if (current)
        *current = false;
    // Never waits on a FIFO put in its place nor reads an endless device: a
    // regular file of a sane size, or nothing.
    std::optional<posixfile::File> opened = statefile::openRegular(file, largestFile);
    if (!opened)
        return std::nullopt;
    QFile source;
    if (!source.open(opened->fd(), QIODevice::ReadOnly))
        return std::nullopt;
    // Mapped rather than read: nothing is copied, and the pages come in
    // without a fresh buffer to fill.
    QByteArray bytes;
    if (uchar *mapped = source.size() > 0 ? source.map(0, source.size()) : nullptr)
        bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(mapped), qsizetype(source.size()));
    else
        bytes = source.readAll();
    const qsizetype head = qsizetype(sizeof magic - 1);
    // The magic text, the payload, then the SHA-256 of the payload: anything
    // cut short, changed or written by someone else fails here. The digest is
    // worked out while the records are read; none is used unless it matches.
    if (bytes.size() < head + digestSize || !bytes.startsWith(magic))
        return std::nullopt;
    const QByteArray payload = QByteArray::fromRawData(bytes.constData() + head, bytes.size() - head - digestSize);
    QThreadPool pool;
    pool.setMaxThreadCount(std::max(1, QThread::idealThreadCount()));
    QFuture<bool> intact = QtConcurrent::run(&pool, [&bytes, &payload] {
        try {
            return sha256::of(payload) == bytes.right(digestSize);
        } catch (...) {
            return false; // no digest to check against: not trusted
        }
    });
    std::optional<Records> records;
    quint32 storedVersion = 0;
    try {
        records = parse(payload, pool, storedVersion);
    } catch (...) {
        intact.waitForFinished();
        throw;
    }
    if (!intact.result())
        return std::nullopt;
    if (current)
        *current = records && storedVersion == version;
    return records;
}

namespace {

// The file: the magic text, the payload, then the SHA-256 of the payload. The
// payload is written piece by piece as its chunks are ready, with the digest
// worked out along the way, rather than gathered into one buffer first.
void writeFile(const QString &file, const std::vector<const Record *> &ordered)
{
    const qsizetype count = qsizetype(ordered.size());
    // Equal pictures (the tracks of one album) are stored once; only their
    // identities are gathered here, never their bytes.
    // A picture is told by its bytes and where they lie: a cover file and an
    // embedded picture of equal bytes are two pictures.
    auto keyOf = [](const Cover &cover) -> QByteArray { return cover.identity() + '\0' + cover.file().toUtf8(); };
    QHash<QByteArray, qint32> pictureIndex;
    QList<const Cover *> pictures;
    auto gather = [&](const std::optional<Cover> &cover) {
        if (cover && !pictureIndex.contains(keyOf(*cover))) {
            pictureIndex.insert(keyOf(*cover), qint32(pictures.size()));
            pictures.append(&*cover);
        }
    };
    for (const Record *record : ordered) {
        gather(record->embedded);
        // A cover held in memory only (in no file, nor the track's own) is
        // not kept: the next start chooses again.
        if (record->cover && !record->cover->isHeld())
            gather(record->cover);
    }
    auto indexOf = [&](const std::optional<Cover> &cover) {
        return cover ? pictureIndex.value(keyOf(*cover), -1) : qint32(-1);
    };
    // The records in chunks of their own, so that they can be read on
    // several threads; each chunk is also made on a thread of its own.
    QList<qsizetype> starts;
    for (qsizetype start = 0; start < count; start += chunkSize)
        starts.append(start);
    QThreadPool pool;
    pool.setMaxThreadCount(std::max(1, QThread::idealThreadCount()));
    const QList<QByteArray> chunks = QtConcurrent::blockingMapped<QList<QByteArray>>(&pool, starts, [&](qsizetype start) {
        const qsizetype end = std::min(count, start + chunkSize);
        QByteArray chunk;
        QDataStream chunkOut(&chunk, QIODevice::WriteOnly);
        chunkOut.setVersion(QDataStream::Qt_6_4);
        for (qsizetype r = start; r < end; ++r) {
            const Record &record = *ordered[size_t(r)];
            chunkOut << record.stamp.size << record.stamp.modified;
            write(chunkOut, record.track);
            chunkOut << indexOf(record.embedded);
            const bool coverKept = !record.cover || !record.cover->isHeld();
            chunkOut << (coverKept ? record.folder : qint64(0)) << (coverKept ? indexOf(record.cover) : qint32(-1))
                     << record.coverFile.size << record.coverFile.modified;
        }
        return chunk;
    });

    QDir().mkpath(paths::parent(file));
    // Checked write by write: a full disk or a refused target throws, and the
    // earlier file stays as it was.
    statefile::AtomicFile target(file);
    sha256::Running digest;
    auto put = [&](const QByteArray &bytes) {
        digest.add(bytes);
        target.write(bytes);
    };
    auto framed = [](auto fill) {
        QByteArray bytes;
        QDataStream out(&bytes, QIODevice::WriteOnly);
        out.setVersion(QDataStream::Qt_6_4);
        fill(out);
        return bytes;
    };
    target.write(magic, qsizetype(sizeof magic - 1));
    put(framed([&](QDataStream &out) { out << version << quint32(pictures.size()); }));
    // Each picture is framed and written on its own: the header is never
    // gathered into one buffer.
    for (qsizetype p = 0; p < pictures.size(); ++p) {
        const Cover &cover = *pictures.at(p);
        put(framed([&](QDataStream &out) {
            const CoverFacts &facts = cover.facts();
            out << cover.identity() << facts.readable << facts.format << facts.progressive << facts.size
                << facts.bytes << cover.preview() << cover.previewIsWhole() << cover.file();
        }));
    }
    put(framed([&](QDataStream &out) { out << quint32(count) << quint32(chunks.size()); }));
    for (qsizetype c = 0; c < chunks.size(); ++c) {
        const QByteArray &chunk = chunks.at(c);
        // As QDataStream writes a byte array: its size, then its bytes.
        put(framed([&](QDataStream &out) {
            out << quint32(std::min(chunkSize, count - starts.at(c))) << quint32(chunk.size());
        }));
        put(chunk);
    }
    target.write(digest.result());
    target.commit();
}

bool saved(const std::function<void()> &write)
{
    try {
        write();
        return true;
    } catch (...) {
        return false;
    }
}

std::vector<const Record *> inOrder(const Records &records, const QStringList &paths)
{
    std::vector<const Record *> ordered;
    ordered.reserve(size_t(paths.size()));
    QSet<const Record *> taken;
    taken.reserve(paths.size());
    for (const QString &path : paths) {
        const auto record = records.constFind(path);
        if (record == records.constEnd())
            continue;
        const Record *at = &record.value();
        if (!taken.contains(at)) {
            taken.insert(at);
            ordered.push_back(at);
        }
    }
    return ordered;
}

} // namespace

bool save(const QString &file, const Records &records)
{
    std::vector<const Record *> ordered;
    ordered.reserve(size_t(records.size()));
    for (const Record &record : records)
        ordered.push_back(&record);
    return saved([&] { writeFile(file, ordered); });
}

bool save(const QString &file, const Records &records, const QStringList &paths)
{
    return saved([&] { writeFile(file, inOrder(records, paths)); });
}

void write(const QString &file, const Records &records, const QStringList &paths)
{
    writeFile(file, inOrder(records, paths));
}

} // namespace LibraryStore
