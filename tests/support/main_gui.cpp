#include "support/testmain.h"
#include <QGuiApplication>

int main(int argc, char **argv)
{
    isolateFromOutsideMounts();
    redirectUserFolders();
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
