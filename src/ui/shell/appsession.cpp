#include "ui/shell/appsession.h"

#include "platform/workspace.h"
#include "ui/coverflow/coverflowwindow.h"
#include "ui/shell/filechoosers.h"
#include "ui/shell/mainwindow.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>

namespace {

// Closing the main window quits, also while a Cover Flow window is open.
class QuitOnClose : public QObject
{
protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Close && event->isAccepted())
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        return false;
    }
};

} // namespace

AppSession::AppSession(TavoModel::DeviceDiscovery discovery, Workspace *workspace)
{
    // The one model of the application: it restores the saved library in the
    // background and follows the volumes being mounted and unmounted.
    m_model = std::make_unique<TavoModel>(std::move(discovery), true);
    m_window = std::make_unique<MainWindow>(m_model.get(), workspace ? workspace : &Workspace::system());
    filechoosers::install(m_model.get(), m_window.get());
    m_quitOnClose = std::make_unique<QuitOnClose>();
    m_window->installEventFilter(m_quitOnClose.get());
}

AppSession::~AppSession()
{
    if (m_window)
        m_window->removeEventFilter(m_quitOnClose.get());
    // A Cover Flow window still open reads this model: it goes first.
    if (CoverFlowWindow *flow = CoverFlowWindow::current(); flow && flow->model() == m_model.get()) {
        flow->close();
        delete flow;
    }
    // The window reads the model to its end.
    m_window.reset();
    m_model.reset();
}
