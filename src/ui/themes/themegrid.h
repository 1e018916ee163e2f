#pragma once

// The grid of installed themes: one card per theme of the model, in the
// model's order, with its picture, name, where the picture comes from and a
// details button. The cards are painted, not widgets, and a card's picture is
// read only once the card has been on screen. Each of the card's three
// clickable parts opens the theme's detail sheet (the model's openTheme).

#include "device/themetypes.h"

#include <QAbstractScrollArea>
#include <QHash>
#include <QRectF>
#include <optional>

class TavoModel;
class ThemeImageLoader;

class ThemeGrid : public QAbstractScrollArea
{
    Q_OBJECT
public:
    explicit ThemeGrid(TavoModel *model, QWidget *parent = nullptr);

    static constexpr double minimumColumnWidth = 230;
    static constexpr double columnSpacing = 18;
    static constexpr double rowSpacing = 22;
    static constexpr double stackSpacing = 8;

    // Adaptive columns: as many as fit at the minimum width, sharing the rest.
    static int columnCount(double width);
    static double columnWidth(double width);

    // The parts of one card, in the coordinates of the grid's content (the
    // viewport's, before scrolling).
    struct Card {
        QRectF frame;
        QRectF picture;
        QRectF name;
        QRectF source;
        QRectF button;
    };
    Card card(int index) const;
    int count() const;
    double contentHeight() const;

    enum class Part { none, picture, name, source, button };
    struct Hit {
        int index = -1;
        Part part = Part::none;
    };
    // What lies under a point of the viewport.
    Hit hitTest(QPointF viewportPoint) const;
    // Where a card part is on the viewport now (for clicks in tests and for scrolling).
    QRectF viewportRect(const QRectF &contentRect) const;

    // The picture loader of a card; none before the card was first painted.
    const ThemeImageLoader *loader(int index) const;
    int currentIndex() const { return m_current; }

    // A theme's name: its file name without the last extension, as written.
    static QString themeName(const Theme &theme);
    // The line under the name: the preview's source, or the hint to add one.
    static QString sourceLine(const TavoModel &model, const Theme &theme);
    // The source line as drawn in `width`: at most two lines, the second cut
    // short with an ellipsis when the text goes on.
    static QStringList sourceLines(const QString &text, double width);
    // The text laid out in at most `lines` lines of `width`.
    static QStringList wrapped(const QString &text, const QFont &font, double width, int lines);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    void themesChanged();
    void previewsChanged();
    void updateScrollBar();
    void open(int index);
    void setCurrent(int index);
    ThemeImageLoader *loaderFor(int index);
    std::optional<QUrl> pictureOf(const Theme &theme) const;
    double nameHeight() const;
    double sourceLineHeight() const;
    double buttonHeight() const;
    double cardHeight(double width) const;

    TavoModel *m_model;
    QList<Theme> m_themes;
    QHash<QString, ThemeImageLoader *> m_loaders; // by the theme's path
    int m_current = -1;
    Hit m_hover;
};
