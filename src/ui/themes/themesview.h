#pragma once

// The page of the themes section: the themes installed on the chosen device as
// a grid of cards, the installation of a theme package, the catalogue previews
// and the link to the online theme gallery. Everything it shows is read from the
// model; everything it changes goes through the model's operations.

#include <QMap>
#include <QUrl>
#include <QWidget>

class LinkButton;
class QLabel;
class QPushButton;
class TavoModel;
class ThemeGrid;
class Workspace;

class ThemesView : public QWidget
{
    Q_OBJECT
public:
    // `workspace` opens the gallery link; null means the desktop's.
    explicit ThemesView(TavoModel *model, QWidget *parent = nullptr, Workspace *workspace = nullptr);

    // The gallery's theme index for the device's Rockbox target ("ipodvideo"
    // when the device names none), the target percent-encoded.
    static QUrl galleryLink(const QMap<QString, QString> &deviceInfo);

    QPushButton *importButton() const { return m_import; }
    QPushButton *fetchButton() const { return m_fetch; }
    LinkButton *galleryButton() const { return m_gallery; }
    QLabel *statusLabel() const { return m_status; }
    QLabel *emptyLabel() const { return m_empty; }
    ThemeGrid *grid() const { return m_grid; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    void refresh();

    TavoModel *m_model;
    QPushButton *m_import;
    QPushButton *m_fetch;
    LinkButton *m_gallery;
    QLabel *m_status;
    QLabel *m_empty;
    ThemeGrid *m_grid;
};
