#include "ui/coverflow/flowstage.h"

#include "ui/coverflow/flowgeometry.h"
#include "ui/coverflow/flowpictures.h"
#include "ui/coverflow/flowtesting.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPainter>
#include <functional>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

using flowtesting::waitFor;

} // namespace

TEST(FlowStage, bandsCoverTheAreaOnceAndAreNeverTallerThanTheLimit)
{
    const struct {
        QRect area;
        double dpr;
    } cases[] = {
        {{0, 0, 300, 500}, 1},    // several bands and a short last one
        {{10, 40, 200, 64}, 1},   // exactly one band
        {{0, 0, 120, 30}, 1},     // lower than one band
        {{20, 100, 300, 257}, 1}, // starting inside the device, one row over
        {{0, 0, 200, 300}, 2},    // bands of half as many points
        {{0, 2, 150, 200}, 1.5},
    };
    for (const auto &c : cases) {
        const QSize device(int(std::ceil((c.area.right() + 21) * c.dpr)), int(std::ceil((c.area.bottom() + 21) * c.dpr)));
        QImage image(device, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(c.dpr);
        image.fill(Qt::black);
        QList<QRectF> bands;
        {
            QPainter painter(&image);
            FlowStage::paintInBands(painter, c.area, [&] {
                bands.append(painter.clipBoundingRect());
                // Half-transparent white: a row painted twice would be lighter.
                painter.fillRect(c.area, QColor(255, 255, 255, 128));
            });
        }
        const QString where = u"%1,%2 %3×%4 at %5"_s.arg(c.area.x())
                                  .arg(c.area.y())
                                  .arg(c.area.width())
                                  .arg(c.area.height())
                                  .arg(c.dpr);
        ASSERT_FALSE(bands.isEmpty()) << qPrintable(where);
        double top = c.area.top();
        for (const QRectF &band : bands) {
            EXPECT_DOUBLE_EQ(band.top(), top) << qPrintable(where);
            EXPECT_LE(band.height() * c.dpr, FlowStage::bandPixels) << qPrintable(where);
            EXPECT_DOUBLE_EQ(band.left(), c.area.left()) << qPrintable(where);
            EXPECT_DOUBLE_EQ(band.width(), c.area.width()) << qPrintable(where);
            top = band.bottom();
        }
        EXPECT_DOUBLE_EQ(top, c.area.top() + c.area.height()) << qPrintable(where);

        // Every pixel of the area painted once, none outside it.
        const QRect inDevice(QPoint(int(std::lround(c.area.left() * c.dpr)), int(std::lround(c.area.top() * c.dpr))),
                             QPoint(int(std::lround((c.area.right() + 1) * c.dpr)) - 1,
                                    int(std::lround((c.area.bottom() + 1) * c.dpr)) - 1));
        int wrong = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const int red = qRed(image.pixel(x, y));
                const bool inside = inDevice.contains(x, y);
                if (inside ? std::abs(red - 128) > 2 : red != 0)
                    ++wrong;
            }
        }
        EXPECT_EQ(wrong, 0) << qPrintable(where);
    }
}

TEST(FlowStage, aFrameShowsEveryCoverWholeAcrossItsBands)
{
    // Albums of one colour each: wherever a band began or ended inside a
    // cover, a line of another colour would cross it.
    const QSize size(1000, 500);
    FlowStage stage;
    stage.resize(size);
    const double cover = flowgeometry::coverSize(size);
    stage.pictures()->setCoverSize(cover, 1);
    const QList<FlowAlbum> items = FlowAlbum::prepare(flowtesting::albums(9, true, 300));
    const int centre = 4;
    stage.setItems(items, centre);
    ASSERT_TRUE(waitFor([&] {
        for (int p = 0; p < items.size(); ++p)
            if (!stage.pictures()->isReady(p))
                return false;
        return true;
    }));
    QImage frame(size, QImage::Format_ARGB32_Premultiplied);
    frame.fill(Qt::black);
    {
        QPainter painter(&frame);
        stage.paintStage(painter, size);
    }

    for (int p : {centre - 1, centre, centre + 1}) {
        const QImage picture = fixtures::decode(items[p].artwork.bytes().value_or(QByteArray()));
        ASSERT_FALSE(picture.isNull());
        const QColor expected = picture.pixelColor(picture.width() / 2, picture.height() / 2);
        // A vertical line through the middle of the face, clear of the rounded corners.
        const QTransform transform = flowgeometry::layout(p - centre, size).transform;
        int wrong = 0;
        for (double y = 12; y <= cover - 12; y += 1) {
            const QPoint at = transform.map(QPointF(cover / 2, y)).toPoint();
            if (!fixtures::near(frame.pixelColor(at), expected))
                ++wrong;
        }
        EXPECT_EQ(wrong, 0) << "item " << p;
    }
}
