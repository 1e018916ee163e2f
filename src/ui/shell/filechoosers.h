#pragma once

// The dialogs through which the model asks for files: music to add, the device
// folder, a picture, a theme package. Each opens window-modal and answers from
// the event loop when the user is done; nothing waits for it. They speak the
// interface language, Qt's own words included.

#include <QFileDialog>
#include <QStringList>

class QWidget;
class TavoModel;

namespace filechoosers {

void install(TavoModel *model, QWidget *window);

// Qt's own texts (the dialogs' buttons, columns and menus) in the interface
// language, as far as Qt has them.
void followInterfaceLanguage();

} // namespace filechoosers

// A chooser of several files and folders at once: the dialog that picks
// existing files, whose list lets folders be selected among them. Its accept
// button takes the whole selection, folders included; a double click still
// opens a folder to look inside it.
class FilesAndFoldersDialog : public QFileDialog
{
    Q_OBJECT
public:
    FilesAndFoldersDialog(QWidget *parent, const QString &title, const QString &acceptLabel);

    // What the accept button would take now: the selected entries, else the
    // names typed into the name field, as absolute paths.
    QStringList chosen() const;

public slots:
    void accept() override;

protected:
    void changeEvent(QEvent *event) override;

private:
    void keepAcceptLabel();

    QString m_acceptLabel;
};
