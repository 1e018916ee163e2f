#include "ui/kit/focusmarks.h"

#include "ui/kit/kit.h"

#include <QAbstractScrollArea>
#include <QFocusEvent>
#include <QWidget>
#include <algorithm>
#include <cmath>

namespace kit {

namespace {

constexpr char keyboardProperty[] = "kit_keyboardFocus";

class KeyboardFocusWatcher : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *list = qobject_cast<QWidget *>(watched);
        if (!list)
            return false;
        switch (event->type()) {
        case QEvent::FocusIn: set(list, showsFocusRing(static_cast<QFocusEvent *>(event)->reason())); break;
        case QEvent::FocusOut: set(list, false); break;
        case QEvent::KeyPress: set(list, true); break;
        default: break;
        }
        return false;
    }

private:
    static void set(QWidget *list, bool keyboard)
    {
        if (list->property(keyboardProperty).toBool() == keyboard)
            return;
        list->setProperty(keyboardProperty, keyboard);
        list->update();
        if (auto *area = qobject_cast<QAbstractScrollArea *>(list))
            area->viewport()->update();
    }
};

} // namespace

void followKeyboardFocus(QWidget *list)
{
    static auto *watcher = new KeyboardFocusWatcher;
    list->installEventFilter(watcher);
}

bool showsKeyboardMark(const QWidget *list)
{
    return list && list->hasFocus() && list->property(keyboardProperty).toBool();
}

QColor focusRing(const QPalette &palette)
{
    QColor ring = blue(palette);
    ring.setAlphaF(0.5f);
    return ring;
}

bool showsFocusRing(Qt::FocusReason reason)
{
    return reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason || reason == Qt::ShortcutFocusReason;
}

QColor chosenOffFill(const QPalette &palette)
{
    return composite(secondaryText(palette), palette.color(QPalette::Window));
}

QColor chosenOffText(const QPalette &palette)
{
    const QColor fill = chosenOffFill(palette);
    const QColor white(Qt::white);
    const QColor window = palette.color(QPalette::Window);
    return contrastRatio(white, fill) >= contrastRatio(window, fill) ? white : window;
}

QColor composite(const QColor &over, const QColor &under)
{
    const double a = over.alphaF();
    const double b = under.alphaF() * (1 - a);
    const double out = a + b;
    if (out <= 0)
        return QColor(0, 0, 0);
    const auto mix = [&](double top, double bottom) { return std::clamp((top * a + bottom * b) / out, 0.0, 1.0); };
    return QColor::fromRgbF(float(mix(over.redF(), under.redF())), float(mix(over.greenF(), under.greenF())),
                            float(mix(over.blueF(), under.blueF())));
}

double luminance(const QColor &color)
{
    const auto channel = [](double c) { return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(color.redF()) + 0.7152 * channel(color.greenF()) + 0.0722 * channel(color.blueF());
}

double contrastRatio(const QColor &a, const QColor &b)
{
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

} // namespace kit
