#include "ui/library/rowpainting.h"

#include "ui/kit/kit.h"

#include <QFontMetricsF>
#include <QPainter>

namespace library {

QFont captionFont() { return kit::font(kit::size::caption); }
QFont caption2Font() { return kit::font(kit::size::caption2); }

void drawLine(QPainter &painter, const QRectF &rect, const QFont &font, const QColor &color, const QString &text,
              Qt::Alignment align)
{
    painter.setFont(font);
    painter.setPen(color);
    const QString elided = QFontMetricsF(font).elidedText(text, Qt::ElideRight, rect.width());
    painter.drawText(rect, int(align | Qt::AlignVCenter) | Qt::TextSingleLine, elided);
}

void drawSymbolAtStart(QPainter &painter, const QPixmap &symbol, const QRectF &line)
{
    const QSizeF size = symbol.deviceIndependentSize();
    painter.drawPixmap(QPointF(line.left(), line.center().y() - size.height() / 2), symbol);
}

void drawSymbolCentred(QPainter &painter, const QPixmap &symbol, const QRectF &area)
{
    const QSizeF size = symbol.deviceIndependentSize();
    painter.drawPixmap(QPointF(area.center().x() - size.width() / 2, area.center().y() - size.height() / 2), symbol);
}

QColor toggleColor(const QPalette &palette, bool busy)
{
    return busy ? kit::tertiaryText(palette) : kit::blue(palette);
}

} // namespace library
