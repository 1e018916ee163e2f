#pragma once

// What every page of the interface shares: the display rule for texts, fonts in
// logical pixels, the system colours for light and dark palettes, and the icons.

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QPalette>
#include <QPixmap>
#include <QSize>
#include <QString>

class QPushButton;
class QWidget;

namespace kit {

// Every text a view shows goes through here when it is built: Polish as written,
// or its English row when the interface language is English. Values (counts,
// sizes, the model's status line) are put into the text before it comes here.
QString tr(const QString &polish);

// An album's artist as shown: the name the album grouping gives an album of
// several artists ("Różni wykonawcy") is our own text and reads in the
// interface language; any other artist's name is data, shown as written.
QString artistName(const QString &artist);

// The system font at a size in logical pixels (a point of the original design
// is one logical pixel).
QFont font(double pixels, QFont::Weight weight = QFont::Normal);

// Sizes of the text styles the pages use.
namespace size {
inline constexpr double largeTitle = 26;
inline constexpr double pageTitle = 29;
inline constexpr double title = 22;
inline constexpr double title2 = 17;
inline constexpr double title3 = 15;
inline constexpr double headline = 13; // semibold
inline constexpr double body = 13;
inline constexpr double callout = 12;
inline constexpr double subheadline = 11;
inline constexpr double footnote = 10;
inline constexpr double caption = 10;
inline constexpr double caption2 = 10;
} // namespace size

// True when the palette's window is darker than its text.
bool isDark(const QPalette &palette);

// System colours, each with its light and dark variant.
QColor blue(const QPalette &palette);
QColor orange(const QPalette &palette);
QColor green(const QPalette &palette);
QColor red(const QPalette &palette);
QColor primaryText(const QPalette &palette);
QColor secondaryText(const QPalette &palette);
QColor tertiaryText(const QPalette &palette);
QColor separator(const QPalette &palette);
QColor controlBackground(const QPalette &palette); // cards and fields
QColor quaternaryFill(const QPalette &palette);    // faint fills behind groups

// Palettes for tests and for users who asked for one explicitly.
QPalette lightPalette();
QPalette darkPalette();

// A symbol (the names of icons::path) drawn in one colour at `size` logical
// pixels for the device pixel ratio `dpr`. Unknown symbols give a null pixmap.
QPixmap symbolPixmap(const QString &symbol, double size, const QColor &color, double dpr = 1.0);
// The same, made once per name, size, colour and ratio and kept, for views
// that paint many rows (main thread only).
const QPixmap &cachedSymbolPixmap(const QString &symbol, double size, const QColor &color, double dpr);
// The same as an icon, with a lighter variant for the disabled state.
QIcon symbolIcon(const QString &symbol, const QColor &color, double size = 16);

// Sets a label-like widget's text colour through its palette.
void setTextColor(QWidget *widget, const QColor &color);

// The one look of a page's or sheet's main action (the bordered prominent
// style): white text on the accent colour, the accent darkened while pressed,
// a faint fill with dimmed but readable text while disabled. `large` is the
// bigger control of a bar's single action.
void makeProminent(QPushButton *button, bool large = false);

// The room a window's title bar and borders take when the window system has not
// told yet (before the window is first shown): a common desktop's title bar
// with its border.
inline constexpr int assumedTitleBar = 37;
// The size a window or sheet opens at: `wanted`, made smaller in each direction
// where the available area of the screen it opens on (less the panels and the
// window's frame) has less room. `window` is the window itself or, for a sheet,
// anything in the window it opens over.
QSize fittedToScreen(QSize wanted, const QWidget *window);

} // namespace kit
