#pragma once

// Pickers, sliders and number fields inside a scrolled page: the mouse wheel
// passing over them on its way down the page must scroll the page, not change
// (and save) a choice the user never meant to touch. Such a control takes the
// wheel only once the user has given it focus on purpose (a click or Tab);
// until then the wheel goes on to the page around it.

class QWidget;

namespace kit {

// Guards one control (a QComboBox, QAbstractSpinBox or QAbstractSlider).
void keepWheelForPage(QWidget *control);
// Guards every combo box, spin box and slider inside `page` (scroll bars excepted).
void keepWheelsForPage(QWidget *page);

} // namespace kit
