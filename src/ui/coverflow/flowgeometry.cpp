#include "ui/coverflow/flowgeometry.h"

#include "platform/text.h"

#include <QtMath>
#include <algorithm>
#include <cmath>
#include <vector>

using namespace Qt::StringLiterals;

namespace flowgeometry {

double coverSize(QSizeF stage)
{
    return std::min({stage.width() * 0.31, stage.height() / 1.43, maxCover});
}

QRectF itemRect(double cover)
{
    return QRectF(0, 0, cover, cover * heightFactor);
}

QTransform rotationY(double degrees, double distance)
{
    // A point (x, y) of the plane turned by the angle lies at depth
    // z = −x·sin(a) (negative: away from the viewer); seen from `distance` it
    // is drawn at (x·cos(a), y) / (1 − z / distance). As a projective matrix:
    // w = 1 + x·sin(a) / distance.
    const double a = qDegreesToRadians(degrees);
    return QTransform(std::cos(a), 0, std::sin(a) / distance, //
                      0, 1, 0,                                 //
                      0, 0, 1);
}

ItemLayout layout(double d, QSizeF stage)
{
    const double cover = coverSize(stage);
    const double distance = std::abs(d);
    ItemLayout item;
    item.rotation = -sideAngle * std::clamp(d, -1.0, 1.0);
    item.scale = 1 - (1 - sideScale) * std::min(distance, 1.0);
    item.offset = cover * d * spacing;
    if (distance <= 2)
        item.opacity = 1;
    else if (distance <= 3)
        item.opacity = 1 - 0.5 * (distance - 2);
    else if (distance <= 4)
        item.opacity = 0.5 - 0.5 * (distance - 3);
    else
        item.opacity = 0;
    item.z = 10 - distance;

    // Rotation about the item's centre, with the viewer at the item's larger
    // side divided by the perspective; then the scale about that centre; then
    // the item's centre is put at the stage's centre, moved sideways.
    const QRectF rect = itemRect(cover);
    const QPointF anchor = rect.center();
    const double viewer = std::max(rect.width(), rect.height()) / perspective;
    item.transform = QTransform::fromTranslate(-anchor.x(), -anchor.y()) * rotationY(item.rotation, viewer) *
                     QTransform::fromScale(item.scale, item.scale) *
                     QTransform::fromTranslate(stage.width() / 2 + item.offset, stage.height() / 2);
    return item;
}

QTransform restingTransform(double cover, int side)
{
    const QRectF rect = itemRect(cover);
    const QPointF anchor = rect.center();
    const double viewer = std::max(rect.width(), rect.height()) / perspective;
    return QTransform::fromTranslate(-anchor.x(), -anchor.y()) * rotationY(side < 0 ? sideAngle : -sideAngle, viewer) *
           QTransform::fromScale(sideScale, sideScale);
}

std::pair<int, int> builtRange(int index, int count)
{
    if (count <= 0)
        return {0, -1};
    return {std::max(0, index - reach), std::min(count - 1, index + reach)};
}

std::optional<int> hitTest(QPointF point, double centre, int count, QSizeF stage)
{
    if (count <= 0)
        return std::nullopt;
    const double cover = coverSize(stage);
    const int first = std::max(0, int(std::floor(centre)) - reach);
    const int last = std::min(count - 1, int(std::ceil(centre)) + reach);
    std::vector<std::pair<double, int>> candidates; // (distance, position)
    for (int p = first; p <= last; ++p)
        candidates.emplace_back(std::abs(p - centre), p);
    // The item drawn on top is the one nearest the centre.
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    for (const auto &[distance, p] : candidates) {
        const ItemLayout item = layout(p - centre, stage);
        if (item.opacity <= 0)
            continue; // an invisible item takes no clicks
        if (item.transform.map(QPolygonF(itemRect(cover))).containsPoint(point, Qt::OddEvenFill))
            return p;
    }
    return std::nullopt;
}

int dragStep(double dx)
{
    if (std::abs(dx) <= dragThreshold)
        return 0;
    return dx < 0 ? 1 : -1;
}

int clampIndex(int i, int count)
{
    if (count <= 0)
        return 0;
    return std::clamp(i, 0, count - 1);
}

QString infoLine(int index, int count, int tracks, int discCount)
{
    QString line = QString::number(index + 1) + u" / "_s + QString::number(count) + u" · "_s +
                   text::count(tracks, u"{0} utwór"_s, u"{0} utwory"_s, u"{0} utworów"_s);
    if (discCount >= 2)
        line += u" · "_s + QString::number(discCount) + u" CD"_s;
    return line;
}

} // namespace flowgeometry
