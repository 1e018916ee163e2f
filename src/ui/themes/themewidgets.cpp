#include "ui/themes/themewidgets.h"

#include "platform/workspace.h"
#include "ui/kit/kit.h"

#include <QEvent>

using namespace Qt::StringLiterals;

LinkButton::LinkButton(const QString &polish, Workspace *workspace, QWidget *parent)
    : QPushButton(kit::tr(polish), parent), m_workspace(workspace)
{
    setFlat(true);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    restyle();
    connect(this, &QPushButton::clicked, this, [this] {
        if (m_url.isValid())
            (m_workspace ? *m_workspace : Workspace::system()).openUrl(m_url);
    });
}

void LinkButton::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::PaletteChange)
        restyle();
    QPushButton::changeEvent(event);
}

void LinkButton::restyle()
{
    const QString color = kit::blue(palette()).name();
    const QString sheet = u"QPushButton { border: none; background: transparent; padding: 2px 0px; color: "_s + color
        + u"; } QPushButton:hover { text-decoration: underline; } QPushButton:focus { text-decoration: underline; }"_s;
    if (styleSheet() != sheet)
        setStyleSheet(sheet);
}

namespace themewidgets {

void makeProminent(QPushButton *button)
{
    const QPalette pal = button->palette();
    const QString accent = kit::blue(pal).name();
    const QString pressed = kit::blue(pal).darker(120).name();
    QColor faded = kit::secondaryText(pal);
    faded.setAlphaF(0.18f);
    QColor fadedText = kit::secondaryText(pal);
    button->setStyleSheet(
        u"QPushButton { background: %1; color: white; border: none; border-radius: 6px; padding: 5px 14px; }"
        "QPushButton:pressed { background: %2; }"
        "QPushButton:disabled { background: %3; color: %4; }"_s.arg(accent, pressed, faded.name(QColor::HexArgb),
                                                                      fadedText.name(QColor::HexArgb)));
}

} // namespace themewidgets
