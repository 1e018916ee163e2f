#include "model/qtaudioengine.h"

#include "model/playererrors.h"

#include <QAudioDevice>
#include <QAudioOutput>
#include <QFile>
#include <QFileInfo>
#include <QMediaDevices>
#include <QMediaPlayer>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

// A path to the file that survives the backend's Latin-1 round trip: the path
// itself when it is ASCII, else this process's own name of the open file
// (/proc/self/fd/N, which opens the very file the name led to); empty where
// the system offers no such name.
QString asciiPath(const QString &path, const QFile &file)
{
    if (std::all_of(path.cbegin(), path.cend(), [](QChar c) { return c.unicode() < 0x80; }))
        return path;
    const QString own = u"/proc/self/fd/%1"_s.arg(file.handle());
    return file.handle() >= 0 && QFileInfo::exists(own) ? own : QString();
}

} // namespace

QtAudioPlayer::QtAudioPlayer(const QString &path, QObject *parent)
    : AudioPlayer(parent), m_file(std::make_unique<QFile>(path)), m_player(new QMediaPlayer(this))
{
    connect(m_player, &QMediaPlayer::durationChanged, this, &AudioPlayer::durationChanged);
    connect(m_player, &QMediaPlayer::mediaStatusChanged, this, [this](QMediaPlayer::MediaStatus status) {
        switch (status) {
        case QMediaPlayer::LoadedMedia:
        case QMediaPlayer::BufferingMedia:
        case QMediaPlayer::BufferedMedia:
            m_loaded = true;
            break;
        case QMediaPlayer::EndOfMedia:
            // The backend rewinds a finished file; the player expects it to stay at its end.
            m_atEnd = true;
            emit finished(true);
            break;
        default:
            break;
        }
    });
    connect(m_player, &QMediaPlayer::errorOccurred, this, [this](QMediaPlayer::Error error, const QString &system) {
        if (error == QMediaPlayer::NoError)
            return;
        const QString text = playerErrorText(error, system);
        // Before the file was read the file itself is at fault; afterwards the decoding.
        if (m_loaded)
            emit decodeError(text);
        else if (m_opening)
            m_openError = text;
        else
            emit failed(text);
    });
    if (!m_file->open(QIODevice::ReadOnly)) {
        m_openError = m_file->errorString();
        return;
    }
    // Some backends open the file right here, reporting a failure before anyone listens.
    m_opening = true;
    const QString alias = asciiPath(path, *m_file);
    if (!alias.isEmpty()) {
        m_player->setSource(QUrl::fromLocalFile(alias));
    } else {
        // The backend then reads through the file itself (leaving FFmpeg's small
        // reading buffer behind in Qt 6.4); the URL only names the format.
        m_player->setSourceDevice(m_file.get(), QUrl::fromLocalFile(path));
    }
    m_opening = false;
    if (m_openError.isEmpty() && m_player->error() != QMediaPlayer::NoError)
        m_openError = playerErrorText(m_player->error(), m_player->errorString());
}

QtAudioPlayer::~QtAudioPlayer()
{
    // The backend reads the file on its own threads until the player is gone.
    m_player->disconnect(this);
    delete m_player;
}

bool QtAudioPlayer::hasAudioOutput()
{
    return !QMediaDevices::defaultAudioOutput().isNull();
}

bool QtAudioPlayer::prepareToPlay()
{
    if (m_output)
        return true;
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull())
        return false;
    m_output = new QAudioOutput(device, this);
    m_output->setVolume(m_volume);
    m_player->setAudioOutput(m_output);
    return true;
}

bool QtAudioPlayer::play()
{
    if (!m_output)
        return false;
    if (m_atEnd) {
        m_atEnd = false;
        m_player->setPosition(0);
    }
    m_player->play();
    // A backend may enter the playing state a little later; only an error is a refusal.
    return m_player->playbackState() == QMediaPlayer::PlayingState || m_player->error() == QMediaPlayer::NoError;
}

void QtAudioPlayer::pause() { m_player->pause(); }

void QtAudioPlayer::stop() { m_player->stop(); }

bool QtAudioPlayer::isPlaying() const { return m_player->playbackState() == QMediaPlayer::PlayingState; }

double QtAudioPlayer::currentTime() const
{
    return m_atEnd ? duration() : double(m_player->position()) / 1000.0;
}

void QtAudioPlayer::setCurrentTime(double seconds)
{
    m_atEnd = false;
    m_player->setPosition(qint64(seconds * 1000.0));
}

double QtAudioPlayer::duration() const { return double(m_player->duration()) / 1000.0; }

void QtAudioPlayer::setVolume(float volume)
{
    m_volume = volume;
    if (m_output)
        m_output->setVolume(volume);
}

QtAudioEngine::QtAudioEngine()
{
    if (qEnvironmentVariableIsEmpty("QT_MEDIA_BACKEND"))
        qputenv("QT_MEDIA_BACKEND", "ffmpeg");
}

AudioPlayerPtr QtAudioEngine::open(const QString &path, QString *error)
{
    AudioPlayerPtr player(new QtAudioPlayer(path));
    const QString failure = static_cast<QtAudioPlayer *>(player.get())->openError();
    if (!failure.isEmpty()) {
        if (error)
            *error = failure;
        return nullptr;
    }
    return player;
}

std::unique_ptr<AudioEngine> AudioEngine::system()
{
    return std::make_unique<QtAudioEngine>();
}
