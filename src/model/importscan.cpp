#include "model/importscan.h"

#include "media/albumgrouping.h"
#include "media/audioinfo.h"
#include "model/tavomodel.h"
#include "platform/mediaasset.h"
#include "platform/paths.h"
#include "platform/text.h"

#include <QUuid>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

QStringList scanAudio(const QStringList &urls)
{
    QStringList found;
    for (const QString &url : urls) {
        if (paths::isSymbolicLink(url))
            continue;
        if (paths::lastComponent(url).startsWith(u'.'))
            continue;
        if (paths::isDirectory(url)) {
            paths::walk(url, true, [&](const paths::WalkEntry &entry) {
                // The walker never descends into a link; a folder named like an
                // audio file is searched but is no track, and neither is a FIFO.
                if (entry.isRegular && hasAudioExtension(entry.path))
                    found.append(entry.path);
                return true;
            });
            continue;
        }
        if (paths::isRegularFile(url) && hasAudioExtension(url))
            found.append(url);
    }
    return found;
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

std::optional<QByteArray> readImageFile(const QString &path)
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
        }
    }
    ::close(fd);
    return result;
}

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

Track readFile(const QString &path, const QMap<QString, QString> &overrides)
{
    MediaAsset asset(path);
    AudioInfo info = AudioInfo::read(path, asset);

    // FLAC tags come from our own reader only.
    ItemValues values;
    if (paths::extension(path).toLower() != u"flac"_s)
        values = applyMetadataItems(asset.metadata().value_or(QList<MetadataItem>()), info);

    const QString folder = paths::parent(path);
    const bool discFolder = AlbumGrouping::folderDisc(paths::lastComponent(folder)).has_value();
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
    track.id = QUuid::createUuid();
    track.url = path;
    track.title = title.value_or(paths::deletingExtension(fileName));
    track.artist = artist.value_or(artistFolderName);
    track.album = album.value_or(paths::lastComponent(folder));
    track.bytes = paths::fileSize(path).value_or(0);

    const std::optional<QByteArray> embedded = info.picture ? info.picture : values.artwork;
    track.hasEmbeddedArt = embedded.has_value();
    info.picture.reset();

    // Cover: the user's choice, an image named like the track, the embedded
    // picture, then the usual cover files of the folder.
    const QString overrideKey = track.artist + QChar(u'\0') + track.album + QChar(u'\0') + folder;
    const auto chosen = overrides.constFind(overrideKey);
    if (chosen != overrides.constEnd())
        track.artwork = readImageFile(*chosen);
    if (!track.artwork) {
        const QString base = paths::deletingExtension(path);
        track.artwork = readImageFile(base + u".jpeg"_s);
        if (!track.artwork)
            track.artwork = readImageFile(base + u".jpg"_s);
    }
    if (!track.artwork)
        track.artwork = embedded;
    for (qsizetype i = 0; !track.artwork && i < folderCoverNames().size(); ++i)
        track.artwork = readImageFile(paths::appending(folder, folderCoverNames().at(i)));

    track.info = info;
    return track;
}

QList<Track> run(const QStringList &chosen, QSet<QString> knownPaths, const QMap<QString, QString> &overrides,
                 const ProgressPost &post)
{
    QStringList files = scanAudio(chosen);
    std::stable_sort(files.begin(), files.end(), text::finderLess);
    const qsizetype total = files.size();

    QList<Track> found;
    for (qsizetype i = 0; i < total; ++i) {
        const QString &path = files.at(i);
        const QString key = paths::standardized(path);
        if (knownPaths.contains(key))
            continue;
        knownPaths.insert(key);
        Track track = readFile(path, overrides);
        if (i % 20 == 0 && post)
            post(i, total);
        found.append(std::move(track));
    }
    return found;
}

} // namespace ImportScan
