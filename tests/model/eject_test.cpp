// Ejecting the device's volume and revealing its albums in Cover Flow.

#include "operationstesting.h"

#include "platform/errors.h"

#include <QSignalSpy>
#include <atomic>

namespace {

class FakeEjector final : public Ejector
{
public:
    void unmountAndEject(const QString &mountPoint) override
    {
        calls.append(mountPoint);
        if (refuse)
            throw TavoError(u"Nie można odmontować: plik jest w użyciu."_s);
    }
    QStringList calls; // written on a worker, read after the model is idle
    bool refuse = false;
};

class EjectTest : public OperationsTest
{
protected:
    void SetUp() override
    {
        OperationsTest::SetUp();
        ejector = std::make_shared<FakeEjector>();
        model->setEjector(ejector);
    }

    // The fixture's folder as a mounted volume, as discovery reports one.
    void connectVolume()
    {
        Device volume = Device::inspect(device.root());
        volume.isVolume = true;
        model->select(volume);
        ASSERT_TRUE(waitUntil([&] { return !model->refreshing(); }));
        drainWork();
    }

    std::shared_ptr<FakeEjector> ejector;
};

TEST_F(EjectTest, successForgetsTheDeviceAndItsMusicAndSaysItCanBeUnplugged)
{
    connectVolume();
    const Track onDevice = libraryTrack(device.path(u"Music/A/01.mp3"_s), u"A"_s, u"B"_s);
    model->setDeviceTracks({onDevice});
    model->setSelectedOnDevice({onDevice.id});
    model->setTransferred({onDevice.url});
    model->playback()->play(onDevice, {});
    ASSERT_TRUE(model->playback()->current());

    QSignalSpy ejecting(model.get(), &TavoModel::ejectingChanged);
    model->eject();
    // The unmount runs on a worker: the window keeps answering, and nothing else may start meanwhile.
    EXPECT_TRUE(model->ejecting());
    EXPECT_TRUE(model->busy());
    // The track read from the device stopped before the unmount.
    EXPECT_FALSE(model->playback()->current());
    ASSERT_TRUE(waitUntil([&] { return !model->ejecting(); }));

    EXPECT_EQ(ejector->calls, QStringList{device.root()});
    EXPECT_FALSE(model->device());
    EXPECT_TRUE(model->deviceTracks().isEmpty());
    EXPECT_TRUE(model->selectedOnDevice().isEmpty());
    EXPECT_TRUE(model->transferred().isEmpty());
    EXPECT_EQ(model->status(), u"Możesz odłączyć iPoda"_s);
    EXPECT_FALSE(model->alert());
    EXPECT_FALSE(model->busy());
    EXPECT_EQ(ejecting.size(), 2);
}

TEST_F(EjectTest, aTrackBesideTheDeviceKeepsPlayingUntilTheEjectSucceeds)
{
    connectVolume();
    // Shares the root's text but not its folder.
    const Track beside = libraryTrack(device.root() + u"2/x.mp3"_s, u"A"_s, u"B"_s);
    model->playback()->play(beside, {});
    ejector->refuse = true;
    model->eject();
    EXPECT_TRUE(model->playback()->current());
    ASSERT_TRUE(waitUntil([&] { return !model->ejecting(); }));

    // Refused: the platform's words in the alert, everything else as it was.
    EXPECT_EQ(model->alert(), u"Nie można odmontować: plik jest w użyciu."_s);
    ASSERT_TRUE(model->device());
    EXPECT_EQ(model->device()->root, device.root());
    EXPECT_NE(model->status(), u"Możesz odłączyć iPoda"_s);
    EXPECT_TRUE(model->playback()->current());

    ejector->refuse = false;
    model->setAlert(std::nullopt);
    model->eject();
    ASSERT_TRUE(waitUntil([&] { return !model->ejecting(); }));
    EXPECT_FALSE(model->playback()->current());
}

TEST_F(EjectTest, guardsLeaveEverythingAsItWas)
{
    struct Case {
        const char *name;
        std::function<void()> arrange;
    };
    const QList<Case> cases{
        {"no device", [] {}},
        {"a test folder", [&] { connectDevice(); }},
        {"busy", [&] {
             connectVolume();
             model->setBusy(true);
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        model->setDevice(std::nullopt);
        model->setBusy(false);
        c.arrange();
        const auto before = model->device();
        model->eject();
        EXPECT_FALSE(model->ejecting());
        drainWork();
        EXPECT_TRUE(ejector->calls.isEmpty());
        EXPECT_EQ(model->device().has_value(), before.has_value());
        EXPECT_FALSE(model->alert());
    }
    model->setBusy(false);
}

TEST_F(EjectTest, aSecondEjectWhileOneRunsIsRefused)
{
    connectVolume();
    model->eject();
    model->eject();
    ASSERT_TRUE(waitUntil([&] { return !model->ejecting(); }));
    drainWork();
    EXPECT_EQ(ejector->calls.size(), 1);
}

TEST_F(EjectTest, revealCoverFlowShowsThenRaisesAndNeedsAnIdleDevice)
{
    QSignalSpy raise(model.get(), &TavoModel::coverFlowRaiseRequested);
    model->revealCoverFlow();
    EXPECT_FALSE(model->showCoverFlow());

    connectDevice();
    model->setBusy(true);
    model->revealCoverFlow();
    EXPECT_FALSE(model->showCoverFlow());
    EXPECT_FALSE(model->libraryOnDevice());
    model->setBusy(false);

    model->setDuplicateStatus(u"Znaleziono 1 grupę duplikatów."_s);
    model->revealCoverFlow();
    EXPECT_TRUE(model->libraryOnDevice());
    EXPECT_TRUE(model->showCoverFlow());
    EXPECT_EQ(raise.size(), 0);
    // Switching the side forgot the duplicate findings.
    EXPECT_EQ(model->duplicateStatus(), u"Duplikaty nie zostały jeszcze sprawdzone."_s);

    QSignalSpy shown(model.get(), &TavoModel::showCoverFlowChanged);
    model->revealCoverFlow();
    EXPECT_EQ(raise.size(), 1);
    EXPECT_EQ(shown.size(), 0);
}

} // namespace
