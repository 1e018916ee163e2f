#pragma once

// Widgets the album sheets (album details, cover search) build alike.

#include "ui/kit/kit.h"

#include <QLabel>
#include <QPushButton>

namespace sheetparts {

inline QLabel *label(const QString &text, double size, QWidget *parent, QFont::Weight weight = QFont::Normal)
{
    auto *l = new QLabel(text, parent);
    l->setFont(kit::font(size, weight));
    return l;
}

// Return in a sheet's field never presses a button by itself: no button of a
// sheet is a default one.
inline QPushButton *button(const QString &text, QWidget *parent)
{
    auto *b = new QPushButton(text, parent);
    b->setAutoDefault(false);
    b->setDefault(false);
    return b;
}

} // namespace sheetparts
