// watch: the live value as the window's tick polls it, once a second.
#include "Cli.h"

#include "Fix64usb.h"
#include "LiveValue.h"

#include <chrono>
#include <csignal>
#include <cstdio>

namespace cli {

namespace {

volatile std::sig_atomic_t interrupted = 0;

void onInterrupt(int) { interrupted = 1; }

constexpr unsigned long kDefaultIntervalMs = 1000;
constexpr unsigned kWaitSliceMs = 50; // how soon Ctrl-C is noticed while waiting

struct WatchOptions {
    unsigned long count = 0; // 0: until interrupted
    unsigned long intervalMs = kDefaultIntervalMs;
};

// --count N (N from 1); --interval-ms MS is left out of the usage: tests run
// without the one-second wait with it.
bool parseWatch(const Arguments &args, WatchOptions &options)
{
    for (std::size_t i = 0; i < args.size(); i += 2) {
        if (i + 1 >= args.size())
            return false;
        if (args[i] == "--count") {
            if (!parseUnsigned(args[i + 1], 0xFFFFFFFFul, options.count) || options.count == 0)
                return false;
        } else if (args[i] == "--interval-ms") {
            if (!parseUnsigned(args[i + 1], 3600000ul, options.intervalMs))
                return false;
        } else {
            return false;
        }
    }
    return true;
}

} // namespace

bool watchArguments(const Arguments &args)
{
    WatchOptions options;
    return parseWatch(args, options);
}

int runWatch(const Arguments &args)
{
    WatchOptions options;
    if (!parseWatch(args, options))
        return ExitUsage;

    struct sigaction action = {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);

    using Clock = std::chrono::steady_clock;
    // As checking "Actual value" does: fresh pipes, no transaction.
    resetPipes(*theLink);
    std::printf("seconds,value_pa\n");
    std::fflush(stdout);

    const Clock::time_point start = Clock::now();
    Clock::time_point next = start;
    unsigned long lines = 0;
    while (!interrupted) {
        const display::Poll poll = display::pollLiveValue(*theLink);
        if (poll.outcome == display::Poll::SwitchOff) {
            resetPipes(*theLink);
            return fail(kTextNoReply);
        }
        if (poll.outcome == display::Poll::Value) {
            const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
            std::printf("%.3f,%1.3f\n", seconds, static_cast<double>(poll.value));
            std::fflush(stdout);
            if (options.count && ++lines >= options.count)
                break;
        }
        next += std::chrono::milliseconds(options.intervalMs);
        for (;;) {
            const Clock::time_point now = Clock::now();
            if (interrupted || now >= next)
                break;
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(next - now).count();
            theLink->pause(static_cast<unsigned>(left < kWaitSliceMs ? left + 1 : kWaitSliceMs));
        }
        if (next < Clock::now())
            next = Clock::now(); // a slow poll does not make the next ones hurry
    }
    return ExitOk;
}

} // namespace cli
