// qz5801-cli: one operation on the transmitter per run, on the window's link code.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace cli {

enum ExitCode { ExitOk = 0, ExitFailure = 1, ExitUsage = 2 };

using Arguments = std::vector<std::string>;

// Each command gets the arguments after its name and a connected link.
struct Command {
    const char *name;
    const char *usage;
    bool (*argumentsValid)(const Arguments &args); // checked before the transmitter is touched
    int (*run)(const Arguments &args);
};

bool noArguments(const Arguments &args);
bool dumpArguments(const Arguments &args);
bool readConfigArguments(const Arguments &args);
bool writeConfigArguments(const Arguments &args);
bool watchArguments(const Arguments &args);

// Connects as the window's start-up does (pipes 0, slave 254, 250 ms);
// false (with the failure text on stderr) when the library cannot be loaded.
bool connectLink();
int fail(const char *text);
bool parseUnsigned(const std::string &text, unsigned long max, unsigned long &out);

int runInfo(const Arguments &args);
int runValue(const Arguments &args);
int runDump(const Arguments &args);
int runReadConfig(const Arguments &args);
int runWriteConfig(const Arguments &args);
int runWatch(const Arguments &args);

} // namespace cli
