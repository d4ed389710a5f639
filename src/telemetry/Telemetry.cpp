#include "telemetry/Telemetry.h"

#include "telemetry/MetricsServer.h"
#include "telemetry/MqttPublisher.h"
#include "telemetry/StateJson.h"

#include <QHostInfo>

namespace pm {

namespace {
constexpr auto kFinishLimit = std::chrono::seconds(5);
}

Telemetry::Telemetry(TelemetrySettings settings) : settings_(std::move(settings)) {}

Telemetry::~Telemetry() = default;

bool Telemetry::start(QString* error, bool brokerNeededAtStart) {
    brokerNeededAtStart_ = brokerNeededAtStart;
    if (settings_.mqtt && !holdMqtt_)
        startMqtt();
    if (settings_.metrics) {
        metrics_ = std::make_unique<MetricsServer>();
        metricsPort_ = metrics_->listen(*settings_.metrics, error);
        if (metricsPort_ == 0)
            return false;
        if (onNews)
            onNews(QStringLiteral("Serving the metrics on http://%1:%2/metrics.")
                       .arg(settings_.metrics->address.protocol() == QAbstractSocket::IPv6Protocol
                                ? QLatin1Char('[') + settings_.metrics->address.toString() +
                                      QLatin1Char(']')
                                : settings_.metrics->address.toString())
                       .arg(metricsPort_));
    }
    return true;
}

void Telemetry::startMqtt() {
    mqtt_ = std::make_unique<MqttPublisher>(*settings_.mqtt);
    mqtt_->onConnected = [this](const QString& m) {
        if (onNews)
            onNews(m);
    };
    mqtt_->onProblem = [this](const QString& m) {
        if (onProblem)
            onProblem(m);
    };
    mqtt_->onIdTaken = [this](const QString& m) {
        if (onIdTaken)
            onIdTaken(m);
        else if (onProblem)
            onProblem(m);
    };
    mqtt_->setGiveUpAtStart(brokerNeededAtStart_);
    mqtt_->start();
}

void Telemetry::portFound(const QString& device) {
    if (!holdMqtt_ || mqtt_)
        return;
    settings_.mqtt->id = defaultMqttId(QHostInfo::localHostName(), device);
    settings_.mqtt->idNamesNoPort = false;
    startMqtt();
}

void Telemetry::liveReading(const QDateTime& time, const ReadingTexts& texts) {
    meterAnswering(true); // a reading is the meter's answer
    if (mqtt_)
        mqtt_->publishReading(stateJson(time, texts));
    if (metrics_)
        metrics_->state().liveReading(time, texts);
}

void Telemetry::meterAnswering(bool answering) {
    if (mqtt_)
        mqtt_->setMeterAnswering(answering);
    if (metrics_)
        metrics_->state().setMeterUp(answering);
}

void Telemetry::finish(std::function<void(const QString&)> done) {
    if (!mqtt_) {
        done({});
        return;
    }
    mqtt_->onProblem = nullptr;
    mqtt_->finish(kFinishLimit, [done = std::move(done)](std::size_t undelivered) {
        done(undelivered == 0
                 ? QString()
                 : QStringLiteral("%1 readings did not reach the MQTT broker.").arg(undelivered));
    });
}

} // namespace pm
