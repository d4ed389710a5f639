#pragma once

#include <QByteArray>
#include <QString>
#include <vector>

namespace pm {

struct MqttSettings;

struct RetainedMessage {
    QString topic;
    QByteArray payload;
};

// Home Assistant MQTT discovery: one retained config a quantity, under
// homeassistant/sensor/ID_QUANTITY/config, that reads its value from the state topic and its
// availability from the status topic, all 17 grouped under one device: the meter.
std::vector<RetainedMessage> haDiscoveryConfigs(const MqttSettings& mqtt);

} // namespace pm
