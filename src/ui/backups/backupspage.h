#pragma once

// The page of the backups section: starts a backup of the device's settings
// and themes, says what a backup holds, and lists the backup folders on this
// computer, newest first, each opened on request. The list needs no device.

#include <QPointer>
#include <QWidget>

class EmptyState;
class FileList;
class QLabel;
class QPushButton;
class QStackedWidget;
class TavoModel;
class Workspace;

class BackupsPage : public QWidget
{
    Q_OBJECT
public:
    // `workspace`: where "Otwórz" goes; the desktop's own when none is given.
    BackupsPage(TavoModel *model, QWidget *parent = nullptr, Workspace *workspace = nullptr);

    QPushButton *backupButton() const { return m_backup; }
    QLabel *explanation() const { return m_explanation; }
    FileList *list() const { return m_list; }
    EmptyState *emptyState() const { return m_empty; }
    bool showsEmptyState() const;

private:
    void followGuards();
    void followBackups();

    QPointer<TavoModel> m_model;
    Workspace *m_workspace;
    QPushButton *m_backup;
    QLabel *m_explanation;
    QStackedWidget *m_stack;
    FileList *m_list;
    EmptyState *m_empty;
};
