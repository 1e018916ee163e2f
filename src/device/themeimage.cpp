#include "device/themeimage.h"

#include "localization/applocalizer.h"
#include "platform/icons.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QFutureWatcher>
#include <QHash>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPainter>
#include <QPainterPath>
#include <QSvgRenderer>
#include <QtConcurrent/QtConcurrentRun>
#include <cmath>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

// Type sizes of the platform's text styles, in points (= logical pixels).
constexpr double title2Size = 17;
constexpr double captionSize = 10;
constexpr double cornerRadius = 5;
// Remote pictures come from the theme gallery; a stalled or trickling server
// must not spin forever.
int downloadTimeoutMs = ThemeImageLoader::defaultDownloadTimeout;

struct SymbolKey {
    QString file;
    QRgb color;
    double weight;
    bool operator==(const SymbolKey &) const = default;
};

size_t qHash(const SymbolKey &key, size_t seed = 0)
{
    return qHashMulti(seed, key.file, key.color, key.weight);
}

// Renderers are made once per icon, colour and weight; only the main thread paints.
QSvgRenderer *renderer(const QString &file, const QColor &color, double weight)
{
    static QHash<SymbolKey, std::shared_ptr<QSvgRenderer>> cache;
    const SymbolKey key{file, color.rgb(), weight};
    if (auto found = cache.find(key); found != cache.end())
        return found->get();
    QFile source(file);
    QByteArray svg = source.open(QIODevice::ReadOnly) ? source.readAll() : QByteArray();
    svg.replace("currentColor", color.name(QColor::HexRgb).toLatin1());
    const QByteArray stroke = QByteArray("stroke-width=\"") + QByteArray::number(weight) + QByteArray("\"");
    svg.replace("stroke-width=\"2\"", stroke);
    auto made = std::make_shared<QSvgRenderer>(svg);
    if (cache.size() > 256)
        cache.clear();
    cache.insert(key, made);
    return made.get();
}

QFont fontOfSize(double pixels, QFont::Weight weight = QFont::Normal)
{
    QFont font;
    font.setPixelSize(std::max(1, int(std::lround(pixels))));
    font.setWeight(weight);
    return font;
}

QColor withAlpha(QColor color, double alpha)
{
    color.setAlphaF(float(color.alphaF() * alpha));
    return color;
}

QNetworkAccessManager *network()
{
    // One manager for every picture: views live on the main thread.
    static QPointer<QNetworkAccessManager> manager;
    if (!manager)
        manager = new QNetworkAccessManager(QCoreApplication::instance());
    return manager;
}

// The corner of a continuous rounded rectangle, from the incoming edge to the
// outgoing one: three cubic pieces whose curvature grows and falls smoothly.
void addCorner(QPainterPath &path, QPointF corner, QPointF in, QPointF out, double r)
{
    auto at = [&](double u, double v) { return corner - in * (u * r) + out * (v * r); };
    path.lineTo(at(1.52866483, 0));
    path.cubicTo(at(1.08849323, 0), at(0.86840689, 0), at(0.63149399, 0.07491100));
    path.cubicTo(at(0.37282392, 0.16905899), at(0.16905899, 0.37282392), at(0.07491100, 0.63149399));
    path.cubicTo(at(0, 0.86840689), at(0, 1.08849323), at(0, 1.52866483));
}

void paintCentredText(QPainter &painter, const QRectF &box, const QString &text, const QFont &font,
                      const QColor &color)
{
    painter.setFont(font);
    painter.setPen(color);
    const QString shown = QFontMetricsF(font).elidedText(text, Qt::ElideRight, box.width());
    painter.drawText(box, Qt::AlignCenter, shown);
}

} // namespace

QSizeF symbolSize(QStringView symbol, double pointSize)
{
    const QString file = icons::path(symbol);
    if (file.isEmpty())
        return {pointSize, pointSize};
    const QRectF box = renderer(file, Qt::black, 2.0)->viewBoxF();
    const double aspect = box.height() > 0 ? box.width() / box.height() : 1.0;
    return {pointSize * aspect, pointSize};
}

void paintSymbol(QPainter &painter, QStringView symbol, QPointF centre, double pointSize, const QColor &color,
                 double weight)
{
    const QString file = icons::path(symbol);
    if (file.isEmpty() || pointSize <= 0)
        return;
    const QSizeF size = symbolSize(symbol, pointSize);
    painter.save();
    painter.setOpacity(painter.opacity() * color.alphaF());
    renderer(file, color, weight)->render(&painter, QRectF(centre - QPointF(size.width(), size.height()) / 2, size));
    painter.restore();
}

QPainterPath continuousRoundedRect(const QRectF &rect, double radius)
{
    QPainterPath path;
    const QRectF r = rect.normalized();
    // The smooth corner reaches 1.53 radii along each edge; keep it within the sides.
    const double limit = std::min(r.width(), r.height()) / 2 / 1.52866483;
    const double radiusUsed = std::clamp(radius, 0.0, limit);
    if (radiusUsed <= 0) {
        path.addRect(r);
        return path;
    }
    path.moveTo(r.left() + 1.52866483 * radiusUsed, r.top());
    addCorner(path, r.topRight(), {1, 0}, {0, 1}, radiusUsed);
    addCorner(path, r.bottomRight(), {0, 1}, {-1, 0}, radiusUsed);
    addCorner(path, r.bottomLeft(), {-1, 0}, {0, -1}, radiusUsed);
    addCorner(path, r.topLeft(), {0, -1}, {1, 0}, radiusUsed);
    path.closeSubpath();
    return path;
}

// ---------------------------------------------------------------------------

ThemeImageLoader::ThemeImageLoader(QObject *parent)
    : QObject(parent)
{
    m_spinner.setInterval(80);
    connect(&m_spinner, &QTimer::timeout, this, &ThemeImageLoader::changed);
}

ThemeImageLoader::~ThemeImageLoader()
{
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
        m_reply->deleteLater();
    }
}

QImage ThemeImageLoader::readFile(const QString &path)
{
    // The size is asked of the opened file, and no more than the limit is ever
    // read, so a file that grows meanwhile (or a link to a large one) can't
    // make us read it whole.
    if (!QFileInfo(path).isFile())
        return {};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > maxFileSize)
        return {};
    const QByteArray bytes = file.read(maxFileSize + 1);
    if (bytes.isEmpty() || bytes.size() > maxFileSize)
        return {};
    return QImage::fromData(bytes);
}

void ThemeImageLoader::setUrl(const std::optional<QUrl> &url)
{
    if (url == m_url && (m_state != State::noPicture || !url))
        return;
    ++m_generation;
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
        m_reply->deleteLater();
        m_reply = nullptr;
    }
    m_spinner.stop();
    m_url = url;
    m_image = QImage();
    if (!url) {
        m_state = State::noPicture;
    } else if (url->isLocalFile()) {
        m_state = State::loading;
        const quint64 generation = m_generation;
        whenDone(QtConcurrent::run(&ThemeImageLoader::readFile, url->toLocalFile()), generation);
    } else {
        m_state = State::loading;
        startDownload(*url);
    }
    emit changed();
}

void ThemeImageLoader::startDownload(const QUrl &url)
{
    QNetworkRequest request(url);
    request.setTransferTimeout(downloadTimeoutMs);
    QNetworkReply *reply = network()->get(request);
    m_reply = reply;
    const quint64 generation = m_generation;
    // The transfer time-out only counts silence; the whole download has the
    // same time in all.
    QTimer::singleShot(downloadTimeoutMs, reply, [reply] {
        if (reply->isRunning())
            reply->abort();
    });
    // A picture larger than any screenshot is refused rather than held in memory.
    connect(reply, &QNetworkReply::downloadProgress, this, [reply](qint64 received, qint64) {
        if (received > maxFileSize)
            reply->abort();
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply, generation] {
        reply->deleteLater();
        if (generation != m_generation)
            return;
        m_reply = nullptr;
        const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        const bool httpOk = !status.isValid() || (status.toInt() >= 200 && status.toInt() < 300);
        if (reply->error() != QNetworkReply::NoError || !httpOk) {
            finish(generation, {});
            return;
        }
        const QByteArray bytes = reply->readAll();
        if (bytes.size() > maxFileSize) {
            finish(generation, {});
            return;
        }
        whenDone(QtConcurrent::run([bytes] { return QImage::fromData(bytes); }), generation);
    });
    m_clock.start();
    m_spinner.start();
}

void ThemeImageLoader::whenDone(QFuture<QImage> future, quint64 generation)
{
    // The watcher belongs to the loader, so a loader that goes away first never
    // hears of the result; the worker's job just finishes unheard.
    auto *watcher = new QFutureWatcher<QImage>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, generation] {
        watcher->deleteLater();
        finish(generation, watcher->result());
    });
    watcher->setFuture(std::move(future));
}

void ThemeImageLoader::finish(quint64 generation, const QImage &image)
{
    if (generation != m_generation)
        return; // a result for an address that is no longer shown
    m_spinner.stop();
    m_image = image;
    m_state = image.isNull() ? State::failed : State::loaded;
    emit changed();
}

void ThemeImageLoader::setDownloadTimeout(int milliseconds)
{
    downloadTimeoutMs = milliseconds > 0 ? milliseconds : defaultDownloadTimeout;
}

int ThemeImageLoader::downloadTimeout()
{
    return downloadTimeoutMs;
}

double ThemeImageLoader::spinnerPhase() const
{
    if (!m_clock.isValid())
        return 0;
    return std::fmod(double(m_clock.elapsed()) / 1000.0, 1.0);
}

// ---------------------------------------------------------------------------

namespace {

void paintSpinner(QPainter &painter, QPointF centre, double size, const QColor &color, double phase)
{
    // Twelve spokes, the leading one darkest, turning once a second.
    constexpr int spokes = 12;
    const int lead = int(phase * spokes) % spokes;
    painter.save();
    painter.translate(centre);
    for (int i = 0; i < spokes; ++i) {
        const int age = (lead - i + spokes) % spokes;
        QPen pen(withAlpha(color, 1.0 - 0.7 * age / (spokes - 1)), size * 0.09, Qt::SolidLine, Qt::RoundCap);
        painter.setPen(pen);
        const double angle = 2 * M_PI * i / spokes - M_PI / 2;
        const QPointF dir(std::cos(angle), std::sin(angle));
        painter.drawLine(dir * size * 0.25, dir * size * 0.47);
    }
    painter.restore();
}

// The "photo" symbol beside a caption, centred in `frame`.
void paintLabel(QPainter &painter, const QRectF &frame, const QString &text, const QColor &color)
{
    const QFont font = fontOfSize(captionSize);
    const QFontMetricsF metrics(font);
    const QSizeF icon = symbolSize(u"photo", captionSize);
    constexpr double spacing = 5;
    const double textWidth = std::min(metrics.horizontalAdvance(text), frame.width() - icon.width() - spacing);
    const double total = icon.width() + spacing + textWidth;
    const double left = frame.center().x() - total / 2;
    paintSymbol(painter, u"photo", {left + icon.width() / 2, frame.center().y()}, captionSize, color);
    paintCentredText(painter,
                     QRectF(left + icon.width() + spacing, frame.center().y() - metrics.height() / 2, textWidth,
                            metrics.height()),
                     text, font, color);
}

} // namespace

void paintThemeImage(QPainter &painter, const QRectF &available, const ThemeImageLoader &loader,
                     const QPalette &palette)
{
    const QRectF frame = ThemeImage::fittedFrame(available);
    if (frame.isEmpty())
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QPainterPath outline = continuousRoundedRect(frame, cornerRadius);
    painter.setClipPath(outline, Qt::IntersectClip);
    const QColor primary = palette.color(QPalette::WindowText);
    const QColor secondary = withAlpha(primary, 0.5);
    painter.fillPath(outline, withAlpha(primary, 0.04));

    switch (loader.state()) {
    case ThemeImageLoader::State::noPicture: {
        const QFont font = fontOfSize(captionSize);
        const double textHeight = QFontMetricsF(font).height();
        constexpr double spacing = 8;
        const double top = frame.center().y() - (title2Size + spacing + textHeight) / 2;
        paintSymbol(painter, u"photo", {frame.center().x(), top + title2Size / 2}, title2Size, secondary);
        paintCentredText(painter, QRectF(frame.left(), top + title2Size + spacing, frame.width(), textHeight),
                         AppLocalizer::display(u"Brak podglądu"_s), font, secondary);
        break;
    }
    case ThemeImageLoader::State::loaded: {
        // Screenshots are pixel art: scaled without smoothing.
        painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
        const QImage &image = loader.image();
        painter.drawImage(ThemeImage::fittedImage(image.size(), frame), image);
        break;
    }
    case ThemeImageLoader::State::loading:
        if (!loader.isFile()) {
            paintSpinner(painter, frame.center(), std::min(32.0, frame.height() * 0.4), primary,
                         loader.spinnerPhase());
            break;
        }
        [[fallthrough]];
    case ThemeImageLoader::State::failed:
        paintLabel(painter, frame, AppLocalizer::display(u"Podgląd niedostępny"_s), primary);
        break;
    }
    painter.restore();
}

// ---------------------------------------------------------------------------

ThemeImage::ThemeImage(const std::optional<QUrl> &url, QWidget *parent)
    : QWidget(parent)
{
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
    connect(&m_loader, &ThemeImageLoader::changed, this, qOverload<>(&QWidget::update));
    m_loader.setUrl(url);
}

void ThemeImage::setUrl(const std::optional<QUrl> &url)
{
    m_loader.setUrl(url);
}

QRectF ThemeImage::fittedFrame(const QRectF &available)
{
    return fittedImage(QSizeF(4, 3), available);
}

QRectF ThemeImage::fittedImage(const QSizeF &image, const QRectF &frame)
{
    if (image.isEmpty() || frame.isEmpty())
        return {};
    const QSizeF size = image.scaled(frame.size(), Qt::KeepAspectRatio);
    return QRectF(frame.center() - QPointF(size.width(), size.height()) / 2, size);
}

QSize ThemeImage::sizeHint() const
{
    return {160, 120};
}

int ThemeImage::heightForWidth(int width) const
{
    return width * 3 / 4;
}

void ThemeImage::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    paintThemeImage(painter, rect(), m_loader, palette());
}
