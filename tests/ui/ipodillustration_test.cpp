#include "device/ipodillustration.h"
#include "device/themeimage.h"
#include "localization/applocalizer.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPainter>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using Shape = IPodProfile::Shape;

namespace {

const QStringList finishes{u"white"_s, u"black"_s, u"silver"_s, u"blue"_s, u"green"_s,
                           u"orange"_s, u"purple"_s, u"pink"_s, u"gold"_s, u"u2"_s};

IPodProfile profile(const QString &id)
{
    for (const IPodProfile &p : IPodProfile::all()) {
        if (p.id == id)
            return p;
    }
    ADD_FAILURE() << "no profile " << id.toStdString();
    return IPodProfile::placeholder();
}

IPodProfile withRatio(double ratio)
{
    IPodProfile p = profile(u"video"_s);
    p.ratio = ratio;
    return p;
}

QColor grey(double value) { return QColor::fromRgbF(float(value), float(value), float(value)); }
QColor rgb(double r, double g, double b) { return QColor::fromRgbF(float(r), float(g), float(b)); }

void expectNear(double actual, double expected, const char *what)
{
    EXPECT_NEAR(actual, expected, 1e-9) << what;
}

void expectRect(const QRectF &actual, double cx, double cy, double width, double height)
{
    EXPECT_NEAR(actual.center().x(), cx, 1e-9);
    EXPECT_NEAR(actual.center().y(), cy, 1e-9);
    EXPECT_NEAR(actual.width(), width, 1e-9);
    EXPECT_NEAR(actual.height(), height, 1e-9);
}

bool colorNear(QRgb actual, const QColor &expected, int tolerance)
{
    return std::abs(qRed(actual) - expected.red()) <= tolerance &&
           std::abs(qGreen(actual) - expected.green()) <= tolerance &&
           std::abs(qBlue(actual) - expected.blue()) <= tolerance;
}

QString outputFolder()
{
    const QString folder = QCoreApplication::applicationDirPath() + u"/ipodillustration"_s;
    QDir().mkpath(folder);
    return folder;
}

QImage grabbed(QWidget &widget)
{
    widget.resize(widget.sizeHint());
    return widget.grab().toImage().convertToFormat(QImage::Format_ARGB32);
}

bool waitFor(const std::function<bool()> &done)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < 10'000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

} // namespace

TEST(IPodIllustrationSize, keepsTheProportionsInTheSpaceOffered)
{
    const struct {
        double ratio, width, maxHeight, w, h;
    } cases[] = {
        {2, 200, 100, 50, 100},            // tall case in a short space
        {0.66, 120, 190, 120, 79.2},       // wide case: the width decides
        {3.36, 120, 190, 190 / 3.36, 190}, // very tall case: the height decides
        {2, 50, 100, 50, 100},             // exactly fitting: the width is kept
        {1.65, 200, 1000, 200, 330},
    };
    for (const auto &c : cases) {
        const QSizeF size = IPodIllustration::drawnSize(c.ratio, c.width, c.maxHeight);
        EXPECT_NEAR(size.width(), c.w, 1e-9) << c.ratio << " " << c.width << " " << c.maxHeight;
        EXPECT_NEAR(size.height(), c.h, 1e-9) << c.ratio << " " << c.width << " " << c.maxHeight;
    }
}

TEST(IPodIllustrationSize, theWidgetSpansTheOfferedWidth)
{
    IPodIllustration tall(withRatio(2), std::nullopt, std::nullopt, 200, 100);
    EXPECT_EQ(tall.sizeHint(), QSize(200, 100));
    IPodIllustration wide(withRatio(0.66), std::nullopt, std::nullopt, 120, 190);
    EXPECT_EQ(wide.sizeHint(), QSize(120, 80)); // 79.2 rounded up to whole pixels
    wide.setContentsMargins(10, 4, 10, 16);
    EXPECT_EQ(wide.sizeHint(), QSize(140, 100));
}

TEST(IPodIllustrationColors, caseColorOfEachFinish)
{
    const struct {
        QString finish;
        QColor color;
    } cases[] = {
        {u"black"_s, grey(0.14)},
        {u"u2"_s, grey(0.14)},
        {u"silver"_s, grey(0.76)},
        {u"blue"_s, rgb(0.3, 0.63, 0.83)},
        {u"green"_s, rgb(0.51, 0.72, 0.28)},
        {u"orange"_s, rgb(0.94, 0.48, 0.12)},
        {u"purple"_s, rgb(0.62, 0.42, 0.8)},
        {u"pink"_s, rgb(0.89, 0.42, 0.61)},
        {u"gold"_s, rgb(0.86, 0.76, 0.48)},
        {u"white"_s, grey(0.985)},
        {u"Black"_s, grey(0.985)}, // names are matched exactly
        {u"graphite"_s, grey(0.985)},
        {u""_s, grey(0.985)},
    };
    for (const auto &c : cases)
        EXPECT_EQ(IPodIllustration::bodyColor(c.finish), c.color) << c.finish.toStdString();
}

TEST(IPodIllustrationColors, wheelColorsFollowTheFinish)
{
    const QColor translucentWhite = QColor::fromRgbF(1, 1, 1, 0.7f);
    const struct {
        QString finish;
        IPodIllustration::WheelColors colors;
    } cases[] = {
        {u"u2"_s, {QColor(255, 59, 48), grey(0.18), translucentWhite}},
        {u"black"_s, {grey(0.22), grey(0.18), translucentWhite}},
        {u"white"_s, {grey(0.77), grey(0.985), grey(0.38)}},
        {u"silver"_s, {grey(0.77), grey(0.985), grey(0.38)}},
        {u"nonsense"_s, {grey(0.77), grey(0.985), grey(0.38)}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(IPodIllustration::wheelColors(c.finish), c.colors) << c.finish.toStdString();
}

TEST(IPodIllustrationColors, theFinishInForceIsTheChosenOneElseTheModels)
{
    EXPECT_EQ(IPodIllustration::finishInForce(profile(u"u25"_s), std::nullopt), u"u2"_s);
    EXPECT_EQ(IPodIllustration::finishInForce(profile(u"u25"_s), u"silver"_s), u"silver"_s);
    EXPECT_EQ(IPodIllustration::accessibleText(profile(u"u25"_s), std::nullopt), u"iPod U2 · Video · u2"_s);
}

TEST(IPodIllustrationColors, monochromeScreensAreLight)
{
    IPodProfile p = profile(u"ipod4"_s);
    const QColor lightContent = QColor::fromRgbF(1, 1, 1, 0.8f);
    const struct {
        double screenRatio;
        IPodIllustration::ScreenColors colors;
    } cases[] = {
        {1.25, {grey(0.73), grey(0.24)}},
        {4.0 / 3.0, {grey(0.06), lightContent}},
        {1.33, {grey(0.06), lightContent}},
        {1.2500000000000002, {grey(0.06), lightContent}}, // compared exactly
    };
    for (const auto &c : cases) {
        p.screenRatio = c.screenRatio;
        EXPECT_EQ(IPodIllustration::screenColors(p), c.colors) << c.screenRatio;
    }
}

TEST(IPodIllustrationLayout, screensAndWheelsOfEachShape)
{
    const struct {
        QString id;
        double sw, sh, cy;  // screen width and height (fractions of w) and centre (fraction of h)
        double d, wx, wy;   // wheel diameter (of w) and centre (of w, of h); d 0: no wheel
    } cases[] = {
        {u"ipod1"_s, 0.82, 0.82 / 1.25, 0.25, 0.7, 0.5, 0.72},
        {u"ipod3"_s, 0.82, 0.82 / 1.25, 0.25, 0.68, 0.5, 0.72},
        {u"video"_s, 0.82, 0.82 / (4.0 / 3.0), 0.25, 0.68, 0.5, 0.72},
        {u"mini1"_s, 0.72, 0.72 / 1.25, 0.25, 0.68, 0.5, 0.72},
        {u"nano1"_s, 0.82, 0.82 / 1.33, 0.25, 0.68, 0.5, 0.72},
        {u"nano4"_s, 0.72, 0.96, 0.25, 0.68, 0.5, 0.72},
        {u"nano5"_s, 0.72, 0.72 / 0.64, 0.25, 0.68, 0.5, 0.72},
        {u"nano3"_s, 0.82, 0.82 / (4.0 / 3.0), 0.29, 0.54, 0.5, 0.77},
        {u"unknown"_s, 0.82, 0.82 / (4.0 / 3.0), 0.25, 0.68, 0.5, 0.72},
        {u"nano6"_s, 0.86, 0.85 * 0.92, 0.5, 0, 0, 0}, // limited by 0.85 h
        {u"touch1"_s, 0.86, 0.86 * 1.5, 0.46, 0, 0, 0}, // limited by its 2:3 screen
    };
    const double w = 100;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.id.toStdString());
        const IPodProfile p = c.id == u"unknown"_s ? IPodProfile::placeholder() : profile(c.id);
        const double h = p.ratio * w;
        const auto layout = IPodIllustration::layout(p, {w, h});
        ASSERT_TRUE(layout.screen);
        expectRect(*layout.screen, 0.5 * w, c.cy * h, c.sw * w, c.sh * w);
        if (c.d > 0) {
            ASSERT_TRUE(layout.wheel);
            expectNear(layout.wheel->diameter, c.d * w, "diameter");
            expectNear(layout.wheel->centre.x(), c.wx * w, "wheel x");
            expectNear(layout.wheel->centre.y(), c.wy * h, "wheel y");
        } else {
            EXPECT_FALSE(layout.wheel);
        }
        EXPECT_EQ(layout.questionMark.has_value(), c.id == u"unknown"_s);
        EXPECT_EQ(layout.buttons.size(), c.id == u"ipod3"_s ? 4 : 0);
        EXPECT_EQ(layout.homeButton.has_value(), c.id == u"touch1"_s);
    }
}

TEST(IPodIllustrationLayout, touchScreensTakeTheSmallerHeight)
{
    // touch5: 86 ÷ (40 ÷ 71) = 152.65 < 0.73 h = 153.3; nano7: 0.73 h = 140.89 < 86 ÷ 0.56.
    const auto touch5 = IPodIllustration::layout(profile(u"touch5"_s), {100, 210});
    ASSERT_TRUE(touch5.screen);
    EXPECT_NEAR(touch5.screen->width(), 86, 1e-9);
    EXPECT_NEAR(touch5.screen->height(), 152.65, 1e-9);
    const auto nano7 = IPodIllustration::layout(profile(u"nano7"_s), {100, 193});
    ASSERT_TRUE(nano7.screen);
    EXPECT_NEAR(nano7.screen->width(), 86, 1e-9);
    EXPECT_NEAR(nano7.screen->height(), 140.89, 1e-9);
    EXPECT_NEAR(nano7.screen->center().y(), 0.46 * 193, 1e-9);
    ASSERT_TRUE(nano7.homeButton);
    expectRect(*nano7.homeButton, 50, 0.9 * 193, 18, 18);
}

TEST(IPodIllustrationLayout, buttonRowOfTheThirdGeneration)
{
    const double w = 100, h = 170;
    const auto layout = IPodIllustration::layout(profile(u"ipod3"_s), {w, h});
    ASSERT_EQ(layout.buttons.size(), 4);
    // Four 0.13 w buttons, 0.075 w apart, centred at (0.5 w, 0.49 h).
    const double rowWidth = 4 * 13 + 3 * 7.5;
    for (int i = 0; i < 4; ++i)
        expectRect(layout.buttons[i], 50 - rowWidth / 2 + 6.5 + i * 20.5, 0.49 * h, 13, 13);
}

TEST(IPodIllustrationLayout, shufflesWithoutScreens)
{
    const auto stick = IPodIllustration::layout(profile(u"shuffle1"_s), {100, 336});
    EXPECT_FALSE(stick.screen);
    ASSERT_TRUE(stick.wheel);
    EXPECT_EQ(*stick.wheel, (IPodIllustration::Wheel{{50, 0.28 * 336}, 82}));
    ASSERT_TRUE(stick.shuffleSymbol);
    EXPECT_EQ(*stick.shuffleSymbol, QPointF(50, 0.69 * 336));
    EXPECT_NEAR(stick.shuffleSymbolSize, 23, 1e-9);
    ASSERT_TRUE(stick.bar);
    expectRect(*stick.bar, 50, 0.9 * 336, 70, 0.02 * 336);

    // The clip's wheel fits the smaller side of the case.
    const auto clip = IPodIllustration::layout(profile(u"shuffle2"_s), {100, 66});
    EXPECT_FALSE(clip.screen);
    ASSERT_TRUE(clip.wheel);
    EXPECT_NEAR(clip.wheel->diameter, 0.82 * 66, 1e-9);
    EXPECT_EQ(clip.wheel->centre, QPointF(50, 33));

    const auto remote = IPodIllustration::layout(profile(u"shuffle3"_s), {100, 258});
    EXPECT_FALSE(remote.screen);
    EXPECT_FALSE(remote.wheel);
    ASSERT_TRUE(remote.labelArea);
    EXPECT_EQ(*remote.labelArea, QRectF(20, 20, 60, 218));
    const auto column = IPodIllustration::labelColumn(*remote.labelArea, 100, 20);
    expectRect(column.capsule, 50, 21.5, 16, 3);
    // Capsule, spacing, half of the spare room, spacing, then the text's middle.
    const double spare = (218 - 3 - 20 - 24) / 2.0;
    EXPECT_NEAR(column.textCentre.y(), 20 + 3 + 8 + spare + 8 + 10, 1e-9);
}

TEST(IPodIllustrationLayout, wheelAndEmptyScreenParts)
{
    const auto parts = IPodIllustration::wheelParts(100, 8);
    EXPECT_EQ(parts.topLabelCentre, QPointF(50, 8.5 + 4));
    EXPECT_NEAR(parts.topLabelSize, 5.7, 1e-9);
    EXPECT_NEAR(parts.playPauseCentre.y(), 100 - 8.5 - 3.2, 1e-9);
    EXPECT_NEAR(parts.backwardCentre.x(), 8.5 + 3.45, 1e-9);
    EXPECT_NEAR(parts.forwardCentre.x(), 100 - 8.5 - 3.45, 1e-9);
    EXPECT_EQ(parts.backwardCentre.y(), 50);
    expectRect(parts.centreButton, 50, 50, 33, 33);

    const auto screen = IPodIllustration::emptyScreen({100, 75}, 10);
    EXPECT_NEAR(screen.textSize, 9, 1e-9);
    EXPECT_NEAR(screen.symbolSize, 26, 1e-9);
    const double top = (75 - (10 + 4 + 1 + 4 + 26)) / 2.0;
    EXPECT_EQ(screen.text, QRectF(7, top, 86, 10));
    EXPECT_EQ(screen.rule, QRectF(7, top + 14, 86, 1));
    EXPECT_NEAR(screen.symbolCentre.y(), top + 19 + 13, 1e-9);
}

TEST(IPodIllustrationTexts, wheelTopLabelAndScreenPicture)
{
    for (const IPodProfile &p : IPodProfile::all()) {
        const bool plus = p.shape == Shape::shuffleStick || p.shape == Shape::shuffleClip;
        EXPECT_EQ(IPodIllustration::wheelTopLabel(p.shape), plus ? u"+"_s : u"MENU"_s) << p.id.toStdString();
    }
    EXPECT_EQ(IPodIllustration::wheelTopLabel(Shape::unknown), u"MENU"_s);

    const QUrl playing(u"https://example.org/play.png"_s), menu(u"https://example.org/menu.png"_s);
    EXPECT_EQ(IPodIllustration::screenPicture(ThemePreview{playing, menu, {}, {}, {}}), playing);
    EXPECT_EQ(IPodIllustration::screenPicture(ThemePreview{std::nullopt, menu, {}, {}, {}}), menu);
    EXPECT_EQ(IPodIllustration::screenPicture(ThemePreview{}), std::nullopt);
}

TEST(IPodIllustrationRender, everyModelInEveryFinishLooksRight)
{
    // Drawn at a typical inspector size, with room for the shadow; each picture is
    // kept under the build folder, with one sheet per finish to look at.
    QList<IPodProfile> profiles = IPodProfile::all();
    profiles.append(IPodProfile::placeholder());
    const QString folder = outputFolder();
    const int tileWidth = 200, tileHeight = 440;
    QList<QImage> sheets;
    for (qsizetype f = 0; f < finishes.size(); ++f) {
        sheets.append(QImage(tileWidth * 11, tileHeight * 3, QImage::Format_ARGB32));
        sheets.last().fill(QColor(236, 236, 236));
    }
    for (qsizetype i = 0; i < profiles.size(); ++i) {
        const IPodProfile &p = profiles[i];
        IPodIllustration widget(p, std::nullopt, std::nullopt, 168, 400);
        widget.setContentsMargins(16, 8, 16, 24);
        const QSizeF size = IPodIllustration::drawnSize(p.ratio, 168, 400);
        const QPointF origin(16 + (168 - size.width()) / 2, 8);
        const auto layout = IPodIllustration::layout(p, size);
        const double w = size.width();
        for (qsizetype f = 0; f < finishes.size(); ++f) {
            const QString &finish = finishes[f];
            SCOPED_TRACE(QString(p.id + u" "_s + finish).toStdString());
            widget.setFinish(finish);
            const QImage image = grabbed(widget);
            ASSERT_FALSE(image.isNull());
            image.save(folder + u"/"_s + p.id + u"-"_s + finish + u".png"_s);
            QPainter sheetPainter(&sheets[f]);
            sheetPainter.drawImage(int(i % 11) * tileWidth, int(i / 11) * tileHeight, image);

            auto pixel = [&](QPointF at) { return image.pixel((origin + at).toPoint()); };
            EXPECT_TRUE(colorNear(pixel({0.05 * w, 0.05 * w}), IPodIllustration::bodyColor(finish), 8)) << "case";
            if (layout.screen && p.shape != Shape::unknown) {
                EXPECT_TRUE(colorNear(pixel(layout.screen->topLeft() + QPointF(3, 3)),
                                      IPodIllustration::screenColors(p).background, 3))
                    << "screen";
            }
            if (layout.wheel) {
                const auto colors = IPodIllustration::wheelColors(finish);
                const double d = layout.wheel->diameter;
                EXPECT_TRUE(colorNear(pixel(layout.wheel->centre), colors.centre, 3)) << "centre button";
                EXPECT_TRUE(colorNear(pixel(layout.wheel->centre + QPointF(0.23 * d, 0.23 * d)), colors.ring, 3))
                    << "ring";
            }
            if (layout.homeButton) {
                const QColor expected = finish == u"black"_s ? QColor(Qt::black) : QColor(Qt::white);
                EXPECT_TRUE(colorNear(pixel(layout.homeButton->center()), expected, 3)) << "home button";
            }
        }
    }
    for (qsizetype f = 0; f < finishes.size(); ++f)
        sheets[f].save(folder + u"/sheet-"_s + finishes[f] + u".png"_s);
}

TEST(IPodIllustrationRender, aPreviewFillsTheScreen)
{
    // A 4:3 picture on a 4:3 screen covers it; absent a playing screen the menu is shown.
    QTemporaryDir dir;
    QImage picture(320, 240, QImage::Format_RGB32);
    picture.fill(QColor(20, 160, 90));
    const QString path = dir.filePath(u"menu.png"_s);
    ASSERT_TRUE(picture.save(path));

    const IPodProfile video = profile(u"video"_s);
    IPodIllustration widget(video, std::nullopt, ThemePreview{std::nullopt, QUrl::fromLocalFile(path), u"Twój zrzut"_s,
                                                             std::nullopt, std::nullopt},
                            200, 400);
    const auto layout = IPodIllustration::layout(video, IPodIllustration::drawnSize(video.ratio, 200, 400));
    const QPoint centre = layout.screen->center().toPoint();
    ASSERT_TRUE(waitFor([&] { return grabbed(widget).pixelColor(centre) == QColor(20, 160, 90); }));
    grabbed(widget).save(outputFolder() + u"/preview-video.png"_s);

    // A preview without pictures shows the "no preview" picture (a symbol and a
    // caption in the text colour), neither the old picture nor the empty
    // screen. Light text on the dark screen makes what is drawn measurable.
    QPalette light = widget.palette();
    light.setColor(QPalette::WindowText, Qt::white);
    widget.setPalette(light);
    widget.setPreview(ThemePreview{});
    const QImage empty = grabbed(widget);
    empty.save(outputFolder() + u"/preview-none.png"_s);
    EXPECT_TRUE(colorNear(empty.pixel(centre), IPodIllustration::screenColors(video).background, 12));
    widget.setPreview(std::nullopt);
    const QImage idle = grabbed(widget);
    const QRect screen = layout.screen->toAlignedRect().adjusted(2, 2, -2, -2);
    const QColor background = IPodIllustration::screenColors(video).background;
    int drawn = 0;
    int green = 0;
    int unlikeIdle = 0;
    for (int y = screen.top(); y <= screen.bottom(); ++y) {
        for (int x = screen.left(); x <= screen.right(); ++x) {
            const QColor pixel = empty.pixelColor(x, y);
            drawn += pixel.lightness() > background.lightness() + 60 ? 1 : 0;
            green += colorNear(pixel.rgb(), QColor(20, 160, 90), 30) ? 1 : 0;
            unlikeIdle += empty.pixel(x, y) != idle.pixel(x, y) ? 1 : 0;
        }
    }
    EXPECT_GT(drawn, 40) << "no symbol or caption on the screen";
    EXPECT_EQ(green, 0) << "the previous picture is still shown";
    EXPECT_GT(unlikeIdle, 40) << "the screen without a preview is shown instead";
}

TEST(IPodIllustrationTexts, polishTextsHaveEnglishRows)
{
    // Names and notes that read differently in English must be in the table.
    QStringList texts{u"Wybierz model iPoda"_s, u"Model nierozpoznany"_s, u"Brak podglądu"_s,
                      u"Podgląd niedostępny"_s};
    for (const IPodProfile &p : IPodProfile::all()) {
        if (p.name.contains(u"generacji"_s))
            texts.append(p.name);
        if (!p.support.startsWith(u"Rockbox · A"_s) && p.support != u"Rockbox"_s &&
            p.support != u"Rockbox · ipodvideo"_s)
            texts.append(p.support);
    }
    for (const QString &text : texts)
        EXPECT_TRUE(AppLocalizer::english().contains(text)) << text.toStdString();
}
