// The empty state's symbol: the accent colour, faded, at the symbol's size.

#include "ui/kit/emptystate.h"

#include "platform/defaults.h"
#include "ui/kit/kit.h"

#include <QApplication>
#include <QLabel>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

TEST(EmptyStateSymbol, isTheAccentColourAtSevenTenthsOpacityAtItsSize)
{
    Defaults::setString(u"appLanguage"_s, u"pl"_s);
    for (bool dark : {false, true}) {
        QApplication::setPalette(dark ? kit::darkPalette() : kit::lightPalette());
        EmptyState state(u"Twoje składanki pojawią się tutaj"_s, u"music.note.list"_s,
                         u"Wgraj muzykę i zapisz playlistę z przesłanych utworów."_s);
        const QPixmap pixmap = state.icon()->pixmap();
        ASSERT_FALSE(pixmap.isNull());
        EXPECT_EQ(pixmap.deviceIndependentSize(), QSizeF(EmptyState::symbolSize, EmptyState::symbolSize));

        // The strokes' solid parts carry the colour at the opacity; edges only fade further.
        const QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
        const QColor accent = kit::blue(state.palette());
        int strongest = 0;
        QColor solid;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                if (c.alpha() > strongest) {
                    strongest = c.alpha();
                    solid = c;
                }
            }
        EXPECT_NEAR(strongest, qRound(255 * EmptyState::symbolOpacity), 3) << dark;
        EXPECT_NEAR(solid.red(), accent.red(), 3) << dark;
        EXPECT_NEAR(solid.green(), accent.green(), 3) << dark;
        EXPECT_NEAR(solid.blue(), accent.blue(), 3) << dark;
    }
    QApplication::setPalette(kit::lightPalette());
    Defaults::clear();
}

} // namespace
