#include "model/tavomodel.h"

#include "localization/applocalizer.h"
#include "model/importscan.h"
#include "model/modeltasks.h"
#include "platform/defaults.h"
#include "platform/paths.h"

#include <QMetaObject>
#include <QPointer>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>

using namespace Qt::StringLiterals;

void TavoModel::importMusic()
{
    if (!m_filesChooser)
        return;
    m_filesChooser(AppLocalizer::display(u"Dodaj muzykę"_s),
                   [self = QPointer<TavoModel>(this)](const std::optional<QStringList> &chosen) {
                       if (self && chosen)
                           self->importURLs(*chosen, false, true);
                   });
}

void TavoModel::importURLs(const QStringList &urls, bool fromDevice, bool enqueue)
{
    if (m_busy)
        return;
    setBusy(true);
    startImport(urls, fromDevice, enqueue);
}

void TavoModel::startImport(const QStringList &urls, bool fromDevice, bool enqueue,
                            std::shared_ptr<const LibraryStore::Records> stored)
{
    setStatus(u"Odczytuję albumy…"_s);
    setProgress(0);
    // Device tracks belong to the device read; see deviceImportIsCurrent().
    if (fromDevice)
        m_deviceImportRoot = m_device ? m_device->root : QString();

    // The scan works on its own copies of what it needs from the model.
    // The list the found tracks will be appended to, as it is now.
    const QList<Track> base = fromDevice ? m_deviceTracks : m_tracks;
    QSet<QString> knownPaths;
    for (const Track &track : base)
        knownPaths.insert(paths::standardized(track.url));
    const QMap<QString, QString> overrides = Defaults::stringMap(u"artworkOverrides"_s).value_or(QMap<QString, QString>());

    // Progress is posted and never awaited; every step is queued before the
    // finishing continuation, and the main thread runs them in that order.
    // A step of a device read whose device has gone meanwhile is dropped like
    // its result, so it can't leave a stale count in the status line.
    ImportScan::ProgressPost post = [this, fromDevice](qsizetype position, qsizetype total) {
        QMetaObject::invokeMethod(
            this,
            [this, fromDevice, position, total] {
                if (!fromDevice || deviceImportIsCurrent())
                    showImportProgress(position, total);
            },
            Qt::QueuedConnection);
    };
    // Saved library files that were missing are looked for again (on the
    // worker: a disk that does not answer must not hold up the window); those
    // back now are read with the rest, but never queued.
    const QStringList missing = fromDevice ? QStringList() : m_missingLibraryPaths;
    auto returned = std::make_shared<QStringList>();
    auto read = std::make_shared<LibraryStore::Records>();
    m_importScan = QtConcurrent::run(QThreadPool::globalInstance(), [urls, missing, returned, read, stored, fromDevice,
                                                                     knownPaths, overrides, post] {
        QStringList chosen = urls;
        for (const QString &path : missing) {
            if (paths::exists(path)) {
                returned->append(path);
                chosen.append(path);
            }
        }
        return ImportScan::run(chosen, knownPaths, overrides, post, stored.get(), fromDevice ? nullptr : read.get());
    });
    // The hand-over runs where the scan ends and posts the finish to the main
    // thread, behind every progress step already queued. A continuation bound
    // to the model itself is avoided: in this Qt it asserts when the model is
    // destroyed first, and it runs at once, ahead of the queued steps, when the
    // scan has already ended as it is attached.
    // The joined list and its albums are worked out here too, off the main
    // thread, for the list as it was at the start; the finish uses them when
    // the list is still that one.
    QPointer<TavoModel> guard(this);
    m_importScan.then([guard, fromDevice, enqueue, returned, read, base, sortMode = m_sortMode](QFuture<QList<Track>> scan) {
        // The scan reports no errors; should it ever throw, the import still ends
        // (with what it has: nothing) rather than leaving the model busy for good.
        QList<Track> found;
        try {
            found = scan.result();
        } catch (...) {
        }
        const QList<Track> combined = base + found;
        std::shared_ptr<PreparedLists> prepared = prepareLists(combined, sortMode);
        ModelTasks::post([guard, found, fromDevice, enqueue, returned, read, base, combined, prepared]() mutable {
            if (guard)
                guard->finishImport(found, fromDevice, enqueue, *returned, *read, base, combined, std::move(prepared));
        });
    });
}

void TavoModel::showImportProgress(qsizetype position, qsizetype total)
{
    const qsizetype done = position + 1;
    setProgress(double(done) / double(std::max<qsizetype>(total, 1)));
    setStatus(u"Odczytuję utwory: "_s + QString::number(done) + u" / "_s + QString::number(total));
}

void TavoModel::finishImport(const QList<Track> &found, bool fromDevice, bool enqueue, const QStringList &returned,
                             const LibraryStore::Records &read, const QList<Track> &base, const QList<Track> &combined,
                             std::shared_ptr<PreparedLists> prepared)
{
    // The list and its albums made on the worker, while the list is still the
    // one the import started from; otherwise joined here as it is now.
    const QList<Track> &current = fromDevice ? m_deviceTracks : m_tracks;
    const bool unchanged = current.isSharedWith(base) && current.size() == base.size();
    const QList<Track> joined = unchanged ? combined : current + found;
    if (fromDevice && !deviceImportIsCurrent()) {
        // Read for a device that is no longer current: the tracks belong to no list,
        // and the status keeps what the device change said.
        setBusy(false);
        return;
    }
    if (unchanged)
        offerPreparedLists(std::move(prepared));
    if (fromDevice) {
        setDeviceTracks(joined);
    } else {
        setTracks(joined);
        const QSet<QString> back(returned.cbegin(), returned.cend());
        if (enqueue) {
            UuidSet queued = m_queued;
            for (const Track &track : found) {
                if (!back.contains(track.url))
                    queued.insert(track.id);
            }
            setQueued(queued);
        }
        // Files that are back are shown again (or, no longer audio, dropped
        // like any file that is gone); the rest stay saved.
        if (!back.isEmpty()) {
            QStringList stillMissing;
            for (const QString &path : std::as_const(m_missingLibraryPaths)) {
                if (!back.contains(path))
                    stillMissing.append(path);
            }
            m_missingLibraryPaths = stillMissing;
        }
        m_records.insert(read);
        saveLibraryPaths();
        setLibraryOnDevice(false);
    }
    forgetDuplicates();
    setBusy(false);
    setStatus(found.isEmpty() ? u"Nie znaleziono nowych plików audio"_s
                              : u"Odczytano utwory: "_s + QString::number(found.size()));
}
