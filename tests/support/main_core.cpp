#include "support/testmain.h"
#include <QCoreApplication>

int main(int argc, char **argv)
{
    redirectUserFolders();
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
