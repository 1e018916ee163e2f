#pragma once

// The sheet of one installed theme: its two screens, where the pictures come
// from, the theme's font, WPS and SBS settings, and the actions to add an own
// screenshot, show the theme file and open its gallery page. It holds only the
// theme's identity and reads everything else from the model whenever that
// changes, so a new screenshot or a finished catalogue fetch shows at once.

#include "device/themetypes.h"

#include <QDialog>

class LinkButton;
class QGroupBox;
class QLabel;
class QPushButton;
class QStackedWidget;
class TavoModel;
class ThemeImage;
class Workspace;

class ThemeDetailView : public QDialog
{
    Q_OBJECT
public:
    // `workspace` reveals the file and opens the link; null means the desktop's.
    ThemeDetailView(TavoModel *model, const Theme &theme, QWidget *parent = nullptr, Workspace *workspace = nullptr);

    const Theme &theme() const { return m_theme; }

    static constexpr int sheetWidth = 820;
    static constexpr int sheetHeight = 720;

    // The values of the "Konfiguracja" box, in order: author, resolution, font, WPS, SBS.
    QStringList configurationValues() const;

    ThemeImage *playingImage() const { return m_playing; }
    ThemeImage *menuImage() const { return m_menu; }
    QLabel *sourceLabel() const { return m_source; }
    QLabel *catalogNote() const { return m_note; }
    QPushButton *doneButton() const { return m_done; }
    QPushButton *screenshotButton() const { return m_screenshot; }
    QPushButton *revealButton() const { return m_reveal; }
    LinkButton *sourceLink() const { return m_link; }
    // True while the theme is no longer among the model's themes.
    bool showsNotice() const;

private:
    void refresh();

    TavoModel *m_model;
    Theme m_theme;
    Workspace *m_workspace;
    QStackedWidget *m_pages;
    QPushButton *m_done;
    ThemeImage *m_playing;
    ThemeImage *m_menu;
    QLabel *m_source;
    QLabel *m_note;
    QList<QLabel *> m_values;
    QPushButton *m_screenshot;
    QPushButton *m_reveal;
    LinkButton *m_link;
};
