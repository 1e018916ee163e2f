#pragma once

// The page of the playlists section: saves the device files that transfers
// wrote, with the tracks marked on the iPod's side, as an M3U8 playlist on the
// device, and lists the playlists the device holds, each shown in the file
// manager on request. Everything it shows comes from the model.

#include <QPointer>
#include <QWidget>

class EmptyState;
class FileList;
class PageHeader;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QStackedWidget;
class TavoModel;
class Workspace;

class PlaylistsPage : public QWidget
{
    Q_OBJECT
public:
    // `workspace`: where "Pokaż" goes; the desktop's own when none is given.
    PlaylistsPage(TavoModel *model, QWidget *parent = nullptr, Workspace *workspace = nullptr);

    QLineEdit *nameField() const { return m_name; }
    QPushButton *saveButton() const { return m_save; }
    QLabel *countLine() const { return m_count; }
    FileList *list() const { return m_list; }
    EmptyState *emptyState() const { return m_empty; }
    // True while the empty state stands in the list's place.
    bool showsEmptyState() const;

private:
    void followTracks();
    void followName();
    void followPlaylists();

    QPointer<TavoModel> m_model;
    Workspace *m_workspace;
    QLabel *m_count;
    QLineEdit *m_name;
    QPushButton *m_save;
    QStackedWidget *m_stack;
    FileList *m_list;
    EmptyState *m_empty;
};
