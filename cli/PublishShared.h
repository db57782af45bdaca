// What publish and the write commands share: the broker from --broker or
// QZ5801_MQTT, the queue of events kept for a later run, and the event of a
// journal record.
#pragma once

#include "Cli.h"

#include "Publisher.h"

#include <optional>

namespace journal {
struct Entry;
}

namespace cli {

// The broker, password (the address's, else QZ5801_MQTT_PASSWORD), prefix and
// CA of the command line; nothing, with the failure on the sink, when they
// cannot be used (a QZ5801_MQTT that is no address, a CA file that cannot be read).
std::optional<mqtt::PublisherSettings> publisherSettings(const Options &options, Sink &sink);
// Hands the events kept by earlier runs to the publisher.
void sendSpooledEvents(mqtt::Publisher &publisher);
// Keeps what the broker has not acknowledged for a later run; says so.
void keepUnsentEvents(mqtt::Publisher &publisher, Sink &sink);

// Whether --broker or QZ5801_MQTT names a broker for the journal's events.
bool publishesEvents(const Options &options);
// Publishes the journal record as an event on PREFIX/SERIAL/event (QoS 1)
// when --broker or QZ5801_MQTT names a broker; nothing otherwise. Waits at
// most a few seconds: a broker that cannot be reached, or refuses, costs a
// warning and the event is kept for a later run; it never fails the command.
void publishJournalEvent(const Options &options, const journal::Entry &entry, Sink &sink);

} // namespace cli
