#include "ui/quality/qualitylist.h"

#include "ui/kit/focusmarks.h"
#include "ui/kit/kit.h"
#include "ui/kit/paintedrows.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>

using namespace Qt::StringLiterals;

namespace {

constexpr int padding = 10;     // above and below a row
constexpr int spacing = 8;      // between the parts of a row
constexpr int sideMargin = 6;   // left and right
constexpr int buttonGap = 14;   // between two buttons
constexpr int maxListedPaths = 20;

bool coverProblem(const QualityIssue &issue) { return issue.kind == u"Okładki"_s; }

} // namespace

void QualityListModel::setRows(std::vector<QualityRow> rows)
{
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}

int QualityListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

QVariant QualityListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= int(m_rows.size()))
        return {};
    const QualityRow &r = m_rows[size_t(index.row())];
    switch (role) {
    case Qt::DisplayRole: return r.title;
    case Qt::ToolTipRole: return r.detail;
    case Qt::AccessibleTextRole: return QString(r.badge + u" "_s + r.title);
    case Qt::AccessibleDescriptionRole: return r.detail;
    default: return {};
    }
}

void QualityListModel::setBusy(bool busy)
{
    if (busy == m_busy)
        return;
    m_busy = busy;
    if (!m_rows.empty())
        emit dataChanged(index(0), index(int(m_rows.size()) - 1));
}

bool QualityListModel::isEnabled(Button button) const
{
    const bool coverButton = button == repair || button == searchOnline || button == chooseCover;
    return !(coverButton && m_busy);
}

QList<QualityListModel::Button> QualityListModel::buttonsOf(const QualityRow &row)
{
    QList<Button> buttons;
    if (coverProblem(row.issue) && row.album) {
        if (row.albumHasArtwork)
            buttons.append(repair);
        buttons.append(searchOnline);
        buttons.append(chooseCover);
    }
    buttons.append(openAlbum);
    buttons.append(showFiles);
    return buttons;
}

QString QualityListModel::textOf(Button button)
{
    switch (button) {
    case repair: return u"Napraw dla Rockbox"_s;
    case searchOnline: return u"Znajdź w sieci…"_s;
    case chooseCover: return u"Wybierz okładkę…"_s;
    case openAlbum: return u"Otwórz album"_s;
    case showFiles: return u"Pokaż pliki"_s;
    }
    return {};
}

QStringList QualityListModel::listedPaths(const QualityIssue &issue)
{
    QStringList paths;
    const qsizetype count = issue.kind == u"Duplikaty"_s ? std::min<qsizetype>(maxListedPaths, issue.tracks.size())
                                                        : std::min<qsizetype>(1, issue.tracks.size());
    for (qsizetype i = 0; i < count; ++i)
        paths.append(issue.tracks.at(i).url);
    return paths;
}

QualityDelegate::QualityDelegate(QListView *view)
    : QStyledItemDelegate(view), m_view(view), m_badgeFont(kit::font(9, QFont::Bold)),
      m_titleFont(kit::font(kit::size::headline, QFont::DemiBold)), m_detailFont(kit::font(kit::size::caption)),
      m_pathFont(kit::font(kit::size::caption2)), m_buttonFont(kit::font(kit::size::caption))
{
}

int QualityDelegate::detailHeight(const QString &text, int width) const
{
    const QString key = QString::number(width) + u'\n' + text;
    const auto found = m_detailHeights.constFind(key);
    if (found != m_detailHeights.constEnd())
        return *found;
    const int height = QFontMetrics(m_detailFont).boundingRect(QRect(0, 0, width, 100'000), Qt::TextWordWrap, text).height();
    m_detailHeights.insert(key, height);
    return height;
}

QualityDelegate::Layout QualityDelegate::layout(const QualityRow &row, const QRect &rect) const
{
    Layout l;
    const int left = rect.left() + sideMargin;
    const int width = std::max(40, rect.width() - 2 * sideMargin);
    double y = rect.top() + padding;

    const QFontMetricsF badgeMetrics(m_badgeFont), titleMetrics(m_titleFont);
    const double headerHeight = std::max(badgeMetrics.height(), titleMetrics.height());
    const double badgeWidth = badgeMetrics.horizontalAdvance(row.badge);
    l.badge = QRectF(left, y, badgeWidth, headerHeight);
    l.title = QRectF(left + badgeWidth + 8, y, std::max(0.0, width - badgeWidth - 8), headerHeight);
    y += headerHeight + spacing;

    const int detail = detailHeight(row.detail, width);
    l.detail = QRectF(left, y, width, detail);
    y += detail + spacing;

    const QFontMetricsF pathMetrics(m_pathFont);
    for (const QString &path : QualityListModel::listedPaths(row.issue)) {
        const int lines = pathMetrics.horizontalAdvance(path) > width ? 2 : 1;
        const QRectF box(left, y, width, lines * pathMetrics.lineSpacing());
        l.paths.append(box);
        y += box.height() + spacing;
    }

    const QFontMetricsF buttonMetrics(m_buttonFont);
    double x = left;
    for (QualityListModel::Button button : QualityListModel::buttonsOf(row)) {
        const double w = buttonMetrics.horizontalAdvance(kit::tr(QualityListModel::textOf(button)));
        l.buttons.append({button, QRectF(x, y, w, buttonMetrics.height() + 4)});
        x += w + buttonGap;
    }
    y += buttonMetrics.height() + 4 + padding;
    l.height = int(std::ceil(y - rect.top()));
    return l;
}

QSize QualityDelegate::sizeHint(const QStyleOptionViewItem &, const QModelIndex &index) const
{
    const auto *model = static_cast<const QualityListModel *>(index.model());
    const int width = m_view->viewport()->width();
    return {width, layout(model->row(index.row()), QRect(0, 0, width, 0)).height};
}

void QualityDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const auto *model = static_cast<const QualityListModel *>(index.model());
    const QualityRow &row = model->row(index.row());
    const Layout l = layout(row, option.rect);
    const QPalette &palette = option.palette;

    painter->save();
    painter->setRenderHint(QPainter::TextAntialiasing);
    painter->setPen(kit::blue(palette));
    painter->setFont(m_badgeFont);
    painter->drawText(l.badge, Qt::AlignLeft | Qt::AlignVCenter, row.badge);
    painter->setPen(kit::primaryText(palette));
    painter->setFont(m_titleFont);
    painter->drawText(l.title, Qt::AlignLeft | Qt::AlignVCenter,
                      QFontMetrics(m_titleFont).elidedText(row.title, Qt::ElideRight, int(l.title.width())));

    painter->setPen(kit::secondaryText(palette));
    painter->setFont(m_detailFont);
    painter->drawText(l.detail, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap | Qt::TextDontClip, row.detail);

    painter->setPen(kit::tertiaryText(palette));
    painter->setFont(m_pathFont);
    const QFontMetrics pathMetrics(m_pathFont);
    const QStringList paths = QualityListModel::listedPaths(row.issue);
    for (qsizetype i = 0; i < paths.size() && i < l.paths.size(); ++i) {
        const QRectF &box = l.paths[i];
        if (box.height() <= pathMetrics.lineSpacing() + 0.5) {
            painter->drawText(box, Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip, paths[i]);
            continue;
        }
        // Two lines at most: the path broken where it no longer fits, the rest cut in the middle.
        const QString &path = paths[i];
        qsizetype fits = path.size();
        while (fits > 1 && pathMetrics.horizontalAdvance(path.left(fits)) > box.width())
            fits = fits * 9 / 10;
        while (fits < path.size() && pathMetrics.horizontalAdvance(path.left(fits + 1)) <= box.width())
            ++fits;
        const QString first = path.left(fits);
        const QString rest = pathMetrics.elidedText(path.mid(fits), Qt::ElideMiddle, int(box.width()));
        painter->drawText(QRectF(box.left(), box.top(), box.width(), pathMetrics.lineSpacing()),
                          Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip, first);
        painter->drawText(QRectF(box.left(), box.top() + pathMetrics.lineSpacing(), box.width(),
                                 pathMetrics.lineSpacing()),
                          Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip, rest);
    }

    // The keyboard's row: a faint tint, and a ring around the button that
    // Return would press.
    const auto *list = qobject_cast<const QualityListView *>(m_view);
    const bool keyboardRow = list && kit::showsKeyboardMark(list) && list->currentIndex().row() == index.row();
    if (keyboardRow) {
        QColor tint = kit::blue(palette);
        tint.setAlphaF(0.06f);
        painter->fillRect(option.rect, tint);
    }
    painter->setFont(m_buttonFont);
    for (qsizetype i = 0; i < l.buttons.size(); ++i) {
        const auto &[button, box] = l.buttons[i];
        painter->setPen(model->isEnabled(button) ? kit::blue(palette) : kit::tertiaryText(palette));
        painter->drawText(box, Qt::AlignLeft | Qt::AlignVCenter, kit::tr(QualityListModel::textOf(button)));
        if (keyboardRow && i == list->focusedButton()) {
            painter->setRenderHint(QPainter::Antialiasing);
            painter->setPen(QPen(kit::focusRing(palette), 2));
            painter->setBrush(Qt::NoBrush);
            painter->drawRoundedRect(box.adjusted(-5, -2, 5, 2), 4, 4);
            painter->setRenderHint(QPainter::Antialiasing, false);
        }
    }

    painter->setPen(kit::separator(palette));
    painter->drawLine(QPointF(option.rect.left() + sideMargin, option.rect.bottom() + 0.5),
                      QPointF(option.rect.right() - sideMargin, option.rect.bottom() + 0.5));
    painter->restore();
}

bool QualityDelegate::editorEvent(QEvent *event, QAbstractItemModel *model, const QStyleOptionViewItem &option,
                                  const QModelIndex &index)
{
    if (event->type() != QEvent::MouseButtonRelease)
        return QStyledItemDelegate::editorEvent(event, model, option, index);
    auto *mouse = static_cast<QMouseEvent *>(event);
    if (mouse->button() != Qt::LeftButton)
        return false;
    const auto *quality = static_cast<const QualityListModel *>(model);
    const QualityRow &row = quality->row(index.row());
    for (const auto &[button, box] : layout(row, option.rect).buttons) {
        if (!box.adjusted(-4, -2, 4, 2).contains(mouse->position()))
            continue;
        press(quality, index.row(), button);
        return true;
    }
    return false;
}

void QualityDelegate::press(const QualityListModel *model, int row, QualityListModel::Button button)
{
    if (row < 0 || row >= model->rowCount() || !model->isEnabled(button))
        return;
    emit buttonClicked(row, button);
}

// --- QualityListView ---

QualityListView::QualityListView(QWidget *parent) : QListView(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    kit::followKeyboardFocus(this);
    kit::RowsDescription described;
    described.area = viewport();
    described.count = [this] { return this->rows() ? this->rows()->rowCount() : 0; };
    described.name = [this](int row) {
        const QualityRow &r = this->rows()->row(row);
        return QString(r.badge + u": "_s + r.title);
    };
    described.description = [this](int row) { return this->rows()->row(row).detail; };
    described.rect = [this](int row) { return visualRect(this->rows()->index(row)); };
    described.buttons = [this](int row) {
        QList<kit::RowButton> buttons;
        const QualityRow &r = this->rows()->row(row);
        const QRect rect = visualRect(this->rows()->index(row));
        for (const auto &[button, box] : delegate()->layout(r, rect).buttons)
            buttons.append({kit::tr(QualityListModel::textOf(button)), box.toAlignedRect(),
                            this->rows()->isEnabled(button)});
        return buttons;
    };
    described.press = [this](int row, int button) {
        const QList<QualityListModel::Button> buttons = QualityListModel::buttonsOf(this->rows()->row(row));
        if (button >= 0 && button < buttons.size())
            delegate()->press(this->rows(), row, buttons.at(button));
    };
    described.current = [this] { return currentIndex().row(); };
    kit::describeRows(this, std::move(described));
}

QualityListModel *QualityListView::rows() const
{
    return static_cast<QualityListModel *>(model());
}

QualityDelegate *QualityListView::delegate() const
{
    return static_cast<QualityDelegate *>(itemDelegate());
}

void QualityListView::focusInEvent(QFocusEvent *event)
{
    // A click makes its own row current; the keyboard starts at the first.
    if (event->reason() != Qt::MouseFocusReason && !currentIndex().isValid() && rows() && rows()->rowCount() > 0)
        setCurrentIndex(rows()->index(0));
    QListView::focusInEvent(event);
    viewport()->update();
}

void QualityListView::mousePressEvent(QMouseEvent *event)
{
    m_pointing = true;
    QListView::mousePressEvent(event);
    m_pointing = false;
}

void QualityListView::currentChanged(const QModelIndex &current, const QModelIndex &)
{
    // Not the item view's own handling: it scrolls to the new current row,
    // which under a click on a tall row would move the row away between the
    // press and the release. Only the keyboard's moves scroll.
    m_button = 0;
    viewport()->update();
    if (current.isValid() && !m_pointing)
        scrollTo(current);
    kit::announceCurrentRow(this, current.row());
}

void QualityListView::keyPressEvent(QKeyEvent *event)
{
    const QModelIndex current = currentIndex();
    if (!current.isValid() || !rows()) {
        QListView::keyPressEvent(event);
        return;
    }
    const int count = int(QualityListModel::buttonsOf(rows()->row(current.row())).size());
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Right:
        m_button = std::clamp(m_button + (event->key() == Qt::Key_Right ? 1 : -1), 0, count - 1);
        viewport()->update(visualRect(current));
        event->accept();
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space: {
        const QList<QualityListModel::Button> buttons = QualityListModel::buttonsOf(rows()->row(current.row()));
        if (m_button < buttons.size())
            delegate()->press(rows(), current.row(), buttons.at(m_button));
        event->accept();
        return;
    }
    case Qt::Key_Menu:
        showMenu(current.row(), visualRect(current).topLeft());
        event->accept();
        return;
    default:
        QListView::keyPressEvent(event);
    }
}

void QualityListView::contextMenuEvent(QContextMenuEvent *event)
{
    const QModelIndex index =
        event->reason() == QContextMenuEvent::Keyboard ? currentIndex() : indexAt(event->pos());
    if (!index.isValid())
        return;
    showMenu(index.row(), visualRect(index).topLeft());
}

void QualityListView::showMenu(int row, const QPoint &at)
{
    actionMenu(row)->popup(viewport()->mapToGlobal(at));
}

QMenu *QualityListView::actionMenu(int row)
{
    auto *menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    for (QualityListModel::Button button : QualityListModel::buttonsOf(rows()->row(row))) {
        QAction *action = menu->addAction(kit::tr(QualityListModel::textOf(button)), this,
                                          [this, row, button] { delegate()->press(rows(), row, button); });
        action->setEnabled(rows()->isEnabled(button));
    }
    return menu;
}
