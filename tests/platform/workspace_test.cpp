#include "support/privatebus.h"
#include "platform/workspace.h"

#include "support/qtprinters.h"

#include <QDBusConnection>
#include <QEventLoop>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

TEST(DesktopWorkspace, ParentFoldersAreOpenedOnceEach)
{
    EXPECT_EQ(DesktopWorkspace::parentFolders({u"/m/A/a.mp3"_s, u"/m/B/b.mp3"_s, u"/m/A/c.mp3"_s, u"/m/B/"_s}),
              (QList<QUrl>{QUrl::fromLocalFile(u"/m/A"_s), QUrl::fromLocalFile(u"/m/B"_s), QUrl::fromLocalFile(u"/m"_s)}));
}

TEST(DesktopWorkspace, WithoutABusTheParentFolderIsOpened)
{
    QList<QUrl> opened;
    DesktopWorkspace workspace(QDBusConnection::connectToBus(u"unix:path=/nonexistent/bus"_s, u"nobus"_s),
                               [&](const QUrl &url) { opened.append(url); return true; });
    workspace.reveal({u"/media/ala/IPOD/Music/A b/01.flac"_s});
    EXPECT_EQ(opened, QList<QUrl>{QUrl::fromLocalFile(u"/media/ala/IPOD/Music/A b"_s)});
    EXPECT_TRUE(workspace.openUrl(QUrl(u"https://www.rockbox.org/"_s)));
    EXPECT_EQ(opened.constLast(), QUrl(u"https://www.rockbox.org/"_s));
    QDBusConnection::disconnectFromBus(u"nobus"_s);
}

TEST(DesktopWorkspace, WithoutAFileManagerTheParentFolderIsOpened)
{
    PrivateBus bus;
    if (!bus.start())
        GTEST_SKIP() << "dbus-daemon is not installed";
    const QString address = bus.address();
    {
        QEventLoop loop;
        QList<QUrl> opened;
        DesktopWorkspace workspace(QDBusConnection::connectToBus(address, u"session"_s), [&](const QUrl &url) {
            opened.append(url);
            loop.quit();
            return true;
        });
        workspace.reveal({u"/media/ala/IPOD/a.mp3"_s});
        EXPECT_TRUE(opened.isEmpty()); // the answer comes later, through the event loop
        QTimer::singleShot(20'000, &loop, &QEventLoop::quit); // only a guard against a hang
        loop.exec();
        EXPECT_EQ(opened, QList<QUrl>{QUrl::fromLocalFile(u"/media/ala/IPOD"_s)});
    }
    QDBusConnection::disconnectFromBus(u"session"_s);
    bus.stop();
}

} // namespace
