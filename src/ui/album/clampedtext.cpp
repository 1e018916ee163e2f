#include "ui/album/clampedtext.h"

#include <QEvent>
#include <QFontMetrics>
#include <QPainter>
#include <QTextLayout>

ClampedText::ClampedText(int maxLines, QWidget *parent)
    : QWidget(parent)
    , m_maxLines(qMax(1, maxLines))
{
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

void ClampedText::setText(const QString &text)
{
    if (text == m_text)
        return;
    m_text = text;
    updateGeometry();
    update();
}

void ClampedText::setColor(const QColor &color)
{
    m_color = color;
    update();
}

QStringList ClampedText::layoutLines(int width) const
{
    QStringList lines;
    if (m_text.isEmpty() || width <= 0)
        return lines;
    const QFontMetrics metrics(font());
    QTextLayout layout(m_text, font());
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    while (true) {
        QTextLine line = layout.createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(width);
        if (lines.size() == m_maxLines - 1) {
            // The last allowed line takes the whole rest, cut with an ellipsis.
            const QString rest = m_text.mid(line.textStart()).simplified();
            lines.append(metrics.elidedText(rest, Qt::ElideRight, width));
            break;
        }
        lines.append(m_text.mid(line.textStart(), line.textLength()).trimmed());
    }
    layout.endLayout();
    return lines;
}

QStringList ClampedText::visibleLines() const
{
    return layoutLines(width());
}

int ClampedText::heightForWidth(int width) const
{
    const int count = qMax<qsizetype>(1, layoutLines(width).size());
    return count * QFontMetrics(font()).lineSpacing();
}

QSize ClampedText::sizeHint() const
{
    const QFontMetrics metrics(font());
    const int natural = metrics.horizontalAdvance(m_text);
    const int width = qMin(natural, 600);
    return {width, heightForWidth(qMax(1, width))};
}

QSize ClampedText::minimumSizeHint() const
{
    return {0, QFontMetrics(font()).lineSpacing()};
}

void ClampedText::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setFont(font());
    painter.setPen(m_color.isValid() ? m_color : palette().color(QPalette::WindowText));
    const QFontMetrics metrics(font());
    int y = 0;
    for (const QString &line : layoutLines(width())) {
        painter.drawText(QRect(0, y, width(), metrics.lineSpacing()), Qt::AlignLeft | Qt::AlignVCenter, line);
        y += metrics.lineSpacing();
    }
}

void ClampedText::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::FontChange) {
        updateGeometry();
        update();
    }
    QWidget::changeEvent(event);
}
