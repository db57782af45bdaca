// A build without libmosquitto (Windows): publish says so, and a write given
// a broker says its event is not published.
#include "PublishShared.h"

#include "JournalEntry.h"

#include <cstdlib>

namespace cli {

int runPublish(TFix64 &, const Target &, const Options &, Sink &sink)
{
    sink.err("publish is not available in this build (it has no MQTT library)");
    return ExitUsage;
}

bool publishesEvents(const Options &options) { return options.broker || std::getenv(mqtt::kBrokerVariable); }

void publishJournalEvent(const Options &options, const journal::Entry &, Sink &sink)
{
    if (publishesEvents(options))
        sink.err("MQTT: this build has no MQTT library; the event is not published");
}

} // namespace cli
