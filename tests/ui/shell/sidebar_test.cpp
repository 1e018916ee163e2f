// The sidebar's focus marks: focus handed back to the window after a dialog
// (a file chooser) closes shows nothing, so the first section never looks
// chosen twice; focus brought by the keyboard shows a thin ring that is no fill.

#include "ui/shell/sidebar.h"

#include "support/pagetesting.h"
#include "ui/kit/focusmarks.h"
#include "ui/kit/kit.h"

#include <QApplication>
#include <QDialog>
#include <QTest>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

// Pixels of the solid accent a chosen section is filled with (an unchosen
// section's symbol has some too).
int accentPixels(const QImage &image, const QPalette &palette)
{
    const QRgb accent = kit::blue(palette).rgb();
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            count += image.pixel(x, y) == accent ? 1 : 0;
    }
    return count;
}

class SidebarFocus : public PageTest
{
};

TEST_F(SidebarFocus, FocusBackFromADialogShowsNoMarkAndKeyboardFocusIsARingNotAFill)
{
    QApplication::setPalette(kit::lightPalette());
    model->setSection(Section::music);
    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    auto *sidebar = new Sidebar(model.get(), &window);
    layout->addWidget(sidebar);
    window.resize(Sidebar::fixedWidth, 700);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    SectionButton *device = sidebar->button(Section::device);
    ASSERT_FALSE(device->chosen());
    const QImage plain = device->grab().toImage();

    // A chooser opens and closes; the window gets its focus back.
    auto *chooser = new QDialog(&window);
    chooser->setAttribute(Qt::WA_DeleteOnClose);
    chooser->open();
    ASSERT_TRUE(QTest::qWaitForWindowActive(chooser));
    chooser->reject();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    device->setFocus(Qt::ActiveWindowFocusReason); // what the activation does when nothing had focus
    ASSERT_TRUE(device->hasFocus());
    EXPECT_FALSE(device->showsFocusRing());
    EXPECT_EQ(device->grab().toImage(), plain);

    // Tab to it: a ring, with no pixel of the chosen fill.
    device->clearFocus();
    device->setFocus(Qt::TabFocusReason);
    EXPECT_TRUE(device->showsFocusRing());
    const QImage ringed = device->grab().toImage();
    EXPECT_NE(ringed, plain);
    EXPECT_EQ(accentPixels(ringed, device->palette()), accentPixels(plain, device->palette()));
    EXPECT_GT(accentPixels(sidebar->button(Section::music)->grab().toImage(), device->palette()),
              accentPixels(plain, device->palette()) + 1000);
    device->clearFocus();
    EXPECT_FALSE(device->showsFocusRing());
}

} // namespace
