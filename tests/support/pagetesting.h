#pragma once

// Ground for the tests of the pages: a model without device discovery, its
// application data in a temporary folder, a temporary device, a workspace that
// only records, and pictures saved beside the build.

#include "device/device.h"
#include "localization/applocalizer.h"
#include "model/tavomodel.h"
#include "platform/appfolders.h"
#include "platform/defaults.h"
#include "platform/workspace.h"
#include "support/devicefixture.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
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
        model = std::make_unique<TavoModel>([] { return QList<Device>(); }, false);
        ASSERT_TRUE(waitFor([&] { return !model->refreshing(); }));
    }
    void TearDown() override
    {
        model.reset();
        AppFolders::setApplicationSupportOverride(QString());
        Defaults::clear();
    }

    void connectDevice() { model->select(Device::inspect(device.root())); }
    // Lets a refresh the model starts run to its end.
    void settle() { ASSERT_TRUE(waitFor([&] { return !model->refreshing() && !model->busy(); })); }
    void setLanguage(const QString &language) { Defaults::setString(QStringLiteral("appLanguage"), language); }
    QString backupsFolder() const { return device.outside(QStringLiteral("Support/Vontaro/Backups")); }

    DeviceFixture device;
    RecordingWorkspace workspace;
    std::unique_ptr<TavoModel> model;
};
