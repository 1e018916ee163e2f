#pragma once

// Ground for driving the real application as a person does: a home folder of
// its own (HOME and the XDG folders, set before anything reads the settings),
// a loopback server standing in for every online service, a desktop that only
// records what it was asked to open, and the application itself built exactly
// as the entry point builds it. Helpers go to sections by clicking the
// sidebar, trigger menu actions, answer the file dialogs, wait for the model to
// come to rest and save pictures of what is shown.
//
// One walk per test: construct, start(), drive, quit(); start() again after
// quit() is the next start of the application with the same home folder.

#include "media/records.h"
#include "support/fakeworkspace.h"
#include "support/httpserver.h"

#include <QApplication>
#include <QPointer>
#include <QString>
#include <QTemporaryDir>
#include <QWidget>
#include <functional>
#include <memory>

class AppSession;
class MainWindow;
class QAbstractButton;
class QAction;
class QComboBox;
class QKeySequence;
class QDialog;
class QFileDialog;
class TavoModel;

class AppWalk
{
public:
    // A fresh, empty home folder: nothing saved, no library, no device.
    AppWalk();
    ~AppWalk();
    AppWalk(const AppWalk &) = delete;
    AppWalk &operator=(const AppWalk &) = delete;

    // --- the home folder and the services ---
    QString home() const;                            // $HOME of the walk
    QString homePath(const QString &relative) const; // home() + "/" + relative
    QString settingsFile() const;                    // the file the settings are written to
    HttpServer &server() { return m_server; }
    FakeWorkspace &workspace() { return m_workspace; }

    // --- the application ---
    // Sets the application's palette (before start(): the window takes its colours when built).
    static void usePalette(bool dark);
    // Builds the application as the entry point does, shows the main window
    // and waits until it is on screen and the start-up's device refresh ended.
    void start();
    // Closes the main window as a person does and checks that the application
    // then quits; the settings are on disk afterwards. Everything still running
    // in the background ends first.
    void quit();
    bool running() const { return m_session != nullptr; }
    TavoModel *model() const;
    MainWindow *window() const;

    // --- driving ---
    // Clicks the section's button in the sidebar.
    void goTo(Section section);
    // The menu or toolbar action with this Polish title, triggered as a click on it.
    QAction *action(const QString &polishTitle) const;
    void trigger(const QString &polishTitle);
    // Presses a keyboard shortcut in the main window, brought to the front first.
    void press(const QKeySequence &keys);
    // Chooses the interface language ("pl", "en", "system") from the Language
    // menu and waits until the window has rebuilt its content.
    void chooseLanguage(const QString &code);
    // A visible button of the main window or of an open dialog whose shown
    // text or tooltip is `text` (as shown, in the language shown); nullptr when none.
    QAbstractButton *button(const QString &text) const;
    // Clicks it (fails the test when no such button is enabled).
    void click(const QString &text);
    // Every widget of type T that is visible in the application's open windows
    // (the main window, its sheets and alerts, Cover Flow).
    template <typename T>
    QList<T *> visible() const
    {
        QList<T *> found;
        for (QWidget *top : topLevels()) {
            if (auto *self = qobject_cast<T *>(top))
                found.append(self);
            for (T *w : top->findChildren<T *>())
                if (w->isVisible() && w->window() == top)
                    found.append(w);
        }
        return found;
    }
    // The first visible widget of type T (optionally with this object name); nullptr when none.
    template <typename T>
    T *find(const QString &objectName = QString()) const
    {
        for (T *w : visible<T>())
            if (objectName.isEmpty() || w->objectName() == objectName)
                return w;
        return nullptr;
    }
    // The open window-modal dialog (sheet, alert, chooser) of type T, waiting up to `ms` for it.
    template <typename T>
    T *waitForDialog(int ms = 10'000) const
    {
        T *found = nullptr;
        waitUntil(
            [&] {
                for (T *d : dialogs<T>())
                    if (d->isVisible())
                        found = d;
                return found != nullptr;
            },
            ms);
        return found;
    }
    // Picks the item showing `text` in a closed combo box with the keyboard, as
    // a person stepping through it does (each step is an activation); false when none shows it.
    static bool chooseItem(QComboBox *combo, const QString &text);
    // Drags these files and folders from a file manager and drops them on `target`;
    // true when the target took them.
    static bool drop(QWidget *target, const QStringList &paths);
    // Answers the open file dialog with `path` (a file, or a folder for a
    // folder chooser) and its accept button; false when no dialog came.
    bool answerFileDialog(const QString &path, int ms = 10'000);
    // Cancels the open file dialog; false when no dialog came.
    bool cancelFileDialog(int ms = 10'000);

    // --- waiting ---
    // Runs the event loop until `done` holds; false after `ms`.
    static bool waitUntil(const std::function<bool()> &done, int ms = 60'000);
    // Until the model is at rest: no operation, no device refresh, no
    // collection inspection under way.
    bool waitIdle(int ms = 60'000) const;
    // Lets what is already posted run (layouts, late pictures, repaints).
    static void settle();

    // --- pictures ---
    // The folder the pictures go to: <build>/screenshots/walk.
    static QString screenshotFolder();
    // Saves the widget (the main window when null) as <folder>/<name>.png, once
    // the album covers being decoded are ready, and returns the path.
    QString grab(const QString &name, QWidget *widget = nullptr) const;

    // The application's visible windows, the main window first.
    QList<QWidget *> topLevels() const;

private:
    template <typename T>
    QList<T *> dialogs() const
    {
        QList<T *> found;
        for (QWidget *top : QApplication::topLevelWidgets())
            if (auto *d = qobject_cast<T *>(top))
                found.append(d);
        return found;
    }

    QTemporaryDir m_home;
    QByteArray m_savedHome;
    HttpServer m_server;
    FakeWorkspace m_workspace;
    std::unique_ptr<AppSession> m_session;
};
