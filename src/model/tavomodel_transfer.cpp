// Choosing tracks (the transfer queue, the device-side choice for playlists),
// forgetting albums, and the transfer of music onto the device with its covers.

#include "model/tavomodel.h"

#include "device/cleanup.h"
#include "device/transfer.h"
#include "media/albumgrouping.h"
#include "media/artwork.h"
#include "model/modeltasks.h"
#include "platform/appfolders.h"
#include "platform/defaults.h"
#include "platform/errors.h"
#include "platform/paths.h"
#include "platform/text.h"

#include <QHash>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

const QString &successAdvice()
{
    static const QString text =
        u"Utwory są dostępne w Files → Music. Jeśli używasz Database, zaktualizuj bazę w menu Rockbox na iPodzie."_s;
    return text;
}

const QString &failureAdvice()
{
    static const QString text =
        u"Część utworów mogła już zostać wgrana. Możesz ponowić transfer — identyczne pliki zostaną pominięte."_s;
    return text;
}

const QString &warningsClosing()
{
    static const QString text = u"Muzyka została wgrana mimo tych błędów"_s;
    return text;
}

// Tracks that share artist, album and source folder share a cover.
QString coverKey(const Track &track)
{
    return track.artist + QChar(u'\0') + track.album + QChar(u'\0') + paths::parent(track.url);
}

// One album folder's cover work after the copy.
struct CoverJob {
    QString album;       // the album folder's name, for the warning
    CoverSource artwork; // the first cover of the group, read whole only now
    QStringList targets; // the device files of the group, in transfer order
};

// Covers and the clean-up run after every audio file is on the device, which
// the transfer inspected once: each step only checks that it is still the same
// device. Their failures no longer undo the copies: each is kept as a warning
// and the rest goes on.
QStringList finishOnDevice(const QList<CoverJob> &covers, const DeviceCheck &device)
{
    QStringList warnings;
    QString backupRoot;
    try {
        backupRoot = AppFolders::backups();
    } catch (const std::exception &error) {
        return {describe(error)};
    }
    for (const CoverJob &job : covers) {
        try {
            const std::optional<QByteArray> bytes = job.artwork.bytes();
            if (!bytes)
                throw TavoError(u"Nie można odczytać obrazu."_s);
            Artwork::install(Artwork::baselineJPEG(*bytes), job.targets, device, backupRoot);
        } catch (const std::exception &error) {
            warnings.append(u"Nie zapisano okładki albumu „"_s + job.album + u"”:\n"_s + describe(error));
        }
    }
    try {
        Storage::cleanupMacMetadata(device, backupRoot, std::nullopt);
    } catch (const std::exception &error) {
        warnings.append(u"Nie usunięto plików pomocniczych macOS:\n"_s + describe(error));
    }
    return warnings;
}

struct TransferOutcome {
    TransferResult result;
    QStringList warnings;
};

// The files to copy, with the folders they go to, and each album folder's
// cover work, for the tracks sent out of the library. Grouping the whole
// library takes a while at tens of thousands of tracks: it runs on the worker.
struct PendingCover {
    QString album;
    CoverSource artwork;
    QList<qsizetype> positions;
};

struct TransferPlan {
    QList<TransferFile> jobs;
    QList<PendingCover> pending;
};

TransferPlan planTransfer(const QList<Track> &sending, const QList<Track> &library)
{
    // Cover groups, in the order their first track is sent.
    QList<QString> groupOrder;
    QHash<QString, QList<qsizetype>> groupMembers; // key → positions in `sending`
    for (qsizetype i = 0; i < sending.size(); ++i) {
        const QString key = coverKey(sending[i]);
        auto it = groupMembers.find(key);
        if (it == groupMembers.end()) {
            groupOrder.append(key);
            groupMembers.insert(key, {i});
        } else {
            it->append(i);
        }
    }

    // Folder names come from the album the whole library groups the track into
    // (so a compilation goes under one artist folder), with a disc folder only
    // when that album spans two or more discs.
    const QList<Album> albums = AlbumGrouping::albums(library);
    QHash<QUuid, qsizetype> albumOf;
    for (qsizetype a = 0; a < albums.size(); ++a) {
        for (const Track &track : albums[a].tracks)
            albumOf.insert(track.id, a); // a track belongs to exactly one album
    }
    QHash<qsizetype, bool> severalDiscs;
    QList<TransferFile> jobs;
    jobs.reserve(sending.size());
    for (const Track &track : sending) {
        const auto found = albumOf.constFind(track.id);
        if (found == albumOf.constEnd()) {
            jobs.append(TransferFile{track.url, track.artist, track.album, std::nullopt});
            continue;
        }
        const Album &album = albums[*found];
        auto discs = severalDiscs.find(*found);
        if (discs == severalDiscs.end())
            discs = severalDiscs.insert(*found, album.discs().size() >= 2);
        std::optional<QString> discFolder;
        if (*discs)
            discFolder = u"CD "_s + QString::number(AlbumGrouping::describe(track).disc);
        jobs.append(TransferFile{track.url, album.artist, album.title, discFolder});
    }

    // Each group's artwork: its first track that carries some.
    QList<PendingCover> pending;
    for (const QString &key : groupOrder) {
        const QList<qsizetype> &positions = groupMembers[key];
        for (qsizetype position : positions) {
            if (sending[position].artwork) {
                pending.append(
                    PendingCover{jobs[positions.first()].album, CoverSource::of(sending[position]), positions});
                break;
            }
        }
    }

    return TransferPlan{jobs, pending};
}

} // namespace

void TavoModel::toggle(const Album &album)
{
    UuidSet ids;
    for (const Track &track : album.tracks)
        ids.insert(track.id);
    UuidSet target = m_libraryOnDevice ? m_selectedOnDevice : m_queued;
    const bool allChosen = std::all_of(ids.cbegin(), ids.cend(), [&](const QUuid &id) { return target.contains(id); });
    if (allChosen)
        target.subtract(ids);
    else
        target.unite(ids);
    if (m_libraryOnDevice)
        setSelectedOnDevice(target);
    else
        setQueued(target);
}

void TavoModel::toggleTrack(const Track &track, std::optional<bool> onDeviceOverride)
{
    const bool onDevice = onDeviceOverride.value_or(m_libraryOnDevice);
    UuidSet target = onDevice ? m_selectedOnDevice : m_queued;
    if (!target.remove(track.id))
        target.insert(track.id);
    if (onDevice)
        setSelectedOnDevice(target);
    else
        setQueued(target);
}

void TavoModel::forget(const Album &album)
{
    if (m_busy || m_libraryOnDevice)
        return;
    UuidSet ids;
    for (const Track &track : album.tracks)
        ids.insert(track.id);

    QList<Track> remaining;
    remaining.reserve(m_tracks.size());
    for (const Track &track : std::as_const(m_tracks)) {
        if (!ids.contains(track.id))
            remaining.append(track);
    }
    setTracks(remaining);
    setQueued(UuidSet(m_queued).subtract(ids));
    forgetDuplicates();

    saveLibraryPaths();
}

void TavoModel::transfer(const std::optional<QList<Track>> &only)
{
    const QList<Track> sending = only ? *only : queue();
    if (!m_device || m_busy || sending.isEmpty())
        return;
    const Device device = *m_device;

    setBusy(true);
    setProgress(0);
    setStatus(u"Wgrywam muzykę…"_s);

    UuidSet sentIds;
    for (const Track &track : sending)
        sentIds.insert(track.id);

    const auto progress = ModelTasks::progressPoster(
        this, [](TavoModel *model, int done, int total) { model->setProgress(double(done) / double(total)); });
    const QString root = device.root;
    ModelTasks::run(
        this, ModelTasks::filePool(),
        [sending, library = m_tracks, root, progress]() -> TransferOutcome {
            const auto [jobs, pending] = planTransfer(sending, library);
            TransferOutcome outcome;
            // One full inspection for the whole operation, copies and covers.
            const DeviceCheck device(root);
            outcome.result = Storage::transfer(jobs, device, progress);
            // Destinations pair with the sent tracks by position.
            const QStringList &destinations = outcome.result.destinations;
            QList<CoverJob> covers;
            for (const PendingCover &cover : pending) {
                CoverJob job{cover.album, cover.artwork, {}};
                for (qsizetype position : cover.positions) {
                    if (position < destinations.size())
                        job.targets.append(destinations[position]);
                }
                covers.append(job);
            }
            outcome.warnings = finishOnDevice(covers, device);
            return outcome;
        },
        [this, sentIds, root](const ModelTasks::Outcome<TransferOutcome> &outcome) {
            if (!outcome.ok()) {
                setAlert(outcome.errorText() + u"\n\n"_s + failureAdvice());
                setStatus(u"Transfer przerwany"_s);
                setBusy(false);
                refresh();
                return;
            }
            const TransferResult &result = outcome.value->result;
            setQueued(UuidSet(m_queued).subtract(sentIds));

            // The written files feed the playlists of the device they are on. When
            // another device (or none) became current meanwhile, its list was
            // emptied for it and must not receive files of a device it is not.
            if (m_device && m_device->root == root) {
                QStringList merged = m_transferred;
                QSet<QString> seen(merged.cbegin(), merged.cend());
                for (const QString &destination : result.destinations) {
                    if (!seen.contains(destination)) {
                        seen.insert(destination);
                        merged.append(destination);
                    }
                }
                std::stable_sort(merged.begin(), merged.end(), [](const QString &a, const QString &b) {
                    return text::plainLess(text::nfc(a), text::nfc(b));
                });
                setTransferred(merged);
            }

            const QString status = u"Wgrano: "_s + QString::number(result.copied) + u". Pominięto identyczne: "_s
                                   + QString::number(result.skipped) + u"."_s;
            setStatus(status);
            QString alert = status + u"\n\n"_s + successAdvice();
            if (!outcome.value->warnings.isEmpty()) {
                for (const QString &warning : outcome.value->warnings)
                    alert += u"\n\n"_s + warning;
                // Also keeps the whole text from reading as one long status
                // line to the translator, so that each line is rendered.
                alert += u"\n\n"_s + warningsClosing();
            }
            setAlert(alert);
            setBusy(false);
            refresh();
        });
}
