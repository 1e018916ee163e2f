#pragma once

// What the player needs of an audio engine: open one file, prepare it, start,
// pause, seek and read back where it is. The player talks only to this, so tests
// can give it an engine that plays nothing and answers as they say.

#include <QObject>
#include <QString>
#include <memory>

// One opened file. Loading may finish after the calls return: a platform that
// learns the file's length later says so with durationChanged(), and one that
// finds the file unplayable only while loading says so with failed().
class AudioPlayer : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // Gets the file ready; false when it cannot be played here (for example
    // without any audio output).
    virtual bool prepareToPlay() = 0;
    // Starts or resumes; false when the engine refuses.
    virtual bool play() = 0;
    virtual void pause() = 0;
    virtual void stop() = 0;
    virtual bool isPlaying() const = 0;
    // Seconds from the start of the file.
    virtual double currentTime() const = 0;
    virtual void setCurrentTime(double seconds) = 0;
    // Seconds; 0 while unknown.
    virtual double duration() const = 0;
    // 0 is silent, 1 full.
    virtual void setVolume(float volume) = 0;

signals:
    void durationChanged();
    // The file played to its end.
    void finished(bool successfully);
    // Decoding failed while playing; an empty text when the engine gave none.
    void decodeError(const QString &description);
    // The file turned out not to be playable after it was opened.
    void failed(const QString &description);
};

// Deletes a player once control is back in the event loop, so a player may be
// dropped from inside one of its own signals.
struct AudioPlayerDeleter {
    void operator()(AudioPlayer *player) const
    {
        if (player)
            player->deleteLater();
    }
};
using AudioPlayerPtr = std::unique_ptr<AudioPlayer, AudioPlayerDeleter>;

class AudioEngine
{
public:
    virtual ~AudioEngine() = default;
    // A player for the file at `path`; nullptr with `error` set when the engine
    // cannot open it as audio.
    virtual AudioPlayerPtr open(const QString &path, QString *error) = 0;

    // Qt Multimedia, preferring its FFmpeg backend.
    static std::unique_ptr<AudioEngine> system();
};
