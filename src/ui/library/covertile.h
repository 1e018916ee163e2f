#pragma once

// The one cover tile of the library: the album's artwork filling a square
// (any aspect cropped to its centre) with 7-pixel rounded corners, or the
// gradient placeholder with a disc symbol while there is none to show.

#include "media/records.h"

#include <QImage>
#include <QPixmap>
#include <QRectF>
#include <QWidget>

class QPainter;

namespace library {

inline constexpr double coverRadius = 7;

// Paints `cover` (already square) into the square `rect`, or the placeholder
// when it is null.
void paintCover(QPainter &painter, const QRectF &rect, const QImage &cover);
void paintPlaceholder(QPainter &painter, const QRectF &rect);
// The whole tile as a picture `side` logical pixels wide at the pixel ratio
// `dpr`, for views that draw many tiles of one size again and again.
QPixmap tilePixmap(const QImage &cover, int side, double dpr);

} // namespace library

// The tile as a widget, for views that show one album (the album's sheet).
// Square at whatever width it is given; decodes through the shared cover cache.
class CoverView : public QWidget
{
    Q_OBJECT
public:
    explicit CoverView(const Album &album, QWidget *parent = nullptr);
    void setAlbum(const Album &album);

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override { return width; }
    QSize sizeHint() const override { return {170, 170}; }

    // The picture it shows (null while the placeholder is shown).
    QImage shownCover() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QRectF square() const;
    QString m_key;
    CoverSource m_source;
};
