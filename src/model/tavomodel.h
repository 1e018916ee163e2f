#pragma once

// The application model: the one object that holds the library, the device,
// the selections, the view settings, the progress and the status, and offers
// every user operation. It lives on the main thread; long work runs on worker
// threads and comes back here before anything published changes.
//
// The class is split by concern over several files:
//   tavomodel.cpp         construction and start-up
//   tavomodel_state.cpp   the published properties' setters
//   tavomodel_import.cpp  importing music into the library or the device list
// Device discovery, the derived lists and the other operations add files of
// their own in the same way.

#include "model/playback.h"
#include "device/device.h"
#include "device/ipodprofile.h"
#include "device/themetypes.h"
#include "platform/eject.h"
#include "media/collectionquality.h"
#include "media/records.h"
#include "model/librarystore.h"

#include <QFuture>
#include <QList>
#include <QMap>
#include <QObject>
#include <QSet>
#include <QThreadPool>
#include <QString>
#include <QStringList>
#include <QUuid>
#include <functional>
#include <memory>
#include <optional>

class MountMonitor;
struct CoverCandidate;
struct CoverSearchResult;
class CoverSearchRequest;

class TavoModel : public QObject
{
    Q_OBJECT

public:
    using StringMap = QMap<QString, QString>;
    using ThemeSettingsMap = QMap<QString, StringMap>;
    using ThemePreviewMap = QMap<QString, ThemePreview>;
    using UuidSet = QSet<QUuid>;
    using OptionalAlbum = std::optional<Album>;
    using OptionalDevice = std::optional<Device>;
    using OptionalTheme = std::optional<Theme>;
    using OptionalString = std::optional<QString>;

    // How devices are found; called from worker threads, so it must not touch the model.
    using DeviceDiscovery = std::function<QList<Device>()>;
    // The user's answer to a chooser: none when the choice was cancelled.
    template <typename T>
    using Answer = std::function<void(const std::optional<T> &chosen)>;
    // Asks the user for files and folders to add. The shell installs a dialog
    // that answers later, from the event loop, without blocking; a fake may
    // answer at once. Without one, adding music by choice does nothing.
    using FilesChooser = std::function<void(const QString &prompt, Answer<QStringList> answer)>;

private:
    Q_PROPERTY(OptionalAlbum coverLookup READ coverLookup WRITE setCoverLookup NOTIFY coverLookupChanged)
    Q_PROPERTY(bool showCoverFlow READ showCoverFlow WRITE setShowCoverFlow NOTIFY showCoverFlowChanged)
    Q_PROPERTY(Playback *playback READ playback CONSTANT)
    Q_PROPERTY(QList<QualityIssue> duplicateIssues READ duplicateIssues WRITE setDuplicateIssues NOTIFY duplicateIssuesChanged)
    Q_PROPERTY(QString duplicateStatus READ duplicateStatus WRITE setDuplicateStatus NOTIFY duplicateStatusChanged)
    Q_PROPERTY(Section section READ section WRITE setSection NOTIFY sectionChanged)
    Q_PROPERTY(QList<Device> devices READ devices WRITE setDevices NOTIFY devicesChanged)
    Q_PROPERTY(OptionalDevice device READ device WRITE setDevice NOTIFY deviceChanged)
    Q_PROPERTY(QList<Track> tracks READ tracks WRITE setTracks NOTIFY tracksChanged)
    Q_PROPERTY(QList<Track> deviceTracks READ deviceTracks WRITE setDeviceTracks NOTIFY deviceTracksChanged)
    Q_PROPERTY(bool libraryOnDevice READ libraryOnDevice WRITE setLibraryOnDevice NOTIFY libraryOnDeviceChanged)
    Q_PROPERTY(UuidSet selectedOnDevice READ selectedOnDevice WRITE setSelectedOnDevice NOTIFY selectedOnDeviceChanged)
    Q_PROPERTY(UuidSet queued READ queued WRITE setQueued NOTIFY queuedChanged)
    Q_PROPERTY(QString search READ search WRITE setSearch NOTIFY searchChanged)
    Q_PROPERTY(bool busy READ busy WRITE setBusy NOTIFY busyChanged)
    Q_PROPERTY(double progress READ progress WRITE setProgress NOTIFY progressChanged)
    Q_PROPERTY(QString status READ status WRITE setStatus NOTIFY statusChanged)
    Q_PROPERTY(OptionalString alert READ alert WRITE setAlert NOTIFY alertChanged)
    Q_PROPERTY(QList<Theme> themes READ themes WRITE setThemes NOTIFY themesChanged)
    Q_PROPERTY(QStringList playlists READ playlists WRITE setPlaylists NOTIFY playlistsChanged)
    Q_PROPERTY(QStringList backups READ backups WRITE setBackups NOTIFY backupsChanged)
    Q_PROPERTY(QStringList transferred READ transferred WRITE setTransferred NOTIFY transferredChanged)
    Q_PROPERTY(QString playlistName READ playlistName WRITE setPlaylistName NOTIFY playlistNameChanged)
    Q_PROPERTY(OptionalAlbum openAlbum READ openAlbum WRITE setOpenAlbum NOTIFY openAlbumChanged)
    Q_PROPERTY(QString formatFilter READ formatFilter WRITE setFormatFilter NOTIFY formatFilterChanged)
    Q_PROPERTY(bool hiResOnly READ hiResOnly WRITE setHiResOnly NOTIFY hiResOnlyChanged)
    Q_PROPERTY(QString viewMode READ viewMode WRITE setViewMode NOTIFY viewModeChanged)
    Q_PROPERTY(QString sortMode READ sortMode WRITE setSortMode NOTIFY sortModeChanged)
    Q_PROPERTY(double tileSize READ tileSize WRITE setTileSize NOTIFY tileSizeChanged)
    Q_PROPERTY(ThemePreviewMap themePreviews READ themePreviews WRITE setThemePreviews NOTIFY themePreviewsChanged)
    Q_PROPERTY(QString themePreviewStatus READ themePreviewStatus WRITE setThemePreviewStatus NOTIFY themePreviewStatusChanged)
    Q_PROPERTY(OptionalTheme openTheme READ openTheme WRITE setOpenTheme NOTIFY openThemeChanged)
    Q_PROPERTY(StringMap deviceInfo READ deviceInfo WRITE setDeviceInfo NOTIFY deviceInfoChanged)
    Q_PROPERTY(StringMap deviceConfig READ deviceConfig WRITE setDeviceConfig NOTIFY deviceConfigChanged)
    Q_PROPERTY(ThemeSettingsMap themeSettings READ themeSettings WRITE setThemeSettings NOTIFY themeSettingsChanged)

public:
    // Runs the start-up: defaults, the stored view settings, the player, a device
    // refresh and, when restoreLibrary is set, the import of the saved library.
    TavoModel(DeviceDiscovery deviceDiscovery, bool restoreLibrary, QObject *parent = nullptr);
    ~TavoModel() override;

    // The 13 lower-case file extensions that count as audio.
    static const QSet<QString> &audioExtensions();

    // --- published properties ---
    const OptionalAlbum &coverLookup() const { return m_coverLookup; }
    bool showCoverFlow() const { return m_showCoverFlow; }
    Playback *playback() const { return m_playback; }
    const QList<QualityIssue> &duplicateIssues() const { return m_duplicateIssues; }
    const QString &duplicateStatus() const { return m_duplicateStatus; }
    Section section() const { return m_section; }
    const QList<Device> &devices() const { return m_devices; }
    const OptionalDevice &device() const { return m_device; }
    const QList<Track> &tracks() const { return m_tracks; }
    const QList<Track> &deviceTracks() const { return m_deviceTracks; }
    bool libraryOnDevice() const { return m_libraryOnDevice; }
    const UuidSet &selectedOnDevice() const { return m_selectedOnDevice; }
    const UuidSet &queued() const { return m_queued; }
    const QString &search() const { return m_search; }
    bool busy() const { return m_busy; }
    double progress() const { return m_progress; }
    const QString &status() const { return m_status; }
    const OptionalString &alert() const { return m_alert; }
    const QList<Theme> &themes() const { return m_themes; }
    const QStringList &playlists() const { return m_playlists; }
    const QStringList &backups() const { return m_backups; }
    const QStringList &transferred() const { return m_transferred; }
    const QString &playlistName() const { return m_playlistName; }
    // Puts the default playlist name into the interface language now in use,
    // unless the user has named the playlist.
    void followLanguage();
    const OptionalAlbum &openAlbum() const { return m_openAlbum; }
    const QString &formatFilter() const { return m_formatFilter; }
    bool hiResOnly() const { return m_hiResOnly; }
    const QString &viewMode() const { return m_viewMode; }
    const QString &sortMode() const { return m_sortMode; }
    double tileSize() const { return m_tileSize; }
    const ThemePreviewMap &themePreviews() const { return m_themePreviews; }
    const QString &themePreviewStatus() const { return m_themePreviewStatus; }
    const OptionalTheme &openTheme() const { return m_openTheme; }
    const StringMap &deviceInfo() const { return m_deviceInfo; }
    const StringMap &deviceConfig() const { return m_deviceConfig; }
    const ThemeSettingsMap &themeSettings() const { return m_themeSettings; }

    // Every assignment notifies, also of an unchanged value.
    void setCoverLookup(const OptionalAlbum &value);
    void setShowCoverFlow(bool value);
    void setDuplicateIssues(const QList<QualityIssue> &value);
    void setDuplicateStatus(const QString &value);
    void setSection(Section value);
    void setDevices(const QList<Device> &value);
    void setDevice(const OptionalDevice &value);
    void setTracks(const QList<Track> &value);
    void setDeviceTracks(const QList<Track> &value);
    // A real change forgets the duplicate findings.
    void setLibraryOnDevice(bool value);
    void setSelectedOnDevice(const UuidSet &value);
    void setQueued(const UuidSet &value);
    void setSearch(const QString &value);
    void setBusy(bool value);
    void setProgress(double value);
    void setStatus(const QString &value);
    void setAlert(const OptionalString &value);
    void setThemes(const QList<Theme> &value);
    void setPlaylists(const QStringList &value);
    void setBackups(const QStringList &value);
    void setTransferred(const QStringList &value);
    void setPlaylistName(const QString &value);
    void setOpenAlbum(const OptionalAlbum &value);
    void setFormatFilter(const QString &value);
    void setHiResOnly(bool value);
    // These three are saved to the settings on every assignment.
    void setViewMode(const QString &value);
    void setSortMode(const QString &value);
    void setTileSize(double value);
    void setThemePreviews(const ThemePreviewMap &value);
    void setThemePreviewStatus(const QString &value);
    void setOpenTheme(const OptionalTheme &value);
    void setDeviceInfo(const StringMap &value);
    void setDeviceConfig(const StringMap &value);
    void setThemeSettings(const ThemeSettingsMap &value);

    // --- state that is not published ---
    const DeviceDiscovery &deviceDiscovery() const { return m_deviceDiscovery; }
    bool refreshing() const { return m_refreshing; }
    const QUuid &contentGeneration() const { return m_contentGeneration; }

    // --- operations ---
    // Rediscovers devices and reloads the chosen device's content.
    void refresh();

    // Asks for files and folders and adds them to the library, queued for transfer.
    void importMusic();
    void setFilesChooser(FilesChooser chooser) { m_filesChooser = std::move(chooser); }
    // A chooser that answers at once (tests).
    void setFilesChooser(std::function<std::optional<QStringList>(const QString &)> chooser)
    {
        m_filesChooser = [chooser](const QString &prompt, Answer<QStringList> answer) { answer(chooser(prompt)); };
    }
    // Reads the audio files under the given files and folders into tracks, in the
    // background; appends them to the device list or to the library (and the queue
    // when asked). Returns at once; does nothing while another operation runs.
    void importURLs(const QStringList &urls, bool fromDevice, bool enqueue);

    // --- derived lists (tavomodel_lists.cpp) ---
    // Computed from the published fields and kept until one of their inputs
    // changes, so the views may read them as often as they draw.
    const QList<Track> &activeTracks() const; // deviceTracks or tracks, by libraryOnDevice
    // Passes the format filter, the hi-res filter and the search.
    bool matches(const Track &track) const;
    // High resolution: more than 16 bits or more than 48 kHz. The one test
    // behind the hi-res filter, the album badge and the track list's colouring.
    static bool isHiRes(const AudioInfo &info) { return info.bitDepth > 16 || info.sampleRate > 48000; }
    // The album of the side shown (all its tracks, whatever the filters) that
    // holds the track, found through an index kept with the grouping of the
    // current track list; none when no album holds it.
    OptionalAlbum albumContaining(const QUuid &trackId) const;
    // Opens the detail sheet of albumContaining(track), or closes it when none.
    void openAlbumContaining(const Track &track);
    QList<Track> filteredTracks() const; // matching active tracks, in sortMode order
    // The number of filteredTracks(), without making the list (the search counts as it is typed).
    qsizetype filteredCount() const;
    QList<Album> albums() const;         // albums with a matching track (all their tracks), in sortMode order
    QList<Track> queue() const;          // queued library tracks, in library order
    // The number of queue() tracks and their bytes, without making the list.
    qsizetype queueCount() const;
    qint64 queueBytes() const;
    // The installed theme that the device's settings select.
    OptionalTheme configuredTheme() const;
    // The iPod model and finish drawn for the device: the user's choice, else the firmware's target.
    IPodProfile deviceProfile() const;
    QString deviceFinish() const;
    // Store the model id or finish chosen for the current device; "auto" forgets it.
    void setAppearance(const QString &value);
    void setFinish(const QString &value);

    // --- the device (tavomodel_devices.cpp) ---
    // Asks the user for one folder (prompt and message already in the interface
    // language); none when the choice was cancelled. The shell installs a dialog;
    // without one, choosing a device does nothing.
    using FolderChooser = std::function<void(const QString &prompt, const QString &message, Answer<QString> answer)>;
    void setFolderChooser(FolderChooser chooser) { m_folderChooser = std::move(chooser); }
    void setFolderChooser(std::function<std::optional<QString>(const QString &, const QString &)> chooser)
    {
        m_folderChooser = [chooser](const QString &prompt, const QString &message, Answer<QString> answer) {
            answer(chooser(prompt, message));
        };
    }
    // The mounted user volumes that hold a Rockbox device, in mount-table order.
    static QList<Device> defaultDeviceDiscovery();
    // How long a discovery may run before the status says the device does not answer.
    static constexpr int defaultWatchdogDelay = 5'000; // ms
    void setWatchdogDelay(int milliseconds) { m_watchdogDelay = milliseconds; }
    // Follows the mounts and unmounts the monitor reports; the constructor
    // attaches one on the real mount table unless that is turned off.
    void observeMounts(MountMonitor *monitor);
    // Whether models made from now on follow this computer's mount table. Test
    // programs turn it off: their devices are folders they feed to the model,
    // and a disk mounted meanwhile by anything else must not refresh them away.
    static void setFollowSystemMounts(bool follow);
    // Makes a device current (forgetting what belonged to another one) and reads its content.
    void select(const Device &device);
    // Reads the current device's themes, previews, settings and playlists in the background.
    void loadDeviceContent();
    // Asks for a folder and makes it the device when it holds .rockbox.
    void chooseDevice();
    // Reads the device's music folders into the device side of the library.
    void scanDeviceMusic();
    // Fetches the previews of the installed themes from the online gallery.
    void fetchThemePreviews();

    // --- selection and transfer (tavomodel_transfer.cpp) ---
    // Chooses or un-chooses every track of the album, or one track: the transfer
    // queue on the computer side, the playlist choice on the device side.
    // A sheet that shows one side whatever the window shows passes that side
    // as onDeviceOverride; absent, the side shown decides.
    void toggle(const Album &album);
    void toggleTrack(const Track &track, std::optional<bool> onDeviceOverride = std::nullopt);
    // Removes the album's tracks from the library on the computer (not from disk).
    void forget(const Album &album);
    // Copies the given tracks, or the transfer queue, onto the device with their
    // covers, in the background; returns at once.
    void transfer(const std::optional<QList<Track>> &only = std::nullopt);

    // --- covers (tavomodel_covers.cpp) ---
    // Asks the user for one image file (prompt already in the interface
    // language); none when the choice was cancelled. The shell installs a
    // dialog; without one, choosing a picture does nothing.
    using ImageChooser = std::function<void(const QString &prompt, Answer<QString> answer)>;
    void setImageChooser(ImageChooser chooser) { m_imageChooser = std::move(chooser); }
    void setImageChooser(std::function<std::optional<QString>(const QString &)> chooser)
    {
        m_imageChooser = [chooser](const QString &prompt, Answer<QString> answer) { answer(chooser(prompt)); };
    }
    // Downloads a search result's cover and gives it to the album; onDeviceOverride
    // says whether the device gets it now (absent: the side shown decides).
    void downloadCover(const CoverCandidate &candidate, const Album &album,
                       std::optional<bool> onDeviceOverride = std::nullopt);
    // Gives the album its current artwork again (current) or a picture the user picks.
    void chooseArtwork(const Album &album, bool current, std::optional<bool> onDeviceOverride = std::nullopt);

    // --- the cover search of a sheet (tavomodel_coversearch.cpp, coverlookup.h) ---
    using CoverSearchDone = std::function<void(const CoverSearchResult &)>;
    // Asks the online catalogue for the candidates of the two names on a network
    // worker; `done` runs on the main thread with the outcome, never when the
    // returned request was cancelled first or `receiver` is gone by then.
    std::shared_ptr<CoverSearchRequest> searchCovers(const QString &artist, const QString &title, QObject *receiver,
                                                     CoverSearchDone done);

    // --- theme previews (tavomodel_previews.cpp) ---
    // Asks for a picture and keeps it as the user's own screenshot of the theme.
    void chooseThemePreview(const Theme &theme);

    // --- playlists and backups (tavomodel_backup.cpp) ---
    // Device files written by transfers plus the marked device tracks, once each, by path.
    QStringList playlistTracks() const;
    // Writes playlistTracks() as a playlist named playlistName onto the device, at once.
    void makePlaylist();
    // A new, not yet existing folder inside the backups folder (which is created).
    // Throws the file system's error.
    QString newBackupURL();
    // Copies the device's settings and themes into a new backup folder, in the background.
    void backup();

    // --- collection care (tavomodel_duplicates.cpp, _coverfinder, _repair, _cleanup, _themeinstall) ---
    // Looks for byte-identical files among activeTracks(), in the background.
    void checkDuplicates();
    // Looks the albums of the side shown that have no picture up online and
    // takes a cover where exactly one result matches; one album at a time.
    void findMissingCovers();
    // Converts the pictures of the albums the collection checks report under
    // "Okładki" into covers Rockbox shows; one album at a time.
    void repairAvailableCovers();
    // Removes the macOS "._" files from the device's music folders, keeping copies.
    void cleanupMacFiles();
    // Asks the user for one ZIP package (prompt already in the interface
    // language); none when the choice was cancelled. The shell installs a
    // dialog; without one, installing a theme does nothing.
    using PackageChooser = std::function<void(const QString &prompt, Answer<QString> answer)>;
    void setPackageChooser(PackageChooser chooser) { m_packageChooser = std::move(chooser); }
    void setPackageChooser(std::function<std::optional<QString>(const QString &)> chooser)
    {
        m_packageChooser = [chooser](const QString &prompt, Answer<QString> answer) { answer(chooser(prompt)); };
    }
    // Asks for a theme package and installs it onto the device after a settings backup.
    void installTheme();

    // --- what the quality and device pages show (tavomodel_quality.cpp) ---
    // The collection checks of the side shown, with what the quality page needs
    // to offer its repairs, all worked out on a worker.
    struct CollectionInspection {
        QList<QualityIssue> issues;              // CollectionQuality::inspect's order
        QList<std::optional<Album>> coverAlbums; // per issue: the album of a cover problem, when found
        bool repairableCovers = false;    // a cover problem has a track that carries artwork
        bool albumWithoutArtwork = false; // some album has no track that carries artwork
    };
    const CollectionInspection &collectionInspection() const;
    // Inspects activeTracks() (with the device root on the device side) on a
    // worker and publishes the result. While one runs, a further call runs it
    // once more afterwards; a result whose tracks, side or device changed
    // meanwhile is dropped and the inspection runs again.
    void inspectCollection();
    bool inspectingCollection() const;
    // The first album, in the grouping of activeTracks(), holding one of the tracks.
    std::optional<Album> albumOf(const QList<Track> &tracks) const;

    // Facts of the current device's volume, read on a worker whenever the device is set.
    struct DeviceVolume {
        QString root;
        QString fileSystem; // empty when unknown
        bool writable = false;
    };
    const std::optional<DeviceVolume> &deviceVolume() const;
    // The user's description of the current device, kept per root path.
    QString deviceDescription() const;
    void setDeviceDescription(const QString &text);
    // The model id and finish stored for the current device; "auto" when none.
    QString storedAppearance() const;
    QString storedFinish() const;

    // --- eject and Cover Flow (tavomodel_shell.cpp) ---
    // Unmounts and ejects the device's volume on a worker thread (the call can
    // take long on a slow disk), stopping a track that plays from it first. On
    // success the device and its music are forgotten; a refusal becomes the
    // alert. Does nothing without a device, while busy, for a test folder or
    // while an eject runs.
    void eject();
    // The ejector used by eject(); the system's UDisks2 one unless set (tests).
    void setEjector(std::shared_ptr<Ejector> ejector) { m_ejector = std::move(ejector); }
    bool ejecting() const { return m_ejecting; }
    // Shows the device's albums in Cover Flow: switches to the device side and
    // shows the window, or asks an open one to come forward.
    void revealCoverFlow();

    // Which signals make each derived list stale (the views re-read on these):
    //   activeTracks, filteredTracks, albums: tracksChanged, deviceTracksChanged,
    //     libraryOnDeviceChanged, searchChanged, formatFilterChanged,
    //     hiResOnlyChanged, sortModeChanged
    //   queue, queueCount, queueBytes: queuedChanged, tracksChanged
    //   playlistTracks: transferredChanged, selectedOnDeviceChanged, deviceTracksChanged
    //   configuredTheme: themesChanged, deviceConfigChanged, themeSettingsChanged
    //   deviceProfile, deviceFinish: deviceChanged, deviceInfoChanged, objectWillChange

private:
    struct CoverFinderRun;
    struct CoverRepairRun;
    void findNextCover(const std::shared_ptr<CoverFinderRun> &run);
    void repairNextCover(const std::shared_ptr<CoverRepairRun> &run);
    PackageChooser m_packageChooser;

private:
    // Converts the picture, writes it to the device when asked, caches it,
    // remembers it for later imports and shows it on the album's tracks; then
    // calls done with none, or with the description of what failed. An
    // operation over many albums passes one CoverDevice to all of them: the
    // first cover written inspects the device in full, the later ones only
    // check that it is still the same device.
    using ArtworkApplied = std::function<void(const std::optional<QString> &error)>;
    using CoverDevice = std::shared_ptr<std::optional<DeviceCheck>>;
    // The picture's whole bytes are read on the worker.
    void applyArtwork(const Album &album, const CoverSource &picture, bool onDevice,
                      const std::optional<QString> &root, ArtworkApplied done, CoverDevice device = {});
    void saveCoverSource(const CoverCandidate &candidate, const Album &album);
    // The steps of the choosing operations that follow the user's answer.
    void applyChosenArtwork(const Album &album, const CoverSource &picture, std::optional<bool> onDeviceOverride);
    void inspectChosenFolder(const QString &folder);
    void installChosenTheme(const QString &root, const QString &zip);
    void keepThemeScreenshot(const Theme &theme, const QString &chosen);
    ImageChooser m_imageChooser;

signals:
    void coverLookupChanged();
    void showCoverFlowChanged();
    void duplicateIssuesChanged();
    void duplicateStatusChanged();
    void sectionChanged();
    void devicesChanged();
    void deviceChanged();
    void tracksChanged();
    void deviceTracksChanged();
    void libraryOnDeviceChanged();
    void selectedOnDeviceChanged();
    void queuedChanged();
    void searchChanged();
    void busyChanged();
    void progressChanged();
    void statusChanged();
    void alertChanged();
    void themesChanged();
    void playlistsChanged();
    void backupsChanged();
    void transferredChanged();
    void playlistNameChanged();
    void openAlbumChanged();
    void formatFilterChanged();
    void hiResOnlyChanged();
    void viewModeChanged();
    void sortModeChanged();
    void tileSizeChanged();
    void themePreviewsChanged();
    void themePreviewStatusChanged();
    void openThemeChanged();
    void deviceInfoChanged();
    void deviceConfigChanged();
    void themeSettingsChanged();
    void collectionInspectionChanged();
    void deviceVolumeChanged();
    // Something the views show changed outside the published fields (the
    // device's stored model or finish): read everything again.
    void objectWillChange();
    // An open Cover Flow window is asked to come to the front.
    void coverFlowRaiseRequested();
    // An album's cover was written again under the same cache file name.
    void artworkChanged(const QString &albumId, const QString &cachedPath);
    // The user's own screenshot of a theme was replaced under the same file name.
    void themeScreenshotChanged(const QString &themeUrl, const QString &cachedPath);
    // The stored "coverSources" map changed.
    void coverSourcesChanged();
    // An eject started or ended.
    void ejectingChanged();

private:
    template <typename T>
    void publish(T &field, const T &value, void (TavoModel::*changed)())
    {
        field = value;
        emit(this->*changed)();
    }

    struct PreparedLists; // tavomodel_lists.cpp
    void restoreLibrary();
    struct LibraryPaths {
        QStringList present;
        QStringList missing;
        LibraryStore::Records records; // as stored at the last save
        bool recordsCurrent = false;   // stored in this version of the file
        LibraryStore::SeenItems seen;  // what the one look at each present path said
    };
    // Writes "libraryPaths": the library's files, then the saved files that
    // were missing when last looked for.
    void saveLibraryPaths();
    static QStringList libraryPathsOf(const QList<Track> &tracks, const QStringList &missing);
    // Writes the given "libraryPaths" and the records of those files.
    void writeLibraryPaths(const QStringList &libraryPaths);
    // The records file holds m_records as they are, in its current version.
    bool m_recordsStored = false;
    // A save of one of the application's own files ended (failure null: it
    // succeeded). A failure is shown in an alert once per cause, not per save.
    void noteSaveResult(int kind, std::exception_ptr failure);
    int m_saveListener = 0;
    QHash<int, QString> m_saveFailures; // by statefile::Kind: the text shown
    // importURLs without the busy check, for a caller that already holds busy.
    // `stored`: records a file may be taken from while it is unchanged.
    // `seen`: what the caller's own look at some of the urls said.
    void startImport(const QStringList &urls, bool fromDevice, bool enqueue,
                     std::shared_ptr<const LibraryStore::Records> stored = {},
                     std::shared_ptr<const LibraryStore::SeenItems> seen = {});
    // What was read of each library file (and of the saved files missing now),
    // written beside the saved paths so the next start need not read them again.
    LibraryStore::Records m_records;
    // Writes the records in order, one save at a time, off the main thread.
    QThreadPool m_recordsWriter;
    // Saved library files that did not exist when last looked for; they are
    // kept in "libraryPaths" and looked for again at every import.
    QStringList m_missingLibraryPaths;
    // Main-thread steps of an import.
    void showImportProgress(qsizetype position, qsizetype total);
    struct ImportOutcome; // tavomodel_import.cpp
    void finishImport(bool fromDevice, bool enqueue, ImportOutcome &outcome);
    static QStringList stillMissingOf(const QStringList &missing, const QStringList &returned);
    void forgetDuplicates();

    OptionalAlbum m_coverLookup;
    bool m_showCoverFlow = false;
    Playback *m_playback = nullptr;
    QList<QualityIssue> m_duplicateIssues;
    QString m_duplicateStatus;
    Section m_section = Section::music;
    QList<Device> m_devices;
    OptionalDevice m_device;
    QList<Track> m_tracks;
    QList<Track> m_deviceTracks;
    bool m_libraryOnDevice = false;
    UuidSet m_selectedOnDevice;
    UuidSet m_queued;
    QString m_search;
    bool m_busy = false;
    double m_progress = 0;
    QString m_status;
    OptionalString m_alert;
    QList<Theme> m_themes;
    QStringList m_playlists;
    QStringList m_backups;
    QStringList m_transferred;
    QString m_playlistName;
    OptionalAlbum m_openAlbum;
    QString m_formatFilter;
    bool m_hiResOnly = false;
    QString m_viewMode;
    QString m_sortMode;
    double m_tileSize = 170;
    ThemePreviewMap m_themePreviews;
    QString m_themePreviewStatus;
    OptionalTheme m_openTheme;
    StringMap m_deviceInfo;
    StringMap m_deviceConfig;
    ThemeSettingsMap m_themeSettings;
    DeviceDiscovery m_deviceDiscovery;
    bool m_refreshing = false;
    QUuid m_contentGeneration;

    FilesChooser m_filesChooser;
    // The running import's background scan; the destructor waits for it so that
    // no progress step is ever posted to a model that is gone.
    QFuture<void> m_importScan;

    // Derived lists (tavomodel_lists.cpp).
    struct DerivedCache;
    DerivedCache &derived() const;
    // The filters and the order the lists are made for.
    struct ListInputs {
        QString formatFilter;
        bool hiResOnly = false;
        QString search;
        QString sortMode;
    };
    // The grouping into albums, every sort order and the search texts of a
    // track list about to be published, and its lists for the given inputs,
    // worked out ahead on a worker thread (grouping 20,000 tracks takes the
    // main thread a tenth of a second). Offered before the list is published,
    // it is taken by the first read of the derived lists while that very list
    // is shown; otherwise they are worked out on demand as ever.
    static std::shared_ptr<PreparedLists> prepareLists(const QList<Track> &tracks, const ListInputs &inputs);
    void offerPreparedLists(std::shared_ptr<PreparedLists> prepared);
    void storeDeviceChoice(const QString &prefix, const QString &value);
    mutable std::shared_ptr<DerivedCache> m_derived;

    // Device side (tavomodel_devices.cpp).
    void volumeChanged(const std::optional<QString> &unmounted);
    // What a discovery found: the mounted devices, and the chosen test folder
    // looked at again (none when it is gone or no longer holds .rockbox).
    struct Discovery {
        QList<Device> found;
        QString testFolder; // the root looked at; empty when no test folder was current
        std::optional<Device> testFolderNow;
    };
    void finishDiscovery(const Discovery &discovery);
    void disconnectDevice();
    // Whether the device a device-side import started for (or no device) is
    // still the current one.
    bool deviceImportIsCurrent() const;
    FolderChooser m_folderChooser;
    int m_watchdogDelay = defaultWatchdogDelay;
    QString m_deviceImportRoot; // empty: started without a device

    // Quality inspection and device volume (tavomodel_quality.cpp).
    struct QualityState;
    QualityState &quality() const;
    void readDeviceVolume();
    mutable std::shared_ptr<QualityState> m_quality;

    std::shared_ptr<Ejector> m_ejector;
    bool m_ejecting = false;
};
