#include "platform/errors.h"
#include "platform/http.h"
#include "support/httpserver.h"

#include <QThread>
#include <gtest/gtest.h>
#include <atomic>
#include <thread>

using namespace Qt::StringLiterals;

namespace {

HttpServer::Response answer(int status, const QByteArray &body,
                            QList<std::pair<QByteArray, QByteArray>> headers = {})
{
    HttpServer::Response response;
    response.status = status;
    response.body = body;
    response.headers = headers;
    return response;
}

QUrl at(const HttpServer &server, const QString &relative)
{
    return server.base().resolved(QUrl(relative));
}

} // namespace

TEST(Http, ReturnsStatusBodyAndHeaders)
{
    HttpServer server;
    server.setResponse("/page", answer(200, "żółw\0end", {{"X-Test", "1"}}));
    HttpRequest request;
    request.url = at(server, u"page?a=1"_s);
    const HttpResponse response = HttpClient::get(request);
    EXPECT_EQ(response.status, 200);
    EXPECT_EQ(response.body, QByteArray("żółw\0end"));
    EXPECT_EQ(response.header("x-test"), "1");
    ASSERT_EQ(server.requests().size(), 1);
    EXPECT_EQ(server.requests()[0].method, "GET");
    EXPECT_EQ(server.requests()[0].target, "/page?a=1");
}

TEST(Http, ErrorStatusesAreAnswersNotFailures)
{
    HttpServer server;
    for (const int status : {404, 429, 500, 503}) {
        server.setResponse("/x", answer(status, "busy " + QByteArray::number(status)));
        HttpRequest request;
        request.url = at(server, u"x"_s);
        const HttpResponse response = HttpClient::get(request);
        EXPECT_EQ(response.status, status);
        EXPECT_EQ(response.body, "busy " + QByteArray::number(status));
    }
}

TEST(Http, BodyPastTheLimitIsCutOffNotHeldWhole)
{
    HttpServer server;
    const QByteArray big(3 * 1024 * 1024, 'x');
    server.setResponse("/big", answer(200, big));
    server.setResponse("/small", answer(200, "fits"));
    HttpRequest request;
    request.maxBodyBytes = 1000;
    request.url = at(server, u"big"_s);
    const HttpResponse cut = HttpClient::get(request);
    EXPECT_EQ(cut.status, 200);
    EXPECT_EQ(cut.body.size(), 1001); // one byte past the limit: the caller sees "too large"
    request.url = at(server, u"small"_s);
    EXPECT_EQ(HttpClient::get(request).body, "fits");
}

TEST(Http, SendsTheNamedUserAgentOrOurDefault)
{
    HttpServer server;
    server.setFallback(answer(200, "ok"));
    HttpRequest plain;
    plain.url = at(server, u"a"_s);
    HttpClient::get(plain);
    HttpRequest named = plain;
    named.headers = {{"User-Agent", HttpClient::userAgent}};
    named.reloadIgnoringCache = true;
    HttpClient::get(named);
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 2);
    EXPECT_EQ(requests[0].header("user-agent"), "Vontaro/0.6");
    EXPECT_EQ(requests[1].header("User-Agent"), "Vontaro/0.6 (personal Rockbox library manager for Linux)");
}

TEST(Http, RefusedConnectionThrowsNetworkError)
{
    HttpRequest request;
    request.url = HttpServer::refusingBase().resolved(QUrl(u"index.php"_s));
    try {
        HttpClient::get(request);
        FAIL() << "no error";
    } catch (const NetworkError &error) {
        EXPECT_EQ(error.code(), 1); // QNetworkReply::ConnectionRefusedError
        // The user reads our words, naming the server asked.
        EXPECT_EQ(error.message(), u"Serwer 127.0.0.1 odmówił połączenia. Spróbuj ponownie później."_s);
        EXPECT_EQ(describe(error), error.message());
        EXPECT_EQ(error.host(), u"127.0.0.1"_s);
        EXPECT_TRUE(error.isConnectionFailure());
        EXPECT_TRUE(isConnectionFailure(std::make_exception_ptr(error)));
    }
}

TEST(Http, ConnectionClosedWithoutAnswerThrowsNetworkError)
{
    HttpServer server;
    HttpServer::Response drop;
    drop.drop = true;
    server.setResponse("/gone", drop);
    HttpRequest request;
    request.url = at(server, u"gone"_s);
    try {
        HttpClient::get(request);
        FAIL() << "no error";
    } catch (const NetworkError &error) {
        EXPECT_EQ(error.code(), 2); // QNetworkReply::RemoteHostClosedError
        EXPECT_EQ(error.message(), u"Serwer 127.0.0.1 zerwał połączenie. Spróbuj ponownie później."_s);
        EXPECT_TRUE(error.isConnectionFailure());
    }
}

TEST(Http, SilentServerTimesOut)
{
    HttpServer server;
    HttpServer::Response hang;
    hang.hang = true;
    server.setResponse("/slow", hang);
    HttpRequest request;
    request.url = at(server, u"slow"_s);
    request.timeoutMs = 300;
    try {
        HttpClient::get(request);
        FAIL() << "no error";
    } catch (const NetworkError &error) {
        EXPECT_EQ(error.code(), HttpClient::TimedOut);
        EXPECT_EQ(error.message(),
                  u"Serwer 127.0.0.1 nie odpowiedział na czas. Sprawdź połączenie z internetem."_s);
        EXPECT_TRUE(error.isConnectionFailure());
    }
}

TEST(Http, CancelFlagAbandonsTheRequest)
{
    HttpServer server;
    HttpServer::Response hang;
    hang.hang = true;
    server.setResponse("/slow", hang);
    std::atomic_bool cancel = false;
    HttpRequest request;
    request.url = at(server, u"slow"_s);
    request.timeoutMs = 0;
    request.cancel = &cancel;
    std::thread canceller([&] {
        while (server.requests().isEmpty())
            std::this_thread::yield();
        cancel = true;
    });
    try {
        HttpClient::get(request);
        ADD_FAILURE() << "no error";
    } catch (const NetworkError &error) {
        EXPECT_EQ(error.code(), HttpClient::Cancelled);
        // Giving up is the user's choice, not a missing connection.
        EXPECT_FALSE(error.isConnectionFailure());
    }
    canceller.join();
}

TEST(Http, WorksFromAWorkerThread)
{
    HttpServer server;
    server.setResponse("/w", answer(200, "from worker"));
    QByteArray body;
    QThread *worker = QThread::create([&] {
        HttpRequest request;
        request.url = at(server, u"w"_s);
        body = HttpClient::get(request).body;
    });
    worker->start();
    worker->wait();
    delete worker;
    EXPECT_EQ(body, "from worker");
}

TEST(Http, QueryValueEscapesEverythingButUnreserved)
{
    EXPECT_EQ(HttpClient::queryValue(u"ipod video"_s), u"ipod%20video"_s);
    EXPECT_EQ(HttpClient::queryValue(u"a+b&c=d/é"_s), u"a%2Bb%26c%3Dd%2F%C3%A9"_s);
    EXPECT_EQ(HttpClient::queryValue(u"Az09-._~"_s), u"Az09-._~"_s);
}

TEST(Http, ServiceBasesAreInjectable)
{
    ServiceBase::setThemeGallery(QUrl(u"http://127.0.0.1:1/"_s));
    EXPECT_EQ(ServiceBase::themeGallery(), QUrl(u"http://127.0.0.1:1/"_s));
    ServiceBase::reset();
    EXPECT_EQ(ServiceBase::themeGallery().scheme(), u"https"_s);
    EXPECT_TRUE(ServiceBase::themeGallery().path().endsWith(u'/'));
    EXPECT_TRUE(ServiceBase::musicBrainz().path().endsWith(u'/'));
    EXPECT_TRUE(ServiceBase::coverArtArchive().path().endsWith(u'/'));
}
