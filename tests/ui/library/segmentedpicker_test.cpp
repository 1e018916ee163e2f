// The segmented picker while it is off (the model at work): its chosen
// segment stays readable, light and dark, measured on the painted pixels.

#include "ui/library/segmentedpicker.h"

#include "ui/kit/focusmarks.h"
#include "ui/kit/kit.h"

#include <QAbstractButton>
#include <QApplication>
#include <QImage>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

// The strongest contrast between the segment's fill (read inside its top
// padding) and any pixel of its label.
double labelContrast(QAbstractButton *segment)
{
    const QImage image = segment->grab().toImage();
    const double dpr = image.devicePixelRatio();
    const QColor fill = image.pixelColor(int(segment->width() / 2 * dpr), int(2 * dpr));
    double best = 1;
    for (int y = int(4 * dpr); y < image.height() - int(4 * dpr); ++y) {
        for (int x = int(4 * dpr); x < image.width() - int(4 * dpr); ++x)
            best = std::max(best, kit::contrastRatio(image.pixelColor(x, y), fill));
    }
    return best;
}

TEST(SegmentedPickerOff, TheChosenSegmentStaysReadableInBothPalettes)
{
    for (bool dark : {false, true}) {
        SCOPED_TRACE(dark ? "dark" : "light");
        QApplication::setPalette(dark ? kit::darkPalette() : kit::lightPalette());
        SegmentedPicker picker({u"Na komputerze"_s, u"Na iPodzie"_s});
        picker.resize(240, picker.sizeHint().height());
        picker.setCurrentIndex(0);
        picker.show();
        EXPECT_GE(labelContrast(picker.button(0)), 3.0) << "on";
        picker.setEnabled(false);
        EXPECT_GE(labelContrast(picker.button(0)), 3.0) << "off, chosen";
        // Still read as the choice: its fill differs from the other segment's.
        const QImage chosen = picker.button(0)->grab().toImage();
        const QImage other = picker.button(1)->grab().toImage();
        EXPECT_GE(kit::contrastRatio(chosen.pixelColor(chosen.width() / 2, 2), other.pixelColor(other.width() / 2, 2)),
                  1.5);
    }
    QApplication::setPalette(kit::lightPalette());
}

TEST(ContrastRatio, FollowsTheDefinition)
{
    EXPECT_NEAR(kit::contrastRatio(Qt::black, Qt::white), 21.0, 0.01);
    EXPECT_NEAR(kit::contrastRatio(Qt::white, Qt::white), 1.0, 0.001);
    EXPECT_NEAR(kit::contrastRatio(QColor(0x76, 0x76, 0x76), Qt::white), 4.54, 0.02);
    // Half-transparent black on white is mid grey.
    const QColor grey = kit::composite(QColor(0, 0, 0, 128), Qt::white);
    EXPECT_NEAR(grey.red(), 127, 1);
    EXPECT_EQ(grey.alpha(), 255);
}

} // namespace
