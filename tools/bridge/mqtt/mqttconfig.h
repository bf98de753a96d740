#pragma once

#include "brokersettings.h"
#include "mqttservice.h"

#include <optional>
#include <variant>

namespace tarn::bridge {
struct Options;
}

namespace tarn::mqtt {

struct MqttConfig
{
    BrokerSettings broker;
    MqttServiceSettings service;
};

// Why the MQTT options cannot be used, whatever their files hold: a topic or a broker address
// that is wrong as written. None without --mqtt.
std::optional<QString> mqttOptionsProblem(const bridge::Options &options);

// What --mqtt and the options after it, --line-name, --listen, --name and --input-names
// ask of the MQTT side, its files read; or the reason they cannot be used. `version` is the
// gateway's, for discovery.
std::variant<MqttConfig, QString> mqttConfig(const bridge::Options &options,
                                             const QString &version);

} // namespace tarn::mqtt
