#pragma once

// The strip at the foot of every page: what waits in the transfer queue, the
// buttons that empty or send it, and the progress and status of running work.

#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;
class TavoModel;

class TransferBar : public QWidget
{
    Q_OBJECT
public:
    explicit TransferBar(TavoModel *model, QWidget *parent = nullptr);

    // "n utworów · size" in Polish, before translation.
    static QString summaryText(qsizetype count, qint64 bytes);

    QLabel *title() const { return m_title; }
    QLabel *summary() const { return m_summary; }
    QLabel *status() const { return m_status; }
    QProgressBar *progress() const { return m_progress; }
    QPushButton *clearButton() const { return m_clear; }
    QPushButton *sendButton() const { return m_send; }

private:
    void update();
    TavoModel *m_model;
    QLabel *m_title;
    QLabel *m_summary;
    QLabel *m_status;
    QProgressBar *m_progress;
    QPushButton *m_clear;
    QPushButton *m_send;
};
