#include "ui/kit/playbutton.h"

#include "model/playback.h"
#include "model/tavomodel.h"
#include "ui/kit/kit.h"

#include <QPainter>

using namespace Qt::StringLiterals;

PlayButton::PlayButton(Playback *player, const Track &track, const QList<Track> &queue, QWidget *parent)
    : QAbstractButton(parent), m_player(player), m_track(track), m_queue(queue)
{
    setFocusPolicy(Qt::TabFocus);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    setToolTip(helpText());
    if (m_player)
        connect(m_player, &Playback::changed, this, &PlayButton::follow);
    connect(this, &QAbstractButton::clicked, this, [this] {
        if (m_player)
            m_player->play(m_track, m_queue);
    });
    m_shownPlaying = rowPlaying();
    setAccessibleName(accessibleLabel(m_shownPlaying));
}

PlayButton::PlayButton(TavoModel *model, const Track &track, const QList<Track> &queue, QWidget *parent)
    : PlayButton(model ? model->playback() : nullptr, track, queue, parent)
{
}

bool PlayButton::rowPlaying() const { return m_player && playsRow(*m_player, m_track); }

bool PlayButton::playsRow(const Playback &player, const Track &track)
{
    return player.current() && player.current()->id == track.id && player.playing();
}

QString PlayButton::symbol(bool playing) { return playing ? u"pause.fill"_s : u"play.fill"_s; }

QString PlayButton::accessibleLabel(bool playing) { return kit::tr(playing ? u"Pauza"_s : u"Odtwórz"_s); }

QString PlayButton::helpText() { return kit::tr(u"Odsłuch na komputerze"_s); }

QSize PlayButton::sizeHint() const { return QSize(width, width); }

void PlayButton::follow()
{
    // The player reports several times a second; redraw only on a real change.
    const bool now = rowPlaying();
    if (now == m_shownPlaying)
        return;
    m_shownPlaying = now;
    setAccessibleName(accessibleLabel(now));
    update();
}

void PlayButton::paintSymbol(QPainter &painter, const QRect &rect, bool playing, const QPalette &palette, bool pressed)
{
    QColor color = kit::blue(palette);
    if (pressed)
        color = color.darker(130);
    const double dpr = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const QPixmap pixmap = kit::symbolPixmap(symbol(playing), symbolSize, color, dpr);
    if (pixmap.isNull())
        return;
    const QSizeF logical = pixmap.deviceIndependentSize();
    const QPointF topLeft(rect.x() + (rect.width() - logical.width()) / 2.0,
                          rect.y() + (rect.height() - logical.height()) / 2.0);
    painter.drawPixmap(topLeft, pixmap);
}

void PlayButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    paintSymbol(painter, rect(), m_shownPlaying, palette(), isDown());
    if (hasFocus()) {
        painter.setPen(QPen(kit::blue(palette()), 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
    }
}
