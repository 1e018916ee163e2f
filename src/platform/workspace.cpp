#include "platform/workspace.h"

#include "platform/paths.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDesktopServices>

using namespace Qt::StringLiterals;

Workspace &Workspace::system()
{
    // Never destroyed: a D-Bus connection must not outlive the application object.
    static auto *workspace = new DesktopWorkspace;
    return *workspace;
}

DesktopWorkspace::DesktopWorkspace()
    : DesktopWorkspace(QDBusConnection::sessionBus(), [](const QUrl &url) { return QDesktopServices::openUrl(url); })
{
}

DesktopWorkspace::DesktopWorkspace(QDBusConnection bus, Opener opener)
    : m_bus(std::move(bus)), m_opener(std::move(opener))
{
}

bool DesktopWorkspace::openUrl(const QUrl &url)
{
    return m_opener ? m_opener(url) : false;
}

QList<QUrl> DesktopWorkspace::parentFolders(const QStringList &paths)
{
    QList<QUrl> folders;
    for (const QString &path : paths) {
        const QUrl folder = QUrl::fromLocalFile(paths::parent(paths::standardized(path)));
        if (!folders.contains(folder))
            folders.append(folder);
    }
    return folders;
}

void DesktopWorkspace::openParents(const QStringList &paths)
{
    for (const QUrl &folder : parentFolders(paths))
        openUrl(folder);
}

void DesktopWorkspace::reveal(const QStringList &paths)
{
    if (paths.isEmpty())
        return;
    if (!m_bus.isConnected()) {
        openParents(paths);
        return;
    }
    QStringList uris;
    for (const QString &path : paths)
        uris.append(QUrl::fromLocalFile(paths::standardized(path)).toString(QUrl::FullyEncoded));
    QDBusMessage message = QDBusMessage::createMethodCall(
        u"org.freedesktop.FileManager1"_s, u"/org/freedesktop/FileManager1"_s, u"org.freedesktop.FileManager1"_s,
        u"ShowItems"_s);
    message.setArguments({uris, QString()});

    // Asked without waiting: the answer (or its time-out) arrives through the
    // event loop, and only a failure needs anything more.
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(message, revealTimeout));
    const Opener opener = m_opener;
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher, [watcher, opener, paths] {
        if (watcher->isError() && opener) {
            for (const QUrl &folder : parentFolders(paths))
                opener(folder);
        }
        watcher->deleteLater();
    });
}
