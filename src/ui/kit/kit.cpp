#include "ui/kit/kit.h"

#include "localization/applocalizer.h"
#include "platform/icons.h"

#include <QApplication>
#include <QFile>
#include <QHash>
#include <QMutex>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QWindow>
#include <QSvgRenderer>
#include <QWidget>

using namespace Qt::StringLiterals;

namespace kit {

QString tr(const QString &polish)
{
    return AppLocalizer::display(polish);
}

QString artistName(const QString &artist)
{
    static const QString variousArtists = u"Różni wykonawcy"_s;
    return artist == variousArtists ? tr(artist) : artist;
}

QFont font(double pixels, QFont::Weight weight)
{
    QFont f = QApplication::font();
    f.setPixelSize(qMax(1, qRound(pixels)));
    f.setWeight(weight);
    return f;
}

bool isDark(const QPalette &palette)
{
    return palette.color(QPalette::Window).lightness() < palette.color(QPalette::WindowText).lightness();
}

namespace {
QColor pick(const QPalette &palette, QRgb light, QRgb dark)
{
    return QColor::fromRgb(isDark(palette) ? dark : light);
}
QColor withAlpha(QColor c, double alpha)
{
    c.setAlphaF(float(alpha));
    return c;
}
} // namespace

QColor blue(const QPalette &p) { return pick(p, qRgb(0x00, 0x7A, 0xFF), qRgb(0x0A, 0x84, 0xFF)); }
QColor orange(const QPalette &p) { return pick(p, qRgb(0xE8, 0x85, 0x00), qRgb(0xFF, 0x9F, 0x0A)); }
QColor green(const QPalette &p) { return pick(p, qRgb(0x28, 0xA7, 0x45), qRgb(0x32, 0xD7, 0x4B)); }
QColor red(const QPalette &p) { return pick(p, qRgb(0xE0, 0x2E, 0x24), qRgb(0xFF, 0x45, 0x3A)); }
QColor primaryText(const QPalette &p) { return p.color(QPalette::WindowText); }
QColor secondaryText(const QPalette &p) { return withAlpha(p.color(QPalette::WindowText), 0.62); }
QColor tertiaryText(const QPalette &p) { return withAlpha(p.color(QPalette::WindowText), 0.38); }
QColor separator(const QPalette &p) { return withAlpha(p.color(QPalette::WindowText), 0.14); }
QColor controlBackground(const QPalette &p) { return pick(p, qRgb(0xFF, 0xFF, 0xFF), qRgb(0x2A, 0x2A, 0x2D)); }
QColor quaternaryFill(const QPalette &p) { return withAlpha(p.color(QPalette::WindowText), 0.06); }

namespace {
QPalette makePalette(bool dark)
{
    QPalette p;
    const QColor window = dark ? QColor(0x1E, 0x1E, 0x20) : QColor(0xEC, 0xEC, 0xEE);
    const QColor base = dark ? QColor(0x2A, 0x2A, 0x2D) : QColor(0xFF, 0xFF, 0xFF);
    const QColor text = dark ? QColor(0xF2, 0xF2, 0xF5) : QColor(0x1D, 0x1D, 0x1F);
    const QColor button = dark ? QColor(0x3A, 0x3A, 0x3D) : QColor(0xFA, 0xFA, 0xFB);
    const QColor highlight = dark ? QColor(0x0A, 0x84, 0xFF) : QColor(0x00, 0x7A, 0xFF);
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, dark ? QColor(0x32, 0x32, 0x35) : QColor(0xF5, 0xF5, 0xF7));
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, button);
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::Highlight, highlight);
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::ToolTipBase, base);
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::PlaceholderText, QColor(text.red(), text.green(), text.blue(), 110));
    p.setColor(QPalette::Link, highlight);
    p.setColor(QPalette::Light, dark ? QColor(0x48, 0x48, 0x4C) : Qt::white);
    p.setColor(QPalette::Midlight, dark ? QColor(0x3A, 0x3A, 0x3D) : QColor(0xE0, 0xE0, 0xE3));
    p.setColor(QPalette::Mid, dark ? QColor(0x2E, 0x2E, 0x31) : QColor(0xC8, 0xC8, 0xCC));
    p.setColor(QPalette::Dark, dark ? QColor(0x18, 0x18, 0x1A) : QColor(0xA0, 0xA0, 0xA5));
    p.setColor(QPalette::Shadow, Qt::black);
    const QColor disabled(text.red(), text.green(), text.blue(), 90);
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, disabled);
    return p;
}

// Rendered SVG bytes per symbol, recoloured; the files are tiny, the cache is
// keyed by symbol and colour.
QByteArray svgFor(const QString &symbol, const QColor &color)
{
    static QMutex mutex;
    static QHash<QString, QByteArray> sources;
    QByteArray source;
    {
        QMutexLocker lock(&mutex);
        auto it = sources.find(symbol);
        if (it == sources.end()) {
            QByteArray bytes;
            const QString file = icons::path(symbol);
            if (!file.isEmpty()) {
                QFile f(file);
                if (f.open(QIODevice::ReadOnly))
                    bytes = f.readAll();
            }
            it = sources.insert(symbol, bytes);
        }
        source = *it;
    }
    if (source.isEmpty())
        return {};
    return source.replace("currentColor", color.name(QColor::HexRgb).toLatin1());
}
} // namespace

QPalette lightPalette() { return makePalette(false); }
QPalette darkPalette() { return makePalette(true); }

QPixmap symbolPixmap(const QString &symbol, double size, const QColor &color, double dpr)
{
    const QByteArray svg = svgFor(symbol, color);
    if (svg.isEmpty() || size <= 0)
        return {};
    QSvgRenderer renderer(svg);
    const int px = qMax(1, qRound(size * dpr));
    QPixmap pixmap(px, px);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    renderer.render(&painter, QRectF(0, 0, px, px));
    // The opacity applies to the symbol as a whole: parts that overlap in the
    // drawing must not add up to a stronger colour.
    if (color.alpha() < 255) {
        painter.setCompositionMode(QPainter::CompositionMode_DestinationIn);
        painter.fillRect(QRect(0, 0, px, px), QColor(0, 0, 0, color.alpha()));
    }
    painter.end();
    pixmap.setDevicePixelRatio(dpr);
    return pixmap;
}

const QPixmap &cachedSymbolPixmap(const QString &symbol, double size, const QColor &color, double dpr)
{
    static QHash<QString, QPixmap> pixmaps;
    const QString key = symbol + u'|' + QString::number(size) + u'|' + QString::number(color.rgba(), 16) + u'|'
                        + QString::number(dpr);
    auto it = pixmaps.find(key);
    if (it == pixmaps.end())
        it = pixmaps.insert(key, symbolPixmap(symbol, size, color, dpr));
    return *it;
}

QIcon symbolIcon(const QString &symbol, const QColor &color, double size)
{
    QIcon icon;
    for (double dpr : {1.0, 2.0}) {
        icon.addPixmap(symbolPixmap(symbol, size, color, dpr), QIcon::Normal);
        QColor faint = color;
        faint.setAlphaF(0.35f);
        icon.addPixmap(symbolPixmap(symbol, size, faint, dpr), QIcon::Disabled);
    }
    return icon;
}

void setTextColor(QWidget *widget, const QColor &color)
{
    QPalette p = widget->palette();
    p.setColor(QPalette::WindowText, color);
    p.setColor(QPalette::Text, color);
    widget->setPalette(p);
}

void makeProminent(QPushButton *button, bool large)
{
    const QPalette p = button->palette();
    const QColor accent = blue(p);
    const QColor disabledFill = withAlpha(p.color(QPalette::WindowText), 0.10);
    // Dimmed, yet at least 3:1 against the fill in both palettes.
    const QColor disabledText = secondaryText(p);
    button->setStyleSheet(
        u"QPushButton { background: %1; color: white; border: none; border-radius: %5px; padding: %6; }"
        "QPushButton:hover { background: %2; }"
        "QPushButton:pressed { background: %3; }"
        "QPushButton:disabled { background: %4; color: %7; }"_s
            .arg(accent.name(), accent.lighter(108).name(), accent.darker(120).name(),
                 disabledFill.name(QColor::HexArgb), QString::number(large ? 7 : 6),
                 large ? u"6px 16px"_s : u"4px 12px"_s, disabledText.name(QColor::HexArgb)));
    if (large)
        button->setMinimumHeight(32);
}

QSize fittedToScreen(QSize wanted, const QWidget *window)
{
    const QWidget *top = window ? window->window() : nullptr;
    QScreen *screen = top ? top->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return wanted;
    // The frame of a window already shown is known; a sheet gets its parent's.
    QMargins frame(0, assumedTitleBar, 0, 0);
    if (top && top->windowHandle() && top->isVisible()) {
        const QMargins known = top->windowHandle()->frameMargins();
        if (known.top() > 0 || known.bottom() > 0)
            frame = known;
    }
    const QSize room = screen->availableGeometry().size() -
                       QSize(frame.left() + frame.right(), frame.top() + frame.bottom());
    return wanted.boundedTo(room.expandedTo(QSize(1, 1)));
}

} // namespace kit
