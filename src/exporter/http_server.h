// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>
#include <vector>

class QTcpServer;
class QTimer;
class QTcpSocket;
class QHostAddress;

namespace volnar {

// What an HTTP client may cost the exporter. Whatever reaches its port is
// untrusted: a request is headers only (no body), the headers are small, a
// connection that sends nothing for a while or a request too slowly is
// closed, each connection has one request answered at a time (pipelined ones
// wait in a read buffer of maxHeaderBytes, and the socket is not read while
// it is full), and there are at most maxConnections connections: a new one
// past the cap closes the longest-open connection that is not being
// answered, so idle connections cannot lock a scraper out.
struct HttpLimits {
    int maxHeaderBytes = 8 * 1024;
    int requestTimeoutMs = 10'000;  // from the first byte of a request to its end
    int idleTimeoutMs = 60'000;     // keep-alive without a request, or a stalled write
    int maxConnections = 32;
    int maxRequestsPerConnection = 1'000;
};

struct HttpRequest {
    QByteArray method;  // "GET" or "HEAD": the only ones handlers see
    QByteArray path;    // "/metrics"
    QByteArray query;   // "target=127.0.0.1", without '?'
    // For a deferred answer: gives the response later, from any thread.
    std::function<void(const struct HttpResponse&)> reply;
};

struct HttpResponse {
    int status = 200;
    QByteArray contentType = "text/plain; charset=utf-8";
    QByteArray body;
    // The handler answers later through HttpRequest::reply; until then the
    // connection waits, without its time-outs.
    bool deferred = false;
};

// The outcome of one request as the server decided it before any handler:
// for tests of the request rules without a socket.
enum class RequestVerdict {
    Complete,          // headers whole: answer it
    Incomplete,        // wait for more bytes
    TooLarge,          // headers over the limit: 431, close
    BodyNotAllowed,    // a Content-Length above 0 or a Transfer-Encoding: 413, close
    BadRequest,        // not an HTTP/1.x request line: 400, close
    MethodNotAllowed,  // neither GET nor HEAD: 405, close
};

struct ParsedRequest {
    RequestVerdict verdict = RequestVerdict::Incomplete;
    HttpRequest request;
    int length = 0;          // bytes of the buffer the request took
    bool keepAlive = false;  // HTTP/1.1 without "Connection: close"
};

// Reads the first request of `buffer` by the rules above.
ParsedRequest ParseHttpRequest(const QByteArray& buffer, const HttpLimits& limits);

// A small HTTP/1.1 server for GET and HEAD on its own, within HttpLimits:
// the handler runs on the thread the server lives on and answers every
// request it is given; HEAD gets the GET's headers without the body.
class HttpServer final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(HttpServer)

public:
    using Handler = std::function<HttpResponse(const HttpRequest&)>;

    HttpServer(HttpLimits limits, Handler handler, QObject* parent = nullptr);
    ~HttpServer() override;

    // Port 0 picks one; returns the port, 0 when it cannot listen.
    quint16 Listen(const QHostAddress& address, quint16 port);
    int ConnectionCount() const { return static_cast<int>(m_open.size()); }
    // Connections closed to make room for a new one, or refused for want of one.
    quint64 EvictedConnections() const { return m_evicted; }

    // How long the server waits, once no answer is being written, before
    // it says Quiet.
    static constexpr int kQuietMs = 5'000;

Q_SIGNALS:
    // No answer has been written for kQuietMs: a moment to give memory back.
    void Quiet();

private:
    struct Connection;
    void Accept();
    void Serve(Connection* connection);
    void Answer(Connection* connection, const ParsedRequest& parsed);
    void Write(Connection* connection, const HttpResponse& response);
    void Deliver(quint64 serial, const HttpResponse& response);
    void Refuse(Connection* connection, int status, const char* reason);
    void Drop(Connection* connection);
    // Closes the longest-open connection not being answered; false if all are.
    bool EvictOne();

    HttpLimits m_limits;
    Handler m_handler;
    QTcpServer* m_server;
    std::vector<Connection*> m_open;  // in the order they were accepted
    quint64 m_evicted = 0;
    quint64 m_serials = 0;
    QTimer* m_quiet;
};

}  // namespace volnar
