// Settings -> "Publish to MQTT...": on or off, broker, topic prefix, user.
#pragma once

#include "MqttSettingsFile.h"

class QWidget;

// True when the operator confirmed; `settings` then holds what was chosen,
// checked (an address that parses and carries no password, a usable prefix).
bool runPublishDialog(QWidget *parent, MqttSettings &settings);
