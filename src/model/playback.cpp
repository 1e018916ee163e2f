#include "model/playback.h"

#include <QFileInfo>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {
const QString failurePrefix = u"Nie można odtworzyć pliku: "_s;
const QString missingFile = u"Plik nie jest dostępny. Sprawdź połączenie z iPodem."_s;
const QString refused = u"Ten komputer nie może odtworzyć tego pliku lub wyjście audio jest niedostępne."_s;
const QString decodePrefix = u"Błąd dekodowania audio: "_s;
const QString unknownError = u"Nieznany błąd"_s;
} // namespace

Playback::Playback(QObject *parent)
    : Playback(nullptr, parent)
{
}

Playback::Playback(std::unique_ptr<AudioEngine> engine, QObject *parent)
    : QObject(parent), m_timer(new QTimer(this)), m_engine(std::move(engine))
{
    m_timer->setInterval(positionInterval);
    connect(m_timer, &QTimer::timeout, this, &Playback::tick);
}

Playback::~Playback()
{
    // A player still loaded goes now, while the engine that made it exists.
    if (m_audio) {
        m_audio->disconnect(this);
        m_audio->stop();
        delete m_audio.release();
    }
}

void Playback::setEngine(std::unique_ptr<AudioEngine> engine)
{
    stop();
    m_engine = std::move(engine);
}

AudioEngine &Playback::engine()
{
    // Made on first use, so a model that never plays never loads a media backend.
    if (!m_engine)
        m_engine = AudioEngine::system();
    return *m_engine;
}

void Playback::play(const Track &track, const QList<Track> &queue)
{
    if (m_current && m_current->id == track.id && m_audio) {
        toggle();
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
    start(track);
}

void Playback::dropPlayer()
{
    if (m_audio) {
        // Nothing a dropped player still sends may act on the next track.
        m_audio->disconnect(this);
        m_audio->stop();
        m_audio.reset();
    }
    m_timer->stop();
}

void Playback::start(const Track &track)
{
    dropPlayer();
    m_current = track;
    m_position = 0;
    m_duration = 0;
    m_playing = false;
    m_error.reset();
    emit changed();

    if (!QFileInfo::exists(track.url)) {
        fail(missingFile);
        return;
    }
    QString openError;
    AudioPlayerPtr player = engine().open(track.url, &openError);
    if (!player) {
        fail(openError);
        return;
    }
    // A child of the player, so one dropped while events are pending still
    // goes with the player at the latest.
    player->setParent(this);
    AudioPlayer *raw = player.get();
    connect(raw, &AudioPlayer::finished, this, [this, raw] { onFinished(raw); });
    connect(raw, &AudioPlayer::decodeError, this,
            [this, raw](const QString &description) { onDecodeError(raw, description); });
    connect(raw, &AudioPlayer::failed, this, [this, raw](const QString &description) { onFailed(raw, description); });
    connect(raw, &AudioPlayer::durationChanged, this, [this, raw] { onDurationChanged(raw); });
    player->setVolume(float(m_volume));
    if (!player->prepareToPlay() || !player->play()) {
        player->disconnect(this);
        player.reset();
        fail(refused);
        return;
    }
    m_audio = std::move(player);
    m_duration = m_audio->duration();
    m_playing = true;
    emit changed();
    m_timer->start();
}

void Playback::fail(const QString &description)
{
    m_playing = false;
    m_error = failurePrefix + description;
    emit changed();
}

void Playback::tick()
{
    if (!m_audio)
        return;
    m_position = m_audio->currentTime();
    m_playing = m_audio->isPlaying();
    emit changed();
}

void Playback::stop()
{
    dropPlayer();
    m_playing = false;
    m_current.reset();
    m_error.reset();
    m_position = 0;
    m_duration = 0;
    m_queue.clear();
    emit changed();
}

void Playback::toggle()
{
    if (m_audio) {
        if (m_audio->isPlaying()) {
            m_audio->pause();
            m_playing = false;
        } else {
            // A file that played to its end starts again from the beginning.
            if (!(m_audio->duration() > m_audio->currentTime()))
                m_audio->setCurrentTime(0);
            m_playing = m_audio->play();
        }
        emit changed();
        return;
    }
    if (m_current) {
        const Track track = *m_current;
        start(track);
    }
}

void Playback::seek(double seconds)
{
    if (m_audio) {
        double target = seconds < 0 ? 0 : seconds;
        if (m_duration < target)
            target = m_duration;
        m_audio->setCurrentTime(target);
        m_position = m_audio->currentTime();
    } else {
        m_position = 0;
    }
    emit changed();
}

void Playback::next()
{
    if (m_index + 1 < m_queue.size()) {
        ++m_index;
        const Track track = m_queue[m_index];
        start(track);
    }
}

void Playback::previous()
{
    if (m_position > restartThreshold) {
        seek(0);
        return;
    }
    // After stop() the queue is empty while the index is kept: never step outside.
    if (m_index >= 1 && m_index <= m_queue.size()) {
        --m_index;
        const Track track = m_queue[m_index];
        start(track);
    }
}

void Playback::setVolume(double value)
{
    m_volume = value;
    if (m_audio)
        m_audio->setVolume(float(value));
    emit changed();
}

void Playback::onFinished(AudioPlayer *player)
{
    if (player != m_audio.get())
        return;
    m_playing = false;
    m_position = m_duration;
    emit changed();
    if (m_index + 1 < m_queue.size())
        next();
}

void Playback::onDecodeError(AudioPlayer *player, const QString &description)
{
    if (player != m_audio.get())
        return;
    m_playing = false;
    m_error = decodePrefix + (description.isEmpty() ? unknownError : description);
    emit changed();
}

void Playback::onFailed(AudioPlayer *player, const QString &description)
{
    if (player != m_audio.get())
        return;
    // Found unplayable only while loading: the same end as a start that failed.
    dropPlayer();
    fail(description);
}

void Playback::onDurationChanged(AudioPlayer *player)
{
    if (player != m_audio.get())
        return;
    m_duration = player->duration();
    emit changed();
}
