#pragma once

// The window Cover Flow opens in, beside the main window. There is never more
// than one: presenting Cover Flow again brings the open window back (out of
// the dock when minimised) and to the front. Closing it tells the model, so
// that the next request opens a new window built from scratch.

#include <QPointer>
#include <QWidget>

class CoverFlowView;
class TavoModel;

class CoverFlowWindow : public QWidget
{
    Q_OBJECT

public:
    // Brings the open window to the front, or opens a new one for `model`.
    // The open window keeps its own model.
    static void present(TavoModel *model);
    // The open window, if any.
    static CoverFlowWindow *current();

    CoverFlowView *view() const { return m_view; }
    TavoModel *model() const { return m_model; }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    explicit CoverFlowWindow(TavoModel *model);

    TavoModel *m_model;
    CoverFlowView *m_view;
    static QPointer<CoverFlowWindow> s_current;
};
