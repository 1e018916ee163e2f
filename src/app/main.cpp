#include "model/tavomodel.h"
#include "platform/workspace.h"
#include "ui/shell/filechoosers.h"
#include "ui/shell/mainwindow.h"

#include <QApplication>
#include <QIcon>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

using namespace Qt::StringLiterals;

namespace {

bool set(const char *name)
{
    const char *value = std::getenv(name);
    return value && *value;
}

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

int main(int argc, char **argv)
{
    // Without a display Qt aborts with a long message about platform plugins;
    // one plain line says what is wrong. A platform chosen explicitly
    // (offscreen, vnc…) is left to Qt.
    if (!set("DISPLAY") && !set("WAYLAND_DISPLAY") && !set("QT_QPA_PLATFORM")) {
        std::fputs("Vontaro needs a graphical display: no DISPLAY or WAYLAND_DISPLAY is set "
                   "(start it from a desktop session).\n",
                   stderr);
        return 1;
    }
    // Tracks play through FFmpeg, which reads every format the library holds.
    if (!set("QT_MEDIA_BACKEND"))
        qputenv("QT_MEDIA_BACKEND", "ffmpeg");
    QApplication app(argc, argv);
    QApplication::setApplicationName(u"Vontaro"_s);
    QApplication::setWindowIcon(QIcon(u":/icons/app.svg"_s));

    // The one model of the application: it restores the saved library in the
    // background and follows the volumes being mounted and unmounted.
    TavoModel model(TavoModel::defaultDeviceDiscovery, true);
    MainWindow window(&model, &Workspace::system());
    filechoosers::install(&model, &window);
    window.show();
    // Closing the main window quits, also while a Cover Flow window is open.
    QuitOnClose quitOnClose;
    window.installEventFilter(&quitOnClose);
    return app.exec();
}
