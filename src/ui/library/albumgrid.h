#pragma once

// The album grid of the library page: one painted card per album of the
// model's `albums`, laid out in as many columns of at least the tile size as
// fit, with only the cards in view painted. Nothing is a widget per card:
// the cards are rows of AlbumGridModel drawn by AlbumCardDelegate inside
// AlbumGridView, and their buttons are places on the card that react to clicks.
// The grid takes focus: the arrows move between the cards, Return opens the
// album, Space switches its selection, the menu key opens the card's menu;
// screen readers are told each card and its two buttons.

#include "media/records.h"

#include <QAbstractItemView>
#include <QAbstractListModel>
#include <QCache>
#include <QPixmap>
#include <QStyledItemDelegate>
#include <optional>
#include <vector>

class CoverCache;
class TavoModel;
class Workspace;

// The albums of the model, with what each card shows worked out once per
// album list (and only for the cards that have been painted).
class AlbumGridModel : public QAbstractListModel
{
    Q_OBJECT
public:
    struct Card {
        QString formats;  // "FLAC / MP3"
        bool hiRes = false;
        qsizetype discs = 1;
        QString coverKey; // empty: no artwork
        CoverSource coverSource;
    };

    AlbumGridModel(TavoModel *model, QObject *parent = nullptr);

    // Takes the model's current album list; resets only when it is another list.
    void refresh();

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    const Album &album(int row) const { return m_albums.at(row); }
    const Card &card(int row) const;
    TavoModel *tavo() const { return m_model; }

private:
    void repaintAll();

    TavoModel *m_model;
    QList<Album> m_albums;
    mutable std::vector<std::optional<Card>> m_cards;
};

// Where each part of a card lies, for painting and for clicks.
struct AlbumCardLayout {
    QRectF cover, title, artist, formats, discs, button;

    // A card `width` wide at the origin; `discs` says whether the disc badge is shown.
    static AlbumCardLayout make(double width, bool discs);
    // The height every card of that width gets (room for the disc badge included).
    static double height(double width);
};

class AlbumCardDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    AlbumCardDelegate(AlbumGridModel *cards, CoverCache *covers, QObject *parent = nullptr);

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    bool editorEvent(QEvent *event, QAbstractItemModel *model, const QStyleOptionViewItem &option,
                     const QModelIndex &index) override;
    bool helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                   const QModelIndex &index) override;

private:
    // Finished tiles (cover or placeholder, rounded) at the size shown, so a
    // frame draws each card's tile as one unscaled picture.
    const QPixmap *tile(const QString &coverKey, const QImage &cover, int side, double dpr) const;

    AlbumGridModel *m_cards;
    CoverCache *m_covers;
    mutable QCache<QString, QPixmap> m_tiles; // cost in KiB
};

class AlbumGridView : public QAbstractItemView
{
    Q_OBJECT
public:
    static constexpr int columnSpacing = 20;
    static constexpr int rowSpacing = 23;
    static constexpr int bottomPadding = 10;
    static constexpr int scrollBarGap = 10; // between the last column and the scroll bar

    // `workspace` reveals files; nullptr means the desktop's own.
    AlbumGridView(TavoModel *model, CoverCache *covers, Workspace *workspace = nullptr, QWidget *parent = nullptr);

    AlbumGridModel *cards() const { return m_cards; }
    // Takes the model's albums (no work when they did not change).
    void refresh();
    // The minimum column width.
    void setTileSize(double size);
    double tileSize() const { return m_tileSize; }
    int columnCount() const;
    // The width the columns share: the viewport's, less the scroll bar's place.
    double layoutWidth() const;
    double columnWidth() const;
    double rowHeight() const;
    // Rows of cards painted by the last paint (for tests and benchmarks).
    int lastPaintedCards() const { return m_lastPainted; }

    QRect visualRect(const QModelIndex &index) const override;
    void scrollTo(const QModelIndex &index, ScrollHint hint = EnsureVisible) override;
    QModelIndex indexAt(const QPoint &point) const override;

    // The menu a card offers (shown with popup(); also for tests).
    QMenu *contextMenu(int row);
    // Where a card's two buttons are in the viewport: opening (cover and
    // title) and the selection toggle.
    QRect openRect(int row) const;
    QRect toggleRect(int row) const;

protected:
    QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
    int horizontalOffset() const override { return 0; }
    int verticalOffset() const override;
    bool isIndexHidden(const QModelIndex &) const override { return false; }
    void setSelection(const QRect &, QItemSelectionModel::SelectionFlags) override {}
    QRegion visualRegionForSelection(const QItemSelection &) const override { return QRegion(); }
    void updateGeometries() override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void changeEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;

private:
    void describeCards();
    void openCard(int row);
    void toggleCard(int row);
    QRectF cardRect(int row) const; // in content coordinates
    TavoModel *m_model;
    AlbumGridModel *m_cards;
    Workspace *m_workspace;
    double m_tileSize = 170;
    int m_lastPainted = 0;
    mutable double m_rowHeightWidth = -1; // the column width m_rowHeight was measured for
    mutable double m_rowHeight = 0;
};
