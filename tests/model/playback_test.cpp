#include "model/playback.h"

#include "support/fakeaudio.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

const QString prefix = u"Nie można odtworzyć pliku: "_s;

bool waitFor(const std::function<bool()> &done, int milliseconds = 5'000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < milliseconds)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

class PlaybackTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        audio = installFakeAudio(player);
        tracks = fakeTracks(dir, 3);
    }

    FakeAudioPlayer *live() const { return audio->last(); }

    QTemporaryDir dir;
    Playback player;
    std::shared_ptr<FakeAudioState> audio;
    QList<Track> tracks;
};

TEST_F(PlaybackTest, StartsIdleAtVolumeSixTenths)
{
    Playback fresh;
    EXPECT_FALSE(fresh.current());
    EXPECT_FALSE(fresh.playing());
    EXPECT_EQ(fresh.position(), 0);
    EXPECT_EQ(fresh.duration(), 0);
    EXPECT_FALSE(fresh.error());
    EXPECT_EQ(fresh.volume(), 0.6);
    EXPECT_FALSE(fresh.loaded());
}

TEST_F(PlaybackTest, PlayFindsTheTrackInItsQueue)
{
    struct Case {
        const char *name;
        int track;          // index into tracks; 3 = a track outside every list
        QList<int> queue;   // indices into tracks
        qsizetype index;    // expected position in the queue
        qsizetype queueSize;
        int afterNext;      // track expected after next(); -1 = unchanged
    };
    const Case cases[] = {
        {"in the list", 1, {0, 1, 2}, 1, 3, 2},
        {"empty list: the track alone", 2, {}, 0, 1, -1},
        {"outside the list: index 0, next is the second", 3, {0, 1, 2}, 0, 3, 1},
        {"last of the list", 2, {0, 1, 2}, 2, 3, -1},
    };
    const Track outside = fakeTracks(dir, 4).last();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        player.stop();
        const Track track = c.track == 3 ? outside : tracks[c.track];
        QList<Track> queue;
        for (int i : c.queue)
            queue << tracks[i];
        player.play(track, queue);
        ASSERT_TRUE(player.current());
        EXPECT_EQ(player.current()->id, track.id); // played even when not in the list
        EXPECT_TRUE(player.playing());
        EXPECT_EQ(player.index(), c.index);
        EXPECT_EQ(player.queue().size(), c.queueSize);
        EXPECT_EQ(live()->path, track.url);
        EXPECT_FLOAT_EQ(live()->volume, 0.6f);
        EXPECT_EQ(player.duration(), 180);
        player.next();
        EXPECT_EQ(player.current()->id, c.afterNext < 0 ? track.id : tracks[c.afterNext].id);
    }
}

TEST_F(PlaybackTest, PlayOnTheLoadedTrackTogglesWhateverTheQueue)
{
    player.play(tracks[0], tracks);
    FakeAudioPlayer *first = live();
    player.play(tracks[0], {tracks[2]});
    EXPECT_FALSE(player.playing());
    EXPECT_EQ(first->pauses, 1);
    EXPECT_EQ(player.queue().size(), 3); // the new list is ignored
    player.play(tracks[0], {});
    EXPECT_TRUE(player.playing());
    EXPECT_EQ(audio->players.size(), 1);
    EXPECT_EQ(first->plays, 2);
}

TEST_F(PlaybackTest, TogglePausesResumesRestartsAtTheEndAndRetries)
{
    player.toggle(); // nothing loaded: nothing happens
    EXPECT_FALSE(player.current());
    EXPECT_TRUE(audio->players.isEmpty());

    player.play(tracks[0], {});
    live()->time = 50;
    player.toggle();
    EXPECT_FALSE(player.playing());
    player.toggle();
    EXPECT_TRUE(player.playing());
    EXPECT_EQ(live()->time, 50); // resumed, not restarted

    // Played to its end: the next toggle starts it again from 0.
    live()->playToEnd();
    EXPECT_FALSE(player.playing());
    EXPECT_EQ(player.position(), 180);
    player.toggle();
    EXPECT_TRUE(player.playing());
    EXPECT_EQ(live()->time, 0);

    // A refused resume publishes not playing and no text.
    live()->playingNow = false;
    live()->playResult = false;
    player.toggle();
    EXPECT_FALSE(player.playing());
    EXPECT_FALSE(player.error());
}

TEST_F(PlaybackTest, FailuresKeepTheTrackAndSayWhy)
{
    struct Case {
        const char *name;
        std::function<Track()> setUp;
        QString error;
    };
    const Track missing = [&] {
        Track t = tracks[0];
        t.url = dir.filePath(u"gone/away.mp3"_s);
        return t;
    }();
    const Case cases[] = {
        {"the file is gone", [&] { return missing; },
         prefix + u"Plik nie jest dostępny. Sprawdź połączenie z iPodem."_s},
        {"the platform cannot open it",
         [&] {
             audio->openErrors.insert(tracks[1].url, u"Invalid data found when processing input"_s);
             return tracks[1];
         },
         prefix + u"Invalid data found when processing input"_s},
        {"prepare refuses (no audio output)",
         [&] {
             audio->prepareResult = false;
             return tracks[2];
         },
         prefix + u"Ten komputer nie może odtworzyć tego pliku lub wyjście audio jest niedostępne."_s},
        {"play refuses",
         [&] {
             audio->playResult = false;
             return tracks[0];
         },
         prefix + u"Ten komputer nie może odtworzyć tego pliku lub wyjście audio jest niedostępne."_s},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        player.stop();
        audio->prepareResult = true;
        audio->playResult = true;
        const Track track = c.setUp();
        player.play(track, tracks);
        ASSERT_TRUE(player.current());
        EXPECT_EQ(player.current()->id, track.id);
        EXPECT_FALSE(player.playing());
        EXPECT_FALSE(player.loaded());
        EXPECT_EQ(player.error(), c.error);
        EXPECT_EQ(player.duration(), 0);
    }

    // The loaded track is retried by toggle, and a successful start clears the text.
    audio->playResult = true;
    player.toggle();
    EXPECT_TRUE(player.playing());
    EXPECT_FALSE(player.error());
}

TEST_F(PlaybackTest, ALoadingFailureAfterTheStartDropsThePlayer)
{
    player.play(tracks[0], tracks);
    live()->sendFailure(u"Could not open file"_s);
    EXPECT_FALSE(player.playing());
    EXPECT_FALSE(player.loaded());
    EXPECT_EQ(player.error(), prefix + u"Could not open file"_s);
    ASSERT_TRUE(player.current());
    // The timer went with the player: nothing moves any more.
    QTest::qWait(Playback::positionInterval + 150);
    EXPECT_FALSE(player.playing());
}

TEST_F(PlaybackTest, ADecodeErrorPausesAndKeepsThePlayer)
{
    player.play(tracks[0], tracks);
    live()->sendDecodeError(u"corrupt frame"_s);
    EXPECT_FALSE(player.playing());
    EXPECT_EQ(player.error(), u"Błąd dekodowania audio: corrupt frame"_s);
    EXPECT_TRUE(player.loaded());
    live()->sendDecodeError(QString());
    EXPECT_EQ(player.error(), u"Błąd dekodowania audio: Nieznany błąd"_s);
}

TEST_F(PlaybackTest, PreviousRestartsAfterThreeSecondsElseStepsBack)
{
    struct Case {
        const char *name;
        int from;
        double position;
        int expectTrack;
        double expectPosition;
        bool newStart;
    };
    const Case cases[] = {
        {"exactly 3.0 s: the track before", 1, 3.0, 0, 0, true},
        {"3.1 s: the same track from its start", 1, 3.1, 1, 0, false},
        {"first track at 3.0 s: nothing", 0, 3.0, 0, 3.0, false},
        {"first track at 3.1 s: its start", 0, 3.1, 0, 0, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        player.stop();
        player.play(tracks[c.from], tracks);
        live()->time = c.position;
        player.seek(c.position);
        const qsizetype opened = audio->players.size();
        player.previous();
        EXPECT_EQ(player.current()->id, tracks[c.expectTrack].id);
        EXPECT_EQ(player.position(), c.expectPosition);
        EXPECT_EQ(audio->players.size(), opened + (c.newStart ? 1 : 0));
    }
}

TEST_F(PlaybackTest, SeekClampsToTheFile)
{
    player.seek(12); // without a player: position 0
    EXPECT_EQ(player.position(), 0);

    player.play(tracks[0], {});
    const struct {
        double asked;
        double got;
    } cases[] = {{-5, 0}, {0, 0}, {42.5, 42.5}, {180, 180}, {999, 180}};
    for (const auto &c : cases) {
        player.seek(c.asked);
        EXPECT_EQ(live()->time, c.got) << c.asked;
        EXPECT_EQ(player.position(), c.got) << c.asked;
    }
}

TEST_F(PlaybackTest, TheQueueAdvancesAtEachEndAndStopsAfterTheLast)
{
    player.play(tracks[0], tracks);
    live()->playToEnd();
    EXPECT_EQ(player.current()->id, tracks[1].id);
    EXPECT_TRUE(player.playing());
    live()->playToEnd();
    EXPECT_EQ(player.current()->id, tracks[2].id);
    FakeAudioPlayer *last = live();
    last->playToEnd();
    // The finished track stays loaded with its player, showing its end.
    EXPECT_EQ(player.current()->id, tracks[2].id);
    EXPECT_FALSE(player.playing());
    EXPECT_EQ(player.position(), 180);
    EXPECT_TRUE(player.loaded());
    EXPECT_EQ(audio->players.size(), 3);
    player.next(); // at the last track: nothing
    EXPECT_EQ(audio->players.size(), 3);
}

TEST_F(PlaybackTest, EventsOfAReplacedPlayerNeverActOnTheNewTrack)
{
    player.play(tracks[0], tracks);
    QPointer<FakeAudioPlayer> old = live();
    player.play(tracks[2], tracks);
    ASSERT_TRUE(old);
    EXPECT_GE(old->stops, 1);
    old->playToEnd();
    old->sendDecodeError(u"late"_s);
    old->sendFailure(u"late"_s);
    old->learnDuration(7);
    EXPECT_EQ(player.current()->id, tracks[2].id);
    EXPECT_TRUE(player.playing());
    EXPECT_FALSE(player.error());
    EXPECT_EQ(player.duration(), 180);
    EXPECT_EQ(audio->players.size(), 2);
    // The dropped player goes once control is back in the event loop.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(old.isNull());
}

TEST_F(PlaybackTest, StopClearsEverythingButTheIndexAndNeverStepsOutside)
{
    player.play(tracks[2], tracks);
    player.setVolume(0.3);
    player.stop();
    EXPECT_FALSE(player.current());
    EXPECT_FALSE(player.playing());
    EXPECT_FALSE(player.error());
    EXPECT_EQ(player.position(), 0);
    EXPECT_EQ(player.duration(), 0);
    EXPECT_TRUE(player.queue().isEmpty());
    EXPECT_EQ(player.index(), 2);
    EXPECT_EQ(player.volume(), 0.3);
    // next() and previous() on the emptied queue do nothing.
    player.next();
    player.previous();
    EXPECT_FALSE(player.current());
    EXPECT_EQ(audio->players.size(), 1);
}

TEST_F(PlaybackTest, VolumeReachesTheLivePlayerAndTheNextOne)
{
    player.setVolume(0.25); // nothing loaded
    EXPECT_EQ(player.volume(), 0.25);
    player.play(tracks[0], tracks);
    EXPECT_FLOAT_EQ(live()->volume, 0.25f);
    player.setVolume(0.9);
    EXPECT_FLOAT_EQ(live()->volume, 0.9f);
}

TEST_F(PlaybackTest, TheTimerReadsPositionAndStateWhileAPlayerExists)
{
    player.play(tracks[0], tracks);
    QSignalSpy changed(&player, &Playback::changed);
    live()->time = 12.5;
    EXPECT_TRUE(waitFor([&] { return player.position() == 12.5; }));
    // The player stopping by itself shows at the next tick.
    live()->playingNow = false;
    EXPECT_TRUE(waitFor([&] { return !player.playing(); }));
    // The timer runs on while paused.
    live()->time = 13;
    EXPECT_TRUE(waitFor([&] { return player.position() == 13; }));
    EXPECT_GE(changed.size(), 3);
    // A duration learnt later is published.
    live()->learnDuration(241);
    EXPECT_EQ(player.duration(), 241);
}

} // namespace
