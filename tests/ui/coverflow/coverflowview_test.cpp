#include "ui/coverflow/coverflowview.h"

#include "localization/applocalizer.h"
#include "model/tavomodel.h"
#include "platform/defaults.h"
#include "ui/coverflow/flowgeometry.h"
#include "ui/coverflow/flowpictures.h"
#include "ui/coverflow/flowstage.h"
#include "ui/coverflow/flowtesting.h"
#include "ui/kit/kit.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSemaphore>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

using namespace Qt::StringLiterals;
using flowtesting::track;

namespace {

// A button's shortcut clicks it the way a mouse would, with the release a
// moment (100 ms) after the press: the key has acted once that has passed.
void key(QWidget &widget, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);

using flowtesting::waitFor;

void pause(int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

void key(QWidget &widget, int key, Qt::KeyboardModifiers modifiers)
{
    QTest::keyClick(&widget, Qt::Key(key), modifiers);
    pause(160);
}

QPushButton *buttonWithText(QWidget &root, const QString &text)
{
    for (QPushButton *b : root.findChildren<QPushButton *>())
        if (b->text() == text)
            return b;
    return nullptr;
}

// The two arrow buttons: those with an icon and no text, left one first.
std::pair<QPushButton *, QPushButton *> arrows(QWidget &root)
{
    QList<QPushButton *> found;
    for (QPushButton *b : root.findChildren<QPushButton *>())
        if (b->text().isEmpty())
            found.append(b);
    std::sort(found.begin(), found.end(), [](QPushButton *a, QPushButton *b) { return a->x() < b->x(); });
    return found.size() == 2 ? std::pair{found[0], found[1]} : std::pair<QPushButton *, QPushButton *>{};
}

bool showsText(QWidget &root, const QString &text)
{
    for (QLabel *l : root.findChildren<QLabel *>())
        if (l->isVisibleTo(&root) && l->text() == text)
            return true;
    return false;
}

class CoverFlowViewTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Defaults::clear();
        AppLocalizer::setPreferredLanguages([] { return QStringList{u"pl-PL"_s}; });
        model = std::make_unique<TavoModel>([] { return QList<Device>(); }, false);
    }
    void TearDown() override
    {
        view.reset();
        model.reset();
        AppLocalizer::setPreferredLanguages({});
        Defaults::clear();
    }

    // A shown view, with its first build applied.
    CoverFlowView &open(const QList<Track> &tracks, bool reduceMotion = true, QSize size = QSize(1000, 740))
    {
        model->setDeviceTracks(tracks);
        view = std::make_unique<CoverFlowView>(model.get(), reduceMotion, [this] { ++closes; });
        view->resize(size);
        view->show();
        QApplication::setActiveWindow(view.get());
        EXPECT_TRUE(QTest::qWaitForWindowExposed(view.get()));
        // The arrows' keys are window shortcuts: they act only once the window
        // is the active one, which a busy machine may not have reached yet.
        EXPECT_TRUE(QTest::qWaitForWindowActive(view.get()));
        EXPECT_TRUE(waitFor([&] { return view->buildsStarted() == 1 && !view->loading(); }));
        return *view;
    }

    bool picturesReady()
    {
        FlowPictures *pictures = view->stage()->pictures();
        const auto [first, last] = flowgeometry::builtRange(view->index(), int(view->items().size()));
        for (int p = first; p <= last; ++p)
            if (!pictures->isReady(p))
                return false;
        return true;
    }

    void screenshot(const QString &name)
    {
        ASSERT_TRUE(waitFor([&] { return picturesReady(); }));
        pause(30);
        const QString dir = QCoreApplication::applicationDirPath() + u"/../screenshots"_s;
        QDir().mkpath(dir);
        EXPECT_TRUE(view->grab().save(dir + u"/coverflow-"_s + name + u".png"_s));
    }

    std::unique_ptr<TavoModel> model;
    std::unique_ptr<CoverFlowView> view;
    int closes = 0;
};

} // namespace

TEST_F(CoverFlowViewTest, theFirstBuildComesAfterTheDebounceAndBurstsMakeOneBuild)
{
    QElapsedTimer clock;
    clock.start();
    model->setDeviceTracks(flowtesting::albums(3));
    view = std::make_unique<CoverFlowView>(model.get(), true, [] {});
    model->setDeviceTracks(flowtesting::albums(4)); // within 100 ms: the same build
    while (clock.elapsed() < 80) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (clock.elapsed() < CoverFlowView::debounceMilliseconds) {
            ASSERT_EQ(view->buildsStarted(), 0);
        }
    }
    ASSERT_TRUE(waitFor([&] { return !view->loading() && view->buildsStarted() >= 1; }));
    pause(150);
    EXPECT_EQ(view->buildsStarted(), 1);
    EXPECT_EQ(view->items().size(), 4);

    // A burst: the second change comes before the debounce can end, however
    // busy the machine is (no event is handled in between).
    model->setDeviceTracks(flowtesting::albums(5));
    model->setDeviceTracks(flowtesting::albums(6));
    ASSERT_TRUE(waitFor([&] { return view->items().size() == 6; }));
    pause(150);
    EXPECT_EQ(view->buildsStarted(), 2);
}

TEST_F(CoverFlowViewTest, onlyTheLastBuildStartedIsApplied)
{
    QSemaphore release;
    model->setDeviceTracks(flowtesting::albums(7, false));
    view = std::make_unique<CoverFlowView>(model.get(), true, [] {});
    std::atomic<int> calls{0};
    view->setPreparation([&](const QList<Track> &tracks) {
        if (calls.fetch_add(1) == 0)
            release.acquire(); // the first build waits until the second has started
        return FlowAlbum::prepare(tracks);
    });
    QList<qsizetype> applied;
    QObject::connect(view.get(), &CoverFlowView::itemsApplied, [&] { applied.append(view->items().size()); });
    ASSERT_TRUE(waitFor([&] { return calls.load() == 1; }));
    EXPECT_TRUE(view->loading());
    model->setDeviceTracks(flowtesting::albums(3, false));
    ASSERT_TRUE(waitFor([&] { return view->buildsStarted() == 2 && applied.size() == 1; }));
    release.release();
    pause(200);
    EXPECT_EQ(applied, (QList<qsizetype>{3}));
    EXPECT_EQ(view->items().size(), 3);
    EXPECT_FALSE(view->loading());
}

TEST_F(CoverFlowViewTest, theCentredAlbumStaysCentredAcrossRebuilds)
{
    QList<Track> tracks = flowtesting::albums(10, false);
    CoverFlowView &v = open(tracks);
    v.select(6);
    const QString centred = v.items()[6].id;
    // Two albums before it go: it is now at position 4, still in the centre.
    tracks.remove(0, 4);
    model->setDeviceTracks(tracks);
    ASSERT_TRUE(waitFor([&] { return v.items().size() == 8 && !v.loading(); }));
    EXPECT_EQ(v.index(), 4);
    EXPECT_EQ(v.items()[v.index()].id, centred);
    EXPECT_EQ(v.stage()->position(), 4.0); // put in place without animation
    // It goes too: the first album is centred.
    tracks.remove(8, 2);
    model->setDeviceTracks(tracks);
    ASSERT_TRUE(waitFor([&] { return v.items().size() == 7 && !v.loading(); }));
    EXPECT_EQ(v.index(), 0);
    // No tracks at all: no items, index 0, not loading.
    model->setDeviceTracks({});
    ASSERT_TRUE(waitFor([&] { return v.items().isEmpty() && !v.loading(); }));
    EXPECT_EQ(v.index(), 0);
}

TEST_F(CoverFlowViewTest, theEmptyPageInvitesToReadTheDevice)
{
    CoverFlowView &v = open({});
    EXPECT_TRUE(showsText(v, u"Twoje okładki czekają po drugiej stronie kabla."_s));
    EXPECT_TRUE(showsText(v, u"0 albumów"_s));
    EXPECT_FALSE(v.stage()->isVisibleTo(&v));
    QPushButton *scan = buttonWithText(v, u"Odczytaj albumy z iPoda"_s);
    ASSERT_TRUE(scan);
    EXPECT_FALSE(scan->isEnabled()); // no device
    model->setDevice(Device{u"/media/IPOD"_s, u"IPOD"_s, u"v4"_s, 10, 20, false});
    EXPECT_TRUE(scan->isEnabled());
    model->setBusy(true);
    model->setProgress(0.5);
    model->setStatus(u"Odczytuję utwory: 3 / 12"_s);
    EXPECT_FALSE(scan->isEnabled());
    QProgressBar *bar = nullptr;
    for (QProgressBar *b : v.findChildren<QProgressBar *>())
        if (b->maximum() > 0)
            bar = b;
    ASSERT_TRUE(bar);
    EXPECT_TRUE(bar->isVisibleTo(&v));
    EXPECT_EQ(bar->value(), 500);
    EXPECT_TRUE(showsText(v, u"Odczytuję utwory: 3 / 12"_s));
    screenshot(u"empty-busy-pl"_s);
    model->setBusy(false);
    EXPECT_FALSE(bar->isVisibleTo(&v));
    // While the list is being built the button waits, and says so.
    QSemaphore release;
    v.setPreparation([&](const QList<Track> &tracks) {
        release.acquire();
        return FlowAlbum::prepare(tracks);
    });
    model->setDeviceTracks({});
    ASSERT_TRUE(waitFor([&] { return v.loading(); }));
    EXPECT_FALSE(scan->isEnabled());
    EXPECT_TRUE(showsText(v, u"Przygotowuję okładki…"_s));
    release.release();
    ASSERT_TRUE(waitFor([&] { return !v.loading(); }));
    EXPECT_TRUE(scan->isEnabled());
    EXPECT_FALSE(showsText(v, u"Przygotowuję okładki…"_s));
}

TEST_F(CoverFlowViewTest, arrowsReturnAndButtonsMoveAndOpen)
{
    CoverFlowView &v = open(flowtesting::albums(3));
    auto [previous, next] = arrows(v);
    ASSERT_TRUE(previous && next);
    EXPECT_FALSE(previous->isEnabled());
    EXPECT_TRUE(next->isEnabled());
    EXPECT_TRUE(showsText(v, u"1 / 3 · 2 utwory"_s));
    EXPECT_TRUE(showsText(v, u"Album 000"_s));
    EXPECT_TRUE(showsText(v, u"Artist 000"_s));
    EXPECT_TRUE(showsText(v, u"3 albumy"_s));

    key(v, Qt::Key_Left); // at the first album: nothing
    EXPECT_EQ(v.index(), 0);
    key(v, Qt::Key_Right);
    EXPECT_EQ(v.index(), 1);
    EXPECT_TRUE(showsText(v, u"2 / 3 · 2 utwory"_s));
    EXPECT_TRUE(previous->isEnabled());
    QTest::mouseClick(next, Qt::LeftButton);
    EXPECT_EQ(v.index(), 2);
    EXPECT_FALSE(next->isEnabled());
    key(v, Qt::Key_Right); // at the last: nothing
    EXPECT_EQ(v.index(), 2);
    QTest::mouseClick(previous, Qt::LeftButton);
    EXPECT_EQ(v.index(), 1);

    key(v, Qt::Key_Return);
    ASSERT_TRUE(v.detail());
    EXPECT_EQ(v.detail()->id(), v.items()[1].id);
}

TEST_F(CoverFlowViewTest, oneAlbumDisablesBothArrowsAndTwoDiscsShowInTheLine)
{
    QList<Track> tracks = {track(u"A"_s, u"Double"_s, u"1"_s, 1, 1), track(u"A"_s, u"Double"_s, u"2"_s, 1, 2),
                           track(u"A"_s, u"Double"_s, u"3"_s, 2, 2)};
    CoverFlowView &v = open(tracks);
    auto [previous, next] = arrows(v);
    ASSERT_TRUE(previous && next);
    EXPECT_FALSE(previous->isEnabled());
    EXPECT_FALSE(next->isEnabled());
    EXPECT_TRUE(showsText(v, u"1 / 1 · 3 utwory · 2 CD"_s));
}

TEST_F(CoverFlowViewTest, clicksCentreSideItemsAndOpenTheCentredOne)
{
    CoverFlowView &v = open(flowtesting::albums(9));
    v.select(4);
    FlowStage *stage = v.stage();
    const QSizeF size = stage->size();
    const double cover = flowgeometry::coverSize(size);
    const QPoint centre(int(size.width() / 2), int(size.height() / 2));
    const QPoint right = centre + QPoint(int(cover * 0.62 + cover * 0.2), 0);
    QTest::mouseClick(stage, Qt::LeftButton, {}, right);
    EXPECT_EQ(v.index(), 5);
    EXPECT_FALSE(v.detail());
    QTest::mouseClick(stage, Qt::LeftButton, {}, centre);
    ASSERT_TRUE(v.detail());
    EXPECT_EQ(v.detail()->id(), v.items()[5].id);
    // The background takes no click.
    const int before = v.index();
    QTest::mouseClick(stage, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(v.index(), before);
}

TEST_F(CoverFlowViewTest, aDragPastFortyPointsMovesOneAlbum)
{
    CoverFlowView &v = open(flowtesting::albums(9));
    v.select(4);
    FlowStage *stage = v.stage();
    const QPoint start(stage->width() / 2, 20); // above the covers
    const struct {
        int dx, index;
    } cases[] = {{-40, 4}, {-41, 5}, {-600, 6}, {41, 5}, {40, 5}, {300, 4}};
    for (const auto &c : cases) {
        QTest::mousePress(stage, Qt::LeftButton, {}, start);
        QTest::mouseMove(stage, start + QPoint(c.dx / 2, 0));
        QTest::mouseRelease(stage, Qt::LeftButton, {}, start + QPoint(c.dx, 0));
        EXPECT_EQ(v.index(), c.index) << c.dx;
    }
}

TEST_F(CoverFlowViewTest, movesAnimateUnlessMotionIsReduced)
{
    for (bool reduce : {false, true}) {
        CoverFlowView &v = open(flowtesting::albums(6), reduce);
        v.select(3);
        EXPECT_EQ(v.index(), 3);
        if (reduce) {
            EXPECT_EQ(v.stage()->position(), 3.0);
            EXPECT_FALSE(v.stage()->moving());
        } else {
            EXPECT_TRUE(v.stage()->moving());
            EXPECT_LT(v.stage()->position(), 3.0);
            ASSERT_TRUE(waitFor([&] { return !v.stage()->moving(); }, 3000));
            EXPECT_EQ(v.stage()->position(), 3.0);
        }
        view.reset();
    }
}

TEST_F(CoverFlowViewTest, theSpringSettlesWithinTheMove)
{
    EXPECT_EQ(FlowStage::spring(0), 0.0);
    EXPECT_GT(FlowStage::spring(0.1), 0.5);
    EXPECT_NEAR(FlowStage::spring(FlowStage::moveMilliseconds / 1000.0), 1.0, 0.005);
    double most = 0;
    for (double t = 0; t < 1; t += 0.005)
        most = std::max(most, FlowStage::spring(t));
    EXPECT_LT(most, 1.01); // damped: hardly any overshoot
}

TEST_F(CoverFlowViewTest, listenPlaysTheCentredAlbumFromItsFirstTrack)
{
    CoverFlowView &v = open(flowtesting::albums(3));
    v.select(2);
    QPushButton *listen = buttonWithText(v, u"Odsłuchaj"_s);
    ASSERT_TRUE(listen);
    QTest::mouseClick(listen, Qt::LeftButton);
    const auto &current = model->playback()->current();
    ASSERT_TRUE(current);
    EXPECT_EQ(current->id, v.items()[2].album.tracks.first().id);
    EXPECT_EQ(model->playback()->queue().size(), 2);
}

TEST_F(CoverFlowViewTest, fullScreenAndEscape)
{
    model->setDeviceTracks(flowtesting::albums(2));
    view = std::make_unique<CoverFlowView>(model.get(), true, [this] { ++closes; });
    CoverFlowView &v = *view;
    QPushButton *fullScreen = buttonWithText(v, u"Pełny ekran"_s);
    ASSERT_TRUE(fullScreen);
    v.resize(1000, 740);
    v.show();
    // Until the window is known, full screen can't be asked for.
    EXPECT_FALSE(fullScreen->isEnabled());
    ASSERT_TRUE(waitFor([&] { return fullScreen->isEnabled(); }));
    QApplication::setActiveWindow(&v);

    key(v, Qt::Key_F, Qt::ControlModifier | Qt::MetaModifier);
    ASSERT_TRUE(waitFor([&] { return v.fullScreen(); }));
    EXPECT_EQ(fullScreen->text(), u"Wyjdź z pełnego ekranu"_s);
    key(v, Qt::Key_Escape); // leaves full screen only
    ASSERT_TRUE(waitFor([&] { return !v.fullScreen(); }));
    EXPECT_EQ(closes, 0);
    EXPECT_EQ(fullScreen->text(), u"Pełny ekran"_s);
    // Leaving full screen may pass the activation around; Escape is a window
    // shortcut, so it reaches the view only once its window is active again.
    QApplication::setActiveWindow(&v);
    ASSERT_TRUE(waitFor([&] { return QApplication::activeWindow() == &v; }));
    key(v, Qt::Key_Escape); // now closes
    EXPECT_TRUE(waitFor([&] { return closes == 1; }));
}

TEST_F(CoverFlowViewTest, screenshotsAtSeveralPositionsSizesAndLanguages)
{
    for (const char *language : {"pl", "en"}) {
        const QString lang = QString::fromLatin1(language);
        AppLocalizer::setPreferredLanguages([lang] { return QStringList{lang}; });
        for (const auto &[paletteName, palette] :
             {std::pair{u"light"_s, kit::lightPalette()}, std::pair{u"dark"_s, kit::darkPalette()}}) {
            QApplication::setPalette(palette);
            QList<Track> tracks = flowtesting::albums(24, true, 300);
            // One album without a picture and one with a broken one show the placeholder.
            tracks.append(track(u"Bez okładki"_s, u"Zażółć gęślą jaźń"_s, u"1"_s, 1, 1));
            tracks.append(track(u"Bez okładki"_s, u"Zażółć gęślą jaźń"_s, u"2"_s, 1, 2));
            tracks.append(track(u"Artist 012"_s, u"Uszkodzona"_s, u"1"_s, 1, 0, QByteArray("broken")));
            for (QSize size : {QSize(1000, 740), QSize(2000, 1000)}) {
                CoverFlowView &v = open(tracks, true, size);
                const int count = int(v.items().size());
                const QString base = lang + u"-"_s + paletteName + u"-"_s + QString::number(size.width());
                for (const auto &[where, index] : {std::pair{u"first"_s, 0}, std::pair{u"middle"_s, count / 2},
                                                   std::pair{u"last"_s, count - 1}}) {
                    v.select(index);
                    screenshot(base + u"-"_s + where);
                }
                view.reset();
            }
        }
        CoverFlowView &empty = open({});
        Q_UNUSED(empty);
        screenshot(lang + u"-empty"_s);
        view.reset();
    }
    QApplication::setPalette(QPalette());
}
