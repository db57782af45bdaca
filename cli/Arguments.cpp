#include "Arguments.h"

#include "BrokerAddress.h"
#include "JournalPlaces.h"

#include <cstdio>
#include <cstdlib>
#include <optional>

namespace cli {

namespace {

const Command commands[] = {
    {"list", "list [--json]", "every attached transmitter: instance, serial number, USB location", 0, 0, "",
     OptJson, nullptr},
    {"info", "info [--json]", "serial number of the transmitter", 0, 0, "", OptJson | OptAll | OptSelect, runInfo},
    {"value", "value [--json]", "actual value in Pa", 0, 0, "", OptJson | OptAll | OptSelect, runValue},
    {"dump", "dump ADDRESS LENGTH", "transmitter memory as hex (decimal, or hex after 0x; at most up to 64 KiB)", 2,
     2, "ADDRESS LENGTH", OptSelect, runDump},
    {"read-config", "read-config [FILE|DIR] [--json]",
     "the configuration as a file that restores it exactly, on stdout or into FILE\n"
     "      (with --all: DIR/SERIAL.cfg, or DIR/SERIAL-LOCATION.cfg where serial numbers repeat)",
     0, 1, "FILE", OptJson | OptAll | OptSelect, runReadConfig},
    {"write-config", "write-config FILE [--no-verify] [--dry-run] [--force] [--json]",
     "checks FILE strictly, writes it, reads it back and compares\n"
     "      (--dry-run: exit 0 nothing to change, 1 would change, 2 trouble)",
     1, 1, "FILE", OptJson | OptAll | OptSelect | OptWrite | OptJournal | OptNoJournal | OptBroker, runWriteConfig},
    {"diff", "diff FILE [--json]",
     "FILE against the transmitter, field by field (exit 0 equal, 1 different, 2 trouble)", 1, 1, "FILE",
     OptJson | OptSelect, runDiff},
    {"watch", "watch [--count N] [--interval SECONDS] [--unit UNIT] [--timestamps iso]",
     "the actual value as CSV (seconds,value_pa) until N lines or Ctrl-C (exit 130)", 0, 0, "",
     OptSelect | OptWatch | OptUnit | OptInterval, runWatch},
    {"wait", "wait [--timeout SECONDS]",
     "returns as soon as the chosen transmitter is attached and answers (exit 3 after the timeout)", 0, 0, "",
     OptSelect | OptWait, nullptr},
    {"history", "history [--serial S] [--since TIME] [--json]", "the write journal's records, newest first", 0, 0, "",
     OptJson | OptSelect | OptJournal | OptSince, nullptr},
    {"restore", "restore [--serial S] [--record ID] [--json]",
     "writes back the configuration from before a journaled write (default: the latest written one), verified",
     0, 0, "", OptJson | OptSelect | OptJournal | OptRecord | OptBroker, runRestore},
    {"publish",
     "publish --broker mqtt://[USER[:PASSWORD]@]HOST[:PORT] [--topic PREFIX] [--interval SECONDS] [--count N] "
     "[--tls-ca FILE]",
     "the live value to an MQTT broker (PREFIX/SERIAL/value, status, event) until N values or SIGINT/SIGTERM\n"
     "      (mqtts:// for TLS; the password may come from QZ5801_MQTT_PASSWORD)",
     0, 0, "", OptAll | OptSelect | OptWatch | OptInterval | OptBroker, runPublish},
    {"verify",
     "verify [--points LIST] [--readings N] [--tolerance T] [--unit UNIT] [--certificate FILE.pdf] [--json]\n"
     "         [--operator NAME] [--tag TAG] [--customer NAME] [--standard TEXT] [--standard-due DATE]\n"
     "         [--uncertainty U] [--plan FILE] [--language en|cs|de]",
     "a verification run: for each point a prompt line, the reference reading from a line of standard\n"
     "      input (empty: the point's nominal value), the mean of N live values; journaled as one record\n"
     "      (exit 0 every point passes, 1 some fail, 2 trouble: no reply, bad input)",
     0, 0, "", OptJson | OptSelect | OptUnit | OptInterval | OptJournal | OptNoJournal | OptVerify | OptBroker, runVerify},
    {"certificate", "certificate --record N FILE.pdf [--language en|cs|de]",
     "draws the certificate of a journaled verification run again", 1, 1, "FILE.pdf",
     OptJournal | OptRecord | OptVerify, nullptr},
};

const char *kUnitNames[] = {"Pa", "kPa", "MPa", "mbar", "bar", "psi", "mm", "m", "inch"};

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

// The verification's options that take a text, or null.
std::optional<std::string> *verifyText(Options &o, const std::string &w)
{
    auto &v = o.verification;
    static const std::pair<const char *, std::optional<std::string> Options::Verify::*> names[] = {
        {"--plan", &Options::Verify::plan},           {"--points", &Options::Verify::points},
        {"--tolerance", &Options::Verify::tolerance}, {"--uncertainty", &Options::Verify::uncertainty},
        {"--certificate", &Options::Verify::certificate}, {"--operator", &Options::Verify::operatorName},
        {"--tag", &Options::Verify::tag},             {"--customer", &Options::Verify::customer},
        {"--standard", &Options::Verify::standard},   {"--standard-due", &Options::Verify::standardDue},
        {"--language", &Options::Verify::language}};
    for (const auto &[name, member] : names)
        if (w == name)
            return &(v.*member);
    return nullptr;
}

} // namespace

void printHelp()
{
    std::printf("usage: qz5801-cli [--device N | --serial S | --location BUS-PORT | --all] [-q] COMMAND [ARGUMENTS]"
                " [OPTIONS]\n"
                "       qz5801-cli COMMAND --help | --help | --version\n\ncommands:\n");
    for (const auto &c : commands)
        std::printf("  %s\n      %s\n", c.synopsis, c.description);
    std::printf("\noptions (a value after a blank or after =, as in --count=3; -- ends the options):\n"
                "  --device N         the transmitter with instance number N (see list)\n"
                "  --serial S         the transmitter whose memory holds serial number S\n"
                "  --location BUS-PORT the transmitter at that USB location (see list)\n"
                "  --all              info, value, read-config DIR, write-config FILE, publish on every\n"
                "                     transmitter at once\n"
                "  --json             results as JSON (list, info, value, read-config, diff, write-config)\n"
                "  -q, --quiet        no confirmations or warnings; results and failures only\n"
                "  --no-verify        write-config: do not read the configuration back\n"
                "  --dry-run          write-config: show what would change, write nothing\n"
                "  --force            write-config: write after warnings about range and modes (never\n"
                "                     text that is no number, nor a lower value above its higher value)\n"
                "  --count N          watch, publish: stop after N values\n"
                "  --interval SECONDS watch, publish, verify: time between values, at least 0.1 (default 1)\n"
                "  --unit UNIT        watch, verify: Pa kPa MPa mbar bar psi, or mm m inch with the transmitter's gravity\n"
                "                     (verify: default kPa)\n"
                "  --timestamps iso   watch: first column the time in ISO 8601 (UTC)\n"
                "  --timeout SECONDS  wait: give up after this long (default: wait for ever)\n"
                "  --journal URL      the write journal: postgresql://USER@HOST:PORT/DATABASE or an SQLite file\n");
    // As arguments: Windows' names of the places are written between percent signs.
    std::printf("                     (default: %s, else %s)\n", QZ_JOURNAL_VARIABLE_SHOWN, QZ_JOURNAL_DEFAULT_SHOWN);
    std::printf(
                "  --no-journal       write-config: write without a journal record\n"
                "  --since TIME       history: records from TIME on (2026-12-10, 2026-12-10T08:30, local unless Z)\n"
                "  --record ID        restore: the configuration from before this record's write;\n"
                "                     certificate: the verification run to draw again\n"
                "  --broker URL       publish, write-config, restore, verify: the MQTT broker,\n"
                "                     mqtt://[USER[:PASSWORD]@]HOST[:PORT] or mqtts:// (default: $QZ5801_MQTT;\n"
                "                     the password also from $QZ5801_MQTT_PASSWORD)\n"
                "  --topic PREFIX     the topics' prefix (default qz5801): PREFIX/SERIAL/value, status, event\n"
                "  --tls-ca FILE      mqtts: the CA certificate (PEM) that signed the broker's certificate\n"
                "  --points LIST      verify: test points in %% of the nominal range (default 0,25,50,75,100,75,50,25,0)\n"
                "  --readings N       verify: live values averaged per point, 1 to 100 (default 5)\n"
                "  --tolerance T      verify: 0.5%% of the nominal range (default), or a value in the unit\n"
                "  --uncertainty U    verify: the reference's expanded uncertainty (k = 2) in the unit\n"
                "  --certificate FILE verify: the certificate as PDF\n"
                "  --operator, --tag, --customer, --standard TEXT, --standard-due DATE  verify: for the certificate\n"
                "  --plan FILE        verify: a plan saved by the window (the options above override it)\n"
                "  --language L       verify, certificate: en, cs or de (default: the window's language)\n"
                "A write's event goes to the broker when --broker or QZ5801_MQTT is given; a broker that\n"
                "cannot be reached keeps it queued for a later run and never fails the write.\n"
                "\nWith several transmitters attached, --device, --serial, --location or --all is needed.\n"
                "Numbers are decimal, or hexadecimal after 0x.\n"
                "SIGINT, SIGTERM and SIGHUP during write-config and restore wait until the write and its\n"
                "read-back end. Every write is journaled before its first write frame; without a journal\n"
                "nothing is written (exit 1) unless --no-journal is given. While waiting for the journal\n"
                "before the first write frame they end the run at once (nothing written); the journal is\n"
                "waited for at most $QZ5801_JOURNAL_TIMEOUT seconds (default 10).\n"
                "\nexit codes:\n"
                "  0  success (diff: equal; write-config --dry-run: nothing to change)\n"
                "  1  the transmitter does not answer or answers wrongly, a file problem, a failed\n"
                "     check or verification, a configuration a file cannot hold exactly, a journal\n"
                "     that cannot be written (nothing sent)\n"
                "     (diff: different; write-config --dry-run: would change); with --all: any failed\n"
                "  2  usage error, several transmitters and none chosen, several with that serial\n"
                "     number (diff, write-config --dry-run: trouble, such as a missing file or no reply);\n"
                "     publish: the broker cannot be reached, refuses the user or password, or TLS fails\n"
                "  3  no transmitter attached (or none with that instance, serial number or location;\n"
                "     wait: none answered before the timeout)\n"
                "  4  a transmitter is attached but this user may not open it\n"
                "  5  written, but the journal could not record how the write ended (its record\n"
                "     stays \"not finished\"; restore refuses to go past it without --record)\n"
                "  129, 130, 143  ended by SIGHUP, SIGINT (also watch and publish), SIGTERM (also publish)\n");
}

void printCommandHelp(const Command &c)
{
    std::printf("usage: qz5801-cli [--device N | --serial S | --location BUS-PORT%s] %s\n  %s\n",
                (c.options & OptAll) ? " | --all" : "",
                c.synopsis, c.description);
    std::printf("see qz5801-cli --help for the options and exit codes\n");
}

int usageError(const std::string &text)
{
    errorLines(text + "\nTry 'qz5801-cli --help' for more information.");
    return ExitUsage;
}

const Command *findCommand(const std::string &name)
{
    for (const auto &c : commands)
        if (name == c.name)
            return &c;
    return nullptr;
}

std::string parseArguments(int argc, char **argv, Options &o, bool &help, bool &version)
{
    std::vector<std::string> words(argv + 1, argv + argc);
    unsigned used = 0;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < words.size(); ++i) {
        std::string w = words[i];
        std::optional<std::string> attached; // --name=value
        if (!optionsEnded && w.rfind("--", 0) == 0 && w.find('=') != std::string::npos) {
            attached = w.substr(w.find('=') + 1);
            w.erase(w.find('='));
        }
        bool valueTaken = false;
        auto value = [&](std::string &out) {
            valueTaken = true;
            if (attached) {
                out = *attached;
                return true;
            }
            if (i + 1 >= words.size())
                return false;
            out = words[++i];
            return true;
        };
        std::string v;
        if (optionsEnded) {
            (o.command.empty() ? o.command : o.operands.emplace_back()) = w;
            continue;
        }
        if (w == "--") {
            optionsEnded = true;
        } else if (w == "--help" || w == "-h") {
            help = true;
        } else if (w == "--version") {
            version = true;
        } else if (w == "--json") {
            o.json = true;
            used |= OptJson;
        } else if (w == "-q" || w == "--quiet") {
            o.quiet = true;
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
        } else if (w == "--location") {
            if (!value(v) || v.empty())
                return "--location: BUS-PORT is missing";
            if (v.size() > 64 || v.find_first_not_of("0123456789-.") != std::string::npos)
                return "--location: \"" + v + "\" is not a USB location such as 1-2 or 3-1.4";
            o.location = v;
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
            used |= OptInterval;
        } else if (w == "--interval-ms") { // for tests: no wait of a tenth of a second
            if (!value(v) || !parseUnsigned(v, 3600000ul, o.intervalMs))
                return "--interval-ms: a number of milliseconds is missing";
            used |= OptInterval;
        } else if (w == "--unit") {
            if (!value(v))
                return "--unit: UNIT is missing";
            o.unit = -1;
            for (int u = 0; u < 9; ++u)
                if (v == kUnitNames[u])
                    o.unit = u;
            if (o.unit < 0)
                return "--unit: \"" + v + "\" is not one of Pa kPa MPa mbar bar psi mm m inch";
            used |= OptUnit;
        } else if (w == "--timestamps") {
            if (!value(v))
                return "--timestamps: iso is missing";
            if (v != "iso")
                return "--timestamps: \"" + v + "\" is not iso";
            o.isoTimestamps = true;
            used |= OptWatch;
        } else if (w == "--timeout") {
            if (!value(v))
                return "--timeout: SECONDS is missing";
            if (!parseInterval(v, o.timeoutMs))
                return "--timeout: \"" + v + "\" is not a number of seconds from 0.1";
            used |= OptWait;
        } else if (w == "--journal") {
            if (!value(v) || v.empty())
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
        } else if (w == "--broker") {
            if (!value(v) || v.empty())
                return "--broker: URL is missing";
            std::string problem;
            if (!mqtt::parseBrokerAddress(v, problem))
                return "--broker: " + problem;
            o.broker = v;
            used |= OptBroker;
        } else if (w == "--topic") {
            if (!value(v))
                return "--topic: PREFIX is missing";
            if (std::string problem = mqtt::prefixProblem(v); !problem.empty())
                return "--topic: " + problem;
            o.topicPrefix = v;
            used |= OptBroker;
        } else if (w == "--tls-ca") {
            if (!value(v) || v.empty())
                return "--tls-ca: FILE is missing";
            o.tlsCa = v;
            used |= OptBroker;
        } else if (std::optional<std::string> *text = verifyText(o, w)) {
            if (!value(v))
                return w + ": a value is missing";
            if (std::string problem = verifyProblem(w, v); !problem.empty())
                return problem;
            *text = v;
            used |= OptVerify;
        } else if (w == "--readings") {
            if (!value(v))
                return "--readings: N is missing";
            if (!parseUnsigned(v, 100, o.verification.readings) || o.verification.readings == 0)
                return "--readings: \"" + v + "\" is not a number from 1 to 100";
            used |= OptVerify;
        } else if (w.size() > 1 && w[0] == '-' && !(w[1] >= '0' && w[1] <= '9')) {
            return "unknown option " + w;
        } else if (o.command.empty()) {
            o.command = w;
        } else {
            o.operands.push_back(w);
        }
        if (attached && !valueTaken)
            return w + " takes no value";
    }
    if (help || version)
        return {};
    if (o.command.empty())
        return "a command is missing";
    const Command *c = findCommand(o.command);
    if (!c)
        return "unknown command " + o.command;
    const std::string name = c->name;
    if (int(o.device.has_value()) + int(o.serial.has_value()) + int(o.location.has_value()) > 1)
        return name + ": --device, --serial and --location exclude each other";
    if (o.all && (o.device || o.serial || o.location))
        return name + ": --all excludes --device, --serial and --location";
    static const std::pair<unsigned, const char *> optionNames[] = {
        {OptJson, "--json does"},
        {OptAll, "--all does"},
        {OptSelect, "--device, --serial and --location do"},
        {OptWrite, "--no-verify, --dry-run and --force do"},
        {OptWatch, "--count and --timestamps do"},
        {OptUnit, "--unit does"},
        {OptInterval, "--interval does"},
        {OptVerify, "the verification options do"},
        {OptWait, "--timeout does"},
        {OptJournal, "--journal does"},
        {OptNoJournal, "--no-journal does"},
        {OptSince, "--since does"},
        {OptRecord, "--record does"},
        {OptBroker, "--broker, --topic and --tls-ca do"}};
    for (const auto &[bit, names] : optionNames)
        if ((used & bit) && !(c->options & bit))
            return name + ": " + names + " not apply";
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
    if (name == "history" && (o.device || o.location))
        return "history: --device and --location do not apply (--serial chooses the records)";
    if (name == "certificate" && !o.recordId)
        return "certificate: --record N is missing";
    if (name == "certificate") {
        const auto &v = o.verification;
        if (v.plan || v.points || v.tolerance || v.uncertainty || v.certificate || v.operatorName || v.tag ||
            v.customer || v.standard || v.standardDue || v.readings)
            return "certificate: only --record, --journal and --language apply";
    }
    if (o.journalAddress && o.noJournal)
        return name + ": --journal and --no-journal exclude each other";
    if (name == "publish" && (o.unit >= 0 || o.isoTimestamps))
        return "publish: --unit and --timestamps do not apply";
    if (name == "publish" && !o.broker && !std::getenv(mqtt::kBrokerVariable))
        return "publish: --broker is missing (or set QZ5801_MQTT)";
    if (o.all && name == "read-config" && o.operands.empty())
        return "read-config: --all needs a folder DIR for the files";
    return {};
}


} // namespace cli
