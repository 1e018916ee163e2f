#include "platform/http.h"

#include "platform/errors.h"

#include <QEventLoop>
#include <QMutex>
#include <QMutexLocker>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <memory>

using namespace Qt::StringLiterals;

QByteArray HttpResponse::header(const QByteArray &name) const
{
    for (const auto &[key, value] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return {};
}

namespace HttpClient {

namespace {

// Errors Qt derives from the HTTP status itself: the answer is complete and the
// caller judges the status. Everything else means no usable answer arrived.
bool isStatusError(QNetworkReply::NetworkError error)
{
    if (error == QNetworkReply::NoError)
        return true;
    const int code = int(error);
    if (error == QNetworkReply::ProtocolFailure || error == QNetworkReply::ProtocolUnknownError)
        return false;
    return code >= 201 && code <= 499;
}

} // namespace

HttpResponse get(const HttpRequest &request)
{
    if (request.cancel && request.cancel->load())
        throw NetworkError(Cancelled, u"Operation canceled"_s, request.url.host());

    QNetworkRequest networkRequest(request.url);
    networkRequest.setTransferTimeout(request.timeoutMs > 0 ? request.timeoutMs : 0);
    networkRequest.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                                request.reloadIgnoringCache ? QNetworkRequest::AlwaysNetwork
                                                            : QNetworkRequest::PreferNetwork);
    networkRequest.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                                QNetworkRequest::NoLessSafeRedirectPolicy);
    bool namedAgent = false;
    for (const auto &[name, value] : request.headers) {
        networkRequest.setRawHeader(name, value);
        if (name.compare("User-Agent", Qt::CaseInsensitive) == 0)
            namedAgent = true;
    }
    if (!namedAgent)
        networkRequest.setRawHeader("User-Agent", QByteArray(defaultUserAgent));

    // A manager of this call's own: it lives and dies on the calling thread, so
    // no manager ever outlives the thread or event dispatcher it belongs to.
    QNetworkAccessManager manager;
    std::unique_ptr<QNetworkReply> reply(manager.get(networkRequest));

    QEventLoop loop;
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    bool cancelled = false;
    QTimer poll;
    if (request.cancel) {
        poll.setInterval(50);
        QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
            if (request.cancel->load() && !cancelled) {
                cancelled = true;
                reply->abort();
            }
        });
        poll.start();
    }
    // A body past the limit is not read further: an endless or huge answer
    // must not fill the memory before the caller can judge its size.
    bool overflowed = false;
    if (request.maxBodyBytes > 0) {
        QObject::connect(reply.get(), &QNetworkReply::downloadProgress, &loop, [&](qint64 received, qint64 total) {
            if (!overflowed && (received > request.maxBodyBytes || total > request.maxBodyBytes)) {
                overflowed = true;
                reply->abort();
            }
        });
    }
    if (!reply->isFinished())
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    poll.stop();

    if (overflowed && !cancelled) {
        HttpResponse response;
        response.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        response.body = reply->readAll();
        if (response.body.size() <= request.maxBodyBytes)
            response.body.resize(request.maxBodyBytes + 1, '\0');
        else
            response.body.truncate(request.maxBodyBytes + 1);
        for (const auto &pair : reply->rawHeaderPairs())
            response.headers.append({pair.first, pair.second});
        return response;
    }

    const QNetworkReply::NetworkError error = reply->error();
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const bool aborted = error == QNetworkReply::OperationCanceledError || error == QNetworkReply::TimeoutError;
    const QString host = request.url.host();
    if (cancelled)
        throw NetworkError(Cancelled, reply->errorString(), host);
    if (aborted) // the transfer time-out aborts the reply
        throw NetworkError(TimedOut, u"The request timed out."_s, host);
    if (!status.isValid() || !isStatusError(error))
        throw NetworkError(int(error), reply->errorString(), host);

    HttpResponse response;
    response.status = status.toInt();
    response.body = reply->readAll();
    for (const auto &pair : reply->rawHeaderPairs())
        response.headers.append({pair.first, pair.second});
    return response;
}

QString queryValue(const QString &value)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(value));
}

} // namespace HttpClient

namespace ServiceBase {

namespace {

struct Bases {
    QMutex mutex;
    QUrl gallery;
    QUrl musicBrainz;
    QUrl coverArt;
    Bases() { resetLocked(); }
    void resetLocked()
    {
        gallery = QUrl(u"https://themes.rockbox.org/"_s);
        musicBrainz = QUrl(u"https://musicbrainz.org/"_s);
        coverArt = QUrl(u"https://coverartarchive.org/"_s);
    }
};

Bases &bases()
{
    static Bases instance;
    return instance;
}

QUrl read(QUrl Bases::*field)
{
    Bases &b = bases();
    QMutexLocker lock(&b.mutex);
    return b.*field;
}

void write(QUrl Bases::*field, const QUrl &value)
{
    Bases &b = bases();
    QMutexLocker lock(&b.mutex);
    b.*field = value;
}

} // namespace

QUrl themeGallery() { return read(&Bases::gallery); }
QUrl musicBrainz() { return read(&Bases::musicBrainz); }
QUrl coverArtArchive() { return read(&Bases::coverArt); }
void setThemeGallery(const QUrl &base) { write(&Bases::gallery, base); }
void setMusicBrainz(const QUrl &base) { write(&Bases::musicBrainz, base); }
void setCoverArtArchive(const QUrl &base) { write(&Bases::coverArt, base); }

void reset()
{
    Bases &b = bases();
    QMutexLocker lock(&b.mutex);
    b.resetLocked();
}

} // namespace ServiceBase
