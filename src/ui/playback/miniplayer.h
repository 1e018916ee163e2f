#pragma once

// The strip under every page while a track is loaded: title and artist,
// previous, play or pause, next, volume, end, and either the position with its
// slider or the last playback error. It keeps nothing of its own: it shows the
// player and calls it.

#include <QPointer>
#include <QWidget>

class Playback;
class QLabel;
class QSlider;
class QToolButton;

class MiniPlayer : public QWidget
{
    Q_OBJECT
public:
    explicit MiniPlayer(Playback *player, QWidget *parent = nullptr);

    // As shown (the subtitle in the interface language).
    QString title() const;
    QString subtitle() const;

    QToolButton *previousButton() const { return m_previous; }
    QToolButton *playButton() const { return m_play; }
    QToolButton *nextButton() const { return m_next; }
    QToolButton *closeButton() const { return m_close; }
    QSlider *volumeSlider() const { return m_volume; }
    QSlider *positionSlider() const { return m_position; }
    QLabel *elapsedLabel() const { return m_elapsed; }
    QLabel *lengthLabel() const { return m_length; }
    QLabel *errorLabel() const { return m_error; }
    // True while the error row stands in the position row's place.
    bool showsError() const;

    // The position slider counts in steps of this many seconds.
    static constexpr double positionStep = 0.01;

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void follow();
    void paintSymbols();

    QPointer<Playback> m_player;
    QWidget *m_titleBlock;
    QLabel *m_title;
    QLabel *m_subtitle;
    QToolButton *m_previous;
    QToolButton *m_play;
    QToolButton *m_next;
    QLabel *m_speaker;
    QSlider *m_volume;
    QToolButton *m_close;
    QWidget *m_positionRow;
    QLabel *m_elapsed;
    QSlider *m_position;
    QLabel *m_length;
    QLabel *m_error;
    QString m_fullTitle;
    QString m_fullSubtitle;
    bool m_shownPlaying = false;
};
