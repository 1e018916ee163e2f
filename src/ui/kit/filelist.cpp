#include "ui/kit/filelist.h"

#include "ui/kit/focusmarks.h"
#include "ui/kit/kit.h"
#include "ui/kit/paintedrows.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStandardItemModel>
#include <QStyledItemDelegate>

using namespace Qt::StringLiterals;

namespace {
constexpr int pathRole = Qt::UserRole + 1;
constexpr int sidePadding = 10;
constexpr int symbolSize = 15;
} // namespace

class FileListDelegate : public QStyledItemDelegate
{
public:
    explicit FileListDelegate(FileList *list) : QStyledItemDelegate(list), m_list(list) {}

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &) const override
    {
        return QSize(option.rect.width(), FileList::rowHeight);
    }

    QRect buttonRect(const QRect &row) const
    {
        const QFontMetrics metrics(m_list->font());
        const int width = metrics.horizontalAdvance(kit::tr(m_list->m_button)) + 24;
        const int height = qMin(row.height() - 10, metrics.height() + 8);
        return QRect(row.right() - sidePadding - width + 1, row.center().y() - height / 2 + 1, width, height);
    }

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        painter->save();
        const QPalette &palette = m_list->palette();
        const QRect row = option.rect;
        if (index.row() > 0) {
            painter->setPen(kit::separator(palette));
            painter->drawLine(row.left() + sidePadding, row.top(), row.right() - sidePadding, row.top());
        }
        if (option.state & QStyle::State_HasFocus && kit::showsKeyboardMark(m_list)) {
            QColor focus = kit::blue(palette);
            focus.setAlphaF(0.10f);
            painter->fillRect(row, focus);
        }
        const QPixmap symbol =
            kit::symbolPixmap(m_list->m_symbol, symbolSize, kit::blue(palette), painter->device()->devicePixelRatioF());
        const int symbolTop = row.center().y() - symbolSize / 2;
        painter->drawPixmap(QPointF(row.left() + sidePadding, symbolTop), symbol);

        const QRect button = buttonRect(row);
        const QRect text(row.left() + sidePadding + symbolSize + 8, row.top(),
                         button.left() - 12 - (row.left() + sidePadding + symbolSize + 8), row.height());
        painter->setPen(kit::primaryText(palette));
        painter->setFont(m_list->font());
        const QString name = index.data(Qt::DisplayRole).toString();
        painter->drawText(text, Qt::AlignLeft | Qt::AlignVCenter,
                          painter->fontMetrics().elidedText(name, Qt::ElideMiddle, text.width()));

        QStyleOptionButton push;
        push.initFrom(m_list);
        push.rect = button;
        push.text = kit::tr(m_list->m_button);
        push.palette = palette;
        push.state = QStyle::State_Enabled | QStyle::State_Raised;
        if (m_list->m_pressedRow == index.row())
            push.state |= QStyle::State_Sunken;
        m_list->style()->drawControl(QStyle::CE_PushButton, &push, painter, m_list);
        painter->restore();
    }

private:
    FileList *m_list;
};

FileList::FileList(const QString &symbol, const QString &button, QWidget *parent)
    : QListView(parent), m_model(new QStandardItemModel(this)), m_symbol(symbol), m_button(button)
{
    setModel(m_model);
    setItemDelegate(new FileListDelegate(this));
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setFrameShape(QFrame::NoFrame);
    setMouseTracking(true);
    setFont(kit::font(kit::size::body));
    viewport()->setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Base, kit::controlBackground(p));
    setPalette(p);
    setFocusPolicy(Qt::StrongFocus);
    kit::followKeyboardFocus(this);

    // Screen readers are told each row (its name, its path) and its button.
    kit::RowsDescription rows;
    rows.area = viewport();
    rows.count = [this] { return m_model->rowCount(); };
    rows.name = [this](int row) { return m_model->item(row)->text(); };
    rows.description = [this](int row) { return m_model->item(row)->data(pathRole).toString(); };
    rows.rect = [this](int row) { return visualRect(m_model->index(row, 0)); };
    rows.buttons = [this](int row) { return QList<kit::RowButton>{{kit::tr(m_button), buttonRect(row), true}}; };
    rows.press = [this](int row, int) { emit triggered(m_model->item(row)->data(pathRole).toString()); };
    rows.current = [this] { return currentIndex().row(); };
    kit::describeRows(this, std::move(rows));
}

void FileList::setEntries(const QStringList &paths, const QStringList &names)
{
    m_model->clear();
    for (qsizetype i = 0; i < paths.size(); ++i) {
        auto *item = new QStandardItem(i < names.size() ? names[i] : paths[i]);
        item->setData(paths[i], pathRole);
        item->setToolTip(paths[i]);
        item->setEditable(false);
        m_model->appendRow(item);
    }
}

QStringList FileList::paths() const
{
    QStringList found;
    for (int i = 0; i < m_model->rowCount(); ++i)
        found << m_model->item(i)->data(pathRole).toString();
    return found;
}

QStringList FileList::names() const
{
    QStringList found;
    for (int i = 0; i < m_model->rowCount(); ++i)
        found << m_model->item(i)->text();
    return found;
}

QRect FileList::buttonRect(int row) const
{
    const QModelIndex index = m_model->index(row, 0);
    if (!index.isValid())
        return {};
    return static_cast<FileListDelegate *>(itemDelegate())->buttonRect(visualRect(index));
}

void FileList::mousePressEvent(QMouseEvent *event)
{
    const QModelIndex index = indexAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton && index.isValid() && buttonRect(index.row()).contains(event->position().toPoint())) {
        m_pressedRow = index.row();
        viewport()->update();
        event->accept();
        return;
    }
    QListView::mousePressEvent(event);
}

void FileList::mouseReleaseEvent(QMouseEvent *event)
{
    if (m_pressedRow >= 0) {
        const int row = m_pressedRow;
        m_pressedRow = -1;
        viewport()->update();
        // A press that leaves the button before it is let go does nothing, as with any button.
        if (event->button() == Qt::LeftButton && buttonRect(row).contains(event->position().toPoint()))
            emit triggered(m_model->item(row)->data(pathRole).toString());
        event->accept();
        return;
    }
    QListView::mouseReleaseEvent(event);
}

void FileList::keyPressEvent(QKeyEvent *event)
{
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter || event->key() == Qt::Key_Space)
        && currentIndex().isValid()) {
        emit triggered(currentIndex().data(pathRole).toString());
        return;
    }
    QListView::keyPressEvent(event);
}

void FileList::changeEvent(QEvent *event)
{
    QListView::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) {
        const QColor base = kit::controlBackground(palette());
        if (palette().color(QPalette::Base) != base) {
            QPalette p = palette();
            p.setColor(QPalette::Base, base);
            setPalette(p);
        }
    }
}
