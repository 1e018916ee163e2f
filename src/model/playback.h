#pragma once

// The player for listening to tracks on this computer. The model owns exactly
// one for its whole life. It plays one track at a time from a short play list
// (the queue) and publishes what it does, so the mini player and the play
// buttons can show it. Its failures stay in its own `error` text; nothing of
// it reaches the model's alert or status.

#include "media/records.h"
#include "model/audioengine.h"

#include <QList>
#include <QObject>
#include <QString>
#include <memory>
#include <optional>

class QTimer;

class Playback : public QObject
{
    Q_OBJECT

public:
    // Plays through Qt Multimedia, opened on the first start.
    explicit Playback(QObject *parent = nullptr);
    // Plays through `engine` (tests give a fake one).
    explicit Playback(std::unique_ptr<AudioEngine> engine, QObject *parent = nullptr);
    ~Playback() override;

    // Replaces the engine; whatever is loaded is stopped first.
    void setEngine(std::unique_ptr<AudioEngine> engine);

    // The loaded track; stays set after a start that failed.
    const std::optional<Track> &current() const { return m_current; }
    bool playing() const { return m_playing; }
    double position() const { return m_position; } // seconds
    double duration() const { return m_duration; } // seconds of the loaded file
    // The last failure, a Polish text.
    const std::optional<QString> &error() const { return m_error; }
    double volume() const { return m_volume; }
    const QList<Track> &queue() const { return m_queue; }
    qsizetype index() const { return m_index; }
    // True while an engine player holds the loaded file.
    bool loaded() const { return bool(m_audio); }

    // Toggles pause when `track` (by id) is loaded in a player; otherwise makes
    // `queue` the play queue (the track alone when it is empty) and plays the track.
    void play(const Track &track, const QList<Track> &queue);
    // Ends listening and unloads everything; the queue position is kept.
    void stop();
    // Pauses or resumes; restarts a file that played to its end; tries the
    // loaded track again when its start failed.
    void toggle();
    // Moves within the loaded file, clamped to 0…duration.
    void seek(double seconds);
    // The next track of the queue; nothing at its end.
    void next();
    // Back to the start of the track after its first 3 seconds, else the track before.
    void previous();
    // Also sets the live player's volume; not clamped here.
    void setVolume(double value);

    // How often the position is read while a player exists.
    static constexpr int positionInterval = 400; // ms
    // Up to this position `previous()` goes to the track before.
    static constexpr double restartThreshold = 3.0; // s

signals:
    // Any published value changed.
    void changed();

private:
    void start(const Track &track);
    void dropPlayer();
    void fail(const QString &description);
    void tick();
    void onFinished(AudioPlayer *player);
    void onDecodeError(AudioPlayer *player, const QString &description);
    void onFailed(AudioPlayer *player, const QString &description);
    void onDurationChanged(AudioPlayer *player);
    AudioEngine &engine();

    std::optional<Track> m_current;
    bool m_playing = false;
    double m_position = 0;
    double m_duration = 0;
    std::optional<QString> m_error;
    double m_volume = 0.6;
    AudioPlayerPtr m_audio;
    QTimer *m_timer = nullptr;
    QList<Track> m_queue;
    qsizetype m_index = 0;
    std::unique_ptr<AudioEngine> m_engine;
};
