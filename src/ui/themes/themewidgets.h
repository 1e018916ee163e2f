#pragma once

// Small controls of the themes page and the theme detail sheet: a link that
// opens its address in the user's browser, and the prominent button look.

#include <QAbstractButton>
#include <QPushButton>
#include <QUrl>

class Workspace;

// A borderless blue text button ("Katalog motywów ↗") that hands its address to
// the desktop when clicked.
class LinkButton : public QAbstractButton
{
    Q_OBJECT
public:
    // `polish` is shown through the display rule; `workspace` null means the desktop's.
    LinkButton(const QString &polish, Workspace *workspace, QWidget *parent = nullptr);

    void setUrl(const QUrl &url) { m_url = url; }
    const QUrl &url() const { return m_url; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    QUrl m_url;
    bool m_hover = false;
    Workspace *m_workspace;
};
