#include "ui/library/segmentedpicker.h"

#include "ui/kit/focusmarks.h"
#include "ui/kit/kit.h"

#include <QButtonGroup>
#include <QEvent>
#include <QHBoxLayout>
#include <QToolButton>

using namespace Qt::StringLiterals;

SegmentedPicker::SegmentedPicker(const QStringList &labels, QWidget *parent)
    : QWidget(parent), m_group(new QButtonGroup(this))
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_group->setExclusive(true);
    for (int i = 0; i < labels.size(); ++i) {
        auto *button = new QToolButton(this);
        button->setText(kit::tr(labels.at(i)));
        button->setCheckable(true);
        button->setToolButtonStyle(Qt::ToolButtonTextOnly);
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        button->setFont(kit::font(kit::size::body));
        m_group->addButton(button, i);
        layout->addWidget(button);
    }
    connect(m_group, &QButtonGroup::idClicked, this, &SegmentedPicker::activated);
    restyle();
}

int SegmentedPicker::currentIndex() const
{
    return m_group->checkedId();
}

void SegmentedPicker::setCurrentIndex(int index)
{
    if (QAbstractButton *b = m_group->button(index)) {
        b->setChecked(true);
        return;
    }
    // No segment matches: none is shown chosen.
    m_group->setExclusive(false);
    for (QAbstractButton *b : m_group->buttons())
        b->setChecked(false);
    m_group->setExclusive(true);
}

QAbstractButton *SegmentedPicker::button(int index) const
{
    return m_group->button(index);
}

int SegmentedPicker::count() const
{
    return int(m_group->buttons().size());
}

void SegmentedPicker::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::PaletteChange)
        restyle();
    QWidget::changeEvent(event);
}

void SegmentedPicker::restyle()
{
    const QPalette p = palette();
    const QString border = kit::separator(p).name(QColor::HexArgb);
    // The chosen segment of a picker that is off (while the model works) keeps
    // the look of a choice, readable.
    const QColor chosenOff = kit::chosenOffFill(p);
    const QColor chosenOffText = kit::chosenOffText(p);
    const int last = count() - 1;
    for (QAbstractButton *b : m_group->buttons()) {
        const int i = m_group->id(b);
        const QString radius = QStringLiteral("border-top-left-radius: %1px; border-bottom-left-radius: %1px;"
                                              "border-top-right-radius: %2px; border-bottom-right-radius: %2px;")
                                   .arg(i == 0 ? 5 : 0)
                                   .arg(i == last ? 5 : 0);
        b->setStyleSheet(
            QStringLiteral("QToolButton { background: %1; color: %2; border: 1px solid %3; %4 padding: 3px 10px; }"
                           "QToolButton:checked { background: %5; color: white; border-color: %5; }"
                           "QToolButton:disabled { color: %6; }"
                           "QToolButton:checked:disabled { background: %7; color: %8; border-color: %7; }")
                .arg(kit::controlBackground(p).name(), kit::primaryText(p).name(), border, radius,
                     kit::blue(p).name(), kit::tertiaryText(p).name(QColor::HexArgb), chosenOff.name(),
                     chosenOffText.name()));
    }
}
