#include "model/devicecontent.h"
#include "model/tavomodel.h"
#include "modeltesting.h"

#include "platform/appfolders.h"
#include "platform/defaults.h"
#include "platform/http.h"
#include "platform/mountmonitor.h"
#include "platform/paths.h"
#include "support/devicefixture.h"
#include "support/qtprinters.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFutureWatcher>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTimer>
#include <condition_variable>
#include <gmock/gmock.h>
#include <mutex>

namespace {

using ::testing::ElementsAre;
using ::testing::UnorderedElementsAreArray;

const QString kCorpusDevice = QStringLiteral(VONTARO_TEST_DATA_DIR "/corpus/rockbox-device/ipodvideo-budm-rockb0x");
const QString kFirmwareConfig = QStringLiteral(VONTARO_TEST_DATA_DIR "/corpus/rockbox-device/rockbox-repo-sample/config.cfg");
const QString kDisconnected = u"iPod został odłączony"_s;
const QString kWatchdog = u"Urządzenie nie odpowiada. Możesz nadal korzystać z biblioteki i poradnika."_s;

// A discovery the test steers: the devices it reports, and a gate that can
// hold it for as long as the test wants.
class FakeDiscovery
{
public:
    void report(const QList<Device> &devices)
    {
        std::lock_guard lock(m_mutex);
        m_devices = devices;
    }
    void hold()
    {
        std::lock_guard lock(m_mutex);
        m_held = true;
    }
    void release()
    {
        {
            std::lock_guard lock(m_mutex);
            m_held = false;
        }
        m_wake.notify_all();
    }
    int calls()
    {
        std::lock_guard lock(m_mutex);
        return m_calls;
    }
    QList<Device> discover()
    {
        std::unique_lock lock(m_mutex);
        ++m_calls;
        m_wake.wait(lock, [this] { return !m_held; });
        return m_devices;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_wake;
    QList<Device> m_devices;
    bool m_held = false;
    int m_calls = 0;
};

// Runs the event loop until the predicate holds; false after the timeout.
template <typename Predicate>
bool waitFor(Predicate predicate, int timeoutMs = 20'000)
{
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    while (!predicate()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QTimer::singleShot(5, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

void spin(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Nothing under way any more: no discovery, no device reading, no import, no gallery fetch.
bool settle(TavoModel &model)
{
    return waitFor([&] {
        return !model.refreshing() && !model.busy() && model.findChildren<QFutureWatcherBase *>().isEmpty()
               && model.themePreviewStatus() != u"Pobieram podglądy z Rockbox…"_s;
    });
}

QString audio(const QString &name)
{
    return QStringLiteral(VONTARO_TEST_DATA_DIR "/audio/") + name;
}

void put(const QString &source, const QString &target)
{
    QDir().mkpath(QFileInfo(target).path());
    ASSERT_TRUE(QFile::copy(source, target)) << target.toStdString();
}

void writeFile(const QString &path, const QByteArray &bytes = QByteArray())
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

class DevicesTest : public ModelTest
{
protected:
    void SetUp() override
    {
        ModelTest::SetUp();
        ASSERT_TRUE(m_home.isValid());
        AppFolders::setApplicationSupportOverride(m_home.filePath(u"Support"_s));
        // The gallery fetch that follows a device reading must never reach the
        // internet: a loopback port nobody listens on answers at once.
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
        const quint16 port = probe.serverPort();
        probe.close();
        ServiceBase::setThemeGallery(QUrl(u"http://127.0.0.1:%1/"_s.arg(port)));
    }
    void TearDown() override
    {
        m_fake->release();
        ServiceBase::reset();
        AppFolders::setApplicationSupportOverride(QString());
        ModelTest::TearDown();
    }

    // A copy of a real iPod Video's Rockbox folder with the firmware's own config.cfg.
    QString makeDevice(const QString &name)
    {
        const QString root = m_home.filePath(name);
        DeviceFixture::copyTree(kCorpusDevice, root);
        QFile::remove(root + u"/.rockbox/config.cfg"_s);
        EXPECT_TRUE(QFile::copy(kFirmwareConfig, root + u"/.rockbox/config.cfg"_s));
        return root;
    }

    // The record the discovery gives for a mounted disk.
    static Device volume(const QString &root)
    {
        Device device = Device::inspect(root);
        device.isVolume = true;
        return device;
    }

    std::unique_ptr<TavoModel> makeSteeredModel()
    {
        std::shared_ptr<FakeDiscovery> fake = m_fake;
        return std::make_unique<TavoModel>([fake] { return fake->discover(); }, false);
    }

    static QByteArray mountTable(const QList<Device> &devices)
    {
        QByteArray table = "28 1 8:2 / / rw - ext4 /dev/sda2 rw\n";
        int id = 50;
        for (const Device &d : devices)
            table += QByteArray::number(id++) + " 28 8:17 / " + QFile::encodeName(d.root) + " rw - vfat /dev/sdb1 rw\n";
        return table;
    }

    QTemporaryDir m_home;
    std::shared_ptr<FakeDiscovery> m_fake = std::make_shared<FakeDiscovery>();
};

// --- discovery ---

TEST_F(DevicesTest, TwoDevicesChooseNoneAndTheOneLeftIsAdoptedAfterAnUnmount)
{
    const Device one = volume(makeDevice(u"ONE"_s));
    const Device two = volume(makeDevice(u"TWO"_s));
    m_fake->report({one, two});
    auto model = makeSteeredModel();
    MountMonitor monitor(mountTable({one, two}));
    model->observeMounts(&monitor);
    ASSERT_TRUE(settle(*model));
    EXPECT_EQ(model->devices(), (QList<Device>{one, two}));
    EXPECT_FALSE(model->device().has_value());
    EXPECT_TRUE(model->themes().isEmpty());

    m_fake->report({two});
    monitor.update(mountTable({two}));
    ASSERT_TRUE(settle(*model));
    EXPECT_EQ(model->devices(), QList<Device>{two});
    EXPECT_EQ(model->device(), two);
    EXPECT_EQ(model->themes().size(), 4);
}

TEST_F(DevicesTest, AVanishedVolumeIsDisconnectedAndAnotherAdoptedOnlyAtTheNextRefresh)
{
    const Device one = volume(makeDevice(u"ONE"_s));
    const Device two = volume(makeDevice(u"TWO"_s));
    m_fake->report({one});
    auto model = makeSteeredModel();
    ASSERT_TRUE(settle(*model));
    ASSERT_EQ(model->device(), one);

    // The same root found again: the device is the fresh record.
    Device fuller = one;
    fuller.available = one.available / 2;
    m_fake->report({fuller});
    model->refresh();
    ASSERT_TRUE(settle(*model));
    EXPECT_EQ(model->device(), fuller);

    m_fake->report({two});
    model->refresh();
    ASSERT_TRUE(settle(*model));
    EXPECT_FALSE(model->device().has_value());
    EXPECT_EQ(model->status(), kDisconnected);
    EXPECT_EQ(model->devices(), QList<Device>{two});
    EXPECT_TRUE(model->themes().isEmpty());

    model->refresh();
    ASSERT_TRUE(settle(*model));
    EXPECT_EQ(model->device(), two);
}

TEST_F(DevicesTest, UnmountingTheCurrentDeviceDisconnectsItAndClearsItsLists)
{
    const QString root = makeDevice(u"IPOD"_s);
    writeFile(root + u"/Playlists/lista.m3u"_s);
    const Device ipod = volume(root);
    m_fake->report({ipod});
    auto model = makeSteeredModel();
    MountMonitor monitor(mountTable({ipod}));
    model->observeMounts(&monitor);
    ASSERT_TRUE(settle(*model));
    ASSERT_EQ(model->device(), ipod);
    ASSERT_FALSE(model->themes().isEmpty());
    ASSERT_FALSE(model->playlists().isEmpty());
    ASSERT_FALSE(model->deviceInfo().isEmpty());

    const Track onDevice{QUuid::createUuid(), root + u"/Music/a.mp3"_s, u"a"_s, u"b"_s, u"c"_s};
    model->setDeviceTracks({onDevice});
    model->setSelectedOnDevice({onDevice.id});
    model->setTransferred({onDevice.url});
    model->setLibraryOnDevice(true);
    const TavoModel::ThemePreviewMap previews = model->themePreviews();
    const QString previewStatus = model->themePreviewStatus();
    const QStringList backups = model->backups();

    m_fake->report({});
    monitor.update(mountTable({}));
    // The disconnect comes first, before any rediscovery.
    EXPECT_FALSE(model->device().has_value());
    EXPECT_EQ(model->status(), kDisconnected);
    ASSERT_TRUE(settle(*model));

    EXPECT_FALSE(model->device().has_value());
    EXPECT_EQ(model->status(), kDisconnected);
    EXPECT_TRUE(model->devices().isEmpty());
    EXPECT_TRUE(model->deviceTracks().isEmpty());
    EXPECT_TRUE(model->selectedOnDevice().isEmpty());
    EXPECT_TRUE(model->transferred().isEmpty());
    EXPECT_TRUE(model->themes().isEmpty());
    EXPECT_TRUE(model->playlists().isEmpty());
    EXPECT_TRUE(model->deviceInfo().isEmpty());
    EXPECT_TRUE(model->deviceConfig().isEmpty());
    EXPECT_TRUE(model->themeSettings().isEmpty());
    // Kept: the previews, their status, the side shown and the backups.
    EXPECT_EQ(model->themePreviews(), previews);
    EXPECT_EQ(model->themePreviewStatus(), previewStatus);
    EXPECT_TRUE(model->libraryOnDevice());
    EXPECT_EQ(model->backups(), backups);
    EXPECT_FALSE(model->playback()->playing());
}

TEST_F(DevicesTest, UnmountingAnotherVolumeKeepsTheCurrentOne)
{
    const Device ipod = volume(makeDevice(u"IPOD"_s));
    m_fake->report({ipod});
    auto model = makeSteeredModel();
    ASSERT_TRUE(settle(*model));
    ASSERT_EQ(model->device(), ipod);

    Device other = ipod;
    other.root = m_home.filePath(u"PENDRIVE"_s);
    MountMonitor monitor(mountTable({ipod, other}));
    model->observeMounts(&monitor);
    model->setStatus(u"bez zmian"_s);
    monitor.update(mountTable({ipod}));
    ASSERT_TRUE(settle(*model));
    EXPECT_EQ(model->device(), ipod);
    EXPECT_EQ(model->status(), u"bez zmian"_s);
    EXPECT_EQ(model->themes().size(), 4);
}

TEST_F(DevicesTest, AChosenTestFolderStaysCurrentWhateverIsFound)
{
    const QString folder = makeDevice(u"Folder testowy"_s);
    const Device ipod = volume(makeDevice(u"IPOD"_s));
    auto model = makeSteeredModel();
    ASSERT_TRUE(settle(*model));
    model->setFolderChooser([&](const QString &, const QString &) { return std::optional<QString>(folder); });
    model->chooseDevice();
    ASSERT_TRUE(settle(*model));
    ASSERT_TRUE(model->device().has_value());
    EXPECT_EQ(model->device()->root, folder);
    EXPECT_FALSE(model->device()->isVolume);

    for (const QList<Device> &found : {QList<Device>{ipod}, QList<Device>{}, QList<Device>{ipod, ipod}}) {
        m_fake->report(found);
        model->refresh();
        ASSERT_TRUE(settle(*model));
        EXPECT_EQ(model->devices(), found);
        ASSERT_TRUE(model->device().has_value());
        EXPECT_EQ(model->device()->root, folder);
        EXPECT_EQ(model->themes().size(), 4);
    }
}

// A test folder is looked at again at every refresh: one still there stays
// current; one renamed, deleted or no longer Rockbox since it was chosen is let go.
TEST_F(DevicesTest, ARefreshLetsGoOfATestFolderThatVanished)
{
    struct Case {
        const char *what;
        std::function<void(const QString &)> vanish;
    };
    const QList<Case> cases = {
        {"renamed", [](const QString &folder) { ASSERT_TRUE(QDir().rename(folder, folder + u" (stary)"_s)); }},
        {"deleted", [](const QString &folder) { ASSERT_TRUE(QDir(folder).removeRecursively()); }},
        {"no longer Rockbox",
         [](const QString &folder) { ASSERT_TRUE(QDir(folder + u"/.rockbox"_s).removeRecursively()); }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const QString folder = makeDevice(u"Folder "_s + QString::fromUtf8(c.what));
        auto model = makeSteeredModel();
        ASSERT_TRUE(settle(*model));
        model->setFolderChooser([&](const QString &, const QString &) { return std::optional<QString>(folder); });
        model->chooseDevice();
        ASSERT_TRUE(settle(*model));
        ASSERT_TRUE(model->device().has_value());

        // Still there: the same folder stays.
        model->refresh();
        ASSERT_TRUE(settle(*model));
        ASSERT_TRUE(model->device().has_value());
        EXPECT_EQ(model->device()->root, folder);
        EXPECT_FALSE(model->device()->isVolume);
        EXPECT_EQ(model->themes().size(), 4);

        c.vanish(folder);
        model->refresh();
        ASSERT_TRUE(settle(*model));
        EXPECT_FALSE(model->device().has_value());
        EXPECT_EQ(model->status(), kDisconnected);
        EXPECT_TRUE(model->themes().isEmpty());
        EXPECT_TRUE(model->deviceInfo().isEmpty());
    }
}

TEST_F(DevicesTest, RefreshDuringADiscoveryChangesNothing)
{
    auto model = makeSteeredModel();
    ASSERT_TRUE(settle(*model));
    const QString backups = AppFolders::backups();
    QDir().mkpath(backups + u"/2024-05-01_10-00-00_AAAAAA"_s);

    m_fake->hold();
    model->refresh();
    EXPECT_TRUE(model->refreshing());
    EXPECT_EQ(model->backups(), QStringList{backups + u"/2024-05-01_10-00-00_AAAAAA"_s});
    ASSERT_TRUE(waitFor([&] { return m_fake->calls() == 2; }));

    QDir().mkpath(backups + u"/2024-06-01_10-00-00_BBBBBB"_s);
    model->refresh();
    spin(100);
    EXPECT_EQ(m_fake->calls(), 2);
    EXPECT_TRUE(model->refreshing());
    EXPECT_EQ(model->backups(), QStringList{backups + u"/2024-05-01_10-00-00_AAAAAA"_s});

    m_fake->release();
    ASSERT_TRUE(settle(*model));
    EXPECT_FALSE(model->refreshing());
    model->refresh();
    EXPECT_EQ(model->backups().size(), 2);
    ASSERT_TRUE(settle(*model));
}

TEST_F(DevicesTest, TheWatchdogSpeaksOnlyAfterItsDelay)
{
    auto model = makeSteeredModel();
    ASSERT_TRUE(settle(*model));
    model->setWatchdogDelay(300);

    // A discovery that comes back in time never shows it.
    model->setStatus(u"na początku"_s);
    model->refresh();
    ASSERT_TRUE(settle(*model));
    spin(600);
    EXPECT_EQ(model->status(), u"na początku"_s);

    // One that hangs shows it once the delay has passed, and it stays.
    m_fake->hold();
    model->refresh();
    spin(50);
    EXPECT_EQ(model->status(), u"na początku"_s);
    ASSERT_TRUE(waitFor([&] { return model->status() == kWatchdog; }, 5'000));
    m_fake->release();
    ASSERT_TRUE(settle(*model));
    EXPECT_EQ(model->status(), kWatchdog);
}

TEST_F(DevicesTest, TheWatchdogOfAnEarlierDiscoveryStaysSilent)
{
    auto model = makeSteeredModel();
    ASSERT_TRUE(settle(*model));
    model->setWatchdogDelay(1'000);
    model->setStatus(u"na początku"_s);

    // A discovery that answers at once; a second one starts half a delay later and hangs.
    QElapsedTimer clock;
    clock.start();
    model->refresh();
    ASSERT_TRUE(settle(*model));
    ASSERT_TRUE(waitFor([&] { return clock.elapsed() >= 500; }));
    m_fake->hold();
    model->refresh();

    // When the first one's delay is over, the second has run only half of its own:
    // the first discovery answered in time, and the second may still do so.
    ASSERT_TRUE(waitFor([&] { return clock.elapsed() >= 1'250; }));
    EXPECT_EQ(model->status(), u"na początku"_s);
    ASSERT_TRUE(waitFor([&] { return model->status() == kWatchdog; }, 5'000));
    EXPECT_GE(clock.elapsed(), 1'450);
    m_fake->release();
    ASSERT_TRUE(settle(*model));
}

TEST_F(DevicesTest, AFailingDiscoveryFindsNothingAndEndsTheRefresh)
{
    TavoModel model([]() -> QList<Device> { throw std::runtime_error("no mount table"); }, false);
    ASSERT_TRUE(settle(model));
    EXPECT_FALSE(model.refreshing());
    EXPECT_TRUE(model.devices().isEmpty());
}

// --- choosing a device ---

TEST_F(DevicesTest, ChoosingAFolderSelectsItOrShowsTheRefusal)
{
    const QString folder = makeDevice(u"IPOD"_s);
    const QString plain = m_home.filePath(u"Zwykły folder"_s);
    QDir().mkpath(plain);
    auto model = makeSteeredModel();
    ASSERT_TRUE(settle(*model));

    QStringList asked;
    std::optional<QString> answer;
    model->setFolderChooser([&](const QString &prompt, const QString &message) {
        asked = {prompt, message};
        return answer;
    });

    // Cancelled: nothing happens.
    model->chooseDevice();
    ASSERT_TRUE(settle(*model));
    EXPECT_EQ(asked, (QStringList{u"Wybierz"_s, u"Wybierz dysk iPoda lub folder testowy zawierający .rockbox."_s}));
    EXPECT_FALSE(model->device().has_value());
    EXPECT_EQ(model->status(), u"Gotowy na Twoją muzykę"_s);

    answer = folder;
    model->chooseDevice();
    ASSERT_TRUE(settle(*model));
    ASSERT_TRUE(model->device().has_value());
    EXPECT_EQ(model->device()->root, folder);
    EXPECT_EQ(model->status(), u"Wybrano: IPOD"_s);
    EXPECT_FALSE(model->alert().has_value());
    EXPECT_EQ(model->deviceProfile().id, u"video"_s);

    answer = plain;
    model->setStatus(u"poprzedni"_s);
    model->chooseDevice();
    ASSERT_TRUE(settle(*model));
    EXPECT_EQ(model->alert(), u"Ten folder nie zawiera katalogu .rockbox."_s);
    ASSERT_TRUE(model->device().has_value());
    EXPECT_EQ(model->device()->root, folder);
    EXPECT_EQ(model->status(), u"poprzedni"_s);
}

TEST_F(DevicesTest, SelectingAnotherRootForgetsWhatBelongedToThePreviousDevice)
{
    const Device first = Device::inspect(makeDevice(u"FIRST"_s));
    const Device second = Device::inspect(makeDevice(u"SECOND"_s));
    auto model = makeSteeredModel();
    ASSERT_TRUE(settle(*model));
    model->select(first);
    ASSERT_TRUE(settle(*model));

    const Track track{QUuid::createUuid(), first.root + u"/Music/a.mp3"_s, u"a"_s, u"b"_s, u"c"_s};
    const ThemePreview own{QUrl(u"file:///zrzut.png"_s), std::nullopt, u"Twój zrzut"_s, std::nullopt, std::nullopt};
    auto fill = [&] {
        model->setTransferred({track.url});
        model->setDeviceTracks({track});
        model->setSelectedOnDevice({track.id});
        model->setThemePreviews({{u"/x.cfg"_s, own}});
        model->setThemePreviewStatus(u"Podglądy katalogowe: 0."_s);
    };
    fill();
    model->select(first);
    ASSERT_TRUE(settle(*model));
    EXPECT_EQ(model->transferred(), QStringList{track.url});
    EXPECT_EQ(model->deviceTracks().size(), 1);
    EXPECT_EQ(model->selectedOnDevice().size(), 1);
    EXPECT_TRUE(model->themePreviews().contains(u"/x.cfg"_s));
    EXPECT_EQ(model->themePreviewStatus(), u"Podglądy katalogowe: 0."_s);

    model->select(second);
    EXPECT_TRUE(model->transferred().isEmpty());
    EXPECT_TRUE(model->deviceTracks().isEmpty());
    EXPECT_TRUE(model->selectedOnDevice().isEmpty());
    EXPECT_FALSE(model->themePreviews().contains(u"/x.cfg"_s));
    EXPECT_TRUE(model->themePreviewStatus().isEmpty());
    ASSERT_TRUE(settle(*model));
    EXPECT_EQ(model->device(), second);
    ASSERT_EQ(model->themes().size(), 4);
    EXPECT_TRUE(model->themes().first().url.startsWith(second.root));
}

// --- the device's content ---

TEST_F(DevicesTest, ContentIsReadAndOrdered)
{
    const QString root = makeDevice(u"IPOD"_s);
    for (const QString &name : {u"b.m3u"_s, u"A.M3U8"_s, u".ukryta.m3u"_s, u"Zeta.m3u"_s, u"notatki.txt"_s, u"m3u"_s})
        writeFile(root + u"/Playlists/"_s + name);
    const Device ipod = volume(root);
    m_fake->report({ipod});

    // A preview already known for a theme is not replaced by the device's own picture.
    const QString iClassic = root + u"/.rockbox/themes/iClassic.cfg"_s;
    const ThemePreview own{QUrl(u"file:///moj.png"_s), std::nullopt, u"Twój zrzut"_s, std::nullopt, std::nullopt};
    auto model = makeSteeredModel();
    model->setThemePreviews({{iClassic, own}});
    ASSERT_TRUE(settle(*model));
    ASSERT_EQ(model->device(), ipod);

    QStringList themeNames;
    for (const Theme &theme : model->themes())
        themeNames.append(paths::lastComponent(theme.url));
    EXPECT_EQ(themeNames, (QStringList{u"cabbiev2.cfg"_s, u"iClassic.cfg"_s, u"rockbox_default_icons.cfg"_s,
                                       u"rockbox_failsafe.cfg"_s}));
    EXPECT_EQ(model->themeSettings().size(), 4);
    EXPECT_EQ(model->themeSettings().value(iClassic).value(u"sbs"_s), u"/.rockbox/wps/iClassic.sbs"_s);
    EXPECT_EQ(model->themePreviews().value(iClassic), own);
    EXPECT_EQ(model->deviceInfo().value(u"Target"_s), u"ipodvideo"_s);
    EXPECT_EQ(model->deviceConfig().value(u"database scan paths"_s), u"/Music"_s);
    EXPECT_EQ(model->deviceConfig().value(u"qs top"_s), u"brightness"_s);
    // Plain order: the dot, then capitals, then small letters.
    EXPECT_EQ(model->playlists(), (QStringList{root + u"/Playlists/.ukryta.m3u"_s, root + u"/Playlists/A.M3U8"_s,
                                               root + u"/Playlists/Zeta.m3u"_s, root + u"/Playlists/b.m3u"_s}));
    // The firmware's settings name no theme screen.
    EXPECT_FALSE(model->configuredTheme().has_value());
    EXPECT_EQ(model->deviceProfile().id, u"video"_s);

    // Settings naming iClassic's screens select it.
    writeFile(root + u"/.rockbox/config.cfg"_s, "wps: /.rockbox/wps/iClassic.wps\nsbs: /.rockbox/wps/iClassic.sbs\n");
    model->loadDeviceContent();
    ASSERT_TRUE(settle(*model));
    ASSERT_TRUE(model->configuredTheme().has_value());
    EXPECT_EQ(model->configuredTheme()->url, iClassic);
}

TEST_F(DevicesTest, AReadingForADeviceNoLongerCurrentIsDropped)
{
    const Device first = volume(makeDevice(u"FIRST"_s));
    QDir().mkpath(m_home.filePath(u"EMPTY/.rockbox"_s));
    const Device empty = volume(m_home.filePath(u"EMPTY"_s));
    auto model = makeSteeredModel();
    MountMonitor monitor(mountTable({first}));
    model->observeMounts(&monitor);
    ASSERT_TRUE(settle(*model));

    // The device goes while its reading is under way.
    model->setDevice(first);
    model->loadDeviceContent();
    monitor.update(mountTable({}));
    ASSERT_TRUE(settle(*model));
    EXPECT_TRUE(model->themes().isEmpty());
    EXPECT_TRUE(model->deviceInfo().isEmpty());

    // A newer reading wins over an older one, whichever ends first.
    model->select(first);
    model->select(empty);
    ASSERT_TRUE(settle(*model));
    EXPECT_EQ(model->device(), empty);
    EXPECT_TRUE(model->themes().isEmpty());
    EXPECT_TRUE(model->deviceInfo().isEmpty());
}

TEST_F(DevicesTest, BackupsAreListedNewestFirst)
{
    const QString backups = AppFolders::backups();
    for (const QString &name : {u"2024-05-20_08-00-00_AAAAAA"_s, u"2024-06-02_08-00-00_BBBBBB"_s, u".DS_Store"_s,
                                u"2023-12-31_23-59-59_CCCCCC"_s})
        QDir().mkpath(backups + u'/' + name);
    writeFile(backups + u"/2024-06-01_notatka.txt"_s);

    auto model = makeSteeredModel();
    EXPECT_EQ(model->backups(),
              (QStringList{backups + u"/2024-06-02_08-00-00_BBBBBB"_s, backups + u"/2024-06-01_notatka.txt"_s,
                           backups + u"/2024-05-20_08-00-00_AAAAAA"_s, backups + u"/2023-12-31_23-59-59_CCCCCC"_s}));
    ASSERT_TRUE(settle(*model));

    // A missing folder lists nothing.
    QDir(backups).removeRecursively();
    model->refresh();
    EXPECT_TRUE(model->backups().isEmpty());
    ASSERT_TRUE(settle(*model));
}

// --- the device's music ---

TEST_F(DevicesTest, ScanDeviceMusicReadsTheMusicFoldersOnly)
{
    const QString root = makeDevice(u"IPOD"_s);
    const QStringList read = {root + u"/Music/Kult/Spokojnie/01.mp3"_s, root + u"/Playlists/wolny.flac"_s,
                              root + u"/Podcasty/odcinek.ogg"_s, root + u"/photos/x.mp3"_s};
    put(audio(u"tagged.mp3"_s), read[0]);
    put(audio(u"tagged.flac"_s), read[1]);
    put(audio(u"vorbis.ogg"_s), read[2]);
    for (const QString &skipped : DeviceContentReader::excludedMusicFolders())
        put(audio(u"tagged.mp3"_s), root + u'/' + skipped + u"/x.mp3"_s);
    put(audio(u"tagged.mp3"_s), root + u"/.ukryty/x.mp3"_s);
    put(audio(u"tagged.mp3"_s), root + u"/.rockbox/x.mp3"_s);
    put(audio(u"tagged.mp3"_s), read[3]); // another letter case is another folder
    // A link leaving the device is never followed.
    const QString outside = m_home.filePath(u"poza"_s);
    put(audio(u"tagged.mp3"_s), outside + u"/x.mp3"_s);
    ASSERT_TRUE(QFile::link(outside, root + u"/Dowiazanie"_s));

    auto model = makeSteeredModel();
    ASSERT_TRUE(settle(*model));
    model->scanDeviceMusic(); // no device: nothing
    EXPECT_FALSE(model->busy());
    EXPECT_FALSE(model->libraryOnDevice());

    model->select(Device::inspect(root));
    ASSERT_TRUE(settle(*model));
    const Track stale{QUuid::createUuid(), root + u"/Music/stary.mp3"_s, u"a"_s, u"b"_s, u"c"_s};
    model->setDeviceTracks({stale});
    model->setSelectedOnDevice({stale.id});
    model->scanDeviceMusic();
    EXPECT_TRUE(model->libraryOnDevice());
    EXPECT_TRUE(model->selectedOnDevice().isEmpty());
    ASSERT_TRUE(waitUntilIdle(*model));

    QStringList found;
    for (const Track &t : model->deviceTracks())
        found.append(t.url);
    EXPECT_THAT(found, UnorderedElementsAreArray(read.begin(), read.end()))
        << found.join(u'\n').toStdString();
    EXPECT_TRUE(model->tracks().isEmpty());
    ASSERT_TRUE(settle(*model));
}

TEST_F(DevicesTest, ScanOfADeviceWithoutMusicFoldersEmptiesTheDeviceSide)
{
    const Device bare = Device::inspect(makeDevice(u"IPOD"_s));
    auto model = makeSteeredModel();
    ASSERT_TRUE(settle(*model));
    model->select(bare);
    ASSERT_TRUE(settle(*model));
    model->setDeviceTracks({Track{QUuid::createUuid(), bare.root + u"/a.mp3"_s, u"a"_s, u"b"_s, u"c"_s}});
    model->scanDeviceMusic();
    ASSERT_TRUE(waitUntilIdle(*model));
    EXPECT_TRUE(model->deviceTracks().isEmpty());
    EXPECT_TRUE(model->libraryOnDevice());

    // While another operation runs, the scan does nothing.
    model->setLibraryOnDevice(false);
    model->setBusy(true);
    model->scanDeviceMusic();
    EXPECT_FALSE(model->libraryOnDevice());
    model->setBusy(false);
}

TEST_F(DevicesTest, MusicReadForADeviceNoLongerCurrentIsDropped)
{
    const QString root = makeDevice(u"IPOD"_s);
    for (int i = 0; i < 20; ++i)
        put(audio(u"tagged.mp3"_s), root + u"/Music/A/%1.mp3"_s.arg(i, 2, 10, QChar(u'0')));
    const Device other = Device::inspect(makeDevice(u"INNY"_s));
    auto model = makeSteeredModel();
    ASSERT_TRUE(settle(*model));
    model->select(Device::inspect(root));
    ASSERT_TRUE(settle(*model));

    model->scanDeviceMusic();
    ASSERT_TRUE(model->busy());
    model->select(other);
    ASSERT_TRUE(waitUntilIdle(*model));
    EXPECT_TRUE(model->deviceTracks().isEmpty());
    // Nor does its progress reach the status line.
    EXPECT_FALSE(model->status().startsWith(u"Odczytuję utwory"_s)) << model->status().toStdString();
    ASSERT_TRUE(settle(*model));

    // Read for the device still current, the tracks arrive.
    model->select(Device::inspect(root));
    model->scanDeviceMusic();
    ASSERT_TRUE(waitUntilIdle(*model));
    EXPECT_EQ(model->deviceTracks().size(), 20);
    ASSERT_TRUE(settle(*model));
}

} // namespace
