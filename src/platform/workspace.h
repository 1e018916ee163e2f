#pragma once

// The desktop: opening addresses in their application and showing files in the
// file manager. One interface, so the model and the views can be given a fake.

#include <QDBusConnection>
#include <QStringList>
#include <QUrl>
#include <functional>

class Workspace
{
public:
    // What the desktop could not do.
    enum class Failure { open, reveal };
    // Told, on the main thread, of each address the desktop could not open and
    // of each group of files it could not show; `target` is what a person
    // reads: a local path in its native form or the address.
    using FailureHandler = std::function<void(Failure failure, const QString &target)>;

    virtual ~Workspace() = default;
    // Opens a web address in the browser, a file or folder in its application.
    virtual bool openUrl(const QUrl &url) = 0;
    // Shows the files selected in the file manager. Returns at once.
    virtual void reveal(const QStringList &paths) = 0;

    // Replaces the handler of failures; an empty one forgets them.
    void setFailureHandler(FailureHandler handler) { m_failureHandler = std::move(handler); }
    const FailureHandler &failureHandler() const { return m_failureHandler; }

    // How a failure names what could not be opened: the native path of a local
    // file or folder, the address of anything else.
    static QString target(const QUrl &url);
    // How a failure names files that could not be shown: the first one, and
    // "(+n)" after it when there are more.
    static QString target(const QStringList &paths);

    // The desktop's own workspace, made on first use; lives as long as the process.
    static Workspace &system();

protected:
    void reportFailure(Failure failure, const QString &target) const
    {
        if (m_failureHandler)
            m_failureHandler(failure, target);
    }

private:
    FailureHandler m_failureHandler;
};

// The freedesktop file manager interface (org.freedesktop.FileManager1.ShowItems)
// on the session bus; without an answer (no such service, an error or no reply
// in time) the parent folders of the files are opened instead. An address the
// opener refuses, and files whose folders can't be opened either, are reported
// to the failure handler.
class DesktopWorkspace final : public Workspace
{
public:
    using Opener = std::function<bool(const QUrl &)>;

    // The session bus and QDesktopServices::openUrl.
    DesktopWorkspace();
    // Another bus and opener (tests).
    DesktopWorkspace(QDBusConnection bus, Opener opener);

    bool openUrl(const QUrl &url) override;
    void reveal(const QStringList &paths) override;

    static constexpr int revealTimeout = 5'000; // ms; a file manager may need to start

    // The folders opened when the file manager can't be asked: the parent of
    // each path, each once, in the order of the paths.
    static QList<QUrl> parentFolders(const QStringList &paths);

private:
    void openParents(const QStringList &paths);

    QDBusConnection m_bus;
    Opener m_opener;
};
