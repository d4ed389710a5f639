#pragma once

#include "telemetry/MetricsPage.h"
#include "telemetry/TelemetryOptions.h"

#include <QSocketNotifier>
#include <QTcpServer>
#include <QTimer>
#include <functional>
#include <memory>
#include <vector>

namespace pm {

class MetricsConnection;

// Serves the metrics page at /metrics (GET and HEAD); every other path is 404. It takes no input
// that changes anything, and no client can make it hold much: at most 64 connections at once
// (more are closed as they are accepted), a request body past 64 KiB is refused unread, and a
// connection open for 10 s is closed whatever it is doing. Out of file descriptors, it stops
// accepting until a client leaves or a second has passed, rather than trying again at once.
class MetricsServer {
public:
    using Clock = std::function<qint64()>; // milliseconds of a clock that never goes back
    static constexpr std::size_t kMaxConnections = 64;
    static constexpr qint64 kLongestConnectionMsecs = 10000;

    MetricsServer();
    ~MetricsServer();
    MetricsServer(const MetricsServer&) = delete;
    MetricsServer& operator=(const MetricsServer&) = delete;

    // Listens where `settings` say; the port it listens on, or 0 with `error` saying why not.
    quint16 listen(const MetricsSettings& settings, QString* error);

    MetricsState& state() { return state_; }
    std::size_t connections() const { return connections_.size(); }

    // For tests: the clock connections are timed by, and one check of their time limit, which a
    // timer otherwise makes every second.
    void setClock(Clock clock) { clock_ = std::move(clock); }
    void closeExpired();

private:
    void acceptAll();
    void resumeAccepting();
    void forget(MetricsConnection* connection);

    QTcpServer server_; // listens only: the connections are taken by acceptAll()
    std::unique_ptr<QSocketNotifier> acceptWatch_;
    MetricsState state_;
    Clock clock_;
    QTimer sweep_;  // the connections' time limit
    QTimer resume_; // accepting again after running out of descriptors
    bool paused_ = false;
    std::vector<MetricsConnection*> connections_; // children of `holder_`
    std::unique_ptr<QObject> holder_;
};

} // namespace pm
