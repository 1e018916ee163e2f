#include "ui/kit/pageheader.h"

#include "ui/kit/kit.h"

#include <QLabel>
#include <QVBoxLayout>

PageHeader::PageHeader(const QString &title, const QString &subtitle, QWidget *parent)
    : QWidget(parent), m_title(new QLabel(this)), m_subtitle(new QLabel(this))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    m_title->setFont(kit::font(kit::size::pageTitle, QFont::Bold));
    m_subtitle->setFont(kit::font(13));
    m_subtitle->setWordWrap(true);
    kit::setTextColor(m_subtitle, kit::secondaryText(palette()));
    for (QLabel *label : {m_title, m_subtitle}) {
        label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        label->setTextFormat(Qt::PlainText);
        label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        layout->addWidget(label);
    }
    setTitle(title);
    setSubtitle(subtitle);
}

void PageHeader::setTitle(const QString &title) { m_title->setText(kit::tr(title)); }
void PageHeader::setSubtitle(const QString &subtitle) { m_subtitle->setText(kit::tr(subtitle)); }
QString PageHeader::title() const { return m_title->text(); }
QString PageHeader::subtitle() const { return m_subtitle->text(); }
