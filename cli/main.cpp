// Dispatch: the command line read, the transmitter chosen (or all of them),
// the command run.
#include "Arguments.h"

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
        return runList(options);
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
