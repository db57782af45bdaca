// The command line: the command table, reading the arguments into Options,
// the usage texts. Nothing here touches a transmitter.
#pragma once

#include "Cli.h"

#include <cstddef>
#include <string>

namespace cli {

enum OptionBit : unsigned {
    OptJson = 1,
    OptAll = 2,
    OptSelect = 4, // --device, --serial
    OptWrite = 8,  // --no-verify, --dry-run, --force
    OptWatch = 16, // --count, --interval, --unit, --timestamps
    OptWait = 32,  // --timeout
    OptJournal = 64,    // --journal
    OptNoJournal = 128, // --no-journal
    OptSince = 256,     // --since
    OptRecord = 512,    // --record
    OptBroker = 1024,   // --broker, --topic, --tls-ca
    OptUnit = 2048,     // --unit
    OptInterval = 4096, // --interval
    OptVerify = 8192,   // --points, --readings, --tolerance, --certificate, --plan, ...
};

using Runner = int (*)(TFix64 &, const Target &, const Options &, Sink &);

struct Command {
    const char *name;
    const char *synopsis;
    const char *description;
    std::size_t minOperands;
    std::size_t maxOperands;
    const char *operandNames; // for "LENGTH is missing"
    unsigned options;
    Runner run; // null for list, wait and history, which run on no one chosen transmitter
};

const Command *findCommand(const std::string &name);

// Returns an empty text when the command line is fine.
std::string parseArguments(int argc, char **argv, Options &o, bool &help, bool &version);

void printHelp();
void printCommandHelp(const Command &c);
// One line naming the problem and one pointing to --help; returns ExitUsage.
int usageError(const std::string &text);

} // namespace cli
