#include "Run.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>

#include <cmath>

namespace verification {

namespace {

constexpr int kDataFormat = 1;
// Bounds on what a stored record may hold.
constexpr qsizetype kMaxDataBytes = 4 * 1024 * 1024;
constexpr int kMaxSwitches = 60;

// NaN and infinity have no JSON number: they are kept as null.
QJsonValue number(double v) { return std::isfinite(v) ? QJsonValue(v) : QJsonValue(); }
double numberFrom(const QJsonValue &v) { return v.isDouble() ? v.toDouble() : std::nan(""); }

const char *phaseCode(Phase p) { return p == Phase::AsFound ? "as-found" : "as-left"; }

QJsonArray pointsJson(const std::vector<PointRecord> &points)
{
    QJsonArray out;
    for (const PointRecord &p : points) {
        QJsonArray readings;
        for (float v : p.readingsPa)
            readings.append(number(v));
        out.append(QJsonObject{{"percent", p.percent},
                               {"reference_pa", number(p.referencePa)},
                               {"readings_pa", readings},
                               {"mean_pa", number(p.result.mean)},
                               {"error_pa", number(p.result.error)},
                               {"result", p.result.verdict == Verdict::Pass ? "pass" : "fail"},
                               {"conclusive", p.result.certainty == Certainty::NotStated
                                                  ? QJsonValue()
                                                  : QJsonValue(p.result.certainty == Certainty::Conclusive)},
                               {"problem", p.result.problem}});
    }
    return out;
}

bool pointsFrom(Run &run, Phase phase, const QJsonValue &value, QString &problem)
{
    const QJsonArray points = value.toArray();
    if (points.size() > kMaxPoints) {
        problem = QStringLiteral("too many points");
        return false;
    }
    for (const QJsonValue &pv : points) {
        const QJsonObject p = pv.toObject();
        std::vector<float> readings;
        const QJsonArray r = p.value("readings_pa").toArray();
        if (r.size() > kMaxReadings) {
            problem = QStringLiteral("too many readings");
            return false;
        }
        for (const QJsonValue &v : r)
            readings.push_back(float(numberFrom(v)));
        // the results follow from the readings again, as they did when taken
        recordPoint(run, phase, numberFrom(p.value("percent")), numberFrom(p.value("reference_pa")),
                    std::move(readings));
    }
    return true;
}

QString timeText(const QDateTime &t) { return t.isValid() ? t.toString(Qt::ISODateWithMs) : QString(); }

} // namespace

double tolerancePa(const Run &run)
{
    return tolerancePa(run.plan.toleranceKind, run.plan.tolerance, run.transmitter.rangePa, run.unit.factor);
}

std::optional<double> uncertaintyPa(const Run &run)
{
    if (!run.plan.uncertainty || run.unit.factor == 0)
        return std::nullopt;
    return *run.plan.uncertainty / double(run.unit.factor);
}

double nominalPa(const Run &run, double percent) { return percent / 100.0 * double(run.transmitter.rangePa); }

void recordPoint(Run &run, Phase phase, double percent, double referencePa, std::vector<float> readingsPa)
{
    PointRecord p;
    p.percent = percent;
    p.referencePa = referencePa;
    p.result = evaluatePoint(referencePa, readingsPa, tolerancePa(run), uncertaintyPa(run));
    p.readingsPa = std::move(readingsPa);
    (phase == Phase::AsFound ? run.asFound : run.asLeft).push_back(std::move(p));
}

void recordSwitch(Run &run, int output, Direction direction, double readingPa)
{
    if (output < 1 || output > 3)
        return;
    SwitchRecord s;
    s.output = output;
    s.mode = run.transmitter.modes[output - 1];
    s.direction = direction;
    s.readingPa = readingPa;
    const std::optional<double> expected =
        expectedSwitchPa(s.mode, direction, run.transmitter.values[2 * (output - 1)],
                         run.transmitter.values[2 * (output - 1) + 1], readingPa);
    s.expectedPa = expected.value_or(std::nan(""));
    // the same decision as a point's, with the switching value as the reference
    s.verdict = expected ? evaluatePoint(*expected, {float(readingPa)}, tolerancePa(run), std::nullopt).verdict
                         : Verdict::Fail;
    run.switches.push_back(s);
}

bool standardOverdue(const Run &run)
{
    return run.plan.standard.due.isValid() && run.started.isValid() && run.plan.standard.due < run.started.date();
}

int failedPoints(const std::vector<PointRecord> &points)
{
    int n = 0;
    for (const PointRecord &p : points)
        n += p.result.verdict == Verdict::Fail;
    return n;
}

Verdict overallVerdict(const Run &run)
{
    if (run.stop)
        return Verdict::Fail;
    const std::vector<PointRecord> &final = run.asLeft.empty() ? run.asFound : run.asLeft;
    if (final.empty() || failedPoints(final) > 0)
        return Verdict::Fail;
    for (const SwitchRecord &s : run.switches)
        if (s.verdict == Verdict::Fail)
            return Verdict::Fail;
    return Verdict::Pass;
}

QString newCertificateNumber(const std::optional<int> &serial, const QDateTime &time)
{
    return QStringLiteral("QZ-%1-%2-%3")
        .arg(serial ? QString::number(*serial) : QStringLiteral("0"),
             time.toString(QStringLiteral("yyyyMMdd-HHmmss")),
             QStringLiteral("%1").arg(QRandomGenerator::system()->bounded(0x10000), 4, 16, QLatin1Char('0')).toUpper());
}

QDateTime nowWithOffset()
{
    QDateTime t = QDateTime::currentDateTime();
    t = t.addMSecs(-t.time().msec()); // whole seconds: the certificate shows no more
    return t.toOffsetFromUtc(t.offsetFromUtc());
}

QByteArray runData(const Run &run)
{
    const TransmitterInfo &t = run.transmitter;
    QJsonArray values, modes, switches;
    for (float v : t.values)
        values.append(number(v));
    for (int m : t.modes)
        modes.append(m);
    for (const SwitchRecord &s : run.switches)
        switches.append(QJsonObject{{"output", s.output},
                                    {"direction", s.direction == Direction::Rising ? "rising" : "falling"},
                                    {"reading_pa", number(s.readingPa)}});
    QJsonObject o{
        {"format", kDataFormat},
        {"certificate", run.certificate},
        {"plan", planObject(run.plan)},
        {"transmitter",
         QJsonObject{{"model", "QZ5801"},
                     {"serial", t.serial ? QJsonValue(*t.serial) : QJsonValue()},
                     {"location", t.location},
                     {"range_pa", number(t.rangePa)},
                     {"gravity", number(t.gravity)},
                     {"values_pa", values},
                     {"modes", modes}}},
        {"unit", QJsonObject{{"text", run.unit.text}, {"factor", double(run.unit.factor)}, {"decimals", run.unit.decimals}}},
        {"started", timeText(run.started)},
        {"finished", timeText(run.finished)},
        {"station", run.station},
        {"program", run.program},
        {"version", run.version},
        {"as_found", pointsJson(run.asFound)},
        {"as_left", pointsJson(run.asLeft)},
        {"zero_adjustment", run.zeroAdjustment ? QJsonValue(QJsonArray{number(run.zeroAdjustment->first),
                                                                       number(run.zeroAdjustment->second)})
                                               : QJsonValue()},
        {"switch_points", switches},
        {"stop", run.stop ? QJsonValue(QJsonObject{{"reason", run.stop->reason},
                                                   {"phase", phaseCode(run.stop->phase)},
                                                   {"point", run.stop->point}})
                          : QJsonValue()},
        {"result", overallVerdict(run) == Verdict::Pass ? "pass" : "fail"}};
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

std::optional<Run> runFromData(const QByteArray &data, QString &problem)
{
    if (data.size() > kMaxDataBytes) {
        problem = QStringLiteral("the run's data is too large");
        return std::nullopt;
    }
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(data, &error);
    if (!doc.isObject() || doc.object().value("format").toInt() != kDataFormat) {
        problem = QStringLiteral("the record holds no verification run");
        return std::nullopt;
    }
    const QJsonObject o = doc.object();
    Run run;
    run.certificate = o.value("certificate").toString();
    const std::optional<Plan> plan = planFromObject(o.value("plan").toObject(), problem);
    if (!plan)
        return std::nullopt;
    run.plan = *plan;
    const QJsonObject t = o.value("transmitter").toObject();
    if (t.value("serial").isDouble())
        run.transmitter.serial = t.value("serial").toInt();
    run.transmitter.location = t.value("location").toString();
    run.transmitter.rangePa = float(numberFrom(t.value("range_pa")));
    run.transmitter.gravity = float(numberFrom(t.value("gravity")));
    const QJsonArray values = t.value("values_pa").toArray();
    const QJsonArray modes = t.value("modes").toArray();
    for (int i = 0; i < 6 && i < values.size(); ++i)
        run.transmitter.values[i] = float(numberFrom(values[i]));
    for (int i = 0; i < 3 && i < modes.size(); ++i)
        run.transmitter.modes[i] = modes[i].toInt(-1);
    const QJsonObject unit = o.value("unit").toObject();
    run.unit.text = unit.value("text").toString();
    run.unit.factor = float(unit.value("factor").toDouble());
    run.unit.decimals = unit.value("decimals").toInt();
    run.started = QDateTime::fromString(o.value("started").toString(), Qt::ISODateWithMs);
    run.finished = QDateTime::fromString(o.value("finished").toString(), Qt::ISODateWithMs);
    run.station = o.value("station").toString();
    run.program = o.value("program").toString();
    run.version = o.value("version").toString();
    if (!pointsFrom(run, Phase::AsFound, o.value("as_found"), problem) ||
        !pointsFrom(run, Phase::AsLeft, o.value("as_left"), problem))
        return std::nullopt;
    if (const QJsonArray z = o.value("zero_adjustment").toArray(); z.size() == 2)
        run.zeroAdjustment = std::pair(float(numberFrom(z[0])), float(numberFrom(z[1])));
    const QJsonArray switches = o.value("switch_points").toArray();
    if (switches.size() > kMaxSwitches) {
        problem = QStringLiteral("too many switch points");
        return std::nullopt;
    }
    for (const QJsonValue &sv : switches) {
        const QJsonObject s = sv.toObject();
        recordSwitch(run, s.value("output").toInt(),
                     s.value("direction").toString() == QLatin1String("falling") ? Direction::Falling
                                                                                 : Direction::Rising,
                     numberFrom(s.value("reading_pa")));
    }
    if (const QJsonObject s = o.value("stop").toObject(); !s.isEmpty())
        run.stop = Stop{s.value("reason").toString(),
                        s.value("phase").toString() == QLatin1String("as-left") ? Phase::AsLeft : Phase::AsFound,
                        s.value("point").toInt()};
    return run;
}

QString sha256Hex(const QByteArray &data)
{
    return QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex());
}

} // namespace verification
