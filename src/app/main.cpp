#include "localization/applocalizer.h"
#include "platform/display.h"
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
    // one plain line says what is wrong, in the interface's language. A
    // platform chosen explicitly (offscreen, vnc…) is left to Qt.
    switch (display::choose(display::Environment::current(), display::socketAnswers)) {
    case display::Choice::none:
        std::fputs(qPrintable(AppLocalizer::display(
                       u"Vontaro potrzebuje ekranu graficznego: nie znaleziono działającego ekranu Wayland ani X11 (uruchom program w sesji pulpitu)."_s) + u'\n'),
                   stderr);
        return 1;
    case display::Choice::wayland:
        // X is gone or stale; Qt would try it first in some desktops.
        qputenv("QT_QPA_PLATFORM", "wayland");
        break;
    case display::Choice::asConfigured:
        break;
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
