// What the quality page and the device page show beyond the published fields:
// the collection checks of the side shown, and the facts of the device's volume.
//
// Both look at the disk (one file per track, the mount table), which may hang on
// a slow or vanishing device, so both run on a worker; the main thread only
// compares the inputs and stores the result.

#include "model/tavomodel.h"

#include "media/albumgrouping.h"
#include "model/modeltasks.h"
#include "platform/defaults.h"
#include "platform/paths.h"
#include "platform/volumes.h"

#include <QFileInfo>
#include <QHash>
#include <unistd.h>

using namespace Qt::StringLiterals;

struct TavoModel::QualityState {
    CollectionInspection inspection;
    bool running = false;
    bool again = false; // asked for while one ran
    std::optional<DeviceVolume> volume;
};

namespace {

struct InspectionInput {
    QList<Track> tracks; // shares its data with the model's field
    std::optional<QString> deviceRoot;
    bool onDevice = false;
};

TavoModel::CollectionInspection inspectTracks(const QList<Track> &tracks, const std::optional<QString> &deviceRoot)
{
    TavoModel::CollectionInspection result;
    result.issues = CollectionQuality::inspect(tracks, deviceRoot);

    const QList<Album> groups = AlbumGrouping::albums(tracks);
    QHash<QUuid, qsizetype> groupOf;
    groupOf.reserve(tracks.size());
    for (qsizetype g = 0; g < groups.size(); ++g) {
        bool withArtwork = false;
        for (const Track &track : groups.at(g).tracks) {
            groupOf.insert(track.id, g);
            withArtwork = withArtwork || track.artwork.has_value();
        }
        if (!withArtwork)
            result.albumWithoutArtwork = true;
    }

    result.coverAlbums.reserve(result.issues.size());
    for (const QualityIssue &issue : std::as_const(result.issues)) {
        if (issue.kind != u"Okładki"_s) {
            result.coverAlbums.append(std::nullopt);
            continue;
        }
        qsizetype first = -1;
        for (const Track &track : issue.tracks) {
            const qsizetype g = groupOf.value(track.id, -1);
            if (g >= 0 && (first < 0 || g < first))
                first = g;
            if (track.artwork)
                result.repairableCovers = true;
        }
        result.coverAlbums.append(first >= 0 ? std::optional<Album>(groups.at(first)) : std::nullopt);
    }
    return result;
}

// The file system holding `path`, by the name people know it by.
QString fileSystemOf(const QString &path)
{
    const QString type = volumes::fileSystemOf(path);
    static const QHash<QString, QString> known{
        {u"vfat"_s, u"FAT32"_s},   {u"msdos"_s, u"FAT"_s},        {u"exfat"_s, u"exFAT"_s},
        {u"hfsplus"_s, u"HFS+"_s}, {u"ntfs"_s, u"NTFS"_s},        {u"ntfs3"_s, u"NTFS"_s},
        {u"ext2"_s, u"ext2"_s},    {u"ext3"_s, u"ext3"_s},        {u"ext4"_s, u"ext4"_s},
        {u"btrfs"_s, u"Btrfs"_s},  {u"xfs"_s, u"XFS"_s},          {u"tmpfs"_s, u"tmpfs"_s},
        {u"apfs"_s, u"APFS"_s},    {u"fuseblk"_s, u"FUSE"_s},
    };
    return known.value(type, type);
}

} // namespace

TavoModel::QualityState &TavoModel::quality() const
{
    if (!m_quality)
        m_quality = std::make_shared<QualityState>();
    return *m_quality;
}

const TavoModel::CollectionInspection &TavoModel::collectionInspection() const
{
    return quality().inspection;
}

bool TavoModel::inspectingCollection() const
{
    return quality().running;
}

void TavoModel::inspectCollection()
{
    QualityState &state = quality();
    if (state.running) {
        state.again = true;
        return;
    }
    state.running = true;
    state.again = false;

    InspectionInput input;
    input.tracks = activeTracks();
    input.onDevice = m_libraryOnDevice;
    input.deviceRoot = m_libraryOnDevice && m_device ? std::optional<QString>(m_device->root) : std::nullopt;

    ModelTasks::run(this, ModelTasks::filePool(), [input] {
        return inspectTracks(input.tracks, input.deviceRoot);
    }, [this, input](const ModelTasks::Outcome<CollectionInspection> &outcome) {
        QualityState &state = quality();
        state.running = false;
        const QList<Track> &active = activeTracks();
        const std::optional<QString> root =
            m_libraryOnDevice && m_device ? std::optional<QString>(m_device->root) : std::nullopt;
        const bool current = input.onDevice == m_libraryOnDevice && input.deviceRoot == root
                             && input.tracks.size() == active.size()
                             && (active.isEmpty() || input.tracks.isSharedWith(active));
        if (current && outcome.value) {
            state.inspection = *outcome.value;
            emit collectionInspectionChanged();
        }
        // A stale result is nobody's answer: look at what is there now.
        if (!current || state.again)
            inspectCollection();
    });
}

std::optional<Album> TavoModel::albumOf(const QList<Track> &tracks) const
{
    QSet<QUuid> wanted;
    for (const Track &track : tracks)
        wanted.insert(track.id);
    for (const Album &album : AlbumGrouping::albums(activeTracks())) {
        for (const Track &track : album.tracks) {
            if (wanted.contains(track.id))
                return album;
        }
    }
    return std::nullopt;
}

const std::optional<TavoModel::DeviceVolume> &TavoModel::deviceVolume() const
{
    return quality().volume;
}

void TavoModel::readDeviceVolume()
{
    QualityState &state = quality();
    if (!m_device) {
        if (state.volume) {
            state.volume.reset();
            emit deviceVolumeChanged();
        }
        return;
    }
    const QString root = m_device->root;
    // Another device's facts are not shown meanwhile.
    if (state.volume && state.volume->root != root) {
        state.volume.reset();
        emit deviceVolumeChanged();
    }
    ModelTasks::run(this, ModelTasks::filePool(), [root] {
        DeviceVolume volume;
        volume.root = root;
        volume.fileSystem = fileSystemOf(root);
        volume.writable = ::access(paths::encode(root).constData(), W_OK) == 0;
        return volume;
    }, [this](const ModelTasks::Outcome<DeviceVolume> &outcome) {
        // Facts of a device that is no longer the current one are dropped.
        if (!outcome.value || !m_device || m_device->root != outcome.value->root)
            return;
        quality().volume = *outcome.value;
        emit deviceVolumeChanged();
    });
}

QString TavoModel::deviceDescription() const
{
    if (!m_device)
        return {};
    return Defaults::string(u"deviceDescription-"_s + m_device->root).value_or(QString());
}

void TavoModel::setDeviceDescription(const QString &text)
{
    if (!m_device)
        return;
    // An emptied field is stored as an empty text, not forgotten.
    Defaults::setString(u"deviceDescription-"_s + m_device->root, text);
}

QString TavoModel::storedAppearance() const
{
    if (!m_device)
        return u"auto"_s;
    return Defaults::string(u"appearance-"_s + m_device->root).value_or(u"auto"_s);
}

QString TavoModel::storedFinish() const
{
    if (!m_device)
        return u"auto"_s;
    return Defaults::string(u"finish-"_s + m_device->root).value_or(u"auto"_s);
}
