#pragma once

// Whether the application has a graphical display to start on, decided before
// Qt is asked: Qt ends a start without one in an abort with a long message about
// platform plugins, and a Wayland session without X (or with a stale DISPLAY)
// must go to Qt's Wayland platform, which Qt does not pick by itself in every
// desktop.

#include <QString>
#include <functional>

namespace display {

// The environment's values that name a display; empty when unset.
struct Environment {
    QString platform;       // QT_QPA_PLATFORM
    QString waylandDisplay; // WAYLAND_DISPLAY: a socket name in runtimeDir, or a path
    QString runtimeDir;     // XDG_RUNTIME_DIR
    QString x11Display;     // DISPLAY, e.g. ":0", "unix:1.0", "host:10.0"

    static Environment current();
};

enum class Choice {
    asConfigured, // a platform is chosen explicitly, or X answers: Qt decides
    wayland,      // only Wayland answers: Qt's Wayland platform is chosen
    none,         // no display answers
};

// Whether a local socket at `path` accepts a connection; a name starting with
// '@' is an abstract socket.
using SocketProbe = std::function<bool(const QString &path)>;

// The display to start on. A Wayland display answers when its socket does; an
// X display on this computer when its socket in /tmp/.X11-unix (or the abstract
// one of that name) does; an X display on another host is taken as answering,
// since trying it could wait on the network.
Choice choose(const Environment &environment, const SocketProbe &answers);

// The probe of the running system: connect() to the socket, closed at once.
bool socketAnswers(const QString &path);

} // namespace display
