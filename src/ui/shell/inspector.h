#pragma once

// The right-hand column: the chosen iPod at a glance, with its drawing, its
// facts and the buttons to open, change or eject it.

#include <QWidget>

class IPodView;
class QLabel;
class QProgressBar;
class QPushButton;
class QScrollArea;
class TavoModel;
class Workspace;

class Inspector : public QWidget
{
    Q_OBJECT
public:
    static constexpr int fixedWidth = 285;
    // The drawing gives way first when the column is short, down to this height.
    static constexpr int smallestDrawing = 120;

    Inspector(TavoModel *model, Workspace *workspace, QWidget *parent = nullptr);

    // (total − available) ÷ total, in [0, 1]; 0 when the total is unknown.
    static double usedFraction(qint64 total, qint64 available);

    QLabel *connection() const { return m_connection; }
    QWidget *deviceBlock() const { return m_deviceBlock; }
    QLabel *hint() const { return m_hint; }
    QLabel *name() const { return m_name; }
    QLabel *version() const { return m_version; }
    QLabel *capacity() const { return m_capacity; }
    QProgressBar *usage() const { return m_usage; }
    QLabel *testFolder() const { return m_testFolder; }
    QLabel *themeCount() const { return m_themeCount; }
    QPushButton *openButton() const { return m_open; }
    QPushButton *themesButton() const { return m_themes; }
    QPushButton *chooseButton() const { return m_choose; }
    QPushButton *ejectButton() const { return m_eject; }
    IPodView *ipod() const { return m_ipod; }
    QScrollArea *scrollArea() const { return m_scroll; }

protected:
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void update();
    void showPreview();
    void scheduleFit();
    void fitDrawing();
    bool m_fitPending = false;
    TavoModel *m_model;
    QScrollArea *m_scroll;
    QWidget *m_body;
    Workspace *m_workspace;
    QLabel *m_dot;
    QLabel *m_connection;
    IPodView *m_ipod;
    QWidget *m_deviceBlock;
    QLabel *m_name;
    QLabel *m_version;
    QLabel *m_capacity;
    QProgressBar *m_usage;
    QLabel *m_testFolder;
    QLabel *m_themeCount;
    QPushButton *m_open;
    QPushButton *m_themes;
    QLabel *m_hint;
    QPushButton *m_choose;
    QPushButton *m_eject;
};
