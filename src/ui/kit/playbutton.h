#pragma once

// The small play button of a track row: plays its track within the row list's
// tracks, and shows pause only while that very track is loaded and playing.
// Pressing it again on the loaded track pauses or resumes (the player decides).
//
// Item views that draw their rows themselves use the static helpers, so a
// painted row looks and reads the same as the widget.

#include "media/records.h"

#include <QAbstractButton>
#include <QList>
#include <QPointer>

class Playback;
class QPainter;
class TavoModel;

class PlayButton : public QAbstractButton
{
    Q_OBJECT
public:
    PlayButton(Playback *player, const Track &track, const QList<Track> &queue, QWidget *parent = nullptr);
    // Bound to the model's one player.
    PlayButton(TavoModel *model, const Track &track, const QList<Track> &queue, QWidget *parent = nullptr);

    const Track &track() const { return m_track; }
    // True while this row's track is the loaded one and is playing.
    bool rowPlaying() const;

    QSize sizeHint() const override;

    // The row counts as playing when the player's current track is this one and it plays.
    static bool playsRow(const Playback &player, const Track &track);
    // "pause.fill" for a playing row, else "play.fill".
    static QString symbol(bool playing);
    // The accessibility label, in the interface language.
    static QString accessibleLabel(bool playing);
    // The tooltip, the same for every state, in the interface language.
    static QString helpText();
    // Draws the button's symbol centred in `rect`.
    static void paintSymbol(QPainter &painter, const QRect &rect, bool playing, const QPalette &palette,
                            bool pressed = false);

    static constexpr int width = 18;
    static constexpr double symbolSize = 11;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void follow();

    QPointer<Playback> m_player;
    Track m_track;
    QList<Track> m_queue;
    bool m_shownPlaying = false;
};
