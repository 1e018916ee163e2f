#pragma once

// The preview player for listening to tracks on this computer. The model owns
// exactly one for its whole life; for now it only knows how to stop, which is
// what disconnecting a device relies on.

#include "media/records.h"

#include <QList>
#include <QObject>
#include <QString>
#include <optional>

class Playback : public QObject
{
    Q_OBJECT

public:
    explicit Playback(QObject *parent = nullptr);

    const std::optional<Track> &current() const { return m_current; }
    bool playing() const { return m_playing; }
    double position() const { return m_position; }
    double duration() const { return m_duration; }
    const std::optional<QString> &error() const { return m_error; }
    double volume() const { return m_volume; }
    const QList<Track> &queue() const { return m_queue; }
    qsizetype index() const { return m_index; }

    // Toggles pause when `track` (by id) is the loaded one; otherwise makes `queue`
    // the play queue (the track alone when it is empty) and plays the track.
    void play(const Track &track, const QList<Track> &queue);

    // Ends listening and unloads everything; the queue position is kept.
    void stop();

signals:
    void changed();

private:
    std::optional<Track> m_current;
    bool m_playing = false;
    double m_position = 0;
    double m_duration = 0;
    std::optional<QString> m_error;
    double m_volume = 0.6;
    QList<Track> m_queue;
    qsizetype m_index = 0;
};
