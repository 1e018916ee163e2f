#pragma once

// The audio engine over Qt Multimedia. A backend may open the file at once
// (an unreadable file then fails open()) or on its own threads (the length then
// arrives as durationChanged(), an unreadable file as failed()). Without any audio output prepareToPlay() says no at
// once, so a machine without sound never waits on a device.

#include "model/audioengine.h"

#include <QUrl>

class QAudioOutput;
class QMediaPlayer;

class QtAudioPlayer final : public AudioPlayer
{
    Q_OBJECT
public:
    explicit QtAudioPlayer(const QString &path, QObject *parent = nullptr);
    ~QtAudioPlayer() override;

    bool prepareToPlay() override;
    bool play() override;
    void pause() override;
    void stop() override;
    bool isPlaying() const override;
    double currentTime() const override;
    void setCurrentTime(double seconds) override;
    double duration() const override;
    void setVolume(float volume) override;

    // What went wrong while the file was opened; empty when nothing did.
    const QString &openError() const { return m_openError; }

    // True when the system offers an audio output to play into.
    static bool hasAudioOutput();

private:
    QMediaPlayer *m_player;
    QAudioOutput *m_output = nullptr;
    float m_volume = 1;
    bool m_loaded = false;  // the backend has read the file
    bool m_opening = false; // inside setSource()
    bool m_atEnd = false;   // played to the end and not moved since
    QString m_openError;
};

class QtAudioEngine final : public AudioEngine
{
public:
    // Chooses the FFmpeg backend unless the user named one: it decodes every
    // format the library imports, where others depend on installed plugins.
    QtAudioEngine();
    AudioPlayerPtr open(const QString &path, QString *error) override;
};
