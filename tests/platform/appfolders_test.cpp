#include "platform/appfolders.h"
#include "support/qtprinters.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

TEST(AppFolders, DefaultUnderTheDataLocationAndOverride)
{
    // The test main points XDG_DATA_HOME at a temporary folder.
    const QString data = qEnvironmentVariable("XDG_DATA_HOME");
    ASSERT_FALSE(data.isEmpty());

    QTemporaryDir elsewhere;
    const struct {
        QString override, support;
    } cases[] = {
        {QString(), data + u"/Vontaro"_s},
        {elsewhere.path(), elsewhere.path()},
        {QString(), data + u"/Vontaro"_s},
    };
    for (const auto &c : cases) {
        AppFolders::setApplicationSupportOverride(c.override);
        EXPECT_EQ(AppFolders::applicationSupport(), c.support);
        EXPECT_EQ(AppFolders::backups(), c.support + u"/Backups"_s);
        EXPECT_EQ(AppFolders::artwork(), c.support + u"/Artwork"_s);
    }
}
