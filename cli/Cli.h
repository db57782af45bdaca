// qz5801-cli: one operation on one transmitter, or on every attached one at
// once, on the window's link, configuration and display code.
#pragma once

#include "Fix64usb.h"

#include <QJsonValue>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace cli {

enum ExitCode { ExitOk = 0, ExitFailure = 1, ExitUsage = 2, ExitNoDevice = 3, ExitDenied = 4 };

using Arguments = std::vector<std::string>;

// Everything the command line asked for, checked before a transmitter is touched.
struct Options {
    std::string command;
    Arguments operands;
    std::optional<uint32_t> device;
    std::optional<uint32_t> serial;
    bool all = false;
    bool json = false;
    // write-config
    bool verify = true;
    bool dryRun = false;
    bool force = false;
    // watch
    unsigned long count = 0; // 0: until interrupted
    unsigned long intervalMs = 1000;
    int unit = -1;           // -1: Pa without a unit change; 0-5 pressure units, 6-8 length units
    bool isoTimestamps = false;
    // the write journal
    std::optional<std::string> journalAddress; // --journal; else QZ5801_JOURNAL or the default file
    bool noJournal = false;
    std::string since;                 // history
    std::optional<uint64_t> recordId;  // restore
};

// Where a command's results and failures go: straight to stdout and stderr,
// or kept per transmitter while several run at once.
class Sink {
public:
    explicit Sink(bool buffered) : buffered(buffered) {}
    void out(const std::string &text);
    void err(const std::string &text);
    // A failure line on stderr; returns ExitFailure.
    int fail(const std::string &text);
    void json(const QJsonValue &value);

    bool buffered;
    std::string outText;
    std::string errText;
    QJsonValue jsonValue;
};

// The transmitter a command runs on.
struct Target {
    uint32_t instance = 0;
    std::optional<uint16_t> serial;
    std::string location;
};

// --- numbers ---
// Decimal, or hex after 0x; a leading zero is still decimal.
bool parseUnsigned(const std::string &text, unsigned long max, unsigned long &out);

// --- transmitters ---
// Loads the USB library into the link; false with the failure on stderr.
bool loadLink(TFix64 &link, Sink &sink);
// The link's pipes from now on lead to this instance, for the calling thread.
void connectTo(TFix64 &link, uint32_t instance);
// Instance's serial number through the link, or nothing when it does not answer.
std::optional<uint16_t> readSerial(TFix64 &link, uint32_t instance);
const char *accessHint();

// --- commands ---
int runList(const Options &options);
int runInfo(TFix64 &link, const Target &target, const Options &options, Sink &sink);
int runValue(TFix64 &link, const Target &target, const Options &options, Sink &sink);
int runDump(TFix64 &link, const Target &target, const Options &options, Sink &sink);
int runReadConfig(TFix64 &link, const Target &target, const Options &options, Sink &sink);
int runWriteConfig(TFix64 &link, const Target &target, const Options &options, Sink &sink);
int runDiff(TFix64 &link, const Target &target, const Options &options, Sink &sink);
int runWatch(TFix64 &link, const Target &target, const Options &options, Sink &sink);
int runHistory(const Options &options); // the journal only, no transmitter
int runRestore(TFix64 &link, const Target &target, const Options &options, Sink &sink);

// Usage checks of a command's operands that need more than counting them; an
// empty text when they are fine.
std::string dumpOperandsProblem(const Arguments &operands);
std::string sinceProblem(const std::string &text);

// Number text in the C locale, shortest form that reads back as the same float.
std::string floatText(float value);

} // namespace cli
