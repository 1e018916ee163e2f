#pragma once

// Fills a page that has nothing to list: a large symbol in the accent colour,
// a title and a detail line, centred. Texts are given in Polish and shown
// through the display rule.

#include <QWidget>

class QLabel;

class EmptyState : public QWidget
{
    Q_OBJECT
public:
    static constexpr double symbolSize = 47;
    static constexpr double symbolOpacity = 0.7;

    EmptyState(const QString &title, const QString &symbol, const QString &detail, QWidget *parent = nullptr);

    QString title() const;  // as shown
    QString detail() const; // as shown
    const QLabel *icon() const { return m_icon; }

private:
    QLabel *m_icon;
    QLabel *m_title;
    QLabel *m_detail;
};
