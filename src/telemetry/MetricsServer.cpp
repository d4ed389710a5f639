#include "telemetry/MetricsServer.h"

#include "telemetry/MetricsConnection.h"

#include <QElapsedTimer>
#include <QTcpSocket>
#include <algorithm>
#include <cerrno>
#include <sys/socket.h>
#include <unistd.h>

namespace pm {

namespace {

qint64 steadyMsecs() {
    static QElapsedTimer since = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return since.elapsed();
}

} // namespace

MetricsServer::MetricsServer() : clock_(steadyMsecs), holder_(std::make_unique<QObject>()) {
    sweep_.setInterval(1000);
    QObject::connect(&sweep_, &QTimer::timeout, holder_.get(), [this] { closeExpired(); });
    resume_.setSingleShot(true);
    resume_.setInterval(1000);
    QObject::connect(&resume_, &QTimer::timeout, holder_.get(), [this] { resumeAccepting(); });
}

MetricsServer::~MetricsServer() {
    for (MetricsConnection* c : connections_)
        c->onClosed = nullptr;
    connections_.clear();
    holder_.reset(); // the connections with it
}

quint16 MetricsServer::listen(const MetricsSettings& settings, QString* error) {
    if (!server_.listen(settings.address, settings.port)) {
        *error = QStringLiteral("Cannot serve the metrics on %1:%2: %3.")
                     .arg(settings.address.toString())
                     .arg(settings.port)
                     .arg(server_.errorString());
        return 0;
    }
    // Taken here rather than by QTcpServer, so that running out of descriptors stops the
    // watch on the listening socket until there is a reason to try again.
    server_.pauseAccepting();
    acceptWatch_ =
        std::make_unique<QSocketNotifier>(server_.socketDescriptor(), QSocketNotifier::Read);
    QObject::connect(acceptWatch_.get(), &QSocketNotifier::activated, holder_.get(),
                     [this] { acceptAll(); });
    sweep_.start();
    return server_.serverPort();
}

void MetricsServer::acceptAll() {
    const int listening = int(server_.socketDescriptor());
    for (;;) {
        const int fd = ::accept4(listening, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
                // The connection stays queued, so the socket stays readable: trying again
                // before a client leaves (or a second passes) would only fail again at once.
                acceptWatch_->setEnabled(false);
                paused_ = true;
                resume_.start();
            }
            return; // EAGAIN: all taken
        }
        if (connections_.size() >= kMaxConnections) {
            ::close(fd);
            continue;
        }
        auto* socket = new QTcpSocket;
        if (!socket->setSocketDescriptor(fd)) {
            ::close(fd);
            delete socket;
            continue;
        }
        auto* connection = new MetricsConnection(
            socket, [this] { return metricsText(state_); }, clock_(), holder_.get());
        connections_.push_back(connection);
        connection->onClosed = [this, connection] { forget(connection); };
    }
}

void MetricsServer::resumeAccepting() {
    if (!paused_)
        return;
    paused_ = false;
    resume_.stop();
    acceptWatch_->setEnabled(true);
}

void MetricsServer::forget(MetricsConnection* connection) {
    const auto it = std::find(connections_.begin(), connections_.end(), connection);
    if (it == connections_.end())
        return;
    connections_.erase(it);
    connection->onClosed = nullptr;
    connection->deleteLater();
    resumeAccepting(); // a descriptor is free again
}

void MetricsServer::closeExpired() {
    const qint64 now = clock_();
    // Copied: each abort takes its connection out of the list.
    const std::vector<MetricsConnection*> open = connections_;
    for (MetricsConnection* c : open)
        if (now - c->openedAt() >= kLongestConnectionMsecs)
            c->abort();
}

} // namespace pm
