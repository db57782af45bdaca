// watch: the live value as the window's tick polls it, once a second or as asked.
#include "Cli.h"

#include "ConfigurationExchange.h"
#include "LiveValue.h"
#include "MemoryMap.h"
#include "Units.h"

#include <QDateTime>

#include <chrono>
#include <cstdio>
#include <cstring>

namespace cli {

namespace {

constexpr unsigned kWaitSliceMs = 50; // how soon Ctrl-C is noticed while waiting
constexpr int kFirstLengthUnit = 6;

struct Shown {
    float factor = 1;
    int decimals = 3;
    std::string header = "value_pa";
    bool plain = true; // today's output: Pa with three decimals
};

// The unit's factor; a length unit uses the gravity the transmitter holds.
bool chooseUnit(TFix64 &link, int unit, Shown &shown, Sink &sink)
{
    if (unit < 0)
        return true;
    shown.plain = false;
    if (unit < kFirstLengthUnit) {
        const display::PressureUnit &u = display::kPressureUnits[unit];
        shown.factor = u.factor;
        shown.decimals = u.decimals;
        shown.header = std::string("value_") + u.text;
        return true;
    }
    float gravity = 0;
    try {
        inBracket(link, [&] { link.readMemory(memmap::kSpecificGravity, &gravity, memmap::kFloatSize); });
    } catch (const std::exception &) {
        sink.err(kTextNoReply);
        return false;
    }
    if (!config::gravityInRange(gravity)) {
        sink.err("Specific gravity out of range");
        gravity = config::kDefaultSpecificGravity; // as a read of the configuration takes it
    }
    const display::LengthUnit &u = display::kLengthUnits[unit - kFirstLengthUnit];
    const std::optional<float> factor = display::lengthUnitFactor(unit - kFirstLengthUnit, gravity);
    if (!factor) {
        sink.err("Invalid real number");
        return false;
    }
    shown.factor = *factor;
    shown.decimals = u.decimals;
    shown.header = std::string("value_") + u.text;
    return true;
}

} // namespace

int runWatch(TFix64 &link, const Target &, const Options &options, Sink &sink)
{
    Shown shown;
    if (!chooseUnit(link, options.unit, shown, sink))
        return ExitFailure;
    // Ctrl-C ends the loop between two values rather than the process mid-line
    catchInterruptOnly();

    using Clock = std::chrono::steady_clock;
    // As checking "Actual value" does: fresh pipes, no transaction.
    resetPipes(link);
    sink.out(std::string(options.isoTimestamps ? "time," : "seconds,") + shown.header + "\n");
    std::fflush(stdout);

    const Clock::time_point start = Clock::now();
    Clock::time_point next = start;
    unsigned long lines = 0;
    while (!heldSignal()) {
        const display::Poll poll = display::pollLiveValue(link);
        if (poll.outcome == display::Poll::SwitchOff) {
            resetPipes(link);
            return sink.fail(kTextNoReply);
        }
        if (poll.outcome == display::Poll::Value) {
            std::string line;
            if (options.isoTimestamps) {
                line = QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs).toStdString();
            } else {
                char seconds[32];
                std::snprintf(seconds, sizeof seconds, "%.3f",
                              std::chrono::duration<double>(Clock::now() - start).count());
                line = seconds;
            }
            char value[64];
            if (shown.plain)
                std::snprintf(value, sizeof value, "%1.3f", static_cast<double>(poll.value));
            else
                std::snprintf(value, sizeof value, "%s",
                              display::shownNumber(poll.value, shown.factor, shown.decimals).toStdString().c_str());
            sink.out(line + "," + value + "\n");
            std::fflush(stdout);
            if (options.count && ++lines >= options.count)
                break;
        }
        next += std::chrono::milliseconds(options.intervalMs);
        for (;;) {
            const Clock::time_point now = Clock::now();
            if (heldSignal() || now >= next)
                break;
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(next - now).count();
            link.pause(static_cast<unsigned>(left < kWaitSliceMs ? left + 1 : kWaitSliceMs));
        }
        if (next < Clock::now())
            next = Clock::now(); // a slow poll does not make the next ones hurry
    }
    // so a shell loop around watch stops at the first Ctrl-C
    return heldSignal() ? 128 + heldSignal() : ExitOk;
}

} // namespace cli
