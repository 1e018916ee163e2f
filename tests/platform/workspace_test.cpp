#include "support/privatebus.h"
#include "platform/workspace.h"

#include "support/qtprinters.h"

#include <QDBusConnection>
#include <QEventLoop>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
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

using Failures = QList<std::pair<Workspace::Failure, QString>>;

// What the desktop would not open is told once each, named as a person reads
// it; an opener that answers is never reported.
TEST(DesktopWorkspace, WhatNothingOpensIsReported)
{
    Failures failures;
    QList<QUrl> asked;
    bool answers = false;
    DesktopWorkspace workspace(QDBusConnection::connectToBus(u"unix:path=/nonexistent/bus"_s, u"nobus-failures"_s),
                               [&](const QUrl &url) {
                                   asked.append(url);
                                   return answers;
                               });
    workspace.setFailureHandler([&](Workspace::Failure failure, const QString &target) { failures.append({failure, target}); });

    EXPECT_FALSE(workspace.openUrl(QUrl(u"https://musicbrainz.org/search?query=Kwiat Jabłoni"_s)));
    EXPECT_FALSE(workspace.openUrl(QUrl::fromLocalFile(u"/media/ala/IPOD/Źródło #1"_s)));
    workspace.reveal({u"/media/ala/IPOD/Music/A b/01 Źródło.flac"_s, u"/media/ala/IPOD/Music/A b/02.flac"_s,
                      u"/media/ala/IPOD/Music/C/03.flac"_s});
    workspace.reveal({});
    EXPECT_EQ(failures, (Failures{
                            {Workspace::Failure::open, u"https://musicbrainz.org/search?query=Kwiat Jabłoni"_s},
                            {Workspace::Failure::open, u"/media/ala/IPOD/Źródło #1"_s},
                            {Workspace::Failure::reveal, u"/media/ala/IPOD/Music/A b/01 Źródło.flac (+2)"_s},
                        }));
    // Both folders were tried before the files were reported.
    EXPECT_EQ(asked.mid(2), (QList<QUrl>{QUrl::fromLocalFile(u"/media/ala/IPOD/Music/A b"_s),
                                         QUrl::fromLocalFile(u"/media/ala/IPOD/Music/C"_s)}));

    answers = true;
    failures.clear();
    EXPECT_TRUE(workspace.openUrl(QUrl(u"https://www.rockbox.org/"_s)));
    workspace.reveal({u"/media/ala/IPOD/a.mp3"_s});
    EXPECT_TRUE(failures.isEmpty());

    // Without a handler a failure is only the answer.
    answers = false;
    workspace.setFailureHandler({});
    EXPECT_FALSE(workspace.openUrl(QUrl(u"https://www.rockbox.org/"_s)));
    QDBusConnection::disconnectFromBus(u"nobus-failures"_s);
}

// Without a file manager on the bus and no folder opened, the files are
// reported once the bus has answered, also when the workspace is gone by then.
TEST(DesktopWorkspace, FilesNoFileManagerShowsAreReportedAfterTheBusAnswers)
{
    PrivateBus bus;
    if (!bus.start())
        GTEST_SKIP() << "dbus-daemon is not installed";
    Failures failures;
    {
        DesktopWorkspace workspace(QDBusConnection::connectToBus(bus.address(), u"session-failures"_s),
                                   [](const QUrl &) { return false; });
        workspace.setFailureHandler(
            [&](Workspace::Failure failure, const QString &target) { failures.append({failure, target}); });
        workspace.reveal({u"/media/ala/IPOD/Kwiat Jabłoni.mp3"_s});
        EXPECT_TRUE(failures.isEmpty()); // the answer comes later, through the event loop
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return !failures.isEmpty(); }, 20'000));
    EXPECT_EQ(failures, (Failures{{Workspace::Failure::reveal, u"/media/ala/IPOD/Kwiat Jabłoni.mp3"_s}}));
    QDBusConnection::disconnectFromBus(u"session-failures"_s);
    bus.stop();
}

} // namespace
