#include "ui/themes/themegrid.h"

#include "device/themeimage.h"
#include "model/tavomodel.h"
#include "ui/kit/focusmarks.h"
#include "ui/kit/kit.h"
#include "ui/kit/paintedrows.h"

#include <QFileInfo>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QTextLayout>
#include <cmath>

using namespace Qt::StringLiterals;

namespace {

QFont nameFont() { return kit::font(kit::size::headline, QFont::DemiBold); }
QFont sourceFont() { return kit::font(kit::size::caption2); }
QFont buttonFont() { return kit::font(kit::size::caption); }

const QString detailsLabel = u"Szczegóły i podgląd"_s;

} // namespace

QStringList ThemeGrid::wrapped(const QString &text, const QFont &font, double width, int lines)
{
    QStringList out;
    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    while (out.size() < lines) {
        QTextLine line = layout.createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(width);
        const bool last = out.size() == lines - 1;
        const QString piece = last ? text.mid(line.textStart()) : text.mid(line.textStart(), line.textLength());
        out.append(last ? QFontMetricsF(font).elidedText(piece.simplified(), Qt::ElideRight, width)
                        : piece.trimmed());
    }
    layout.endLayout();
    return out;
}

QStringList ThemeGrid::sourceLines(const QString &text, double width)
{
    return wrapped(text, sourceFont(), width, 2);
}

ThemeGrid::ThemeGrid(TavoModel *model, QWidget *parent)
    : QAbstractScrollArea(parent), m_model(model)
{
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setFocusPolicy(Qt::StrongFocus);
    kit::followKeyboardFocus(this);
    viewport()->setAutoFillBackground(false);
    viewport()->setMouseTracking(true);
    setAccessibleName(kit::tr(u"Motywy"_s));
    connect(model, &TavoModel::themesChanged, this, &ThemeGrid::themesChanged);
    connect(model, &TavoModel::themePreviewsChanged, this, &ThemeGrid::previewsChanged);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, viewport(), qOverload<>(&QWidget::update));
    themesChanged();

    // Screen readers are told each card and its details button.
    kit::RowsDescription cards;
    cards.area = viewport();
    cards.count = [this] { return count(); };
    cards.name = [this](int index) { return themeName(m_themes.at(index)); };
    cards.description = [this](int index) { return sourceLine(*m_model, m_themes.at(index)); };
    cards.rect = [this](int index) { return viewportRect(card(index).frame).toAlignedRect(); };
    cards.buttons = [this](int index) {
        return QList<kit::RowButton>{{kit::tr(detailsLabel), viewportRect(card(index).button).toAlignedRect(), true}};
    };
    cards.press = [this](int index, int) {
        setCurrent(index);
        open(index);
    };
    cards.current = [this] { return m_current; };
    kit::describeRows(this, std::move(cards));
}

int ThemeGrid::columnCount(double width)
{
    return std::max(1, int(std::floor((width + columnSpacing) / (minimumColumnWidth + columnSpacing))));
}

double ThemeGrid::columnWidth(double width)
{
    const int columns = columnCount(width);
    return std::max(minimumColumnWidth, (width - columnSpacing * (columns - 1)) / columns);
}

double ThemeGrid::nameHeight() const { return std::ceil(QFontMetricsF(nameFont()).height()); }
double ThemeGrid::sourceLineHeight() const { return std::ceil(QFontMetricsF(sourceFont()).height()); }
double ThemeGrid::buttonHeight() const { return std::ceil(QFontMetricsF(buttonFont()).height()) + 4; }

double ThemeGrid::cardHeight(double width) const
{
    return width * 3 / 4 + stackSpacing + nameHeight() + stackSpacing + 2 * sourceLineHeight() + stackSpacing
        + buttonHeight();
}

int ThemeGrid::count() const { return int(m_themes.size()); }

ThemeGrid::Card ThemeGrid::card(int index) const
{
    const double width = viewport()->width();
    const int columns = columnCount(width);
    const double column = columnWidth(width);
    const double height = cardHeight(column);
    const int row = index / columns;
    const double x = (index % columns) * (column + columnSpacing);
    const double y = row * (height + rowSpacing);
    Card card;
    card.frame = QRectF(x, y, column, height);
    card.picture = QRectF(x, y, column, column * 3 / 4);
    double top = card.picture.bottom() + stackSpacing;
    const QString name = m_themes.value(index).url.isEmpty() ? QString() : themeName(m_themes.at(index));
    const double nameWidth = std::min(column, std::ceil(QFontMetricsF(nameFont()).horizontalAdvance(name)) + 1);
    card.name = QRectF(x, top, nameWidth, nameHeight());
    top += nameHeight() + stackSpacing;
    card.source = QRectF(x, top, column, 2 * sourceLineHeight());
    top += 2 * sourceLineHeight() + stackSpacing;
    const double buttonWidth = std::ceil(QFontMetricsF(buttonFont()).horizontalAdvance(kit::tr(detailsLabel))) + 2;
    card.button = QRectF(x, top, std::min(column, buttonWidth), buttonHeight());
    return card;
}

double ThemeGrid::contentHeight() const
{
    if (m_themes.isEmpty())
        return 0;
    return card(count() - 1).frame.bottom();
}

QRectF ThemeGrid::viewportRect(const QRectF &contentRect) const
{
    return contentRect.translated(0, -verticalScrollBar()->value());
}

ThemeGrid::Hit ThemeGrid::hitTest(QPointF point) const
{
    const QPointF content = point + QPointF(0, verticalScrollBar()->value());
    for (int i = 0; i < count(); ++i) {
        const Card c = card(i);
        if (!c.frame.contains(content))
            continue;
        if (ThemeImage::fittedFrame(c.picture).contains(content))
            return {i, Part::picture};
        if (c.name.contains(content))
            return {i, Part::name};
        if (c.button.contains(content))
            return {i, Part::button};
        if (c.source.contains(content))
            return {i, Part::source};
        return {i, Part::none};
    }
    return {};
}

const ThemeImageLoader *ThemeGrid::loader(int index) const
{
    if (index < 0 || index >= count())
        return nullptr;
    return m_loaders.value(m_themes.at(index).url, nullptr);
}

QString ThemeGrid::themeName(const Theme &theme)
{
    return QFileInfo(theme.url).completeBaseName();
}

QString ThemeGrid::sourceLine(const TavoModel &model, const Theme &theme)
{
    const auto preview = model.themePreviews().constFind(theme.url);
    if (preview == model.themePreviews().constEnd())
        return kit::tr(u"Dodaj własny zrzut lub pobierz podgląd"_s);
    return kit::tr(preview->source);
}

std::optional<QUrl> ThemeGrid::pictureOf(const Theme &theme) const
{
    const auto preview = m_model->themePreviews().constFind(theme.url);
    if (preview == m_model->themePreviews().constEnd())
        return std::nullopt;
    return preview->playing;
}

ThemeImageLoader *ThemeGrid::loaderFor(int index)
{
    const Theme &theme = m_themes.at(index);
    ThemeImageLoader *&loader = m_loaders[theme.url];
    if (!loader) {
        loader = new ThemeImageLoader(this);
        connect(loader, &ThemeImageLoader::changed, viewport(), qOverload<>(&QWidget::update));
        loader->setUrl(pictureOf(theme));
    }
    return loader;
}

void ThemeGrid::themesChanged()
{
    m_themes = m_model->themes();
    QSet<QString> present;
    for (const Theme &theme : std::as_const(m_themes))
        present.insert(theme.url);
    for (auto it = m_loaders.begin(); it != m_loaders.end();) {
        if (present.contains(it.key())) {
            ++it;
        } else {
            delete it.value();
            it = m_loaders.erase(it);
        }
    }
    if (m_current >= count())
        m_current = count() - 1;
    m_hover = {};
    updateScrollBar();
    updateGeometry();
    viewport()->update();
}

void ThemeGrid::previewsChanged()
{
    // Cards already shown follow their new picture; the loader drops the old
    // one at once, so it never shows for the new address.
    for (const Theme &theme : std::as_const(m_themes)) {
        if (ThemeImageLoader *loader = m_loaders.value(theme.url, nullptr))
            loader->setUrl(pictureOf(theme));
    }
    viewport()->update();
}

void ThemeGrid::updateScrollBar()
{
    const int total = int(std::ceil(contentHeight()));
    verticalScrollBar()->setRange(0, std::max(0, total - viewport()->height()));
    verticalScrollBar()->setPageStep(viewport()->height());
    verticalScrollBar()->setSingleStep(24);
}

void ThemeGrid::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBar();
}

void ThemeGrid::paintEvent(QPaintEvent *)
{
    QPainter painter(viewport());
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const QPalette pal = palette();
    const double scroll = verticalScrollBar()->value();
    const QRectF visible(0, scroll, viewport()->width(), viewport()->height());
    for (int i = 0; i < count(); ++i) {
        const Card c = card(i);
        if (!c.frame.intersects(visible))
            continue;
        painter.save();
        painter.translate(0, -scroll);
        paintThemeImage(painter, c.picture, *loaderFor(i), pal);

        painter.setFont(nameFont());
        painter.setPen(kit::primaryText(pal));
        const QString name = themeName(m_themes.at(i));
        painter.drawText(c.name, Qt::AlignLeft | Qt::AlignVCenter,
                         QFontMetricsF(nameFont()).elidedText(name, Qt::ElideRight, c.name.width()));

        painter.setFont(sourceFont());
        painter.setPen(kit::secondaryText(pal));
        const QStringList lines = sourceLines(sourceLine(*m_model, m_themes.at(i)), c.source.width());
        for (int l = 0; l < lines.size(); ++l)
            painter.drawText(QRectF(c.source.left(), c.source.top() + l * sourceLineHeight(), c.source.width(),
                                    sourceLineHeight()),
                             Qt::AlignLeft | Qt::AlignVCenter, lines.at(l));

        painter.setFont(buttonFont());
        QColor link = kit::blue(pal);
        if (m_hover.index == i && m_hover.part == Part::button)
            link = link.darker(125);
        painter.setPen(link);
        painter.drawText(c.button, Qt::AlignLeft | Qt::AlignVCenter, kit::tr(detailsLabel));

        if (kit::showsKeyboardMark(this) && m_current == i) {
            QPen ring(kit::focusRing(pal), 2.5);
            painter.setPen(ring);
            painter.setBrush(Qt::NoBrush);
            painter.drawPath(continuousRoundedRect(ThemeImage::fittedFrame(c.picture).adjusted(-2, -2, 2, 2), 6));
        }
        painter.restore();
    }
}

void ThemeGrid::mouseMoveEvent(QMouseEvent *event)
{
    const Hit hit = hitTest(event->position());
    const bool clickable = hit.part == Part::picture || hit.part == Part::name || hit.part == Part::button;
    viewport()->setCursor(clickable ? Qt::PointingHandCursor : Qt::ArrowCursor);
    if (hit.index != m_hover.index || hit.part != m_hover.part) {
        m_hover = hit;
        viewport()->update();
    }
}

void ThemeGrid::leaveEvent(QEvent *event)
{
    m_hover = {};
    viewport()->update();
    QAbstractScrollArea::leaveEvent(event);
}

void ThemeGrid::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const Hit hit = hitTest(event->position());
    if (hit.part == Part::picture || hit.part == Part::name || hit.part == Part::button) {
        setCurrent(hit.index);
        open(hit.index);
    }
}

void ThemeGrid::keyPressEvent(QKeyEvent *event)
{
    if (count() == 0) {
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    const int columns = columnCount(viewport()->width());
    const int current = std::max(0, m_current);
    switch (event->key()) {
    case Qt::Key_Right: setCurrent(std::min(count() - 1, current + 1)); break;
    case Qt::Key_Left: setCurrent(std::max(0, current - 1)); break;
    case Qt::Key_Down: setCurrent(std::min(count() - 1, current + columns)); break;
    case Qt::Key_Up: setCurrent(std::max(0, current - columns)); break;
    case Qt::Key_Home: setCurrent(0); break;
    case Qt::Key_End: setCurrent(count() - 1); break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        setCurrent(current);
        open(current);
        break;
    default: QAbstractScrollArea::keyPressEvent(event); return;
    }
    event->accept();
}

void ThemeGrid::focusInEvent(QFocusEvent *event)
{
    if (m_current < 0 && count() > 0)
        m_current = 0;
    viewport()->update();
    QAbstractScrollArea::focusInEvent(event);
}

void ThemeGrid::focusOutEvent(QFocusEvent *event)
{
    viewport()->update();
    QAbstractScrollArea::focusOutEvent(event);
}

void ThemeGrid::setCurrent(int index)
{
    if (index != m_current)
        kit::announceCurrentRow(this, index);
    m_current = index;
    if (index >= 0 && index < count()) {
        const QRectF frame = card(index).frame;
        QScrollBar *bar = verticalScrollBar();
        if (frame.top() < bar->value())
            bar->setValue(int(frame.top()));
        else if (frame.bottom() > bar->value() + viewport()->height())
            bar->setValue(int(std::ceil(frame.bottom() - viewport()->height())));
    }
    viewport()->update();
}

void ThemeGrid::open(int index)
{
    if (index < 0 || index >= count())
        return;
    m_model->setOpenTheme(m_themes.at(index));
}
