#include "device/ipodillustration.h"

#include "device/themeimage.h"
#include "localization/applocalizer.h"

#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <cmath>
#include <vector>

using namespace Qt::StringLiterals;
using Shape = IPodProfile::Shape;

namespace {

// The platform's named colours (light appearance).
const QColor black = QColor::fromRgbF(0, 0, 0);
const QColor white = QColor::fromRgbF(1, 1, 1);
const QColor gray = QColor::fromRgb(142, 142, 147);
const QColor red = QColor::fromRgb(255, 59, 48);
const QColor green = QColor::fromRgb(52, 199, 89);

constexpr double titleSize = 22; // the title text style, in points
constexpr double shadowRadius = 7;
constexpr double shadowOffset = 5;
constexpr double shadowOpacity = 0.22;
// The blur reaches about three standard deviations (half the radius) beyond the case.
constexpr int shadowMargin = 14;

QColor grey(double value)
{
    return QColor::fromRgbF(float(value), float(value), float(value));
}

QColor rgb(double r, double g, double b)
{
    return QColor::fromRgbF(float(r), float(g), float(b));
}

QColor withAlpha(QColor color, double alpha)
{
    color.setAlphaF(float(color.alphaF() * alpha));
    return color;
}

QFont fontOfSize(double pixels, QFont::Weight weight = QFont::Normal)
{
    QFont font;
    font.setPixelSize(std::max(1, int(std::lround(pixels))));
    font.setWeight(weight);
    return font;
}

QRectF centredRect(QPointF centre, double width, double height)
{
    return QRectF(centre.x() - width / 2, centre.y() - height / 2, width, height);
}

void drawText(QPainter &painter, const QRectF &box, const QString &text, const QFont &font, const QColor &color)
{
    painter.setFont(font);
    painter.setPen(color);
    painter.drawText(box, Qt::AlignCenter | Qt::TextDontClip, text);
}

void strokeCircle(QPainter &painter, const QRectF &box, const QColor &fill, const QColor &stroke, double width)
{
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawEllipse(box);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(stroke, width));
    painter.drawEllipse(box);
}

// Three passes of a box blur, close to a Gaussian of deviation sigma, over one
// channel of w × h values.
void blur(std::vector<float> &values, int w, int h, double sigma)
{
    const int radius = std::max(1, int(std::lround((std::sqrt(4 * sigma * sigma + 1) - 1) / 2)));
    const float scale = 1.0f / float(2 * radius + 1);
    std::vector<float> line(size_t(std::max(w, h)));
    auto pass = [&](int count, int length, auto index) {
        for (int c = 0; c < count; ++c) {
            float sum = 0;
            for (int i = -radius; i <= radius; ++i)
                sum += (i >= 0 && i < length) ? values[index(c, i)] : 0.0f;
            for (int i = 0; i < length; ++i) {
                line[size_t(i)] = sum * scale;
                const int add = i + radius + 1;
                const int drop = i - radius;
                if (add < length)
                    sum += values[index(c, add)];
                if (drop >= 0)
                    sum -= values[index(c, drop)];
            }
            for (int i = 0; i < length; ++i)
                values[index(c, i)] = line[size_t(i)];
        }
    };
    for (int round = 0; round < 3; ++round) {
        pass(h, w, [w](int row, int i) { return size_t(row) * size_t(w) + size_t(i); });
        pass(w, h, [w](int column, int i) { return size_t(i) * size_t(w) + size_t(column); });
    }
}

struct Painting {
    const IPodProfile &profile;
    QString finish;
    const std::optional<ThemePreview> &preview;
    const ThemeImageLoader *loader;
    QPalette palette;
};

void paintWheel(QPainter &painter, const Painting &what, QPointF centre, double d)
{
    const IPodIllustration::WheelColors colors = IPodIllustration::wheelColors(what.finish);
    const QRectF box = centredRect(centre, d, d);
    strokeCircle(painter, box, colors.ring, withAlpha(gray, 0.3), 0.7);

    const QFont labelFont = fontOfSize(0.057 * d, QFont::Medium);
    const double labelHeight = QFontMetricsF(labelFont).height();
    const IPodIllustration::WheelParts parts = IPodIllustration::wheelParts(d, labelHeight);
    const QPointF origin = box.topLeft();
    const QString top = AppLocalizer::display(IPodIllustration::wheelTopLabel(what.profile.shape));
    drawText(painter, centredRect(origin + parts.topLabelCentre, d, labelHeight), top, labelFont, colors.labels);
    paintSymbol(painter, u"playpause.fill", origin + parts.playPauseCentre, parts.playPauseSize, colors.labels);
    paintSymbol(painter, u"backward.end.fill", origin + parts.backwardCentre, parts.skipSize, colors.labels);
    paintSymbol(painter, u"forward.end.fill", origin + parts.forwardCentre, parts.skipSize, colors.labels);

    strokeCircle(painter, parts.centreButton.translated(origin), colors.centre, withAlpha(gray, 0.4), 0.6);
}

void paintScreen(QPainter &painter, const Painting &what, const QRectF &screen)
{
    const IPodIllustration::ScreenColors colors = IPodIllustration::screenColors(what.profile);
    painter.save();
    painter.setClipRect(screen, Qt::IntersectClip);
    painter.fillRect(screen, colors.background);
    if (what.preview) {
        paintThemeImage(painter, screen, *what.loader, what.palette);
    } else {
        const QFont font = fontOfSize(0.09 * screen.width(), QFont::DemiBold);
        const IPodIllustration::EmptyScreen layout =
            IPodIllustration::emptyScreen(screen.size(), QFontMetricsF(font).height());
        const QPointF origin = screen.topLeft();
        drawText(painter, layout.text.translated(origin), AppLocalizer::display(u"iPod"_s), font, colors.content);
        painter.fillRect(layout.rule.translated(origin), withAlpha(white, 0.25));
        paintSymbol(painter, u"music.note", origin + layout.symbolCentre, layout.symbolSize, colors.content, 1.5);
    }
    painter.restore();
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(grey(0.25), 1.2));
    painter.drawPath(continuousRoundedRect(screen, 1));
}

// The case and everything on it, in case coordinates (origin at the top-left corner).
void paintCase(QPainter &painter, const Painting &what, const QSizeF &size)
{
    const double w = size.width();
    const QColor body = IPodIllustration::bodyColor(what.finish);
    const QPainterPath outline = continuousRoundedRect(QRectF(QPointF(0, 0), size), 0.055 * w);
    QLinearGradient gradient(QPointF(0, 0), QPointF(size.width(), size.height()));
    gradient.setColorAt(0, body);
    gradient.setColorAt(0.5, withAlpha(body, 0.85));
    gradient.setColorAt(1, body);
    painter.fillPath(outline, gradient);
    painter.setPen(QPen(withAlpha(white, 0.65), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(outline);

    const IPodIllustration::Layout layout = IPodIllustration::layout(what.profile, size);
    if (layout.screen)
        paintScreen(painter, what, *layout.screen);
    static const QStringView buttonSymbols[] = {u"backward.end.fill", u"line.3.horizontal", u"playpause.fill",
                                                u"forward.end.fill"};
    for (qsizetype i = 0; i < layout.buttons.size() && i < qsizetype(std::size(buttonSymbols)); ++i) {
        const QRectF &button = layout.buttons[i];
        painter.setPen(Qt::NoPen);
        painter.setBrush(withAlpha(white, 0.9));
        painter.drawEllipse(button);
        paintSymbol(painter, buttonSymbols[i], button.center(), 0.05 * w, red, 2.3);
    }
    if (layout.wheel)
        paintWheel(painter, what, layout.wheel->centre, layout.wheel->diameter);
    if (layout.questionMark)
        paintSymbol(painter, u"questionmark", *layout.questionMark, titleSize, gray);
    if (layout.homeButton)
        strokeCircle(painter, *layout.homeButton, what.finish == u"black"_s ? black : white, withAlpha(gray, 0.5), 1);
    if (layout.shuffleSymbol)
        paintSymbol(painter, u"shuffle", *layout.shuffleSymbol, layout.shuffleSymbolSize, gray);
    if (layout.bar)
        painter.fillRect(*layout.bar, withAlpha(gray, 0.25));
    if (layout.labelArea) {
        const QFont font = fontOfSize(0.18 * w);
        const double textHeight = QFontMetricsF(font).height();
        const IPodIllustration::LabelColumn column = IPodIllustration::labelColumn(*layout.labelArea, w, textHeight);
        painter.setPen(Qt::NoPen);
        painter.setBrush(green);
        painter.drawRoundedRect(column.capsule, column.capsule.height() / 2, column.capsule.height() / 2);
        drawText(painter, centredRect(column.textCentre, layout.labelArea->width(), textHeight),
                 AppLocalizer::display(u"iPod"_s), font, withAlpha(white, 0.7));
    }
}

} // namespace

// ---------------------------------------------------------------------------

QSizeF IPodIllustration::drawnSize(double ratio, double width, double maxHeight)
{
    const double limited = maxHeight / ratio;
    const double w = limited < width ? limited : width;
    return {w, ratio * w};
}

QString IPodIllustration::finishInForce(const IPodProfile &profile, const std::optional<QString> &finish)
{
    return finish.value_or(profile.finish);
}

QColor IPodIllustration::bodyColor(const QString &finish)
{
    if (finish == u"black"_s || finish == u"u2"_s)
        return grey(0.14);
    if (finish == u"silver"_s)
        return grey(0.76);
    if (finish == u"blue"_s)
        return rgb(0.3, 0.63, 0.83);
    if (finish == u"green"_s)
        return rgb(0.51, 0.72, 0.28);
    if (finish == u"orange"_s)
        return rgb(0.94, 0.48, 0.12);
    if (finish == u"purple"_s)
        return rgb(0.62, 0.42, 0.8);
    if (finish == u"pink"_s)
        return rgb(0.89, 0.42, 0.61);
    if (finish == u"gold"_s)
        return rgb(0.86, 0.76, 0.48);
    return grey(0.985);
}

IPodIllustration::WheelColors IPodIllustration::wheelColors(const QString &finish)
{
    if (finish == u"u2"_s)
        return {red, grey(0.18), withAlpha(white, 0.7)};
    if (finish == u"black"_s)
        return {grey(0.22), grey(0.18), withAlpha(white, 0.7)};
    return {grey(0.77), grey(0.985), grey(0.38)};
}

IPodIllustration::ScreenColors IPodIllustration::screenColors(const IPodProfile &profile)
{
    if (profile.screenRatio == 1.25)
        return {grey(0.73), grey(0.24)};
    return {grey(0.06), withAlpha(white, 0.8)};
}

QString IPodIllustration::wheelTopLabel(Shape shape)
{
    return shape == Shape::shuffleStick || shape == Shape::shuffleClip ? u"+"_s : u"MENU"_s;
}

std::optional<QUrl> IPodIllustration::screenPicture(const ThemePreview &preview)
{
    return preview.playing ? preview.playing : preview.menu;
}

QString IPodIllustration::accessibleText(const IPodProfile &profile, const std::optional<QString> &finish)
{
    return AppLocalizer::display(profile.name) + u" · "_s + finishInForce(profile, finish);
}

IPodIllustration::Layout IPodIllustration::layout(const IPodProfile &profile, const QSizeF &size)
{
    const double w = size.width();
    const double h = size.height();
    Layout result;
    result.size = size;
    auto screen = [&](double sw, double sh, double cy) { result.screen = centredRect({0.5 * w, cy * h}, sw, sh); };
    auto wheel = [&](double d, double cx, double cy) { result.wheel = Wheel{{cx, cy}, d}; };
    const double ratio = profile.screenRatio;

    switch (profile.shape) {
    case Shape::early:
        screen(0.82 * w, 0.82 * w / ratio, 0.25);
        wheel(0.7 * w, 0.5 * w, 0.72 * h);
        break;
    case Shape::buttons: {
        screen(0.82 * w, 0.82 * w / ratio, 0.25);
        const double side = 0.13 * w;
        const double spacing = 0.075 * w;
        const double rowWidth = 4 * side + 3 * spacing;
        for (int i = 0; i < 4; ++i) {
            result.buttons.append(
                QRectF(0.5 * w - rowWidth / 2 + i * (side + spacing), 0.49 * h - side / 2, side, side));
        }
        wheel(0.68 * w, 0.5 * w, 0.72 * h);
        break;
    }
    case Shape::wheel:
        screen(0.82 * w, 0.82 * w / ratio, 0.25);
        wheel(0.68 * w, 0.5 * w, 0.72 * h);
        break;
    case Shape::mini:
        screen(0.72 * w, 0.72 * w / ratio, 0.25);
        wheel(0.68 * w, 0.5 * w, 0.72 * h);
        break;
    case Shape::nano: {
        const double sw = ratio < 1 ? 0.72 * w : 0.82 * w;
        screen(sw, sw / ratio, 0.25);
        wheel(0.68 * w, 0.5 * w, 0.72 * h);
        break;
    }
    case Shape::nanoWide:
        screen(0.82 * w, 0.82 * w / ratio, 0.29);
        wheel(0.54 * w, 0.5 * w, 0.77 * h);
        break;
    case Shape::unknown:
        screen(0.82 * w, 0.82 * w / ratio, 0.25);
        wheel(0.68 * w, 0.5 * w, 0.72 * h);
        result.questionMark = QPointF(0.5 * w, 0.25 * h);
        break;
    case Shape::touch:
        screen(0.86 * w, std::min(0.73 * h, 0.86 * w / ratio), 0.46);
        result.homeButton = centredRect({0.5 * w, 0.9 * h}, 0.18 * w, 0.18 * w);
        break;
    case Shape::squareTouch:
        screen(0.86 * w, std::min(0.85 * h, 0.86 * w / ratio), 0.5);
        break;
    case Shape::shuffleStick:
        wheel(0.82 * w, 0.5 * w, 0.28 * h);
        result.shuffleSymbol = QPointF(0.5 * w, 0.69 * h);
        result.shuffleSymbolSize = 0.23 * w;
        result.bar = centredRect({0.5 * w, 0.9 * h}, 0.7 * w, 0.02 * h);
        break;
    case Shape::shuffleClip:
        wheel(0.82 * std::min(w, h), 0.5 * w, 0.5 * h);
        break;
    case Shape::shuffleRemote:
        result.labelArea = QRectF(0.2 * w, 0.2 * w, w - 0.4 * w, h - 0.4 * w);
        break;
    }
    return result;
}

IPodIllustration::LabelColumn IPodIllustration::labelColumn(const QRectF &area, double caseWidth, double textHeight)
{
    constexpr double spacing = 8; // the platform's default spacing between stacked views
    constexpr double capsuleHeight = 3;
    const double spare = std::max(0.0, area.height() - capsuleHeight - textHeight - 3 * spacing) / 2;
    LabelColumn column;
    column.capsule = QRectF(area.center().x() - 0.08 * caseWidth, area.top(), 0.16 * caseWidth, capsuleHeight);
    column.textCentre =
        QPointF(area.center().x(), area.top() + capsuleHeight + spacing + spare + spacing + textHeight / 2);
    return column;
}

IPodIllustration::EmptyScreen IPodIllustration::emptyScreen(const QSizeF &screen, double textHeight)
{
    constexpr double padding = 7;
    constexpr double spacing = 4;
    constexpr double ruleHeight = 1;
    EmptyScreen result;
    result.textSize = 0.09 * screen.width();
    result.symbolSize = 0.26 * screen.width();
    const double total = textHeight + spacing + ruleHeight + spacing + result.symbolSize;
    const double top = (screen.height() - total) / 2;
    const double inner = std::max(0.0, screen.width() - 2 * padding);
    result.text = QRectF(padding, top, inner, textHeight);
    result.rule = QRectF(padding, top + textHeight + spacing, inner, ruleHeight);
    result.symbolCentre = QPointF(screen.width() / 2, result.rule.bottom() + spacing + result.symbolSize / 2);
    return result;
}

IPodIllustration::WheelParts IPodIllustration::wheelParts(double d, double topLabelHeight)
{
    const double padding = 0.085 * d;
    WheelParts parts;
    parts.topLabelSize = 0.057 * d;
    parts.topLabelCentre = QPointF(d / 2, padding + topLabelHeight / 2);
    parts.playPauseSize = 0.064 * d;
    parts.playPauseCentre = QPointF(d / 2, d - padding - parts.playPauseSize / 2);
    parts.skipSize = 0.069 * d;
    const double skipWidth = symbolSize(u"backward.end.fill", parts.skipSize).width();
    parts.backwardCentre = QPointF(padding + skipWidth / 2, d / 2);
    parts.forwardCentre = QPointF(d - padding - skipWidth / 2, d / 2);
    parts.centreButton = centredRect({d / 2, d / 2}, 0.33 * d, 0.33 * d);
    return parts;
}

// ---------------------------------------------------------------------------

IPodIllustration::IPodIllustration(IPodProfile profile, std::optional<QString> finish,
                                   std::optional<ThemePreview> preview, double width, double maxHeight,
                                   QWidget *parent)
    : QWidget(parent)
    , m_profile(std::move(profile))
    , m_finish(std::move(finish))
    , m_preview(std::move(preview))
    , m_width(width)
    , m_maxHeight(maxHeight)
    , m_loader(new ThemeImageLoader(this))
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    connect(m_loader, &ThemeImageLoader::changed, this, qOverload<>(&QWidget::update));
    m_loader->setUrl(m_preview ? screenPicture(*m_preview) : std::nullopt);
    refreshAccessibleName();
}

IPodIllustration::~IPodIllustration() = default;

void IPodIllustration::setProfile(const IPodProfile &profile)
{
    m_profile = profile;
    refreshAccessibleName();
    updateGeometry();
    update();
}

void IPodIllustration::setFinish(const std::optional<QString> &finish)
{
    m_finish = finish;
    refreshAccessibleName();
    update();
}

void IPodIllustration::setPreview(const std::optional<ThemePreview> &preview)
{
    m_preview = preview;
    m_loader->setUrl(m_preview ? screenPicture(*m_preview) : std::nullopt);
    update();
}

void IPodIllustration::setSpace(double width, double maxHeight)
{
    m_width = width;
    m_maxHeight = maxHeight;
    updateGeometry();
    update();
}

QSize IPodIllustration::sizeHint() const
{
    const QSizeF drawn = drawnSize(m_profile.ratio, m_width, m_maxHeight);
    const QMargins margins = contentsMargins();
    return QSize(int(std::ceil(m_width)) + margins.left() + margins.right(),
                 int(std::ceil(drawn.height())) + margins.top() + margins.bottom());
}

void IPodIllustration::refreshAccessibleName()
{
    setAccessibleName(accessibleText(m_profile, m_finish));
}

const QImage &IPodIllustration::shadow(const QSizeF &size, double devicePixelRatio)
{
    // The shadow follows the opacity of the whole drawing, which depends only on
    // the model and the size (the screen and controls are opaque).
    const QString key = m_profile.id + u'/' + QString::number(size.width()) + u'x' + QString::number(size.height()) +
                        u'@' + QString::number(devicePixelRatio);
    if (key == m_shadowKey)
        return m_shadow;
    const QSize pixels((QSizeF(size.width() + 2 * shadowMargin, size.height() + 2 * shadowMargin) * devicePixelRatio)
                           .toSize());
    QImage mask(pixels, QImage::Format_ARGB32_Premultiplied);
    mask.fill(Qt::transparent);
    {
        QPainter painter(&mask);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(devicePixelRatio, devicePixelRatio);
        painter.translate(shadowMargin, shadowMargin);
        const std::optional<ThemePreview> none;
        paintCase(painter, Painting{m_profile, finishInForce(m_profile, m_finish), none, m_loader, palette()}, size);
    }
    std::vector<float> alpha(size_t(pixels.width()) * size_t(pixels.height()));
    for (int y = 0; y < pixels.height(); ++y) {
        const QRgb *line = reinterpret_cast<const QRgb *>(mask.constScanLine(y));
        for (int x = 0; x < pixels.width(); ++x)
            alpha[size_t(y) * size_t(pixels.width()) + size_t(x)] = float(qAlpha(line[x])) / 255.0f;
    }
    blur(alpha, pixels.width(), pixels.height(), shadowRadius / 2 * devicePixelRatio);
    for (int y = 0; y < pixels.height(); ++y) {
        QRgb *line = reinterpret_cast<QRgb *>(mask.scanLine(y));
        for (int x = 0; x < pixels.width(); ++x) {
            const float a = alpha[size_t(y) * size_t(pixels.width()) + size_t(x)] * float(shadowOpacity);
            line[x] = qRgba(0, 0, 0, std::clamp(int(std::lround(a * 255.0f)), 0, 255));
        }
    }
    mask.setDevicePixelRatio(devicePixelRatio);
    m_shadow = mask;
    m_shadowKey = key;
    return m_shadow;
}

void IPodIllustration::paintEvent(QPaintEvent *)
{
    const QSizeF size = drawnSize(m_profile.ratio, m_width, m_maxHeight);
    if (!(size.width() > 0 && size.height() > 0) || !std::isfinite(size.width()) || !std::isfinite(size.height()))
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // The drawing is framed to width × h and centred in what the widget was given.
    const QRectF area = contentsRect();
    const QPointF origin(area.center().x() - size.width() / 2, area.center().y() - size.height() / 2);
    painter.drawImage(origin + QPointF(-shadowMargin, shadowOffset - shadowMargin), shadow(size, devicePixelRatioF()));
    painter.translate(origin);
    paintCase(painter, Painting{m_profile, finishInForce(m_profile, m_finish), m_preview, m_loader, palette()}, size);
}
