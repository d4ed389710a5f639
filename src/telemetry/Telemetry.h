#pragma once

#include "telemetry/TelemetryOptions.h"

#include <QDateTime>
#include <chrono>
#include <functional>
#include <memory>

namespace pm {

class MetricsServer;
class MqttPublisher;
class ReadingTexts;

// The readings on their way out of the program: to an MQTT broker and to Prometheus, as set on the
// command line. Fed by the same reading path as the CSV log, one call per reading and one per
// change of the link.
class Telemetry {
public:
    explicit Telemetry(TelemetrySettings settings);
    ~Telemetry();

    // Opens the metrics page and starts connecting to the broker. False with `error` when the
    // page cannot be served; the broker's outcome comes through the callbacks. With
    // `brokerNeededAtStart`, a broker that cannot be reached at first is not tried again.
    bool start(QString* error, bool brokerNeededAtStart = false);
    // Holds the broker back until the meter is found when its ID is the default one made
    // without a port, so that the ID names the port found (two meters on one host are two IDs).
    // Before start().
    void holdMqttForPort() { holdMqtt_ = settings_.mqtt && settings_.mqtt->idNamesNoPort; }
    // The meter was found on `device`: a broker held back starts now, its ID naming it.
    void portFound(const QString& device);

    // A reading also says that the meter answers.
    void liveReading(const QDateTime& time, const ReadingTexts& texts);
    void meterAnswering(bool answering);
    // Hands the readings still queued to the broker (for a few seconds at most), says "offline"
    // and then calls `done` with what it has to say, if anything.
    void finish(std::function<void(const QString&)> done);

    MqttPublisher* mqtt() const { return mqtt_.get(); }
    MetricsServer* metrics() const { return metrics_.get(); }
    quint16 metricsPort() const { return metricsPort_; }

    std::function<void(const QString&)> onNews;    // connected, back, serving metrics
    std::function<void(const QString&)> onProblem; // the broker refused, is gone or unreachable
    // Another program publishes as this ID: nothing goes to the broker. Without it, onProblem.
    std::function<void(const QString&)> onIdTaken;

private:
    TelemetrySettings settings_;
    std::unique_ptr<MqttPublisher> mqtt_;
    std::unique_ptr<MetricsServer> metrics_;
    quint16 metricsPort_ = 0;
    bool holdMqtt_ = false;
    bool brokerNeededAtStart_ = false;

    void startMqtt();
};

} // namespace pm
