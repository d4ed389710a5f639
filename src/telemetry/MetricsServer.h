#pragma once

#include "telemetry/MetricsPage.h"
#include "telemetry/TelemetryOptions.h"

#include <QHttpServer>

namespace pm {

// Serves the metrics page at /metrics (GET only); every other path is 404. It takes no input
// that changes anything.
class MetricsServer {
public:
    MetricsServer();

    // Listens where `settings` say; the port it listens on, or 0 with `error` saying why not.
    quint16 listen(const MetricsSettings& settings, QString* error);

    MetricsState& state() { return state_; }

private:
    QHttpServer server_;
    MetricsState state_;
};

} // namespace pm
