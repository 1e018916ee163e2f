#include "ui/coverflow/flowpictures.h"

#include "ui/coverflow/flowgeometry.h"
#include "ui/coverflow/flowtesting.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPainter>
#include <algorithm>
#include <functional>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using flowtesting::track;

namespace {

using flowtesting::waitFor;

// A picture whose left half is red and right half blue, wider than high.
QImage halves(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.fillRect(0, 0, width / 2, height, QColor(220, 20, 20));
    painter.fillRect(width / 2, 0, width - width / 2, height, QColor(20, 20, 220));
    return image;
}

} // namespace

TEST(FlowPictures, coversDecodeUprightAndLargeEnoughToFillTheFace)
{
    // Stored 80 × 40 with the left half red; orientation 6 turns it a quarter
    // clockwise, so it shows 40 × 80 with the red half on top.
    const QByteArray turned = fixtures::withExifOrientation(fixtures::encode(halves(80, 40), "jpeg"), 6);
    const QImage upright = flowpictures::decodeCover(turned, 40);
    ASSERT_FALSE(upright.isNull());
    EXPECT_EQ(upright.size(), QSize(40, 80));
    EXPECT_TRUE(fixtures::near(upright.pixelColor(20, 10), QColor(220, 20, 20)));
    EXPECT_TRUE(fixtures::near(upright.pixelColor(20, 70), QColor(20, 20, 220)));

    const struct {
        QSize stored;
        int side;
        QSize decoded;
    } cases[] = {
        {{2000, 2000}, 310, {310, 310}},   // at the size shown, not at full size
        {{2000, 1000}, 310, {620, 310}},   // the shorter side reaches the face
        {{3000, 1000}, 310, {640, 213}},   // never more than 640 on the longer side
        {{2000, 2000}, 1040, {640, 640}},
        {{100, 100}, 310, {100, 100}},     // never scaled up
    };
    for (const auto &c : cases) {
        const QImage image = flowpictures::decodeCover(fixtures::jpeg(c.stored.width(), c.stored.height()), c.side);
        EXPECT_EQ(image.size(), c.decoded) << c.stored.width() << "×" << c.stored.height() << " at " << c.side;
    }
    EXPECT_TRUE(flowpictures::decodeCover(QByteArray("not a picture"), 310).isNull());
    EXPECT_TRUE(flowpictures::decodeCover(QByteArray(), 310).isNull());
}

TEST(FlowPictures, aSpriteHoldsTheFaceItsShadowAndAFadingReflection)
{
    const int side = 200;
    const QImage face = flowpictures::face(fixtures::solid(400, 400, QColor(250, 250, 250)), side, 1);
    const QImage sprite = flowpictures::sprite(face, flowpictures::shadow(side, 1), 1);
    ASSERT_EQ(sprite.size(), QSize(200, 276)); // cover × 1.38
    // The face, with its corners rounded off.
    EXPECT_EQ(qAlpha(sprite.pixel(100, 100)), 255);
    EXPECT_LT(qAlpha(sprite.pixel(0, 0)), 255);
    // Between face and reflection (5 points) lies the shadow: dark, half opaque.
    const QRgb gap = sprite.pixel(100, 202);
    EXPECT_GT(qAlpha(gap), 60);
    EXPECT_LT(qRed(gap), 40);
    // The reflection: light grey at about 0.26 at its top, fading downwards.
    const int top = qAlpha(sprite.pixel(100, 207)), lower = qAlpha(sprite.pixel(100, 270));
    EXPECT_GT(qRed(sprite.pixel(100, 207)), 60);
    EXPECT_GT(top, lower);
}

TEST(FlowPictures, theSideViewsAreTheSpriteTurnedAsTheStageTurnsIt)
{
    const int side = 200;
    const QImage flat = flowpictures::sprite(flowpictures::face(fixtures::solid(200, 200, QColor(250, 250, 250)), side, 1),
                                             flowpictures::shadow(side, 1), 1);
    const flowpictures::Sprite sprite = flowpictures::withSideViews(flat);
    for (int i = 0; i < 2; ++i) {
        const QTransform turn = flowgeometry::restingTransform(side, i == 0 ? -1 : 1);
        const QRectF bounds = turn.mapRect(flowgeometry::itemRect(side));
        EXPECT_LE(std::abs(sprite.warpedAt[i].x() - bounds.x()), 1) << i;
        EXPECT_LE(std::abs(sprite.warped[i].width() - bounds.width()), 2) << i;
        // The face's middle lands where the turn puts it, and the corners
        // outside the turned shape stay clear.
        const QPointF middle = turn.map(QPointF(100, 100)) - QPointF(sprite.warpedAt[i]);
        EXPECT_GT(qAlpha(sprite.warped[i].pixel(middle.toPoint())), 250) << i;
        const int outerX = i == 0 ? sprite.warped[i].width() - 1 : 0;
        EXPECT_EQ(qAlpha(sprite.warped[i].pixel(outerX, 0)), 0) << i;
    }
}

TEST(FlowPictures, aFaceFillsItsSquareKeepingTheAspectRatio)
{
    const QImage face = flowpictures::face(halves(200, 100), 100, 1);
    ASSERT_EQ(face.size(), QSize(100, 100));
    // The wide picture is cut at the sides: the middle of the face is the
    // border between red and blue, the edges are not white.
    EXPECT_TRUE(fixtures::near(face.pixelColor(25, 50), QColor(220, 20, 20)));
    EXPECT_TRUE(fixtures::near(face.pixelColor(75, 50), QColor(20, 20, 220)));
}

TEST(FlowPictures, spritesAreMadeOnlyAroundTheCentre)
{
    FlowPictures pictures;
    const QList<FlowAlbum> items = FlowAlbum::prepare(flowtesting::albums(40));
    pictures.setItems(items);
    pictures.setCoverSize(100, 1);
    pictures.setCentre(20);
    // Three at a time, the others following as those end; those asked for
    // around the first centre are not kept.
    EXPECT_EQ(pictures.jobsRunning(), 3);
    qsizetype most = 0;
    ASSERT_TRUE(waitFor([&] {
        most = std::max(most, pictures.jobsRunning());
        return pictures.jobsRunning() == 0;
    }));
    EXPECT_LE(most, 3);
    for (int p = 0; p < items.size(); ++p) {
        const bool near = std::abs(p - 20) <= FlowPictures::window;
        EXPECT_EQ(pictures.isReady(p), near) << p;
    }
    // Each made sprite is its own cover: the face's middle has the album's colour.
    const QImage sprite = pictures.spriteFor(23).flat;
    const QImage expected = fixtures::decode(items[23].artwork.bytes().value_or(QByteArray()));
    EXPECT_TRUE(fixtures::near(sprite.pixelColor(50, 50), expected.pixelColor(32, 32)));
    EXPECT_EQ(pictures.bytes(), qint64(2 * FlowPictures::window + 1) * pictures.spriteFor(23).bytes());
}

TEST(FlowPictures, aBrokenPictureAndNoPictureGiveThePlaceholder)
{
    FlowPictures pictures;
    const QList<FlowAlbum> items = FlowAlbum::prepare({
        track(u"A"_s, u"Broken"_s, u"1"_s, 1, 0, QByteArray("not a picture")),
        track(u"A"_s, u"Broken"_s, u"2"_s, 2, 0, fixtures::jpeg(30, 30)),
        track(u"B"_s, u"Bare"_s, u"1"_s, 1),
        track(u"C"_s, u"Good"_s, u"1"_s, 1, 0, fixtures::jpeg(30, 30)),
    });
    pictures.setItems(items);
    pictures.setCoverSize(120, 1);
    pictures.setCentre(0);
    ASSERT_TRUE(waitFor([&] { return pictures.isReady(0) && pictures.isReady(2); }));
    const QImage placeholder = pictures.spriteFor(1).flat; // no artwork at all
    EXPECT_EQ(pictures.spriteFor(0).flat, placeholder);
    EXPECT_NE(pictures.spriteFor(2).flat, placeholder);
    // The placeholder is indigo to blue, not the red of the later track's picture.
    const QColor middle = placeholder.pixelColor(20, 20);
    EXPECT_GT(middle.blue(), middle.red());
}

TEST(FlowPictures, theBudgetDropsSpritesFurthestFromUseButNeverTheShownOnes)
{
    FlowPictures pictures;
    const QList<FlowAlbum> items = FlowAlbum::prepare(flowtesting::albums(60));
    pictures.setItems(items);
    pictures.setCoverSize(100, 1);
    pictures.setCentre(0);
    ASSERT_TRUE(waitFor([&] { return pictures.jobsRunning() == 0; }));
    const qint64 one = pictures.spriteFor(0).bytes();
    pictures.setBudget(12 * one);
    for (int centre : {5, 25, 45}) {
        pictures.setCentre(centre);
        ASSERT_TRUE(waitFor([&] { return pictures.jobsRunning() == 0; }));
        EXPECT_LE(pictures.bytes(), 12 * one) << centre;
        // The nine items on the stage are always there.
        for (int p = centre - flowgeometry::reach; p <= centre + flowgeometry::reach; ++p)
            EXPECT_TRUE(pictures.isReady(p)) << centre << ": " << p;
    }
}

TEST(FlowPictures, aNewCoverSizeMakesTheSpritesAgainAndKeepsTheOldOnesMeanwhile)
{
    FlowPictures pictures;
    const QList<FlowAlbum> items = FlowAlbum::prepare(flowtesting::albums(3));
    pictures.setItems(items);
    pictures.setCoverSize(100, 1);
    pictures.setCentre(1);
    ASSERT_TRUE(waitFor([&] { return pictures.jobsRunning() == 0; }));
    pictures.setCoverSize(150, 1);
    EXPECT_EQ(pictures.spriteFor(1).flat.width(), 100); // drawn scaled until the new one comes
    ASSERT_TRUE(waitFor([&] { return pictures.isReady(1); }));
    EXPECT_EQ(pictures.spriteFor(1).flat.width(), 150);
}

TEST(FlowPictures, aRebuildKeepsTheSpritesOfCoversStillShown)
{
    FlowPictures pictures;
    QList<Track> tracks = flowtesting::albums(5);
    const QList<FlowAlbum> items = FlowAlbum::prepare(tracks);
    pictures.setItems(items);
    pictures.setCoverSize(100, 1);
    pictures.setCentre(2);
    ASSERT_TRUE(waitFor([&] { return pictures.jobsRunning() == 0; }));
    const qint64 before = pictures.bytes();
    // The first album goes; the others keep their bytes and so their sprites.
    tracks.remove(0, 2);
    pictures.setItems(FlowAlbum::prepare(tracks));
    EXPECT_EQ(pictures.bytes(), before * 4 / 5);
    EXPECT_EQ(pictures.jobsRunning(), 0);
    for (int p = 0; p < 4; ++p)
        EXPECT_TRUE(pictures.isReady(p)) << p;
}
