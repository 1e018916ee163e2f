#pragma once

// A loopback HTTP/1.1 server for tests of the online services. It listens on
// 127.0.0.1 (a free port) and runs on a thread of its own, so the code under
// test may block its own thread (the test's) on a request. Each answer is
// canned per path; every request is recorded.

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QMutex>
#include <QString>
#include <QUrl>
#include <memory>
#include <utility>

class QThread;
class HttpServerWorker;

class HttpServer
{
public:
    struct Response {
        int status = 200;
        QList<std::pair<QByteArray, QByteArray>> headers; // Content-Length is added
        QByteArray body;
        // Never answer (for time-outs); the connection stays open until the server stops.
        bool hang = false;
        // Close the connection without any answer.
        bool drop = false;
        // Send the head at once and then the body one byte per this many
        // milliseconds (for servers that keep a download alive but slow).
        int trickleMs = 0;
    };

    struct Request {
        QByteArray method;
        QByteArray target; // exactly as sent: path and query, still percent-encoded
        QList<std::pair<QByteArray, QByteArray>> headers;
        QByteArray path() const;  // target before "?"
        QByteArray query() const; // target after "?", empty when none
        QByteArray header(const QByteArray &name) const; // case-insensitive; empty when absent
    };

    HttpServer();
    ~HttpServer();
    HttpServer(const HttpServer &) = delete;
    HttpServer &operator=(const HttpServer &) = delete;

    // "http://127.0.0.1:<port>/"
    QUrl base() const;
    quint16 port() const;

    // The answer for every request whose path (percent-encoded, before "?") is
    // `path`, e.g. "/index.php".
    void setResponse(const QByteArray &path, const Response &response);
    // Answers given once each, in order, before the fixed one of that path.
    void enqueueResponse(const QByteArray &path, const Response &response);
    // For paths with no answer set: 404 with an empty body unless changed.
    void setFallback(const Response &response);

    QList<Request> requests() const;
    void clearRequests();

    // An address on 127.0.0.1 where nothing listens: connections are refused.
    static QUrl refusingBase();

private:
    friend class HttpServerWorker;
    Response answerFor(const Request &request);

    mutable QMutex m_mutex;
    QMap<QByteArray, Response> m_fixed;
    QMap<QByteArray, QList<Response>> m_queued;
    Response m_fallback;
    QList<Request> m_requests;
    quint16 m_port = 0;
    QThread *m_thread = nullptr;
    HttpServerWorker *m_worker = nullptr;
};
