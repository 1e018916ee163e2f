#include "ui/library/tracklist.h"

#include "model/playback.h"
#include "model/tavomodel.h"
#include "platform/workspace.h"
#include "ui/kit/focusmarks.h"
#include "ui/kit/kit.h"
#include "ui/kit/paintedrows.h"
#include "ui/kit/playbutton.h"
#include "ui/library/librarytexts.h"
#include "ui/library/rowpainting.h"

#include <QHeaderView>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>
#include <QTreeView>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

constexpr int sidePadding = 10;
// Fixed columns: their width plus the row's spacing of 10 before them.
constexpr int timeWidth = 44;
constexpr int formatWidth = 45;
constexpr int parametersWidth = 140;
constexpr int choiceWidth = 42;
constexpr int spacing = 10;

using library::caption2Font;
using library::captionFont;

QFont bodyFont() { return kit::font(kit::size::body); }

// Digits of equal width, so durations line up (the interface font's digits are tabular).
QFont digitsFont()
{
    return captionFont();
}

bool isPlaying(TavoModel *model, const Track &track)
{
    const Playback *player = model->playback();
    return player && PlayButton::playsRow(*player, track);
}

} // namespace

// --- TrackListModel ---

TrackListModel::TrackListModel(TavoModel *model, QObject *parent) : QAbstractTableModel(parent), m_model(model)
{
    connect(model, &TavoModel::queuedChanged, this, &TrackListModel::selectionChanged);
    connect(model, &TavoModel::selectedOnDeviceChanged, this, &TrackListModel::selectionChanged);
    connect(model, &TavoModel::libraryOnDeviceChanged, this, &TrackListModel::selectionChanged);
    connect(model, &TavoModel::busyChanged, this, [this] { repaintColumn(choice); });
    if (model->playback())
        connect(model->playback(), &Playback::changed, this, &TrackListModel::playbackChanged);
    m_shownOnDevice = model->libraryOnDevice();
    m_shownSelection = m_shownOnDevice ? model->selectedOnDevice() : model->queued();
}

void TrackListModel::setTracks(const QList<Track> &tracks)
{
    if (tracks.isSharedWith(m_tracks) && tracks.size() == m_tracks.size())
        return;
    beginResetModel();
    m_tracks = tracks;
    m_rows.clear();
    m_rows.reserve(m_tracks.size());
    for (int row = 0; row < m_tracks.size(); ++row) {
        if (!m_rows.contains(m_tracks.at(row).id))
            m_rows.insert(m_tracks.at(row).id, row);
    }
    endResetModel();
}

int TrackListModel::rowOf(const QUuid &id) const
{
    return m_rows.value(id, -1);
}

int TrackListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_tracks.size());
}

int TrackListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : columnCount_;
}

bool TrackListModel::onDevice() const
{
    return m_sideOverride.value_or(m_model->libraryOnDevice());
}

void TrackListModel::setSideOverride(std::optional<bool> onDevice)
{
    m_sideOverride = onDevice;
    selectionChanged();
}

bool TrackListModel::isChosen(int row) const
{
    const QUuid &id = m_tracks.at(row).id;
    return (onDevice() ? m_model->selectedOnDevice() : m_model->queued()).contains(id);
}

QVariant TrackListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_tracks.size())
        return QVariant();
    const Track &t = m_tracks.at(index.row());
    if (role == Qt::DisplayRole) {
        switch (index.column()) {
        case title: return library::firstLine(t);
        case time: return kit::tr(durationLabel(t.info.duration));
        case format: return kit::tr(t.info.codec);
        case parameters: return kit::tr(t.info.parameters());
        case choice: return QString();
        }
    }
    if (role == Qt::ToolTipRole && index.column() == choice)
        return kit::tr(library::trackToggleTip(onDevice()));
    return QVariant();
}

QVariant TrackListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal)
        return QVariant();
    if (role == Qt::DisplayRole) {
        switch (section) {
        case title: return kit::tr(u"Utwór"_s);
        case time: return kit::tr(u"Czas"_s);
        case format: return kit::tr(u"Format"_s);
        case parameters: return kit::tr(u"Parametry"_s);
        case choice: return kit::tr(u"Wybór"_s);
        }
    }
    if (role == Qt::TextAlignmentRole)
        return int(section == title ? Qt::AlignLeft | Qt::AlignVCenter : Qt::AlignCenter);
    return QVariant();
}

void TrackListModel::repaintColumn(int column)
{
    if (!m_tracks.isEmpty())
        emit dataChanged(index(0, column), index(int(m_tracks.size()) - 1, column));
}

void TrackListModel::repaintRows(const QSet<QUuid> &ids, int firstColumn, int lastColumn)
{
    for (const QUuid &id : ids) {
        const int row = rowOf(id);
        if (row >= 0)
            emit dataChanged(index(row, firstColumn), index(row, lastColumn));
    }
}

void TrackListModel::selectionChanged()
{
    const bool side = onDevice();
    const QSet<QUuid> &now = side ? m_model->selectedOnDevice() : m_model->queued();
    if (side != m_shownOnDevice) {
        // Another set and other tooltips: every toggle changes.
        m_shownOnDevice = side;
        m_shownSelection = now;
        repaintColumn(choice);
        return;
    }
    // Only the ids that entered or left the set.
    QSet<QUuid> changed;
    for (const QUuid &id : now) {
        if (!m_shownSelection.contains(id))
            changed.insert(id);
    }
    for (const QUuid &id : std::as_const(m_shownSelection)) {
        if (!now.contains(id))
            changed.insert(id);
    }
    m_shownSelection = now;
    repaintRows(changed, choice, choice);
}

void TrackListModel::playbackChanged()
{
    std::optional<QUuid> playing;
    const Playback *player = m_model->playback();
    if (player->playing() && player->current())
        playing = player->current()->id;
    if (playing == m_shownPlaying)
        return;
    QSet<QUuid> changed;
    if (m_shownPlaying)
        changed.insert(*m_shownPlaying);
    if (playing)
        changed.insert(*playing);
    m_shownPlaying = playing;
    repaintRows(changed, title, title);
}

// --- TrackRowDelegate ---

static_assert(TrackRowDelegate::playWidth == PlayButton::width);

TrackRowDelegate::TrackRowDelegate(TrackListModel *rows, QObject *parent) : QStyledItemDelegate(parent), m_rows(rows)
{
}

QSize TrackRowDelegate::sizeHint(const QStyleOptionViewItem &, const QModelIndex &index) const
{
    static const int widths[] = {200, timeWidth, formatWidth, parametersWidth, choiceWidth};
    return QSize(widths[index.column()] + spacing, rowHeight);
}

QRectF TrackRowDelegate::playRect(const QRect &cell)
{
    return QRectF(cell.left() + sidePadding, cell.top(), playWidth, cell.height());
}

void TrackRowDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const int row = index.row();
    const Track &track = m_rows->track(row);
    TavoModel *model = m_rows->tavo();
    const QPalette &palette = option.palette;
    const double dpr = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
    const QRect cell = option.rect;
    // Fixed columns carry the row's spacing on their leading side.
    const QRectF content = index.column() == TrackListModel::title
                               ? QRectF(cell)
                               : QRectF(cell).adjusted(spacing, 0, 0, 0);

    painter->save();
    // The keyboard's row: a faint tint across it, never the selection's fill.
    if (const auto *view = qobject_cast<const QAbstractItemView *>(parent());
        view && kit::showsKeyboardMark(view) && view->currentIndex().row() == row) {
        QColor tint = kit::blue(palette);
        tint.setAlphaF(0.08f);
        painter->fillRect(cell, tint);
    }
    const auto text = [&](const QRectF &rect, const QFont &font, const QColor &color, const QString &s,
                          Qt::Alignment align) { library::drawLine(*painter, rect, font, color, s, align); };

    switch (index.column()) {
    case TrackListModel::title: {
        // The row's play button, drawn as the kit's PlayButton draws itself.
        PlayButton::paintSymbol(*painter, playRect(cell).toAlignedRect(), isPlaying(model, track), palette);
        const QRectF names(cell.left() + sidePadding + playWidth + spacing, cell.top() + 5,
                           cell.width() - (sidePadding + playWidth + spacing), cell.height() - 10);
        const double first = QFontMetricsF(bodyFont()).height();
        const double second = QFontMetricsF(caption2Font()).height();
        const double top = names.top() + (names.height() - first - 3 - second) / 2;
        text(QRectF(names.left(), top, names.width(), first), bodyFont(), kit::primaryText(palette),
             library::firstLine(track), Qt::AlignLeft | Qt::AlignVCenter);
        text(QRectF(names.left(), top + first + 3, names.width(), second), caption2Font(),
             kit::secondaryText(palette), library::secondLine(track), Qt::AlignLeft | Qt::AlignVCenter);
        break;
    }
    case TrackListModel::time:
        text(content, digitsFont(), kit::primaryText(palette), kit::tr(durationLabel(track.info.duration)),
             Qt::AlignCenter);
        break;
    case TrackListModel::format:
        text(content, caption2Font(), kit::primaryText(palette), kit::tr(track.info.codec), Qt::AlignCenter);
        break;
    case TrackListModel::parameters:
        text(content, caption2Font(),
             TavoModel::isHiRes(track.info) ? kit::orange(palette) : kit::secondaryText(palette),
             kit::tr(track.info.parameters()), Qt::AlignCenter);
        break;
    case TrackListModel::choice: {
        const QColor color = library::toggleColor(palette, model->busy());
        library::drawSymbolCentred(*painter, kit::cachedSymbolPixmap(library::selectionSymbol(m_rows->isChosen(row)), 15, color, dpr),
                    content.adjusted(0, 0, -sidePadding / 2.0, 0));
        break;
    }
    }
    painter->restore();
}

bool TrackRowDelegate::editorEvent(QEvent *event, QAbstractItemModel *, const QStyleOptionViewItem &option,
                                   const QModelIndex &index)
{
    if (event->type() != QEvent::MouseButtonRelease && event->type() != QEvent::MouseButtonPress)
        return false;
    auto *mouse = static_cast<QMouseEvent *>(event);
    if (mouse->button() != Qt::LeftButton || !index.isValid())
        return false;
    const bool onPlay = index.column() == TrackListModel::title && playRect(option.rect).contains(mouse->position());
    const bool onChoice = index.column() == TrackListModel::choice;
    if (!onPlay && !onChoice)
        return false;
    if (event->type() == QEvent::MouseButtonPress)
        return true; // the release acts
    TavoModel *model = m_rows->tavo();
    const Track track = m_rows->track(index.row());
    if (onPlay) {
        // The queue is the whole list, in the order shown.
        model->playback()->play(track, m_rows->tracks());
    } else if (!model->busy()) {
        model->toggleTrack(track, m_rows->onDevice());
    }
    return true;
}

bool TrackRowDelegate::helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                                 const QModelIndex &index)
{
    if (event->type() == QEvent::ToolTip && index.isValid() && index.column() == TrackListModel::title
        && playRect(option.rect).contains(event->pos())) {
        QToolTip::showText(event->globalPos(), PlayButton::helpText(), view);
        return true;
    }
    return QStyledItemDelegate::helpEvent(event, view, option, index);
}

// --- TrackListView ---

TrackListView::TrackListView(TavoModel *model, Workspace *workspace, QWidget *parent)
    : QWidget(parent), m_model(model), m_workspace(workspace ? workspace : &Workspace::system()),
      m_rows(new TrackListModel(model, this)), m_list(new QTreeView(this))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_list);

    m_list->setModel(m_rows);
    m_list->setItemDelegate(new TrackRowDelegate(m_rows, m_list));
    m_list->setRootIsDecorated(false);
    m_list->setIndentation(0);
    m_list->setUniformRowHeights(true);
    m_list->setSelectionMode(QAbstractItemView::NoSelection);
    m_list->setFocusPolicy(Qt::StrongFocus);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setFrameShape(QFrame::NoFrame);
    // The whole row is the keyboard's, and is repainted when it moves.
    m_list->setAllColumnsShowFocus(true);
    m_list->installEventFilter(this);
    kit::followKeyboardFocus(m_list);
    m_list->setMouseTracking(true);
    m_list->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_list->viewport()->setAutoFillBackground(false);
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);

    QHeaderView *header = m_list->header();
    header->setStretchLastSection(false);
    header->setSectionsMovable(false);
    header->setSectionsClickable(false);
    header->setHighlightSections(false);
    header->setSectionResizeMode(TrackListModel::title, QHeaderView::Stretch);
    const int fixed[] = {timeWidth, formatWidth, parametersWidth, choiceWidth};
    for (int c = TrackListModel::time; c <= TrackListModel::choice; ++c) {
        header->setSectionResizeMode(c, QHeaderView::Fixed);
        header->resizeSection(c, fixed[c - 1] + spacing + (c == TrackListModel::choice ? sidePadding : 0));
    }
    header->setFont(captionFont());
    styleHeader();

    connect(m_list, &QWidget::customContextMenuRequested, this, [this](const QPoint &pos) {
        const QModelIndex index = m_list->indexAt(pos);
        if (index.isValid())
            contextMenu(index.row())->popup(m_list->viewport()->mapToGlobal(pos));
    });
    connect(m_list->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &current) { kit::announceCurrentRow(m_list, current.row()); });
    describeRows();
}

void TrackListView::describeRows()
{
    kit::RowsDescription rows;
    rows.area = m_list->viewport();
    rows.count = [this] { return m_rows->rowCount(); };
    rows.name = [this](int row) {
        const Track &track = m_rows->track(row);
        return QString(library::firstLine(track) + u", "_s + library::secondLine(track));
    };
    rows.description = [this](int row) {
        const Track &track = m_rows->track(row);
        return QStringList{kit::tr(durationLabel(track.info.duration)), kit::tr(track.info.codec),
                           kit::tr(track.info.parameters())}
            .join(u", "_s);
    };
    rows.rect = [this](int row) {
        return m_list->visualRect(m_rows->index(row, TrackListModel::title))
            .united(m_list->visualRect(m_rows->index(row, TrackListModel::choice)));
    };
    rows.buttons = [this](int row) {
        const QRect title = m_list->visualRect(m_rows->index(row, TrackListModel::title));
        return QList<kit::RowButton>{
            {PlayButton::helpText(), TrackRowDelegate::playRect(title).toAlignedRect(), true},
            {kit::tr(library::trackToggleTip(m_model->libraryOnDevice())),
             m_list->visualRect(m_rows->index(row, TrackListModel::choice)), !m_model->busy()},
        };
    };
    rows.press = [this](int row, int button) {
        if (button == 0)
            play(row);
        else
            toggle(row);
    };
    rows.current = [this] { return m_list->currentIndex().row(); };
    kit::describeRows(m_list, std::move(rows));
}

void TrackListView::play(int row)
{
    if (row < 0 || row >= m_rows->rowCount() || !m_model->playback())
        return;
    // The queue is the whole list, in the order shown.
    m_model->playback()->play(m_rows->track(row), m_rows->tracks());
}

void TrackListView::toggle(int row)
{
    if (row < 0 || row >= m_rows->rowCount() || m_model->busy())
        return;
    const Track track = m_rows->track(row);
    m_model->toggleTrack(track);
}

bool TrackListView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_list || event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    const int row = m_list->currentIndex().row();
    switch (static_cast<QKeyEvent *>(event)->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: play(row); return true;
    case Qt::Key_Space: toggle(row); return true;
    case Qt::Key_Menu:
        if (row >= 0) {
            const QRect title = m_list->visualRect(m_rows->index(row, TrackListModel::title));
            contextMenu(row)->popup(m_list->viewport()->mapToGlobal(title.center()));
        }
        return true;
    default: return false;
    }
}

void TrackListView::styleHeader()
{
    // A plain row of titles over a divider, not a table header.
    m_list->header()->setStyleSheet(
        QStringLiteral("QHeaderView { background: transparent; border: none; border-bottom: 1px solid %1; }"
                       "QHeaderView::section { background: transparent; border: none; padding: 8px 0px 8px %2px;"
                       " color: %3; }")
            .arg(kit::separator(palette()).name(QColor::HexArgb))
            .arg(spacing)
            .arg(kit::secondaryText(palette()).name(QColor::HexArgb)));
}

void TrackListView::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::PaletteChange)
        styleHeader();
    QWidget::changeEvent(event);
}

void TrackListView::setTracks(const QList<Track> &tracks)
{
    m_rows->setTracks(tracks);
}

QMenu *TrackListView::contextMenu(int row)
{
    const Track track = m_rows->track(row);
    auto *menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    TavoModel *model = m_model;
    menu->addAction(kit::tr(u"Otwórz album"_s), model, [model, track] { model->openAlbumContaining(track); });
    Workspace *workspace = m_workspace;
    menu->addAction(kit::tr(u"Pokaż w menedżerze plików"_s), this, [workspace, track] { workspace->reveal({track.url}); });
    return menu;
}
