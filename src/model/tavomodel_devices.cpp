// The device side of the model: finding Rockbox devices among the mounted
// disks, following disks being mounted and unmounted, the user's choice of a
// device or test folder, reading the chosen device's content, the list of
// settings backups, and the entry that reads the device's music.
//
// Discovery, content reading and the inspection of a chosen folder run on
// worker threads with copies of what they need; their results come back to the
// main thread through a watcher owned by the model, so a result that arrives
// after the model is gone is simply never delivered.

#include "model/tavomodel.h"

#include "localization/applocalizer.h"
#include "model/devicecontent.h"
#include "platform/appfolders.h"
#include "platform/errors.h"
#include "platform/mountmonitor.h"
#include "platform/paths.h"

#include <QFileInfo>
#include <QPointer>
#include <QFutureWatcher>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>
#include <variant>

using namespace Qt::StringLiterals;

namespace {

// Runs `apply` on the owner's thread with the future's result once it is
// there. The watcher is the owner's child: when the owner goes first, the
// result is dropped instead of reaching a destroyed object.
template <typename T, typename Apply>
void whenFinished(QObject *owner, const QFuture<T> &future, Apply apply)
{
    auto *watcher = new QFutureWatcher<T>(owner);
    QObject::connect(watcher, &QFutureWatcherBase::finished, owner, [watcher, apply = std::move(apply)]() mutable {
        watcher->deleteLater();
        apply(watcher->result());
    });
    watcher->setFuture(future);
}

const QString &watchdogStatus()
{
    static const QString text = u"Urządzenie nie odpowiada. Możesz nadal korzystać z biblioteki i poradnika."_s;
    return text;
}

} // namespace

QList<Device> TavoModel::defaultDeviceDiscovery()
{
    return DeviceContentReader::discoverVolumes();
}

void TavoModel::observeMounts(MountMonitor *monitor)
{
    connect(monitor, &MountMonitor::mounted, this, [this](const QString &) { volumeChanged(std::nullopt); });
    connect(monitor, &MountMonitor::unmounted, this, [this](const QString &mountPoint) { volumeChanged(mountPoint); });
}

void TavoModel::volumeChanged(const std::optional<QString> &unmounted)
{
    // Losing the current disk disconnects it before the rediscovery, so that
    // nothing keeps pointing at a device that is gone.
    if (unmounted && m_device && paths::standardized(*unmounted) == paths::standardized(m_device->root))
        disconnectDevice();
    refresh();
}

void TavoModel::refresh()
{
    // One discovery at a time; a discovery that never returns keeps it so.
    if (m_refreshing)
        return;
    m_refreshing = true;

    const DeviceDiscovery discovery = m_deviceDiscovery;
    // A test folder is not a disk the discovery can find: it is looked at
    // again on its own, so that a folder renamed or deleted since it was
    // chosen (or that no longer holds a real .rockbox) is noticed. Only its
    // marker is looked at: the capacity is not read again on every refresh.
    const std::optional<Device> testFolder =
        m_device && !m_device->isVolume ? m_device : std::optional<Device>();
    const QFuture<Discovery> found = QtConcurrent::run([discovery, testFolder]() -> Discovery {
        Discovery result;
        // A failing discovery finds nothing rather than leaving the refresh
        // under way for ever.
        try {
            result.found = discovery ? discovery() : QList<Device>();
        } catch (...) {
        }
        if (testFolder) {
            result.testFolder = testFolder->root;
            const QFileInfo marker(paths::appending(testFolder->root, u".rockbox"_s));
            if (marker.isDir() && !marker.isSymLink() && !QFileInfo(testFolder->root).isSymLink())
                result.testFolderNow = testFolder;
        }
        return result;
    });
    whenFinished(this, found, [this](const Discovery &result) { finishDiscovery(result); });

    // Speaks for this discovery only: an earlier refresh's timer that fires while
    // a later discovery runs finds its own discovery long answered.
    QTimer::singleShot(m_watchdogDelay, this, [this, found] {
        if (m_refreshing && !found.isFinished())
            setStatus(watchdogStatus());
    });

    QString folder;
    try {
        folder = AppFolders::backups();
    } catch (const std::exception &) {
        // No data location: no backups to list.
    }
    setBackups(folder.isEmpty() ? QStringList() : DeviceContentReader::backups(folder));
}

void TavoModel::finishDiscovery(const Discovery &discovery)
{
    const QList<Device> &found = discovery.found;
    m_refreshing = false;
    setDevices(found);

    if (m_device && m_device->isVolume) {
        // A volume stays current while its root is still found, with its fresh record.
        const auto same = std::find_if(found.begin(), found.end(),
                                       [this](const Device &d) { return d.root == m_device->root; });
        if (same != found.end())
            setDevice(*same);
        else
            disconnectDevice();
    } else if (!m_device && found.size() == 1) {
        setDevice(found.first());
    } else if (m_device && m_device->root == discovery.testFolder) {
        // A test folder stays current whatever was found, as long as it is
        // still there; a vanished one leaves the waiting state behind.
        if (!discovery.testFolderNow)
            disconnectDevice();
    }

    loadDeviceContent();
}

void TavoModel::disconnectDevice()
{
    m_contentGeneration = QUuid::createUuid();
    setDevice(std::nullopt);
    m_playback->stop();
    setTransferred({});
    setDeviceTracks({});
    setThemes({});
    setPlaylists({});
    setSelectedOnDevice({});
    setDeviceInfo({});
    setDeviceConfig({});
    setThemeSettings({});
    setStatus(u"iPod został odłączony"_s);
}

void TavoModel::select(const Device &device)
{
    // Another device: what belonged to the previous one goes, and the theme
    // previews are fetched again for the new one.
    if (!m_device || m_device->root != device.root) {
        setTransferred({});
        setDeviceTracks({});
        setSelectedOnDevice({});
        setThemePreviews({});
        setThemePreviewStatus(QString());
    }
    setDevice(device);
    loadDeviceContent();
}

void TavoModel::loadDeviceContent()
{
    const QUuid token = QUuid::createUuid();
    m_contentGeneration = token;
    if (!m_device) {
        setThemes({});
        setPlaylists({});
        return;
    }

    const QString root = m_device->root;
    const QFuture<DeviceContent> reading = QtConcurrent::run([root]() -> DeviceContent {
        try {
            return DeviceContentReader::read(root);
        } catch (...) {
            return {};
        }
    });
    whenFinished(this, reading, [this, token, root](const DeviceContent &content) {
        // Only the latest reading of the device still current is applied.
        if (m_contentGeneration != token || !m_device || m_device->root != root)
            return;
        setThemes(content.themes);
        // A preview already known (the user's own, or the gallery's) stays.
        ThemePreviewMap previews = m_themePreviews;
        for (auto it = content.previews.constBegin(); it != content.previews.constEnd(); ++it) {
            if (!previews.contains(it.key()))
                previews.insert(it.key(), it.value());
        }
        setThemePreviews(previews);
        setDeviceInfo(content.info);
        setDeviceConfig(content.config);
        setThemeSettings(content.settings);
        setPlaylists(content.playlists);
        if (m_themePreviewStatus.isEmpty())
            fetchThemePreviews();
    });
}

void TavoModel::chooseDevice()
{
    if (!m_folderChooser)
        return;
    m_folderChooser(AppLocalizer::display(u"Wybierz"_s),
                    AppLocalizer::display(u"Wybierz dysk iPoda lub folder testowy zawierający .rockbox."_s),
                    [self = QPointer<TavoModel>(this)](const std::optional<QString> &chosen) {
                        if (self && chosen && !chosen->isEmpty())
                            self->inspectChosenFolder(*chosen);
                    });
}

void TavoModel::inspectChosenFolder(const QString &folder)
{
    using Inspection = std::variant<Device, QString>; // the device, or why it was refused
    const QFuture<Inspection> inspection = QtConcurrent::run([folder]() -> Inspection {
        try {
            return Device::inspect(folder);
        } catch (const std::exception &error) {
            return describe(error);
        }
    });
    whenFinished(this, inspection, [this, folder](const Inspection &result) {
        if (const Device *device = std::get_if<Device>(&result)) {
            select(*device);
            setStatus(u"Wybrano: "_s + paths::lastComponent(folder));
        } else {
            setAlert(std::get<QString>(result));
        }
    });
}

void TavoModel::scanDeviceMusic()
{
    if (!m_device || m_busy)
        return;
    const QStringList folders = DeviceContentReader::musicFolders(m_device->root);
    setDeviceTracks({});
    setSelectedOnDevice({});
    setLibraryOnDevice(true);
    // The tracks belong to this device: the import drops them when another
    // device (or none) is current by the time they are read.
    importURLs(folders, true, false);
}

bool TavoModel::deviceImportIsCurrent() const
{
    return m_deviceImportRoot == (m_device ? m_device->root : QString());
}
