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

// ExitUnrecorded: the transmitter was written to, but its journal record could not be completed.
enum ExitCode { ExitOk = 0, ExitFailure = 1, ExitUsage = 2, ExitNoDevice = 3, ExitDenied = 4, ExitUnrecorded = 5 };
// diff and write-config --dry-run answer like diff(1): 0 equal, 1 different, this for trouble.
inline constexpr int ExitTrouble = 2;

using Arguments = std::vector<std::string>;

struct LoadedFile;

// Everything the command line asked for, checked before a transmitter is touched.
struct Options {
    std::string command;
    Arguments operands;
    std::optional<uint32_t> device;
    std::optional<uint32_t> serial;
    std::optional<std::string> location; // BUS-PORT, as list shows it
    bool all = false;
    bool json = false;
    bool quiet = false; // no confirmations or warnings, only results and failures
    // write-config
    bool verify = true;
    bool dryRun = false;
    bool force = false;
    // watch
    unsigned long count = 0; // 0: until interrupted
    unsigned long intervalMs = 1000;
    int unit = -1;           // -1: Pa without a unit change; 0-5 pressure units, 6-8 length units
    bool isoTimestamps = false;
    // wait
    unsigned long timeoutMs = 0; // 0: no limit
    // With --all, the file every transmitter gets, read once for all of them.
    const LoadedFile *preloaded = nullptr;
    // the write journal
    std::optional<std::string> journalAddress; // --journal; else QZ5801_JOURNAL or the default file
    bool noJournal = false;
    std::string since;                 // history
    std::optional<uint64_t> recordId;  // restore, certificate
    // MQTT: publish, and the event of write-config and restore
    std::optional<std::string> broker; // --broker; else QZ5801_MQTT (events only)
    std::string topicPrefix = "qz5801";
    std::string tlsCa;
    // verify (texts checked while parsing; the plan file is read by the command)
    struct Verify {
        std::optional<std::string> plan, points, tolerance, uncertainty, certificate, operatorName, tag, customer,
            standard, standardDue, language;
        unsigned long readings = 0; // 0: the plan's
    } verification;
};

// Where a command's results and failures go: straight to stdout and stderr,
// or kept per transmitter while several run at once.
class Sink {
public:
    explicit Sink(bool buffered, bool quiet = false) : buffered(buffered), quiet(quiet) {}
    void out(const std::string &text);
    void err(const std::string &text);
    // A failure line on stderr; returns ExitFailure.
    int fail(const std::string &text);
    // A line that only confirms or warns; left out with --quiet.
    void note(const std::string &text);
    void json(const QJsonValue &value);

    bool buffered;
    bool quiet;
    std::string outText;
    std::string errText;
    QJsonValue jsonValue;
    QJsonValue differing = QJsonValue(QJsonValue::Undefined); // names of the fields a write changed
};

// The transmitter a command runs on.
struct Target {
    uint32_t instance = 0;
    std::optional<uint16_t> serial;
    std::string location;
    std::string fileName; // --all read-config: this transmitter's file, unique in the run
};

// stdout without Windows' line-end translation, for a configuration file's bytes.
void binaryStdout();

// Each line of text on stderr, after "qz5801-cli: "; NUL and other bytes go
// through as they are.
void errorLines(const std::string &text);
// A text from outside (a file's line) for a message: control bytes as \xNN.
std::string quoted(const std::string &text);

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
int runWait(const Options &options);
int runHistory(const Options &options); // the journal only, no transmitter
int runRestore(TFix64 &link, const Target &target, const Options &options, Sink &sink);
int runPublish(TFix64 &link, const Target &target, const Options &options, Sink &sink);
int runVerify(TFix64 &link, const Target &target, const Options &options, Sink &sink);
int runCertificate(const Options &options); // from the journal, no transmitter

// Usage checks of a command's operands that need more than counting them; an
// empty text when they are fine.
std::string dumpOperandsProblem(const Arguments &operands);
std::string sinceProblem(const std::string &text);
// A verification option's value: empty when fine.
std::string verifyProblem(const std::string &option, const std::string &value);

// Number text in the C locale, shortest form that reads back as the same float
// (a zero without its sign, for messages).
std::string floatText(float value);
// The same as a JSON number: a double that prints as that shortest text; null
// for what is no number.
QJsonValue jsonFloat(float value);

// --- signals ---
// From now on SIGINT, SIGTERM and SIGHUP are noted rather than ending the
// process; for the whole run.
void holdSignals();
// The first signal noted, or 0.
int heldSignal();
const char *signalName(int signal);
// A watch loop's Ctrl-C: noted, the loop ends, the run exits 130.
void catchInterruptOnly();
// publish: SIGINT and SIGTERM noted, so "offline" goes out before the run ends.
void catchInterruptAndTerminate();

} // namespace cli
