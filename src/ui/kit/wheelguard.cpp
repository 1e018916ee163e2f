#include "ui/kit/wheelguard.h"

#include <QAbstractScrollArea>
#include <QAbstractSlider>
#include <QCoreApplication>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QEvent>
#include <QScrollBar>
#include <QWheelEvent>

namespace kit {

namespace {

class WheelGuard : public QObject
{
public:
    using QObject::QObject;

    static WheelGuard *instance()
    {
        static auto *guard = new WheelGuard;
        return guard;
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::Wheel)
            return false;
        auto *control = qobject_cast<QWidget *>(watched);
        if (!control || control->hasFocus())
            return false;
        // Handed to the scroll area around the control, as if the control
        // were not there.
        auto *wheel = static_cast<QWheelEvent *>(event);
        event->ignore();
        for (QWidget *up = control->parentWidget(); up; up = up->parentWidget()) {
            auto *area = qobject_cast<QAbstractScrollArea *>(up);
            if (!area || !area->viewport()->isAncestorOf(control))
                continue;
            const QPointF at = control->mapTo(area->viewport(), wheel->position());
            QWheelEvent passed(at, wheel->globalPosition(), wheel->pixelDelta(), wheel->angleDelta(), wheel->buttons(),
                               wheel->modifiers(), wheel->phase(), wheel->inverted(), wheel->source(),
                               wheel->pointingDevice());
            passed.setTimestamp(wheel->timestamp());
            QCoreApplication::sendEvent(area->viewport(), &passed);
            event->setAccepted(passed.isAccepted());
            break;
        }
        return true;
    }
};

} // namespace

void keepWheelForPage(QWidget *control)
{
    if (!control)
        return;
    // Focus by click or Tab, never by the wheel.
    control->setFocusPolicy(Qt::StrongFocus);
    control->installEventFilter(WheelGuard::instance());
}

void keepWheelsForPage(QWidget *page)
{
    if (!page)
        return;
    for (QComboBox *combo : page->findChildren<QComboBox *>())
        keepWheelForPage(combo);
    for (QAbstractSpinBox *spin : page->findChildren<QAbstractSpinBox *>())
        keepWheelForPage(spin);
    for (QAbstractSlider *slider : page->findChildren<QAbstractSlider *>()) {
        if (!qobject_cast<QScrollBar *>(slider))
            keepWheelForPage(slider);
    }
}

} // namespace kit
