#include "app/playback.h"

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
