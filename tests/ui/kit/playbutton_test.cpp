#include "ui/kit/playbutton.h"

#include "localization/applocalizer.h"
#include "model/playback.h"
#include "platform/defaults.h"
#include "support/fakeaudio.h"
#include "ui/kit/kit.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QHBoxLayout>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

QString screenshotPath(const QString &name)
{
    const QString dir = QCoreApplication::applicationDirPath() + u"/../screenshots"_s;
    QDir().mkpath(dir);
    return QDir(dir).filePath(name);
}

class PlayButtonTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        Defaults::setString(u"appLanguage"_s, u"pl"_s);
        audio = installFakeAudio(player);
        tracks = fakeTracks(dir, 3);
    }
    void TearDown() override { Defaults::remove(u"appLanguage"_s); }

    QTemporaryDir dir;
    Playback player;
    std::shared_ptr<FakeAudioState> audio;
    QList<Track> tracks;
};

TEST_F(PlayButtonTest, ShowsPauseOnlyOnTheLoadedPlayingRow)
{
    PlayButton first(&player, tracks[0], tracks);
    PlayButton second(&player, tracks[1], tracks);
    EXPECT_FALSE(first.rowPlaying());
    EXPECT_FALSE(second.rowPlaying());

    QTest::mouseClick(&second, Qt::LeftButton);
    ASSERT_TRUE(player.current());
    EXPECT_EQ(player.current()->id, tracks[1].id);
    EXPECT_EQ(player.index(), 1);
    EXPECT_EQ(player.queue().size(), 3);
    EXPECT_TRUE(second.rowPlaying());
    EXPECT_FALSE(first.rowPlaying());
    EXPECT_EQ(second.accessibleName(), u"Pauza"_s);
    EXPECT_EQ(first.accessibleName(), u"Odtwórz"_s);

    // Pressing the loaded row pauses it: play shows again, and the track stays loaded.
    QTest::mouseClick(&second, Qt::LeftButton);
    EXPECT_FALSE(player.playing());
    EXPECT_FALSE(second.rowPlaying());
    EXPECT_EQ(second.accessibleName(), u"Odtwórz"_s);
    EXPECT_EQ(audio->players.size(), 1);

    // Pressing it once more resumes the same player instead of starting over.
    audio->last()->time = 42;
    QTest::mouseClick(&second, Qt::LeftButton);
    EXPECT_TRUE(second.rowPlaying());
    EXPECT_EQ(audio->players.size(), 1);
    EXPECT_EQ(audio->last()->time, 42);

    // Another row takes over; the first player is dropped.
    QTest::mouseClick(&first, Qt::LeftButton);
    EXPECT_TRUE(first.rowPlaying());
    EXPECT_FALSE(second.rowPlaying());
    EXPECT_EQ(audio->players.size(), 2);
}

TEST_F(PlayButtonTest, KeepsItsTooltipInEveryStateAndReadsEnglish)
{
    PlayButton button(&player, tracks[0], tracks);
    EXPECT_EQ(button.toolTip(), u"Odsłuch na komputerze"_s);
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_EQ(button.toolTip(), u"Odsłuch na komputerze"_s);

    Defaults::setString(u"appLanguage"_s, u"en"_s);
    EXPECT_EQ(PlayButton::helpText(), u"Listen on this computer"_s);
    EXPECT_EQ(PlayButton::accessibleLabel(true), u"Pause"_s);
    EXPECT_EQ(PlayButton::accessibleLabel(false), u"Play"_s);
}

TEST_F(PlayButtonTest, AFailedStartShowsPlayAndPressingRetries)
{
    audio->prepareResult = false;
    PlayButton button(&player, tracks[0], {});
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_FALSE(button.rowPlaying());
    ASSERT_TRUE(player.current());
    EXPECT_TRUE(player.error().has_value());

    audio->prepareResult = true;
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_TRUE(button.rowPlaying());
    EXPECT_FALSE(player.error().has_value());
}

TEST_F(PlayButtonTest, SymbolsAndPictures)
{
    EXPECT_EQ(PlayButton::symbol(true), u"pause.fill"_s);
    EXPECT_EQ(PlayButton::symbol(false), u"play.fill"_s);

    for (bool dark : {false, true}) {
        QWidget row;
        row.setPalette(dark ? kit::darkPalette() : kit::lightPalette());
        row.setAutoFillBackground(true);
        auto *layout = new QHBoxLayout(&row);
        auto *playing = new PlayButton(&player, tracks[0], tracks, &row);
        auto *other = new PlayButton(&player, tracks[1], tracks, &row);
        layout->addWidget(playing);
        layout->addWidget(other);
        row.resize(80, 30);
        QTest::mouseClick(playing, Qt::LeftButton);
        ASSERT_TRUE(playing->rowPlaying());
        const QImage image = row.grab().toImage();
        // Something blue is drawn inside each button.
        for (PlayButton *button : {playing, other}) {
            const QRect area = button->geometry();
            bool drawn = false;
            for (int y = area.top(); y <= area.bottom() && !drawn; ++y)
                for (int x = area.left(); x <= area.right() && !drawn; ++x)
                    drawn = image.pixelColor(x, y).blue() > 180 && image.pixelColor(x, y).red() < 100;
            EXPECT_TRUE(drawn);
        }
        row.grab().save(screenshotPath(dark ? u"playbutton-dark.png"_s : u"playbutton-light.png"_s));
        player.stop();
    }
}

} // namespace
