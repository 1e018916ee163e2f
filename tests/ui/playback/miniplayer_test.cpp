#include "ui/playback/miniplayer.h"

#include "model/playback.h"
#include "platform/defaults.h"
#include "support/fakeaudio.h"
#include "ui/kit/kit.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QMouseEvent>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

QString screenshotPath(const QString &name)
{
    const QString dir = QCoreApplication::applicationDirPath() + u"/../screenshots"_s;
    QDir().mkpath(dir);
    return QDir(dir).filePath(name);
}

class MiniPlayerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        Defaults::setString(u"appLanguage"_s, u"pl"_s);
        audio = installFakeAudio(player);
        tracks = fakeTracks(dir, 3);
        tracks[0].title = u"Zażółć gęślą jaźń — bardzo długi tytuł utworu, który nie mieści się w jednej linii"_s;
        tracks[0].artist = u"Łukasz Żółkiewski"_s;
    }
    void TearDown() override { Defaults::remove(u"appLanguage"_s); }

    QTemporaryDir dir;
    Playback player;
    std::shared_ptr<FakeAudioState> audio;
    QList<Track> tracks;
};

TEST_F(MiniPlayerTest, HiddenUntilATrackLoadsAndGoneAfterStop)
{
    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    auto *mini = new MiniPlayer(&player, &window);
    layout->addWidget(new QWidget(&window), 1);
    layout->addWidget(mini);
    window.resize(700, 400);
    window.show();
    EXPECT_FALSE(mini->isVisible());

    player.play(tracks[0], tracks);
    EXPECT_TRUE(mini->isVisible());
    EXPECT_EQ(mini->title(), tracks[0].title);
    EXPECT_EQ(mini->subtitle(), u"Odsłuch na komputerze · Łukasz Żółkiewski"_s);

    QTest::mouseClick(mini->closeButton(), Qt::LeftButton);
    EXPECT_FALSE(player.current());
    EXPECT_FALSE(mini->isVisible());
}

TEST_F(MiniPlayerTest, TransportButtonsDriveThePlayer)
{
    MiniPlayer mini(&player);
    mini.resize(700, 80);
    player.play(tracks[1], tracks);
    EXPECT_EQ(mini.playButton()->accessibleName(), u"Pauza"_s);
    EXPECT_EQ(mini.previousButton()->accessibleName(), u"Poprzedni"_s);
    EXPECT_EQ(mini.nextButton()->accessibleName(), u"Następny"_s);
    EXPECT_EQ(mini.closeButton()->toolTip(), u"Zakończ odsłuch"_s);
    EXPECT_EQ(mini.volumeSlider()->toolTip(), u"Głośność odsłuchu"_s);
    EXPECT_TRUE(mini.previousButton()->toolTip().isEmpty());

    QTest::mouseClick(mini.playButton(), Qt::LeftButton);
    EXPECT_FALSE(player.playing());
    EXPECT_EQ(mini.playButton()->accessibleName(), u"Odtwórz"_s);
    QTest::mouseClick(mini.playButton(), Qt::LeftButton);
    EXPECT_TRUE(player.playing());

    QTest::mouseClick(mini.nextButton(), Qt::LeftButton);
    EXPECT_EQ(player.current()->id, tracks[2].id);
    QTest::mouseClick(mini.previousButton(), Qt::LeftButton);
    EXPECT_EQ(player.current()->id, tracks[1].id);
    EXPECT_EQ(mini.title(), tracks[1].title);
}

TEST_F(MiniPlayerTest, VolumeSliderFollowsAndSets)
{
    MiniPlayer mini(&player);
    player.play(tracks[0], tracks);
    EXPECT_EQ(mini.volumeSlider()->value(), 60);
    mini.volumeSlider()->setFocus();
    QTest::keyClick(mini.volumeSlider(), Qt::Key_Home);
    EXPECT_EQ(player.volume(), 0);
    EXPECT_FLOAT_EQ(audio->last()->volume, 0.f);
    QTest::keyClick(mini.volumeSlider(), Qt::Key_End);
    EXPECT_EQ(player.volume(), 1);
    player.setVolume(0.3);
    EXPECT_EQ(mini.volumeSlider()->value(), 30);
}

TEST_F(MiniPlayerTest, PositionMovesWithTheTimerWithoutSeekingAndSeeksOnTheUsersMove)
{
    MiniPlayer mini(&player);
    mini.resize(700, 80);
    mini.show();
    player.play(tracks[0], tracks);
    FakeAudioPlayer *live = audio->last();
    QSlider *slider = mini.positionSlider();
    EXPECT_EQ(slider->maximum(), 18'000); // 180 s in hundredths

    // Every timer tick moves the slider; none of them seeks.
    live->time = 61.5;
    QTest::qWait(Playback::positionInterval * 3);
    EXPECT_EQ(player.position(), 61.5);
    EXPECT_EQ(slider->value(), 6'150);
    EXPECT_EQ(mini.elapsedLabel()->text(), u"1:01"_s);
    EXPECT_EQ(mini.lengthLabel()->text(), u"3:00"_s);
    EXPECT_EQ(live->time, 61.5);

    // The user's move seeks to where the thumb went.
    slider->setFocus();
    QTest::keyClick(slider, Qt::Key_PageUp);
    EXPECT_GT(live->time, 61.5);
    EXPECT_EQ(player.position(), live->time);
    QTest::keyClick(slider, Qt::Key_Home);
    EXPECT_EQ(live->time, 0);
    EXPECT_EQ(player.position(), 0);
}

TEST_F(MiniPlayerTest, ADragSeeksAndTicksNeverMoveTheThumbUnderIt)
{
    MiniPlayer mini(&player);
    mini.resize(700, 80);
    mini.show();
    player.play(tracks[0], tracks);
    FakeAudioPlayer *live = audio->last();
    QSlider *slider = mini.positionSlider();
    QCoreApplication::processEvents();

    QStyleOptionSlider option;
    option.initFrom(slider);
    option.orientation = slider->orientation();
    option.minimum = slider->minimum();
    option.maximum = slider->maximum();
    option.sliderPosition = slider->value();
    option.sliderValue = slider->value();
    const QRect handle = slider->style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, slider);
    QTest::mousePress(slider, Qt::LeftButton, {}, handle.center());
    ASSERT_TRUE(slider->isSliderDown());
    QMouseEvent move(QEvent::MouseMove, QPointF(slider->width() / 2, handle.center().y()),
                     slider->mapToGlobal(QPointF(slider->width() / 2, handle.center().y())), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(slider, &move);
    const int dragged = slider->value();
    EXPECT_GT(dragged, 5'000);
    EXPECT_NEAR(live->time, dragged * MiniPlayer::positionStep, 1e-9);

    // The player moves on meanwhile; the thumb stays where the user holds it.
    live->time = 10;
    QTest::qWait(Playback::positionInterval * 2);
    EXPECT_EQ(player.position(), 10);
    EXPECT_EQ(slider->value(), dragged);
    QTest::mouseRelease(slider, Qt::LeftButton, {}, QPoint(slider->width() / 2, handle.center().y()));
    QTest::qWait(Playback::positionInterval * 2);
    EXPECT_EQ(slider->value(), 1'000);
}

TEST_F(MiniPlayerTest, AZeroDurationStillGivesTheSliderARange)
{
    audio->duration = 0;
    MiniPlayer mini(&player);
    player.play(tracks[0], tracks);
    EXPECT_EQ(mini.positionSlider()->minimum(), 0);
    EXPECT_EQ(mini.positionSlider()->maximum(), 1); // 0.01 s
}

TEST_F(MiniPlayerTest, TheErrorStandsInThePositionRowInOrange)
{
    MiniPlayer mini(&player);
    mini.resize(700, 80);
    mini.show();
    audio->prepareResult = false;
    player.play(tracks[0], tracks);
    ASSERT_TRUE(mini.isVisible());
    EXPECT_TRUE(mini.showsError());
    EXPECT_FALSE(mini.positionSlider()->isVisible());
    EXPECT_EQ(mini.errorLabel()->text(), *player.error());
    EXPECT_EQ(mini.errorLabel()->palette().color(QPalette::WindowText), kit::orange(mini.palette()));
    EXPECT_EQ(mini.playButton()->accessibleName(), u"Odtwórz"_s);

    // The next successful start brings the position row back.
    audio->prepareResult = true;
    QTest::mouseClick(mini.playButton(), Qt::LeftButton);
    EXPECT_FALSE(mini.showsError());
    EXPECT_TRUE(mini.positionSlider()->isVisible());
}

TEST_F(MiniPlayerTest, ReadsEnglish)
{
    Defaults::setString(u"appLanguage"_s, u"en"_s);
    MiniPlayer mini(&player);
    audio->prepareResult = false;
    player.play(tracks[0], tracks);
    EXPECT_EQ(mini.subtitle(), u"Playing on this computer · Łukasz Żółkiewski"_s);
    EXPECT_EQ(mini.errorLabel()->text(),
              u"Cannot play the file: This computer cannot play this file, or the audio output is unavailable."_s);
    EXPECT_EQ(mini.closeButton()->toolTip(), u"Stop listening"_s);
    EXPECT_EQ(mini.previousButton()->accessibleName(), u"Previous"_s);
}

TEST_F(MiniPlayerTest, Pictures)
{
    for (const QString &language : {u"pl"_s, u"en"_s}) {
        for (bool dark : {false, true}) {
            for (bool failing : {false, true}) {
                Defaults::setString(u"appLanguage"_s, language);
                player.stop();
                audio->prepareResult = !failing;
                QWidget window;
                window.setPalette(dark ? kit::darkPalette() : kit::lightPalette());
                window.setAutoFillBackground(true);
                auto *layout = new QVBoxLayout(&window);
                layout->setContentsMargins(0, 0, 0, 0);
                auto *mini = new MiniPlayer(&player, &window);
                layout->addStretch(1);
                layout->addWidget(mini);
                player.play(tracks[failing ? 1 : 0], tracks);
                if (!failing) {
                    audio->last()->time = 83;
                    player.seek(83);
                }
                window.resize(760, mini->sizeHint().height() + 20);
                window.show();
                QCoreApplication::processEvents();
                const QString name = u"miniplayer-%1-%2-%3.png"_s.arg(failing ? u"error"_s : u"playing"_s, language,
                                                                       dark ? u"dark"_s : u"light"_s);
                EXPECT_TRUE(window.grab().save(screenshotPath(name)));
            }
        }
    }
}

} // namespace
