#include "model/playback.h"

Playback::Playback(QObject *parent)
    : QObject(parent)
{
}

void Playback::stop()
{
    m_playing = false;
    m_current.reset();
    m_error.reset();
    m_position = 0;
    m_duration = 0;
    m_queue.clear();
    emit changed();
}

void Playback::play(const Track &track, const QList<Track> &queue)
{
    if (m_current && m_current->id == track.id) {
        m_playing = !m_playing;
        emit changed();
        return;
    }
    m_queue = queue.isEmpty() ? QList<Track>{track} : queue;
    m_index = 0;
    for (qsizetype i = 0; i < m_queue.size(); ++i) {
        if (m_queue[i].id == track.id) {
            m_index = i;
            break;
        }
    }
    m_current = m_queue[m_index];
    m_playing = true;
    m_position = 0;
    m_error.reset();
    emit changed();
}
