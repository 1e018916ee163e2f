#include "support/httpserver.h"

#include <QMetaObject>
#include <QMutexLocker>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <memory>

namespace {

QByteArray reason(int status)
{
    switch (status) {
    case 200: return "OK";
    case 301: return "Moved Permanently";
    case 302: return "Found";
    case 404: return "Not Found";
    case 429: return "Too Many Requests";
    case 500: return "Internal Server Error";
    case 503: return "Service Unavailable";
    default: return "Status";
    }
}

} // namespace

// Lives on the server's thread: accepts connections and answers one request each.
class HttpServerWorker : public QObject
{
public:
    explicit HttpServerWorker(HttpServer *owner) : m_owner(owner) {}

    quint16 start()
    {
        m_server = new QTcpServer(this);
        if (!m_server->listen(QHostAddress::LocalHost, 0))
            return 0;
        connect(m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = m_server->nextPendingConnection())
                serve(socket);
        });
        return m_server->serverPort();
    }

    void stop()
    {
        delete m_server; // its sockets are its children
        m_server = nullptr;
    }

private:
    void serve(QTcpSocket *socket)
    {
        auto buffer = std::make_shared<QByteArray>();
        connect(socket, &QTcpSocket::readyRead, socket, [this, socket, buffer] {
            buffer->append(socket->readAll());
            const qsizetype end = buffer->indexOf("\r\n\r\n");
            if (end < 0)
                return;
            disconnect(socket, &QTcpSocket::readyRead, socket, nullptr);
            respond(socket, parse(buffer->left(end)));
        });
    }

    static HttpServer::Request parse(const QByteArray &head)
    {
        HttpServer::Request request;
        const QList<QByteArray> lines = head.split('\n');
        const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
        request.method = first.value(0);
        request.target = first.value(1);
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const QByteArray line = lines[i].trimmed();
            const qsizetype colon = line.indexOf(':');
            if (colon > 0)
                request.headers.append({line.left(colon).trimmed(), line.mid(colon + 1).trimmed()});
        }
        return request;
    }

    void respond(QTcpSocket *socket, const HttpServer::Request &request)
    {
        const HttpServer::Response response = m_owner->answerFor(request);
        if (response.hang)
            return;
        if (response.drop) {
            socket->abort();
            socket->deleteLater();
            return;
        }
        QByteArray out = "HTTP/1.1 " + QByteArray::number(response.status) + ' ' + reason(response.status) + "\r\n";
        for (const auto &[name, value] : response.headers)
            out += name + ": " + value + "\r\n";
        out += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n";
        out += "Connection: close\r\n\r\n";
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        if (response.trickleMs > 0) {
            socket->write(out);
            auto *timer = new QTimer(socket);
            auto sent = std::make_shared<qsizetype>(0);
            connect(timer, &QTimer::timeout, socket, [socket, timer, body = response.body, sent] {
                if (*sent >= body.size()) {
                    timer->stop();
                    socket->disconnectFromHost();
                    return;
                }
                socket->write(body.mid((*sent)++, 1));
            });
            timer->start(response.trickleMs);
            return;
        }
        out += response.body;
        socket->write(out);
        connect(socket, &QTcpSocket::bytesWritten, socket, [socket] {
            if (socket->bytesToWrite() == 0)
                socket->disconnectFromHost();
        });
    }

    HttpServer *m_owner;
    QTcpServer *m_server = nullptr;
};

QByteArray HttpServer::Request::path() const
{
    const qsizetype mark = target.indexOf('?');
    return mark < 0 ? target : target.left(mark);
}

QByteArray HttpServer::Request::query() const
{
    const qsizetype mark = target.indexOf('?');
    return mark < 0 ? QByteArray() : target.mid(mark + 1);
}

QByteArray HttpServer::Request::header(const QByteArray &name) const
{
    for (const auto &[key, value] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return {};
}

HttpServer::HttpServer()
{
    m_fallback.status = 404;
    m_thread = new QThread;
    m_worker = new HttpServerWorker(this);
    m_worker->moveToThread(m_thread);
    m_thread->start();
    quint16 port = 0;
    QMetaObject::invokeMethod(m_worker, [this, &port] { port = m_worker->start(); },
                              Qt::BlockingQueuedConnection);
    m_port = port;
}

HttpServer::~HttpServer()
{
    QMetaObject::invokeMethod(m_worker, [this] { m_worker->stop(); }, Qt::BlockingQueuedConnection);
    m_thread->quit();
    m_thread->wait();
    delete m_worker;
    delete m_thread;
}

QUrl HttpServer::base() const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(m_port));
}

quint16 HttpServer::port() const
{
    return m_port;
}

void HttpServer::setResponse(const QByteArray &path, const Response &response)
{
    QMutexLocker lock(&m_mutex);
    m_fixed.insert(path, response);
}

void HttpServer::enqueueResponse(const QByteArray &path, const Response &response)
{
    QMutexLocker lock(&m_mutex);
    m_queued[path].append(response);
}

void HttpServer::setFallback(const Response &response)
{
    QMutexLocker lock(&m_mutex);
    m_fallback = response;
}

QList<HttpServer::Request> HttpServer::requests() const
{
    QMutexLocker lock(&m_mutex);
    return m_requests;
}

void HttpServer::clearRequests()
{
    QMutexLocker lock(&m_mutex);
    m_requests.clear();
}

HttpServer::Response HttpServer::answerFor(const Request &request)
{
    QMutexLocker lock(&m_mutex);
    m_requests.append(request);
    const QByteArray path = request.path();
    auto queued = m_queued.find(path);
    if (queued != m_queued.end() && !queued->isEmpty())
        return queued->takeFirst();
    return m_fixed.value(path, m_fallback);
}

QUrl HttpServer::refusingBase()
{
    // Take a free port, then give it up: nothing listens there afterwards.
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    return QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(port));
}
