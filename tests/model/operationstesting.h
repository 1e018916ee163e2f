#pragma once

// Shared ground of the model operation tests: a temporary device folder, the
// application's data folder beside it, a loopback server standing in for every
// online service, library tracks made from real audio files, and waiting on
// the event loop for an operation to end.

#include "modeltesting.h"

#include "device/device.h"
#include "media/coversearch.h"
#include "model/modeltasks.h"
#include "platform/appfolders.h"
#include "platform/http.h"
#include "support/devicefixture.h"
#include "support/httpserver.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThreadPool>
#include <QTimer>
#include <atomic>
#include <functional>

// Counts the reads of a device's capacity (one per full inspection, one per
// space test) and puts another device in its place during an operation: once
// `watched` exists, at the `look`-th check of the device after it, the
// device's .rockbox is moved aside and a new one made. stop() removes both
// seams; so does the destructor.
class DeviceSwap
{
public:
    DeviceSwap(const DeviceFixture &device, QString watched, int look)
    {
        const QString root = device.root();
        DeviceCapacity::setProbe([this, root](const QString &path) -> VolumeCapacity {
            if (path == root)
                ++m_capacityReads;
            return {1'000'000'000, 2'000'000'000};
        });
        const QString rockbox = device.path(QStringLiteral(".rockbox"));
        const QString aside = device.path(QStringLiteral(".old"));
        DeviceChecks::setObserverForTesting([this, watched = std::move(watched), look, rockbox, aside] {
            if (m_replaced || !QFile::exists(watched) || ++m_looksAfter < look)
                return;
            m_replaced = true;
            QDir().rename(rockbox, aside);
            QDir().mkpath(rockbox);
        });
    }
    ~DeviceSwap() { stop(); }
    DeviceSwap(const DeviceSwap &) = delete;
    DeviceSwap &operator=(const DeviceSwap &) = delete;

    void stop()
    {
        DeviceChecks::setObserverForTesting({});
        DeviceCapacity::setProbe({});
    }
    int capacityReads() const { return m_capacityReads; }
    bool replaced() const { return m_replaced; }

private:
    std::atomic<int> m_capacityReads = 0;
    std::atomic<int> m_looksAfter = 0;
    std::atomic<bool> m_replaced = false;
};

// Runs the event loop until the condition holds; false after 60 s.
inline bool waitUntil(const std::function<bool()> &condition)
{
    QTimer timeout;
    timeout.setSingleShot(true);
    timeout.start(60'000);
    while (!condition()) {
        if (!timeout.isActive())
            return false;
        QEventLoop loop;
        QTimer::singleShot(5, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

// Lets every piece of work already started come to its end: the background
// jobs finish (their requests answered), and what they posted to the main
// thread, and whatever that posts in turn, is run. After it, a check that
// nothing happened can no longer miss late work.
inline void drainWork()
{
    for (int round = 0; round < 5; ++round) {
        ModelTasks::networkPool()->waitForDone(60'000);
        QThreadPool::globalInstance()->waitForDone(60'000);
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
}

inline QString testAudioFile(const QString &name)
{
    return QStringLiteral(VONTARO_TEST_DATA_DIR "/audio/") + name;
}

// A library track on a real audio file copied to `path` (folders made on the way).
inline Track libraryTrack(const QString &path, const QString &artist, const QString &album, qint64 disc = 0,
                          qint64 number = 0, std::optional<QByteArray> artwork = std::nullopt,
                          const QString &fixture = QStringLiteral("tagged.mp3"))
{
    QDir().mkpath(QFileInfo(path).path());
    if (!QFileInfo::exists(path)) {
        EXPECT_TRUE(QFile::copy(testAudioFile(fixture), path)) << path.toStdString();
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    }
    Track track;
    track.id = QUuid::createUuid();
    track.url = path;
    track.title = QFileInfo(path).completeBaseName();
    track.artist = artist;
    track.album = album;
    track.artwork = std::move(artwork);
    track.bytes = QFileInfo(path).size();
    track.info.discNumber = disc;
    track.info.trackNumber = number;
    return track;
}

class OperationsTest : public ModelTest
{
protected:
    void SetUp() override
    {
        ModelTest::SetUp();
        // Application Support lives beside the device, on the "computer".
        AppFolders::setApplicationSupportOverride(device.outside(QStringLiteral("Support/Vontaro")));
        ServiceBase::setThemeGallery(server.base());
        ServiceBase::setCoverArtArchive(server.base());
        ServiceBase::setMusicBrainz(server.base());
        CoverSearch::shared().resetForTesting();
        CoverSearch::shared().setTimingForTesting({std::chrono::milliseconds(0), std::chrono::milliseconds(10)});
        model = makeModel();
        // The start-up refresh ends first, so that every later refresh really runs.
        ASSERT_TRUE(waitUntil([&] { return !model->refreshing(); }));
    }

    void TearDown() override
    {
        model.reset();
        // A gallery or cover request still under way (the device reading starts
        // one by itself) ends here, while its server and the application are
        // still there, rather than during the process's teardown.
        ModelTasks::networkPool()->waitForDone(60'000);
        QThreadPool::globalInstance()->waitForDone(60'000);
        ServiceBase::reset();
        CoverSearch::shared().resetForTesting();
        DeviceCapacity::setProbe({});
        AppFolders::setApplicationSupportOverride(QString());
        ModelTest::TearDown();
    }

    // Makes the temporary folder the current device.
    void connectDevice() { model->select(Device::inspect(device.root())); }

    QString library(const QString &relative) const { return device.outside(QStringLiteral("Library/") + relative); }
    QString support(const QString &relative) const
    {
        return device.outside(QStringLiteral("Support/Vontaro/") + relative);
    }

    DeviceFixture device;
    HttpServer server;
    std::unique_ptr<TavoModel> model;
};
