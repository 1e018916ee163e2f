#include "ui/coverflow/coverflowwindow.h"

#include "model/tavomodel.h"
#include "platform/motion.h"
#include "ui/coverflow/coverflowview.h"
#include "ui/kit/kit.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>

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
    // It opens on the screen of the window it was asked from, sized for that
    // screen's free area, so a small laptop screen beside a large monitor
    // gets a window that fits it.
    QScreen *screen = QGuiApplication::primaryScreen();
    if (const QWidget *asking = QApplication::activeWindow())
        screen = asking->screen();
    if (screen)
        setScreen(screen);
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

    if (screen) {
        const QRect available = screen->availableGeometry();
        // Centred, yet with its title bar (a window's position is its frame's)
        // and its bottom within the free area where it barely fits.
        QPoint topLeft = available.center() - QPoint(width() / 2, height() / 2);
        topLeft.setY(std::min(topLeft.y(), available.bottom() + 1 - height() - kit::assumedTitleBar));
        topLeft.setY(std::max(topLeft.y(), available.top()));
        move(topLeft);
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
