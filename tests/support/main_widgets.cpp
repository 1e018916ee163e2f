#include "support/testmain.h"
#include <QApplication>

int main(int argc, char **argv)
{
    isolateFromOutsideMounts();
    redirectUserFolders();
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
