// Publishes what the window already knows to an MQTT broker: each poll's
// value with its lamps, the status, and an event per journaled write or zero
// correction. It only listens to the window and sends no frame; the MQTT code
// is loaded when publishing starts (PublishChannel.h). Off by default; set in
// Settings -> "Publish to MQTT...".
#pragma once

#include "JournalEntry.h"
#include "MqttSettingsFile.h"

#include <QObject>

#include <memory>
#include <optional>

class QAction;
class QLabel;
class PublishChannel;
class TMainF;
class TWindowJournal;

class TWindowPublisher : public QObject {
    Q_OBJECT
public:
    // journal: its records become events; may be null.
    TWindowPublisher(TMainF &window, TWindowJournal *journal, QString settingsPath = mqttSettingsPath());
    ~TWindowPublisher() override;

    void openDialog(); // the menu item's handler
    bool publishing() const { return channel != nullptr; }

    QAction *menuItem = nullptr;
    QLabel *status = nullptr; // "MQTT: connected" / "MQTT: not connected", shown while publishing is on

private:
    void retranslate();
    void liveValuePolled(int outcome, float pascal);
    void recordMade(const journal::Entry &entry);
    // Starts (or starts again) when on and the serial number is known; stops when off.
    void restart();
    void showConnection();

    TMainF &w;
    QString path;
    MqttSettings settings;
    std::optional<unsigned> serial;
    std::optional<QString> password; // asked once per run
    std::unique_ptr<PublishChannel> channel;
    QString problem;
};
