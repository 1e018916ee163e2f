#include "ui/kit/emptystate.h"

#include "ui/kit/kit.h"

#include <QLabel>
#include <QVBoxLayout>

EmptyState::EmptyState(const QString &title, const QString &symbol, const QString &detail, QWidget *parent)
    : QWidget(parent), m_icon(new QLabel(this)), m_title(new QLabel(kit::tr(title), this)),
      m_detail(new QLabel(kit::tr(detail), this))
{
    auto *layout = new QVBoxLayout(this);
    layout->setSpacing(15);
    layout->addStretch(1);
    // The symbol is the page's one touch of colour, faded so the title leads.
    QColor accent = kit::blue(palette());
    accent.setAlphaF(float(symbolOpacity));
    m_icon->setPixmap(kit::symbolPixmap(symbol, symbolSize, accent, devicePixelRatioF()));
    m_icon->setAlignment(Qt::AlignCenter);
    m_title->setFont(kit::font(19, QFont::DemiBold));
    m_detail->setFont(kit::font(kit::size::body));
    kit::setTextColor(m_detail, kit::secondaryText(palette()));
    for (QLabel *label : {m_title, m_detail}) {
        label->setAlignment(Qt::AlignCenter);
        label->setWordWrap(true);
        label->setTextFormat(Qt::PlainText);
    }
    layout->addWidget(m_icon);
    layout->addWidget(m_title);
    layout->addWidget(m_detail);
    layout->addStretch(1);
}

QString EmptyState::title() const { return m_title->text(); }
QString EmptyState::detail() const { return m_detail->text(); }
