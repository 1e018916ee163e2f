#include "ui/coverflow/coverflowwindow.h"

#include "model/tavomodel.h"
#include "platform/motion.h"
#include "ui/coverflow/coverflowview.h"
#include "ui/kit/kit.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

QPointer<CoverFlowWindow> CoverFlowWindow::s_current;

CoverFlowWindow *CoverFlowWindow::current()
{
    return s_current.data();
}

void CoverFlowWindow::present(TavoModel *model)
{
    if (CoverFlowWindow *open = s_current.data()) {
        if (open->isMinimized())
            open->setWindowState(open->windowState() & ~Qt::WindowMinimized);
        open->show();
        open->raise();
        open->activateWindow();
        return;
    }
    auto *window = new CoverFlowWindow(model);
    s_current = window;
    window->show();
    window->raise();
    window->activateWindow();
}

CoverFlowWindow::CoverFlowWindow(TavoModel *model)
    : QWidget(nullptr, Qt::Window)
    , m_model(model)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(u"Cover Flow"_s); // a name, the same in every language
    setMinimumSize(800, 640);
    resize(kit::fittedToScreen({1000, 740}, this));
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    setPalette(black);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    QPointer<CoverFlowWindow> self(this);
    m_view = new CoverFlowView(model, motion::reduceMotion(), [self] {
        if (self)
            self->close();
    });
    layout->addWidget(m_view);

    // The model asks an open window to come forward when Cover Flow is
    // revealed while it is already shown.
    connect(model, &TavoModel::coverFlowRaiseRequested, this, [model] { present(model); });

    if (QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect available = screen->availableGeometry();
        move(available.center() - QPoint(width() / 2, height() / 2));
    }
}

void CoverFlowWindow::closeEvent(QCloseEvent *event)
{
    // The view leaves first, so that a build still running applies nothing.
    m_view->shutDown();
    m_view->hide();
    m_view->deleteLater();
    m_model->setShowCoverFlow(false);
    if (s_current == this)
        s_current = nullptr;
    event->accept();
}
