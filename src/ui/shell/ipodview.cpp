#include "ui/shell/ipodview.h"

#include "device/ipodillustration.h"
#include "model/tavomodel.h"
#include "ui/kit/kit.h"

#include <QApplication>
#include <QMouseEvent>
#include <QStyleHints>
#include <QVBoxLayout>
#include <algorithm>

using namespace Qt::StringLiterals;

int ClickCounter::press(qint64 timestampMs, QPointF position)
{
    const QPointF moved = position - m_where;
    const bool follows = m_count > 0 && timestampMs - m_last <= m_interval
                         && std::abs(moved.x()) <= m_distance && std::abs(moved.y()) <= m_distance;
    m_count = follows ? m_count + 1 : 1;
    m_last = timestampMs;
    m_where = position;
    return m_count;
}

IPodView::IPodView(TavoModel *model, std::optional<ThemePreview> preview, double width, QWidget *parent)
    : QWidget(parent), m_model(model), m_width(width),
      m_clicks(QApplication::styleHints()->mouseDoubleClickInterval(),
               std::max(4, QApplication::styleHints()->mouseDoubleClickDistance()))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_illustration = new IPodIllustration(model->deviceProfile(), model->deviceFinish(), std::move(preview), width,
                                          maxHeight, this);
    // Clicks reach this view, which counts them.
    m_illustration->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_illustration->setToolTip(kit::tr(u"Rok 2007… niektóre wspomnienia budzą się za trzecim razem."_s));
    layout->addWidget(m_illustration, 0, Qt::AlignHCenter);
    setToolTip(m_illustration->toolTip());
    for (auto signal : {&TavoModel::deviceChanged, &TavoModel::deviceInfoChanged, &TavoModel::objectWillChange})
        connect(model, signal, this, &IPodView::showDevice);
}

void IPodView::setPreview(const std::optional<ThemePreview> &preview)
{
    m_illustration->setPreview(preview);
}

void IPodView::setMaxHeight(double height)
{
    height = std::min(height, maxHeight);
    if (height == m_maxHeight)
        return;
    m_maxHeight = height;
    m_illustration->setSpace(m_width, height);
}

void IPodView::showDevice()
{
    m_illustration->setProfile(m_model->deviceProfile());
    m_illustration->setFinish(m_model->deviceFinish());
}

void IPodView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton
        && m_clicks.press(qint64(event->timestamp()), event->position()) == 3)
        m_model->revealCoverFlow();
    QWidget::mousePressEvent(event);
}
