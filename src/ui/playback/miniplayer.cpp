#include "ui/playback/miniplayer.h"

#include "media/audioinfo.h"
#include "model/playback.h"
#include "ui/kit/kit.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QResizeEvent>
#include <QSignalBlocker>
#include <QSlider>
#include <QToolButton>
#include <QVBoxLayout>
#include <cmath>

using namespace Qt::StringLiterals;

namespace {

// A one-line label that shortens its text with an ellipsis to the width it gets.
class LineLabel : public QLabel
{
public:
    using QLabel::QLabel;
    void setFullText(const QString &text)
    {
        m_full = text;
        setToolTip(QString());
        elide();
    }
    const QString &fullText() const { return m_full; }
    QSize minimumSizeHint() const override { return QSize(0, QLabel::minimumSizeHint().height()); }

protected:
    void resizeEvent(QResizeEvent *event) override
    {
        QLabel::resizeEvent(event);
        elide();
    }

private:
    void elide() { setText(fontMetrics().elidedText(m_full, Qt::ElideRight, qMax(0, width()))); }
    QString m_full;
};

QToolButton *transportButton(QWidget *parent, const QString &name)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(name);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::TabFocus);
    button->setCursor(Qt::PointingHandCursor);
    button->setIconSize(QSize(15, 15));
    button->setStyleSheet(u"QToolButton { border: none; padding: 2px; background: transparent; }"_s);
    return button;
}

int positionSteps(double seconds)
{
    if (!std::isfinite(seconds) || seconds <= 0)
        return 0;
    return int(std::lround(qMin(seconds, 1e7) / MiniPlayer::positionStep));
}

} // namespace

MiniPlayer::MiniPlayer(Playback *player, QWidget *parent)
    : QWidget(parent), m_player(player), m_titleBlock(new QWidget(this)), m_title(new LineLabel(m_titleBlock)),
      m_subtitle(new LineLabel(m_titleBlock)), m_previous(transportButton(this, u"previous"_s)),
      m_play(transportButton(this, u"playPause"_s)), m_next(transportButton(this, u"next"_s)),
      m_speaker(new QLabel(this)), m_volume(new QSlider(Qt::Horizontal, this)),
      m_close(transportButton(this, u"close"_s)), m_positionRow(new QWidget(this)), m_elapsed(new QLabel(m_positionRow)),
      m_position(new QSlider(Qt::Horizontal, m_positionRow)), m_length(new QLabel(m_positionRow)),
      m_error(new QLabel(this))
{
    setObjectName(u"miniPlayer"_s);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);

    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(24, 12, 24, 12);
    outer->setSpacing(7);

    auto *top = new QHBoxLayout;
    top->setSpacing(12);
    auto *titles = new QVBoxLayout(m_titleBlock);
    titles->setContentsMargins(0, 0, 0, 0);
    titles->setSpacing(3);
    m_title->setFont(kit::font(12, QFont::DemiBold));
    m_subtitle->setFont(kit::font(kit::size::caption2));
    for (QLabel *label : {m_title, m_subtitle}) {
        label->setTextFormat(Qt::PlainText);
        label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        titles->addWidget(label);
    }
    m_titleBlock->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    top->addWidget(m_titleBlock, 1);

    m_previous->setAccessibleName(kit::tr(u"Poprzedni"_s));
    m_next->setAccessibleName(kit::tr(u"Następny"_s));
    m_close->setToolTip(kit::tr(u"Zakończ odsłuch"_s));
    m_close->setAccessibleName(kit::tr(u"Zakończ odsłuch"_s));
    m_volume->setObjectName(u"volume"_s);
    m_volume->setRange(0, 100);
    m_volume->setFixedWidth(80);
    m_volume->setToolTip(kit::tr(u"Głośność odsłuchu"_s));
    m_volume->setAccessibleName(kit::tr(u"Głośność odsłuchu"_s));
    top->addWidget(m_previous);
    top->addWidget(m_play);
    top->addWidget(m_next);
    top->addWidget(m_speaker);
    top->addWidget(m_volume);
    top->addWidget(m_close);
    outer->addLayout(top);

    auto *row = new QHBoxLayout(m_positionRow);
    row->setContentsMargins(0, 0, 0, 0);
    // The system sans font draws its digits all of one width, so times don't jiggle.
    const QFont digits = kit::font(kit::size::caption2);
    for (QLabel *label : {m_elapsed, m_length}) {
        label->setFont(digits);
        label->setTextFormat(Qt::PlainText);
    }
    m_position->setObjectName(u"position"_s);
    row->addWidget(m_elapsed);
    row->addWidget(m_position, 1);
    row->addWidget(m_length);
    outer->addWidget(m_positionRow);

    m_error->setObjectName(u"error"_s);
    m_error->setFont(kit::font(kit::size::caption));
    m_error->setTextFormat(Qt::PlainText);
    m_error->setWordWrap(true);
    outer->addWidget(m_error);

    if (m_player) {
        connect(m_previous, &QToolButton::clicked, m_player, &Playback::previous);
        connect(m_play, &QToolButton::clicked, m_player, &Playback::toggle);
        connect(m_next, &QToolButton::clicked, m_player, &Playback::next);
        connect(m_close, &QToolButton::clicked, m_player, &Playback::stop);
        connect(m_volume, &QSlider::valueChanged, m_player, [this](int value) { m_player->setVolume(value / 100.0); });
        // Only the user's changes seek: the player's own updates are set with signals blocked.
        connect(m_position, &QSlider::valueChanged, m_player,
                [this](int value) { m_player->seek(value * positionStep); });
        connect(m_player, &Playback::changed, this, &MiniPlayer::follow);
    }
    paintSymbols();
    follow();
}

QString MiniPlayer::title() const { return static_cast<LineLabel *>(m_title)->fullText(); }
QString MiniPlayer::subtitle() const { return static_cast<LineLabel *>(m_subtitle)->fullText(); }
bool MiniPlayer::showsError() const { return !m_error->isHidden(); }

void MiniPlayer::paintSymbols()
{
    const QPalette p = palette();
    const QColor primary = kit::primaryText(p);
    m_previous->setIcon(kit::symbolIcon(u"backward.end.fill"_s, primary, 15));
    m_next->setIcon(kit::symbolIcon(u"forward.end.fill"_s, primary, 15));
    m_play->setIcon(kit::symbolIcon(m_shownPlaying ? u"pause.fill"_s : u"play.fill"_s, primary, 15));
    m_close->setIcon(kit::symbolIcon(u"xmark"_s, primary, 13));
    m_speaker->setPixmap(kit::symbolPixmap(u"speaker.wave.2"_s, 14, kit::secondaryText(p), devicePixelRatioF()));
    kit::setTextColor(m_subtitle, kit::secondaryText(p));
    kit::setTextColor(m_elapsed, kit::secondaryText(p));
    kit::setTextColor(m_length, kit::secondaryText(p));
    kit::setTextColor(m_error, kit::orange(p));
}

void MiniPlayer::follow()
{
    const bool loaded = m_player && m_player->current();
    setVisible(loaded);
    if (!loaded)
        return;
    const Playback &player = *m_player;
    static_cast<LineLabel *>(m_title)->setFullText(player.current()->title);
    static_cast<LineLabel *>(m_subtitle)->setFullText(kit::tr(u"Odsłuch na komputerze · "_s) + player.current()->artist);

    const bool playing = player.playing();
    if (playing != m_shownPlaying || m_play->accessibleName().isEmpty()) {
        m_shownPlaying = playing;
        m_play->setIcon(kit::symbolIcon(playing ? u"pause.fill"_s : u"play.fill"_s, kit::primaryText(palette()), 15));
        m_play->setAccessibleName(kit::tr(playing ? u"Pauza"_s : u"Odtwórz"_s));
    }
    {
        const QSignalBlocker blocker(m_volume);
        m_volume->setValue(int(std::lround(qBound(0.0, player.volume(), 1.0) * 100)));
    }

    if (player.error()) {
        m_error->setText(kit::tr(*player.error()));
        m_error->show();
        m_positionRow->hide();
        return;
    }
    m_error->hide();
    m_positionRow->show();
    m_elapsed->setText(kit::tr(::durationLabel(player.position())));
    m_length->setText(kit::tr(::durationLabel(player.duration())));
    // Never under the user's thumb, and never as a seek of its own.
    if (!m_position->isSliderDown()) {
        const QSignalBlocker blocker(m_position);
        m_position->setRange(0, qMax(positionSteps(player.duration()), positionSteps(positionStep)));
        m_position->setValue(positionSteps(player.position()));
    }
}

void MiniPlayer::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Window));
    QColor tint = kit::blue(palette());
    tint.setAlphaF(0.055f);
    painter.fillRect(rect(), tint);
}

void MiniPlayer::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        paintSymbols();
}
