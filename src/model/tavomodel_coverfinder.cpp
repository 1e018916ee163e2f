// Finding the missing covers of many albums at once: every album of the side
// shown that has no picture at all is looked up in the online release-group
// search, and a cover is taken without asking only when exactly one result
// passes the automatic-match test. The albums go one after another, so the
// search service's spacing of requests holds; a failing album is counted and
// the run goes on.

#include "model/tavomodel.h"

#include "media/albumgrouping.h"
#include "media/coversearch.h"
#include "model/modeltasks.h"

#include <algorithm>

using namespace Qt::StringLiterals;

struct TavoModel::CoverFinderRun {
    QList<Album> albums; // fixed when the run starts
    bool onDevice = false;
    std::optional<QString> root;
    CoverDevice device = std::make_shared<std::optional<DeviceCheck>>();
    qsizetype done = 0;
    int added = 0;
    int manual = 0;      // no result or several results pass the match test
    int unavailable = 0; // the search, the download or the application failed
    bool offline = false; // a search or a download failed for want of a connection
};

void TavoModel::findMissingCovers()
{
    if (m_busy)
        return;
    QList<Album> missing;
    for (const Album &album : AlbumGrouping::albums(activeTracks())) {
        // Any picture counts as a cover here, even one Rockbox cannot show:
        // repairing those is the other operation's work.
        const bool hasArt = std::any_of(album.tracks.cbegin(), album.tracks.cend(),
                                        [](const Track &track) { return track.artwork.has_value(); });
        if (!hasArt)
            missing.append(album);
    }
    if (missing.isEmpty())
        return;

    auto run = std::make_shared<CoverFinderRun>();
    run->albums = missing;
    run->onDevice = m_libraryOnDevice;
    run->root = m_device ? std::optional<QString>(m_device->root) : std::nullopt;

    setBusy(true);
    setProgress(0);
    setStatus(u"Szukam brakujących okładek…"_s);
    findNextCover(run);
}

void TavoModel::findNextCover(const std::shared_ptr<CoverFinderRun> &run)
{
    const qsizetype total = run->albums.size();
    if (run->done == total) {
        setBusy(false);
        refresh();
        QString summary = u"Dodano okładki: "_s + QString::number(run->added) + u". Do wyboru ręcznie: "_s
                          + QString::number(run->manual) + u". Niedostępne: "_s
                          + QString::number(run->unavailable) + u"."_s;
        // Albums missed because the service could not be reached say so, so
        // that the user looks at the connection rather than at the albums.
        if (run->offline)
            summary += u" "_s + u"Brak połączenia z usługą okładek (MusicBrainz / Cover Art Archive). "
                                 u"Sprawdź połączenie z internetem."_s;
        setStatus(summary);
        setAlert(summary + u"\n"_s + u"Przy pozostałych albumach użyj „Znajdź w sieci…” lub wybierz własny obraz."_s);
        return;
    }

    const Album album = run->albums[run->done];
    // Every album ends in exactly one counter; then the next one starts.
    const auto counted = [this, run](int CoverFinderRun::*counter) {
        ++(run.get()->*counter);
        ++run->done;
        setProgress(double(run->done) / double(run->albums.size()));
        setStatus(u"Sprawdzono albumy: "_s + QString::number(run->done) + u" / "_s
                  + QString::number(run->albums.size()) + u" · dodano: "_s + QString::number(run->added));
        findNextCover(run);
    };

    const QString artist = album.artist;
    const QString title = album.title;
    ModelTasks::run(
        this, ModelTasks::networkPool(), [artist, title] { return CoverSearch::shared().search(artist, title); },
        [this, run, album, counted](const ModelTasks::Outcome<QList<CoverCandidate>> &found) {
            if (!found.ok()) {
                run->offline = run->offline || isConnectionFailure(found.error);
                counted(&CoverFinderRun::unavailable);
                return;
            }
            QList<CoverCandidate> fitting;
            for (const CoverCandidate &candidate : *found.value) {
                if (candidate.matches(album.artist, album.title))
                    fitting.append(candidate);
            }
            // Several good answers are as uncertain as none: the user chooses.
            if (fitting.size() != 1) {
                counted(&CoverFinderRun::manual);
                return;
            }
            const CoverCandidate chosen = fitting.first();
            ModelTasks::run(
                this, ModelTasks::networkPool(), [chosen] { return CoverSearch::shared().image(chosen); },
                [this, run, album, chosen, counted](const ModelTasks::Outcome<QByteArray> &image) {
                    if (!image.ok()) {
                        run->offline = run->offline || isConnectionFailure(image.error);
                        counted(&CoverFinderRun::unavailable);
                        return;
                    }
                    applyArtwork(album, *image.value, run->onDevice, run->root,
                                 [this, album, chosen, counted](const std::optional<QString> &error) {
                                     if (error) {
                                         counted(&CoverFinderRun::unavailable);
                                         return;
                                     }
                                     saveCoverSource(chosen, album);
                                     counted(&CoverFinderRun::added);
                                 },
                                 run->device);
                });
        });
}
