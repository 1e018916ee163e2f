#pragma once

// Album covers at the size they are shown, decoded on worker threads.
//
// The grid asks for a cover every time it paints a card. A cover already
// decoded at (about) that size comes back at once; otherwise the decode is
// queued and the caller paints the placeholder, or the same cover at another
// size, until `decoded` says it has arrived. The newest requests are decoded
// first, so when the grid is scrolled fast the cards in view are served
// before those scrolled past. Decoded covers live in a cache with a memory
// budget; the least recently used go first.

#include "media/records.h"

#include <QByteArray>
#include <QCache>
#include <QHash>
#include <QImage>
#include <QMutex>
#include <QObject>
#include <QSet>
#include <QString>
#include <QThreadPool>
#include <deque>

class CoverCache : public QObject
{
    Q_OBJECT

public:
    static constexpr qint64 defaultBudget = 150LL * 1024 * 1024; // bytes
    // Covers are decoded at multiples of this many pixels, so a tile-size
    // slider does not start a decode for every pixel it passes.
    static constexpr int step = 64;

    explicit CoverCache(qint64 budgetBytes = defaultBudget, QObject *parent = nullptr);
    ~CoverCache() override;

    // The one cache the library's views share (made on first use, main thread).
    static CoverCache &shared();

    // What identifies an album's artwork: the album id and the cover's
    // identity, so a changed cover is never served from the old decode.
    // Empty when the album has no artwork or its picture is empty.
    static QString keyOf(const Album &album);
    // The cover the key describes (that of the first track that has one).
    static CoverSource sourceOf(const Album &album);

    enum class State { ready, pending, failed };
    struct Lookup {
        State state = State::pending;
        QImage image; // the cover, or while pending the same cover at another size (may be null)
    };
    // A square cover at least `pixels` wide. Starts a decode when none is cached
    // at that size. The decode reads the cover's preview, or its whole bytes
    // from the disk when the preview is smaller than asked.
    Lookup cover(const QString &key, const CoverSource &source, int pixels);

    // The centred square of the picture, scaled to `pixels` a side (never up
    // beyond the picture's own shorter side); null when the bytes don't decode.
    // Safe on any thread.
    static QImage decodeSquare(const QByteArray &bytes, int pixels);

    qint64 usedBytes() const;
    qint64 budget() const { return m_budget; }
    // Decodes queued or running.
    int pending() const;
    // Forgets every decoded cover (not the failures).
    void clear();

signals:
    // A cover for `key` has been decoded and cached (or has failed).
    void decoded(const QString &key);

private:
    struct Request {
        QString key;
        CoverSource source;
        int pixels = 0;
    };
    static int bucket(int pixels);
    static QString cacheKey(const QString &key, int bucketPixels);
    void startWorkers();
    void work();
    void deliver(const QString &key, int bucketPixels, const QImage &image);

    qint64 m_budget;
    QCache<QString, QImage> m_images; // cost in KiB
    QSet<QString> m_inFlight;         // cache keys queued or decoding
    QSet<QString> m_failed;           // artwork keys that do not decode
    QHash<QString, QList<int>> m_sizes; // artwork key → buckets decoded (some may have been evicted)

    mutable QMutex m_queueLock; // guards m_queue and m_workers
    std::deque<Request> m_queue;    // newest first
    int m_workers = 0;
    QThreadPool m_pool;
};
