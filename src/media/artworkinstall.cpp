#include "media/artwork.h"
#include "media/records.h"

#include "device/cleanup.h"
#include "device/device.h"
#include "device/storage.h"
#include "media/artworkfiles.h"
#include "platform/errors.h"
#include "platform/paths.h"
#include "platform/posixfile.h"
#include "platform/text.h"

#include <QHash>
#include <QSet>

using namespace Qt::StringLiterals;

namespace Artwork {
namespace {

// Whether a folder entry is another track, when deciding whether a folder
// holds other albums' music.
bool isAudioName(const QString &name)
{
    return !name.startsWith(u'.') && hasAudioExtension(name);
}

QString perTrackImage(const QString &track)
{
    return paths::deletingExtension(track) + u".jpeg"_s;
}

QByteArray readFile(const QString &path)
{
    posixfile::File file = posixfile::openForReading(path);
    QByteArray bytes;
    char chunk[65536];
    for (;;) {
        const qint64 n = file.read(chunk, sizeof chunk);
        if (n <= 0)
            break;
        bytes.append(chunk, n);
    }
    file.close();
    return bytes;
}

// An insertion-ordered set of paths.
struct PathSet {
    QStringList order;
    QSet<QString> members;
    void add(const QString &path)
    {
        if (!members.contains(path)) {
            members.insert(path);
            order.append(path);
        }
    }
    bool contains(const QString &path) const { return members.contains(path); }
};

[[noreturn]] void refuseLocation()
{
    throw TavoError(u"Okładka musi być zapisana w folderze muzyki na wybranym iPodzie."_s);
}

// The installation onto a device inspected or checked a moment ago.
void installOn(const QByteArray &image, const QStringList &tracks, const DeviceCheck &device,
               const QString &backupRoot)
{
    const QString &root = device.root();
    const QString rootPrefix = paths::resolvingLinks(root) + u'/';

    // Album folders, in order of first appearance, with their tracks in the given order.
    QStringList folders;
    QHash<QString, QStringList> tracksIn;
    for (const QString &track : tracks) {
        const QString clean = paths::standardized(track);
        const QString folder = paths::parent(clean);
        if (!tracksIn.contains(folder))
            folders.append(folder);
        tracksIn[folder].append(clean);
    }
    if (folders.isEmpty())
        throw TavoError(u"Album nie ma utworów."_s);

    PathSet targets;
    PathSet removals;
    for (const QString &folder : folders) {
        const QStringList &albumTracks = tracksIn[folder];
        const QSet<QString> albumPaths(albumTracks.cbegin(), albumTracks.cend());
        bool onlyThisAlbum = true;
        for (const QString &name : paths::list(folder).value_or(QStringList())) {
            if (isAudioName(name) && !albumPaths.contains(paths::appending(folder, name))) {
                onlyThisAlbum = false;
                break;
            }
        }
        if (onlyThisAlbum) {
            const QString cover = paths::appending(folder, u"cover.jpeg"_s);
            targets.add(cover);
            std::optional<QByteArray> current;
            try {
                current = readFile(cover);
            } catch (const std::exception &) {
            }
            for (const QString &track : albumTracks) {
                const QString own = perTrackImage(track);
                if (own == cover || paths::isSymbolicLink(own))
                    continue;
                try {
                    const QByteArray bytes = readFile(own);
                    // Only images that merely repeat the old or the new cover go;
                    // a picture of its own stays where the user put it.
                    if ((current && bytes == *current) || bytes == image)
                        removals.add(own);
                } catch (const std::exception &) {
                }
            }
        } else {
            // Other albums share the folder: a folder cover would show on theirs too.
            for (const QString &track : albumTracks)
                targets.add(perTrackImage(track));
        }
    }

    PathSet changed = targets;
    for (const QString &path : removals.order) {
        if (!targets.contains(path))
            changed.add(path);
    }
    for (const QString &path : changed.order) {
        if (!paths::resolvingLinks(path).startsWith(rootPrefix) || paths::isSymbolicLink(path)
            || paths::isSymbolicLink(paths::parent(path)))
            refuseLocation();
    }

    // Every file about to be replaced or deleted is copied to the computer first.
    const QString backupFolder = paths::appending(backupRoot, u"Covers-"_s + text::newUuid());
    files::makeFolders(backupFolder);
    QHash<QString, QByteArray> saved;
    QList<QPair<QString, QString>> manifest;
    for (const QString &path : changed.order) {
        if (!paths::exists(path))
            continue;
        const QByteArray bytes = readFile(path);
        saved.insert(path, bytes);
        const QString name = text::newUuid() + u".jpg"_s;
        files::writePlain(paths::appending(backupFolder, name), bytes);
        manifest.append({name, path});
    }
    files::writePlain(paths::appending(backupFolder, u"manifest.json"_s), Storage::encodeManifest(manifest));

    QStringList touched;
    try {
        for (const QString &target : targets.order) {
            device.check();
            Storage::writeBytes(image, target);
            touched.append(target);
        }
        for (const QString &path : removals.order) {
            if (targets.contains(path))
                continue;
            device.check();
            posixfile::unlink(path);
            touched.append(path);
        }
        Storage::cleanupMacMetadata(device, backupRoot, targets.order);
    } catch (...) {
        for (const QString &path : touched) {
            try {
                const auto it = saved.constFind(path);
                if (it != saved.cend())
                    Storage::writeBytes(*it, path);
                else
                    posixfile::unlinkQuietly(path);
            } catch (...) {
                // The device may be gone; the next entry is still worth a try.
            }
        }
        throw;
    }
}

} // namespace

void install(const QByteArray &image, const QStringList &tracks, const QString &root, const QString &backupRoot)
{
    installOn(image, tracks, DeviceCheck(root), backupRoot);
}

void install(const QByteArray &image, const QStringList &tracks, const DeviceCheck &device,
             const QString &backupRoot)
{
    device.check();
    installOn(image, tracks, device, backupRoot);
}

} // namespace Artwork
