#pragma once

// Fills a page that has nothing to list: a large symbol, a title and a detail
// line, centred. Texts are given in Polish and shown through the display rule.

#include <QWidget>

class QLabel;

class EmptyState : public QWidget
{
    Q_OBJECT
public:
    EmptyState(const QString &title, const QString &symbol, const QString &detail, QWidget *parent = nullptr);

    QString title() const;  // as shown
    QString detail() const; // as shown

private:
    QLabel *m_icon;
    QLabel *m_title;
    QLabel *m_detail;
};
