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

// Files that are back are shown again (or, no longer audio, dropped like any
// file that is gone); the rest stay saved.
QStringList TavoModel::stillMissingOf(const QStringList &missing, const QStringList &returned)
{
    if (returned.isEmpty())
        return missing;
    const QSet<QString> back(returned.cbegin(), returned.cend());
    QStringList still;
    for (const QString &path : missing) {
        if (!back.contains(path))
            still.append(path);
    }
    return still;
}

// What an import hands to the main thread. Besides what was read, the joined
// list with its albums and, for the library, what is saved are worked out on
// the worker (they take tens of milliseconds at 20,000 tracks), from the
// model's state as it was when the import started.
struct TavoModel::ImportOutcome {
    QList<Track> found;
    QStringList returned;        // saved missing files that are back
    LibraryStore::Records read;  // what was read of each library file
    QList<Track> base;           // the list the found tracks are appended to
    QList<Track> combined;       // base + found
    std::shared_ptr<PreparedLists> lists;
    // Library imports: the model's records and missing files at the start,
    // and what they become.
    LibraryStore::Records recordsBefore;
    QStringList missingBefore;
    QStringList libraryPathsBefore; // as saved
    bool storedBefore = false;      // the records file held recordsBefore
    LibraryStore::Records records;
    QStringList stillMissing;
    QStringList libraryPaths;
    // Something to save: a start that finds every file as recorded writes nothing.
    bool changed = true;
    // Audio files and folders left out because their names are not UTF-8 (no
    // path here can name them, so they could be neither opened nor kept).
    qsizetype unreadableNames = 0;

    void prepareSave()
    {
        records = recordsBefore;
        bool sameRecords = true;
        for (auto it = read.cbegin(); sameRecords && it != read.cend(); ++it) {
            const auto before = recordsBefore.constFind(it.key());
            sameRecords = before != recordsBefore.cend() && LibraryStore::same(*before, *it);
        }
        if (!sameRecords)
            records.insert(read);
        stillMissing = stillMissingOf(missingBefore, returned);
        libraryPaths = libraryPathsOf(combined, stillMissing);
        changed = !storedBefore || !sameRecords || libraryPaths != libraryPathsBefore;
    }
};

void TavoModel::importURLs(const QStringList &urls, bool fromDevice, bool enqueue)
{
    if (m_busy)
        return;
    setBusy(true);
    startImport(urls, fromDevice, enqueue);
}

void TavoModel::startImport(const QStringList &urls, bool fromDevice, bool enqueue,
                            std::shared_ptr<const LibraryStore::Records> stored,
                            std::shared_ptr<const LibraryStore::SeenItems> seen)
{
    setStatus(u"Odczytuję albumy…"_s);
    setProgress(0);
    // Device tracks belong to the device read; see deviceImportIsCurrent().
    if (fromDevice)
        m_deviceImportRoot = m_device ? m_device->root : QString();

    // The scan works on its own copies of what it needs from the model.
    // The list the found tracks will be appended to, as it is now.
    const QList<Track> base = fromDevice ? m_deviceTracks : m_tracks;
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
    // A start has just looked for every saved file: those it missed are not looked for twice.
    const QStringList missing = fromDevice || seen ? QStringList() : m_missingLibraryPaths;
    // The joined list and its albums are worked out on the worker too, for the
    // list as it was at the start; the finish uses them when the list is still
    // that one.
    auto outcome = std::make_shared<ImportOutcome>();
    outcome->base = base;
    if (!fromDevice) {
        outcome->recordsBefore = m_records;
        outcome->missingBefore = m_missingLibraryPaths;
        outcome->storedBefore = m_recordsStored;
        outcome->libraryPathsBefore = Defaults::stringList(u"libraryPaths"_s).value_or(QStringList());
    }
    QPointer<TavoModel> guard(this);
    const ListInputs inputs{m_formatFilter, m_hiResOnly, m_search, m_sortMode};
    // The job hands its outcome over itself, posting the finish to the main
    // thread behind every progress step already queued. No continuation is
    // attached to the future: in this Qt one bound to the model asserts when
    // the model goes first, one attached as the job ends can run ahead of the
    // queued steps, and attaching one races with the job's own end.
    m_importScan = QtConcurrent::run(QThreadPool::globalInstance(),
                                     [urls, missing, stored, seen, fromDevice, base, overrides, post, guard, enqueue,
                                      outcome, inputs] {
        // The paths the side holds, worked out here: tens of thousands of them.
        QSet<QString> knownPaths;
        knownPaths.reserve(base.size());
        for (const Track &track : base)
            knownPaths.insert(paths::standardized(track.url));
        QStringList chosen = urls;
        for (const QString &path : missing) {
            if (paths::exists(path)) {
                outcome->returned.append(path);
                chosen.append(path);
            }
        }
        // The scan reports no errors; should it ever throw, the import still ends
        // (with what it has: nothing) rather than leaving the model busy for good.
        try {
            outcome->found = ImportScan::run(chosen, knownPaths, overrides, post, stored.get(),
                                             fromDevice ? nullptr : &outcome->read, &outcome->unreadableNames,
                                             seen.get());
        } catch (...) {
        }
        outcome->combined = outcome->base + outcome->found;
        // What is saved is worked out beside the lists: neither reads what
        // the other makes, and a start waits for both.
        QFuture<void> saving;
        if (!fromDevice)
            saving = QtConcurrent::run(QThreadPool::globalInstance(), [outcome] { outcome->prepareSave(); });
        outcome->lists = prepareLists(outcome->combined, inputs);
        saving.waitForFinished();
        ModelTasks::post([guard, fromDevice, enqueue, outcome]() mutable {
            if (guard)
                guard->finishImport(fromDevice, enqueue, *outcome);
            // What the finish kept shares its data; the rest (the read
            // records, the records and lists as they were) is freed on a worker.
            ModelTasks::release(std::move(outcome));
        });
    });
}

void TavoModel::showImportProgress(qsizetype position, qsizetype total)
{
    const qsizetype done = position + 1;
    setProgress(double(done) / double(std::max<qsizetype>(total, 1)));
    setStatus(u"Odczytuję utwory: "_s + QString::number(done) + u" / "_s + QString::number(total));
}

void TavoModel::finishImport(bool fromDevice, bool enqueue, ImportOutcome &outcome)
{
    const QList<Track> &found = outcome.found;
    const QStringList &returned = outcome.returned;
    // The list and its albums made on the worker, while the list is still the
    // one the import started from; otherwise joined here as it is now.
    const QList<Track> &current = fromDevice ? m_deviceTracks : m_tracks;
    const bool unchanged = current.isSharedWith(outcome.base) && current.size() == outcome.base.size();
    const QList<Track> joined = unchanged ? outcome.combined : current + found;
    if (fromDevice && !deviceImportIsCurrent()) {
        // Read for a device that is no longer current: the tracks belong to no list,
        // and the status keeps what the device change said.
        setBusy(false);
        return;
    }
    if (unchanged)
        offerPreparedLists(std::move(outcome.lists));
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
        // What is saved, worked out on the worker while the records and the
        // missing files were still those the import started from.
        if (unchanged && m_records.isSharedWith(outcome.recordsBefore)
            && m_missingLibraryPaths.isSharedWith(outcome.missingBefore)) {
            m_missingLibraryPaths = outcome.stillMissing;
            m_records = outcome.records;
            if (outcome.changed)
                writeLibraryPaths(outcome.libraryPaths);
        } else {
            m_missingLibraryPaths = stillMissingOf(m_missingLibraryPaths, returned);
            m_records.insert(outcome.read);
            saveLibraryPaths();
        }
        setLibraryOnDevice(false);
    }
    forgetDuplicates();
    setBusy(false);
    QString summary = found.isEmpty() ? u"Nie znaleziono nowych plików audio"_s
                                      : u"Odczytano utwory: "_s + QString::number(found.size());
    if (outcome.unreadableNames > 0)
        summary += u". Pominięto pliki i foldery o nieczytelnych nazwach: "_s
                   + QString::number(outcome.unreadableNames);
    setStatus(summary);
}
