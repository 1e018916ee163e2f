// The desktop's reduce-motion setting, read from a fake desktop portal on a
// private session bus: asked once, without waiting, and in force once answered.

#include "platform/motion.h"
#include "support/privatebus.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QElapsedTimer>
#include <gtest/gtest.h>
#include <cstdlib>

using namespace Qt::StringLiterals;

namespace {

// Answers Settings.Read as the portal does: the value wrapped in two variants.
class FakePortal : public QDBusVirtualObject
{
public:
    bool animations = false;
    QStringList asked;

    QString introspect(const QString &) const override { return QString(); }
    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override
    {
        if (message.interface() != u"org.freedesktop.portal.Settings"_s || message.member() != u"Read"_s)
            return false;
        const QList<QVariant> arguments = message.arguments();
        for (const QVariant &argument : arguments)
            asked.append(argument.toString());
        const QVariant inner = QVariant::fromValue(QDBusVariant(animations));
        connection.send(message.createReply(QVariant::fromValue(QDBusVariant(inner))));
        return true;
    }
};

} // namespace

TEST(Motion, theDesktopsSettingIsAskedOnceAndFollowedOnceAnswered)
{
    PrivateBus bus;
    if (!bus.start())
        GTEST_SKIP() << "dbus-daemon is not installed";
    // The session bus of this process is the private one (set before its first use).
    setenv("DBUS_SESSION_BUS_ADDRESS", bus.address().toUtf8().constData(), 1);
    QDBusConnection service = QDBusConnection::connectToBus(bus.address(), u"fake-portal"_s);
    FakePortal portal;
    ASSERT_TRUE(service.registerVirtualObject(u"/org/freedesktop/portal/desktop"_s, &portal));
    ASSERT_TRUE(service.registerService(u"org.freedesktop.portal.Desktop"_s));

    motion::setReduceMotionForTesting(true);
    EXPECT_TRUE(motion::reduceMotion()); // a fixed answer asks nobody
    motion::setReduceMotionForTesting(std::nullopt);

    EXPECT_FALSE(motion::reduceMotion()); // not answered yet: motion as usual
    QElapsedTimer clock;
    clock.start();
    while (!motion::reduceMotion() && clock.elapsed() < 10'000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_TRUE(motion::reduceMotion()); // animations are off on this desktop
    EXPECT_EQ(portal.asked, (QStringList{u"org.gnome.desktop.interface"_s, u"enable-animations"_s}));

    // Read once: the desktop is not asked again.
    motion::reduceMotion();
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    EXPECT_EQ(portal.asked.size(), 2);

    QDBusConnection::disconnectFromBus(u"fake-portal"_s);
    QDBusConnection::disconnectFromBus(u"qt_default_session_bus"_s);
}
