#include "ui/album/disctracklist.h"

#include "media/albumgrouping.h"
#include "media/audioinfo.h"
#include "model/tavomodel.h"
#include "platform/workspace.h"
#include "ui/kit/focusmarks.h"
#include "ui/kit/kit.h"
#include "ui/kit/paintedrows.h"
#include "ui/kit/playbutton.h"
#include "ui/library/librarytexts.h"

#include <QContextMenuEvent>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QToolTip>

using namespace Qt::StringLiterals;

namespace {

// Text sizes and spacings of the rows, in logical pixels.
constexpr double rowFontSize = 12;
constexpr int rowPadding = 5;      // above and below a track row
constexpr int spacing = 8;         // between the items of a row
constexpr int groupIndent = 20;    // tracks inside an open disc group
constexpr int itemGap = 18;        // between a group and its divider
constexpr int playWidth = PlayButton::width;
constexpr int numberWidth = 25;
constexpr int codecWidth = 45;
constexpr int toggleWidth = 18;
constexpr int symbolSize = 13;

// One internal id per row: 0 for rows at the top, disc position + 1 for the
// tracks inside a disc group.
quintptr topLevel() { return 0; }

int trackRowHeight()
{
    return QFontMetrics(kit::font(rowFontSize)).height() + 2 * rowPadding;
}

int discRowHeight()
{
    return QFontMetrics(kit::font(kit::size::headline, QFont::DemiBold)).height() + 12;
}

void drawSymbol(QPainter &painter, const QRect &frame, const QString &symbol, const QColor &color, double size)
{
    const double dpr = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const QPixmap pixmap = kit::symbolPixmap(symbol, size, color, dpr);
    if (pixmap.isNull())
        return;
    const QSizeF logical = QSizeF(pixmap.size()) / pixmap.devicePixelRatio();
    const QPointF topLeft(frame.center().x() + 0.5 - logical.width() / 2, frame.center().y() + 0.5 - logical.height() / 2);
    painter.drawPixmap(topLeft, pixmap);
}

class RowDelegate : public QStyledItemDelegate
{
public:
    explicit RowDelegate(DiscTrackListView *view)
        : QStyledItemDelegate(view)
        , m_view(view)
    {
    }

    QSize sizeHint(const QStyleOptionViewItem &, const QModelIndex &index) const override
    {
        switch (m_view->trackModel()->kind(index)) {
        case DiscTrackModel::Kind::disc: return {200, discRowHeight()};
        case DiscTrackModel::Kind::divider: return {200, 2 * itemGap + 1};
        case DiscTrackModel::Kind::track: return {200, trackRowHeight()};
        }
        return {200, trackRowHeight()};
    }

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        const DiscTrackModel *rows = m_view->trackModel();
        const QPalette &palette = m_view->palette();
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        // The keyboard's row: a faint tint across it, never a selection's fill.
        if (kit::showsKeyboardMark(m_view) && m_view->currentIndex() == index) {
            QColor tint = kit::blue(palette);
            tint.setAlphaF(0.08f);
            painter->fillRect(option.rect, tint);
        }
        switch (rows->kind(index)) {
        case DiscTrackModel::Kind::divider: {
            const int y = option.rect.top() + itemGap;
            painter->fillRect(QRect(option.rect.left(), y, option.rect.width(), 1), kit::separator(palette));
            break;
        }
        case DiscTrackModel::Kind::disc: paintDisc(*painter, option.rect, index, palette); break;
        case DiscTrackModel::Kind::track: paintTrack(*painter, index, palette); break;
        }
        painter->restore();
    }

private:
    void paintDisc(QPainter &painter, const QRect &rect, const QModelIndex &index, const QPalette &palette) const
    {
        const AlbumDisc *disc = m_view->trackModel()->disc(index);
        if (!disc)
            return;
        const bool open = m_view->isExpanded(index);
        QRect chevron(rect.left(), rect.top(), 14, rect.height());
        drawSymbol(painter, chevron, open ? u"chevron.down"_s : u"chevron.right"_s, kit::secondaryText(palette), 10);
        QRect icon(chevron.right() + 1 + 6, rect.top(), 18, rect.height());
        drawSymbol(painter, icon, u"opticaldisc"_s, kit::blue(palette), 14);
        const QFont font = kit::font(kit::size::headline, QFont::DemiBold);
        painter.setFont(font);
        painter.setPen(kit::primaryText(palette));
        QRect text(icon.right() + 1 + 6, rect.top(), rect.right() - icon.right() - 6, rect.height());
        const QString heading = kit::tr(DiscTrackModel::heading(*disc));
        painter.drawText(text, Qt::AlignLeft | Qt::AlignVCenter,
                         QFontMetrics(font).elidedText(heading, Qt::ElideRight, text.width()));
    }

    void paintTrack(QPainter &painter, const QModelIndex &index, const QPalette &palette) const
    {
        const Track *track = m_view->trackModel()->track(index);
        if (!track)
            return;
        const DiscTrackListView::RowGeometry g = m_view->trackGeometry(index);
        const QFont font = kit::font(rowFontSize);
        const QFontMetrics metrics(font);
        const bool busy = m_view->model()->busy();

        PlayButton::paintSymbol(painter, g.play, m_view->isPlaying(track->id), palette);

        painter.setFont(font);
        painter.setPen(kit::secondaryText(palette));
        painter.drawText(g.number, Qt::AlignCenter, kit::tr(DiscTrackModel::numberText(track->info.trackNumber)));

        painter.setPen(kit::primaryText(palette));
        painter.drawText(g.title, Qt::AlignLeft | Qt::AlignVCenter,
                         metrics.elidedText(track->title, Qt::ElideRight, g.title.width()));

        painter.setPen(kit::secondaryText(palette));
        painter.drawText(g.duration, Qt::AlignRight | Qt::AlignVCenter, kit::tr(durationLabel(track->info.duration)));

        const QFont small = kit::font(kit::size::caption2);
        painter.setFont(small);
        painter.setPen(kit::primaryText(palette));
        painter.drawText(g.codec, Qt::AlignCenter,
                         QFontMetrics(small).elidedText(kit::tr(track->info.codec), Qt::ElideRight, g.codec.width()));

        const bool marked = m_view->isMarked(track->id);
        const QColor tint = busy ? kit::tertiaryText(palette) : kit::blue(palette);
        drawSymbol(painter, g.toggle, marked ? u"checkmark.circle.fill"_s : u"plus.circle"_s, tint, symbolSize + 2);
    }

    DiscTrackListView *m_view;
};

} // namespace

// ---------------------------------------------------------------------------

DiscTrackModel::DiscTrackModel(QObject *parent)
    : QAbstractItemModel(parent)
{
}

void DiscTrackModel::setAlbum(const Album &album, bool byDisc)
{
    beginResetModel();
    m_album = album;
    m_byDisc = byDisc;
    m_discs = byDisc ? album.discs() : QList<AlbumDisc>();
    endResetModel();
}

DiscTrackModel::Kind DiscTrackModel::kind(const QModelIndex &index) const
{
    if (!m_byDisc || index.internalId() != topLevel())
        return Kind::track;
    return index.row() % 2 == 0 ? Kind::disc : Kind::divider;
}

const Track *DiscTrackModel::track(const QModelIndex &index) const
{
    if (!index.isValid() || index.model() != this || kind(index) != Kind::track)
        return nullptr;
    if (!m_byDisc)
        return index.row() < m_album.tracks.size() ? &m_album.tracks[index.row()] : nullptr;
    const qsizetype disc = qsizetype(index.internalId()) - 1;
    if (disc < 0 || disc >= m_discs.size() || index.row() >= m_discs[disc].tracks.size())
        return nullptr;
    return &m_discs[disc].tracks[index.row()];
}

const AlbumDisc *DiscTrackModel::disc(const QModelIndex &index) const
{
    if (!index.isValid() || index.model() != this || kind(index) != Kind::disc)
        return nullptr;
    const qsizetype position = index.row() / 2;
    return position < m_discs.size() ? &m_discs[position] : nullptr;
}

QModelIndex DiscTrackModel::indexOf(const QUuid &id) const
{
    if (!m_byDisc) {
        for (int row = 0; row < m_album.tracks.size(); ++row) {
            if (m_album.tracks[row].id == id)
                return createIndex(row, 0, topLevel());
        }
        return {};
    }
    for (int d = 0; d < m_discs.size(); ++d) {
        const QList<Track> &tracks = m_discs[d].tracks;
        for (int row = 0; row < tracks.size(); ++row) {
            if (tracks[row].id == id)
                return createIndex(row, 0, quintptr(d + 1));
        }
    }
    return {};
}

QString DiscTrackModel::heading(const AlbumDisc &disc)
{
    double seconds = 0;
    for (const Track &track : disc.tracks)
        seconds += track.info.duration;
    return u"CD "_s + QString::number(disc.number) + u" · Utwory: "_s + QString::number(disc.tracks.size()) +
           u" · "_s + durationLabel(seconds);
}

QString DiscTrackModel::numberText(qint64 number)
{
    if (number < 1)
        return u"—"_s;
    return number < 10 ? u"0"_s + QString::number(number) : QString::number(number);
}

void DiscTrackModel::touch(const QSet<QUuid> &ids)
{
    for (const QUuid &id : ids) {
        const QModelIndex row = indexOf(id);
        if (row.isValid())
            emit dataChanged(row, row);
    }
}

QModelIndex DiscTrackModel::index(int row, int column, const QModelIndex &parent) const
{
    if (row < 0 || column != 0 || row >= rowCount(parent))
        return {};
    if (!parent.isValid())
        return createIndex(row, column, topLevel());
    return createIndex(row, column, quintptr(parent.row() / 2 + 1));
}

QModelIndex DiscTrackModel::parent(const QModelIndex &child) const
{
    if (!child.isValid() || child.internalId() == topLevel())
        return {};
    return createIndex(int(child.internalId() - 1) * 2, 0, topLevel());
}

int DiscTrackModel::rowCount(const QModelIndex &parent) const
{
    if (!parent.isValid())
        return int(m_byDisc ? m_discs.size() * 2 : m_album.tracks.size());
    if (parent.column() != 0 || kind(parent) != Kind::disc)
        return 0;
    const AlbumDisc *d = disc(parent);
    return d ? int(d->tracks.size()) : 0;
}

int DiscTrackModel::columnCount(const QModelIndex &) const
{
    return 1;
}

QVariant DiscTrackModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole && role != Qt::AccessibleTextRole)
        return {};
    if (const AlbumDisc *d = disc(index))
        return kit::tr(heading(*d));
    if (const Track *t = track(index))
        return t->title;
    return {};
}

Qt::ItemFlags DiscTrackModel::flags(const QModelIndex &index) const
{
    // The keyboard passes over dividers.
    if (!index.isValid() || kind(index) == Kind::divider)
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled;
}

// ---------------------------------------------------------------------------

DiscTrackListView::DiscTrackListView(TavoModel *model, std::optional<bool> onDeviceOverride, QWidget *parent,
                                     Workspace *workspace)
    : QTreeView(parent)
    , m_model(model)
    , m_workspace(workspace ? workspace : &Workspace::system())
    , m_onDeviceOverride(onDeviceOverride)
    , m_rows(new DiscTrackModel(this))
{
    setModel(m_rows);
    setItemDelegate(new RowDelegate(this));
    setHeaderHidden(true);
    setRootIsDecorated(false);
    setIndentation(0);
    setItemsExpandable(true);
    setExpandsOnDoubleClick(false);
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setFocusPolicy(Qt::StrongFocus);
    kit::followKeyboardFocus(this);
    setUniformRowHeights(false);
    setMouseTracking(true);
    setFrameShape(QFrame::NoFrame);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setViewportMargins(10, 10, 10, 10);
    viewport()->setAutoFillBackground(false);
    setStyleSheet(u"QTreeView { background: transparent; }"_s);

    connect(m_model, &TavoModel::queuedChanged, this, &DiscTrackListView::selectionChanged);
    connect(m_model, &TavoModel::selectedOnDeviceChanged, this, &DiscTrackListView::selectionChanged);
    connect(m_model, &TavoModel::libraryOnDeviceChanged, this, &DiscTrackListView::selectionChanged);
    // Every toggle looks different while the model is busy.
    connect(m_model, &TavoModel::busyChanged, viewport(), qOverload<>(&QWidget::update));
    if (Playback *player = m_model->playback())
        connect(player, &Playback::changed, this, &DiscTrackListView::playbackChanged);
    describeRows();
}

QList<QModelIndex> DiscTrackListView::reachableRows() const
{
    QList<QModelIndex> rows;
    for (int row = 0; row < m_rows->rowCount(); ++row) {
        const QModelIndex index = m_rows->index(row, 0);
        if (m_rows->kind(index) == DiscTrackModel::Kind::divider)
            continue;
        rows << index;
        if (m_rows->kind(index) == DiscTrackModel::Kind::disc && isExpanded(index)) {
            for (int child = 0; child < m_rows->rowCount(index); ++child)
                rows << m_rows->index(child, 0, index);
        }
    }
    return rows;
}

void DiscTrackListView::describeRows()
{
    const auto at = [this](int row) {
        const QList<QModelIndex> rows = reachableRows();
        return row >= 0 && row < rows.size() ? rows.at(row) : QModelIndex();
    };
    kit::RowsDescription rows;
    rows.area = viewport();
    rows.listRole = QAccessible::Tree;
    rows.rowRole = QAccessible::TreeItem;
    rows.count = [this] { return int(reachableRows().size()); };
    rows.name = [this, at](int row) {
        const QModelIndex index = at(row);
        if (const AlbumDisc *disc = m_rows->disc(index))
            return kit::tr(DiscTrackModel::heading(*disc));
        const Track *track = m_rows->track(index);
        return track ? library::firstLine(*track) : QString();
    };
    rows.description = [this, at](int row) {
        const Track *track = m_rows->track(at(row));
        if (!track)
            return QString();
        return QStringList{kit::tr(durationLabel(track->info.duration)), kit::tr(track->info.codec)}.join(u", "_s);
    };
    rows.rect = [this, at](int row) { return visualRect(at(row)); };
    rows.expanded = [this, at](int row) -> std::optional<bool> {
        const QModelIndex index = at(row);
        if (m_rows->kind(index) != DiscTrackModel::Kind::disc || !index.isValid())
            return std::nullopt;
        return isExpanded(index);
    };
    rows.buttons = [this, at](int row) {
        const QModelIndex index = at(row);
        if (!m_rows->track(index))
            return QList<kit::RowButton>();
        const RowGeometry g = trackGeometry(index);
        return QList<kit::RowButton>{
            {PlayButton::helpText(), g.play, true},
            {kit::tr(library::trackToggleTip(onDevice())), g.toggle, !m_model->busy()},
        };
    };
    rows.press = [this, at](int row, int button) {
        const Track *found = m_rows->track(at(row));
        if (!found)
            return;
        const Track track = *found;
        if (button == 0)
            play(track);
        else
            toggle(track);
    };
    rows.current = [this] { return int(reachableRows().indexOf(currentIndex())); };
    kit::describeRows(this, std::move(rows));
}

void DiscTrackListView::play(const Track &track)
{
    // Listening goes on through the rest of the album, past this disc.
    if (Playback *player = m_model->playback())
        player->play(track, m_rows->album().tracks);
}

void DiscTrackListView::toggle(const Track &track)
{
    if (!m_model->busy())
        m_model->toggleTrack(track, onDevice());
}

QMenu *DiscTrackListView::contextMenu(const QModelIndex &index)
{
    const Track *found = m_rows->track(index);
    if (!found)
        return nullptr;
    const Track track = *found;
    auto *menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addAction(PlayButton::helpText(), this, [this, track] { play(track); });
    QAction *choose = menu->addAction(kit::tr(library::trackToggleTip(onDevice())), this, [this, track] { toggle(track); });
    choose->setEnabled(!m_model->busy());
    menu->addSeparator();
    Workspace *workspace = m_workspace;
    menu->addAction(kit::tr(u"Pokaż w menedżerze plików"_s), this, [workspace, track] { workspace->reveal({track.url}); });
    return menu;
}

void DiscTrackListView::keyPressEvent(QKeyEvent *event)
{
    const QModelIndex current = currentIndex();
    const DiscTrackModel::Kind kind = current.isValid() ? m_rows->kind(current) : DiscTrackModel::Kind::divider;
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        if (kind == DiscTrackModel::Kind::disc) {
            setExpanded(current, !isExpanded(current));
        } else if (const Track *found = m_rows->track(current)) {
            const Track track = *found; // the call below may change the model
            if (event->key() == Qt::Key_Space)
                toggle(track);
            else
                play(track);
        }
        event->accept();
        return;
    case Qt::Key_Menu:
        if (QMenu *menu = contextMenu(current))
            menu->popup(viewport()->mapToGlobal(visualRect(current).center()));
        event->accept();
        return;
    default: QTreeView::keyPressEvent(event);
    }
}

void DiscTrackListView::contextMenuEvent(QContextMenuEvent *event)
{
    // From the keyboard the menu is the current row's; from the mouse, the row under it.
    const QModelIndex index = event->reason() == QContextMenuEvent::Mouse ? indexAt(event->pos()) : currentIndex();
    if (QMenu *menu = contextMenu(index)) {
        const QPoint at = event->reason() == QContextMenuEvent::Mouse ? event->pos() : visualRect(index).center();
        menu->popup(viewport()->mapToGlobal(at));
    }
    event->accept();
}

void DiscTrackListView::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    QTreeView::currentChanged(current, previous);
    kit::announceCurrentRow(this, int(reachableRows().indexOf(current)));
}

void DiscTrackListView::setAlbum(const Album &album, bool byDisc)
{
    QSet<qint64> open;
    if (m_rows->byDisc()) {
        for (int row = 0; row < m_rows->rowCount(); row += 2) {
            const QModelIndex heading = m_rows->index(row, 0);
            if (isExpanded(heading))
                if (const AlbumDisc *disc = m_rows->disc(heading))
                    open.insert(disc->number);
        }
    }
    m_rows->setAlbum(album, byDisc);
    if (byDisc) {
        for (int row = 0; row < m_rows->rowCount(); row += 2) {
            const QModelIndex heading = m_rows->index(row, 0);
            if (const AlbumDisc *disc = m_rows->disc(heading); disc && open.contains(disc->number))
                setExpanded(heading, true);
        }
    }
    m_marked = markedIds();
    const std::optional<Track> &current = m_model->playback() ? m_model->playback()->current() : std::nullopt;
    m_playingId = current && m_model->playback()->playing() ? std::optional<QUuid>(current->id) : std::nullopt;
}

bool DiscTrackListView::onDevice() const
{
    return m_onDeviceOverride.value_or(m_model->libraryOnDevice());
}

bool DiscTrackListView::isMarked(const QUuid &id) const
{
    return (onDevice() ? m_model->selectedOnDevice() : m_model->queued()).contains(id);
}

bool DiscTrackListView::isPlaying(const QUuid &id) const
{
    const Playback *player = m_model->playback();
    return player && player->playing() && player->current() && player->current()->id == id;
}

QSet<QUuid> DiscTrackListView::markedIds() const
{
    QSet<QUuid> marked;
    for (const Track &track : m_rows->album().tracks)
        if (isMarked(track.id))
            marked.insert(track.id);
    return marked;
}

void DiscTrackListView::selectionChanged()
{
    // Only the rows whose mark changed are drawn again.
    const QSet<QUuid> now = markedIds();
    QSet<QUuid> changed = now;
    changed.unite(m_marked);
    changed.subtract(QSet<QUuid>(now).intersect(m_marked));
    m_marked = now;
    m_rows->touch(changed);
}

void DiscTrackListView::playbackChanged()
{
    const Playback *player = m_model->playback();
    const std::optional<QUuid> now =
        player && player->playing() && player->current() ? std::optional<QUuid>(player->current()->id) : std::nullopt;
    if (now == m_playingId)
        return;
    QSet<QUuid> changed;
    if (m_playingId)
        changed.insert(*m_playingId);
    if (now)
        changed.insert(*now);
    m_playingId = now;
    m_rows->touch(changed);
}

DiscTrackListView::RowGeometry DiscTrackListView::trackGeometry(const QModelIndex &index) const
{
    RowGeometry g;
    const QRect rect = visualRect(index);
    if (!rect.isValid())
        return g;
    const int indent = m_rows->byDisc() ? groupIndent : 0;
    int left = rect.left() + indent;
    g.play = QRect(left, rect.top(), playWidth, rect.height());
    left = g.play.right() + 1 + spacing;
    g.number = QRect(left, rect.top(), numberWidth, rect.height());
    left = g.number.right() + 1 + spacing;

    int right = rect.right();
    g.toggle = QRect(right - toggleWidth + 1, rect.top(), toggleWidth, rect.height());
    right = g.toggle.left() - spacing;
    g.codec = QRect(right - codecWidth + 1, rect.top(), codecWidth, rect.height());
    right = g.codec.left() - spacing;
    const Track *track = m_rows->track(index);
    const int durationWidth =
        QFontMetrics(kit::font(rowFontSize)).horizontalAdvance(kit::tr(durationLabel(track ? track->info.duration : 0)));
    g.duration = QRect(right - durationWidth + 1, rect.top(), durationWidth, rect.height());
    right = g.duration.left() - spacing;
    g.title = QRect(left, rect.top(), qMax(0, right - left), rect.height());
    return g;
}

QRect DiscTrackListView::discRect(const QModelIndex &index) const
{
    return visualRect(index);
}

void DiscTrackListView::mousePressEvent(QMouseEvent *event)
{
    // Rows are not selectable; clicks act on release, like buttons.
    event->accept();
}

void DiscTrackListView::mouseDoubleClickEvent(QMouseEvent *event)
{
    event->accept();
}

void DiscTrackListView::mouseReleaseEvent(QMouseEvent *event)
{
    event->accept();
    if (event->button() != Qt::LeftButton)
        return;
    const QPoint at = event->position().toPoint();
    const QModelIndex index = indexAt(at);
    if (!index.isValid())
        return;
    switch (m_rows->kind(index)) {
    case DiscTrackModel::Kind::divider: return;
    case DiscTrackModel::Kind::disc: setExpanded(index, !isExpanded(index)); return;
    case DiscTrackModel::Kind::track: break;
    }
    const Track *found = m_rows->track(index);
    if (!found)
        return;
    const Track track = *found; // the call below may change the model
    const RowGeometry g = trackGeometry(index);
    if (g.play.contains(at))
        play(track);
    else if (g.toggle.contains(at))
        toggle(track);
}

bool DiscTrackListView::viewportEvent(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        auto *help = static_cast<QHelpEvent *>(event);
        const QModelIndex index = indexAt(help->pos());
        if (index.isValid() && m_rows->kind(index) == DiscTrackModel::Kind::track &&
            trackGeometry(index).play.contains(help->pos())) {
            QToolTip::showText(help->globalPos(), PlayButton::helpText(), viewport());
        } else {
            QToolTip::hideText();
            event->ignore();
        }
        return true;
    }
    return QTreeView::viewportEvent(event);
}
