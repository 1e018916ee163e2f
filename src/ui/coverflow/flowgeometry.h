#pragma once

// Where Cover Flow draws each cover and what a click or a drag hits: pure
// functions of the stage size and of an item's distance from the centre, so
// they are tested without a window.
//
// An item's distance d is its position minus the centred position. It is a
// whole number at rest and runs between whole numbers while the stage moves;
// every value below is continuous in d and takes the documented values at
// whole numbers (rotation ±58°, scale 0.78, opacity 1 / 0.5 / 0 at 2 / 3 / 4).

#include <QPointF>
#include <QPolygonF>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QTransform>
#include <optional>
#include <utility>

namespace flowgeometry {

inline constexpr double maxCover = 520;
inline constexpr double sideAngle = 58;       // degrees
inline constexpr double sideScale = 0.78;
inline constexpr double spacing = 0.62;       // of the cover size, per position
inline constexpr double perspective = 0.65;   // relative vanishing point
inline constexpr double heightFactor = 1.38;  // item height: cover and the top of its reflection
inline constexpr int reach = 4;               // items further from the centre are not built
inline constexpr double dragThreshold = 40;   // points a drag must pass to move
inline constexpr double dragStart = 25;       // points before a press becomes a drag

// The cover's side: min(w × 0.31, h ÷ 1.43, 520).
double coverSize(QSizeF stage);

// The item's own rectangle (cover wide, cover × 1.38 high) at its origin.
QRectF itemRect(double cover);

// The rotation about the vertical axis, seen from a viewer at `distance` in
// front of the plane: positive angles move the right edge away. Qt's own
// rotate(…, Qt::YAxis) always looks from 1024 pixels; Cover Flow's viewer
// stands at a distance that grows with the cover.
QTransform rotationY(double degrees, double distance);

struct ItemLayout {
    double rotation = 0; // degrees about the vertical axis
    double scale = 1;
    double offset = 0;   // sideways, in points
    double opacity = 1;
    double z = 10;       // stacking order, higher on top
    QTransform transform; // item coordinates (itemRect) → stage coordinates
};

// The layout of an item at distance d on a stage of the given size.
ItemLayout layout(double d, QSizeF stage);

// The turn and scale of an item resting on one side (side −1: left of the
// centre, +1: right), mapping item coordinates to coordinates around the
// item's centre. Every item at least one position from the centre has this
// shape and differs only by where it stands, so its picture can be turned
// once and then only moved: layout(d).transform is this followed by the move
// to the stage centre plus the offset, for any |d| ≥ 1.
QTransform restingTransform(double cover, int side);

// The positions that exist on the stage around `index` (|p − index| ≤ 4),
// as first and last; first > last when there are no items.
std::pair<int, int> builtRange(int index, int count);

// The item a click at `point` falls on, the topmost visible one; none for
// the background. `centre` is the (possibly moving) centred position.
std::optional<int> hitTest(QPointF point, double centre, int count, QSizeF stage);

// What a drag that ended with the horizontal translation dx does to the
// index: +1 (dragged left past the threshold), −1 (right), or 0.
int dragStep(double dx);

// The index after a move to i: clamped to the items; 0 without items.
int clampIndex(int i, int count);

// The caption's information line, in Polish ("3 / 12 · 9 utworów · 2 CD").
QString infoLine(int index, int count, int tracks, int discCount);

} // namespace flowgeometry
