#include "model/qtaudioengine.h"

#include "model/playback.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTest>
#include <QTemporaryDir>
#include <QUuid>
#include <QtEndian>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

// Qt's FFmpeg backend keeps a few bytes of the decoder's options for good once
// it has played into a real output; they are not ours to free.
extern "C" const char *__lsan_default_suppressions()
{
    return "leak:libavutil.so\n";
}

namespace {

// A 16-bit stereo PCM WAV of a quiet 440 Hz tone.
QByteArray wav(double seconds, int rate = 44'100)
{
    const int channels = 2;
    const quint32 frames = quint32(seconds * rate);
    const quint32 dataBytes = frames * channels * 2;
    QByteArray bytes;
    auto u32 = [&](quint32 v) {
        v = qToLittleEndian(v);
        bytes.append(reinterpret_cast<const char *>(&v), 4);
    };
    auto u16 = [&](quint16 v) {
        v = qToLittleEndian(v);
        bytes.append(reinterpret_cast<const char *>(&v), 2);
    };
    bytes.append("RIFF");
    u32(36 + dataBytes);
    bytes.append("WAVEfmt ");
    u32(16);
    u16(1);
    u16(channels);
    u32(quint32(rate));
    u32(quint32(rate * channels * 2));
    u16(quint16(channels * 2));
    u16(16);
    bytes.append("data");
    u32(dataBytes);
    for (quint32 i = 0; i < frames; ++i) {
        const auto sample = qint16(std::lround(3000 * std::sin(2 * M_PI * 440 * i / rate)));
        for (int c = 0; c < channels; ++c)
            u16(quint16(sample));
    }
    return bytes;
}

bool waitFor(const std::function<bool()> &done, int milliseconds = 10'000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < milliseconds)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

Track trackAt(const QString &path)
{
    Track track;
    track.id = QUuid::createUuid();
    track.url = path;
    track.title = u"Ton"_s;
    return track;
}

class QtAudioEngineTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        wavPath = dir.filePath(u"tone.wav"_s);
        QFile file(wavPath);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(wav(1.5));
    }

    QTemporaryDir dir;
    QString wavPath;
    const QString flacPath = QStringLiteral(VONTARO_TEST_DATA_DIR "/corpus/flac/full.flac");
};

TEST_F(QtAudioEngineTest, ChoosesTheFfmpegBackendUnlessOneIsNamed)
{
    // The test main leaves the variable alone, so the engine decides.
    QtAudioEngine engine;
    EXPECT_FALSE(qEnvironmentVariableIsEmpty("QT_MEDIA_BACKEND"));
    const QByteArray chosen = qgetenv("QT_MEDIA_BACKEND");
    qputenv("QT_MEDIA_BACKEND", "gstreamer");
    QtAudioEngine second;
    EXPECT_EQ(qgetenv("QT_MEDIA_BACKEND"), "gstreamer");
    qputenv("QT_MEDIA_BACKEND", chosen);
}

TEST_F(QtAudioEngineTest, ReadsTheLengthOfAWavAndAFlac)
{
    struct Case {
        QString path;
        double seconds;
    };
    for (const Case &c : {Case{wavPath, 1.5}, Case{flacPath, 1.0}}) {
        SCOPED_TRACE(c.path.toStdString());
        QtAudioEngine engine;
        QString error;
        AudioPlayerPtr player = engine.open(c.path, &error);
        ASSERT_TRUE(player);
        QSignalSpy failed(player.get(), &AudioPlayer::failed);
        ASSERT_TRUE(waitFor([&] { return player->duration() > 0 || !failed.isEmpty(); }));
        EXPECT_TRUE(failed.isEmpty());
        EXPECT_NEAR(player->duration(), c.seconds, 0.05);
        EXPECT_FALSE(player->isPlaying());
    }
}

TEST_F(QtAudioEngineTest, AFileThatIsNoAudioFailsWithTheBackendsText)
{
    const QString path = dir.filePath(u"notes.mp3"_s);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(4096, 'z'));
    file.close();

    // The backend refuses while opening, or else once it has tried to load.
    QtAudioEngine engine;
    QString error;
    AudioPlayerPtr player = engine.open(path, &error);
    if (player) {
        QSignalSpy failed(player.get(), &AudioPlayer::failed);
        ASSERT_TRUE(waitFor([&] { return !failed.isEmpty(); }));
        error = failed.first().first().toString();
    }
    EXPECT_FALSE(error.isEmpty());
    // The backend's own English never reaches the user as it is.
    EXPECT_FALSE(error.contains(u"Could not"_s)) << error.toStdString();

    // The player shows that text after its own words, whatever the output.
    Playback playback;
    playback.play(trackAt(path), {});
    ASSERT_TRUE(waitFor([&] { return playback.error().has_value(); }));
    EXPECT_EQ(*playback.error(), u"Nie można odtworzyć pliku: "_s + error);
    EXPECT_FALSE(playback.playing());
    EXPECT_FALSE(playback.loaded());
}

// With an audio output the file plays and reports where it is; without one
// (a build machine) the start fails at once with the player's own text.
TEST_F(QtAudioEngineTest, PlaysOrSaysTheOutputIsMissing)
{
    for (const QString &path : {wavPath, flacPath}) {
        SCOPED_TRACE(path.toStdString());
        Playback playback;
        QElapsedTimer clock;
        clock.start();
        playback.play(trackAt(path), {});
        EXPECT_LT(clock.elapsed(), 5'000);
        ASSERT_TRUE(playback.current());
        if (!QtAudioPlayer::hasAudioOutput()) {
            EXPECT_FALSE(playback.playing());
            EXPECT_FALSE(playback.loaded());
            EXPECT_EQ(playback.error(), u"Nie można odtworzyć pliku: Ten komputer nie może odtworzyć tego pliku "
                                        u"lub wyjście audio jest niedostępne."_s);
            // Trying again (the play button on the loaded row) fails the same way.
            playback.toggle();
            EXPECT_TRUE(playback.error().has_value());
            continue;
        }
        EXPECT_TRUE(playback.playing());
        EXPECT_FALSE(playback.error().has_value());
        EXPECT_TRUE(waitFor([&] { return playback.duration() > 0.9 && playback.position() > 0.1; }));
        playback.stop();
        EXPECT_FALSE(playback.current());
    }
}

// Where an output exists: a file played to its end stops there, showing its
// length, and playing it again starts from the beginning.
TEST_F(QtAudioEngineTest, AFilePlayedToItsEndStartsAgainFromTheBeginning)
{
    if (!QtAudioPlayer::hasAudioOutput())
        GTEST_SKIP() << "no audio output";
    const QString shortPath = dir.filePath(u"short.wav"_s);
    QFile file(shortPath);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(wav(0.4));
    file.close();

    Playback playback;
    playback.play(trackAt(shortPath), {});
    ASSERT_TRUE(playback.playing());
    ASSERT_TRUE(waitFor([&] { return !playback.playing() && playback.position() > 0.3; }));
    EXPECT_TRUE(playback.loaded());
    EXPECT_NEAR(playback.position(), playback.duration(), 0.05);
    playback.toggle();
    EXPECT_TRUE(playback.playing());
    EXPECT_TRUE(waitFor([&] { return playback.position() < 0.3; }));
    playback.stop();
}

// Where an output exists: the end of a file that was replaced before it ended
// never stops or skips the track that replaced it.
TEST_F(QtAudioEngineTest, AReplacedFileNeverActsOnTheNewTrack)
{
    if (!QtAudioPlayer::hasAudioOutput())
        GTEST_SKIP() << "no audio output";
    const QString shortPath = dir.filePath(u"short.wav"_s);
    QFile file(shortPath);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(wav(0.3));
    file.close();

    Playback playback;
    const Track first = trackAt(shortPath);
    const Track second = trackAt(wavPath);
    const QList<Track> queue{first, second, trackAt(flacPath)};
    playback.play(first, queue);
    playback.play(second, queue);
    QTest::qWait(800);
    ASSERT_TRUE(playback.current());
    EXPECT_EQ(playback.current()->id, second.id);
    EXPECT_TRUE(playback.playing());
    EXPECT_EQ(playback.index(), 1);
    playback.stop();
}

} // namespace
