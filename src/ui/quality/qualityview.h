#pragma once

// The "Porządek" page: the problems of the collection the library pages show
// (the computer's library or the music read from the device) with their repairs.
// Covers, tags and missing files come from the model's collection inspection,
// which runs on a worker whenever the tracks, the side or the device change and
// when the page is shown; byte-identical duplicates come from the model's own
// check. The page keeps only the chosen problem filter.

#include "ui/quality/qualitylist.h"

#include <QWidget>

class QButtonGroup;
class QLabel;
class QualityListView;
class QPushButton;
class QStackedWidget;
class TavoModel;
class Workspace;

class QualityView : public QWidget
{
    Q_OBJECT
public:
    // `filter` is the starting problem filter; `workspace` shows files in the
    // file manager (the desktop's own when none is given).
    QualityView(TavoModel *model, const QString &filter, Workspace *workspace = nullptr, QWidget *parent = nullptr);

    // The five filter values, in their order (Polish, as stored).
    static const QStringList &filters();
    const QString &filter() const { return m_filter; }
    void setFilter(const QString &filter);

    QualityListModel *listModel() const { return m_rows; }
    QualityListView *listView() const { return m_list; }
    // What the content area shows now: 0 the first empty state, 1 the list, 2 the second empty state.
    int contentState() const;

protected:
    void showEvent(QShowEvent *event) override;

private:
    QWidget *segmented(const QStringList &labels, QButtonGroup *&group, const QString &name);
    void requestInspection();
    void rebuildRows();
    void refreshControls();
    void activate(int row, QualityListModel::Button button);

    TavoModel *m_model;
    Workspace *m_workspace;
    QString m_filter;
    bool m_stale = true; // the inputs changed while the page was hidden

    QButtonGroup *m_scope = nullptr;
    QButtonGroup *m_filterGroup = nullptr;
    QWidget *m_scopePicker = nullptr;
    QPushButton *m_readDevice = nullptr;
    QPushButton *m_duplicates = nullptr;
    QPushButton *m_repair = nullptr;
    QPushButton *m_findMissing = nullptr;
    QPushButton *m_cleanup = nullptr;
    QLabel *m_status = nullptr;
    QStackedWidget *m_content = nullptr;
    QualityListView *m_list = nullptr;
    QualityListModel *m_rows = nullptr;
};
