#include "ui/guide/guideview.h"

#include "device/ipodillustration.h"
#include "device/themeimage.h"
#include "platform/workspace.h"
#include "ui/kit/kit.h"

#include <QButtonGroup>
#include <QEvent>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScrollArea>
#include <QStyleOptionFocusRect>
#include <QVBoxLayout>
#include <cmath>

using namespace Qt::StringLiterals;

namespace {
const QString guidePage = u"Poradnik"_s;
const QString modelsPage = u"Modele"_s;
} // namespace

// ---------------------------------------------------------------------------

GuideBrowser::GuideBrowser(bool english, Workspace *workspace, QWidget *parent)
    : QTextBrowser(parent), m_english(english), m_workspace(workspace)
{
    // Links are decided here, never followed by the browser on its own.
    setOpenLinks(false);
    setOpenExternalLinks(false);
    setFrameShape(QFrame::NoFrame);
    document()->setDocumentMargin(18);
    connect(this, &QTextBrowser::anchorClicked, this, &GuideBrowser::follow);
    update();
}

std::optional<QUrl> GuideBrowser::documentUrl(bool english)
{
    const QString path = english ? u":/Guide/en.html"_s : u":/Guide/index.html"_s;
    if (!QFile::exists(path))
        return std::nullopt;
    return QUrl(u"qrc"_s + path);
}

void GuideBrowser::setEnglish(bool english)
{
    m_english = english;
    update();
}

void GuideBrowser::update()
{
    const std::optional<QUrl> url = documentUrl(m_english);
    if (!url || url == m_loaded)
        return;
    m_loaded = url;
    ++m_loads;
    setSource(*url, QTextDocument::HtmlResource);
}

bool GuideBrowser::opensOutside(const QUrl &url)
{
    // Compared as written: the two schemes that belong to other programs.
    const QString scheme = url.scheme();
    return scheme == u"https"_s || scheme == u"mailto"_s;
}

void GuideBrowser::follow(const QUrl &url)
{
    if (opensOutside(url)) {
        (m_workspace ? *m_workspace : Workspace::system()).openUrl(url);
        return;
    }
    setSource(url);
}

// ---------------------------------------------------------------------------

ToggleSwitch::ToggleSwitch(const QString &text, QWidget *parent)
    : QAbstractButton(parent)
{
    setText(text);
    setCheckable(true);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
    setFont(kit::font(kit::size::body));
}

QSize ToggleSwitch::sizeHint() const
{
    const QFontMetrics metrics(font());
    return {metrics.horizontalAdvance(text()) + 8 + 34, std::max(22, metrics.height())};
}

void ToggleSwitch::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPalette pal = palette();
    const QFontMetrics metrics(font());
    const int textWidth = metrics.horizontalAdvance(text());
    painter.setPen(isEnabled() ? kit::primaryText(pal) : kit::tertiaryText(pal));
    painter.drawText(QRect(0, 0, textWidth, height()), Qt::AlignVCenter | Qt::AlignLeft, text());

    const QRectF track(textWidth + 8, (height() - 20) / 2.0, 34, 20);
    QColor off = kit::primaryText(pal);
    off.setAlphaF(0.18f);
    painter.setPen(Qt::NoPen);
    painter.setBrush(isChecked() ? kit::blue(pal) : off);
    painter.drawRoundedRect(track, 10, 10);
    const double knob = 16;
    const double x = isChecked() ? track.right() - 2 - knob : track.left() + 2;
    painter.setBrush(Qt::white);
    painter.drawEllipse(QRectF(x, track.top() + 2, knob, knob));
    if (hasFocus()) {
        painter.setPen(QPen(kit::blue(pal), 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(track.adjusted(-2, -2, 2, 2), 12, 12);
    }
}

// ---------------------------------------------------------------------------

ModelCard::ModelCard(const IPodProfile &profile, QWidget *parent)
    : QWidget(parent), m_profile(profile)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(padding, padding, padding, padding);
    layout->setSpacing(spacing);

    // No finish of the user's and no picture: the model's own colour and the
    // drawing's empty screen.
    auto *slot = new QWidget(this);
    slot->setFixedHeight(illustrationSlot);
    auto *slotLayout = new QVBoxLayout(slot);
    slotLayout->setContentsMargins(0, 0, 0, 0);
    m_illustration = new IPodIllustration(profile, std::nullopt, std::nullopt, illustrationWidth,
                                          illustrationMaxHeight, slot);
    slotLayout->addWidget(m_illustration, 0, Qt::AlignCenter);
    layout->addWidget(slot);

    m_name = new QLabel(kit::tr(profile.name), this);
    m_name->setFont(kit::font(kit::size::headline, QFont::DemiBold));
    m_support = new QLabel(kit::tr(profile.support), this);
    m_support->setFont(kit::font(kit::size::caption));
    for (QLabel *label : {m_name, m_support}) {
        label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        label->setWordWrap(true);
        label->setTextFormat(Qt::PlainText);
        layout->addWidget(label);
    }
    layout->addStretch(1);
    recolor();
    setAccessibleName(kit::tr(profile.name));
}

void ModelCard::recolor()
{
    // Blue where Rockbox runs, grey where it does not.
    kit::setTextColor(m_support, m_profile.target ? kit::blue(palette()) : kit::secondaryText(palette()));
}

void ModelCard::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::PaletteChange)
        recolor();
    QWidget::changeEvent(event);
}

void ModelCard::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QColor fill = kit::primaryText(palette());
    fill.setAlphaF(0.035f);
    painter.fillPath(continuousRoundedRect(QRectF(rect()), 14), fill);
}

// ---------------------------------------------------------------------------

ModelGallery::ModelGallery(QWidget *parent)
    : QWidget(parent)
{
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
    for (const IPodProfile &profile : IPodProfile::all()) {
        auto *card = new ModelCard(profile, this);
        card->setObjectName(profile.id);
        m_cards.append(card);
    }
}

int ModelGallery::place(int width, bool apply) const
{
    const int columns =
        std::max(1, int(std::floor((width + columnSpacing) / (minimumColumnWidth + columnSpacing))));
    const double column = std::max(minimumColumnWidth, (width - columnSpacing * (columns - 1)) / columns);
    double y = 0;
    for (int start = 0; start < m_cards.size(); start += columns) {
        int rowHeight = 0;
        const int end = std::min<int>(int(m_cards.size()), start + columns);
        for (int i = start; i < end; ++i)
            rowHeight = std::max(rowHeight, m_cards[i]->heightForWidth(int(column)));
        if (apply) {
            for (int i = start; i < end; ++i) {
                const double x = (i - start) * (column + columnSpacing);
                m_cards[i]->setGeometry(QRect(int(std::round(x)), int(y), int(column), rowHeight));
            }
        }
        y += rowHeight + (end < m_cards.size() ? rowSpacing : 0);
    }
    return int(std::ceil(y));
}

int ModelGallery::heightForWidth(int width) const
{
    return place(width, false);
}

QSize ModelGallery::sizeHint() const
{
    const int width = int(4 * minimumColumnWidth + 3 * columnSpacing);
    return {width, heightForWidth(width)};
}

void ModelGallery::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    place(width(), true);
}

// ---------------------------------------------------------------------------

GuideView::GuideView(const QString &page, bool english, QWidget *parent, Workspace *workspace)
    : QWidget(parent), m_page(page), m_english(english), m_workspace(workspace)
{
    m_layout = new QVBoxLayout(this);
    m_layout->setContentsMargins(24, 24, 24, 24);
    m_layout->setSpacing(14);

    auto *header = new QHBoxLayout;
    auto *title = new QLabel(kit::tr(u"Drugie życie iPoda"_s), this);
    title->setFont(kit::font(28, QFont::Bold));
    // In the smallest window a long title goes onto two lines rather than losing letters.
    title->setWordWrap(true);
    header->addWidget(title, 1);
    header->addStretch(1);
    m_switch = new ToggleSwitch(kit::tr(u"English"_s), this);
    m_switch->setObjectName(u"english"_s);
    m_switch->setChecked(english);
    connect(m_switch, &QAbstractButton::toggled, this, &GuideView::setEnglish);
    header->addWidget(m_switch);
    m_layout->addLayout(header);

    auto *picker = new QHBoxLayout;
    picker->setSpacing(0);
    auto *label = new QLabel(kit::tr(u"Sekcja"_s), this);
    picker->addWidget(label);
    picker->addSpacing(8);
    m_guideSegment = new QPushButton(kit::tr(u"Poradnik Rockbox"_s), this);
    m_modelsSegment = new QPushButton(kit::tr(u"Wszystkie modele"_s), this);
    auto *segments = new QButtonGroup(this);
    segments->setExclusive(true);
    const QPalette pal = palette();
    const QString border = kit::separator(pal).name(QColor::HexArgb);
    const QString accent = kit::blue(pal).name();
    const QString plain = kit::controlBackground(pal).name();
    const QString text = kit::primaryText(pal).name();
    int index = 0;
    for (QPushButton *segment : {m_guideSegment, m_modelsSegment}) {
        segment->setCheckable(true);
        segment->setAutoDefault(false);
        segment->setFocusPolicy(Qt::TabFocus);
        const QString corners = index == 0 ? u"border-top-left-radius: 6px; border-bottom-left-radius: 6px;"_s
                                           : u"border-top-right-radius: 6px; border-bottom-right-radius: 6px;"_s;
        segment->setStyleSheet(u"QPushButton { border: 1px solid %1; background: %2; color: %3; padding: 3px 14px; %4 }"
                               "QPushButton:checked { background: %5; color: white; border-color: %5; }"_s
                                   .arg(border, plain, text, corners, accent));
        segments->addButton(segment, index++);
        picker->addWidget(segment);
    }
    picker->addStretch(1);
    m_layout->addLayout(picker);
    connect(m_guideSegment, &QPushButton::clicked, this, [this] { setPage(guidePage); });
    connect(m_modelsSegment, &QPushButton::clicked, this, [this] { setPage(modelsPage); });

    rebuildContent();
}

void GuideView::setEnglish(bool english)
{
    m_english = english;
    if (m_switch->isChecked() != english)
        m_switch->setChecked(english);
    if (m_browser)
        m_browser->setEnglish(english);
}

void GuideView::setPage(const QString &page)
{
    if (page == m_page && m_content)
        return;
    m_page = page;
    rebuildContent();
}

void GuideView::rebuildContent()
{
    // Each showing of a sub-page builds it anew: the guide opens at its top.
    const bool guide = m_page == guidePage;
    m_guideSegment->setChecked(guide);
    m_modelsSegment->setChecked(!guide);
    if (m_content) {
        m_layout->removeWidget(m_content);
        m_content->hide();
        m_content->deleteLater();
    }
    m_browser = nullptr;
    m_gallery = nullptr;
    if (guide) {
        m_browser = new GuideBrowser(m_english, m_workspace, this);
        m_browser->setObjectName(u"guideBrowser"_s);
        m_content = m_browser;
    } else {
        auto *box = new QWidget(this);
        auto *layout = new QVBoxLayout(box);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(14);
        auto *note = new QLabel(kit::tr(u"Wbudowane ilustracje wszystkich generacji. Grafika nie oznacza zgodności: Vontaro zarządza dyskami z Rockbox, a touch, shuffle i nowsze nano go nie obsługują."_s),
                                box);
        note->setFont(kit::font(kit::size::caption));
        note->setWordWrap(true);
        kit::setTextColor(note, kit::secondaryText(palette()));
        layout->addWidget(note);
        auto *scroll = new QScrollArea(box);
        scroll->setFrameShape(QFrame::NoFrame);
        scroll->setWidgetResizable(true);
        scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        scroll->viewport()->setAutoFillBackground(false);
        m_gallery = new ModelGallery(scroll);
        m_gallery->setObjectName(u"modelGallery"_s);
        scroll->setWidget(m_gallery);
        layout->addWidget(scroll, 1);
        m_content = box;
    }
    m_layout->addWidget(m_content, 1);
}
