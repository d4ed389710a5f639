#pragma once

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QHostAddress>
#include <QList>
#include <QString>
#include <optional>

namespace pm {

// The ports MQTT brokers listen on unless told otherwise.
inline constexpr int kMqttPort = 1883;
inline constexpr int kMqttTlsPort = 8883;
// The longest topic MQTT can carry, in bytes of UTF-8.
inline constexpr qsizetype kMaxMqttTopicBytes = 65535;

// Where and how the readings are published to an MQTT broker.
struct MqttSettings {
    QString host;
    int port = kMqttPort;
    bool tls = false;           // mqtts://
    QString caFile;             // empty: the system's certificates
    QString prefix;             // topics are PREFIX/ID/state and PREFIX/ID/status
    QString id;                 // [A-Za-z0-9_-]+
    bool idNamesNoPort = false; // the default ID, made before the meter's port was known
    QString user;               // empty: no login
    QString password;           // from a file or PHASEMETER_MQTT_PASSWORD, never the command line
    bool haDiscovery = false;

    QString url() const; // "mqtt://host:1883/prefix", for messages
    QString stateTopic() const { return prefix + QLatin1Char('/') + id + QStringLiteral("/state"); }
    QString statusTopic() const {
        return prefix + QLatin1Char('/') + id + QStringLiteral("/status");
    }
};

// Where the Prometheus page is served.
struct MetricsSettings {
    QHostAddress address{QHostAddress::LocalHost};
    quint16 port = 0; // 0: any free port (said at start)
};

struct TelemetrySettings {
    std::optional<MqttSettings> mqtt;
    std::optional<MetricsSettings> metrics;
    bool any() const { return mqtt || metrics; }
};

// The telemetry options that `phasemeter-cli live` and the window both take: --mqtt URL,
// --mqtt-id, --mqtt-user, --mqtt-password-file, --mqtt-cafile, --ha-discovery, --metrics.
class TelemetryOptions {
public:
    TelemetryOptions();
    void addTo(QCommandLineParser& parser) const;

    // The settings given on `parser`, or nothing with `error` saying what is wrong (a usage error:
    // exit status 2). `portDevice`, the meter's device when it is named, goes into the default ID.
    std::optional<TelemetrySettings> settings(const QCommandLineParser& parser,
                                              const QString& portDevice, QString* error) const;

private:
    QList<QCommandLineOption> options_;
};

// mqtt://host[:port]/PREFIX or mqtts://...; nothing with `error` set on any other text.
std::optional<MqttSettings> parseMqttUrl(const QString& url, QString* error);
// ADDRESS:PORT, [IPv6]:PORT or PORT alone (then 127.0.0.1).
std::optional<MetricsSettings> parseMetricsAddress(const QString& text, QString* error);
// "benchpc-ttyUSB0": the host name and the device's base name, each character outside
// [A-Za-z0-9_-] made "_"; the host name alone when no device is named.
QString defaultMqttId(const QString& hostName, const QString& portDevice);
bool isValidMqttId(const QString& id);

} // namespace pm
