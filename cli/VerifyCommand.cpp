// verify: a verification run for rigs with a controlled pressure source, and
// certificate: its certificate drawn again from the journal.
#include "Cli.h"
#include "PublishShared.h"
#include "WriteJournal.h"

#include "Certificate.h"
#include "ConfigurationExchange.h"
#include "DeviceInfo.h"
#include "Journal.h"
#include "Lang.h"
#include "LiveValue.h"
#include "NumberText.h"
#include "Plan.h"
#include "Run.h"
#include "Settings.h"
#include "Units.h"

#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <thread>

#ifndef QZ_VERSION
#define QZ_VERSION "unknown"
#endif

namespace cli {

namespace {

using namespace verification;

constexpr int kDefaultUnit = 1; // kPa
constexpr int kFirstLengthUnit = 6;
constexpr std::size_t kMaxInputLine = 256;
// Missed polls in a row (command 1 answered, the value not) before a point gives up.
constexpr int kMaxMissedPolls = 3;

QString fromLocal(const std::optional<std::string> &text) { return text ? QString::fromLocal8Bit(text->c_str()) : QString(); }

// --language, else the window's language from its settings file.
Translator certificateLanguage(const Options &options)
{
    loadLanguageCatalogue();
    int wanted = readUserSettings(settingsFilePath(QStringLiteral("qz5801.ini"))).language;
    if (options.verification.language) {
        const std::string &l = *options.verification.language;
        const QString shortName = QString::fromLatin1(l == "cs" ? "CZ" : l == "de" ? "DE" : "UK");
        wanted = 0;
        for (int i = 0; i < languageCount; ++i)
            if (languageShorts[i].compare(shortName, Qt::CaseInsensitive) == 0)
                wanted = i;
    }
    currentLanguage = wanted;
    loadMessageTable();
    return [](const QString &key) { return translate(key); };
}

bool drawCertificate(const Run &run, const QString &sha, const Options &options, const std::string &path, Sink &sink)
{
    QString problem;
    if (!writeCertificate(run, sha, certificateLanguage(options), QString::fromLocal8Bit(path.c_str()), problem)) {
        sink.err("Cannot write the certificate " + path + ": " + problem.toStdString());
        return false;
    }
    sink.note("certificate " + path);
    return true;
}

// The plan: --plan's file or the defaults, then each option given.
std::optional<Plan> planOf(const Options &options, Sink &sink)
{
    const Options::Verify &v = options.verification;
    Plan plan;
    if (v.plan) {
        QString problem;
        std::optional<Plan> loaded = loadPlan(fromLocal(v.plan), problem);
        if (!loaded) {
            sink.err(*v.plan + ": " + problem.toStdString());
            return std::nullopt;
        }
        plan = *loaded;
    }
    if (v.points)
        plan.points = *parsePoints(fromLocal(v.points)); // checked while parsing
    if (v.readings)
        plan.readings = int(v.readings);
    if (v.tolerance)
        parseTolerance(fromLocal(v.tolerance), plan.toleranceKind, plan.tolerance);
    if (v.uncertainty)
        plan.uncertainty = fromLocal(v.uncertainty).toDouble();
    if (v.operatorName)
        plan.operatorName = fromLocal(v.operatorName);
    if (v.tag)
        plan.tag = fromLocal(v.tag);
    if (v.customer)
        plan.customer = fromLocal(v.customer);
    if (v.standard)
        plan.standard.name = fromLocal(v.standard);
    if (v.standardDue)
        plan.standard.due = QDate::fromString(fromLocal(v.standardDue), Qt::ISODate);
    if (const QString problem = planProblem(plan); !problem.isEmpty()) {
        sink.err(problem.toStdString());
        return std::nullopt;
    }
    return plan;
}

// The unit, its factor from the transmitter's gravity for a length unit.
UnitInfo unitOf(int unit, float gravity)
{
    UnitInfo u;
    if (unit < kFirstLengthUnit) {
        const display::PressureUnit &p = display::kPressureUnits[unit];
        u.text = QString::fromLatin1(p.text);
        u.factor = p.factor;
        u.decimals = p.decimals;
    } else {
        const display::LengthUnit &l = display::kLengthUnits[unit - kFirstLengthUnit];
        u.text = QString::fromLatin1(l.text);
        u.factor = display::lengthUnitFactor(unit - kFirstLengthUnit, gravity).value_or(0);
        u.decimals = l.decimals;
    }
    return u;
}

std::string shown(const Run &run, double pa, int extra = 1)
{
    if (!std::isfinite(pa))
        return "-";
    return formatNumber(float(pa * double(run.unit.factor)), std::clamp(run.unit.decimals + extra, 1, 4)).toStdString();
}

// One line of standard input; nothing at its end or for a line too long.
std::optional<std::string> inputLine(bool &tooLong)
{
    char buffer[kMaxInputLine + 2];
    tooLong = false;
    if (!std::fgets(buffer, sizeof buffer, stdin))
        return std::nullopt;
    std::string line(buffer);
    if (!line.empty() && line.back() == '\n')
        line.pop_back();
    else if (line.size() > kMaxInputLine) {
        tooLong = true;
        return std::nullopt;
    }
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return line;
}

enum class Taken { Point, Trouble };

// Asks for a point's reference and takes its readings; a stop in the run when it cannot.
Taken takePoint(TFix64 &link, Run &run, std::size_t index, const Options &options, Sink &sink)
{
    const double percent = run.plan.points[index];
    const double nominal = nominalPa(run, percent);
    const std::string unit = run.unit.text.toStdString();
    const int number = int(index) + 1;
    const auto stop = [&](const char *reason, const std::string &message) {
        run.stop = Stop{QString::fromLatin1(reason), Phase::AsFound, number};
        sink.err(message);
        return Taken::Trouble;
    };
    sink.out("point " + std::to_string(number) + " of " + std::to_string(run.plan.points.size()) + ": " +
             QString::number(percent, 'g', QLocale::FloatingPointShortest).toStdString() + " % = " +
             shown(run, nominal, 0) + " " + unit + "; apply it and enter the reference reading in " + unit +
             " (empty: " + shown(run, nominal, 0) + ")\n");
    std::fflush(stdout);
    bool tooLong = false;
    const std::optional<std::string> line = inputLine(tooLong);
    if (!line)
        return stop("The operator stopped the run",
                    tooLong ? "point " + std::to_string(number) + ": the reference reading is too long"
                            : "standard input ended before point " + std::to_string(number));
    double reference = nominal;
    if (!QString::fromLocal8Bit(line->c_str()).trimmed().isEmpty()) {
        const std::optional<float> typed = readNumber(QString::fromLocal8Bit(line->c_str()).trimmed());
        if (!typed || !std::isfinite(*typed))
            return stop("The reference reading is not a number",
                        "point " + std::to_string(number) + ": " + quoted(*line) + " is not a number");
        reference = double(*typed) / double(run.unit.factor);
    }
    std::vector<float> readings;
    int missed = 0;
    while (int(readings.size()) < run.plan.readings) {
        if (!readings.empty() || missed)
            std::this_thread::sleep_for(std::chrono::milliseconds(options.intervalMs));
        const display::Poll poll = display::pollLiveValue(link);
        if (poll.outcome == display::Poll::Value) {
            readings.push_back(poll.value);
            missed = 0;
        } else if (poll.outcome == display::Poll::SwitchOff || ++missed >= kMaxMissedPolls) {
            return stop("The transmitter stopped answering",
                        "point " + std::to_string(number) + ": " + kTextNoReply + "; the run ends here");
        }
    }
    recordPoint(run, Phase::AsFound, percent, reference, std::move(readings));
    const PointRecord &p = run.asFound.back();
    std::string result = p.result.verdict == Verdict::Pass ? "pass" : "FAIL";
    if (p.result.certainty != Certainty::NotStated)
        result += p.result.certainty == Certainty::Conclusive ? " (conclusive)" : " (inconclusive)";
    if (!p.result.problem.isEmpty())
        result += ": " + p.result.problem.toStdString();
    sink.out("point " + std::to_string(number) + ": reference " + shown(run, p.referencePa) + ", reading " +
             shown(run, p.result.mean) + ", error " + shown(run, p.result.error) + ", tolerance ±" +
             shown(run, tolerancePa(run)) + " " + unit + ": " + result + "\n");
    std::fflush(stdout);
    return Taken::Point;
}

} // namespace

std::string verifyProblem(const std::string &option, const std::string &value)
{
    const QString v = QString::fromLocal8Bit(value.c_str());
    if (option == "--points" && !parsePoints(v))
        return "--points: \"" + value + "\" is not 2 to 50 percentages from -100 to 200, comma-separated";
    ToleranceKind kind{};
    double number = 0;
    if (option == "--tolerance" && !parseTolerance(v, kind, number))
        return "--tolerance: \"" + value + "\" is not a positive number, or one with % of the nominal range";
    if (option == "--uncertainty") {
        bool ok = false;
        const double u = v.trimmed().toDouble(&ok);
        if (!ok || !std::isfinite(u) || u < 0)
            return "--uncertainty: \"" + value + "\" is not a number from 0";
    }
    if (option == "--standard-due" && !QDate::fromString(v, Qt::ISODate).isValid())
        return "--standard-due: \"" + value + "\" is not a date (YYYY-MM-DD)";
    if (option == "--language" && value != "en" && value != "cs" && value != "de")
        return "--language: \"" + value + "\" is not en, cs or de";
    if (value.empty())
        return option + ": the value is empty";
    if (v.size() > kMaxTextLength)
        return option + ": the text is longer than " + std::to_string(kMaxTextLength) + " characters";
    return {};
}

int runVerify(TFix64 &link, const Target &target, const Options &options, Sink &sink)
{
    std::optional<Plan> plan = planOf(options, sink);
    if (!plan)
        return ExitTrouble;
    std::unique_ptr<journal::Journal> book;
    if (!options.noJournal) {
        try {
            book = openJournalOf(options, "Cannot use the journal: ");
        } catch (const journal::JournalError &e) {
            sink.err(e.what());
            sink.err("Nothing was measured: every run is journaled (--no-journal runs without a record)");
            return ExitTrouble;
        }
    }
    Run run;
    run.plan = *plan;
    run.started = nowWithOffset();
    run.program = QStringLiteral("qz5801-cli");
    run.version = QStringLiteral(QZ_VERSION);
    run.transmitter.location = QString::fromStdString(target.location);
    ConfigurationRecord record;
    try {
        config::ReadHooks hooks;
        hooks.modeRead = [&](int output, int mode) { run.transmitter.modes[output] = mode; };
        config::readConfiguration(link, record, hooks);
        run.transmitter.serial = display::readSerialNumber(link);
    } catch (const std::exception &) {
        sink.err(std::string(kTextNoReply) + ": the configuration could not be read");
        return ExitTrouble;
    }
    run.transmitter.rangePa = record.nominalRange;
    run.transmitter.gravity = record.specificGravity;
    for (int i = 0; i < 6; ++i)
        run.transmitter.values[i] = record.limitValue(i);
    run.unit = unitOf(options.unit < 0 ? kDefaultUnit : options.unit, record.specificGravity);
    run.certificate = newCertificateNumber(run.transmitter.serial, run.started);
    journal::Entry entry;
    journal::stampEntry(entry, run.program, run.version);
    run.station = entry.station;

    if (standardOverdue(run))
        sink.err("the reference standard is past its due date (" +
                 run.plan.standard.due.toString(Qt::ISODate).toStdString() + "); the run goes on and the certificate says so");
    // as checking "Actual value" does: fresh pipes, no transaction
    resetPipes(link);
    for (std::size_t i = 0; i < run.plan.points.size() && !run.stop; ++i)
        takePoint(link, run, i, options, sink);
    run.finished = nowWithOffset();

    const QByteArray data = runData(run);
    const QString sha = sha256Hex(data);
    const Verdict verdict = overallVerdict(run);
    entry.operation = QStringLiteral("verification");
    entry.serial = run.transmitter.serial;
    entry.location = run.transmitter.location;
    entry.begun = run.started.toUTC();
    entry.finished = run.finished.toUTC();
    entry.result = run.stop ? journal::Result::Failed
                            : verdict == Verdict::Pass ? journal::Result::Passed : journal::Result::NotPassed;
    entry.detail = run.stop ? run.stop->reason + QStringLiteral(" at point %1").arg(run.stop->point)
                            : QStringLiteral("%1 of %2 points fail").arg(failedPoints(run.asFound)).arg(run.asFound.size());
    entry.attachment = journal::Attachment{QStringLiteral("verification"), run.certificate, data, sha};
    bool journaled = options.noJournal;
    if (book) {
        try {
            book->add(entry);
            journaled = true;
            publishJournalEvent(options, entry, sink);
        } catch (const journal::JournalError &e) {
            sink.err(e.what());
        }
    }
    bool certified = true;
    if (options.verification.certificate && journaled)
        certified = drawCertificate(run, sha, options, *options.verification.certificate, sink);

    if (options.json) {
        QJsonObject o = QJsonDocument::fromJson(data).object();
        o.insert("data_sha256", sha);
        o.insert("record", book && entry.id ? QJsonValue(double(entry.id)) : QJsonValue());
        o.insert("certificate_file", options.verification.certificate && certified && journaled
                                         ? QJsonValue(QFileInfo(fromLocal(options.verification.certificate)).absoluteFilePath())
                                         : QJsonValue());
        sink.json(o);
    } else {
        std::string summary = "result: ";
        summary += run.stop ? "not finished" : verdict == Verdict::Pass ? "pass" : "FAIL";
        summary += " (" + std::to_string(failedPoints(run.asFound)) + " of " + std::to_string(run.asFound.size()) +
                   " points fail), certificate " + run.certificate.toStdString() + ", data sha256 " +
                   sha.toStdString();
        if (book && entry.id)
            summary += ", journal record #" + std::to_string(entry.id);
        sink.out(summary + "\n");
    }
    if (!journaled || !certified || run.stop)
        return ExitTrouble;
    return verdict == Verdict::Pass ? ExitOk : ExitFailure;
}

int runCertificate(const Options &options)
{
    Sink sink(false, options.quiet);
    std::optional<journal::Entry> entry;
    try {
        const std::unique_ptr<journal::Journal> book = openJournalOf(options, "Cannot use the journal: ");
        entry = book->record(qint64(*options.recordId));
    } catch (const journal::JournalError &e) {
        return sink.fail(e.what());
    }
    if (!entry)
        return sink.fail("The journal has no record #" + std::to_string(*options.recordId));
    if (!entry->attachment || entry->attachment->kind != QLatin1String("verification"))
        return sink.fail("Record #" + std::to_string(*options.recordId) + " is not a verification run");
    const journal::Attachment &a = *entry->attachment;
    if (sha256Hex(a.data) != a.dataSha256)
        return sink.fail("Record #" + std::to_string(*options.recordId) +
                         ": its data does not match its SHA-256; no certificate drawn");
    QString problem;
    const std::optional<Run> run = runFromData(a.data, problem);
    if (!run)
        return sink.fail("Record #" + std::to_string(*options.recordId) + ": " + problem.toStdString());
    return drawCertificate(*run, a.dataSha256, options, options.operands[0], sink) ? ExitOk : ExitFailure;
}

} // namespace cli
