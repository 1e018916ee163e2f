// Repairing covers without asking: every album that the collection checks
// report under "Okładki" and that still carries a picture gets that picture
// again, converted to the 500 × 500 baseline JPEG Rockbox shows (and written
// to the device when the device side is shown). Albums go one at a time; a
// failing album is counted and the run goes on.

#include "model/tavomodel.h"

#include "media/albumgrouping.h"
#include "media/collectionquality.h"
#include "model/modeltasks.h"

#include <algorithm>

using namespace Qt::StringLiterals;

struct TavoModel::CoverRepairRun {
    struct Target {
        Album album;
        CoverSource image; // the album's first picture, in album order
    };
    QList<Target> targets; // fixed when the run starts
    bool onDevice = false;
    std::optional<QString> root;
    CoverDevice device = std::make_shared<std::optional<DeviceCheck>>();
    qsizetype done = 0;
    int repaired = 0;
    int failed = 0;
};

void TavoModel::repairAvailableCovers()
{
    if (m_busy)
        return;
    const QList<Track> active = activeTracks();
    const std::optional<QString> deviceRoot =
        m_libraryOnDevice && m_device ? std::optional<QString>(m_device->root) : std::nullopt;
    const bool onDevice = m_libraryOnDevice;
    const std::optional<QString> root = m_device ? std::optional<QString>(m_device->root) : std::nullopt;

    // The inspection looks at one file per track, and up to seven more per
    // track on the device: it runs on a worker, under busy so that nothing
    // else starts meanwhile.
    setBusy(true);
    ModelTasks::run(this, ModelTasks::filePool(), [active, deviceRoot] {
        UuidSet concerned;
        for (const QualityIssue &issue : CollectionQuality::inspect(active, deviceRoot)) {
            if (issue.kind != u"Okładki"_s)
                continue;
            for (const Track &track : issue.tracks)
                concerned.insert(track.id);
        }
        QList<CoverRepairRun::Target> targets;
        for (const Album &album : AlbumGrouping::albums(active)) {
            const bool reported = std::any_of(album.tracks.cbegin(), album.tracks.cend(),
                                              [&](const Track &track) { return concerned.contains(track.id); });
            if (!reported)
                continue;
            const auto withArt = std::find_if(album.tracks.cbegin(), album.tracks.cend(),
                                              [](const Track &track) { return track.artwork.has_value(); });
            // Without any picture there is nothing to repair from; the user picks one.
            if (withArt == album.tracks.cend())
                continue;
            targets.append({album, CoverSource::of(*withArt)});
        }
        return targets;
    }, [this, onDevice, root](const ModelTasks::Outcome<QList<CoverRepairRun::Target>> &outcome) {
        auto run = std::make_shared<CoverRepairRun>();
        run->targets = outcome.value.value_or(QList<CoverRepairRun::Target>());
        if (run->targets.isEmpty()) {
            setBusy(false);
            setAlert(u"Brak dostępnych obrazów do automatycznej naprawy. Przy brakującej okładce wybierz plik obrazu."_s);
            return;
        }
        run->onDevice = onDevice;
        run->root = root;
        setProgress(0);
        setStatus(u"Naprawiam dostępne okładki…"_s);
        repairNextCover(run);
    });
}

void TavoModel::repairNextCover(const std::shared_ptr<CoverRepairRun> &run)
{
    if (run->done == run->targets.size()) {
        setBusy(false);
        const QString summary = u"Naprawione albumy: "_s + QString::number(run->repaired)
                                + u". Nie udało się naprawić: "_s + QString::number(run->failed) + u"."_s;
        setStatus(summary);
        setAlert(summary + u"\n"_s
                 + (run->onDevice ? u"Poprzednie obrazy z iPoda mają kopię na komputerze."_s
                                  : u"Okładki są gotowe do wgrania razem z albumami."_s)
                 + u"\n"_s + u"Brakujące lub nieczytelne obrazy wymagają wyboru nowej okładki."_s);
        refresh();
        return;
    }

    const CoverRepairRun::Target &target = run->targets[run->done];
    applyArtwork(target.album, target.image, run->onDevice, run->root,
                 [this, run](const std::optional<QString> &error) {
                     // The reason of a failure is not shown: the summary counts it
                     // and the advice sends the user to choose a new picture.
                     if (error)
                         ++run->failed;
                     else
                         ++run->repaired;
                     ++run->done;
                     setProgress(double(run->done) / double(run->targets.size()));
                     repairNextCover(run);
                 },
                 run->device);
}
