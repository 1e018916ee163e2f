#include "ui/shell/sidebar.h"

#include "model/tavomodel.h"
#include "platform/defaults.h"
#include "ui/kit/focusmarks.h"
#include "ui/kit/kit.h"

#include <QComboBox>
#include <QFocusEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

QString symbolOf(Section section)
{
    switch (section) {
    case Section::device: return u"ipod"_s;
    case Section::music: return u"music.note"_s;
    case Section::playlists: return u"music.note.list"_s;
    case Section::themes: return u"paintbrush"_s;
    case Section::backups: return u"clock.arrow.circlepath"_s;
    case Section::quality: return u"sparkles"_s;
    case Section::guide: return u"book.closed"_s;
    }
    return {};
}

QLabel *label(const QString &text, double size, QFont::Weight weight, QWidget *parent)
{
    auto *l = new QLabel(text, parent);
    l->setFont(kit::font(size, weight));
    l->setWordWrap(true);
    return l;
}

} // namespace

SectionButton::SectionButton(Section section, QWidget *parent)
    : QAbstractButton(parent), m_section(section)
{
    setText(kit::tr(sections::rawValue(section)));
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setAccessibleName(text());
}

void SectionButton::setChosen(bool chosen)
{
    if (m_chosen == chosen)
        return;
    m_chosen = chosen;
    update();
}

QSize SectionButton::sizeHint() const
{
    const QFontMetrics metrics(kit::font(14, QFont::DemiBold));
    return {13 + 18 + 9 + metrics.horizontalAdvance(text()) + 13, 11 + std::max(18, metrics.height()) + 11};
}

void SectionButton::enterEvent(QEnterEvent *event)
{
    m_hovered = true;
    update();
    QAbstractButton::enterEvent(event);
}

void SectionButton::leaveEvent(QEvent *event)
{
    m_hovered = false;
    update();
    QAbstractButton::leaveEvent(event);
}

void SectionButton::focusInEvent(QFocusEvent *event)
{
    // Focus handed back when the window is activated again (after a file
    // chooser, say) is no step of the user's and shows no ring.
    m_focusRing = kit::showsFocusRing(event->reason());
    update();
    QAbstractButton::focusInEvent(event);
}

void SectionButton::focusOutEvent(QFocusEvent *event)
{
    m_focusRing = false;
    update();
    QAbstractButton::focusOutEvent(event);
}

void SectionButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPalette &pal = palette();
    const QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    if (m_chosen) {
        QPainterPath path;
        path.addRoundedRect(box, 7, 7);
        painter.fillPath(path, kit::blue(pal));
    } else if (m_hovered || isDown()) {
        QPainterPath path;
        path.addRoundedRect(box, 7, 7);
        painter.fillPath(path, kit::quaternaryFill(pal));
    }
    if (showsFocusRing()) {
        // A thin ring, never a fill: focus must not read as a second chosen section.
        painter.setPen(QPen(m_chosen ? QColor(255, 255, 255, 200) : kit::focusRing(pal), 2));
        painter.drawRoundedRect(box.adjusted(2, 2, -2, -2), 5, 5);
    }
    const QColor ink = m_chosen ? QColor(Qt::white) : kit::primaryText(pal);
    const double dpr = devicePixelRatioF();
    const QPixmap icon = kit::symbolPixmap(symbolOf(m_section), 17, m_chosen ? QColor(Qt::white) : kit::blue(pal), dpr);
    const int iconY = (height() - 17) / 2;
    painter.drawPixmap(QRect(13, iconY, 17, 17), icon);
    painter.setPen(ink);
    painter.setFont(kit::font(14, m_chosen ? QFont::DemiBold : QFont::Normal));
    const QRect textRect(13 + 17 + 10, 0, width() - 40 - 13, height());
    painter.drawText(textRect, Qt::AlignVCenter | Qt::AlignLeft,
                     painter.fontMetrics().elidedText(text(), Qt::ElideRight, textRect.width()));
}

Sidebar::Sidebar(TavoModel *model, QWidget *parent)
    : QWidget(parent), m_model(model)
{
    setFixedWidth(fixedWidth);
    setAutoFillBackground(true);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 22, 0, 0);
    layout->setSpacing(30);

    // Brand.
    auto *brand = new QHBoxLayout;
    brand->setContentsMargins(19, 0, 19, 0);
    brand->setSpacing(12);
    auto *logo = new QLabel(this);
    logo->setFixedSize(40, 40);
    logo->setPixmap(QIcon(u":/icons/app.svg"_s).pixmap(40, 40));
    brand->addWidget(logo, 0, Qt::AlignVCenter);
    auto *names = new QVBoxLayout;
    names->setSpacing(3);
    names->addWidget(label(kit::tr(u"Vontaro"_s), 23, QFont::Bold, this));
    auto *tagline = label(kit::tr(u"Muzyka. Motywy. Twój iPod."_s), 10, QFont::Normal, this);
    kit::setTextColor(tagline, kit::secondaryText(palette()));
    names->addWidget(tagline);
    brand->addLayout(names, 1);
    layout->addLayout(brand);

    // Section buttons.
    auto *buttons = new QVBoxLayout;
    buttons->setContentsMargins(12, 0, 12, 0);
    buttons->setSpacing(7);
    for (Section section : sections::all) {
        auto *button = new SectionButton(section, this);
        connect(button, &QAbstractButton::clicked, this, [this, section] { m_model->setSection(section); });
        buttons->addWidget(button);
        m_buttons.append(button);
    }
    layout->addLayout(buttons);
    layout->addStretch(1);

    // Language picker: the stored value is shown; "PL" and "EN" are the same in both languages.
    m_language = new QComboBox(this);
    m_language->setAccessibleName(kit::tr(u"Język"_s));
    m_language->addItem(u"PL"_s, u"pl"_s);
    m_language->addItem(u"EN"_s, u"en"_s);
    m_language->addItem(kit::tr(u"Automatycznie"_s), u"system"_s);
    const QString stored = Defaults::string(u"appLanguage"_s).value_or(u"system"_s);
    const int index = m_language->findData(stored);
    m_language->setCurrentIndex(index >= 0 ? index : 2);
    connect(m_language, &QComboBox::activated, this,
            [this](int i) { emit languageChosen(m_language->itemData(i).toString()); });
    auto *picker = new QHBoxLayout;
    picker->setContentsMargins(18, 0, 18, 0);
    picker->addWidget(m_language);
    layout->addLayout(picker);

    // Taglines.
    auto *taglines = new QVBoxLayout;
    taglines->setContentsMargins(20, 0, 20, 20);
    taglines->setSpacing(5);
    taglines->addWidget(label(kit::tr(u"Twoja muzyka, na własność."_s), 12, QFont::Medium, this));
    auto *second = label(kit::tr(u"Zaprojektowany dla Rockbox."_s), 11, QFont::Normal, this);
    kit::setTextColor(second, kit::secondaryText(palette()));
    taglines->addWidget(second);
    layout->addLayout(taglines);
    layout->setSpacing(0);
    layout->insertSpacing(1, 30);
    layout->insertSpacing(3, 30);

    connect(model, &TavoModel::sectionChanged, this, &Sidebar::showSection);
    showSection();
}

SectionButton *Sidebar::button(Section section) const
{
    for (SectionButton *b : m_buttons)
        if (b->section() == section)
            return b;
    return nullptr;
}

void Sidebar::showSection()
{
    for (SectionButton *b : m_buttons)
        b->setChosen(b->section() == m_model->section());
}
