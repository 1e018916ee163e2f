#include "ui/coverflow/flowpictures.h"

#include "model/modeltasks.h"
#include "platform/scaledimage.h"
#include "ui/coverflow/flowgeometry.h"
#include "ui/kit/kit.h"

#include <QBuffer>
#include <QFuture>
#include <QImageReader>
#include <QPainter>
#include <QPainterPath>
#include <QThreadPool>
#include <algorithm>
#include <cmath>
#include <vector>

using namespace Qt::StringLiterals;

namespace flowpictures {

namespace {

constexpr int maxThumbnail = 640;
constexpr double cornerRadius = 7;
constexpr double shadowRadius = 10;
constexpr double shadowOffset = 10;
constexpr double shadowOpacity = 0.65;
constexpr double reflectionGap = 5;
constexpr double reflectionOpacity = 0.26;

QImage transparent(int width, int height, double dpr)
{
    QImage image(std::max(1, width), std::max(1, height), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    Q_UNUSED(dpr);
    return image;
}

QPainterPath roundedSquare(int side, double dpr)
{
    QPainterPath path;
    path.addRoundedRect(QRectF(0, 0, side, side), cornerRadius * dpr, cornerRadius * dpr);
    return path;
}

// One pass of a box blur along rows (horizontal) or columns, on 4 channels.
void boxPass(QImage &image, int radius, bool horizontal)
{
    const int w = image.width(), h = image.height();
    const int lines = horizontal ? h : w;
    const int length = horizontal ? w : h;
    const qsizetype stride = image.bytesPerLine() / 4;
    auto *bits = reinterpret_cast<quint32 *>(image.bits());
    std::vector<quint32> line(static_cast<size_t>(length));
    const int window = 2 * radius + 1;
    for (int l = 0; l < lines; ++l) {
        quint32 *first = horizontal ? bits + l * stride : bits + l;
        const qsizetype step = horizontal ? 1 : stride;
        for (int i = 0; i < length; ++i)
            line[size_t(i)] = first[i * step];
        int sum[4] = {0, 0, 0, 0};
        auto add = [&](int i, int sign) {
            if (i < 0 || i >= length)
                return; // outside is transparent
            const quint32 p = line[size_t(i)];
            for (int c = 0; c < 4; ++c)
                sum[c] += sign * int((p >> (8 * c)) & 0xff);
        };
        for (int i = -radius; i < radius; ++i)
            add(i, 1);
        for (int i = 0; i < length; ++i) {
            add(i + radius, 1);
            quint32 out = 0;
            for (int c = 0; c < 4; ++c)
                out |= quint32((sum[c] + window / 2) / window) << (8 * c);
            first[i * step] = out;
            add(i - radius, -1);
        }
    }
}

} // namespace

void blur(QImage &image, int radius)
{
    if (radius <= 0 || image.isNull())
        return;
    if (image.format() != QImage::Format_ARGB32_Premultiplied)
        image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    for (int pass = 0; pass < 3; ++pass) {
        boxPass(image, radius, true);
        boxPass(image, radius, false);
    }
}

QImage decodeCover(const QByteArray &bytes, int side)
{
    if (bytes.isEmpty() || side <= 0)
        return QImage();
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    const QSize stored = reader.size();
    int bound = std::min(side, maxThumbnail);
    if (stored.isValid() && stored.width() > 0 && stored.height() > 0) {
        // The face is filled, so the shorter side must reach the face's side;
        // the orientation tag may swap the sides, which a square bound ignores.
        const double ratio = double(std::max(stored.width(), stored.height())) /
                             double(std::min(stored.width(), stored.height()));
        bound = std::min(maxThumbnail, int(std::ceil(side * ratio)));
    }
    return ScaledImage::decode(bytes, QSize(bound, bound));
}

QImage face(const QImage &picture, int side, double dpr)
{
    QImage out = transparent(side, side, dpr);
    if (picture.isNull())
        return out;
    QPainter painter(&out);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setClipPath(roundedSquare(side, dpr));
    const QSizeF filled = QSizeF(picture.size()).scaled(QSizeF(side, side), Qt::KeepAspectRatioByExpanding);
    const QRectF target((side - filled.width()) / 2, (side - filled.height()) / 2, filled.width(), filled.height());
    painter.drawImage(target, picture);
    return out;
}

QImage placeholderFace(int side, double dpr)
{
    QImage out = transparent(side, side, dpr);
    QPainter painter(&out);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setClipPath(roundedSquare(side, dpr));
    QLinearGradient gradient(0, 0, side, side);
    gradient.setColorAt(0, QColor(0x5E, 0x5C, 0xE6));              // indigo
    gradient.setColorAt(1, QColor(0x0A, 0x84, 0xFF, int(0.4 * 255))); // blue at 0.4
    painter.fillRect(QRect(0, 0, side, side), gradient);
    const double symbol = 55 * dpr;
    const QPixmap disc = kit::symbolPixmap(u"opticaldisc"_s, 55, QColor(255, 255, 255, int(0.8 * 255)), dpr);
    if (!disc.isNull())
        painter.drawPixmap(QRectF((side - symbol) / 2, (side - symbol) / 2, symbol, symbol), disc,
                           QRectF(disc.rect()));
    return out;
}

QImage pendingFace(int side, double dpr)
{
    QImage out = transparent(side, side, dpr);
    QPainter painter(&out);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(roundedSquare(side, dpr), QColor(0x2C, 0x2C, 0x30));
    return out;
}

int shadowMargin(double dpr)
{
    // Three box passes of radius r reach 3r beyond the shape.
    return 3 * std::max(1, int(std::lround(shadowRadius / 2 * dpr)));
}

QImage shadow(int side, double dpr)
{
    const int margin = shadowMargin(dpr);
    QImage out = transparent(side + 2 * margin, side + 2 * margin, dpr);
    {
        QPainter painter(&out);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.translate(margin, margin);
        painter.fillPath(roundedSquare(side, dpr), QColor(0, 0, 0, int(shadowOpacity * 255)));
    }
    // A shadow's radius is twice the sigma of its blur.
    blur(out, std::max(1, int(std::lround(shadowRadius / 2 * dpr))));
    return out;
}

QImage sprite(const QImage &faceImage, const QImage &shadowImage, double dpr)
{
    const int side = faceImage.width();
    const int height = int(std::lround(side * flowgeometry::heightFactor));
    QImage out = transparent(side, height, dpr);
    QPainter painter(&out);
    const int margin = (shadowImage.width() - side) / 2;
    painter.drawImage(QPointF(-margin, -margin + shadowOffset * dpr), shadowImage);
    painter.drawImage(QPointF(0, 0), faceImage);

    // The reflection: the face upside down, fading from its top edge to
    // nothing halfway down, at 0.26; only its top part fits the item.
    QImage reflection = faceImage.mirrored(false, true);
    {
        QPainter mask(&reflection);
        mask.setCompositionMode(QPainter::CompositionMode_DestinationIn);
        QLinearGradient fade(0, 0, 0, side);
        fade.setColorAt(0, QColor(0, 0, 0, 255));
        fade.setColorAt(0.5, QColor(0, 0, 0, 0));
        fade.setColorAt(1, QColor(0, 0, 0, 0));
        mask.fillRect(reflection.rect(), fade);
    }
    painter.setOpacity(reflectionOpacity);
    painter.drawImage(QPointF(0, side + reflectionGap * dpr), reflection);
    return out;
}

Sprite withSideViews(const QImage &flat)
{
    Sprite out;
    out.flat = flat;
    if (flat.isNull())
        return out;
    for (int i = 0; i < 2; ++i) {
        const QTransform turn = flowgeometry::restingTransform(flat.width(), i == 0 ? -1 : 1);
        const QRectF itemRect = flowgeometry::itemRect(flat.width());
        const QRect bounds = turn.mapRect(itemRect).toAlignedRect();
        QImage image(bounds.size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setTransform(turn * QTransform::fromTranslate(-bounds.x(), -bounds.y()));
        painter.drawImage(itemRect, flat);
        painter.end();
        out.warped[i] = image;
        out.warpedAt[i] = bounds.topLeft();
    }
    return out;
}

Glow glow(QSizeF stage, double cover, double dpr)
{
    // Made at a quarter of the resolution: a blur of 45 points leaves no
    // detail that the lower resolution could lose.
    constexpr double scale = 0.25;
    const double blurRadius = 45;
    const QSizeF ellipse(stage.width() * 0.8, 90);
    const double margin = 3 * blurRadius / 2 + 4;
    const QRectF rect(stage.width() / 2 - ellipse.width() / 2 - margin,
                      stage.height() / 2 + cover * 0.7 - ellipse.height() / 2 - margin,
                      ellipse.width() + 2 * margin, ellipse.height() + 2 * margin);
    const double factor = scale * dpr;
    QImage image = transparent(int(std::ceil(rect.width() * factor)), int(std::ceil(rect.height() * factor)), dpr);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(factor, factor);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0x0A, 0x84, 0xFF, int(0.12 * 255)));
        painter.drawEllipse(QRectF(QPointF(margin, margin), ellipse));
    }
    blur(image, std::max(1, int(std::lround(blurRadius / 2 * factor))));
    // Brought to the screen's resolution here, once, so a frame only copies it.
    const QSize full(int(std::ceil(rect.width() * dpr)), int(std::ceil(rect.height() * dpr)));
    return {image.scaled(full, Qt::IgnoreAspectRatio, Qt::SmoothTransformation), rect};
}

} // namespace flowpictures

namespace {

// At most this many sprites are made at once.
constexpr qsizetype maxJobs = 3;

struct Made {
    flowpictures::Sprite sprite;
    bool broken = false;
    bool skipped = false;
};

} // namespace

FlowPictures::FlowPictures(QObject *parent)
    : QObject(parent)
    , m_shared(std::make_shared<Shared>())
{
}

FlowPictures::~FlowPictures() = default;

void FlowPictures::setItems(const QList<FlowAlbum> &items)
{
    m_items = items;
    QSet<quintptr> keys;
    for (const FlowAlbum &item : m_items)
        keys.insert(item.artworkKey);
    // Covers no longer in the list go at once; the others stay for the new list.
    for (auto it = m_entries.begin(); it != m_entries.end();) {
        if (!keys.contains(it.key()) && !it->pending) {
            m_bytes -= it->sprite.bytes();
            it = m_entries.erase(it);
        } else {
            ++it;
        }
    }
    request();
}

void FlowPictures::setCoverSize(double cover, double dpr)
{
    const int side = std::max(1, int(std::lround(cover * dpr)));
    if (side == m_side && dpr == m_dpr)
        return;
    m_side = side;
    m_dpr = dpr;
    m_shared->generation.fetch_add(1);
    m_shadow = flowpictures::shadow(side, dpr);
    m_placeholder =
        flowpictures::withSideViews(flowpictures::sprite(flowpictures::placeholderFace(side, dpr), m_shadow, dpr));
    m_pending = flowpictures::withSideViews(flowpictures::sprite(flowpictures::pendingFace(side, dpr), m_shadow, dpr));
    request();
}

void FlowPictures::setCentre(int index)
{
    m_centre = index;
    m_shared->centre.store(index);
    request();
}

void FlowPictures::setBudget(qint64 bytes)
{
    m_budget = bytes;
    trim();
}

const FlowPictures::Entry *FlowPictures::entryFor(int position) const
{
    if (position < 0 || position >= m_items.size())
        return nullptr;
    const FlowAlbum &item = m_items[position];
    if (!item.artwork.cover)
        return nullptr;
    auto it = m_entries.constFind(item.artworkKey);
    return it == m_entries.cend() ? nullptr : &*it;
}

flowpictures::Sprite FlowPictures::spriteFor(int position) const
{
    if (position < 0 || position >= m_items.size())
        return {};
    if (!m_items[position].artwork.cover)
        return m_placeholder;
    const Entry *entry = entryFor(position);
    if (!entry)
        return m_pending;
    if (entry->broken)
        return m_placeholder;
    if (entry->sprite.isNull())
        return m_pending;
    const_cast<Entry *>(entry)->used = ++m_clock;
    return entry->sprite;
}

bool FlowPictures::isReady(int position) const
{
    if (position < 0 || position >= m_items.size() || !m_items[position].artwork.cover)
        return true;
    const Entry *entry = entryFor(position);
    return entry && !entry->pending && (entry->broken || (!entry->sprite.isNull() && entry->side == m_side));
}

void FlowPictures::request()
{
    m_queue.clear();
    if (m_side <= 0 || m_items.isEmpty())
        return;
    // Nearest first, so the centre is made before its neighbours; a few at a
    // time, the next ones starting as those end.
    for (int d = 0; d <= window; ++d) {
        if (m_centre + d < m_items.size())
            m_queue.push_back(m_centre + d);
        if (d > 0 && m_centre - d >= 0)
            m_queue.push_back(m_centre - d);
    }
    startJobs();
}

void FlowPictures::startJobs()
{
    while (m_running < maxJobs && !m_queue.empty()) {
        const int position = m_queue.front();
        m_queue.pop_front();
        if (position < 0 || position >= m_items.size())
            continue;
        const FlowAlbum &item = m_items[position];
        if (!item.artwork.cover)
            continue;
        Entry &entry = m_entries[item.artworkKey];
        if (entry.pending || entry.broken || (entry.side == m_side && !entry.sprite.isNull()))
            continue;
        entry.source = item.artwork;
        entry.pending = true;
        ++m_running;
        const int side = m_side;
        const double dpr = m_dpr;
        const int generation = m_shared->generation.load();
        std::shared_ptr<Shared> shared = m_shared;
        const CoverSource source = entry.source;
        const QImage shadowImage = m_shadow;
        const quintptr key = item.artworkKey;
        // The sprite is handed back only while this object exists. Jobs run
        // in Qt's global pool: Qt's raster engine splits big fills, scalings
        // and conversions into parts it hands to that pool and then waits for
        // them, unless the painting thread is one of the pool's. Made anywhere
        // else, every sprite would queue dozens of such parts there, and the
        // stage's own frame, painted the same way on the main thread, would
        // wait behind them: frames of 2 ms of work took 20 ms and more while
        // covers were being made. Inside the pool a job paints on its own
        // thread, and the frame's parts find the pool's other threads free.
        ModelTasks::run(this, QThreadPool::globalInstance(), [=]() -> Made {
            // Work asked for long ago (the stage has flipped far on, or the
            // window changed size) is dropped before it costs anything.
            if (shared->generation.load() != generation ||
                std::abs(shared->centre.load() - position) > window + 2)
                return Made{{}, false, true};
            // The preview serves the usual sizes; a larger stage reads the
            // whole picture again here, on the worker.
            const QImage picture = flowpictures::decodeCover(source.bytesFor(side), side);
            if (picture.isNull())
                return Made{{}, true, false};
            return Made{flowpictures::withSideViews(
                            flowpictures::sprite(flowpictures::face(picture, side, dpr), shadowImage, dpr)),
                        false, false};
        },
        [this, key, side, generation, position](const ModelTasks::Outcome<Made> &outcome) {
            Made made = outcome.value.value_or(Made{{}, false, true});
            // A sprite made for where the stage was long ago is not kept.
            if (std::abs(m_centre - position) > window + 2)
                made.skipped = true;
            --m_running;
            auto it = m_entries.find(key);
            if (it == m_entries.end()) {
                startJobs();
                return;
            }
            it->pending = false;
            if (made.skipped || generation != m_shared->generation.load()) {
                if (it->sprite.isNull() && !it->broken)
                    m_entries.erase(it);
                request();
                return;
            }
            m_bytes -= it->sprite.bytes();
            it->sprite = made.sprite;
            it->broken = made.broken;
            it->side = side;
            it->used = ++m_clock;
            m_bytes += it->sprite.bytes();
            trim();
            emit ready();
            startJobs();
        });
    }
}

void FlowPictures::trim()
{
    if (m_bytes <= m_budget)
        return;
    // The sprites the stage shows now are never dropped.
    QSet<quintptr> shown;
    for (int p = std::max(0, m_centre - flowgeometry::reach);
         p <= std::min(int(m_items.size()) - 1, m_centre + flowgeometry::reach); ++p)
        shown.insert(m_items[p].artworkKey);
    std::vector<std::pair<quint64, quintptr>> byUse;
    for (auto it = m_entries.cbegin(); it != m_entries.cend(); ++it)
        if (!it->pending && !it->sprite.isNull() && !shown.contains(it.key()))
            byUse.emplace_back(it->used, it.key());
    std::sort(byUse.begin(), byUse.end());
    for (const auto &[used, key] : byUse) {
        if (m_bytes <= m_budget)
            break;
        auto it = m_entries.find(key);
        m_bytes -= it->sprite.bytes();
        m_entries.erase(it);
    }
}
