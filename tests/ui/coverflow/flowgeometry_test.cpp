#include "ui/coverflow/flowgeometry.h"

#include <QTransform>
#include <cmath>
#include <gtest/gtest.h>

using namespace flowgeometry;
using namespace Qt::StringLiterals;

namespace {

constexpr double eps = 1e-6;

// The four corners of an item as drawn on the stage.
QPolygonF drawn(double d, QSizeF stage)
{
    return layout(d, stage).transform.map(QPolygonF(itemRect(coverSize(stage))));
}

double edgeHeight(const QPolygonF &quad, bool left)
{
    // Corners in order: top-left, top-right, bottom-right, bottom-left.
    return left ? quad[3].y() - quad[0].y() : quad[2].y() - quad[1].y();
}

} // namespace

TEST(FlowGeometry, coverSizeIsTheSmallestOfWidthHeightAndTheCap)
{
    const struct {
        QSizeF stage;
        double cover;
    } cases[] = {
        {{1000, 500}, 310},              // by width: 1000 × 0.31
        {{2000, 1000}, 520},             // the cap
        {{1000, 300}, 300 / 1.43},       // by height
        {{800, 400}, 248},
        {{3000, 2000}, 520},
        {{0, 0}, 0},
    };
    for (const auto &c : cases)
        EXPECT_NEAR(coverSize(c.stage), c.cover, eps) << c.stage.width() << "×" << c.stage.height();
}

TEST(FlowGeometry, layoutAtWholeDistances)
{
    const QSizeF stage(1000, 500); // cover 310
    const struct {
        double d, rotation, scale, offset, opacity, z;
    } cases[] = {
        {0, 0, 1, 0, 1, 10},
        {1, -58, 0.78, 310 * 0.62, 1, 9},
        {-1, 58, 0.78, -310 * 0.62, 1, 9},
        {2, -58, 0.78, 310 * 1.24, 1, 8},
        {-2, 58, 0.78, -310 * 1.24, 1, 8},
        {3, -58, 0.78, 310 * 1.86, 0.5, 7},
        {-3, 58, 0.78, -310 * 1.86, 0.5, 7},
        {4, -58, 0.78, 310 * 2.48, 0, 6},
        {-4, 58, 0.78, -310 * 2.48, 0, 6},
    };
    for (const auto &c : cases) {
        const ItemLayout item = layout(c.d, stage);
        EXPECT_NEAR(item.rotation, c.rotation, eps) << "d = " << c.d;
        EXPECT_NEAR(item.scale, c.scale, eps) << "d = " << c.d;
        EXPECT_NEAR(item.offset, c.offset, eps) << "d = " << c.d;
        EXPECT_NEAR(item.opacity, c.opacity, eps) << "d = " << c.d;
        EXPECT_NEAR(item.z, c.z, eps) << "d = " << c.d;
    }
}

TEST(FlowGeometry, betweenPositionsEveryValueRunsContinuously)
{
    const QSizeF stage(1000, 500);
    const struct {
        double d, rotation, scale, opacity;
    } cases[] = {
        {0.5, -29, 0.89, 1},
        {-0.25, 14.5, 0.945, 1},
        {1.5, -58, 0.78, 1},
        {2.5, -58, 0.78, 0.75},
        {3.5, -58, 0.78, 0.25},
    };
    for (const auto &c : cases) {
        const ItemLayout item = layout(c.d, stage);
        EXPECT_NEAR(item.rotation, c.rotation, eps) << "d = " << c.d;
        EXPECT_NEAR(item.scale, c.scale, eps) << "d = " << c.d;
        EXPECT_NEAR(item.opacity, c.opacity, eps) << "d = " << c.d;
    }
}

TEST(FlowGeometry, theCentredCoverFacesTheViewerAtTheStageCentre)
{
    const QSizeF stage(1000, 500);
    const QPolygonF quad = drawn(0, stage);
    const double cover = 310;
    EXPECT_NEAR(quad[0].x(), 500 - cover / 2, eps);
    EXPECT_NEAR(quad[0].y(), 250 - cover * 1.38 / 2, eps);
    EXPECT_NEAR(quad[2].x(), 500 + cover / 2, eps);
    EXPECT_NEAR(quad[2].y(), 250 + cover * 1.38 / 2, eps);
}

TEST(FlowGeometry, sideCoversTurnTheirInnerEdgeAwayAndKeepTheirCentre)
{
    const QSizeF stage(2000, 1000); // cover 520
    for (double d : {1.0, 2.0, 3.0, -1.0, -2.0, -3.0}) {
        const QPolygonF quad = drawn(d, stage);
        const double left = edgeHeight(quad, true), right = edgeHeight(quad, false);
        // The edge nearer the centre is further from the viewer, so shorter.
        if (d > 0)
            EXPECT_LT(left, right) << "d = " << d;
        else
            EXPECT_GT(left, right) << "d = " << d;
        // Narrowed by the turn: cos(58°) × 0.78 of the width, give or take the perspective.
        const double width = quad[1].x() - quad[0].x();
        EXPECT_GT(width, 520 * 0.78 * std::cos(58 * M_PI / 180) * 0.8) << "d = " << d;
        EXPECT_LT(width, 520 * 0.78 * std::cos(58 * M_PI / 180) * 1.2) << "d = " << d;
        // Its centre stays where the offset puts it.
        const QPointF centre = layout(d, stage).transform.map(itemRect(520).center());
        EXPECT_NEAR(centre.x(), 1000 + 520 * d * 0.62, eps);
        EXPECT_NEAR(centre.y(), 500, eps);
    }
}

TEST(FlowGeometry, thePerspectiveDependsOnTheViewersDistance)
{
    // The hand-built rotation agrees with Qt's for Qt's fixed viewer at 1024
    // (whose positive angles bring the right edge forward instead)…
    for (double angle : {-58.0, -20.0, 0.0, 35.0, 58.0}) {
        QTransform qt;
        qt.rotate(-angle, Qt::YAxis);
        const QTransform ours = rotationY(angle, 1024);
        for (QPointF p : {QPointF(-200, -100), QPointF(150, 80), QPointF(260, -300)}) {
            const QPointF a = qt.map(p), b = ours.map(p);
            EXPECT_NEAR(a.x(), b.x(), 1e-6) << angle;
            EXPECT_NEAR(a.y(), b.y(), 1e-6) << angle;
        }
    }
    // …and a nearer viewer sees a stronger perspective: the far edge shrinks more.
    const QPointF farNear = rotationY(58, 500).map(QPointF(200, 100));
    const QPointF farDistant = rotationY(58, 5000).map(QPointF(200, 100));
    EXPECT_LT(farNear.y(), farDistant.y());
}

TEST(FlowGeometry, anItemAtASideIsTheRestingShapeMoved)
{
    for (QSizeF stage : {QSizeF(1000, 500), QSizeF(2000, 1000)}) {
        const double cover = coverSize(stage);
        for (double d : {1.0, 1.5, 2.0, 3.25, -1.0, -2.5, -3.0}) {
            const ItemLayout item = layout(d, stage);
            const QTransform resting = restingTransform(cover, d < 0 ? -1 : 1) *
                                       QTransform::fromTranslate(stage.width() / 2 + item.offset, stage.height() / 2);
            for (QPointF p : {QPointF(0, 0), QPointF(cover, 0), QPointF(cover / 3, cover * 1.2)}) {
                EXPECT_NEAR(item.transform.map(p).x(), resting.map(p).x(), 1e-6) << d;
                EXPECT_NEAR(item.transform.map(p).y(), resting.map(p).y(), 1e-6) << d;
            }
        }
    }
}

TEST(FlowGeometry, onlyItemsWithinFourOfTheCentreAreBuilt)
{
    const struct {
        int index, count, first, last;
    } cases[] = {
        {0, 0, 0, -1}, {0, 1, 0, 0}, {0, 20, 0, 4}, {10, 20, 6, 14}, {19, 20, 15, 19}, {2, 5, 0, 4},
    };
    for (const auto &c : cases) {
        const auto [first, last] = builtRange(c.index, c.count);
        EXPECT_EQ(first, c.first) << c.index << "/" << c.count;
        EXPECT_EQ(last, c.last) << c.index << "/" << c.count;
    }
}

TEST(FlowGeometry, aClickHitsTheTopmostVisibleItem)
{
    const QSizeF stage(1000, 500); // cover 310, items 310 × 427.8 around (500, 250)
    const double step = 310 * 0.62; // 192.2
    const struct {
        QPointF point;
        double centre;
        int count;
        std::optional<int> hit;
    } cases[] = {
        {{500, 250}, 5, 10, 5},            // the centred cover
        {{500, 400}, 5, 10, 5},            // its reflection belongs to it
        {{500 + step + 40, 250}, 5, 10, 6},  // right of the centre's edge: the next item
        {{500 - step - 40, 250}, 5, 10, 4},
        {{500 + 2 * step + 20, 250}, 5, 10, 7},
        {{500 + 3 * step + 20, 250}, 5, 10, 8}, // half transparent, still clickable
        {{500 + 4 * step, 250}, 5, 10, std::nullopt}, // invisible at 4: takes no clicks
        {{500 + step + 40, 250}, 9, 10, std::nullopt}, // nothing right of the last
        {{500, 10}, 5, 10, std::nullopt},   // above the covers
        {{500, 250}, 0, 0, std::nullopt},   // no items
        {{500 + 150, 250}, 5, 10, 5},       // the centred cover lies over its neighbours
    };
    for (const auto &c : cases)
        EXPECT_EQ(hitTest(c.point, c.centre, c.count, stage), c.hit)
            << c.point.x() << "," << c.point.y() << " centre " << c.centre;
}

TEST(FlowGeometry, oneDragMovesAtMostOneAlbum)
{
    const struct {
        double dx;
        int step;
    } cases[] = {
        {0, 0}, {40, 0}, {-40, 0}, {41, -1}, {-41, 1}, {-900, 1}, {900, -1}, {25, 0},
    };
    for (const auto &c : cases)
        EXPECT_EQ(dragStep(c.dx), c.step) << c.dx;
}

TEST(FlowGeometry, movesStopAtTheEnds)
{
    const struct {
        int i, count, index;
    } cases[] = {{-1, 5, 0}, {0, 5, 0}, {5, 5, 4}, {3, 5, 3}, {7, 0, 0}, {-3, 1, 0}};
    for (const auto &c : cases)
        EXPECT_EQ(clampIndex(c.i, c.count), c.index) << c.i << "/" << c.count;
}

TEST(FlowGeometry, informationLine)
{
    const struct {
        int index, count, tracks, discs;
        QString line;
    } cases[] = {
        {0, 1, 9, 1, u"1 / 1 · 9 utworów"_s},
        {4, 12, 20, 2, u"5 / 12 · 20 utworów · 2 CD"_s},
        {11, 12, 0, 0, u"12 / 12 · 0 utworów"_s},
        {0, 2000, 31, 3, u"1 / 2000 · 31 utworów · 3 CD"_s},
        // The noun agrees with the number.
        {2, 6, 1, 0, u"3 / 6 · 1 utwór"_s},
        {0, 3, 22, 2, u"1 / 3 · 22 utwory · 2 CD"_s},
        {0, 3, 12, 0, u"1 / 3 · 12 utworów"_s},
    };
    for (const auto &c : cases)
        EXPECT_EQ(infoLine(c.index, c.count, c.tracks, c.discs), c.line);
}
