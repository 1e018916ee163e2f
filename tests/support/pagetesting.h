#pragma once

// Ground for the tests of the pages: a model without device discovery, its
// application data in a temporary folder, a temporary device, a loopback server
// in place of the online services (reading a device with themes asks the theme
// gallery), a workspace that only records, and pictures saved beside the build.

#include "device/device.h"
#include "localization/applocalizer.h"
#include "model/modeltasks.h"
#include "model/tavomodel.h"
#include "platform/appfolders.h"
#include "platform/defaults.h"
#include "platform/http.h"
#include "platform/workspace.h"
#include "support/devicefixture.h"
#include "support/httpserver.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QThreadPool>
#include <QUrl>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

class RecordingWorkspace : public Workspace
{
public:
    QList<QUrl> opened;
    QList<QStringList> revealed;
    bool openUrl(const QUrl &url) override
    {
        opened << url;
        return true;
    }
    void reveal(const QStringList &paths) override { revealed << paths; }
};

inline bool waitFor(const std::function<bool()> &done, int milliseconds = 20'000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < milliseconds)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

inline QString screenshotPath(const QString &name)
{
    const QString dir = QCoreApplication::applicationDirPath() + QStringLiteral("/../screenshots");
    QDir().mkpath(dir);
    return QDir(dir).filePath(name);
}

class PageTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Defaults::clear();
        Defaults::setString(QStringLiteral("appLanguage"), QStringLiteral("pl"));
        AppFolders::setApplicationSupportOverride(device.outside(QStringLiteral("Support/Vontaro")));
        ServiceBase::setThemeGallery(server.base());
        ServiceBase::setCoverArtArchive(server.base());
        ServiceBase::setMusicBrainz(server.base());
        model = std::make_unique<TavoModel>([] { return QList<Device>(); }, false);
        ASSERT_TRUE(waitFor([&] { return !model->refreshing(); }));
    }
    void TearDown() override
    {
        model.reset();
        // Requests and file work still under way end here, while the server and
        // the application are still there.
        ModelTasks::networkPool()->waitForDone(60'000);
        QThreadPool::globalInstance()->waitForDone(60'000);
        ServiceBase::reset();
        AppFolders::setApplicationSupportOverride(QString());
        Defaults::clear();
    }

    void connectDevice() { model->select(Device::inspect(device.root())); }
    // Lets a refresh the model starts run to its end.
    void settle() { ASSERT_TRUE(waitFor([&] { return !model->refreshing() && !model->busy(); })); }
    void setLanguage(const QString &language) { Defaults::setString(QStringLiteral("appLanguage"), language); }
    QString backupsFolder() const { return device.outside(QStringLiteral("Support/Vontaro/Backups")); }

    DeviceFixture device;
    HttpServer server;
    RecordingWorkspace workspace;
    std::unique_ptr<TavoModel> model;
};
