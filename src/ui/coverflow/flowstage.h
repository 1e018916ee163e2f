#pragma once

// The row of covers in perspective: the centred album large and facing the
// viewer, four on each side turned away, over a blue glow. It paints the
// sprites FlowPictures makes, moves with a spring (or at once when motion is
// reduced), and reports clicks on items and drags; the page decides what they do.

#include "ui/coverflow/flowalbum.h"

#include <QList>
#include <QWidget>
#include <functional>
#include <memory>

class FlowPictures;
class QVariantAnimation;

class FlowStage : public QWidget
{
    Q_OBJECT

public:
    explicit FlowStage(QWidget *parent = nullptr);
    ~FlowStage() override;

    // A new list with its centred position, in place at once.
    void setItems(const QList<FlowAlbum> &items, int index);
    // Moves the centre to `index`, animated unless motion is reduced.
    void setIndex(int index);
    int index() const { return m_index; }
    // The centre as drawn: between two positions while the stage moves.
    double position() const { return m_position; }
    bool moving() const;
    // Draws the stage with the centre at `position` (between two items while
    // moving); the animation drives it, and the benchmark steps it by hand.
    void setPosition(double position);
    void setReduceMotion(bool reduce) { m_reduceMotion = reduce; }

    FlowPictures *pictures() const { return m_pictures; }

    // Draws the stage as it stands onto `painter`, at `size` (what paintEvent
    // does; the benchmark calls it to time frames).
    void paintStage(QPainter &painter, QSizeF size);

    // Runs `draw` once per band of `area` (in the painter's coordinates), the
    // painter clipped to that band: no fill of a band is large enough for
    // Qt's raster engine to hand parts of it to other threads and wait.
    static constexpr int bandPixels = 64;
    static void paintInBands(QPainter &painter, const QRect &area, const std::function<void()> &draw);

    // The spring the moves follow (response 0.28 s, damping 0.88), as the
    // fraction of the way done after `seconds`; and how long a move lasts.
    static double spring(double seconds);
    static constexpr int moveMilliseconds = 450;

signals:
    // A press and release on the item at `position` (no drag in between).
    void itemClicked(int position);
    // A drag ended past the threshold: +1 to the next album, −1 to the previous.
    void dragged(int step);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    bool event(QEvent *event) override;

private:
    void updatePictureSize();

    QList<FlowAlbum> m_items;
    int m_index = 0;
    double m_position = 0;
    bool m_reduceMotion = false;
    FlowPictures *m_pictures;
    QVariantAnimation *m_animation;
    // Press and drag.
    bool m_pressed = false;
    bool m_dragging = false;
    QPointF m_pressAt;
    // The glow, made once per stage size.
    QImage m_glow;
    QRectF m_glowRect;
    QSizeF m_glowFor;
    double m_glowDpr = 0;
};
