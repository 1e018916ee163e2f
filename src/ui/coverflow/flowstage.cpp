#include "ui/coverflow/flowstage.h"

#include "ui/coverflow/flowgeometry.h"
#include "ui/coverflow/flowpictures.h"
#include "ui/kit/kit.h"

#include <QEasingCurve>
#include <QPaintDevice>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>
#include <QVariantAnimation>
#include <algorithm>
#include <cmath>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

double springCurve(qreal progress)
{
    return FlowStage::spring(progress * FlowStage::moveMilliseconds / 1000.0);
}

} // namespace

double FlowStage::spring(double seconds)
{
    // A damped spring started at rest, with the response (its undamped period)
    // and damping fraction of the platform's default move.
    constexpr double response = 0.28;
    constexpr double damping = 0.88;
    constexpr double twoPi = 6.283185307179586;
    const double omega = twoPi / response;
    const double damped = omega * std::sqrt(1 - damping * damping);
    if (seconds <= 0)
        return 0;
    const double decay = std::exp(-damping * omega * seconds);
    return 1 - decay * (std::cos(damped * seconds) + damping * omega / damped * std::sin(damped * seconds));
}

FlowStage::FlowStage(QWidget *parent)
    : QWidget(parent)
    , m_pictures(new FlowPictures(this))
    , m_animation(new QVariantAnimation(this))
{
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    setMouseTracking(false);
    setMinimumHeight(120);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    m_animation->setDuration(moveMilliseconds);
    QEasingCurve curve;
    curve.setCustomType(springCurve);
    m_animation->setEasingCurve(curve);
    connect(m_animation, &QVariantAnimation::valueChanged, this,
            [this](const QVariant &value) { setPosition(value.toDouble()); });
    connect(m_animation, &QVariantAnimation::finished, this, [this] { setPosition(m_index); });
    connect(m_pictures, &FlowPictures::ready, this, qOverload<>(&QWidget::update));
}

FlowStage::~FlowStage() = default;

void FlowStage::setItems(const QList<FlowAlbum> &items, int index)
{
    m_animation->stop();
    m_items = items;
    m_index = flowgeometry::clampIndex(index, int(items.size()));
    m_pictures->setItems(items);
    setPosition(m_index);
}

void FlowStage::setIndex(int index)
{
    index = flowgeometry::clampIndex(index, int(m_items.size()));
    if (index == m_index && !moving())
        return;
    m_index = index;
    m_animation->stop();
    if (m_reduceMotion || !isVisible()) {
        setPosition(index);
        return;
    }
    m_animation->setStartValue(m_position);
    m_animation->setEndValue(double(index));
    m_animation->start();
}

bool FlowStage::moving() const
{
    return m_animation->state() == QAbstractAnimation::Running;
}

void FlowStage::setPosition(double position)
{
    m_position = position;
    m_pictures->setCentre(int(std::lround(position)));
    update();
}

void FlowStage::updatePictureSize()
{
    m_pictures->setCoverSize(flowgeometry::coverSize(size()), devicePixelRatioF());
}

void FlowStage::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    updatePictureSize();
}

void FlowStage::paintInBands(QPainter &painter, const QRect &area, const std::function<void()> &draw)
{
    if (area.isEmpty())
        return;
    const double dpr = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const int rows = std::max(1, int(bandPixels / std::max(1.0, dpr)));
    for (int top = area.top(); top <= area.bottom(); top += rows) {
        painter.save();
        painter.setClipRect(QRect(area.left(), top, area.width(), std::min(rows, area.bottom() + 1 - top)),
                            Qt::IntersectClip);
        draw();
        painter.restore();
    }
}

void FlowStage::paintStage(QPainter &painter, QSizeF size)
{
    const double cover = flowgeometry::coverSize(size);
    const double dpr = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    if (m_glowFor != size || m_glowDpr != dpr) {
        const flowpictures::Glow glow = flowpictures::glow(size, cover, dpr);
        m_glow = glow.image;
        m_glowRect = glow.rect;
        m_glowFor = size;
        m_glowDpr = dpr;
    }

    // What the frame draws, back to front: the items furthest from the
    // centre first, each as an image, where it goes and how it is turned.
    struct Piece {
        QImage image;
        QRectF target;
        QTransform transform;
        double opacity = 1;
        QRectF bounds; // in stage coordinates
    };
    std::vector<Piece> pieces;
    const int count = int(m_items.size());
    std::vector<std::pair<double, int>> order;
    const int first = std::max(0, int(std::floor(m_position)) - flowgeometry::reach);
    const int last = std::min(count - 1, int(std::ceil(m_position)) + flowgeometry::reach);
    for (int p = first; p <= last; ++p)
        order.emplace_back(std::abs(p - m_position), p);
    std::stable_sort(order.begin(), order.end(), [](const auto &a, const auto &b) { return a.first > b.first; });
    const QRectF rect = flowgeometry::itemRect(cover);
    const int side = int(std::lround(cover * dpr));
    pieces.reserve(order.size());
    for (const auto &[distance, p] : order) {
        const double d = p - m_position;
        const flowgeometry::ItemLayout item = flowgeometry::layout(d, size);
        if (item.opacity <= 0)
            continue;
        const flowpictures::Sprite sprite = m_pictures->spriteFor(p);
        if (sprite.isNull())
            continue;
        if (std::abs(d) >= 1 && sprite.flat.width() == side) {
            // Resting at a side: the picture turned once, only moved here.
            const int i = d < 0 ? 0 : 1;
            const QImage &turned = sprite.warped[i];
            const QPointF at = QPointF(size.width() / 2 + item.offset, size.height() / 2) +
                               QPointF(sprite.warpedAt[i]) / dpr;
            const QRectF target(at, QSizeF(turned.size()) / dpr);
            pieces.push_back({turned, target, QTransform(), item.opacity, target});
            continue;
        }
        pieces.push_back({sprite.flat, rect, item.transform, item.opacity, item.transform.mapRect(rect)});
    }

    // Qt's raster engine hands a fill of more than about a hundred rows to
    // its global thread pool in parts and waits for them, on this thread
    // too; the pool is also where covers are made, and on a busy computer
    // every part waits for a processor besides. A frame of 2 ms of work took
    // 20 ms by the clock. Drawn in bands too low to be split, a frame never
    // waits for another thread.
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QTransform base = painter.transform();
    const QRect area = QRectF(QPointF(0, 0), size).toAlignedRect();
    paintInBands(painter, area, [&] {
        const QRectF band = painter.clipBoundingRect();
        // At its own pixel size: stretched by the fraction of a pixel its
        // rounded size differs by, it would be filtered anew in every frame.
        if (m_glowRect.intersects(band))
            painter.drawImage(QRectF(m_glowRect.topLeft(), QSizeF(m_glow.size()) / dpr), m_glow);
        for (const Piece &piece : pieces) {
            if (!piece.bounds.intersects(band))
                continue;
            painter.setOpacity(piece.opacity);
            painter.setTransform(piece.transform * base);
            painter.drawImage(piece.target, piece.image);
        }
    });
    painter.restore();
}

void FlowStage::paintEvent(QPaintEvent *)
{
    if (m_pictures->coverPixels() != std::lround(flowgeometry::coverSize(size()) * devicePixelRatioF()))
        updatePictureSize();
    QPainter painter(this);
    painter.setClipRect(rect());
    paintStage(painter, size());
}

void FlowStage::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    m_pressed = true;
    m_dragging = false;
    m_pressAt = event->position();
}

void FlowStage::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_pressed)
        return;
    if (!m_dragging && QLineF(m_pressAt, event->position()).length() >= flowgeometry::dragStart)
        m_dragging = true;
}

void FlowStage::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !m_pressed)
        return QWidget::mouseReleaseEvent(event);
    m_pressed = false;
    const QPointF at = event->position();
    if (m_dragging || QLineF(m_pressAt, at).length() >= flowgeometry::dragStart) {
        m_dragging = false;
        // Only the end of a drag counts, and one drag moves one album.
        if (const int step = flowgeometry::dragStep(at.x() - m_pressAt.x()))
            emit dragged(step);
        return;
    }
    // A click: the item under both the press and the release.
    const auto pressed = flowgeometry::hitTest(m_pressAt, m_position, int(m_items.size()), size());
    const auto released = flowgeometry::hitTest(at, m_position, int(m_items.size()), size());
    if (pressed && pressed == released)
        emit itemClicked(*released);
}

bool FlowStage::event(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        auto *help = static_cast<QHelpEvent *>(event);
        const auto hit = flowgeometry::hitTest(help->pos(), m_position, int(m_items.size()), size());
        if (!hit) {
            QToolTip::hideText();
            event->ignore();
            return true;
        }
        const QString tip = *hit == m_index ? kit::tr(u"Otwórz album"_s) : kit::tr(u"Przesuń na środek"_s);
        QToolTip::showText(help->globalPos(), tip, this);
        return true;
    }
    return QWidget::event(event);
}
