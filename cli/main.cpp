// Dispatch: the command line read, the transmitter chosen (or all of them),
// the command run.
#include "Arguments.h"
#include "ConfigShared.h"
#include "SharedJournal.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <memory>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <clocale>
#include <cstdio>
#include <cstring>
#include <latch>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#ifndef QZ_VERSION
#define QZ_VERSION "unknown"
#endif

namespace {

using namespace cli;

std::string instanceLine(TFix64 &link, uint32_t i)
{
    const std::optional<uint16_t> serial = readSerial(link, i);
    const std::string location = link.deviceLocation(i);
    return "  --device " + std::to_string(i) + "  " +
           (serial ? "--serial " + std::to_string(*serial) : std::string("(serial number unknown)")) +
           (location.empty() ? "" : "  at " + location);
}

int deniedFailure(uint32_t instance)
{
    errorLines("The transmitter (instance " + std::to_string(instance) +
               ") is attached, but this user may not open it\n" + accessHint());
    return ExitDenied;
}

// Picks the transmitter of --device, --serial, --location or the only one attached.
int selectTarget(TFix64 &link, const Options &o, Target &target)
{
    const uint32_t count = link.deviceCount();
    if (count == 0) {
        errorLines("No transmitter is attached");
        return ExitNoDevice;
    }
    if (o.device) {
        if (*o.device >= count) {
            errorLines("No transmitter with instance " + std::to_string(*o.device) + " is attached (" +
                       std::to_string(count) + " attached)");
            return ExitNoDevice;
        }
        target.instance = *o.device;
    } else if (o.location) {
        bool found = false;
        for (uint32_t i = 0; i < count && !found; ++i)
            if (link.deviceLocation(i) == *o.location) {
                target.instance = i;
                found = true;
            }
        if (!found) {
            errorLines("No transmitter is attached at USB location " + *o.location);
            return ExitNoDevice;
        }
    } else if (o.serial) {
        std::vector<uint32_t> matching;
        bool denied = false;
        for (uint32_t i = 0; i < count; ++i) {
            if (link.deviceAccess(i) == DeviceAccess::Denied) {
                denied = true;
                continue;
            }
            const std::optional<uint16_t> serial = readSerial(link, i);
            if (serial && *serial == *o.serial)
                matching.push_back(i);
        }
        if (matching.empty()) {
            errorLines("No transmitter with serial number " + std::to_string(*o.serial) + " is attached" +
                       (denied ? std::string("\n") + accessHint() : ""));
            return ExitNoDevice;
        }
        if (matching.size() > 1) {
            std::string text = std::to_string(matching.size()) + " transmitters have serial number " +
                               std::to_string(*o.serial) + "; choose one with --location:";
            for (uint32_t i : matching)
                text += "\n  --location " + link.deviceLocation(i) + "  (--device " + std::to_string(i) + ")";
            errorLines(text);
            return ExitUsage;
        }
        target.instance = matching.front();
        target.serial = static_cast<uint16_t>(*o.serial);
    } else if (count > 1) {
        std::string text = o.command + ": " + std::to_string(count) +
                           " transmitters are attached; choose one with --device, --serial or --location" +
                           (findCommand(o.command)->options & OptAll ? " (or use --all)" : "") + ":";
        for (uint32_t i = 0; i < count; ++i)
            text += "\n" + instanceLine(link, i);
        errorLines(text);
        return ExitUsage;
    }
    if (link.deviceAccess(target.instance) == DeviceAccess::Denied)
        return deniedFailure(target.instance);
    target.location = link.deviceLocation(target.instance);
    connectTo(link, target.instance);
    return ExitOk;
}

void printLines(const std::string &prefix, const std::string &text, bool toErr)
{
    std::size_t start = 0;
    std::string all;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        all += prefix;
        all.append(text, start, end - start);
        all += '\n';
        start = end + 1;
    }
    if (toErr)
        errorLines(all);
    else
        std::fwrite(all.data(), 1, all.size(), stdout);
}

// Where --all read-config DIR puts each transmitter: SERIAL.cfg, or
// SERIAL-LOCATION.cfg for serial numbers that more than one holds.
std::string fileNameFor(const std::string &dir, const Target &t, const std::map<uint16_t, int> &serials)
{
    std::string name = std::to_string(*t.serial);
    if (serials.at(*t.serial) > 1)
        name += "-" + (t.location.empty() ? "instance" + std::to_string(t.instance) : t.location);
    return QDir(QString::fromLocal8Bit(dir.c_str()))
        .filePath(QString::fromStdString(name) + ".cfg")
        .toLocal8Bit()
        .toStdString();
}

// One thread per transmitter, each with its own link; results printed per
// serial number once all are done, in instance order.
int runAll(const Command &c, const Options &o)
{
    const auto none = [&](int code) {
        if (o.json)
            std::printf("[]\n");
        return code;
    };
    TFix64 probe;
    Sink probeSink(false);
    if (!loadLink(probe, probeSink))
        return none(ExitFailure);
    const uint32_t count = probe.deviceCount();
    if (count == 0) {
        errorLines("No transmitter is attached");
        return none(ExitNoDevice);
    }
    if (c.run == runReadConfig) {
        const QString dir = QString::fromLocal8Bit(o.operands[0].c_str());
        if (!QDir().mkpath(dir)) {
            errorLines("Cannot create the folder " + o.operands[0]);
            return none(ExitFailure);
        }
    }
    struct Job {
        Target target;
        Sink sink;
        int code = ExitFailure;
        bool denied = false;
        bool ready = false;
    };
    std::vector<Job> jobs;
    for (uint32_t i = 0; i < count; ++i)
        jobs.push_back(Job{Target{}, Sink(true, o.quiet)});
    std::map<uint16_t, int> serials; // how many hold each serial number
    std::mutex serialsMutex;
    std::latch serialsKnown(count);
    std::vector<std::thread> threads;
    for (uint32_t i = 0; i < count; ++i) {
        threads.emplace_back([&, &job = jobs[i], i] {
            job.target.instance = i;
            TFix64 link;
            if (!loadLink(link, job.sink)) {
                serialsKnown.count_down();
                return;
            }
            if (link.deviceAccess(i) == DeviceAccess::Denied) {
                job.denied = true;
                job.code = ExitDenied;
                job.sink.err("attached, but this user may not open it");
            } else {
                job.target.location = link.deviceLocation(i);
                job.target.serial = readSerial(link, i);
                if (job.target.serial) {
                    job.ready = true;
                    std::lock_guard lock(serialsMutex);
                    ++serials[*job.target.serial];
                } else {
                    job.sink.fail(kTextNoReply);
                }
            }
            serialsKnown.arrive_and_wait();
            if (!job.ready)
                return;
            if (c.run == runReadConfig)
                job.target.fileName = fileNameFor(o.operands[0], job.target, serials);
            job.code = c.run(link, job.target, o, job.sink);
        });
    }
    for (auto &t : threads)
        t.join();

    int code = ExitOk;
    bool anyDenied = false, anyOther = false, anyUsage = false;
    QJsonArray results;
    for (Job &job : jobs) {
        const std::string name = job.target.serial
                                     ? std::to_string(*job.target.serial) +
                                           (serials[*job.target.serial] > 1 ? " at " + job.target.location : "")
                                     : "instance " + std::to_string(job.target.instance);
        if (o.json) {
            QJsonObject entry{{"instance", int(job.target.instance)},
                              {"serial", job.target.serial ? QJsonValue(int(*job.target.serial)) : QJsonValue()},
                              {"location", QString::fromStdString(job.target.location)},
                              {"exit_code", job.code},
                              {"result", job.sink.jsonValue}};
            if (!job.sink.differing.isUndefined())
                entry.insert("different_fields", job.sink.differing);
            entry.insert("error", job.sink.errText.empty()
                                      ? QJsonValue()
                                      : QJsonValue(QString::fromStdString(job.sink.errText).trimmed()));
            results.append(entry);
        } else {
            printLines(name + ": ", job.sink.outText, false);
            if (job.code == ExitOk && job.sink.outText.empty() && !o.quiet)
                std::printf("%s: done\n", name.c_str());
        }
        printLines(name + ": ", job.sink.errText, true);
        anyDenied = anyDenied || job.denied;
        anyUsage = anyUsage || job.code == ExitUsage;
        if (job.code > 128)
            code = job.code;
        else if (job.code != ExitOk && job.code != ExitDenied)
            anyOther = true;
    }
    if (o.json)
        std::printf("%s", QJsonDocument(results).toJson(QJsonDocument::Indented).constData());
    if (anyDenied)
        errorLines(accessHint());
    std::fflush(stdout);
    if (code > 128)
        return code;
    if (c.run == runPublish && anyUsage)
        return ExitUsage; // the broker refused or cannot be reached, as without --all
    return anyOther ? ExitFailure : anyDenied ? ExitDenied : ExitOk;
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
    // Only with an application object does Qt look beside the program for its
    // plugins; a Windows install keeps sqldrivers\qsqlite.dll there. Qt's own
    // arguments are not ours: it sees the program's name only.
    static int qtArgc = 1;
    std::unique_ptr<QCoreApplication> application;
    if (options.command == "verify" || options.command == "certificate") {
        // a certificate needs fonts, hence Qt Gui; a PDF needs no display
        if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        // the platform's start-up notes (no runtime folder, and such) are not the user's business
        const QtMessageHandler before =
            qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
        application = std::make_unique<QGuiApplication>(qtArgc, argv);
        qInstallMessageHandler(before);
    } else {
        application = std::make_unique<QCoreApplication>(qtArgc, argv);
    }
    // Qt takes the user's locale on Unix; files and output are read and
    // written with C's numbers, as before.
    std::setlocale(LC_ALL, "C");

    const Command &c = *findCommand(options.command);
    if (c.run == nullptr)
        return options.command == "wait"          ? runWait(options)
               : options.command == "history"     ? runHistory(options)
               : options.command == "certificate" ? runCertificate(options)
                                                  : runList(options);
    if (c.run == runWriteConfig || c.run == runRestore)
        holdSignals(); // from before the first bracket, so --all starts none after a signal
    // The connection is made while the file is read and the transmitter
    // answers; the record still waits for it before the first write frame.
    if (c.run == runWriteConfig && !options.noJournal && !options.dryRun)
        startJournal(options);
    if (options.all) {
        std::optional<LoadedFile> file;
        if (c.run == runWriteConfig) {
            // every transmitter gets the same bytes, whatever happens to the file meanwhile
            Sink sink(false, options.quiet);
            file = loadFile(options.operands[0], sink);
            if (!file)
                return finishJournal(options.json ? (std::printf("[]\n"), ExitFailure) : ExitFailure);
            options.preloaded = &*file;
        }
        return finishJournal(runAll(c, options));
    }

    TFix64 link;
    theLink = &link; // the one link of this run
    Sink sink(false, options.quiet);
    // finishJournal also where the journal opening meanwhile is not waited for
    if (!loadLink(link, sink))
        return finishJournal(ExitFailure);
    Target target;
    if (int code = selectTarget(link, options, target); code != ExitOk)
        return finishJournal(code);
    const int code = c.run(link, target, options, sink);
    std::fflush(stdout);
    return finishJournal(code);
}
