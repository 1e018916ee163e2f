#include "model/tavomodel.h"

#include "localization/applocalizer.h"
#include "platform/defaults.h"
#include "platform/mountmonitor.h"
#include "platform/paths.h"
#include "platform/statefile.h"
#include "model/modeltasks.h"

#include <QDir>
#include <QThread>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentMap>
#include <QtConcurrent/QtConcurrentRun>
#include <atomic>

using namespace Qt::StringLiterals;

namespace {

std::atomic<bool> &followSystemMounts()
{
    static std::atomic<bool> follow{true};
    return follow;
}

} // namespace

TavoModel::TavoModel(DeviceDiscovery deviceDiscovery, bool restoreLibrary, QObject *parent)
    : QObject(parent)
    , m_playback(new Playback(this))
    , m_duplicateStatus(u"Duplikaty nie zostały jeszcze sprawdzone."_s)
    , m_status(u"Gotowy na Twoją muzykę"_s)
    , m_formatFilter(u"Wszystko"_s)
    , m_deviceDiscovery(std::move(deviceDiscovery))
    , m_contentGeneration(QUuid::createUuid())
{
    m_recordsWriter.setMaxThreadCount(1);
    // Failed saves are told on the main thread; this object's end drops any still queued.
    m_saveListener = statefile::addListener([this](statefile::Kind kind, std::exception_ptr failure) {
        QMetaObject::invokeMethod(
            this, [this, kind, failure] { noteSaveResult(int(kind), failure); }, Qt::QueuedConnection);
    });
    // In the interface language; followLanguage() renames it while it is untouched.
    const QString defaultName = u"Moja playlista"_s;
    m_playlistName = AppLocalizer::language() == u"en"_s ? AppLocalizer::translateEnglish(defaultName, 0) : defaultName;

    m_viewMode = Defaults::string(u"viewMode"_s).value_or(u"Albumy"_s);
    m_sortMode = Defaults::string(u"sortMode"_s).value_or(u"Wykonawca"_s);
    const double storedTile = Defaults::number(u"tileSize"_s).value_or(0);
    m_tileSize = storedTile > 0 ? storedTile : 170;

    // The volume facts the device page shows are read once per device setting.
    connect(this, &TavoModel::deviceChanged, this, &TavoModel::readDeviceVolume);

    refresh();

    if (restoreLibrary)
        this->restoreLibrary();

    // Disks being mounted and unmounted start a refresh (tavomodel_devices.cpp).
    if (followSystemMounts().load())
        observeMounts(new MountMonitor(this));
}

void TavoModel::setFollowSystemMounts(bool follow)
{
    followSystemMounts().store(follow);
}

TavoModel::~TavoModel()
{
    statefile::removeListener(m_saveListener);
    // The scan posts progress to this object from its worker; it must end first.
    if (m_importScan.isValid())
        m_importScan.waitForFinished();
}

const QSet<QString> &TavoModel::audioExtensions()
{
    return ::audioExtensions();
}

void TavoModel::restoreLibrary()
{
    const std::optional<QStringList> saved = Defaults::stringList(u"libraryPaths"_s);
    const QStringList stored = saved.value_or(QStringList());
    // Only absolute paths: an empty or relative one would name the working folder.
    // A saved library may hold tens of thousands; they are sorted out on the
    // worker once one of them qualifies.
    const auto absolute = std::find_if(stored.cbegin(), stored.cend(),
                                       [](const QString &path) { return QDir::isAbsolutePath(path); });
    // No saved paths at all (their file lost or damaged) while records are
    // kept: the records name every file of the library, so it is restored
    // from them rather than left to be overwritten by the next import.
    const bool fromRecords = !saved && paths::exists(LibraryStore::defaultFile());
    if (absolute == stored.cend() && !fromRecords)
        return;
    // Checking the paths can hang on a network or USB mount that does not
    // answer, so it runs on a worker while the window paints; the model counts
    // as busy meanwhile, so no other operation overlaps the restore.
    setBusy(true);
    ModelTasks::run(this, ModelTasks::filePool(), [stored, fromRecords] {
        // Records of the earlier format have their covers' previews made
        // again, on threads this job waits for.
        const ModelTasks::FilePoolWait waiting;
        LibraryPaths split;
        // What the last save recorded; a damaged or foreign file gives none,
        // and every file is then read.
        QFuture<LibraryStore::Records> loading = QtConcurrent::run([&split] {
            try {
                return LibraryStore::load(LibraryStore::defaultFile(), &split.recordsCurrent)
                    .value_or(LibraryStore::Records());
            } catch (...) {
                split.recordsCurrent = false;
                return LibraryStore::Records();
            }
        });
        QStringList candidates;
        if (fromRecords) {
            split.records = loading.result();
            candidates = split.records.keys();
            candidates.sort();
        } else {
            candidates.reserve(stored.size());
            for (const QString &path : stored) {
                if (QDir::isAbsolutePath(path))
                    candidates.append(path);
            }
        }
        // One lstat per path, on threads of their own (a library has tens of
        // thousands), while the records are read; the import takes each
        // file's kind and stamp from it rather than asking the disk again.
        QThreadPool checks;
        checks.setMaxThreadCount(std::max(1, QThread::idealThreadCount()));
        QFuture<std::pair<char, std::optional<LibraryStore::Seen>>> looked =
            QtConcurrent::mapped(&checks, candidates, [](const QString &path) {
                std::optional<LibraryStore::Seen> seen = LibraryStore::look(path);
                // A link is there when its target is.
                const bool present = seen.has_value() || paths::exists(path);
                return std::pair<char, std::optional<LibraryStore::Seen>>(char(present), seen);
            });
        if (!fromRecords)
            split.records = loading.result();
        const QList<std::pair<char, std::optional<LibraryStore::Seen>>> seen = looked.results();
        split.seen.reserve(candidates.size());
        for (qsizetype i = 0; i < candidates.size(); ++i) {
            const auto &[present, item] = seen.at(i);
            (present ? split.present : split.missing).append(candidates.at(i));
            if (item)
                split.seen.insert(candidates.at(i), *item);
        }
        return split;
    }, [this](const ModelTasks::Outcome<LibraryPaths> &outcome) {
        LibraryPaths split = outcome.value.value_or(LibraryPaths());
        // Paths missing now (a disk not mounted) stay saved until they come back.
        m_missingLibraryPaths = split.missing;
        m_records = split.records;
        m_recordsStored = split.recordsCurrent;
        if (split.present.isEmpty()) {
            setBusy(false);
            return;
        }
        startImport(split.present, false, false,
                    std::make_shared<const LibraryStore::Records>(std::move(split.records)),
                    std::make_shared<const LibraryStore::SeenItems>(std::move(split.seen)));
    });
}

void TavoModel::saveLibraryPaths()
{
    writeLibraryPaths(libraryPathsOf(m_tracks, m_missingLibraryPaths));
}

QStringList TavoModel::libraryPathsOf(const QList<Track> &tracks, const QStringList &missing)
{
    QStringList libraryPaths;
    libraryPaths.reserve(tracks.size() + missing.size());
    QSet<QString> shown;
    for (const Track &track : tracks) {
        libraryPaths.append(track.url);
        if (!missing.isEmpty())
            shown.insert(track.url);
    }
    // Saved files that were missing at start-up (an external disk not
    // mounted) are carried over, so one start without the disk loses nothing.
    for (const QString &path : missing) {
        if (!shown.contains(path))
            libraryPaths.append(path);
    }
    return libraryPaths;
}

void TavoModel::writeLibraryPaths(const QStringList &libraryPaths)
{
    Defaults::setStringList(u"libraryPaths"_s, libraryPaths);
    m_recordsStored = true; // once the write below is done; a failure says otherwise

    // The records of exactly these files, written on a thread of their own:
    // one save after another, in order, never holding up the window.
    m_recordsWriter.start([records = m_records, libraryPaths] {
        try {
            LibraryStore::write(LibraryStore::defaultFile(), records, libraryPaths);
            statefile::report(statefile::Kind::records, nullptr);
        } catch (...) {
            // The earlier records stay; the next start reads the files they miss.
            statefile::report(statefile::Kind::records, std::current_exception());
        }
    });
}

void TavoModel::noteSaveResult(int kind, std::exception_ptr failure)
{
    if (!failure) {
        m_saveFailures.remove(kind);
        return;
    }
    // The records file no longer holds the records: the next save writes them.
    if (statefile::Kind(kind) == statefile::Kind::records)
        m_recordsStored = false;
    const QString text = statefile::failureText(statefile::Kind(kind), failure);
    if (m_saveFailures.value(kind) == text)
        return; // told already; the cause has not changed
    // The records and the paths of one library failing alike make one alert.
    bool told = false;
    for (auto it = m_saveFailures.cbegin(); it != m_saveFailures.cend(); ++it)
        told = told || it.value() == text;
    m_saveFailures.insert(kind, text);
    if (!told)
        setAlert(text);
}
