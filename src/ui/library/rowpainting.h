#pragma once

// What the album grid's cards and the track list's rows paint alike: their
// text styles, a line of text cut short to fit, a symbol placed on a line or
// in a cell, and the colour of the selection toggle.

#include <QColor>
#include <QFont>
#include <QPalette>
#include <QPixmap>
#include <QRectF>
#include <QString>

class QPainter;

namespace library {

QFont captionFont();
QFont caption2Font();

// One line of `text` in `rect`, centred vertically, cut short with an ellipsis
// when it does not fit.
void drawLine(QPainter &painter, const QRectF &rect, const QFont &font, const QColor &color, const QString &text,
              Qt::Alignment align = Qt::AlignLeft);
// A symbol at the start of a line, centred on it vertically; or centred in an area.
void drawSymbolAtStart(QPainter &painter, const QPixmap &symbol, const QRectF &line);
void drawSymbolCentred(QPainter &painter, const QPixmap &symbol, const QRectF &area);
// The selection toggle's colour: the accent, grey while the model works.
QColor toggleColor(const QPalette &palette, bool busy);

} // namespace library
