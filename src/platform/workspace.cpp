#include "platform/workspace.h"

#include "platform/paths.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDesktopServices>
#include <QDir>

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

QString Workspace::target(const QUrl &url)
{
    if (url.isLocalFile())
        return QDir::toNativeSeparators(url.toLocalFile());
    return url.toDisplayString();
}

QString Workspace::target(const QStringList &paths)
{
    if (paths.isEmpty())
        return {};
    QString first = QDir::toNativeSeparators(paths.constFirst());
    if (paths.size() > 1)
        first += u" (+%1)"_s.arg(paths.size() - 1);
    return first;
}

bool DesktopWorkspace::openUrl(const QUrl &url)
{
    const bool opened = m_opener && m_opener(url);
    if (!opened)
        reportFailure(Failure::open, target(url));
    return opened;
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

namespace {

// Opens every parent folder; false when any could not be opened.
bool openFolders(const DesktopWorkspace::Opener &opener, const QStringList &paths)
{
    bool all = true;
    for (const QUrl &folder : DesktopWorkspace::parentFolders(paths)) {
        if (!opener || !opener(folder))
            all = false;
    }
    return all;
}

} // namespace

void DesktopWorkspace::openParents(const QStringList &paths)
{
    if (!openFolders(m_opener, paths))
        reportFailure(Failure::reveal, target(paths));
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
    // The answer may come after this workspace is gone: it keeps what it needs.
    const Opener opener = m_opener;
    const FailureHandler failed = failureHandler();
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher, [watcher, opener, failed, paths] {
        if (watcher->isError() && !openFolders(opener, paths) && failed)
            failed(Failure::reveal, target(paths));
        watcher->deleteLater();
    });
}
