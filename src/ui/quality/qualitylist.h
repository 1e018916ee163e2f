#pragma once

// The quality page's list of problems: an item model of plain rows and a
// delegate that paints each row (kind badge, title, detail, file paths and
// the row's buttons) and hit-tests its buttons, so that 20,000 problems cost
// no widget each.

#include "media/collectionquality.h"
#include "media/records.h"

#include <QAbstractListModel>
#include <QHash>
#include <QListView>
#include <QStyledItemDelegate>
#include <optional>
#include <vector>

class QMenu;

struct QualityRow {
    QualityIssue issue;
    std::optional<Album> album; // of a cover problem, when found
    bool albumHasArtwork = false;
    // As shown, translated once when the row is made. The title of a
    // duplicate group is our own text around a track's title; any other title
    // is an album's or a file's and shows as written.
    QString badge;
    QString title;
    QString detail;
};

class QualityListModel : public QAbstractListModel
{
    Q_OBJECT
public:
    enum Button { repair, searchOnline, chooseCover, openAlbum, showFiles };

    using QAbstractListModel::QAbstractListModel;

    void setRows(std::vector<QualityRow> rows);
    const QualityRow &row(int index) const { return m_rows[size_t(index)]; }
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;

    // Whether the model's operations may start (the cover buttons are off otherwise).
    void setBusy(bool busy);
    bool busy() const { return m_busy; }

    // The buttons a row shows, left to right.
    static QList<Button> buttonsOf(const QualityRow &row);
    static QString textOf(Button button); // Polish
    // The file paths a row lists: up to 20 for duplicates, else the first.
    static QStringList listedPaths(const QualityIssue &issue);
    // Whether the button can be pressed now (the cover buttons wait while busy).
    bool isEnabled(Button button) const;

private:
    std::vector<QualityRow> m_rows;
    bool m_busy = false;
};

class QualityDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    explicit QualityDelegate(QListView *view);

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    bool editorEvent(QEvent *event, QAbstractItemModel *model, const QStyleOptionViewItem &option,
                     const QModelIndex &index) override;

    struct Layout {
        QRectF badge;
        QRectF title;
        QRectF detail;
        QList<QRectF> paths;
        QList<std::pair<QualityListModel::Button, QRectF>> buttons;
        int height = 0;
    };
    // Where each part of the row goes inside `rect` (its height is ignored).
    Layout layout(const QualityRow &row, const QRect &rect) const;
    // Presses a row's button as a click on it would (nothing while it is off).
    void press(const QualityListModel *model, int row, QualityListModel::Button button);

signals:
    void buttonClicked(int row, QualityListModel::Button button);

private:
    int detailHeight(const QString &text, int width) const;

    QListView *m_view;
    QFont m_badgeFont, m_titleFont, m_detailFont, m_pathFont, m_buttonFont;
    mutable QHash<QString, int> m_detailHeights; // by width and text
};

// The list of problems itself. It takes focus: Up and Down move between the
// problems, Left and Right between the buttons of the current one, Return or
// Space press that button, and the menu key offers all of the row's buttons
// as a menu. Rows and their buttons are told to screen readers.
class QualityListView : public QListView
{
    Q_OBJECT
public:
    explicit QualityListView(QWidget *parent = nullptr);

    QualityListModel *rows() const;
    QualityDelegate *delegate() const;
    // The button the keyboard is on, within the current row's buttons.
    int focusedButton() const { return m_button; }
    // The menu of a row's buttons (shown with popup(); also for tests).
    QMenu *actionMenu(int row);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;

private:
    void showMenu(int row, const QPoint &at);
    int m_button = 0;
    bool m_pointing = false; // a press is making its row current: the list stays where it is
};
