#pragma once

#include <QByteArray>
#include <QObject>
#include <functional>

class QTcpSocket;

namespace pm {

// One client of the metrics page: one request, one answer, then the connection is closed. The
// request's head is kept (16 KiB at most); a body is counted and thrown away as it comes, never
// held, and one declared longer than 64 KiB is refused at once with 413.
class MetricsConnection : public QObject {
public:
    static constexpr qsizetype kMaxHead = 16 * 1024;
    static constexpr qint64 kMaxBody = 64 * 1024;

    // `page` gives the metrics page when /metrics is asked for. The connection owns `socket`.
    MetricsConnection(QTcpSocket* socket, std::function<QByteArray()> page, qint64 openedAt,
                      QObject* parent = nullptr);
    ~MetricsConnection() override;

    qint64 openedAt() const { return openedAt_; }
    // Ends the connection without more ado (too long open, or the server going away).
    void abort();

    std::function<void()> onClosed; // once, after the socket has gone

private:
    void readRequest();
    void handleHead();
    void respond(int status, const char* reason, const QByteArray& body, bool withBody = true,
                 const QByteArray& extraHeaders = {});
    void halfCloseWhenSent();
    void closed();

    enum class Stage { Head, Body, Answered };
    QTcpSocket* socket_;
    std::function<QByteArray()> page_;
    qint64 openedAt_;
    Stage stage_ = Stage::Head;
    QByteArray head_;
    qint64 bodyLeft_ = 0;
    QByteArray method_;
    QByteArray target_;
    bool closed_ = false;
    bool halfClosed_ = false;
};

} // namespace pm
