#include "telemetry/MetricsServer.h"

#include <QHttpServerResponse>
#include <QTcpServer>

namespace pm {

MetricsServer::MetricsServer() {
    server_.route(QStringLiteral("/metrics"), QHttpServerRequest::Method::Get, [this] {
        return QHttpServerResponse(QByteArrayLiteral("text/plain; version=0.0.4; charset=utf-8"),
                                   metricsText(state_));
    });
}

quint16 MetricsServer::listen(const MetricsSettings& settings, QString* error) {
    auto* tcp = new QTcpServer(&server_);
    if (!tcp->listen(settings.address, settings.port)) {
        *error = QStringLiteral("Cannot serve the metrics on %1:%2: %3.")
                     .arg(settings.address.toString())
                     .arg(settings.port)
                     .arg(tcp->errorString());
        delete tcp;
        return 0;
    }
    server_.bind(tcp);
    return tcp->serverPort();
}

} // namespace pm
