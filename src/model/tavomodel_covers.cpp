// Giving an album a cover: the album's current artwork again, a picture the
// user picks, or the front cover of an online search result. The shared step
// converts the picture for Rockbox, writes it onto the device when the device
// side is meant, caches it on the computer, remembers it for later imports and
// shows it on the album's tracks at once.

#include "model/tavomodel.h"

#include "localization/applocalizer.h"
#include "media/artwork.h"
#include "media/coversearch.h"
#include "model/modeltasks.h"
#include "platform/appfolders.h"
#include "platform/defaults.h"
#include "platform/errors.h"
#include "platform/paths.h"
#include "platform/sha256.h"

#include <QFileInfo>
#include <QPointer>

using namespace Qt::StringLiterals;

namespace {

QString trackCoverKey(const Track &track)
{
    return track.artist + QChar(u'\0') + track.album + QChar(u'\0') + paths::parent(track.url);
}

} // namespace

void TavoModel::applyArtwork(const Album &album, const CoverSource &picture, bool onDevice,
                             const std::optional<QString> &root, ArtworkApplied done, CoverDevice device)
{
    QStringList files;
    files.reserve(album.tracks.size());
    for (const Track &track : album.tracks)
        files.append(track.url);
    const QString cacheKey = sha256::hex(album.id().toUtf8());

    struct Applied {
        Cover cover;
        QString cached;
    };
    ModelTasks::run(
        this, ModelTasks::filePool(),
        [picture, onDevice, root, files, device, cacheKey]() -> Applied {
            const std::optional<QByteArray> data = picture.bytes();
            if (!data)
                throw TavoError(u"Nie można odczytać obrazu."_s);
            const QByteArray jpeg = Artwork::baselineJPEG(*data);
            if (onDevice) {
                if (!root)
                    throw TavoError(u"Podłącz iPoda."_s);
                if (!device) {
                    Artwork::install(jpeg, files, *root, AppFolders::backups());
                } else {
                    // The albums of one operation go one after another, so
                    // this task is alone with the shared inspection.
                    if (!device->has_value())
                        device->emplace(*root);
                    Artwork::install(jpeg, files, **device, AppFolders::backups());
                }
            }
            // When caching fails, what reached the device stays there and
            // nothing here changes. The tracks then show the cached file: its
            // bytes are not kept in memory.
            const QString cached = Artwork::cache(jpeg, cacheKey);
            return Applied{Cover::read(jpeg, cached, Cover::identityOf(jpeg)), cached};
        },
        [this, album, onDevice, done](const ModelTasks::Outcome<Applied> &outcome) {
            if (!outcome.ok()) {
                done(outcome.errorText());
                return;
            }
            const QString &cached = outcome.value->cached;

            // Later imports of these folders find the cover again through these entries.
            QMap<QString, QString> overrides = Defaults::stringMap(u"artworkOverrides"_s).value_or(QMap<QString, QString>());
            overrides.insert(album.id(), cached);
            for (const Track &track : album.tracks)
                overrides.insert(trackCoverKey(track), cached);
            Defaults::setStringMap(u"artworkOverrides"_s, overrides);

            UuidSet ids;
            for (const Track &track : album.tracks)
                ids.insert(track.id);
            QList<Track> side = onDevice ? m_deviceTracks : m_tracks;
            bool changed = false;
            for (Track &track : side) {
                if (ids.contains(track.id)) {
                    track.artwork = outcome.value->cover;
                    changed = true;
                }
            }
            if (changed) {
                if (onDevice)
                    setDeviceTracks(side);
                else
                    setTracks(side);
            }
            // The cached file keeps its name: image caches keyed by path must drop it.
            emit artworkChanged(album.id(), cached);
            done(std::nullopt);
        });
}

void TavoModel::saveCoverSource(const CoverCandidate &candidate, const Album &album)
{
    QMap<QString, QString> sources = Defaults::stringMap(u"coverSources"_s).value_or(QMap<QString, QString>());
    sources.insert(album.id(), candidate.pageURL().toString());
    Defaults::setStringMap(u"coverSources"_s, sources);
    emit coverSourcesChanged();
}

void TavoModel::downloadCover(const CoverCandidate &candidate, const Album &album, std::optional<bool> onDeviceOverride)
{
    if (m_busy)
        return;
    const bool onDevice = onDeviceOverride.value_or(m_libraryOnDevice);
    const std::optional<QString> root = m_device ? std::optional<QString>(m_device->root) : std::nullopt;
    setBusy(true);
    setProgress(0);
    setStatus(u"Pobieram okładkę…"_s);

    const auto fail = [this](const QString &error) {
        setStatus(u"Nie udało się pobrać okładki: "_s + error);
        setBusy(false);
        refresh();
    };
    ModelTasks::run(
        this, ModelTasks::networkPool(), [candidate] { return CoverSearch::shared().image(candidate); },
        [this, candidate, album, onDevice, root, fail](const ModelTasks::Outcome<QByteArray> &image) {
            if (!image.ok()) {
                fail(image.errorText());
                return;
            }
            applyArtwork(album, *image.value, onDevice, root,
                         [this, candidate, album, onDevice, fail](const std::optional<QString> &error) {
                             if (error) {
                                 fail(*error);
                                 return;
                             }
                             saveCoverSource(candidate, album);
                             setStatus(onDevice ? u"Pobrano i zapisano okładkę na iPodzie."_s
                                                : u"Pobrano okładkę; zostanie wgrana razem z albumem."_s);
                             setBusy(false);
                             refresh();
                         });
        });
}

void TavoModel::chooseArtwork(const Album &album, bool current, std::optional<bool> onDeviceOverride)
{
    if (m_busy)
        return;
    CoverSource picture;
    if (current) {
        picture = album.coverSource();
        if (!picture.cover)
            return;
    } else {
        if (!m_imageChooser)
            return;
        m_imageChooser(AppLocalizer::display(u"Dodaj okładkę"_s),
                       [self = QPointer<TavoModel>(this), album, onDeviceOverride](const std::optional<QString> &chosen) {
                           if (!self || !chosen || chosen->isEmpty())
                               return;
                           // The event loop ran while the dialog was open; two
                           // operations must still never overlap.
                           if (self->m_busy)
                               return;
                           // Read on the worker that prepares it; a folder or an
                           // unreadable file is no picture, and nothing starts.
                           const QFileInfo file(*chosen);
                           if (!file.isFile() || !file.isReadable())
                               return;
                           self->applyChosenArtwork(album, CoverSource::file(*chosen), onDeviceOverride);
                       });
        return;
    }
    applyChosenArtwork(album, picture, onDeviceOverride);
}

void TavoModel::applyChosenArtwork(const Album &album, const CoverSource &picture, std::optional<bool> onDeviceOverride)
{

    const bool onDevice = onDeviceOverride.value_or(m_libraryOnDevice);
    const std::optional<QString> root = m_device ? std::optional<QString>(m_device->root) : std::nullopt;
    setBusy(true);
    setStatus(u"Przygotowuję okładkę…"_s);

    applyArtwork(album, picture, onDevice, root, [this, onDevice](const std::optional<QString> &error) {
        if (error) {
            setAlert(*error);
            setStatus(u"Nie udało się zapisać okładki"_s);
        } else {
            setStatus(onDevice ? u"Okładka zapisana na iPodzie. Poprzednie obrazy mają kopię na komputerze."_s
                               : u"Okładka przygotowana; zostanie wgrana razem z albumem."_s);
        }
        setBusy(false);
        refresh();
    });
}
