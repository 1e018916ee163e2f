#include "model/librarystore.h"

#include "platform/appfolders.h"
#include "platform/paths.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace LibraryStore {
namespace {

constexpr char magic[] = "VONTARO-LIBRARY\n";
constexpr quint32 version = 1;
constexpr qsizetype digestSize = 32;

void write(QDataStream &out, const Track &t)
{
    out << t.url << t.title << t.artist << t.album << t.bytes << t.hasEmbeddedArt;
    const AudioInfo &i = t.info;
    out << i.codec << i.sampleRate << i.bitDepth << i.duration << i.bitrate << i.trackNumber << i.discNumber << i.year
        << i.tags;
}

void read(QDataStream &in, Track &t)
{
    in >> t.url >> t.title >> t.artist >> t.album >> t.bytes >> t.hasEmbeddedArt;
    AudioInfo &i = t.info;
    in >> i.codec >> i.sampleRate >> i.bitDepth >> i.duration >> i.bitrate >> i.trackNumber >> i.discNumber >> i.year
        >> i.tags;
}

} // namespace

std::optional<Stamp> stamp(const QString &path)
{
    struct stat st {};
    if (::stat(paths::encode(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    return Stamp{qint64(st.st_size), qint64(st.st_mtim.tv_sec) * 1'000'000'000 + qint64(st.st_mtim.tv_nsec)};
}

QString defaultFile()
{
    return AppFolders::applicationSupport() + u"/Library.records"_s;
}

std::optional<Records> load(const QString &file)
{
    QFile source(file);
    if (!source.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = source.readAll();
    const qsizetype head = qsizetype(sizeof magic - 1);
    // The magic text, the payload, then the SHA-256 of the payload: anything
    // cut short, changed or written by someone else fails here.
    if (bytes.size() < head + digestSize || !bytes.startsWith(magic))
        return std::nullopt;
    const QByteArray payload = bytes.mid(head, bytes.size() - head - digestSize);
    if (QCryptographicHash::hash(payload, QCryptographicHash::Sha256) != bytes.right(digestSize))
        return std::nullopt;

    QDataStream in(payload);
    in.setVersion(QDataStream::Qt_6_4);
    quint32 storedVersion = 0;
    quint32 pictureCount = 0;
    in >> storedVersion;
    if (storedVersion != version)
        return std::nullopt;
    in >> pictureCount;
    if (in.status() != QDataStream::Ok || pictureCount > quint32(payload.size()))
        return std::nullopt;
    QList<QByteArray> pictures;
    for (quint32 p = 0; p < pictureCount && in.status() == QDataStream::Ok; ++p) {
        QByteArray picture;
        in >> picture;
        pictures.append(picture);
    }
    quint32 count = 0;
    in >> count;
    if (in.status() != QDataStream::Ok || count > quint32(payload.size()))
        return std::nullopt;
    Records records;
    records.reserve(qsizetype(count));
    for (quint32 r = 0; r < count; ++r) {
        Record record;
        qint32 picture = -1;
        in >> record.stamp.size >> record.stamp.modified;
        read(in, record.track);
        in >> picture;
        if (in.status() != QDataStream::Ok || picture < -1 || picture >= qint32(pictures.size()))
            return std::nullopt;
        if (picture >= 0)
            record.embedded = pictures.at(picture);
        records.insert(record.track.url, std::move(record));
    }
    if (in.status() != QDataStream::Ok || !in.atEnd())
        return std::nullopt;
    return records;
}

bool save(const QString &file, const Records &records)
{
    QByteArray payload;
    {
        QDataStream out(&payload, QIODevice::WriteOnly);
        out.setVersion(QDataStream::Qt_6_4);
        out << version;
        // Equal pictures (the tracks of one album) are stored once.
        QHash<QByteArray, qint32> pictureIndex;
        QList<QByteArray> pictures;
        for (const Record &record : records) {
            if (record.embedded && !pictureIndex.contains(*record.embedded)) {
                pictureIndex.insert(*record.embedded, qint32(pictures.size()));
                pictures.append(*record.embedded);
            }
        }
        out << quint32(pictures.size());
        for (const QByteArray &picture : std::as_const(pictures))
            out << picture;
        out << quint32(records.size());
        for (const Record &record : records) {
            out << record.stamp.size << record.stamp.modified;
            write(out, record.track);
            out << (record.embedded ? pictureIndex.value(*record.embedded) : qint32(-1));
        }
    }
    QDir().mkpath(paths::parent(file));
    QSaveFile target(file);
    if (!target.open(QIODevice::WriteOnly))
        return false;
    target.write(magic, qsizetype(sizeof magic - 1));
    target.write(payload);
    target.write(QCryptographicHash::hash(payload, QCryptographicHash::Sha256));
    return target.commit();
}

} // namespace LibraryStore
