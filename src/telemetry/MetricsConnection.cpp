#include "telemetry/MetricsConnection.h"

#include <QTcpSocket>
#include <charconv>
#include <optional>
#include <sys/socket.h>

namespace pm {

namespace {

// The value of a header, or nothing; names are compared without regard to case.
std::optional<QByteArray> headerValue(const QList<QByteArray>& lines, const QByteArray& name) {
    for (const QByteArray& line : lines) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed().toLower() == name)
            return line.mid(colon + 1).trimmed();
    }
    return std::nullopt;
}

} // namespace

MetricsConnection::MetricsConnection(QTcpSocket* socket, std::function<QByteArray()> page,
                                     qint64 openedAt, QObject* parent)
    : QObject(parent), socket_(socket), page_(std::move(page)), openedAt_(openedAt) {
    socket_->setParent(this);
    // What the client sends stays in the system's buffers until it is read here.
    socket_->setReadBufferSize(kMaxHead + 4);
    connect(socket_, &QTcpSocket::readyRead, this, [this] { readRequest(); });
    connect(socket_, &QTcpSocket::bytesWritten, this, [this] { halfCloseWhenSent(); });
    connect(socket_, &QTcpSocket::disconnected, this, [this] { closed(); });
    connect(socket_, &QTcpSocket::errorOccurred, this, [this] { closed(); });
    readRequest(); // what came with the connection
}

MetricsConnection::~MetricsConnection() {
    socket_->disconnect(this);
}

void MetricsConnection::abort() {
    socket_->abort();
    closed();
}

void MetricsConnection::closed() {
    if (closed_)
        return;
    closed_ = true;
    if (onClosed)
        onClosed();
}

void MetricsConnection::readRequest() {
    if (closed_)
        return;
    while (socket_->bytesAvailable() > 0) {
        switch (stage_) {
        case Stage::Head: {
            const qsizetype had = head_.size();
            head_ += socket_->read(kMaxHead + 4 - had);
            const qsizetype end = head_.indexOf("\r\n\r\n");
            if (end < 0) {
                if (head_.size() > kMaxHead)
                    respond(431, "Request Header Fields Too Large", {});
                break;
            }
            // What follows the head belongs to the body: counted, not kept.
            bodyLeft_ = -(head_.size() - (end + 4));
            head_.truncate(end);
            handleHead();
            break;
        }
        case Stage::Body: {
            char sink[16 * 1024];
            const qint64 n = socket_->read(sink, qMin<qint64>(sizeof sink, bodyLeft_));
            if (n <= 0)
                return;
            bodyLeft_ -= n;
            if (bodyLeft_ == 0)
                handleHead();
            break;
        }
        case Stage::Answered: {
            // Whatever the client still sends is thrown away until it closes, so that it reads
            // the answer rather than a reset.
            char sink[16 * 1024];
            while (socket_->read(sink, sizeof sink) > 0) {
            }
            return;
        }
        }
        if (stage_ == Stage::Answered && closed_)
            return;
    }
}

void MetricsConnection::handleHead() {
    if (stage_ == Stage::Head) {
        const QList<QByteArray> lines = head_.split('\n');
        const QList<QByteArray> request = lines.first().trimmed().split(' ');
        if (request.size() != 3 || !request[2].startsWith("HTTP/1.")) {
            respond(400, "Bad Request", {});
            return;
        }
        method_ = request[0];
        target_ = request[1];
        if (headerValue(lines, "transfer-encoding")) {
            respond(411, "Length Required", {});
            return;
        }
        qint64 length = 0;
        if (const auto value = headerValue(lines, "content-length")) {
            const auto [end, ec] = std::from_chars(value->begin(), value->end(), length);
            if (ec != std::errc() || end != value->end() || length < 0) {
                respond(400, "Bad Request", {});
                return;
            }
        }
        if (length > kMaxBody) {
            respond(413, "Content Too Large", {});
            return;
        }
        // bodyLeft_ holds minus the body bytes that came with the head.
        bodyLeft_ += length;
        stage_ = Stage::Body;
        if (bodyLeft_ > 0)
            return;
        // More than the declared body came: a second request, which is not served.
    }
    const qsizetype query = target_.indexOf('?');
    const QByteArray path = query < 0 ? target_ : target_.left(query);
    if (path != "/metrics") {
        respond(404, "Not Found", {});
        return;
    }
    if (method_ == "GET" || method_ == "HEAD") {
        respond(200, "OK", page_(), method_ == "GET");
        return;
    }
    respond(405, "Method Not Allowed", {}, true, "Allow: GET, HEAD\r\n");
}

void MetricsConnection::respond(int status, const char* reason, const QByteArray& body,
                                bool withBody, const QByteArray& extraHeaders) {
    stage_ = Stage::Answered;
    QByteArray answer = "HTTP/1.1 " + QByteArray::number(status) + ' ' + reason + "\r\n";
    answer += "Content-Type: text/plain; version=0.0.4; charset=utf-8\r\n";
    answer += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    answer += extraHeaders + "Connection: close\r\n\r\n";
    if (withBody)
        answer += body;
    socket_->write(answer);
    halfCloseWhenSent();
}

void MetricsConnection::halfCloseWhenSent() {
    if (stage_ != Stage::Answered || closed_ || halfClosed_ || socket_->bytesToWrite() > 0 ||
        socket_->socketDescriptor() < 0)
        return;
    halfClosed_ = true;
    // The answer is out: the client sees the end of it and closes; the server's time limit
    // ends a client that does not.
    ::shutdown(int(socket_->socketDescriptor()), SHUT_WR);
}

} // namespace pm
