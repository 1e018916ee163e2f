// The real application, end to end, as a person uses it: started with an
// empty home folder, fed real music, given a device folder holding real
// Rockbox trees, used through every page and sheet, quit and started again.

#include "support/appwalk.h"

#include "model/tavomodel.h"
#include "platform/defaults.h"
#include "ui/shell/mainwindow.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

TEST(Walk, startsWithNothingSavedAndQuitsWhenTheWindowCloses)
{
    AppWalk walk;
    walk.start();
    EXPECT_TRUE(walk.model()->tracks().isEmpty());
    EXPECT_FALSE(walk.model()->device());
    EXPECT_EQ(walk.model()->section(), Section::music);
    walk.quit();
    walk.start();
    EXPECT_TRUE(walk.model()->tracks().isEmpty());
    walk.quit();
}

} // namespace
