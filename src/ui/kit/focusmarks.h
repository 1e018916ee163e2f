#pragma once

// Marks of keyboard focus, kept apart from the marks of a choice: a chosen
// item is filled in the accent colour, the focused one only gets a thin,
// half-strong ring, and only when the user moved there with the keyboard (a
// window that gets activated again after a dialog gives focus to its first
// control, which must not look chosen). And the colour arithmetic that keeps
// texts readable on their fills.

#include <QColor>
#include <QPalette>

class QWidget;

namespace kit {

// The ring's colour: the accent at half strength.
QColor focusRing(const QPalette &palette);
// Whether focus that came for `reason` should show its ring.
bool showsFocusRing(Qt::FocusReason reason);

// Lists mark their keyboard row only while the user works them with the
// keyboard: the list has focus, and that focus came from the keyboard or a key
// was pressed in it since. followKeyboardFocus() keeps that state for a list
// (and repaints it on a change); showsKeyboardMark() reads it.
void followKeyboardFocus(QWidget *list);
bool showsKeyboardMark(const QWidget *list);

// The chosen segment of a picker that is off (while the model works): a solid
// grey fill, and whichever of white or the window's colour stands out more on
// it for the label (at least 3:1 in both palettes).
QColor chosenOffFill(const QPalette &palette);
QColor chosenOffText(const QPalette &palette);

// `over` painted on `under` (both may be translucent; the result is opaque).
QColor composite(const QColor &over, const QColor &under);
// WCAG relative luminance of an opaque colour, and the contrast ratio of two (1 to 21).
double luminance(const QColor &color);
double contrastRatio(const QColor &a, const QColor &b);

} // namespace kit
