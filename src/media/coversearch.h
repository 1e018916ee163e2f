#pragma once

// Online cover search: the release-group search service lists candidate
// releases for an album, and the cover archive serves each one's front cover.
// One shared CoverSearch object talks to both: it spaces searches at least
// 1.1 seconds apart, retries once on a busy or failing server, keeps every
// successful result list for the life of the process, and turns a downloaded
// cover into a Rockbox-ready JPEG.
//
// Every call blocks its thread (network and waits), so call it from a worker.

#include <QByteArray>
#include <QException>
#include <QHash>
#include <QList>
#include <QString>
#include <QUrl>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>

// One release group of a search answer.
struct CoverCandidate {
    struct Credit {
        QString name;
        bool operator==(const Credit &) const = default;
    };

    QString id; // the release group's identifier, a UUID in text form
    QString title;
    QList<Credit> artistCredit;
    std::optional<qint64> score;
    std::optional<QString> firstReleaseDate;
    std::optional<QString> primaryType;

    bool operator==(const CoverCandidate &) const = default;

    // The credited names joined with " & ".
    QString artist() const;
    // Cover archive base + "release-group/<id>/front-500".
    QUrl artworkURL() const;
    // Search service base + "release-group/<id>", the page remembered as a cover's source.
    QUrl pageURL() const;
    // Whether the candidate may be taken without asking: an album (or untyped)
    // with a score of 95 or more whose folded artist and title equal the given ones.
    bool matches(const QString &artist, const QString &title) const;
};

// A search answer that is not the JSON the service promises.
class DecodingError : public QException
{
public:
    explicit DecodingError(QString detail);
    // The user-facing text; the detail says what was wrong, for debugging.
    QString message() const;
    const QString &detail() const noexcept { return m_detail; }
    const char *what() const noexcept override { return m_utf8.constData(); }
    void raise() const override { throw *this; }
    DecodingError *clone() const override { return new DecodingError(*this); }

private:
    QString m_detail;
    QByteArray m_utf8;
};

class CoverSearch
{
public:
    static CoverSearch &shared();

    // Candidates in the service's order, from the cache or the network. Throws
    // TavoError for blank input and for answers it judges, NetworkError for a
    // failed request or a cancellation, DecodingError for a malformed answer.
    QList<CoverCandidate> search(const QString &artist, const QString &title,
                                 const std::atomic_bool *cancel = nullptr);

    // The candidate's front cover as Artwork::baselineJPEG makes it. Not cached.
    QByteArray image(const CoverCandidate &candidate, const std::atomic_bool *cancel = nullptr);

    // releasegroup:"<title>" AND artist:"<artist>", with backslashes and quotes escaped.
    static QString query(const QString &artist, const QString &title);
    // The candidates of a search answer whose id is a UUID, in order.
    static QList<CoverCandidate> decode(const QByteArray &data);

    // Wakes every wait of this object so that it notices a cancel flag set
    // meanwhile (waits also look at their flag on their own every 100 ms).
    void wakeWaiters();

    // --- test seams ---
    struct Timing {
        std::chrono::milliseconds spacing{1100};
        std::chrono::milliseconds retryDelay{2000};
    };
    // Forgets the cache and the reserved slots and restores the real timing.
    void resetForTesting();
    void setTimingForTesting(Timing timing);
    // Called with each search request's address just before it is sent.
    void setSendObserverForTesting(std::function<void(const QUrl &)> observer);

    CoverSearch(const CoverSearch &) = delete;
    CoverSearch &operator=(const CoverSearch &) = delete;

private:
    CoverSearch() = default;
    using Clock = std::chrono::steady_clock;

    void reserveSearchSlot(const std::atomic_bool *cancel);
    void sleepUntil(Clock::time_point until, const std::atomic_bool *cancel);

    // Never held across a wait or a request.
    std::mutex m_mutex;
    std::condition_variable m_wake;
    // Monotonic, so a change of the wall clock never makes a search wait.
    Clock::time_point m_nextRequest = Clock::time_point::min();
    QHash<QString, QList<CoverCandidate>> m_cache;
    Timing m_timing;
    std::function<void(const QUrl &)> m_sendObserver;
};
