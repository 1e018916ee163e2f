#pragma once

// Helpers for driving the model in tests: a model with no device discovery and
// no library restore, and waiting on the event loop until an operation ends.

#include "localization/applocalizer.h"
#include "model/tavomodel.h"
#include "platform/defaults.h"

#include <QEventLoop>
#include <QObject>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>

using namespace Qt::StringLiterals;

inline TavoModel::DeviceDiscovery noDiscovery()
{
    return [] { return QList<Device>(); };
}

inline std::unique_ptr<TavoModel> makeModel(bool restoreLibrary = false)
{
    return std::make_unique<TavoModel>(noDiscovery(), restoreLibrary);
}

// Runs the event loop until `busy` is false; false when that took over 60 s.
inline bool waitUntilIdle(TavoModel &model)
{
    if (!model.busy())
        return true;
    QEventLoop loop;
    QTimer timeout;
    timeout.setSingleShot(true);
    QObject::connect(&timeout, &QTimer::timeout, &loop, [&] { loop.exit(1); });
    QObject::connect(&model, &TavoModel::busyChanged, &loop, [&] {
        if (!model.busy())
            loop.exit(0);
    });
    timeout.start(60'000);
    return loop.exec() == 0;
}

// Every test starts with empty settings and a Polish interface.
class ModelTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Defaults::clear();
        AppLocalizer::setPreferredLanguages([] { return QStringList{u"pl-PL"_s}; });
    }
    void TearDown() override
    {
        AppLocalizer::setPreferredLanguages({});
        Defaults::clear();
    }
};
