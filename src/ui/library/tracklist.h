#pragma once

// A flat list of tracks under a header of column titles: a play button, the
// number and title over artist and album, duration, codec, parameters (orange
// for high resolution) and a selection toggle per row. Rows are painted, not
// widgets, so a list of 20,000 tracks builds and scrolls at once; a change of
// the selection repaints only the rows whose state changed. The list takes
// focus: Up and Down move between the tracks, Return plays one, Space switches
// its selection, the menu key opens its menu; screen readers are told each
// row and its two buttons.

#include "media/records.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QSet>
#include <QStyledItemDelegate>
#include <QUuid>
#include <QWidget>
#include <optional>

class QTreeView;
class TavoModel;
class Workspace;

class TrackListModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { title, time, format, parameters, choice, columnCount_ };

    TrackListModel(TavoModel *model, QObject *parent = nullptr);

    // Shows these tracks in this order; nothing happens when it is the same list.
    void setTracks(const QList<Track> &tracks);
    const QList<Track> &tracks() const { return m_tracks; }
    const Track &track(int row) const { return m_tracks.at(row); }
    TavoModel *tavo() const { return m_model; }
    // The row of a track id, or -1.
    int rowOf(const QUuid &id) const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // Whether the row's track is in the selection set of the side shown.
    bool isChosen(int row) const;
    // The side whose selection the toggles show and change: the given one, or
    // the side the window shows when none is given (followed live).
    void setSideOverride(std::optional<bool> onDevice);
    bool onDevice() const;

private:
    void selectionChanged();
    void repaintColumn(int column);
    void repaintRows(const QSet<QUuid> &ids, int firstColumn, int lastColumn);
    void playbackChanged();

    TavoModel *m_model;
    std::optional<bool> m_sideOverride;
    QList<Track> m_tracks;
    QHash<QUuid, int> m_rows;
    QSet<QUuid> m_shownSelection; // the selection the rows were last painted with
    bool m_shownOnDevice = false;
    std::optional<QUuid> m_shownPlaying; // the track whose button shows pause
};

class TrackRowDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    TrackRowDelegate(TrackListModel *rows, QObject *parent = nullptr);

    static constexpr int rowHeight = 42;
    static constexpr double playWidth = 18; // PlayButton::width

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    bool editorEvent(QEvent *event, QAbstractItemModel *model, const QStyleOptionViewItem &option,
                     const QModelIndex &index) override;
    bool helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                   const QModelIndex &index) override;

    // The play button's area within a title cell.
    static QRectF playRect(const QRect &cell);

private:
    TrackListModel *m_rows;
};

class TrackListView : public QWidget
{
    Q_OBJECT
public:
    // `workspace` reveals files; nullptr means the desktop's own.
    TrackListView(TavoModel *model, Workspace *workspace = nullptr, QWidget *parent = nullptr);

    void setTracks(const QList<Track> &tracks);
    TrackListModel *rows() const { return m_rows; }
    QTreeView *list() const { return m_list; }
    // The menu of a row (shown with popup(); also for tests).
    QMenu *contextMenu(int row);

protected:
    void changeEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void styleHeader();
    void describeRows();
    void play(int row);
    void toggle(int row);

    TavoModel *m_model;
    Workspace *m_workspace;
    TrackListModel *m_rows;
    QTreeView *m_list;
};
