#include "support/testmain.h"
#include "model/tavomodel.h"
#include <QApplication>

int main(int argc, char **argv)
{
    isolateFromOutsideMounts();
    redirectUserFolders();
    // As in the model tests: only the mount tables a test feeds count.
    TavoModel::setFollowSystemMounts(false);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
