#pragma once

// The music page: the library on the computer or the music read from the
// device, as a grid of album cards, a track list or a folder tree, under the
// controls that choose the side, the format, Hi-Res, the search, the view, the
// sort order and the tile size. Every choice is the model's; the page keeps
// none of its own. Files dropped on the page are added to the library and
// queued for the device.

#include <QStringList>
#include <QWidget>

class AlbumGridView;
class CoverCache;
class FolderTreeView;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;
class QStackedWidget;
class SegmentedPicker;
class TavoModel;
class TrackListView;
class Workspace;

class LibraryPage : public QWidget
{
    Q_OBJECT
public:
    // The option lists; the values written to the model are these Polish texts.
    static const QStringList &formatOptions(); // "Wszystko", "MP3", "FLAC", "Pozostałe"
    static const QStringList &viewOptions();   // "Albumy", "Utwory", "Foldery"
    static const QStringList &sortOptions();   // "Wykonawca", "Album", "Rok", "Rozmiar"
    static constexpr int minimumTile = 140;
    static constexpr int maximumTile = 240;

    // `workspace` reveals files (nullptr: the desktop's own); `covers` decodes
    // the album covers (nullptr: the shared cache).
    LibraryPage(TavoModel *model, QWidget *parent = nullptr, Workspace *workspace = nullptr,
                CoverCache *covers = nullptr);

    // What the page shows below its controls.
    enum class Content { empty, albums, tracks, folders };
    Content content() const;

    // Parts, for tests.
    QLabel *countLine() const { return m_count; }
    QPushButton *addButton() const { return m_add; }
    SegmentedPicker *sourcePicker() const { return m_source; }
    QPushButton *deviceButton() const { return m_readDevice; }
    SegmentedPicker *formatPicker() const { return m_format; }
    QCheckBox *hiResBox() const { return m_hiRes; }
    QLineEdit *searchField() const { return m_search; }
    QComboBox *viewPicker() const { return m_view; }
    QComboBox *sortPicker() const { return m_sort; }
    QSlider *tileSlider() const { return m_tile; }
    QLabel *tileSymbol() const { return m_tileSymbol; }
    QLabel *emptyHeadline() const { return m_emptyHeadline; }
    QLabel *hiResNote() const { return m_hiResNote; }
    AlbumGridView *grid() const { return m_grid; }
    TrackListView *trackList() const { return m_tracks; }
    FolderTreeView *folderTree() const { return m_folders; }

protected:
    // Where dropped files go: the model's import into the library, queued.
    virtual void importDropped(const QStringList &paths);
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void reload();
    QWidget *makeEmptyState();

    TavoModel *m_model;
    QLabel *m_count;
    QPushButton *m_add;
    SegmentedPicker *m_source;
    QPushButton *m_readDevice;
    SegmentedPicker *m_format;
    QCheckBox *m_hiRes;
    QLineEdit *m_search;
    QComboBox *m_view;
    QComboBox *m_sort;
    QLabel *m_tileSymbol;
    QSlider *m_tile;
    QStackedWidget *m_stack;
    QWidget *m_empty;
    QLabel *m_emptyHeadline;
    AlbumGridView *m_grid;
    TrackListView *m_tracks;
    FolderTreeView *m_folders;
    QLabel *m_hiResNote;
};
