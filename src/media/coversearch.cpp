#include "media/coversearch.h"

#include "media/artwork.h"
#include "platform/errors.h"
#include "platform/http.h"
#include "platform/text.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <cmath>

using namespace Qt::StringLiterals;

namespace {

constexpr qsizetype maxSearchBody = 999'999;
constexpr qint64 maxImageBytes = 8'000'000;
constexpr int searchTimeoutMs = 25'000;
constexpr int imageTimeoutMs = 35'000;

bool isRetryable(int status)
{
    return status == 429 || status == 500 || status == 502 || status == 503 || status == 504;
}

// Case and diacritics folded, then only letters and numbers kept (a grapheme
// counts when its first code point is one).
QString fold(const QString &value)
{
    const QString folded = text::foldCaseAndDiacritics(value);
    QString kept;
    for (const QString &grapheme : text::graphemes(folded)) {
        const char32_t first = grapheme.toUcs4().value(0);
        if (QChar::isLetterOrNumber(first))
            kept += grapheme;
    }
    return kept;
}

[[noreturn]] void cancelled()
{
    throw NetworkError(HttpClient::Cancelled, u"Operation canceled"_s, ServiceBase::musicBrainz().host());
}

// --- strict decoding of the search answer ---

QJsonValue required(const QJsonObject &object, const QString &key, const QString &where)
{
    const auto it = object.constFind(key);
    if (it == object.constEnd())
        throw DecodingError(where + u": missing key \""_s + key + u'"');
    return *it;
}

QString requiredString(const QJsonObject &object, const QString &key, const QString &where)
{
    const QJsonValue value = required(object, key, where);
    if (!value.isString())
        throw DecodingError(where + u": \""_s + key + u"\" is not a string"_s);
    return value.toString();
}

std::optional<QString> optionalString(const QJsonObject &object, const QString &key, const QString &where)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined() || value.isNull())
        return std::nullopt;
    if (!value.isString())
        throw DecodingError(where + u": \""_s + key + u"\" is not a string"_s);
    return value.toString();
}

std::optional<qint64> optionalInteger(const QJsonObject &object, const QString &key, const QString &where)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined() || value.isNull())
        return std::nullopt;
    const double number = value.toDouble(std::nan(""));
    // An integer field takes only an integral number that fits.
    if (!value.isDouble() || !std::isfinite(number) || std::trunc(number) != number || std::fabs(number) > 9.0e15)
        throw DecodingError(where + u": \""_s + key + u"\" is not an integer"_s);
    return qint64(number);
}

QJsonObject asObject(const QJsonValue &value, const QString &where)
{
    if (!value.isObject())
        throw DecodingError(where + u" is not an object"_s);
    return value.toObject();
}

QJsonArray asArray(const QJsonValue &value, const QString &where)
{
    if (!value.isArray())
        throw DecodingError(where + u" is not an array"_s);
    return value.toArray();
}

CoverCandidate decodeCandidate(const QJsonObject &object, const QString &where)
{
    CoverCandidate candidate;
    candidate.id = requiredString(object, u"id"_s, where);
    candidate.title = requiredString(object, u"title"_s, where);
    const QJsonArray credits = asArray(required(object, u"artist-credit"_s, where), where + u".artist-credit"_s);
    for (qsizetype i = 0; i < credits.size(); ++i) {
        const QString at = where + u".artist-credit["_s + QString::number(i) + u']';
        candidate.artistCredit.append({requiredString(asObject(credits.at(i), at), u"name"_s, at)});
    }
    candidate.score = optionalInteger(object, u"score"_s, where);
    candidate.firstReleaseDate = optionalString(object, u"first-release-date"_s, where);
    candidate.primaryType = optionalString(object, u"primary-type"_s, where);
    return candidate;
}

} // namespace

// --- CoverCandidate ---

QString CoverCandidate::artist() const
{
    QStringList names;
    for (const Credit &credit : artistCredit)
        names.append(credit.name);
    return names.join(u" & "_s);
}

QUrl CoverCandidate::artworkURL() const
{
    return ServiceBase::coverArtArchive().resolved(QUrl(u"release-group/"_s + id + u"/front-500"_s));
}

QUrl CoverCandidate::pageURL() const
{
    return ServiceBase::musicBrainz().resolved(QUrl(u"release-group/"_s + id));
}

bool CoverCandidate::matches(const QString &artistName, const QString &albumTitle) const
{
    if (primaryType && *primaryType != u"Album"_s)
        return false;
    const QString wantedArtist = fold(artistName);
    const QString wantedTitle = fold(albumTitle);
    if (wantedArtist.isEmpty() || wantedTitle.isEmpty())
        return false;
    if (!score || *score < 95)
        return false;
    return fold(artist()) == wantedArtist && fold(title) == wantedTitle;
}

// --- DecodingError ---

DecodingError::DecodingError(QString detail)
    : m_detail(std::move(detail)), m_utf8(message().toUtf8())
{
}

QString DecodingError::message() const
{
    return u"Nie można odczytać danych, ponieważ mają niepoprawny format."_s;
}

// --- CoverSearch ---

CoverSearch &CoverSearch::shared()
{
    static CoverSearch instance;
    return instance;
}

QString CoverSearch::query(const QString &artist, const QString &title)
{
    const auto escape = [](QString value) {
        value.replace(u"\\"_s, u"\\\\"_s);
        value.replace(u"\""_s, u"\\\""_s);
        return value;
    };
    return u"releasegroup:\""_s + escape(title) + u"\" AND artist:\""_s + escape(artist) + u"\""_s;
}

QList<CoverCandidate> CoverSearch::decode(const QByteArray &data)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(data, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        throw DecodingError(u"not JSON: "_s + parseError.errorString());
    if (!document.isObject())
        throw DecodingError(u"the answer is not an object"_s);
    const QJsonArray groups = asArray(required(document.object(), u"release-groups"_s, u"answer"_s), u"release-groups"_s);
    QList<CoverCandidate> candidates;
    for (qsizetype i = 0; i < groups.size(); ++i) {
        const QString where = u"release-groups["_s + QString::number(i) + u']';
        CoverCandidate candidate = decodeCandidate(asObject(groups.at(i), where), where);
        // The addresses built from it must stay on the services' own paths.
        if (text::isUuid(candidate.id))
            candidates.append(std::move(candidate));
    }
    return candidates;
}

void CoverSearch::sleepUntil(Clock::time_point until, const std::atomic_bool *cancel)
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        if (cancel && cancel->load())
            cancelled();
        const auto now = Clock::now();
        if (now >= until)
            return;
        // Bounded slices, so a flag set without wakeWaiters() is still seen.
        m_wake.wait_until(lock, std::min(until, now + std::chrono::milliseconds(100)));
    }
}

void CoverSearch::wakeWaiters()
{
    std::lock_guard lock(m_mutex);
    m_wake.notify_all();
}

void CoverSearch::reserveSearchSlot(const std::atomic_bool *cancel)
{
    Clock::time_point slot;
    {
        std::lock_guard lock(m_mutex);
        const auto now = Clock::now();
        slot = std::max(m_nextRequest, now);
        // Reserved before waiting, so a caller cancelled while it waits still
        // keeps the next one from going out early.
        m_nextRequest = slot + m_timing.spacing;
    }
    sleepUntil(slot, cancel);
}

QList<CoverCandidate> CoverSearch::search(const QString &artist, const QString &title, const std::atomic_bool *cancel)
{
    if (text::trimmedBlanksAndNewlines(artist).isEmpty() || text::trimmedBlanksAndNewlines(title).isEmpty())
        throw TavoError(u"Podaj wykonawcę i tytuł albumu."_s);
    const QString q = query(artist, title);
    const QString key = text::nfc(q);
    std::chrono::milliseconds retryDelay;
    std::function<void(const QUrl &)> observer;
    {
        std::lock_guard lock(m_mutex);
        const auto cached = m_cache.constFind(key);
        if (cached != m_cache.cend())
            return *cached;
        retryDelay = m_timing.retryDelay;
        observer = m_sendObserver;
    }

    const QByteArray address = ServiceBase::musicBrainz().toEncoded() + "ws/2/release-group/?query="
                               + HttpClient::queryValue(q).toLatin1() + "&fmt=json&limit=10";
    HttpRequest request;
    request.url = QUrl::fromEncoded(address, QUrl::StrictMode);
    request.timeoutMs = searchTimeoutMs;
    request.reloadIgnoringCache = true;
    request.headers = {{"User-Agent", QByteArray(HttpClient::userAgent)}};
    request.cancel = cancel;
    request.maxBodyBytes = maxSearchBody;

    int status = 0;
    for (int attempt = 1;; ++attempt) {
        if (attempt == 2) {
            sleepUntil(Clock::now() + retryDelay, cancel);
        }
        reserveSearchSlot(cancel);
        if (observer)
            observer(request.url);
        const HttpResponse response = HttpClient::get(request);
        status = response.status;
        if (status == 200) {
            if (response.body.size() > maxSearchBody)
                throw TavoError(u"Odpowiedź katalogu jest zbyt duża."_s);
            QList<CoverCandidate> candidates = decode(response.body);
            std::lock_guard lock(m_mutex);
            m_cache.insert(key, candidates);
            return candidates;
        }
        if (attempt == 1 && isRetryable(status))
            continue;
        break;
    }
    throw TavoError(u"Katalog okładek jest chwilowo niedostępny (HTTP "_s + QString::number(status)
                    + u"). Spróbuj ponownie później."_s);
}

QByteArray CoverSearch::image(const CoverCandidate &candidate, const std::atomic_bool *cancel)
{
    if (!text::isUuid(candidate.id))
        throw TavoError(u"Nieprawidłowy identyfikator albumu."_s);
    std::chrono::milliseconds retryDelay;
    {
        std::lock_guard lock(m_mutex);
        retryDelay = m_timing.retryDelay;
    }
    HttpRequest request;
    request.url = candidate.artworkURL();
    request.timeoutMs = imageTimeoutMs;
    request.reloadIgnoringCache = true;
    request.cancel = cancel;
    request.maxBodyBytes = maxImageBytes;

    HttpResponse response = HttpClient::get(request);
    if (isRetryable(response.status)) {
        response = {};
        sleepUntil(Clock::now() + retryDelay, cancel);
        response = HttpClient::get(request);
    }
    if (response.status == 404)
        throw TavoError(u"To wydanie nie ma dostępnej przedniej okładki. Wybierz inny wynik lub własny obraz."_s);
    if (response.status == 200) {
        if (response.body.isEmpty() || response.body.size() >= maxImageBytes)
            throw TavoError(u"Obraz jest pusty lub zbyt duży."_s);
        return Artwork::baselineJPEG(response.body);
    }
    throw TavoError(u"Archiwum nie udostępniło obrazu (HTTP "_s + QString::number(response.status)
                    + u"). Spróbuj ponownie później."_s);
}

void CoverSearch::resetForTesting()
{
    std::lock_guard lock(m_mutex);
    m_cache.clear();
    m_nextRequest = Clock::time_point::min();
    m_timing = Timing();
    m_sendObserver = nullptr;
}

void CoverSearch::setTimingForTesting(Timing timing)
{
    std::lock_guard lock(m_mutex);
    m_timing = timing;
}

void CoverSearch::setSendObserverForTesting(std::function<void(const QUrl &)> observer)
{
    std::lock_guard lock(m_mutex);
    m_sendObserver = std::move(observer);
}
