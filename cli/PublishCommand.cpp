// publish: the live value to an MQTT broker as the window's tick polls it,
// with the lamps' rule on the configuration read once at the start; the
// transmitter's status retained, "offline" its last will.
#include "Cli.h"
#include "PublishShared.h"

#include "ConfigurationExchange.h"
#include "LiveValue.h"
#include "MemoryMap.h"
#include "Payloads.h"
#include "Publisher.h"

#include <QDateTime>

#include <chrono>

namespace cli {

namespace {

constexpr unsigned kWaitSliceMs = 50; // how soon a signal is noticed while waiting
constexpr int kFirstConnectMs = 10000;
constexpr int kFinishMs = 2000;
// How often a running publish looks for events that write-config or restore
// could not hand to the broker themselves.
constexpr auto kSpoolCheck = std::chrono::seconds(2);

} // namespace

int runPublish(TFix64 &link, const Target &target, const Options &options, Sink &sink)
{
    std::optional<mqtt::PublisherSettings> settings = publisherSettings(options, sink);
    if (!settings)
        return ExitUsage;
    catchInterruptAndTerminate();

    std::optional<uint16_t> serial = target.serial;
    if (!serial)
        serial = readSerial(link, target.instance);
    ConfigurationRecord record;
    try {
        if (!serial)
            throw std::runtime_error("no serial number");
        config::readConfiguration(link, record);
    } catch (const std::exception &) {
        resetPipes(link);
        return sink.fail(kTextNoReply);
    }
    std::array<float, 3> lower{}, higher{};
    std::array<int, 3> modes{};
    for (int o = 0; o < 3; ++o) {
        lower[o] = record.lowerValue(o);
        higher[o] = record.higherValue(o);
        const uint8_t mode = record.memoryImage[memmap::outputAddress(o) + memmap::kModeOffset];
        modes[o] = mode <= 4 ? mode : kNoMode;
    }

    settings->serial = *serial;
    mqtt::Publisher publisher(*settings);
    if (const std::string problem = publisher.connect(kFirstConnectMs); !problem.empty()) {
        sink.err(problem);
        return ExitUsage;
    }
    sendSpooledEvents(publisher);

    using Clock = std::chrono::steady_clock;
    mqtt::OutputLamps lamps;
    resetPipes(link);
    Clock::time_point next = Clock::now();
    Clock::time_point spoolChecked = next;
    unsigned long values = 0;
    int code = ExitOk;
    while (!heldSignal()) {
        const display::Poll poll = display::pollLiveValue(link);
        if (poll.outcome == display::Poll::SwitchOff) {
            resetPipes(link);
            code = sink.fail(kTextNoReply);
            break;
        }
        if (poll.outcome == display::Poll::Value) {
            lamps.follow(poll.value, lower, higher, modes);
            publisher.publishValue(mqtt::valuePayload(QDateTime::currentDateTime(), poll.value, lamps.lamps()));
            if (options.count && ++values >= options.count)
                break;
        }
        if (Clock::now() - spoolChecked >= kSpoolCheck && publisher.connected()) {
            spoolChecked = Clock::now();
            sendSpooledEvents(publisher);
        }
        next += std::chrono::milliseconds(options.intervalMs);
        for (;;) {
            const Clock::time_point now = Clock::now();
            if (heldSignal() || now >= next)
                break;
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(next - now).count();
            link.pause(static_cast<unsigned>(left < kWaitSliceMs ? left + 1 : kWaitSliceMs));
        }
        // A tick late by less than an interval keeps the schedule, so the rate
        // holds on a busy machine; one further behind starts it afresh rather
        // than sending a burst.
        if (Clock::now() - next > std::chrono::milliseconds(options.intervalMs))
            next = Clock::now();
    }
    // the last values and any event taken from the queue go out before "offline"
    publisher.waitForEvents(kFinishMs);
    publisher.finish(kFinishMs);
    keepUnsentEvents(publisher, sink);
    if (publisher.valuesSkipped())
        sink.note("MQTT: " + std::to_string(publisher.valuesSkipped()) +
                  " values were not published while the broker was away");
    return heldSignal() ? 128 + heldSignal() : code;
}

} // namespace cli
