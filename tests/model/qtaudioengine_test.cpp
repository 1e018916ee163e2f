#include "model/qtaudioengine.h"

#include "model/playback.h"
#include "support/qtprinters.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTest>
#include <QTemporaryDir>
#include <QUuid>
#include <QtEndian>
#include <cmath>
#include <functional>
#include <optional>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

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

// Names people give their files: the backend must open each as it is, not as
// a path made back from its file URL (Latin-1 in Qt 6.4's FFmpeg backend) or
// read as an encoded URL. Each format the library imports is among them.
struct AwkwardName {
    QString name;
    QString source;  // a file of tests/data; empty for a 2 s WAV made here
    double seconds;  // the length; 0 when any length will do
};

QList<AwkwardName> awkwardNames()
{
    const QString audio = QStringLiteral(VONTARO_TEST_DATA_DIR "/audio/");
    return {
        {u"Źródło.wav"_s, {}, 2.0},
        {u"Kwiat Jabłoni/Dziś późno pójdę spać.wav"_s, {}, 2.0},
        {u"夜に駆ける.wav"_s, {}, 2.0},
        {u"🎵 nuta.wav"_s, {}, 2.0},
        {u"cafe\u0301 e\u0301.wav"_s, {}, 2.0}, // accents as combining marks
        {u"two  spaces .wav"_s, {}, 2.0},
        {u"#1 hit.wav"_s, {}, 2.0},
        {u"100% pure.wav"_s, {}, 2.0},
        {u"caf%C3%A9%20.wav"_s, {}, 2.0}, // reads like an encoded URL
        {u"why?.wav"_s, {}, 2.0},
        {u"Żółć gęślą.flac"_s, QStringLiteral(VONTARO_TEST_DATA_DIR "/corpus/flac/full.flac"), 1.0},
        {u"Łąka aac.m4a"_s, audio + u"aac.m4a"_s, 0},
        {u"Łąka adts.aac"_s, audio + u"adts.aac"_s, 0},
        {u"Łąka alac.m4a"_s, audio + u"alac.m4a"_s, 0},
        {u"Łąka opus.opus"_s, audio + u"opus.opus"_s, 0},
        {u"Łąka tagged.aiff"_s, audio + u"tagged.aiff"_s, 0},
        {u"Łąka tagged.mp3"_s, audio + u"tagged.mp3"_s, 0},
        {u"Łąka vorbis.ogg"_s, audio + u"vorbis.ogg"_s, 0},
        {u"Łąka wav24.wav"_s, audio + u"wav24.wav"_s, 0},
    };
}

class AwkwardNamesTest : public QtAudioEngineTest
{
protected:
    void SetUp() override
    {
        QtAudioEngineTest::SetUp();
        for (const AwkwardName &awkward : awkwardNames()) {
            const QString path = dir.filePath(awkward.name);
            ASSERT_TRUE(QDir().mkpath(QFileInfo(path).path()));
            if (!awkward.source.isEmpty()) {
                ASSERT_TRUE(QFile::copy(awkward.source, path)) << awkward.source.toStdString();
            } else {
                QFile file(path);
                ASSERT_TRUE(file.open(QIODevice::WriteOnly));
                file.write(wav(2.0));
            }
            paths.append(path);
            seconds.append(awkward.seconds);
        }
    }

    QStringList paths;
    QList<double> seconds;
};

TEST_F(AwkwardNamesTest, TheEngineOpensEveryName)
{
    for (qsizetype i = 0; i < paths.size(); ++i) {
        SCOPED_TRACE(paths[i].toStdString());
        QtAudioEngine engine;
        QString error;
        AudioPlayerPtr player = engine.open(paths[i], &error);
        ASSERT_TRUE(player) << error.toStdString();
        QSignalSpy failed(player.get(), &AudioPlayer::failed);
        ASSERT_TRUE(waitFor([&] { return player->duration() > 0 || !failed.isEmpty(); }));
        EXPECT_TRUE(failed.isEmpty()) << (failed.isEmpty() ? "" : failed.first().first().toString().toStdString());
        if (seconds[i] > 0) {
            EXPECT_NEAR(player->duration(), seconds[i], 0.05);
        }
    }
}

// Next and previous walk across them as across any ASCII name: each plays where
// an output exists, and otherwise ends exactly as a plain name does, with the
// missing output, never with a file that could not be opened.
TEST_F(AwkwardNamesTest, NextAndPreviousWalkAcrossThem)
{
    std::optional<QString> plainEnd;
    {
        Playback plain;
        plain.play(trackAt(wavPath), {});
        plainEnd = plain.error();
        plain.stop();
    }
    if (QtAudioPlayer::hasAudioOutput())
        EXPECT_FALSE(plainEnd.has_value());
    else
        ASSERT_TRUE(plainEnd.has_value());

    QList<Track> queue;
    // The made WAVs, each long enough that none ends while the walk looks at it.
    for (qsizetype i = 0; i < paths.size(); ++i) {
        if (seconds[i] == 2.0)
            queue.append(trackAt(paths[i]));
    }
    ASSERT_GE(queue.size(), 10);
    Playback playback;
    auto expectPlays = [&](qsizetype index) {
        SCOPED_TRACE(queue[index].url.toStdString());
        ASSERT_TRUE(playback.current());
        EXPECT_EQ(playback.current()->id, queue[index].id);
        EXPECT_EQ(playback.index(), index);
        EXPECT_EQ(playback.error().value_or(u"none"_s), plainEnd.value_or(u"none"_s));
        if (plainEnd)
            return;
        EXPECT_TRUE(playback.playing());
        EXPECT_TRUE(waitFor([&] { return playback.position() > 0.1 || playback.error(); }));
        EXPECT_FALSE(playback.error().has_value());
    };
    playback.play(queue.first(), queue);
    expectPlays(0);
    for (qsizetype i = 1; i < queue.size(); ++i) {
        playback.next();
        expectPlays(i);
    }
    for (qsizetype i = queue.size() - 2; i >= 0; --i) {
        playback.previous();
        expectPlays(i);
    }
    playback.stop();
}

// With an audio output the file plays and reports where it is; without one
// (a build machine) the start fails at once with the player's own text.
TEST_F(QtAudioEngineTest, PlaysOrSaysTheOutputIsMissing)
{
    for (const QString &path : {wavPath, flacPath}) {
        SCOPED_TRACE(path.toStdString());
        Playback playback;
        playback.play(trackAt(path), {});
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
