#pragma once

// The large bold title over a grey subtitle that opens a page. Both texts are
// given in Polish and shown through the display rule.

#include <QWidget>

class QLabel;

class PageHeader : public QWidget
{
    Q_OBJECT
public:
    PageHeader(const QString &title, const QString &subtitle, QWidget *parent = nullptr);

    void setTitle(const QString &title);
    void setSubtitle(const QString &subtitle);
    QString title() const;    // as shown
    QString subtitle() const; // as shown

private:
    QLabel *m_title;
    QLabel *m_subtitle;
};
