#include "Cli.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>
#include <cstring>
#include <thread>

#ifndef QZ_VERSION
#define QZ_VERSION "unknown"
#endif

namespace {

using namespace cli;

enum OptionBit : unsigned {
    OptJson = 1,
    OptAll = 2,
    OptSelect = 4, // --device, --serial
    OptWrite = 8,  // --no-verify, --dry-run, --force
    OptWatch = 16, // --count, --interval, --unit, --timestamps
    OptJournal = 32,   // --journal
    OptNoJournal = 64, // --no-journal
    OptSince = 128,    // --since
    OptRecord = 256,   // --record
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
    Runner run;
};

const Command commands[] = {
    {"list", "list [--json]", "every attached transmitter: instance, serial number, USB location", 0, 0, "",
     OptJson, nullptr},
    {"info", "info [--json]", "serial number of the transmitter", 0, 0, "", OptJson | OptAll | OptSelect, runInfo},
    {"value", "value [--json]", "actual value in Pa", 0, 0, "", OptJson | OptAll | OptSelect, runValue},
    {"dump", "dump ADDRESS LENGTH", "transmitter memory as hex (decimal, or hex after 0x; at most up to 64 KiB)", 2,
     2, "ADDRESS LENGTH", OptSelect, runDump},
    {"read-config", "read-config [FILE|DIR] [--json]",
     "the configuration as a configuration file, on stdout or into FILE (with --all: DIR/SERIAL.cfg)", 0, 1, "FILE",
     OptJson | OptAll | OptSelect, runReadConfig},
    {"write-config", "write-config FILE [--no-verify] [--dry-run] [--force]",
     "checks FILE strictly, writes it, reads it back and compares", 1, 1, "FILE",
     OptAll | OptSelect | OptWrite | OptJournal | OptNoJournal, runWriteConfig},
    {"diff", "diff FILE [--json]", "FILE against the transmitter, field by field (exit 0 equal, 1 different)", 1, 1,
     "FILE", OptJson | OptSelect, runDiff},
    {"watch", "watch [--count N] [--interval SECONDS] [--unit UNIT] [--timestamps iso]",
     "the actual value as CSV (seconds,value_pa) until N lines or Ctrl-C", 0, 0, "", OptSelect | OptWatch, runWatch},
    {"history", "history [--serial S] [--since TIME] [--json]", "the write journal's records, newest first", 0, 0, "",
     OptJson | OptSelect | OptJournal | OptSince, nullptr},
    {"restore", "restore [--serial S] [--record ID]",
     "writes back the configuration from before a journaled write (default: the latest written one), verified", 0,
     0, "", OptSelect | OptJournal | OptRecord, runRestore},
};

const char *kUnitNames[] = {"Pa", "kPa", "MPa", "mbar", "bar", "psi", "mm", "m", "inch"};

void printHelp()
{
    std::printf("usage: qz5801-cli [--device N | --serial S | --all] COMMAND [ARGUMENTS] [OPTIONS]\n"
                "       qz5801-cli COMMAND --help | --help | --version\n\ncommands:\n");
    for (const auto &c : commands)
        std::printf("  %s\n      %s\n", c.synopsis, c.description);
    std::printf("\noptions:\n"
                "  --device N         the transmitter with instance number N (see list)\n"
                "  --serial S         the transmitter whose memory holds serial number S\n"
                "  --all              info, value, read-config DIR, write-config FILE on every transmitter at once\n"
                "  --json             results as JSON (list, info, value, read-config, diff)\n"
                "  --no-verify        write-config: do not read the configuration back\n"
                "  --dry-run          write-config: show what would change, write nothing\n"
                "  --force            write-config: write what the window would write, after every warning\n"
                "  --count N          watch: stop after N values\n"
                "  --interval SECONDS watch: time between values, at least 0.1 (default 1)\n"
                "  --unit UNIT        watch: Pa kPa MPa mbar bar psi, or mm m inch with the transmitter's gravity\n"
                "  --timestamps iso   watch: first column the time in ISO 8601 (UTC)\n"
                "  --journal URL      the write journal: postgresql://USER@HOST:PORT/DATABASE or an SQLite file\n"
                "                     (default: $QZ5801_JOURNAL, else $XDG_DATA_HOME/qz5801/journal.sqlite)\n"
                "  --no-journal       write-config: write without a journal record\n"
                "  --since TIME       history: records from TIME on (2026-12-10, 2026-12-10T08:30, local unless Z)\n"
                "  --record ID        restore: the configuration from before this record's write\n"
                "\nWith several transmitters attached, --device, --serial or --all is needed.\n"
                "Numbers are decimal, or hexadecimal after 0x.\n"
                "\nexit codes:\n"
                "  0  success (diff: equal)\n"
                "  1  the transmitter does not answer or answers wrongly, a file problem, a failed\n"
                "     check or verification (diff: different); with --all: any transmitter failed\n"
                "  2  usage error, or several transmitters and none chosen\n"
                "  3  no transmitter attached (or none with that instance or serial number)\n"
                "  4  a transmitter is attached but this user may not open it\n");
}

void printCommandHelp(const Command &c)
{
    std::printf("usage: qz5801-cli [--device N | --serial S%s] %s\n  %s\n", (c.options & OptAll) ? " | --all" : "",
                c.synopsis, c.description);
    std::printf("see qz5801-cli --help for the options and exit codes\n");
}

int usageError(const std::string &text)
{
    std::fprintf(stderr, "qz5801-cli: %s\nTry 'qz5801-cli --help' for more information.\n", text.c_str());
    return ExitUsage;
}

const Command *findCommand(const std::string &name)
{
    for (const auto &c : commands)
        if (name == c.name)
            return &c;
    return nullptr;
}

bool parseInterval(const std::string &text, unsigned long &ms)
{
    // seconds with an optional fraction, digits and one point only
    if (text.empty() || text.find_first_not_of("0123456789.") != std::string::npos ||
        text.find('.') != text.rfind('.') || text == ".")
        return false;
    const double seconds = std::strtod(text.c_str(), nullptr);
    if (!(seconds >= 0.1) || seconds > 86400)
        return false;
    ms = static_cast<unsigned long>(seconds * 1000 + 0.5);
    return true;
}

// Returns an empty text when the command line is fine.
std::string parseArguments(int argc, char **argv, Options &o, bool &help, bool &version)
{
    std::vector<std::string> words(argv + 1, argv + argc);
    unsigned used = 0;
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string &w = words[i];
        auto value = [&](std::string &out) {
            if (i + 1 >= words.size())
                return false;
            out = words[++i];
            return true;
        };
        std::string v;
        if (w == "--help" || w == "-h") {
            help = true;
        } else if (w == "--version") {
            version = true;
        } else if (w == "--json") {
            o.json = true;
            used |= OptJson;
        } else if (w == "--all") {
            o.all = true;
            used |= OptAll;
        } else if (w == "--device" || w == "--serial") {
            if (!value(v))
                return w + ": a number is missing";
            unsigned long n = 0;
            if (!parseUnsigned(v, w == "--device" ? 255ul : 65535ul, n))
                return w + ": \"" + v + "\" is not " + (w == "--device" ? "an instance number" : "a serial number");
            (w == "--device" ? o.device : o.serial) = static_cast<uint32_t>(n);
            used |= OptSelect;
        } else if (w == "--no-verify" || w == "--dry-run" || w == "--force") {
            (w == "--no-verify" ? o.verify : w == "--dry-run" ? o.dryRun : o.force) = w == "--no-verify" ? false : true;
            used |= OptWrite;
        } else if (w == "--count") {
            if (!value(v))
                return "--count: N is missing";
            if (!parseUnsigned(v, 0xFFFFFFFFul, o.count) || o.count == 0)
                return "--count: \"" + v + "\" is not a number from 1";
            used |= OptWatch;
        } else if (w == "--interval") {
            if (!value(v))
                return "--interval: SECONDS is missing";
            if (!parseInterval(v, o.intervalMs))
                return "--interval: \"" + v + "\" is not a number of seconds from 0.1";
            used |= OptWatch;
        } else if (w == "--interval-ms") { // for tests: no wait of a tenth of a second
            if (!value(v) || !parseUnsigned(v, 3600000ul, o.intervalMs))
                return "--interval-ms: a number of milliseconds is missing";
            used |= OptWatch;
        } else if (w == "--unit") {
            if (!value(v))
                return "--unit: UNIT is missing";
            o.unit = -1;
            for (int u = 0; u < 9; ++u)
                if (v == kUnitNames[u])
                    o.unit = u;
            if (o.unit < 0)
                return "--unit: \"" + v + "\" is not one of Pa kPa MPa mbar bar psi mm m inch";
            used |= OptWatch;
        } else if (w == "--timestamps") {
            if (!value(v))
                return "--timestamps: iso is missing";
            if (v != "iso")
                return "--timestamps: \"" + v + "\" is not iso";
            o.isoTimestamps = true;
            used |= OptWatch;
        } else if (w == "--journal") {
            if (!value(v))
                return "--journal: URL is missing";
            o.journalAddress = v;
            used |= OptJournal;
        } else if (w == "--no-journal") {
            o.noJournal = true;
            used |= OptNoJournal;
        } else if (w == "--since") {
            if (!value(v))
                return "--since: TIME is missing";
            if (std::string problem = sinceProblem(v); !problem.empty())
                return problem;
            o.since = v;
            used |= OptSince;
        } else if (w == "--record") {
            unsigned long id = 0;
            if (!value(v))
                return "--record: ID is missing";
            if (!parseUnsigned(v, 0xFFFFFFFFul, id) || id == 0)
                return "--record: \"" + v + "\" is not a record number";
            o.recordId = id;
            used |= OptRecord;
        } else if (w.size() > 1 && w[0] == '-' && !(w[1] >= '0' && w[1] <= '9')) {
            return "unknown option " + w;
        } else if (o.command.empty()) {
            o.command = w;
        } else {
            o.operands.push_back(w);
        }
    }
    if (help || version)
        return {};
    if (o.command.empty())
        return "a command is missing";
    const Command *c = findCommand(o.command);
    if (!c)
        return "unknown command " + o.command;
    const std::string name = c->name;
    if (o.device && o.serial)
        return name + ": --device and --serial exclude each other";
    if (o.all && (o.device || o.serial))
        return name + ": --all excludes --device and --serial";
    static const std::pair<unsigned, const char *> optionNames[] = {
        {OptJson, "--json"}, {OptAll, "--all"}, {OptSelect, "--device and --serial"},
        {OptWrite, "--no-verify, --dry-run and --force"}, {OptWatch, "--count, --interval, --unit and --timestamps"},
        {OptJournal, "--journal"}, {OptNoJournal, "--no-journal"}, {OptSince, "--since"}, {OptRecord, "--record"}};
    for (const auto &[bit, names] : optionNames)
        if ((used & bit) && !(c->options & bit))
            return name + ": " + names + " do not apply";
    if (o.operands.size() < c->minOperands) {
        std::string missing = c->operandNames;
        // the first name not given
        std::size_t skip = o.operands.size();
        std::size_t at = 0;
        while (skip-- && at != std::string::npos)
            at = missing.find(' ', at) + 1;
        missing = missing.substr(at, missing.find(' ', at) - at);
        return name + ": " + missing + " is missing";
    }
    if (o.operands.size() > c->maxOperands)
        return name + ": \"" + o.operands[c->maxOperands] + "\" is one argument too many";
    for (const std::string &op : o.operands)
        if (op.empty())
            return name + ": an empty argument";
    if (name == "dump") {
        std::string problem = dumpOperandsProblem(o.operands);
        if (!problem.empty())
            return "dump: " + problem;
    }
    if (name == "history" && o.device)
        return "history: --device does not apply (--serial chooses the records)";
    if (o.journalAddress && o.noJournal)
        return name + ": --journal and --no-journal exclude each other";
    if (o.all && name == "read-config" && o.operands.empty())
        return "read-config: --all needs a folder DIR for the files";
    return {};
}

// What every instance says for itself, for the refusal with several attached.
void listInstances(TFix64 &link, uint32_t count)
{
    for (uint32_t i = 0; i < count; ++i) {
        const std::optional<uint16_t> serial = readSerial(link, i);
        const std::string location = link.deviceLocation(i);
        std::fprintf(stderr, "  --device %u  %s%s%s\n", i,
                     serial ? ("--serial " + std::to_string(*serial)).c_str() : "(serial number unknown)",
                     location.empty() ? "" : "  at ", location.c_str());
    }
}

int deniedFailure(uint32_t instance)
{
    std::fprintf(stderr, "The transmitter (instance %u) is attached, but this user may not open it\n%s\n", instance,
                 accessHint());
    return ExitDenied;
}

// Picks the transmitter of --device, --serial or the only one attached.
int selectTarget(TFix64 &link, const Options &o, Target &target)
{
    const uint32_t count = link.deviceCount();
    if (count == 0) {
        std::fprintf(stderr, "No transmitter is attached\n");
        return ExitNoDevice;
    }
    if (o.device) {
        if (*o.device >= count) {
            std::fprintf(stderr, "No transmitter with instance %u is attached (%u attached)\n", *o.device, count);
            return ExitNoDevice;
        }
        target.instance = *o.device;
    } else if (o.serial) {
        bool found = false, denied = false;
        for (uint32_t i = 0; i < count && !found; ++i) {
            if (link.deviceAccess(i) == DeviceAccess::Denied) {
                denied = true;
                continue;
            }
            const std::optional<uint16_t> serial = readSerial(link, i);
            if (serial && *serial == *o.serial) {
                target.instance = i;
                target.serial = serial;
                found = true;
            }
        }
        if (!found) {
            std::fprintf(stderr, "No transmitter with serial number %u is attached\n", *o.serial);
            if (denied)
                std::fprintf(stderr, "%s\n", accessHint());
            return ExitNoDevice;
        }
    } else if (count > 1) {
        std::fprintf(stderr, "%s: %u transmitters are attached; choose one with --device or --serial%s:\n",
                     o.command.c_str(), count, findCommand(o.command)->options & OptAll ? " (or use --all)" : "");
        listInstances(link, count);
        return ExitUsage;
    }
    if (link.deviceAccess(target.instance) == DeviceAccess::Denied)
        return deniedFailure(target.instance);
    target.location = link.deviceLocation(target.instance);
    connectTo(link, target.instance);
    return ExitOk;
}

void printBuffered(const std::string &prefix, const std::string &text, std::FILE *to)
{
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::fprintf(to, "%s%.*s\n", prefix.c_str(), int(end - start), text.c_str() + start);
        start = end + 1;
    }
}

// One thread per transmitter, each with its own link; results printed per
// serial number once all are done, in instance order.
int runAll(const Command &c, const Options &o)
{
    TFix64 probe;
    Sink probeSink(false);
    if (!loadLink(probe, probeSink))
        return ExitFailure;
    const uint32_t count = probe.deviceCount();
    if (count == 0) {
        std::fprintf(stderr, "No transmitter is attached\n");
        return ExitNoDevice;
    }
    struct Job {
        Target target;
        Sink sink{true};
        int code = ExitFailure;
        bool denied = false;
    };
    std::vector<Job> jobs(count);
    std::vector<std::thread> threads;
    for (uint32_t i = 0; i < count; ++i) {
        threads.emplace_back([&c, &o, &job = jobs[i], i] {
            job.target.instance = i;
            TFix64 link;
            if (!loadLink(link, job.sink))
                return;
            if (link.deviceAccess(i) == DeviceAccess::Denied) {
                job.denied = true;
                job.sink.err("attached, but this user may not open it");
                return;
            }
            job.target.location = link.deviceLocation(i);
            job.target.serial = readSerial(link, i);
            if (!job.target.serial) {
                job.sink.fail(kTextNoReply);
                return;
            }
            job.code = c.run(link, job.target, o, job.sink);
        });
    }
    for (auto &t : threads)
        t.join();

    int code = ExitOk;
    bool anyDenied = false;
    QJsonArray results;
    for (const Job &job : jobs) {
        const std::string name =
            job.target.serial ? std::to_string(*job.target.serial) : "instance " + std::to_string(job.target.instance);
        if (o.json) {
            QJsonObject entry{{"instance", int(job.target.instance)},
                              {"serial", job.target.serial ? QJsonValue(int(*job.target.serial)) : QJsonValue()},
                              {"location", QString::fromStdString(job.target.location)},
                              {"exit_code", job.code},
                              {"result", job.sink.jsonValue}};
            entry.insert("error", job.sink.errText.empty()
                                      ? QJsonValue()
                                      : QJsonValue(QString::fromStdString(job.sink.errText).trimmed()));
            results.append(entry);
        } else {
            printBuffered(name + ": ", job.sink.outText, stdout);
            if (job.code == ExitOk && job.sink.outText.empty())
                std::printf("%s: done\n", name.c_str());
        }
        printBuffered(name + ": ", job.sink.errText, stderr);
        anyDenied = anyDenied || job.denied;
        if (job.code != ExitOk)
            code = ExitFailure;
    }
    if (o.json)
        std::printf("%s", QJsonDocument(results).toJson(QJsonDocument::Indented).constData());
    if (anyDenied)
        std::fprintf(stderr, "%s\n", accessHint());
    std::fflush(stdout);
    return code;
}

} // namespace

int main(int argc, char **argv)
{
    Options options;
    bool help = false, version = false;
    const std::string problem = parseArguments(argc, argv, options, help, version);
    if (version) {
        std::printf("qz5801-cli %s\n", QZ_VERSION);
        return ExitOk;
    }
    if (help) {
        const Command *c = findCommand(options.command);
        if (c)
            printCommandHelp(*c);
        else
            printHelp();
        return ExitOk;
    }
    if (!problem.empty())
        return usageError(problem);

    const Command &c = *findCommand(options.command);
    if (!c.run)
        return options.command == "history" ? runHistory(options) : runList(options);
    if (options.all)
        return runAll(c, options);

    TFix64 link;
    theLink = &link; // the one link of this run
    Sink sink(false);
    if (!loadLink(link, sink))
        return ExitFailure;
    Target target;
    if (int code = selectTarget(link, options, target); code != ExitOk)
        return code;
    const int code = c.run(link, target, options, sink);
    std::fflush(stdout);
    return code;
}
