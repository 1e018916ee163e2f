#include "ui/library/covertile.h"

#include "ui/kit/kit.h"
#include "ui/library/covercache.h"

#include <QHash>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

using namespace Qt::StringLiterals;

namespace library {

namespace {

QColor withAlpha(QColor c, double alpha)
{
    c.setAlphaF(float(alpha));
    return c;
}

// The disc symbol, drawn once per device pixel ratio.
const QPixmap &discSymbol(double dpr)
{
    static QHash<int, QPixmap> pixmaps;
    const int key = qRound(dpr * 100);
    auto it = pixmaps.find(key);
    if (it == pixmaps.end())
        it = pixmaps.insert(key, kit::symbolPixmap(u"opticaldisc"_s, 55, withAlpha(Qt::white, 0.85), dpr));
    return *it;
}

QPainterPath rounded(const QRectF &rect)
{
    QPainterPath path;
    path.addRoundedRect(rect, coverRadius, coverRadius);
    return path;
}

} // namespace

void paintPlaceholder(QPainter &painter, const QRectF &rect)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient gradient(rect.topLeft(), rect.bottomRight());
    gradient.setColorAt(0, withAlpha(QColor(0x58, 0x56, 0xD6), 0.8)); // indigo
    gradient.setColorAt(0.5, withAlpha(QColor(0x00, 0x7A, 0xFF), 0.4)); // blue
    gradient.setColorAt(1, withAlpha(QColor(0x32, 0xAD, 0xE6), 0.2)); // cyan
    painter.setPen(Qt::NoPen);
    painter.setBrush(gradient);
    painter.drawPath(rounded(rect));
    const QPixmap &disc = discSymbol(painter.device() ? painter.device()->devicePixelRatioF() : 1.0);
    const QSizeF size = disc.deviceIndependentSize();
    painter.drawPixmap(QPointF(rect.center().x() - size.width() / 2, rect.center().y() - size.height() / 2), disc);
    painter.restore();
}

void paintCover(QPainter &painter, const QRectF &rect, const QImage &cover)
{
    if (cover.isNull() || cover.width() < 1) {
        paintPlaceholder(painter, rect);
        return;
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    // The picture as the brush of a rounded rectangle: clipped with smooth edges
    // without a clip path.
    QBrush brush(cover);
    QTransform transform;
    transform.translate(rect.left(), rect.top());
    transform.scale(rect.width() / cover.width(), rect.height() / cover.height());
    brush.setTransform(transform);
    painter.setPen(Qt::NoPen);
    painter.setBrush(brush);
    painter.drawPath(rounded(rect));
    painter.restore();
}

QPixmap tilePixmap(const QImage &cover, int side, double dpr)
{
    const int pixels = qCeil(side * dpr);
    QPixmap tile(pixels, pixels);
    tile.setDevicePixelRatio(dpr);
    tile.fill(Qt::transparent);
    QPainter painter(&tile);
    // Scaled to the tile's pixels first: a smooth scale of the picture is
    // several times faster than sampling it through the rounded shape's
    // transformed brush, which then draws it unscaled. Tiles are made on the
    // main thread as covers arrive, several in one frame.
    const bool picture = !cover.isNull() && cover.width() >= 1;
    const QImage fitted = picture && cover.size() != QSize(pixels, pixels)
                              ? cover.scaled(pixels, pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                              : cover;
    paintCover(painter, QRectF(0, 0, side, side), fitted);
    return tile;
}

} // namespace library

CoverView::CoverView(const Album &album, QWidget *parent) : QWidget(parent)
{
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
    connect(&CoverCache::shared(), &CoverCache::decoded, this, [this](const QString &key) {
        if (key == m_key)
            update();
    });
    setAlbum(album);
}

void CoverView::setAlbum(const Album &album)
{
    m_key = CoverCache::keyOf(album);
    m_source = CoverCache::sourceOf(album);
    update();
}

QRectF CoverView::square() const
{
    const double side = std::min(width(), height());
    return QRectF((width() - side) / 2, (height() - side) / 2, side, side);
}

QImage CoverView::shownCover() const
{
    const QRectF rect = square();
    return CoverCache::shared().cover(m_key, m_source, qCeil(rect.width() * devicePixelRatioF())).image;
}

void CoverView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    library::paintCover(painter, square(), shownCover());
}
