#pragma once

// The tracks of one album in the album sheet: one collapsible group per disc
// (heading "CD n · Utwory: k · duration", a divider after each group, all
// collapsed at first), or the tracks alone for an album of one disc. Each row
// has a play button whose queue is the whole album, the number, title,
// duration and codec, and a toggle that puts the track into the selection of
// the sheet's side: the upload queue on the computer, the playlist choice on
// the device. The list takes focus: the arrows move between headings and
// tracks (Right and Left open and close a disc), Return plays a track or opens
// a disc, Space switches a track's selection, the menu key opens the track's
// menu; screen readers are told each heading, each track and its two buttons.

#include "media/records.h"

#include <QAbstractItemModel>
#include <QSet>
#include <QTreeView>
#include <QUuid>
#include <optional>

class QMenu;
class TavoModel;
class Workspace;

class DiscTrackModel : public QAbstractItemModel
{
    Q_OBJECT
public:
    enum class Kind { disc, track, divider };

    explicit DiscTrackModel(QObject *parent = nullptr);

    // byDisc: a heading and a divider per disc, tracks under their heading;
    // otherwise one row per track of the album.
    void setAlbum(const Album &album, bool byDisc);
    const Album &album() const { return m_album; }
    bool byDisc() const { return m_byDisc; }

    Kind kind(const QModelIndex &index) const;
    const Track *track(const QModelIndex &index) const;
    const AlbumDisc *disc(const QModelIndex &index) const;
    // Row of the track with this id; invalid when it is not listed.
    QModelIndex indexOf(const QUuid &id) const;
    // The heading of a disc, still in Polish: "CD n · Utwory: k · m:ss".
    static QString heading(const AlbumDisc &disc);
    // "%02d" of a track number from 1 on, "—" below.
    static QString numberText(qint64 number);

    // Tells the view that these tracks' rows must be drawn again.
    void touch(const QSet<QUuid> &ids);

    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    Album m_album;
    QList<AlbumDisc> m_discs;
    bool m_byDisc = false;
};

class DiscTrackListView : public QTreeView
{
    Q_OBJECT
public:
    // onDeviceOverride: the side the toggles act on; absent, the side the
    // window shows (followed live). `workspace` shows files; absent, the desktop's own.
    DiscTrackListView(TavoModel *model, std::optional<bool> onDeviceOverride, QWidget *parent = nullptr,
                      Workspace *workspace = nullptr);

    // Shows the album; disc groups keep their open or closed state across
    // calls, by disc number.
    void setAlbum(const Album &album, bool byDisc);
    DiscTrackModel *trackModel() const { return m_rows; }

    // Whether the toggles act on the device's selection.
    bool onDevice() const;
    // Whether the track is in the selection the toggles change.
    bool isMarked(const QUuid &id) const;
    bool isPlaying(const QUuid &id) const;
    TavoModel *model() const { return m_model; }

    // Where the row's controls lie inside its rectangle (for drawing, clicks and tests).
    struct RowGeometry {
        QRect play, number, title, duration, codec, toggle;
    };
    RowGeometry trackGeometry(const QModelIndex &index) const;
    // The disclosure area of a disc heading row.
    QRect discRect(const QModelIndex &index) const;

    // The menu of a track's row (shown with popup(); also for tests).
    QMenu *contextMenu(const QModelIndex &index);
    // The rows a reader or the keyboard can reach now, in order: headings and
    // the tracks of open discs (no dividers), or the tracks alone.
    QList<QModelIndex> reachableRows() const;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    bool viewportEvent(QEvent *event) override;

private:
    void selectionChanged();
    void playbackChanged();
    QSet<QUuid> markedIds() const;
    void describeRows();
    void play(const Track &track);
    void toggle(const Track &track);

    TavoModel *m_model;
    Workspace *m_workspace;
    std::optional<bool> m_onDeviceOverride;
    DiscTrackModel *m_rows;
    QSet<QUuid> m_marked;
    std::optional<QUuid> m_playingId;
};
