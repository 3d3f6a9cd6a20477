// SPDX-License-Identifier: GPL-3.0-or-later
#include "exporter/http_server.h"

#include <QLoggingCategory>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <sys/socket.h>

#include <algorithm>

Q_LOGGING_CATEGORY(lcHttp, "volnar.exporter.http")

namespace volnar {

namespace {

constexpr int kLingerMs = 2'000;

const char* ReasonPhrase(int status) {
    switch (status) {
        case 200:
            return "OK";
        case 400:
            return "Bad Request";
        case 404:
            return "Not Found";
        case 405:
            return "Method Not Allowed";
        case 413:
            return "Payload Too Large";
        case 431:
            return "Request Header Fields Too Large";
        case 503:
            return "Service Unavailable";
        default:
            return "Error";
    }
}

bool HeaderIs(const QByteArray& line, const char* name, QByteArray* value) {
    const qsizetype colon = line.indexOf(':');
    if (colon < 0 || line.left(colon).trimmed().compare(name, Qt::CaseInsensitive) != 0) {
        return false;
    }
    *value = line.mid(colon + 1).trimmed();
    return true;
}

}  // namespace

ParsedRequest ParseHttpRequest(const QByteArray& buffer, const HttpLimits& limits) {
    ParsedRequest parsed;
    const qsizetype end = buffer.indexOf("\r\n\r\n");
    if (end < 0 || end + 4 > limits.maxHeaderBytes) {
        parsed.verdict = buffer.size() > limits.maxHeaderBytes || end >= 0
                             ? RequestVerdict::TooLarge
                             : RequestVerdict::Incomplete;
        return parsed;
    }
    parsed.length = static_cast<int>(end + 4);
    const QList<QByteArray> lines = buffer.left(end).split('\n');
    const QList<QByteArray> first = lines.front().trimmed().split(' ');
    if (first.size() != 3 || !first[1].startsWith('/') || !first[2].startsWith("HTTP/1.")) {
        parsed.verdict = RequestVerdict::BadRequest;
        return parsed;
    }
    parsed.keepAlive = first[2] == "HTTP/1.1";
    for (qsizetype i = 1; i < lines.size(); ++i) {
        QByteArray value;
        if (HeaderIs(lines[i], "content-length", &value) && value != "0") {
            parsed.verdict = RequestVerdict::BodyNotAllowed;
        } else if (HeaderIs(lines[i], "transfer-encoding", &value)) {
            parsed.verdict = RequestVerdict::BodyNotAllowed;
        } else if (HeaderIs(lines[i], "connection", &value)) {
            parsed.keepAlive = parsed.keepAlive && value.compare("close", Qt::CaseInsensitive) != 0;
        }
    }
    if (first[0] != "GET" && first[0] != "HEAD") {
        parsed.verdict = RequestVerdict::MethodNotAllowed;
        return parsed;
    }
    if (parsed.verdict == RequestVerdict::BodyNotAllowed) {
        return parsed;
    }
    const qsizetype question = first[1].indexOf('?');
    parsed.request.method = first[0];
    parsed.request.path = question < 0 ? first[1] : first[1].left(question);
    parsed.request.query = question < 0 ? QByteArray() : first[1].mid(question + 1);
    parsed.verdict = RequestVerdict::Complete;
    return parsed;
}

struct HttpServer::Connection {
    QTcpSocket* socket = nullptr;
    QTimer* timer = nullptr;  // the socket's child: gone with it
    QByteArray buffer;
    int served = 0;
    bool requestStarted = false;  // the request timer runs, not the idle one
    bool closing = false;
    bool dropped = false;
    quint64 serial = 0;
    bool awaiting = false;   // a deferred answer is due
    bool lingering = false;  // refused: answer sent, the rest read and dropped
    bool head = false;       // of the request being answered
    bool keepAlive = false;
};

HttpServer::HttpServer(HttpLimits limits, Handler handler, QObject* parent)
    : QObject(parent),
      m_limits(limits),
      m_handler(std::move(handler)),
      m_server(new QTcpServer(this)),
      m_quiet(new QTimer(this)) {
    connect(m_server, &QTcpServer::newConnection, this, &HttpServer::Accept);
    m_quiet->setSingleShot(true);
    connect(m_quiet, &QTimer::timeout, this, &HttpServer::Quiet);
}

HttpServer::~HttpServer() = default;

quint16 HttpServer::Listen(const QHostAddress& address, quint16 port) {
    if (!m_server->listen(address, port)) {
        qCWarning(lcHttp) << "cannot listen:" << m_server->errorString();
        return 0;
    }
    return m_server->serverPort();
}

void HttpServer::Accept() {
    while (QTcpSocket* socket = m_server->nextPendingConnection()) {
        if (static_cast<int>(m_open.size()) >= m_limits.maxConnections && !EvictOne()) {
            ++m_evicted;
            socket->abort();
            socket->deleteLater();
            continue;
        }
        auto* connection = new Connection;
        connection->serial = ++m_serials;
        m_open.push_back(connection);
        connection->socket = socket;
        socket->setParent(this);
        // Qt stops reading from the kernel once this much waits unread: a
        // flood of pipelined requests or a body stays in the kernel's buffers.
        socket->setReadBufferSize(m_limits.maxHeaderBytes);
        connection->timer = new QTimer(socket);
        connection->timer->setSingleShot(true);
        connect(connection->timer, &QTimer::timeout, socket, &QTcpSocket::abort);
        connect(socket, &QTcpSocket::readyRead, this, [this, connection] {
            if (connection->lingering) {
                connection->socket->skip(connection->socket->bytesAvailable());
                return;
            }
            Serve(connection);
        });
        connect(socket, &QTcpSocket::bytesWritten, this, [this, connection] {
            if (connection->lingering) {
                if (connection->socket->bytesToWrite() == 0) {
                    shutdown(static_cast<int>(connection->socket->socketDescriptor()), SHUT_WR);
                }
                return;
            }
            connection->timer->start(m_limits.idleTimeoutMs);  // a write that moves is alive
            if (connection->socket->bytesToWrite() == 0) {
                Serve(connection);
                if (std::none_of(m_open.begin(), m_open.end(), [](const Connection* open) {
                        return open->socket->bytesToWrite() > 0;
                    })) {
                    m_quiet->start(kQuietMs);
                }
            }
        });
        connect(socket, &QTcpSocket::disconnected, this, [this, connection] { Drop(connection); });
        connect(socket, &QObject::destroyed, this, [connection] { delete connection; });
        connection->timer->start(m_limits.idleTimeoutMs);
        Serve(connection);
    }
}

void HttpServer::Serve(Connection* connection) {
    QTcpSocket* socket = connection->socket;
    // One request at a time: the next is read once this answer is written.
    while (!connection->dropped && !connection->closing && !connection->awaiting &&
           socket->bytesToWrite() == 0) {
        const qint64 room = m_limits.maxHeaderBytes + 1 - connection->buffer.size();
        if (room > 0 && socket->bytesAvailable() > 0) {
            connection->buffer += socket->read(room);
        }
        if (connection->buffer.isEmpty()) {
            return;
        }
        const ParsedRequest parsed = ParseHttpRequest(connection->buffer, m_limits);
        switch (parsed.verdict) {
            case RequestVerdict::Incomplete:
                if (!connection->requestStarted) {
                    connection->requestStarted = true;
                    connection->timer->start(m_limits.requestTimeoutMs);
                }
                return;
            case RequestVerdict::Complete:
                connection->buffer.remove(0, parsed.length);
                connection->requestStarted = false;
                Answer(connection, parsed);
                break;
            case RequestVerdict::TooLarge:
                return Refuse(connection, 431, "request headers too large");
            case RequestVerdict::BodyNotAllowed:
                return Refuse(connection, 413, "a request with a body");
            case RequestVerdict::MethodNotAllowed:
                return Refuse(connection, 405, "a method other than GET or HEAD");
            case RequestVerdict::BadRequest:
                return Refuse(connection, 400, "no HTTP/1.x request");
        }
    }
}

void HttpServer::Answer(Connection* connection, const ParsedRequest& parsed) {
    ++connection->served;
    connection->head = parsed.request.method == "HEAD";
    connection->keepAlive =
        parsed.keepAlive && connection->served < m_limits.maxRequestsPerConnection;
    HttpRequest request = parsed.request;
    request.reply = [this, serial = connection->serial](const HttpResponse& response) {
        QMetaObject::invokeMethod(
            this, [this, serial, response] { Deliver(serial, response); }, Qt::QueuedConnection);
    };
    const HttpResponse response = m_handler(request);
    if (response.deferred) {
        connection->awaiting = true;
        connection->timer->stop();
        return;
    }
    Write(connection, response);
}

void HttpServer::Deliver(quint64 serial, const HttpResponse& response) {
    const auto found = std::find_if(m_open.begin(), m_open.end(),
                                    [serial](const Connection* c) { return c->serial == serial; });
    if (found == m_open.end() || !(*found)->awaiting) {
        return;  // the client left meanwhile
    }
    (*found)->awaiting = false;
    Write(*found, response);
}

void HttpServer::Write(Connection* connection, const HttpResponse& response) {
    m_quiet->stop();  // an answer on its way
    const bool keepAlive = connection->keepAlive;
    QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + ' ' +
                      ReasonPhrase(response.status) + "\r\nContent-Type: " + response.contentType +
                      "\r\nContent-Length: " + QByteArray::number(response.body.size()) +
                      (keepAlive ? "\r\n\r\n" : "\r\nConnection: close\r\n\r\n");
    connection->socket->write(head);
    if (!connection->head) {
        connection->socket->write(response.body);
    }
    connection->timer->start(m_limits.idleTimeoutMs);
    if (!keepAlive) {
        connection->closing = true;
        connection->socket->disconnectFromHost();
    }
}

void HttpServer::Refuse(Connection* connection, int status, const char* reason) {
    qCInfo(lcHttp).noquote() << "refused" << reason << "from"
                             << connection->socket->peerAddress().toString();
    const QByteArray body = QByteArray(ReasonPhrase(status)) + '\n';
    QByteArray head = "HTTP/1.1 " + QByteArray::number(status) + ' ' + ReasonPhrase(status) +
                      "\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: " +
                      QByteArray::number(body.size()) + "\r\nConnection: close\r\n";
    if (status == 405) {
        head += "Allow: GET, HEAD\r\n";
    }
    connection->socket->write(head + "\r\n" + body);
    connection->closing = true;
    connection->lingering = true;
    connection->buffer.clear();
    // A lingering close: once the answer is out, the sending side is shut
    // and whatever the client still sends (a body) is read and dropped for
    // a moment, so that the client reads the answer instead of a reset.
    connection->timer->start(std::min(kLingerMs, m_limits.requestTimeoutMs));
}

bool HttpServer::EvictOne() {
    for (Connection* connection : m_open) {
        if (connection->socket->bytesToWrite() == 0 && !connection->awaiting) {
            ++m_evicted;
            if (m_evicted <= 10 || m_evicted % 1000 == 0) {
                qCWarning(lcHttp).noquote()
                    << "closed a connection from" << connection->socket->peerAddress().toString()
                    << "to make room;" << m_evicted << "so far";
            }
            connection->socket->abort();
            Drop(connection);
            return true;
        }
    }
    return false;
}

void HttpServer::Drop(Connection* connection) {
    if (connection->dropped) {
        return;
    }
    connection->dropped = true;
    m_open.erase(std::find(m_open.begin(), m_open.end(), connection));
    connection->timer->stop();
    connection->socket->deleteLater();
}

}  // namespace volnar
