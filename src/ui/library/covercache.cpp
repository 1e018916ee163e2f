#include "ui/library/covercache.h"

#include "media/records.h"
#include "platform/scaledimage.h"

#include <QBuffer>
#include <QImageReader>
#include <QMutexLocker>
#include <QPointer>
#include <algorithm>
#include <optional>

using namespace Qt::StringLiterals;

namespace {

// Requests beyond this many are the oldest, for cards long scrolled past.
constexpr qsizetype queueLimit = 96;

} // namespace

CoverCache::CoverCache(qint64 budgetBytes, QObject *parent)
    : QObject(parent), m_budget(budgetBytes)
{
    m_images.setMaxCost(qMax<qint64>(1, budgetBytes / 1024));
    m_pool.setMaxThreadCount(std::clamp(QThread::idealThreadCount() / 2, 1, 4));
}

CoverCache::~CoverCache()
{
    {
        QMutexLocker lock(&m_queueLock);
        m_queue.clear();
    }
    m_pool.waitForDone();
}

CoverCache &CoverCache::shared()
{
    static CoverCache *cache = new CoverCache(defaultBudget);
    return *cache;
}

CoverSource CoverCache::sourceOf(const Album &album)
{
    return album.coverSource();
}

QString CoverCache::keyOf(const Album &album)
{
    for (const Track &track : album.tracks) {
        if (track.artwork) {
            // Only the first track with bytes counts, as for the album's artwork.
            if (track.artwork->facts().bytes == 0)
                return QString();
            return album.id() + QChar(u'\0') + QString::fromLatin1(track.artwork->identity().toBase64());
        }
    }
    return QString();
}

int CoverCache::bucket(int pixels)
{
    const int p = qMax(1, pixels);
    return (p + step - 1) / step * step;
}

QString CoverCache::cacheKey(const QString &key, int bucketPixels)
{
    return key + QChar(u'\0') + QString::number(bucketPixels);
}

CoverCache::Lookup CoverCache::cover(const QString &key, const CoverSource &source, int pixels)
{
    if (key.isEmpty() || m_failed.contains(key))
        return {State::failed, QImage()};
    const int size = bucket(pixels);
    const QString wanted = cacheKey(key, size);
    if (const QImage *image = m_images.object(wanted))
        return {State::ready, *image};

    // Meanwhile the same cover at the nearest size still cached.
    Lookup result{State::pending, QImage()};
    auto sizes = m_sizes.find(key);
    if (sizes != m_sizes.end()) {
        int best = 0;
        for (auto it = sizes->begin(); it != sizes->end();) {
            if (const QImage *image = m_images.object(cacheKey(key, *it))) {
                if (!best || std::abs(*it - size) < std::abs(best - size)) {
                    best = *it;
                    result.image = *image;
                }
                ++it;
            } else {
                it = sizes->erase(it); // evicted
            }
        }
    }

    if (!m_inFlight.contains(wanted)) {
        m_inFlight.insert(wanted);
        std::optional<Request> dropped;
        {
            QMutexLocker lock(&m_queueLock);
            m_queue.push_front(Request{key, source, size});
            if (qsizetype(m_queue.size()) > queueLimit) {
                dropped = m_queue.back();
                m_queue.pop_back();
            }
        }
        if (dropped)
            m_inFlight.remove(cacheKey(dropped->key, dropped->pixels));
        startWorkers();
    }
    return result;
}

void CoverCache::startWorkers()
{
    QMutexLocker lock(&m_queueLock);
    while (m_workers < m_pool.maxThreadCount() && size_t(m_workers) < m_queue.size()) {
        ++m_workers;
        m_pool.start([this] { work(); });
    }
}

void CoverCache::work()
{
    for (;;) {
        Request request;
        {
            QMutexLocker lock(&m_queueLock);
            if (m_queue.empty()) {
                --m_workers;
                return;
            }
            request = std::move(m_queue.front());
            m_queue.pop_front();
        }
        const QImage image = decodeSquare(request.source.bytesFor(request.pixels), request.pixels);
        // Queued to the main thread; dropped with the cache if it is gone.
        QMetaObject::invokeMethod(
            this, [this, key = request.key, size = request.pixels, image] { deliver(key, size, image); },
            Qt::QueuedConnection);
    }
}

void CoverCache::deliver(const QString &key, int bucketPixels, const QImage &image)
{
    const QString wanted = cacheKey(key, bucketPixels);
    m_inFlight.remove(wanted);
    if (image.isNull()) {
        m_failed.insert(key);
    } else {
        const qint64 kib = qMax<qint64>(1, image.sizeInBytes() / 1024);
        if (m_images.insert(wanted, new QImage(image), kib)) {
            QList<int> &sizes = m_sizes[key];
            if (!sizes.contains(bucketPixels))
                sizes.append(bucketPixels);
        }
    }
    emit decoded(key);
}

QImage CoverCache::decodeSquare(const QByteArray &bytes, int pixels)
{
    if (bytes.isEmpty() || pixels < 1)
        return QImage();
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    const QSize stored = reader.size();
    // Decode so that the shorter side still covers the square; a square bound
    // as wide as the longer side would then be, so an orientation tag that
    // turns the picture does not matter.
    int side = 4096;
    if (stored.isValid() && stored.width() > 0 && stored.height() > 0) {
        const qint64 shorter = std::min(stored.width(), stored.height());
        const qint64 longer = std::max(stored.width(), std::abs(stored.height()));
        side = int(std::min<qint64>(longer, (qint64(pixels) * longer + shorter - 1) / shorter));
    }
    QImage image = ScaledImage::decode(bytes, QSize(side, side));
    if (image.isNull() || image.width() < 1 || image.height() < 1)
        return QImage();
    const int square = std::min(image.width(), image.height());
    image = image.copy((image.width() - square) / 2, (image.height() - square) / 2, square, square);
    if (square > pixels)
        image = image.scaled(pixels, pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

qint64 CoverCache::usedBytes() const
{
    return qint64(m_images.totalCost()) * 1024;
}

int CoverCache::pending() const
{
    return int(m_inFlight.size());
}

void CoverCache::clear()
{
    m_images.clear();
    m_sizes.clear();
}
