#include "ui/themes/themewidgets.h"

#include "platform/workspace.h"
#include "ui/kit/kit.h"

#include <QEnterEvent>
#include <QPainter>

using namespace Qt::StringLiterals;

LinkButton::LinkButton(const QString &polish, Workspace *workspace, QWidget *parent)
    : QAbstractButton(parent), m_workspace(workspace)
{
    setText(kit::tr(polish));
    setFont(kit::font(kit::size::body));
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    connect(this, &QAbstractButton::clicked, this, [this] {
        if (m_url.isValid())
            (m_workspace ? *m_workspace : Workspace::system()).openUrl(m_url);
    });
}

QSize LinkButton::sizeHint() const
{
    const QFontMetrics metrics(font());
    return {metrics.horizontalAdvance(text()) + 4, metrics.height() + 6};
}

void LinkButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    QFont shown = font();
    shown.setUnderline(m_hover || hasFocus());
    painter.setFont(shown);
    QColor color = kit::blue(palette());
    if (isDown())
        color = color.darker(130);
    if (!isEnabled())
        color.setAlphaF(0.4f);
    painter.setPen(color);
    painter.drawText(rect().adjusted(2, 0, -2, 0), Qt::AlignLeft | Qt::AlignVCenter, text());
}

void LinkButton::enterEvent(QEnterEvent *event)
{
    m_hover = true;
    update();
    QAbstractButton::enterEvent(event);
}

void LinkButton::leaveEvent(QEvent *event)
{
    m_hover = false;
    update();
    QAbstractButton::leaveEvent(event);
}

