// The broker settings of a command, the queue file, and the event a
// journaled change publishes.
#include "PublishShared.h"

#include "EventSpool.h"
#include "JournalEntry.h"
#include "Payloads.h"

#include <QFile>

#include <cstdlib>

namespace cli {

namespace {

constexpr int kEventConnectMs = 3000;
constexpr int kEventAckMs = 3000;

void keep(std::vector<mqtt::Event> events, Sink &sink, const std::string &why)
{
    if (events.empty())
        return;
    mqtt::EventSpool spool;
    std::size_t dropped = 0;
    std::string problem;
    const std::size_t count = events.size();
    if (!spool.add(events, dropped, problem)) {
        sink.err("MQTT: " + std::to_string(count) + (count == 1 ? " event" : " events") +
                 " not published and lost: " + problem);
        return;
    }
    sink.err("MQTT: " + why + "; " + std::to_string(count) + (count == 1 ? " event is" : " events are") +
             " kept to be published later (" + mqtt::EventSpool::defaultPath().toStdString() + ")");
    if (dropped)
        sink.err("MQTT: the queue holds at most " + std::to_string(mqtt::kSpoolLimit) + " events; the " +
                 std::to_string(dropped) + " oldest were dropped");
}

} // namespace

std::optional<mqtt::PublisherSettings> publisherSettings(const Options &options, Sink &sink)
{
    std::string text;
    if (options.broker)
        text = *options.broker;
    else if (const char *variable = std::getenv(mqtt::kBrokerVariable))
        text = variable;
    std::string problem;
    const std::optional<mqtt::BrokerAddress> address = mqtt::parseBrokerAddress(text, problem);
    if (!address) {
        sink.err(std::string(mqtt::kBrokerVariable) + ": " + problem);
        return std::nullopt;
    }
    mqtt::PublisherSettings s;
    s.broker = *address;
    if (const char *password = std::getenv(mqtt::kPasswordVariable); password && !address->password)
        s.password = password;
    s.prefix = options.topicPrefix;
    s.eventLimit = mqtt::kSpoolLimit + 64; // room for a full queue file and this run's own
    if (!options.tlsCa.empty()) {
        QFile ca(QString::fromLocal8Bit(options.tlsCa.c_str()));
        if (!ca.open(QIODevice::ReadOnly)) {
            sink.err("--tls-ca: cannot read " + options.tlsCa + ": " + ca.errorString().toStdString());
            return std::nullopt;
        }
        s.caFile = options.tlsCa;
    }
    return s;
}

void sendSpooledEvents(mqtt::Publisher &publisher)
{
    for (mqtt::Event &e : mqtt::EventSpool().take())
        publisher.publishEvent(std::move(e));
}

void keepUnsentEvents(mqtt::Publisher &publisher, Sink &sink)
{
    if (const std::uint64_t dropped = publisher.eventsDropped())
        sink.err("MQTT: " + std::to_string(dropped) + " events were dropped (at most " +
                 std::to_string(publisher.settings().eventLimit) + " wait for the broker)");
    keep(publisher.takeUnsentEvents(), sink, "the broker did not acknowledge every event");
}

bool publishesEvents(const Options &options) { return options.broker || std::getenv(mqtt::kBrokerVariable); }

void publishJournalEvent(const Options &options, const journal::Entry &entry, Sink &sink)
{
    if (!publishesEvents(options))
        return;
    if (!entry.serial)
        return; // no subtree to publish it under
    const mqtt::Event event{mqtt::topicOf(options.topicPrefix, unsigned(*entry.serial), "event"),
                            mqtt::eventPayload(entry)};
    Sink quiet(true);
    std::optional<mqtt::PublisherSettings> settings = publisherSettings(options, quiet);
    if (!settings) {
        sink.err("MQTT: the event is not published: " + quiet.errText);
        return;
    }
    settings->carriesStatus = false; // the station's status belongs to publish and the window
    settings->serial = unsigned(*entry.serial);
    mqtt::Publisher publisher(*settings);
    if (const std::string problem = publisher.connect(kEventConnectMs); !problem.empty()) {
        std::vector<mqtt::Event> events = mqtt::EventSpool().take();
        events.push_back(event);
        keep(std::move(events), sink, problem);
        return;
    }
    sendSpooledEvents(publisher);
    publisher.publishEvent(event);
    publisher.waitForEvents(kEventAckMs);
    publisher.finish(kEventAckMs);
    keepUnsentEvents(publisher, sink);
}

} // namespace cli
