#include "platform/display.h"

#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QSet>
#include <QTemporaryDir>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using display::Choice;

namespace {

// A system where exactly these sockets accept connections.
display::SocketProbe listening(const QStringList &sockets)
{
    const QSet<QString> open(sockets.begin(), sockets.end());
    return [open](const QString &path) { return open.contains(path); };
}

} // namespace

TEST(Display, TheDisplayToStartOnFollowsTheSocketsThatAnswer)
{
    const QString run = u"/run/user/1000"_s;
    const QString x0 = u"/tmp/.X11-unix/X0"_s;
    const QString wayland = run + u"/wayland-0"_s;
    const struct {
        display::Environment environment;
        QStringList answering;
        Choice expected;
        const char *why;
    } cases[] = {
        {{}, {x0, wayland}, Choice::none, "nothing names a display"},
        {{u"offscreen"_s, {}, {}, {}}, {}, Choice::asConfigured, "an explicit platform is Qt's business"},
        {{u"wayland"_s, u"wayland-0"_s, run, {}}, {}, Choice::asConfigured, "even one that will not start"},
        {{{}, {}, {}, u":0"_s}, {x0}, Choice::asConfigured, "X answers"},
        {{{}, {}, {}, u":0.0"_s}, {x0}, Choice::asConfigured, "a screen number"},
        {{{}, {}, {}, u"unix:0"_s}, {x0}, Choice::asConfigured, "the unix: form"},
        {{{}, {}, {}, u":0"_s}, {u"@/tmp/.X11-unix/X0"_s}, Choice::asConfigured, "only the abstract socket"},
        {{{}, {}, {}, u":0"_s}, {}, Choice::none, "a stale DISPLAY"},
        {{{}, {}, {}, u":1"_s}, {x0}, Choice::none, "another display's socket"},
        {{{}, {}, {}, u"localhost:10.0"_s}, {}, Choice::asConfigured, "a forwarded X display is not tried"},
        {{{}, {}, {}, u"nonsense"_s}, {x0}, Choice::none, "no display number"},
        {{{}, {}, {}, u":x"_s}, {x0}, Choice::none, "a display number that is none"},
        {{{}, u"wayland-0"_s, run, {}}, {wayland}, Choice::wayland, "a Wayland-only session"},
        {{{}, u"wayland-0"_s, run, u":0"_s}, {wayland}, Choice::wayland, "Wayland with a stale DISPLAY"},
        {{{}, u"wayland-0"_s, run, u":0"_s}, {wayland, x0}, Choice::asConfigured, "Wayland with XWayland"},
        {{{}, u"/tmp/w/wl"_s, {}, {}}, {u"/tmp/w/wl"_s}, Choice::wayland, "a socket given by its path"},
        {{{}, u"wayland-0"_s, {}, {}}, {wayland, u"wayland-0"_s}, Choice::none, "a name with no runtime folder"},
        {{{}, u"wayland-1"_s, run, {}}, {wayland}, Choice::none, "a stale WAYLAND_DISPLAY"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(display::choose(c.environment, listening(c.answering)), c.expected) << c.why;
}

TEST(Display, ASocketAnswersOnlyWhileItsServerListens)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(u"wayland-0"_s);
    EXPECT_FALSE(display::socketAnswers(path));
    {
        QLocalServer server;
        server.setSocketOptions(QLocalServer::UserAccessOption);
        ASSERT_TRUE(server.listen(path));
        EXPECT_TRUE(display::socketAnswers(path));
        const display::Environment session{{}, u"wayland-0"_s, dir.path(), u":99"_s};
        EXPECT_EQ(display::choose(session, display::socketAnswers), Choice::wayland);
    }
    // The file a crashed server leaves behind answers nothing.
    const QByteArray stale = QFile::encodeName(dir.filePath(u"stale"_s));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, stale.constData(), std::size_t(stale.size()));
    ASSERT_EQ(::bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address), 0);
    ::close(fd);
    ASSERT_TRUE(QFileInfo::exists(dir.filePath(u"stale"_s)));
    EXPECT_FALSE(display::socketAnswers(dir.filePath(u"stale"_s)));
    EXPECT_FALSE(display::socketAnswers(QString()));
    EXPECT_FALSE(display::socketAnswers(u"/"_s + QString(200, u'x'))); // longer than a socket address holds
}
