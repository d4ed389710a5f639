#include "telemetry/HaDiscovery.h"

#include "telemetry/Quantities.h"
#include "telemetry/TelemetryOptions.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace pm {

std::vector<RetainedMessage> haDiscoveryConfigs(const MqttSettings& mqtt) {
    const QJsonObject device{
        {QStringLiteral("identifiers"), QJsonArray{QStringLiteral("phasemeter_") + mqtt.id}},
        {QStringLiteral("name"), QStringLiteral("Phase meter ") + mqtt.id},
        {QStringLiteral("manufacturer"), QStringLiteral("phasemeter")},
        {QStringLiteral("model"),
         QStringLiteral("Two-channel digital phase and volt-ampere meter")},
    };
    std::vector<RetainedMessage> configs;
    for (const Quantity& q : kQuantities) {
        const QString key = QString::fromLatin1(q.key);
        const QString uniqueId = mqtt.id + QLatin1Char('_') + key;
        QJsonObject config{
            {QStringLiteral("name"), QString::fromLatin1(q.title)},
            {QStringLiteral("unique_id"), QStringLiteral("phasemeter_") + uniqueId},
            {QStringLiteral("object_id"), QStringLiteral("phasemeter_") + uniqueId},
            {QStringLiteral("state_topic"), mqtt.stateTopic()},
            {QStringLiteral("value_template"), QStringLiteral("{{ value_json.%1 }}").arg(key)},
            {QStringLiteral("state_class"), QStringLiteral("measurement")},
            {QStringLiteral("availability_topic"), mqtt.statusTopic()},
            // "no meter" and "offline" both leave the values unavailable.
            {QStringLiteral("availability_template"),
             QStringLiteral("{{ 'online' if value == 'online' else 'offline' }}")},
            {QStringLiteral("payload_available"), QStringLiteral("online")},
            {QStringLiteral("payload_not_available"), QStringLiteral("offline")},
            {QStringLiteral("device"), device},
        };
        if (q.unit)
            config.insert(QStringLiteral("unit_of_measurement"), QString::fromUtf8(q.unit));
        if (q.deviceClass)
            config.insert(QStringLiteral("device_class"), QString::fromLatin1(q.deviceClass));
        configs.push_back({QStringLiteral("homeassistant/sensor/%1/config").arg(uniqueId),
                           QJsonDocument(config).toJson(QJsonDocument::Compact)});
    }
    return configs;
}

} // namespace pm
