#pragma once

// An audio engine that plays nothing: each opened file becomes a player that
// does what the test tells it and reports what it was asked to do.

#include "model/audioengine.h"
#include "model/playback.h"

#include <QDir>
#include <QFile>
#include <QList>
#include <QMap>
#include <QPointer>
#include <QTemporaryDir>
#include <QUuid>
#include <memory>

class FakeAudioPlayer : public AudioPlayer
{
public:
    QString path;
    bool prepareResult = true;
    bool playResult = true;
    bool playingNow = false;
    double time = 0;
    double length = 0;
    float volume = -1;
    int plays = 0;
    int pauses = 0;
    int stops = 0;

    bool prepareToPlay() override { return prepareResult; }
    bool play() override
    {
        ++plays;
        playingNow = playResult;
        return playResult;
    }
    void pause() override
    {
        ++pauses;
        playingNow = false;
    }
    void stop() override
    {
        ++stops;
        playingNow = false;
    }
    bool isPlaying() const override { return playingNow; }
    double currentTime() const override { return time; }
    void setCurrentTime(double seconds) override { time = seconds; }
    double duration() const override { return length; }
    void setVolume(float value) override { volume = value; }

    // What the platform would send.
    void playToEnd()
    {
        playingNow = false;
        time = length;
        emit finished(true);
    }
    void sendDecodeError(const QString &text) { emit decodeError(text); }
    void sendFailure(const QString &text) { emit failed(text); }
    void learnDuration(double seconds)
    {
        length = seconds;
        emit durationChanged();
    }
};

struct FakeAudioState {
    QList<QPointer<FakeAudioPlayer>> players; // every player opened, in order
    QMap<QString, QString> openErrors;        // path → the error opening it gives
    double duration = 180;                    // of every file opened
    bool prepareResult = true;
    bool playResult = true;

    FakeAudioPlayer *last() const { return players.isEmpty() ? nullptr : players.last().data(); }
};

class FakeAudioEngine : public AudioEngine
{
public:
    explicit FakeAudioEngine(std::shared_ptr<FakeAudioState> state) : m_state(std::move(state)) {}

    AudioPlayerPtr open(const QString &path, QString *error) override
    {
        if (m_state->openErrors.contains(path)) {
            *error = m_state->openErrors.value(path);
            return nullptr;
        }
        auto *player = new FakeAudioPlayer;
        player->path = path;
        player->length = m_state->duration;
        player->prepareResult = m_state->prepareResult;
        player->playResult = m_state->playResult;
        m_state->players << player;
        return AudioPlayerPtr(player);
    }

private:
    std::shared_ptr<FakeAudioState> m_state;
};

// Gives the player a fake engine and returns what the test steers it by.
inline std::shared_ptr<FakeAudioState> installFakeAudio(Playback &playback)
{
    auto state = std::make_shared<FakeAudioState>();
    playback.setEngine(std::make_unique<FakeAudioEngine>(state));
    return state;
}

// Tracks whose files exist (empty files: the fake engine never reads them).
inline QList<Track> fakeTracks(const QTemporaryDir &dir, int count)
{
    QList<Track> tracks;
    for (int i = 0; i < count; ++i) {
        Track track;
        track.id = QUuid::createUuid();
        track.url = dir.filePath(QStringLiteral("track%1.flac").arg(i + 1));
        track.title = QStringLiteral("Utwór %1").arg(i + 1);
        track.artist = QStringLiteral("Wykonawca %1").arg(i + 1);
        track.album = QStringLiteral("Album");
        QFile file(track.url);
        if (file.open(QIODevice::WriteOnly))
            file.write("x");
        tracks << track;
    }
    return tracks;
}
