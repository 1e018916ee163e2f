#include "support/appwalk.h"

#include "media/coversearch.h"
#include "model/modeltasks.h"
#include "model/tavomodel.h"
#include "platform/appfolders.h"
#include "platform/defaults.h"
#include "platform/http.h"
#include "ui/kit/kit.h"
#include "ui/library/covercache.h"
#include "ui/shell/appsession.h"
#include "ui/shell/mainwindow.h"
#include "ui/shell/sidebar.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDropEvent>
#include <QMimeData>
#include <QAction>
#include <QDialogButtonBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>
#include <QThreadPool>
#include <QTimer>
#include <cstdlib>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

void setVariable(const char *name, const QString &value)
{
    QDir().mkpath(value);
    setenv(name, value.toUtf8().constData(), 1);
}

} // namespace

AppWalk::AppWalk()
{
    EXPECT_TRUE(m_home.isValid());
    m_savedHome = qgetenv("HOME");
    // Everything the application finds through the home folder (the file
    // dialogs' first folder, the settings, Application Support, caches) lives
    // in this one, set before anything of the walk reads the settings.
    setVariable("HOME", home());
    setVariable("XDG_CONFIG_HOME", homePath(u".config"_s));
    setVariable("XDG_DATA_HOME", homePath(u".local/share"_s));
    setVariable("XDG_CACHE_HOME", homePath(u".cache"_s));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, homePath(u".config"_s));
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, homePath(u".config"_s));
    Defaults::reload();
    AppFolders::setApplicationSupportOverride(QString());
    // Every online service answers from the loopback server; nothing reaches the internet.
    ServiceBase::setThemeGallery(m_server.base());
    ServiceBase::setMusicBrainz(m_server.base());
    ServiceBase::setCoverArtArchive(m_server.base());
    // The spacing of searches is a courtesy to the public service; the loopback one needs none.
    CoverSearch::shared().resetForTesting();
    CoverSearch::shared().setTimingForTesting({std::chrono::milliseconds(0), std::chrono::milliseconds(10)});
}

AppWalk::~AppWalk()
{
    if (m_session) {
        for (QWidget *top : QApplication::topLevelWidgets())
            if (top != window() && top->isVisible())
                top->close();
        settle();
        m_session.reset();
    }
    // Requests and file work still under way end while the server is still there.
    ModelTasks::networkPool()->waitForDone(60'000);
    QThreadPool::globalInstance()->waitForDone(60'000);
    settle();
    Defaults::flush();
    ServiceBase::reset();
    CoverSearch::shared().resetForTesting();
    if (m_savedHome.isNull())
        unsetenv("HOME");
    else
        setenv("HOME", m_savedHome.constData(), 1);
}

QString AppWalk::home() const { return m_home.path(); }

QString AppWalk::homePath(const QString &relative) const { return QDir(home()).filePath(relative); }

QString AppWalk::settingsFile() const { return homePath(u".config/Vontaro/Vontaro.conf"_s); }

void AppWalk::usePalette(bool dark) { QApplication::setPalette(dark ? kit::darkPalette() : kit::lightPalette()); }

void AppWalk::start()
{
    ASSERT_FALSE(m_session) << "the application is already running";
    // A new start reads the settings from the file, as a new process would.
    Defaults::reload();
    m_session = std::make_unique<AppSession>([] { return QList<Device>(); }, &m_workspace);
    window()->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window()));
    ASSERT_TRUE(waitUntil([&] { return !model()->refreshing(); }));
}

void AppWalk::quit()
{
    ASSERT_TRUE(m_session);
    ASSERT_TRUE(waitIdle());
    // The close button of the window: the application quits from its event loop.
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, qApp, [] { QCoreApplication::exit(1); });
    window()->close();
    watchdog.start(10'000);
    EXPECT_EQ(QCoreApplication::exec(), 0) << "closing the main window did not quit";
    m_session.reset();
    ModelTasks::networkPool()->waitForDone(60'000);
    QThreadPool::globalInstance()->waitForDone(60'000);
    settle();
    Defaults::flush();
}

TavoModel *AppWalk::model() const { return m_session ? m_session->model() : nullptr; }

MainWindow *AppWalk::window() const { return m_session ? m_session->window() : nullptr; }

void AppWalk::goTo(Section section)
{
    ASSERT_TRUE(window());
    SectionButton *button = window()->sidebar()->button(section);
    ASSERT_TRUE(button && button->isVisible());
    QTest::mouseClick(button, Qt::LeftButton);
    ASSERT_EQ(model()->section(), section);
    settle();
}

QAction *AppWalk::action(const QString &polishTitle) const { return window() ? window()->action(polishTitle) : nullptr; }

void AppWalk::trigger(const QString &polishTitle)
{
    QAction *a = action(polishTitle);
    ASSERT_TRUE(a) << qPrintable(polishTitle);
    ASSERT_TRUE(a->isEnabled()) << qPrintable(polishTitle);
    a->trigger();
}

void AppWalk::press(const QKeySequence &keys)
{
    ASSERT_TRUE(window());
    window()->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(window()));
    QTest::keySequence(window(), keys);
}

void AppWalk::chooseLanguage(const QString &code)
{
    static const QMap<QString, QString> titles{
        {u"pl"_s, u"Polski"_s}, {u"en"_s, u"English"_s}, {u"system"_s, u"Zgodnie z systemem"_s}};
    ASSERT_TRUE(titles.contains(code));
    QSignalSpy rebuilt(window(), &MainWindow::rebuilt);
    const bool changes = Defaults::string(u"appLanguage"_s).value_or(u"system"_s) != code;
    trigger(titles.value(code));
    if (changes) {
        ASSERT_TRUE(rebuilt.count() > 0 || rebuilt.wait(10'000));
    }
    settle();
}

QList<QWidget *> AppWalk::topLevels() const
{
    QList<QWidget *> tops;
    if (window() && window()->isVisible())
        tops.append(window());
    for (QWidget *top : QApplication::topLevelWidgets())
        if (top != window() && top->isVisible())
            tops.append(top);
    return tops;
}

QAbstractButton *AppWalk::button(const QString &text) const
{
    for (QAbstractButton *b : visible<QAbstractButton>()) {
        QString shown = b->text();
        shown.remove(u'&');
        if (shown == text || b->toolTip() == text)
            return b;
    }
    return nullptr;
}

void AppWalk::click(const QString &text)
{
    QAbstractButton *b = button(text);
    ASSERT_TRUE(b) << "no button " << qPrintable(text);
    ASSERT_TRUE(b->isEnabled()) << "button disabled: " << qPrintable(text);
    QTest::mouseClick(b, Qt::LeftButton);
}

bool AppWalk::chooseItem(QComboBox *combo, const QString &text)
{
    if (!combo || combo->findText(text) < 0)
        return false;
    combo->setFocus();
    QTest::keyClick(combo, Qt::Key_Home);
    for (int step = 0; step < combo->count() && combo->currentText() != text; ++step)
        QTest::keyClick(combo, Qt::Key_Down);
    // What was chosen may rebuild the window, this combo box with it.
    const bool reached = combo->currentText() == text;
    settle();
    return reached;
}

bool AppWalk::drop(QWidget *target, const QStringList &paths)
{
    QMimeData mime;
    QList<QUrl> urls;
    for (const QString &path : paths)
        urls.append(QUrl::fromLocalFile(path));
    mime.setUrls(urls);
    const QPoint at = target->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    if (!enter.isAccepted())
        return false;
    QDragMoveEvent move(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &move);
    QDropEvent dropped(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &dropped);
    return dropped.isAccepted();
}

bool AppWalk::answerFileDialog(const QString &path, int ms)
{
    QFileDialog *dialog = waitForDialog<QFileDialog>(ms);
    if (!dialog)
        return false;
    const QFileInfo info(path);
    // As a person does: go to the folder that holds it, name it, press the accept button.
    dialog->setDirectory(info.absolutePath());
    dialog->selectFile(info.fileName());
    if (auto *name = dialog->findChild<QLineEdit *>(u"fileNameEdit"_s))
        name->setText(info.fileName());
    auto *box = dialog->findChild<QDialogButtonBox *>();
    QPushButton *accept = box ? qobject_cast<QPushButton *>(box->buttons().value(0)) : nullptr;
    for (QAbstractButton *b : box ? box->buttons() : QList<QAbstractButton *>())
        if (box->buttonRole(b) == QDialogButtonBox::AcceptRole)
            accept = qobject_cast<QPushButton *>(b);
    QPointer<QFileDialog> open(dialog);
    if (accept && accept->isEnabled())
        QTest::mouseClick(accept, Qt::LeftButton);
    else
        QMetaObject::invokeMethod(dialog, "accept");
    return waitUntil([&] { return !open || !open->isVisible(); }, ms);
}

bool AppWalk::cancelFileDialog(int ms)
{
    QFileDialog *dialog = waitForDialog<QFileDialog>(ms);
    if (!dialog)
        return false;
    QPointer<QFileDialog> open(dialog);
    QTest::keyClick(dialog, Qt::Key_Escape);
    return waitUntil([&] { return !open || !open->isVisible(); }, ms);
}

bool AppWalk::waitUntil(const std::function<bool()> &done, int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return true;
}

bool AppWalk::waitIdle(int ms) const
{
    return waitUntil(
        [&] {
            TavoModel *m = model();
            return !m || (!m->busy() && !m->refreshing() && !m->inspectingCollection() && !m->ejecting());
        },
        ms);
}

void AppWalk::settle()
{
    for (int i = 0; i < 5; ++i) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
}

QString AppWalk::screenshotFolder()
{
    const QString folder = QStringLiteral(VONTARO_BUILD_DIR "/screenshots/walk");
    QDir().mkpath(folder);
    return folder;
}

QString AppWalk::grab(const QString &name, QWidget *widget) const
{
    QWidget *shown = widget ? widget : window();
    // The covers of the albums shown are decoded off the main thread: the picture waits for them.
    waitUntil([] { return CoverCache::shared().pending() == 0; }, 10'000);
    settle();
    const QString path = screenshotFolder() + u'/' + name + u".png"_s;
    EXPECT_TRUE(shown && shown->grab().save(path)) << qPrintable(path);
    return path;
}
