#pragma once

// The album sheet: the cover with its tools, the album's facts, the actions of
// its side (listen, queue or upload on the computer, add to the playlist on the
// device, show the files), its tracks (per disc when there are several discs,
// otherwise as the library's track list with its columns), the mini player
// and the model's status. It keeps only the album's id and looks the album up
// again whenever the side's track list or the side changes, so it always shows
// what the model holds; when the album is gone it says so.

#include "media/records.h"

#include <QDialog>
#include <QFuture>
#include <QImage>
#include <QPointer>
#include <QUrl>
#include <optional>

class DetailCover;
class DiscTrackListView;
class TrackListView;
class QLabel;
class QPushButton;
class QVBoxLayout;
class ClampedText;
class CoverSearchView;
class TavoModel;
class Workspace;

class AlbumDetailView : public QDialog
{
    Q_OBJECT
public:
    // onDeviceOverride: true for the device's tracks, false for the computer's,
    // absent to follow the side the window shows. `workspace` shows files and
    // opens addresses; absent, the desktop's own.
    AlbumDetailView(TavoModel *model, const QString &albumID, std::optional<bool> onDeviceOverride,
                    QWidget *parent = nullptr, Workspace *workspace = nullptr);
    ~AlbumDetailView() override;

    const QString &albumID() const { return m_albumID; }
    // The side the sheet shows now.
    bool side() const;
    // The album as last looked up; none when the side holds no album of that id.
    const std::optional<Album> &album() const { return m_album; }

    // The first album of the grouped tracks whose id is `albumID`.
    static std::optional<Album> find(const QList<Track> &tracks, const QString &albumID);
    // "[year · ]Utwory: n · duration · size", still in Polish.
    static QString infoLine(const Album &album);
    // The address recorded in "coverSources" for the album id, when it is a web address.
    static std::optional<QUrl> coverSource(const QString &albumID);

    // The nested cover search while it is open.
    CoverSearchView *coverSearch() const { return m_coverSearch; }
    // The per-disc list, shown for an album of two or more discs.
    DiscTrackListView *trackList() const { return m_tracks; }
    // The flat list with its column titles, shown for an album of one disc.
    TrackListView *flatList() const { return m_flat; }

private:
    void buildContent();
    void lookUp();
    void showAlbum();
    void updateBusy();
    void updateStatus();
    void openCoverSearch();
    void addToPlaylist();

    TavoModel *m_model;
    QString m_albumID;
    std::optional<bool> m_onDeviceOverride;
    Workspace *m_workspace;
    std::optional<Album> m_album;

    QVBoxLayout *m_layout = nullptr;
    QLabel *m_missing = nullptr;
    QWidget *m_content = nullptr;
    DetailCover *m_cover = nullptr;
    ClampedText *m_title = nullptr;
    QLabel *m_artist = nullptr;
    QLabel *m_info = nullptr;
    QPushButton *m_chooseCover = nullptr;
    QPushButton *m_findCover = nullptr;
    QPushButton *m_prepareCover = nullptr;
    QLabel *m_source = nullptr;
    QWidget *m_embeddedNote = nullptr;
    QWidget *m_actions = nullptr;
    QPushButton *m_listen = nullptr;
    QPushButton *m_enqueue = nullptr;
    QPushButton *m_upload = nullptr;
    QPushButton *m_addToPlaylist = nullptr;
    QPushButton *m_reveal = nullptr;
    DiscTrackListView *m_tracks = nullptr;
    TrackListView *m_flat = nullptr;
    QLabel *m_status = nullptr;
    QPointer<CoverSearchView> m_coverSearch;
};

// The album's cover in the sheet: the first artwork of its tracks, decoded on a
// worker at the tile's size and cropped to a square with rounded corners, or a
// coloured placeholder with a disc while there is none or it does not decode.
class DetailCover : public QWidget
{
    Q_OBJECT
public:
    explicit DetailCover(int side, QWidget *parent = nullptr);
    ~DetailCover() override;

    // Starts reading the whole picture and decoding it (on a worker) unless
    // it is the one already shown.
    void setArtwork(const CoverSource &source);
    const QImage &image() const { return m_image; }
    bool decoding() const { return m_decoding; }

    QSize sizeHint() const override { return {m_side, m_side}; }

signals:
    // A decode ended (with or without a picture).
    void imageChanged();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int m_side;
    CoverSource m_source;
    QImage m_image;
    quint64 m_generation = 0;
    bool m_decoding = false;
};
