// Where the window publishes: broker, topic prefix and user, kept in
// qz5801-mqtt.ini beside the settings file, section [MQTT]. Never the
// password. Off by default.
#pragma once

#include <QString>

struct MqttSettings {
    bool enabled = false;
    QString broker; // mqtt://HOST[:PORT] or mqtts://, without a password
    QString prefix = QStringLiteral("qz5801");
    QString user;
};

QString mqttSettingsPath();
// Missing, unreadable or oversized files give the defaults.
MqttSettings readMqttSettings(const QString &path);
// Atomically; false, and the old file as it was, when it cannot be written.
bool writeMqttSettings(const QString &path, const MqttSettings &settings);
