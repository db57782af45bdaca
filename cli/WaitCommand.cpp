// wait: until the chosen transmitter is attached and answers, for loops that
// plug a transmitter in, write it and unplug it.
#include "Cli.h"

#include <chrono>

namespace cli {

namespace {

constexpr unsigned kLookEveryMs = 200;

enum class Seen { Nothing, Denied, Answers };

// The transmitter --device, --serial or --location names, or any one when none is named.
Seen look(TFix64 &link, const Options &o)
{
    const uint32_t count = link.deviceCount();
    Seen seen = Seen::Nothing;
    for (uint32_t i = 0; i < count; ++i) {
        if (o.device && i != *o.device)
            continue;
        if (o.location && link.deviceLocation(i) != *o.location)
            continue;
        if (link.deviceAccess(i) == DeviceAccess::Denied) {
            seen = Seen::Denied;
            continue;
        }
        const std::optional<uint16_t> serial = readSerial(link, i);
        if (serial && (!o.serial || *serial == *o.serial))
            return Seen::Answers;
    }
    return seen;
}

} // namespace

int runWait(const Options &options)
{
    TFix64 link;
    Sink sink(false, options.quiet);
    if (!loadLink(link, sink))
        return ExitFailure;
    catchInterruptOnly();
    using Clock = std::chrono::steady_clock;
    const Clock::time_point end = Clock::now() + std::chrono::milliseconds(options.timeoutMs);
    for (;;) {
        const Seen seen = look(link, options);
        link.closePipes(0);
        if (seen == Seen::Answers)
            return ExitOk;
        if (heldSignal())
            return 128 + heldSignal();
        if (options.timeoutMs && Clock::now() >= end) {
            if (seen == Seen::Denied) {
                errorLines(std::string("The transmitter is attached, but this user may not open it\n") +
                           accessHint());
                return ExitDenied;
            }
            errorLines("No transmitter answered within the timeout");
            return ExitNoDevice;
        }
        link.pause(kLookEveryMs);
    }
}

} // namespace cli
