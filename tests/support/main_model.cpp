#include "support/testmain.h"
#include "model/tavomodel.h"
#include <QGuiApplication>

int main(int argc, char **argv)
{
    isolateFromOutsideMounts();
    redirectUserFolders();
    // A test's devices are folders it feeds to the model; disks mounted by
    // anything else on this computer meanwhile must not refresh them away.
    TavoModel::setFollowSystemMounts(false);
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
