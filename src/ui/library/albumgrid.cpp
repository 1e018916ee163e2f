#include "ui/library/albumgrid.h"

#include "model/tavomodel.h"
#include "platform/workspace.h"
#include "ui/kit/focusmarks.h"
#include "ui/kit/kit.h"
#include "ui/kit/paintedrows.h"
#include "ui/library/covercache.h"
#include "ui/library/covertile.h"
#include "ui/library/librarytexts.h"
#include "ui/library/rowpainting.h"

#include <QContextMenuEvent>
#include <QHash>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QToolTip>
#include <cmath>

using namespace Qt::StringLiterals;

namespace {

using library::caption2Font;
using library::captionFont;

// Text styles of the card beside the shared ones.
QFont titleFont() { return kit::font(14, QFont::DemiBold); }
QFont formatsFont() { return kit::font(9, QFont::DemiBold); }
constexpr double cardSpacing = 6;
constexpr double smallSymbol = 11;

double lineHeight(const QFont &font)
{
    return QFontMetricsF(font).height();
}

QString selectionText(TavoModel *model, const Album &album)
{
    const bool onDevice = model->libraryOnDevice();
    const bool selected = library::isSelected(album, onDevice ? model->selectedOnDevice() : model->queued());
    return library::selectionLabel(selected, onDevice);
}

// The selection toggle's clickable area on a card: its symbol and label.
QRectF toggleArea(const AlbumCardLayout &l, TavoModel *model, const Album &album)
{
    const QString label = kit::tr(selectionText(model, album));
    const double buttonWidth = smallSymbol + 5 + QFontMetricsF(captionFont()).horizontalAdvance(label);
    return QRectF(l.button.topLeft(), QSizeF(buttonWidth, l.button.height()));
}

} // namespace

// --- AlbumGridModel ---

AlbumGridModel::AlbumGridModel(TavoModel *model, QObject *parent) : QAbstractListModel(parent), m_model(model)
{
    // What every card shows of the selection, the side and busy.
    for (auto signal : {&TavoModel::queuedChanged, &TavoModel::selectedOnDeviceChanged,
                        &TavoModel::libraryOnDeviceChanged, &TavoModel::busyChanged})
        connect(model, signal, this, &AlbumGridModel::repaintAll);
}

void AlbumGridModel::refresh()
{
    QList<Album> albums = m_model->albums();
    if (albums.isSharedWith(m_albums) && albums.size() == m_albums.size())
        return;
    beginResetModel();
    m_albums = std::move(albums);
    m_cards.assign(size_t(m_albums.size()), std::nullopt);
    endResetModel();
}

void AlbumGridModel::repaintAll()
{
    if (!m_albums.isEmpty())
        emit dataChanged(index(0), index(int(m_albums.size()) - 1));
}

int AlbumGridModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_albums.size());
}

QVariant AlbumGridModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_albums.size())
        return QVariant();
    const Album &a = m_albums.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return a.title;
    case Qt::ToolTipRole:
        return kit::tr(u"Otwórz album i listę utworów"_s);
    case Qt::AccessibleTextRole:
        return QString(a.title + u", "_s + kit::artistName(a.artist));
    default:
        return QVariant();
    }
}

const AlbumGridModel::Card &AlbumGridModel::card(int row) const
{
    std::optional<Card> &slot = m_cards[size_t(row)];
    if (!slot) {
        const Album &a = m_albums.at(row);
        Card c;
        c.formats = library::formatsText(a);
        c.hiRes = library::isHiRes(a);
        c.discs = a.discs().size();
        c.coverKey = CoverCache::keyOf(a);
        c.coverSource = CoverCache::sourceOf(a);
        slot = std::move(c);
    }
    return *slot;
}

// --- AlbumCardLayout ---

AlbumCardLayout AlbumCardLayout::make(double width, bool discs)
{
    AlbumCardLayout l;
    l.cover = QRectF(0, 0, width, width);
    double y = width + cardSpacing;
    const auto next = [&](double height) {
        const QRectF r(0, y, width, height);
        y += height + cardSpacing;
        return r;
    };
    l.title = next(lineHeight(titleFont()));
    l.artist = next(lineHeight(captionFont()));
    l.formats = next(std::max(lineHeight(formatsFont()), lineHeight(caption2Font())));
    if (discs)
        l.discs = next(std::max(lineHeight(caption2Font()), smallSymbol));
    l.button = next(std::max(lineHeight(captionFont()), smallSymbol + 2));
    return l;
}

double AlbumCardLayout::height(double width)
{
    return std::ceil(make(width, true).button.bottom());
}

// --- AlbumCardDelegate ---

AlbumCardDelegate::AlbumCardDelegate(AlbumGridModel *cards, CoverCache *covers, QObject *parent)
    : QStyledItemDelegate(parent), m_cards(cards), m_covers(covers)
{
    m_tiles.setMaxCost(24 * 1024); // a few screens of tiles, beside the covers' own budget
}

const QPixmap *AlbumCardDelegate::tile(const QString &coverKey, const QImage &cover, int side, double dpr) const
{
    const QString key = (cover.isNull() ? QString() : coverKey) + u'|' + QString::number(side) + u'|'
                        + QString::number(dpr);
    if (const QPixmap *found = m_tiles.object(key))
        return found;
    auto *made = new QPixmap(library::tilePixmap(cover, side, dpr));
    const qint64 kib = qMax<qint64>(1, qint64(made->width()) * made->height() * 4 / 1024);
    m_tiles.insert(key, made, kib);
    return m_tiles.object(key);
}

QSize AlbumCardDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &) const
{
    const double width = option.rect.width() > 0 ? option.rect.width() : 170;
    return QSize(int(width), int(AlbumCardLayout::height(width)));
}

void AlbumCardDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const int row = index.row();
    const Album &album = m_cards->album(row);
    const AlbumGridModel::Card &card = m_cards->card(row);
    TavoModel *model = m_cards->tavo();
    const QPalette &palette = option.palette;
    const double dpr = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;

    AlbumCardLayout l = AlbumCardLayout::make(option.rect.width(), card.discs >= 2);
    painter->save();
    painter->translate(option.rect.topLeft());

    const CoverCache::Lookup cover = m_covers->cover(card.coverKey, card.coverSource, qCeil(l.cover.width() * dpr));
    const int side = int(l.cover.width());
    if (cover.state == CoverCache::State::pending && !cover.image.isNull()) {
        // The same cover at another size, drawn scaled until its own arrives.
        library::paintCover(*painter, l.cover, cover.image);
    } else if (const QPixmap *pixmap =
                   tile(card.coverKey, cover.state == CoverCache::State::ready ? cover.image : QImage(), side, dpr)) {
        painter->drawPixmap(QPointF(0, 0), *pixmap);
    } else {
        library::paintCover(*painter, l.cover, cover.image);
    }

    const auto text = [&](const QRectF &rect, const QFont &font, const QColor &color, const QString &s,
                          Qt::Alignment align = Qt::AlignLeft) {
        library::drawLine(*painter, rect, font, color, s, align);
    };

    text(l.title, titleFont(), kit::primaryText(palette), album.title);
    text(l.artist, captionFont(), kit::secondaryText(palette), kit::artistName(album.artist));

    // Formats, the Hi-Res badge right after them, the track count at the end.
    const QString count = kit::tr(QString::number(album.tracks.size()));
    const double countWidth = QFontMetricsF(caption2Font()).horizontalAdvance(count);
    text(l.formats, caption2Font(), kit::secondaryText(palette), count, Qt::AlignRight);
    const QString hiRes = kit::tr(u"Hi-Res"_s);
    const double hiResWidth = card.hiRes ? QFontMetricsF(formatsFont()).horizontalAdvance(hiRes) + 8 : 0;
    QRectF formats = l.formats.adjusted(0, 0, -(countWidth + 8 + hiResWidth), 0);
    const QString formatsText = QFontMetricsF(formatsFont()).elidedText(kit::tr(card.formats), Qt::ElideRight,
                                                                        formats.width());
    text(formats, formatsFont(), kit::primaryText(palette), formatsText);
    if (card.hiRes) {
        const double x = QFontMetricsF(formatsFont()).horizontalAdvance(formatsText) + 8;
        text(QRectF(x, l.formats.top(), hiResWidth, l.formats.height()), formatsFont(), kit::orange(palette), hiRes);
    }

    if (card.discs >= 2) {
        const QColor secondary = kit::secondaryText(palette);
        library::drawSymbolAtStart(*painter, kit::cachedSymbolPixmap(u"opticaldisc"_s, smallSymbol, secondary, dpr),
                                   l.discs);
        text(l.discs.adjusted(smallSymbol + 4, 0, 0, 0), caption2Font(), secondary,
             kit::tr(library::discBadge(card.discs)));
    }

    // The selection button, in the accent colour; greyed while the model is busy.
    const bool onDevice = model->libraryOnDevice();
    const bool selected = library::isSelected(album, onDevice ? model->selectedOnDevice() : model->queued());
    const QColor accent = library::toggleColor(palette, model->busy());
    library::drawSymbolAtStart(
        *painter, kit::cachedSymbolPixmap(library::selectionSymbol(selected), smallSymbol + 1, accent, dpr), l.button);
    text(l.button.adjusted(smallSymbol + 5, 0, 0, 0), captionFont(), accent,
         kit::tr(library::selectionLabel(selected, onDevice)));

    painter->restore();
}

bool AlbumCardDelegate::editorEvent(QEvent *event, QAbstractItemModel *, const QStyleOptionViewItem &option,
                                    const QModelIndex &index)
{
    if (event->type() != QEvent::MouseButtonRelease && event->type() != QEvent::MouseButtonPress)
        return false;
    auto *mouse = static_cast<QMouseEvent *>(event);
    if (mouse->button() != Qt::LeftButton || !index.isValid())
        return false;
    const int row = index.row();
    const AlbumGridModel::Card &card = m_cards->card(row);
    const AlbumCardLayout l = AlbumCardLayout::make(option.rect.width(), card.discs >= 2);
    const QPointF at = mouse->position() - QPointF(option.rect.topLeft());
    const Album &album = m_cards->album(row);
    TavoModel *model = m_cards->tavo();

    const bool onButton = toggleArea(l, model, album).contains(at);
    const bool onOpen = l.cover.contains(at) || l.title.contains(at);
    if (!onButton && !onOpen)
        return false;
    if (event->type() == QEvent::MouseButtonPress)
        return true; // the release acts
    if (onOpen) {
        model->setOpenAlbum(album);
    } else if (!model->busy()) {
        const Album copy = album; // the toggle may replace the list this refers to
        model->toggle(copy);
    }
    return true;
}

bool AlbumCardDelegate::helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                                  const QModelIndex &index)
{
    if (event->type() != QEvent::ToolTip || !index.isValid())
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    const AlbumCardLayout l = AlbumCardLayout::make(option.rect.width(), m_cards->card(index.row()).discs >= 2);
    if (l.cover.contains(QPointF(event->pos() - option.rect.topLeft()))) {
        QToolTip::showText(event->globalPos(), kit::tr(u"Otwórz album i listę utworów"_s), view);
        return true;
    }
    QToolTip::hideText();
    event->ignore();
    return true;
}

// --- AlbumGridView ---

AlbumGridView::AlbumGridView(TavoModel *model, CoverCache *covers, Workspace *workspace, QWidget *parent)
    : QAbstractItemView(parent), m_model(model), m_cards(new AlbumGridModel(model, this)),
      m_workspace(workspace ? workspace : &Workspace::system())
{
    setModel(m_cards);
    setItemDelegate(new AlbumCardDelegate(m_cards, covers, this));
    setSelectionMode(NoSelection);
    setEditTriggers(NoEditTriggers);
    setFrameShape(QFrame::NoFrame);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    viewport()->setAutoFillBackground(false);
    setAutoFillBackground(false);
    setMouseTracking(true);
    // A decoded cover shows at the next paint of the cards in view.
    connect(covers, &CoverCache::decoded, viewport(), qOverload<>(&QWidget::update));
    setFocusPolicy(Qt::StrongFocus);
    kit::followKeyboardFocus(this);
    describeCards();
}

void AlbumGridView::describeCards()
{
    kit::RowsDescription cards;
    cards.area = viewport();
    cards.count = [this] { return m_cards->rowCount(); };
    cards.name = [this](int row) {
        const Album &album = m_cards->album(row);
        return QString(album.title + u", "_s + kit::artistName(album.artist));
    };
    cards.description = [this](int row) {
        const AlbumGridModel::Card &card = m_cards->card(row);
        QString text = kit::tr(card.formats);
        if (card.hiRes)
            text += u", "_s + kit::tr(u"Hi-Res"_s);
        return text;
    };
    cards.rect = [this](int row) { return visualRect(m_cards->index(row)); };
    cards.buttons = [this](int row) {
        const Album &album = m_cards->album(row);
        return QList<kit::RowButton>{
            {kit::tr(u"Otwórz album"_s), openRect(row), true},
            {kit::tr(selectionText(m_model, album)), toggleRect(row), !m_model->busy()},
        };
    };
    cards.press = [this](int row, int button) {
        if (button == 0)
            openCard(row);
        else
            toggleCard(row);
    };
    cards.current = [this] { return currentIndex().row(); };
    kit::describeRows(this, std::move(cards));
}

QRect AlbumGridView::openRect(int row) const
{
    const QRect card = visualRect(m_cards->index(row));
    const AlbumCardLayout l = AlbumCardLayout::make(card.width(), m_cards->card(row).discs >= 2);
    return l.cover.united(l.title).translated(card.topLeft()).toAlignedRect();
}

QRect AlbumGridView::toggleRect(int row) const
{
    const QRect card = visualRect(m_cards->index(row));
    const AlbumCardLayout l = AlbumCardLayout::make(card.width(), m_cards->card(row).discs >= 2);
    return toggleArea(l, m_model, m_cards->album(row)).translated(card.topLeft()).toAlignedRect();
}

void AlbumGridView::openCard(int row)
{
    if (row >= 0 && row < m_cards->rowCount())
        m_model->setOpenAlbum(m_cards->album(row));
}

void AlbumGridView::toggleCard(int row)
{
    if (row < 0 || row >= m_cards->rowCount() || m_model->busy())
        return;
    const Album copy = m_cards->album(row); // the toggle may replace the list this refers to
    m_model->toggle(copy);
}

void AlbumGridView::keyPressEvent(QKeyEvent *event)
{
    const QModelIndex current = currentIndex();
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        openCard(current.row());
        event->accept();
        return;
    case Qt::Key_Space:
        toggleCard(current.row());
        event->accept();
        return;
    case Qt::Key_Menu:
        if (current.isValid())
            contextMenu(current.row())->popup(viewport()->mapToGlobal(openRect(current.row()).center()));
        event->accept();
        return;
    default:
        QAbstractItemView::keyPressEvent(event);
    }
}

void AlbumGridView::focusInEvent(QFocusEvent *event)
{
    // A click acts on its own card; the keyboard starts at the first one.
    if (event->reason() != Qt::MouseFocusReason && !currentIndex().isValid() && m_cards->rowCount() > 0)
        setCurrentIndex(m_cards->index(0));
    QAbstractItemView::focusInEvent(event);
    viewport()->update();
}

void AlbumGridView::focusOutEvent(QFocusEvent *event)
{
    QAbstractItemView::focusOutEvent(event);
    viewport()->update();
}

void AlbumGridView::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    QAbstractItemView::currentChanged(current, previous);
    viewport()->update();
    kit::announceCurrentRow(this, current.row());
}

void AlbumGridView::refresh()
{
    m_cards->refresh();
    updateGeometries();
    viewport()->update();
}

void AlbumGridView::setTileSize(double size)
{
    if (size == m_tileSize)
        return;
    m_tileSize = size;
    updateGeometries();
    viewport()->update();
}

double AlbumGridView::layoutWidth() const
{
    // The last column keeps clear of the scroll bar: a gap before it, and its
    // whole width where the style lays the bar over the content.
    const QScrollBar *bar = verticalScrollBar();
    double overlap = 0;
    if (bar->isVisible()) {
        const QRect barArea(bar->mapTo(this, QPoint(0, 0)), bar->size());
        const QRect viewArea(viewport()->mapTo(this, QPoint(0, 0)), viewport()->size());
        overlap = std::max(0, viewArea.right() - barArea.left() + 1);
    }
    return std::max(1.0, viewport()->width() - overlap - scrollBarGap);
}

int AlbumGridView::columnCount() const
{
    const double width = layoutWidth();
    return std::max(1, int(std::floor((width + columnSpacing) / (m_tileSize + columnSpacing))));
}

double AlbumGridView::columnWidth() const
{
    const int n = columnCount();
    const double width = (layoutWidth() - double(columnSpacing) * (n - 1)) / n;
    return std::floor(std::max(width, m_tileSize));
}

double AlbumGridView::rowHeight() const
{
    // Measured once per column width: every card's place asks for it, and a
    // change of all cards' state asks for the place of each of 2,000 cards.
    const double width = columnWidth();
    if (width != m_rowHeightWidth) {
        m_rowHeightWidth = width;
        m_rowHeight = AlbumCardLayout::height(width);
    }
    return m_rowHeight;
}

void AlbumGridView::changeEvent(QEvent *event)
{
    // The card's lines are measured in the desktop's font.
    if (event->type() == QEvent::FontChange || event->type() == QEvent::ApplicationFontChange)
        m_rowHeightWidth = -1;
    QAbstractItemView::changeEvent(event);
}

QRectF AlbumGridView::cardRect(int row) const
{
    const int n = columnCount();
    const double width = columnWidth();
    const int column = row % n;
    const int line = row / n;
    return QRectF(column * (width + columnSpacing), line * (rowHeight() + rowSpacing), width, rowHeight());
}

int AlbumGridView::verticalOffset() const
{
    return verticalScrollBar()->value();
}

QRect AlbumGridView::visualRect(const QModelIndex &index) const
{
    if (!index.isValid() || index.model() != m_cards)
        return QRect();
    return cardRect(index.row()).translated(0, -verticalOffset()).toAlignedRect();
}

QModelIndex AlbumGridView::indexAt(const QPoint &point) const
{
    const int n = columnCount();
    const double width = columnWidth() + columnSpacing;
    const double height = rowHeight() + rowSpacing;
    const double y = point.y() + verticalOffset();
    if (point.x() < 0 || y < 0)
        return QModelIndex();
    const int column = int(point.x() / width);
    const int line = int(y / height);
    if (column >= n)
        return QModelIndex();
    const int row = line * n + column;
    if (row >= m_cards->rowCount() || !cardRect(row).contains(QPointF(point.x(), y)))
        return QModelIndex();
    return m_cards->index(row);
}

void AlbumGridView::scrollTo(const QModelIndex &index, ScrollHint hint)
{
    if (!index.isValid())
        return;
    const QRectF card = cardRect(index.row());
    QScrollBar *bar = verticalScrollBar();
    const int top = int(card.top());
    const int bottom = int(std::ceil(card.bottom()));
    const int height = viewport()->height();
    if (hint == PositionAtTop || (hint == EnsureVisible && top < bar->value()))
        bar->setValue(top);
    else if (hint == PositionAtBottom || (hint == EnsureVisible && bottom > bar->value() + height))
        bar->setValue(bottom - height);
    else if (hint == PositionAtCenter)
        bar->setValue(top - (height - (bottom - top)) / 2);
}

QModelIndex AlbumGridView::moveCursor(CursorAction action, Qt::KeyboardModifiers)
{
    const int count = m_cards->rowCount();
    if (count == 0)
        return QModelIndex();
    const int n = columnCount();
    const int perPage = std::max(1, int(viewport()->height() / (rowHeight() + rowSpacing))) * n;
    int row = currentIndex().isValid() ? currentIndex().row() : 0;
    switch (action) {
    case MoveLeft: row -= 1; break;
    case MoveRight: row += 1; break;
    case MoveUp: row -= n; break;
    case MoveDown: row += n; break;
    case MovePageUp: row -= perPage; break;
    case MovePageDown: row += perPage; break;
    case MoveHome: row = 0; break;
    case MoveEnd: row = count - 1; break;
    default: break;
    }
    return m_cards->index(std::clamp(row, 0, count - 1));
}

void AlbumGridView::updateGeometries()
{
    const int count = m_cards->rowCount();
    const int n = columnCount();
    const int lines = (count + n - 1) / n;
    const double content = lines == 0 ? 0 : lines * rowHeight() + (lines - 1) * rowSpacing + bottomPadding;
    QScrollBar *bar = verticalScrollBar();
    bar->setRange(0, std::max(0, int(std::ceil(content)) - viewport()->height()));
    bar->setPageStep(viewport()->height());
    bar->setSingleStep(40);
    QAbstractItemView::updateGeometries();
}

void AlbumGridView::resizeEvent(QResizeEvent *event)
{
    QAbstractItemView::resizeEvent(event);
    updateGeometries();
}

void AlbumGridView::scrollContentsBy(int dx, int dy)
{
    viewport()->scroll(dx, dy);
}

void AlbumGridView::paintEvent(QPaintEvent *event)
{
    QPainter painter(viewport());
    const int count = m_cards->rowCount();
    m_lastPainted = 0;
    if (count == 0)
        return;
    const int n = columnCount();
    const double height = rowHeight() + rowSpacing;
    const QRect area = event->rect();
    const int offset = verticalOffset();
    const int first = std::max(0, int((area.top() + offset) / height));
    const int last = int((area.bottom() + offset) / height);

    QStyleOptionViewItem option;
    initViewItemOption(&option);
    for (int line = first; line <= last; ++line) {
        for (int column = 0; column < n; ++column) {
            const int row = line * n + column;
            if (row >= count)
                return;
            const QRect rect = cardRect(row).translated(0, -offset).toAlignedRect();
            if (!rect.intersects(area))
                continue;
            option.rect = QRect(rect.topLeft(), QSize(int(columnWidth()), rect.height()));
            itemDelegate()->paint(&painter, option, m_cards->index(row));
            ++m_lastPainted;
            if (kit::showsKeyboardMark(this) && row == currentIndex().row()) {
                // The keyboard's card: a ring around its cover, never a fill.
                painter.save();
                painter.setRenderHint(QPainter::Antialiasing);
                painter.setPen(QPen(kit::focusRing(palette()), 3));
                painter.setBrush(Qt::NoBrush);
                const double side = std::floor(columnWidth());
                painter.drawRoundedRect(QRectF(rect.topLeft(), QSizeF(side, side)).adjusted(1.5, 1.5, -1.5, -1.5), 6, 6);
                painter.restore();
            }
        }
    }
}

QMenu *AlbumGridView::contextMenu(int row)
{
    const Album album = m_cards->album(row);
    auto *menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    TavoModel *model = m_model;
    menu->addAction(kit::tr(u"Otwórz album"_s), model, [model, album] { model->setOpenAlbum(album); });
    QAction *cover = menu->addAction(kit::tr(u"Dodaj / zmień okładkę…"_s), model,
                                     [model, album] { model->chooseArtwork(album, false, std::nullopt); });
    cover->setEnabled(!model->busy());
    Workspace *workspace = m_workspace;
    menu->addAction(kit::tr(u"Pokaż pliki w menedżerze plików"_s), this, [workspace, album] {
        QStringList paths;
        for (const Track &track : album.tracks)
            paths.append(track.url);
        workspace->reveal(paths);
    });
    if (!model->libraryOnDevice()) {
        QAction *forget =
            menu->addAction(kit::tr(u"Usuń z biblioteki Vontaro"_s), model, [model, album] { model->forget(album); });
        forget->setEnabled(!model->busy());
    }
    return menu;
}

void AlbumGridView::contextMenuEvent(QContextMenuEvent *event)
{
    const QModelIndex index =
        event->reason() == QContextMenuEvent::Keyboard ? currentIndex() : indexAt(event->pos());
    if (!index.isValid())
        return;
    contextMenu(index.row())->popup(event->globalPos());
}
