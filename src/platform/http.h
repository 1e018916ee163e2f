#pragma once

// Blocking HTTP GET for the online services (theme gallery, cover search,
// cover images). The calling thread blocks on a local event loop while the
// request runs, so it must be a worker thread (or a test thread), never the
// window's thread.
//
// A reply that carries an HTTP status is returned as it is, whatever the status
// (404 and 503 are answers the services judge themselves); only failures of the
// request itself (no connection, time-out, cancellation, TLS) throw NetworkError.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>
#include <atomic>
#include <utility>

struct HttpRequest {
    QUrl url;
    // Whole-transfer time-out; 0 means none.
    int timeoutMs = 25000;
    // Always go to the network, never answer from a cache.
    bool reloadIgnoringCache = false;
    // Extra headers, e.g. {"User-Agent", HttpClient::userAgent}. Without a
    // User-Agent of its own the request carries HttpClient::defaultUserAgent.
    QList<std::pair<QByteArray, QByteArray>> headers;
    // Set from another thread to abandon the request (throws NetworkError with
    // code HttpClient::Cancelled).
    const std::atomic_bool *cancel = nullptr;
    // Largest body worth receiving; 0 means no limit. A longer answer is cut
    // off after maxBodyBytes + 1 bytes (so the caller's own size check still
    // sees it as too large) instead of being held in memory whole.
    qint64 maxBodyBytes = 0;
};

struct HttpResponse {
    int status = 0; // the HTTP status; 0 when the answer carried none
    QByteArray body;
    QList<std::pair<QByteArray, QByteArray>> headers; // as received
    // First header of that name, compared case-insensitively; empty when absent.
    QByteArray header(const QByteArray &name) const;
};

namespace HttpClient {

// The User-Agent the search service asks its clients to send.
inline constexpr char userAgent[] = "Vontaro/0.6 (personal Rockbox library manager for Linux)";
// Sent when a request names none (Qt would otherwise claim to be "Mozilla/5.0").
inline constexpr char defaultUserAgent[] = "Vontaro/0.6";

// NetworkError codes (QNetworkReply::NetworkError values, plus these two).
inline constexpr int TimedOut = 4;   // QNetworkReply::TimeoutError
inline constexpr int Cancelled = 5;  // QNetworkReply::OperationCanceledError

// Sends a GET and waits for the whole answer. Throws NetworkError when no HTTP
// answer arrived.
HttpResponse get(const HttpRequest &request);

// A text encoded as one query value: everything but unreserved characters
// escaped ("+", "&", "=", blanks included), UTF-8 based.
QString queryValue(const QString &value);

} // namespace HttpClient

// Root addresses of the online services, each ending in "/". Tests point them
// at a loopback server; safe to read and set from any thread.
namespace ServiceBase {
QUrl themeGallery();
QUrl musicBrainz();
QUrl coverArtArchive();
void setThemeGallery(const QUrl &base);
void setMusicBrainz(const QUrl &base);
void setCoverArtArchive(const QUrl &base);
// Back to the public addresses.
void reset();
} // namespace ServiceBase
