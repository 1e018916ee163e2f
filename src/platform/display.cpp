#include "platform/display.h"

#include <QFile>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace display {
namespace {

QString variable(const char *name)
{
    return qEnvironmentVariable(name);
}

bool waylandAnswers(const Environment &environment, const SocketProbe &answers)
{
    const QString name = environment.waylandDisplay;
    if (name.isEmpty())
        return false;
    if (name.startsWith(u'/'))
        return answers(name);
    if (environment.runtimeDir.isEmpty())
        return false;
    return answers(environment.runtimeDir + u'/' + name);
}

bool x11Answers(const QString &display, const SocketProbe &answers)
{
    if (display.isEmpty())
        return false;
    // [host]:number[.screen]; no host or "unix" is this computer's socket.
    const qsizetype colon = display.lastIndexOf(u':');
    if (colon < 0)
        return false;
    const QString host = display.left(colon);
    if (!host.isEmpty() && host != u"unix")
        return true;
    QString number = display.mid(colon + 1);
    number = number.left(number.indexOf(u'.') < 0 ? number.size() : number.indexOf(u'.'));
    bool ok = false;
    number.toUInt(&ok);
    if (!ok)
        return false;
    const QString socket = u"/tmp/.X11-unix/X"_s + number;
    return answers(socket) || answers(u'@' + socket);
}

} // namespace

Environment Environment::current()
{
    return {variable("QT_QPA_PLATFORM"), variable("WAYLAND_DISPLAY"), variable("XDG_RUNTIME_DIR"), variable("DISPLAY")};
}

Choice choose(const Environment &environment, const SocketProbe &answers)
{
    if (!environment.platform.isEmpty())
        return Choice::asConfigured;
    if (x11Answers(environment.x11Display, answers))
        return Choice::asConfigured;
    if (waylandAnswers(environment, answers))
        return Choice::wayland;
    return Choice::none;
}

bool socketAnswers(const QString &path)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray name = QFile::encodeName(path);
    if (name.isEmpty() || std::size_t(name.size()) >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, name.constData(), std::size_t(name.size()));
    if (name.startsWith('@'))
        address.sun_path[0] = '\0'; // abstract: no file, a leading zero byte
    const socklen_t length = socklen_t(offsetof(sockaddr_un, sun_path) + std::size_t(name.size()));
    // Non-blocking: a server whose queue is full answers EAGAIN instead of
    // holding the start up; it is there all the same.
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return false;
    const bool answered = ::connect(fd, reinterpret_cast<const sockaddr *>(&address), length) == 0 || errno == EAGAIN;
    ::close(fd);
    return answered;
}

} // namespace display
