// Signals held while a configuration is being written: the bracket and its
// read-back end first, then the run ends with 128 + the signal's number.
#include "Cli.h"

#include <csignal>

namespace cli {

namespace {

volatile std::sig_atomic_t noted = 0;

void note(int signal)
{
    if (!noted)
        noted = signal;
}

void install(int signal)
{
#ifdef _WIN32
    std::signal(signal, note);
#else
    struct sigaction action = {};
    action.sa_handler = note;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART; // a transfer in progress goes on
    sigaction(signal, &action, nullptr);
#endif
}

} // namespace

void holdSignals()
{
#ifdef SIGPIPE
    // a reader that went away (| head) must not end a write between its
    // frames and its record: the failed write to the pipe is an error, not death
    std::signal(SIGPIPE, SIG_IGN);
#endif
    install(SIGINT);
    install(SIGTERM);
#ifdef SIGHUP
    install(SIGHUP);
#endif
}

void catchInterruptOnly() { install(SIGINT); }

void catchInterruptAndTerminate()
{
    install(SIGINT);
    install(SIGTERM);
}

int heldSignal() { return noted; }

const char *signalName(int signal)
{
    switch (signal) {
    case SIGINT:
        return "SIGINT";
    case SIGTERM:
        return "SIGTERM";
#ifdef SIGHUP
    case SIGHUP:
        return "SIGHUP";
#endif
    default:
        return "a signal";
    }
}

} // namespace cli
