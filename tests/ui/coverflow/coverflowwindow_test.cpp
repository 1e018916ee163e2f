#include "ui/coverflow/coverflowwindow.h"

#include "localization/applocalizer.h"
#include "model/tavomodel.h"
#include "platform/defaults.h"
#include "platform/motion.h"
#include "ui/coverflow/flowstage.h"
#include "ui/coverflow/coverflowview.h"
#include "ui/coverflow/flowtesting.h"
#include "ui/shell/pages.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QPushButton>
#include <QSemaphore>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

using flowtesting::waitFor;

int coverFlowWindows()
{
    int n = 0;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (qobject_cast<CoverFlowWindow *>(w) && w->isVisible())
            ++n;
    return n;
}

class CoverFlowWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Defaults::clear();
        AppLocalizer::setPreferredLanguages([] { return QStringList{u"pl-PL"_s}; });
        model = std::make_unique<TavoModel>([] { return QList<Device>(); }, false);
        model->setDeviceTracks(flowtesting::albums(6, false));
        model->setShowCoverFlow(true);
    }
    void TearDown() override
    {
        if (CoverFlowWindow *open = CoverFlowWindow::current())
            open->close();
        waitFor([] { return coverFlowWindows() == 0; }, 2000);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        model.reset();
        AppLocalizer::setPreferredLanguages({});
        Defaults::clear();
    }

    std::unique_ptr<TavoModel> model;
};

} // namespace

TEST_F(CoverFlowWindowTest, opensOneCentredWindowOfItsOwnSize)
{
    sheets::presentCoverFlow(model.get());
    CoverFlowWindow *window = CoverFlowWindow::current();
    ASSERT_TRUE(window);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), u"Cover Flow"_s);
    EXPECT_EQ(window->size(), QSize(1000, 740));
    EXPECT_EQ(window->minimumSize(), QSize(800, 640));
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_LE((window->geometry().center() - screen.center()).manhattanLength(), 2);
    // It can't be made smaller than its minimum.
    window->resize(500, 400);
    EXPECT_EQ(window->size(), QSize(800, 640));
    ASSERT_TRUE(waitFor([&] { return window->view()->items().size() == 6; }));
}

TEST_F(CoverFlowWindowTest, presentingAgainBringsTheSameWindowBack)
{
    sheets::presentCoverFlow(model.get());
    QPointer<CoverFlowWindow> window = CoverFlowWindow::current();
    ASSERT_TRUE(window);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    window->showMinimized();
    ASSERT_TRUE(waitFor([&] { return window->isMinimized(); }));
    sheets::presentCoverFlow(model.get());
    EXPECT_EQ(CoverFlowWindow::current(), window.data());
    EXPECT_FALSE(window->isMinimized());
    EXPECT_EQ(coverFlowWindows(), 1);
    // The model's request to come forward does the same.
    window->showMinimized();
    ASSERT_TRUE(waitFor([&] { return window->isMinimized(); }));
    emit model->coverFlowRaiseRequested();
    EXPECT_FALSE(window->isMinimized());
    EXPECT_EQ(coverFlowWindows(), 1);
}

TEST_F(CoverFlowWindowTest, closingTellsTheModelAndAReopenedWindowStartsAfresh)
{
    sheets::presentCoverFlow(model.get());
    QPointer<CoverFlowWindow> first = CoverFlowWindow::current();
    ASSERT_TRUE(first);
    ASSERT_TRUE(waitFor([&] { return first->view()->items().size() == 6; }));
    first->view()->select(4);
    first->close();
    EXPECT_FALSE(model->showCoverFlow());
    EXPECT_EQ(CoverFlowWindow::current(), nullptr);
    ASSERT_TRUE(waitFor([&] { return first.isNull(); }));

    model->setShowCoverFlow(true);
    sheets::presentCoverFlow(model.get());
    CoverFlowWindow *second = CoverFlowWindow::current();
    ASSERT_TRUE(second);
    EXPECT_EQ(second->size(), QSize(1000, 740));
    EXPECT_TRUE(second->view()->items().isEmpty()); // built anew…
    ASSERT_TRUE(waitFor([&] { return second->view()->items().size() == 6; }));
    EXPECT_EQ(second->view()->index(), 0); // …without the album centred before
}

TEST_F(CoverFlowWindowTest, closingWhileTheListIsBuiltAppliesNothing)
{
    sheets::presentCoverFlow(model.get());
    QPointer<CoverFlowWindow> window = CoverFlowWindow::current();
    ASSERT_TRUE(window);
    QPointer<CoverFlowView> view = window->view();
    auto release = std::make_shared<QSemaphore>();
    auto started = std::make_shared<std::atomic<bool>>(false);
    view->setPreparation([release, started](const QList<Track> &tracks) {
        started->store(true);
        release->acquire();
        return FlowAlbum::prepare(tracks);
    });
    bool applied = false;
    QObject::connect(view, &CoverFlowView::itemsApplied, [&] { applied = true; });
    ASSERT_TRUE(waitFor([&] { return started->load(); }));
    window->close();
    EXPECT_FALSE(model->showCoverFlow());
    ASSERT_TRUE(waitFor([&] { return view.isNull() && window.isNull(); }));
    release->release();
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 200)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    EXPECT_FALSE(applied);
}

TEST_F(CoverFlowWindowTest, theCloseButtonClosesTheWindow)
{
    sheets::presentCoverFlow(model.get());
    QPointer<CoverFlowWindow> window = CoverFlowWindow::current();
    ASSERT_TRUE(window);
    QPushButton *close = nullptr;
    for (QPushButton *b : window->findChildren<QPushButton *>())
        if (b->text() == u"Zamknij"_s)
            close = b;
    ASSERT_TRUE(close);
    QTest::mouseClick(close, Qt::LeftButton);
    EXPECT_FALSE(model->showCoverFlow());
    ASSERT_TRUE(waitFor([&] { return window.isNull(); }));
}

TEST_F(CoverFlowWindowTest, theDesktopsReduceMotionTurnsTheAnimationOff)
{
    for (bool reduce : {true, false}) {
        motion::setReduceMotionForTesting(reduce);
        sheets::presentCoverFlow(model.get());
        QPointer<CoverFlowWindow> window = CoverFlowWindow::current();
        ASSERT_TRUE(window);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
        CoverFlowView *view = window->view();
        ASSERT_TRUE(waitFor([&] { return view->items().size() == 6; }));
        view->select(3);
        EXPECT_EQ(view->stage()->moving(), !reduce);
        ASSERT_TRUE(waitFor([&] { return !view->stage()->moving(); }));
        EXPECT_EQ(view->stage()->position(), 3.0);
        window->close();
        ASSERT_TRUE(waitFor([&] { return window.isNull(); }));
        model->setShowCoverFlow(true);
    }
    motion::setReduceMotionForTesting(std::nullopt);
}
