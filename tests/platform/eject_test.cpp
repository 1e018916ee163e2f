#include "support/privatebus.h"
#include "platform/eject.h"

#include "platform/errors.h"
#include "support/qtprinters.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <QVariantMap>
#include <gtest/gtest.h>
#include <mutex>

using namespace Qt::StringLiterals;

namespace {

const QString kBlock = u"/org/freedesktop/UDisks2/block_devices/sdb1"_s;
const QString kDrive = u"/org/freedesktop/UDisks2/drives/Apple_iPod_000A27001B2C3D4E"_s;
const QByteArray kTable = "28 1 8:2 / / rw - ext4 /dev/sda2 rw\n"
                          "50 28 8:17 / /media/ala/My\\040IPOD rw - vfat /dev/sdb1 rw\n"
                          "51 28 0:60 / /media/ala/scratch rw - tmpfs tmpfs rw\n";

// UDisks2 as far as ejecting needs it, answering on a private bus from its own
// thread (the ejector blocks the test's thread while it waits).
class FakeUDisks : public QDBusVirtualObject
{
public:
    QString introspect(const QString &) const override { return {}; }

    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override
    {
        std::lock_guard lock(mutex);
        calls.append(message.path() + u' ' + message.member());
        const QString member = message.member();
        const QVariantList args = message.arguments();
        QDBusMessage reply = message.createReply();
        if (member == u"ResolveDevice") {
            resolved = qdbus_cast<QVariantMap>(args.value(0).value<QDBusArgument>()).value(u"path"_s).toString();
            reply = message.createReply(QVariant::fromValue(QList<QDBusObjectPath>{QDBusObjectPath(kBlock)}));
        } else if (member == u"Unmount" && busy) {
            reply = message.createErrorReply(u"org.freedesktop.UDisks2.Error.DeviceBusy"_s,
                                             u"Error unmounting /dev/sdb1: target is busy"_s);
        } else if (member == u"Get") {
            reply = message.createReply(
                QVariant::fromValue(QDBusVariant(QVariant::fromValue(QDBusObjectPath(kDrive)))));
        } else if (member == u"GetAll") {
            reply = message.createReply(
                QVariant::fromValue(QVariantMap{{u"Ejectable"_s, ejectable}, {u"CanPowerOff"_s, true}}));
        }
        connection.send(reply);
        return true;
    }

    QStringList takeCalls()
    {
        std::lock_guard lock(mutex);
        return std::exchange(calls, {});
    }

    std::mutex mutex;
    QStringList calls;
    QString resolved;
    bool busy = false;
    bool ejectable = true;
};

class UDisksEjectorTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!bus.start())
            GTEST_SKIP() << "dbus-daemon is not installed";
        address = bus.address();

        QDBusConnection service = QDBusConnection::connectToBus(address, u"fake-udisks"_s);
        ASSERT_TRUE(service.isConnected());
        ASSERT_TRUE(service.registerVirtualObject(u"/org/freedesktop/UDisks2"_s, &fake, QDBusConnection::SubPath));
        ASSERT_TRUE(service.registerService(u"org.freedesktop.UDisks2"_s));
        // Calls reach the fake in its own thread while the ejector waits in this one.
        serviceThread.start();
        fake.moveToThread(&serviceThread);
    }

    void TearDown() override
    {
        QDBusConnection::disconnectFromBus(u"fake-udisks"_s);
        QDBusConnection::disconnectFromBus(u"ejector"_s);
        serviceThread.quit();
        serviceThread.wait();
        bus.stop();
    }

    UDisksEjector ejector()
    {
        return UDisksEjector(QDBusConnection::connectToBus(address, u"ejector"_s), [] { return kTable; });
    }

    static QString failure(UDisksEjector &ejector, const QString &mountPoint)
    {
        try {
            ejector.unmountAndEject(mountPoint);
        } catch (const TavoError &error) {
            return error.message();
        }
        return {};
    }

    PrivateBus bus;
    QString address;
    QThread serviceThread;
    FakeUDisks fake;
};

TEST_F(UDisksEjectorTest, UnmountsThenEjectsTheDrive)
{
    UDisksEjector e = ejector();
    EXPECT_NO_THROW(e.unmountAndEject(u"/media/ala/My IPOD/"_s));
    EXPECT_EQ(fake.resolved, u"/dev/sdb1"_s);
    EXPECT_EQ(fake.takeCalls(), (QStringList{
                                    u"/org/freedesktop/UDisks2/Manager ResolveDevice"_s,
                                    kBlock + u" Unmount"_s,
                                    kBlock + u" Get"_s,
                                    kDrive + u" GetAll"_s,
                                    kDrive + u" Eject"_s,
                                }));
}

TEST_F(UDisksEjectorTest, PowersOffADriveThatCannotEject)
{
    fake.ejectable = false;
    UDisksEjector e = ejector();
    EXPECT_NO_THROW(e.unmountAndEject(u"/media/ala/My IPOD"_s));
    EXPECT_EQ(fake.takeCalls().constLast(), kDrive + u" PowerOff"_s);
}

TEST_F(UDisksEjectorTest, RefusedUnmountFailsWithTheReasonAndEjectsNothing)
{
    fake.busy = true;
    UDisksEjector e = ejector();
    EXPECT_EQ(failure(e, u"/media/ala/My IPOD"_s),
              u"Nie udało się odmontować dysku: inny program używa plików z tego dysku. Zamknij je i spróbuj "
              u"ponownie."_s);
    EXPECT_EQ(fake.takeCalls().constLast(), kBlock + u" Unmount"_s);
}

TEST_F(UDisksEjectorTest, OnlyMountedDisksAreEjected)
{
    UDisksEjector e = ejector();
    for (const QString &path : {u"/media/ala/OTHER"_s, u"/media/ala/My IPOD/Music"_s, u"/"_s, u"/media/ala/scratch"_s})
        EXPECT_EQ(failure(e, path), u"Nie znaleziono dysku zamontowanego w "_s + path) << path.toStdString();
    EXPECT_EQ(fake.takeCalls(), QStringList{});
}

TEST_F(UDisksEjectorTest, MissingServiceFails)
{
    ASSERT_TRUE(QDBusConnection(u"fake-udisks"_s).unregisterService(u"org.freedesktop.UDisks2"_s));
    UDisksEjector e = ejector();
    EXPECT_EQ(failure(e, u"/media/ala/My IPOD"_s), u"Usługa UDisks2 jest niedostępna, więc nie można wysunąć dysku."_s);

    UDisksEjector noBus(QDBusConnection::connectToBus(u"unix:path=/nonexistent/bus"_s, u"nobus"_s), [] { return kTable; });
    EXPECT_EQ(failure(noBus, u"/media/ala/My IPOD"_s), u"Usługa UDisks2 jest niedostępna, więc nie można wysunąć dysku."_s);
    QDBusConnection::disconnectFromBus(u"nobus"_s);
}

TEST(UDisksObjectPath, EscapesLikeUDisks)
{
    EXPECT_EQ(UDisksEjector::objectPathElement(u"sdb1"_s), u"sdb1"_s);
    EXPECT_EQ(UDisksEjector::objectPathElement(u"dm-0"_s), u"dm_2d0"_s);
    EXPECT_EQ(UDisksEjector::objectPathElement(u"a_b.c"_s), u"a_5fb_2ec"_s);
}

} // namespace
