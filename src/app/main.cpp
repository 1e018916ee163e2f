#include "ui/shell/appsession.h"
#include "ui/shell/mainwindow.h"

#include <QApplication>
#include <QIcon>
#include <cstdio>
#include <cstdlib>

using namespace Qt::StringLiterals;

namespace {

bool set(const char *name)
{
    const char *value = std::getenv(name);
    return value && *value;
}

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

    AppSession session;
    session.window()->show();
    return app.exec();
}
