#pragma once

// The audio engine over Qt Multimedia. A backend may open the file at once
// (an unreadable file then fails open()) or on its own threads (the length then
// arrives as durationChanged(), an unreadable file as failed()). Without any audio output prepareToPlay() says no at
// once, so a machine without sound never waits on a device.
//
// The player keeps the file open while it plays and never hands the backend a
// path with letters outside ASCII: Qt 6.4's FFmpeg backend turns the file URL
// back into a path as Latin-1 bytes (QUrl::toEncoded with PreferLocalFile),
// which loses every such letter ("ź" becomes "?", "é" a byte that is no UTF-8),
// so the file would fail with "Could not open file". Such a file is opened
// through this process's own name of the open file instead.

#include "model/audioengine.h"

#include <memory>

class QAudioOutput;
class QFile;
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
    std::unique_ptr<QFile> m_file; // open, and read by the backend, until the player goes
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
