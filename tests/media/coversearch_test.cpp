#include "media/coversearch.h"
#include "media/jpegmarkers.h"
#include "platform/errors.h"
#include "platform/http.h"
#include "support/httpserver.h"
#include "support/imagefixtures.h"
#include "support/errorcapture.h"

#include <QFile>
#include <QThread>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {

const QByteArray searchPath = "/ws/2/release-group/";
const QString id1 = u"4a9421e6-9def-4616-82bf-674d5a5c7a29"_s;

QByteArray answer(const char *name)
{
    QFile file(QStringLiteral(VONTARO_TEST_DATA_DIR "/corpus/musicbrainz/captured-answers/") + QString::fromUtf8(name));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name;
    return file.readAll();
}

HttpServer::Response ok(const QByteArray &body)
{
    return {200, {{"Content-Type", "application/json"}}, body};
}

HttpServer::Response status(int code)
{
    return {code, {}, QByteArray()};
}

// The query items of a request target, decoded, in their order.
QList<std::pair<QString, QString>> items(const HttpServer::Request &request)
{
    QList<std::pair<QString, QString>> list;
    for (const QByteArray &item : request.query().split('&')) {
        const qsizetype eq = item.indexOf('=');
        list.append({QString::fromUtf8(QByteArray::fromPercentEncoding(item.left(eq))),
                     QString::fromUtf8(QByteArray::fromPercentEncoding(item.mid(eq + 1)))});
    }
    return list;
}

class CoverSearchTest : public ::testing::Test
{
protected:
    HttpServer server;
    CoverSearch &search = CoverSearch::shared();

    void SetUp() override
    {
        search.resetForTesting();
        search.setTimingForTesting({10ms, 10ms});
        ServiceBase::setMusicBrainz(server.base());
        ServiceBase::setCoverArtArchive(server.base());
    }
    void TearDown() override
    {
        search.resetForTesting();
        ServiceBase::reset();
    }
    qsizetype searches() const
    {
        qsizetype n = 0;
        for (const auto &request : server.requests())
            n += request.path() == searchPath;
        return n;
    }
    CoverCandidate candidate(const QString &id) const
    {
        CoverCandidate c;
        c.id = id;
        c.title = u"T"_s;
        return c;
    }
};

} // namespace

TEST(CoverSearchQuery, EscapesBackslashesThenQuotes)
{
    EXPECT_EQ(CoverSearch::query(u"Artist"_s, u"Title"_s), u"releasegroup:\"Title\" AND artist:\"Artist\""_s);
    EXPECT_EQ(CoverSearch::query(u"A\\C"_s, u"Say \"Hi\""_s),
              u"releasegroup:\"Say \\\"Hi\\\"\" AND artist:\"A\\\\C\""_s);
    // A backslash before a quote: the backslash is doubled first, then the quote escaped.
    EXPECT_EQ(CoverSearch::query(u" x "_s, u"\\\""_s), u"releasegroup:\"\\\\\\\"\" AND artist:\" x \""_s);
}

TEST(CoverSearchDecode, ReadsTheRealAnswers)
{
    const auto one = CoverSearch::decode(answer("search-hexndeifl-1-result.json"));
    ASSERT_EQ(one.size(), 1);
    EXPECT_EQ(one[0].id, id1);
    EXPECT_EQ(one[0].title, u"Hexndeifl"_s);
    EXPECT_EQ(one[0].artist(), u"Gråinheim"_s);
    EXPECT_EQ(one[0].score, 100);
    EXPECT_EQ(one[0].firstReleaseDate, u"2021-02-15"_s);
    EXPECT_EQ(one[0].primaryType, u"Album"_s);

    const auto many = CoverSearch::decode(answer("search-in-times-before-the-light-25-results.json"));
    ASSERT_EQ(many.size(), 25);
    EXPECT_EQ(many[0].id, u"ba62217c-c12f-4eae-859e-5202936914ff"_s);
    EXPECT_EQ(many[0].title, u"In Times Before the Light"_s);
    EXPECT_EQ(many[0].artist(), u"The Kovenant"_s);
    for (const CoverCandidate &c : many) {
        EXPECT_FALSE(c.title.isEmpty());
        EXPECT_TRUE(c.score.has_value());
    }

    EXPECT_TRUE(CoverSearch::decode(answer("search-no-results.json")).isEmpty());
}

TEST(CoverSearchDecode, DropsMalformedIdsAndKeepsTheOrder)
{
    const QByteArray json = R"({"release-groups":[
        {"id":"11111111-1111-1111-1111-111111111111","title":"One","artist-credit":[{"name":"A"},{"name":"B"}]},
        {"id":"not-a-uuid","title":"Bad","artist-credit":[]},
        {"id":"{22222222-2222-2222-2222-222222222222}","title":"Braced","artist-credit":[]},
        {"id":"../../x","title":"Path","artist-credit":[]},
        {"id":"33333333-3333-3333-3333-33333333333A","title":"Three","artist-credit":[],"score":null,"primary-type":null}
    ]})";
    const auto list = CoverSearch::decode(json);
    ASSERT_EQ(list.size(), 2);
    EXPECT_EQ(list[0].title, u"One"_s);
    EXPECT_EQ(list[0].artist(), u"A & B"_s);
    EXPECT_EQ(list[1].title, u"Three"_s);
    EXPECT_EQ(list[1].artist(), QString());
    EXPECT_FALSE(list[1].score);
    EXPECT_FALSE(list[1].primaryType);
}

TEST(CoverSearchDecode, AWrongShapeMakesTheWholeAnswerUndecodable)
{
    const QByteArray bad[] = {
        "not json",
        "[]",
        R"({"count":0})",
        R"({"release-groups":{}})",
        R"({"release-groups":[{"title":"No id","artist-credit":[]}]})",
        R"({"release-groups":[{"id":"11111111-1111-1111-1111-111111111111","artist-credit":[]}]})",
        R"({"release-groups":[{"id":"11111111-1111-1111-1111-111111111111","title":"T"}]})",
        R"({"release-groups":[{"id":"11111111-1111-1111-1111-111111111111","title":"T","artist-credit":[{}]}]})",
        R"({"release-groups":[{"id":"11111111-1111-1111-1111-111111111111","title":"T","artist-credit":[],"score":"100"}]})",
        R"({"release-groups":[{"id":"11111111-1111-1111-1111-111111111111","title":"T","artist-credit":[],"score":99.5}]})",
        R"({"release-groups":[{"id":7,"title":"T","artist-credit":[]}]})",
        R"({"release-groups":[{"id":"11111111-1111-1111-1111-111111111111","title":"T","artist-credit":[],"primary-type":1}]})",
    };
    for (const QByteArray &json : bad)
        EXPECT_THROW(CoverSearch::decode(json), DecodingError) << json.constData();
}

TEST(CoverCandidateTest, AddressesAndArtistText)
{
    ServiceBase::setMusicBrainz(QUrl(u"http://mb.example/"_s));
    ServiceBase::setCoverArtArchive(QUrl(u"http://caa.example/"_s));
    CoverCandidate c;
    c.id = id1;
    c.artistCredit = {{u"X"_s}, {u"Y"_s}, {u"Z"_s}};
    EXPECT_EQ(c.artworkURL(), QUrl(u"http://caa.example/release-group/"_s + id1 + u"/front-500"_s));
    EXPECT_EQ(c.pageURL(), QUrl(u"http://mb.example/release-group/"_s + id1));
    EXPECT_EQ(c.artist(), u"X & Y & Z"_s);
    ServiceBase::reset();
}

TEST(CoverCandidateTest, MatchesOnlyConfidentAlbumsWithTheSameFoldedNames)
{
    struct Case {
        const char *name;
        std::optional<qint64> score;
        std::optional<QString> type;
        QString candidateArtist, candidateTitle, artist, title;
        bool expected;
    };
    const Case cases[] = {
        {"exact", 100, u"Album"_s, u"Artist"_s, u"Title"_s, u"Artist"_s, u"Title"_s, true},
        {"score 95, no type", 95, std::nullopt, u"Artist"_s, u"Title"_s, u"Artist"_s, u"Title"_s, true},
        {"score 94", 94, u"Album"_s, u"Artist"_s, u"Title"_s, u"Artist"_s, u"Title"_s, false},
        {"no score", std::nullopt, u"Album"_s, u"Artist"_s, u"Title"_s, u"Artist"_s, u"Title"_s, false},
        {"single", 100, u"Single"_s, u"Artist"_s, u"Title"_s, u"Artist"_s, u"Title"_s, false},
        {"album in lower case", 100, u"album"_s, u"Artist"_s, u"Title"_s, u"Artist"_s, u"Title"_s, false},
        {"case, accents, punctuation", 100, u"Album"_s, u"Sigur Rós"_s, u"( )"_s, u"sigur ros"_s, u"()"_s, false},
        {"folded equal", 99, u"Album"_s, u"Sigur Rós"_s, u"Ágætis byrjun"_s, u"SIGUR ROS"_s, u"agætis-byrjun!"_s, true},
        {"punctuation-only title", 100, u"Album"_s, u"A"_s, u"..."_s, u"A"_s, u"..."_s, false},
        {"blank artist", 100, u"Album"_s, u""_s, u"T"_s, u" "_s, u"T"_s, false},
        {"other title", 100, u"Album"_s, u"Artist"_s, u"Title 2"_s, u"Artist"_s, u"Title"_s, false},
        {"digits count", 100, u"Album"_s, u"Artist"_s, u"1984"_s, u"artist"_s, u"19-84"_s, true},
        {"non-Latin letters", 100, u"Album"_s, u"Кино"_s, u"Группа крови"_s, u"кино"_s, u"ГРУППА КРОВИ"_s, true},
    };
    for (const Case &c : cases) {
        CoverCandidate candidate;
        candidate.id = id1;
        candidate.title = c.candidateTitle;
        if (!c.candidateArtist.isEmpty())
            candidate.artistCredit = {{c.candidateArtist}};
        candidate.score = c.score;
        candidate.primaryType = c.type;
        EXPECT_EQ(candidate.matches(c.artist, c.title), c.expected) << c.name;
    }
}

TEST_F(CoverSearchTest, BlankInputFailsBeforeAnyRequestOrCacheLookup)
{
    server.setResponse(searchPath, ok(answer("search-no-results.json")));
    const std::pair<QString, QString> blanks[] = {
        {u"Artist"_s, u""_s}, {u"Artist"_s, u"  \t"_s}, {u"\n"_s, u"Title"_s}, {u"\u2028 "_s, u"Title"_s}};
    for (const auto &[artist, title] : blanks)
        EXPECT_EQ(tavoMessage([&] { search.search(artist, title); }), u"Podaj wykonawcę i tytuł albumu."_s);
    EXPECT_TRUE(server.requests().isEmpty());
}

TEST_F(CoverSearchTest, SendsTheQueryItemsAndTheUserAgent)
{
    server.setResponse(searchPath, ok(answer("search-hexndeifl-1-result.json")));
    const auto list = search.search(u"Gråinheim & Co+"_s, u"Hex \"n\" deifl"_s);
    ASSERT_EQ(list.size(), 1);
    EXPECT_EQ(list[0].title, u"Hexndeifl"_s);
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1);
    EXPECT_EQ(requests[0].method, "GET");
    EXPECT_EQ(requests[0].path(), searchPath);
    EXPECT_EQ(items(requests[0]),
              (QList<std::pair<QString, QString>>{
                  {u"query"_s, CoverSearch::query(u"Gråinheim & Co+"_s, u"Hex \"n\" deifl"_s)},
                  {u"fmt"_s, u"json"_s},
                  {u"limit"_s, u"10"_s}}));
    EXPECT_EQ(requests[0].header("User-Agent"), "Vontaro/0.6 (personal Rockbox library manager for Linux)");
}

TEST_F(CoverSearchTest, RepeatedSearchIsServedFromTheCacheWithoutWaiting)
{
    search.setTimingForTesting({30s, 10ms});
    server.setResponse(searchPath, ok(answer("search-hexndeifl-1-result.json")));
    const auto first = search.search(u"Gråinheim"_s, u"Hexndeifl"_s);
    const auto started = std::chrono::steady_clock::now();
    const auto second = search.search(u"Gråinheim"_s, u"Hexndeifl"_s);
    // Waiting for the next slot would take 30 s.
    EXPECT_LT(std::chrono::steady_clock::now() - started, 10s);
    EXPECT_EQ(first, second);
    EXPECT_EQ(searches(), 1);
}

TEST_F(CoverSearchTest, ATrailingBlankMakesAnotherQuery)
{
    server.setResponse(searchPath, ok(answer("search-no-results.json")));
    EXPECT_TRUE(search.search(u"Artist"_s, u"Title"_s).isEmpty());
    EXPECT_TRUE(search.search(u"Artist"_s, u"Title"_s).isEmpty()); // an empty list is cached too
    EXPECT_TRUE(search.search(u"Artist "_s, u"Title"_s).isEmpty());
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 2);
    EXPECT_EQ(items(requests[1])[0].second, u"releasegroup:\"Title\" AND artist:\"Artist \""_s);
}

TEST_F(CoverSearchTest, ThreeSearchesAtOnceGoOutAtLeastElevenTenthsOfASecondApart)
{
    search.resetForTesting(); // the real spacing
    server.setResponse(searchPath, ok(answer("search-no-results.json")));
    std::mutex mutex;
    QList<std::chrono::steady_clock::time_point> sent;
    search.setSendObserverForTesting([&](const QUrl &) {
        std::lock_guard lock(mutex);
        sent.append(std::chrono::steady_clock::now());
    });
    const auto start = std::chrono::steady_clock::now();
    QList<QThread *> threads;
    std::atomic_int failures = 0;
    for (int i = 0; i < 3; ++i) {
        threads.append(QThread::create([&, i] {
            try {
                search.search(u"Artist"_s, u"Album %1"_s.arg(i));
            } catch (...) {
                ++failures;
            }
        }));
        threads.last()->start();
    }
    for (QThread *thread : threads) {
        thread->wait();
        delete thread;
    }
    EXPECT_EQ(failures, 0);
    ASSERT_EQ(sent.size(), 3);
    std::sort(sent.begin(), sent.end());
    for (int k = 1; k < 3; ++k) {
        EXPECT_GE(sent[k] - start, k * 1100ms);
        EXPECT_GE(sent[k] - sent[k - 1], 1000ms);
    }
    EXPECT_EQ(searches(), 3);
}

TEST_F(CoverSearchTest, BusyServerIsAskedOnceMore)
{
    // 503, then 200: the list is returned and cached.
    server.enqueueResponse(searchPath, status(503));
    server.setResponse(searchPath, ok(answer("search-hexndeifl-1-result.json")));
    EXPECT_EQ(search.search(u"A"_s, u"B"_s).size(), 1);
    EXPECT_EQ(searches(), 2);
    EXPECT_EQ(search.search(u"A"_s, u"B"_s).size(), 1);
    EXPECT_EQ(searches(), 2);

    // 503, then 429: no third attempt; the message names the last status.
    server.clearRequests();
    server.enqueueResponse(searchPath, status(503));
    server.enqueueResponse(searchPath, status(429));
    EXPECT_EQ(tavoMessage([&] { search.search(u"A"_s, u"C"_s); }),
              u"Katalog okładek jest chwilowo niedostępny (HTTP 429). Spróbuj ponownie później."_s);
    EXPECT_EQ(searches(), 2);

    // Statuses that say nothing about being busy are not retried.
    for (int code : {404, 400, 501}) {
        server.clearRequests();
        server.enqueueResponse(searchPath, status(code));
        EXPECT_EQ(tavoMessage([&] { search.search(u"A"_s, u"D%1"_s.arg(code)); }),
                  u"Katalog okładek jest chwilowo niedostępny (HTTP %1). Spróbuj ponownie później."_s.arg(code));
        EXPECT_EQ(searches(), 1) << code;
    }
}

TEST_F(CoverSearchTest, AnswerOfAMillionBytesIsRefusedAndNotCached)
{
    const QByteArray json = R"({"release-groups":[]})";
    server.enqueueResponse(searchPath, ok(json + QByteArray(1'000'000 - json.size(), ' ')));
    server.setResponse(searchPath, ok(json + QByteArray(999'999 - json.size(), ' ')));
    EXPECT_EQ(tavoMessage([&] { search.search(u"A"_s, u"B"_s); }), u"Odpowiedź katalogu jest zbyt duża."_s);
    EXPECT_TRUE(search.search(u"A"_s, u"B"_s).isEmpty());
    EXPECT_EQ(searches(), 2);
}

TEST_F(CoverSearchTest, MalformedAnswerPassesTheDecodingErrorAndIsNotCached)
{
    server.enqueueResponse(searchPath, ok("<html>busy</html>"));
    server.setResponse(searchPath, ok(answer("search-hexndeifl-1-result.json")));
    EXPECT_THROW(search.search(u"A"_s, u"B"_s), DecodingError);
    EXPECT_EQ(search.search(u"A"_s, u"B"_s).size(), 1);
    EXPECT_EQ(searches(), 2);
}

TEST_F(CoverSearchTest, FailedRequestsComeThroughUnchanged)
{
    ServiceBase::setMusicBrainz(HttpServer::refusingBase());
    EXPECT_THROW(search.search(u"A"_s, u"B"_s), NetworkError);
}

TEST_F(CoverSearchTest, CancellingAWaitForTheNextSlotEndsItPromptly)
{
    search.setTimingForTesting({30s, 10ms});
    server.setResponse(searchPath, ok(answer("search-no-results.json")));
    search.search(u"A"_s, u"First"_s);
    std::atomic_bool cancel = false;
    std::atomic_int outcome = 0; // 1 cancelled, 2 other
    QThread *thread = QThread::create([&] {
        try {
            search.search(u"A"_s, u"Second"_s, &cancel);
        } catch (const NetworkError &error) {
            outcome = error.code() == HttpClient::Cancelled ? 1 : 2;
        } catch (...) {
            outcome = 2;
        }
    });
    const auto started = std::chrono::steady_clock::now();
    thread->start();
    QThread::msleep(100);
    cancel = true;
    search.wakeWaiters();
    ASSERT_TRUE(thread->wait(10'000));
    delete thread;
    EXPECT_EQ(outcome, 1);
    EXPECT_LT(std::chrono::steady_clock::now() - started, 10s);
    EXPECT_EQ(searches(), 1);
}

TEST_F(CoverSearchTest, ImageIsDownloadedAndConverted)
{
    const QByteArray path = "/release-group/" + id1.toLatin1() + "/front-500";
    server.setResponse(path, {200, {{"Content-Type", "image/png"}}, fixtures::encode(fixtures::solid(900, 600), "png")});
    const QByteArray jpeg = search.image(candidate(id1));
    const auto frame = JpegMarkers::frame(jpeg);
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->width, 500);
    EXPECT_FALSE(frame->progressive);
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1);
    EXPECT_EQ(requests[0].path(), path);
    // The search service's User-Agent goes with searches only.
    EXPECT_NE(requests[0].header("User-Agent"), QByteArray(HttpClient::userAgent));
}

TEST_F(CoverSearchTest, ImageStatusesAndSizeLimits)
{
    const QByteArray path = "/release-group/" + id1.toLatin1() + "/front-500";
    const QString noFront =
        u"To wydanie nie ma dostępnej przedniej okładki. Wybierz inny wynik lub własny obraz."_s;
    const QString emptyOrLarge = u"Obraz jest pusty lub zbyt duży."_s;
    const auto archive = [](int code) {
        return u"Archiwum nie udostępniło obrazu (HTTP %1). Spróbuj ponownie później."_s.arg(code);
    };
    struct Case {
        const char *name;
        QList<HttpServer::Response> answers;
        QString expected;
        qsizetype requests;
    };
    const QList<Case> cases = {
        {"404", {status(404)}, noFront, 1},
        {"empty 200", {ok(QByteArray())}, emptyOrLarge, 1},
        {"8,000,000 bytes", {ok(QByteArray(8'000'000, 'x'))}, emptyOrLarge, 1},
        {"7,999,999 bytes of no picture", {ok(QByteArray(7'999'999, 'x'))}, u"Nie można odczytać obrazu."_s, 1},
        {"403", {status(403)}, archive(403), 1},
        {"503 then 503", {status(503), status(503)}, archive(503), 2},
        {"500 then 404", {status(500), status(404)}, noFront, 2},
        {"429 then 502", {status(429), status(502)}, archive(502), 2},
    };
    for (const Case &c : cases) {
        server.clearRequests();
        for (const auto &response : c.answers)
            server.enqueueResponse(path, response);
        server.setResponse(path, ok(fixtures::jpeg(10, 10))); // never reached
        EXPECT_EQ(tavoMessage([&] { search.image(candidate(id1)); }), c.expected) << c.name;
        EXPECT_EQ(server.requests().size(), c.requests) << c.name;
    }

    // A busy archive that answers the second time.
    server.clearRequests();
    server.enqueueResponse(path, status(503));
    server.setResponse(path, ok(fixtures::jpeg(300, 300)));
    EXPECT_EQ(JpegMarkers::frame(search.image(candidate(id1)))->width, 500);
    EXPECT_EQ(server.requests().size(), 2);
}

TEST_F(CoverSearchTest, ImageOfAMalformedIdIsRefusedWithoutARequest)
{
    for (const QString &id : {u"x"_s, u"../../etc/passwd"_s, u"{4a9421e6-9def-4616-82bf-674d5a5c7a29}"_s, QString()})
        EXPECT_EQ(tavoMessage([&] { search.image(candidate(id)); }), u"Nieprawidłowy identyfikator albumu."_s);
    EXPECT_TRUE(server.requests().isEmpty());
}
