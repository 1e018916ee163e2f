#pragma once

// A stylised iPod: the case of a model in a colour finish, its screen with a theme
// picture or the empty-screen content, and its controls. Everything scales with
// the drawn size; the geometry is kept in pure functions below.

#include "device/ipodprofile.h"
#include "device/themetypes.h"

#include <QColor>
#include <QImage>
#include <QString>
#include <QList>
#include <QRectF>
#include <QWidget>
#include <optional>

class ThemeImageLoader;

class IPodIllustration : public QWidget
{
    Q_OBJECT
public:
    // `width` and `maxHeight` are the space offered, in logical pixels; the
    // drawing keeps the model's proportions inside it, centred across `width`.
    IPodIllustration(IPodProfile profile, std::optional<QString> finish, std::optional<ThemePreview> preview,
                     double width, double maxHeight, QWidget *parent = nullptr);
    ~IPodIllustration() override;

    void setProfile(const IPodProfile &profile);
    void setFinish(const std::optional<QString> &finish);
    void setPreview(const std::optional<ThemePreview> &preview);
    void setSpace(double width, double maxHeight);

    const IPodProfile &profile() const { return m_profile; }
    const std::optional<QString> &finish() const { return m_finish; }
    const std::optional<ThemePreview> &preview() const { return m_preview; }

    // The widget is `width` × the drawn height, plus its contents margins (give
    // it margins to leave room for the shadow below the case).
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

    // ---- Geometry and colours, pure ----

    // The drawn case: as wide as offered unless the height limit makes it narrower.
    static QSizeF drawnSize(double ratio, double width, double maxHeight);

    // The finish in force: the chosen one, else the model's own.
    static QString finishInForce(const IPodProfile &profile, const std::optional<QString> &finish);
    static QColor bodyColor(const QString &finish);

    struct WheelColors {
        QColor ring;
        QColor centre;
        QColor labels;
        bool operator==(const WheelColors &) const = default;
    };
    static WheelColors wheelColors(const QString &finish);

    struct ScreenColors {
        QColor background;
        QColor content; // text and symbol of the empty screen
        bool operator==(const ScreenColors &) const = default;
    };
    // Monochrome-era screens (ratio exactly 1.25) are light grey with dark content.
    static ScreenColors screenColors(const IPodProfile &profile);

    // The text on top of the wheel, before translation.
    static QString wheelTopLabel(IPodProfile::Shape shape);

    // The picture shown on the screen: the playing screen, else the menu.
    static std::optional<QUrl> screenPicture(const ThemePreview &preview);

    // "<name> · <finish>", the name through the display rule.
    static QString accessibleText(const IPodProfile &profile, const std::optional<QString> &finish);

    struct Wheel {
        QPointF centre;
        double diameter = 0;
        bool operator==(const Wheel &) const = default;
    };

    // Where each part goes, in the coordinates of the w × h case (origin at its
    // top-left corner). Parts a shape lacks are absent or empty.
    struct Layout {
        QSizeF size;                   // w × h
        std::optional<QRectF> screen;  // drawn first
        std::optional<Wheel> wheel;
        QList<QRectF> buttons;         // the row of four (buttons shape)
        std::optional<QPointF> questionMark;
        std::optional<QRectF> homeButton;
        std::optional<QPointF> shuffleSymbol;
        double shuffleSymbolSize = 0;
        std::optional<QRectF> bar;
        std::optional<QRectF> labelArea; // padded column of the remote-style shuffle
    };
    static Layout layout(const IPodProfile &profile, const QSizeF &size);

    // The remote-style shuffle's label column inside `area`: the green capsule at
    // the top and the centre of the "iPod" text halfway down the rest.
    struct LabelColumn {
        QRectF capsule;
        QPointF textCentre;
    };
    static LabelColumn labelColumn(const QRectF &area, double caseWidth, double textHeight);

    // The empty-screen content of a screen of size `screen`: the word, the rule
    // and the note, stacked and centred.
    struct EmptyScreen {
        QRectF text;
        QRectF rule;
        QPointF symbolCentre;
        double textSize = 0;   // font sizes, in logical pixels
        double symbolSize = 0;
    };
    static EmptyScreen emptyScreen(const QSizeF &screen, double textHeight);

    // The parts of a wheel of diameter d, relative to its top-left corner.
    struct WheelParts {
        QPointF topLabelCentre;
        double topLabelSize = 0;
        QPointF playPauseCentre;
        double playPauseSize = 0;
        QPointF backwardCentre;
        QPointF forwardCentre;
        double skipSize = 0;
        QRectF centreButton;
    };
    static WheelParts wheelParts(double diameter, double topLabelHeight);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void refreshAccessibleName();
    const QImage &shadow(const QSizeF &size, double devicePixelRatio);

    IPodProfile m_profile;
    std::optional<QString> m_finish;
    std::optional<ThemePreview> m_preview;
    double m_width;
    double m_maxHeight;
    ThemeImageLoader *m_loader; // the screen's picture
    QImage m_shadow;            // cached for m_shadowKey
    QString m_shadowKey;
};
