#pragma once

// Small controls of the themes page and the theme detail sheet: a link that
// opens its address in the user's browser, and the prominent button look.

#include <QPushButton>
#include <QUrl>

class Workspace;

// A borderless blue text button ("Katalog motywów ↗") that hands its address to
// the desktop when clicked.
class LinkButton : public QPushButton
{
    Q_OBJECT
public:
    // `polish` is shown through the display rule; `workspace` null means the desktop's.
    LinkButton(const QString &polish, Workspace *workspace, QWidget *parent = nullptr);

    void setUrl(const QUrl &url) { m_url = url; }
    const QUrl &url() const { return m_url; }

protected:
    void changeEvent(QEvent *event) override;

private:
    void restyle();
    QUrl m_url;
    Workspace *m_workspace;
};

namespace themewidgets {
// The filled accent look of a page's main action.
void makeProminent(QPushButton *button);
} // namespace themewidgets
