#include "Plan.h"

#include <QFile>
#include <QLocale>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QStringList>

#include <algorithm>
#include <cmath>

namespace verification {

namespace {

constexpr double kMinPercent = -100;
constexpr double kMaxPercent = 200;
constexpr int kPlanFormat = 1;

bool usableNumber(const QString &text, double &out)
{
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return false;
    out = v;
    return true;
}

QString bounded(const QString &text) { return text.left(kMaxTextLength); }

} // namespace

QString planProblem(const Plan &plan)
{
    if (plan.points.size() < std::size_t(kMinPoints) || plan.points.size() > std::size_t(kMaxPoints))
        return QStringLiteral("A plan has 2 to 50 test points");
    for (double p : plan.points)
        if (!std::isfinite(p) || p < kMinPercent || p > kMaxPercent)
            return QStringLiteral("A test point lies outside -100 to 200 % of the range");
    if (plan.readings < 1 || plan.readings > kMaxReadings)
        return QStringLiteral("Readings per point are 1 to 100");
    if (!std::isfinite(plan.tolerance) || plan.tolerance <= 0)
        return QStringLiteral("The tolerance is not a positive number");
    if (plan.uncertainty && (!std::isfinite(*plan.uncertainty) || *plan.uncertainty < 0))
        return QStringLiteral("The uncertainty is not a number from 0");
    return {};
}

std::optional<std::vector<double>> parsePoints(const QString &text)
{
    std::vector<double> points;
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() > kMaxPoints)
        return std::nullopt;
    for (const QString &part : parts) {
        double v = 0;
        if (!usableNumber(part, v) || v < kMinPercent || v > kMaxPercent)
            return std::nullopt;
        points.push_back(v);
    }
    if (points.size() < std::size_t(kMinPoints))
        return std::nullopt;
    return points;
}

QString pointsText(const std::vector<double> &points)
{
    QStringList parts;
    for (double p : points)
        parts << QString::number(p, 'g', QLocale::FloatingPointShortest);
    return parts.join(QLatin1Char(','));
}

bool parseTolerance(const QString &text, ToleranceKind &kind, double &value)
{
    QString t = text.trimmed();
    ToleranceKind k = ToleranceKind::Absolute;
    if (t.endsWith(QLatin1Char('%'))) {
        k = ToleranceKind::PercentOfRange;
        t.chop(1);
    }
    double v = 0;
    if (!usableNumber(t, v) || v <= 0)
        return false;
    kind = k;
    value = v;
    return true;
}

QString toleranceText(ToleranceKind kind, double value)
{
    return QString::number(value, 'g', QLocale::FloatingPointShortest) + (kind == ToleranceKind::PercentOfRange ? QStringLiteral("%") : QString());
}

QJsonObject planObject(const Plan &plan)
{
    QJsonArray points;
    for (double p : plan.points)
        points.append(p);
    QJsonObject o{{"format", kPlanFormat},
                  {"points_percent", points},
                  {"readings_per_point", plan.readings},
                  {"tolerance", toleranceText(plan.toleranceKind, plan.tolerance)},
                  {"uncertainty_k2", plan.uncertainty ? QJsonValue(*plan.uncertainty) : QJsonValue()},
                  {"standard",
                   QJsonObject{{"name", plan.standard.name},
                               {"serial", plan.standard.serial},
                               {"certificate", plan.standard.certificate},
                               {"due", plan.standard.due.isValid() ? plan.standard.due.toString(Qt::ISODate)
                                                                   : QString()}}},
                  {"temperature", plan.temperature},
                  {"humidity", plan.humidity},
                  {"customer", plan.customer},
                  {"tag", plan.tag},
                  {"operator", plan.operatorName}};
    return o;
}

QByteArray planToJson(const Plan &plan) { return QJsonDocument(planObject(plan)).toJson(QJsonDocument::Indented); }

std::optional<Plan> planFromJson(const QByteArray &json, QString &problem)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    if (doc.isNull() || !doc.isObject()) {
        problem = QStringLiteral("The file is not a verification plan");
        return std::nullopt;
    }
    return planFromObject(doc.object(), problem);
}

std::optional<Plan> planFromObject(const QJsonObject &o, QString &problem)
{
    if (o.value("format").toInt() != kPlanFormat) {
        problem = QStringLiteral("The file is not a verification plan");
        return std::nullopt;
    }
    Plan plan;
    plan.points.clear();
    const QJsonValue points = o.value("points_percent");
    for (const QJsonValue &p : points.toArray()) {
        if (!p.isDouble()) {
            problem = QStringLiteral("A test point lies outside -100 to 200 % of the range");
            return std::nullopt;
        }
        plan.points.push_back(p.toDouble());
        if (plan.points.size() > std::size_t(kMaxPoints))
            break;
    }
    const QJsonValue readings = o.value("readings_per_point");
    plan.readings = readings.isDouble() && readings.toDouble() == std::floor(readings.toDouble())
                        ? int(std::clamp(readings.toDouble(), -1.0, double(kMaxReadings + 1)))
                        : -1;
    if (!parseTolerance(o.value("tolerance").toString(), plan.toleranceKind, plan.tolerance)) {
        problem = QStringLiteral("The tolerance is not a positive number");
        return std::nullopt;
    }
    const QJsonValue u = o.value("uncertainty_k2");
    if (u.isDouble())
        plan.uncertainty = u.toDouble();
    else if (!u.isNull() && !u.isUndefined())
        plan.uncertainty = std::nan("");
    const QJsonObject s = o.value("standard").toObject();
    plan.standard.name = bounded(s.value("name").toString());
    plan.standard.serial = bounded(s.value("serial").toString());
    plan.standard.certificate = bounded(s.value("certificate").toString());
    const QString due = s.value("due").toString();
    plan.standard.due = QDate::fromString(due, Qt::ISODate);
    if (!due.isEmpty() && !plan.standard.due.isValid()) {
        problem = QStringLiteral("The due date is not a date (YYYY-MM-DD)");
        return std::nullopt;
    }
    plan.temperature = bounded(o.value("temperature").toString());
    plan.humidity = bounded(o.value("humidity").toString());
    plan.customer = bounded(o.value("customer").toString());
    plan.tag = bounded(o.value("tag").toString());
    plan.operatorName = bounded(o.value("operator").toString());
    problem = planProblem(plan);
    if (!problem.isEmpty())
        return std::nullopt;
    return plan;
}

bool savePlan(const Plan &plan, const QString &path, QString &problem)
{
    QSaveFile file(path);
    const QByteArray bytes = planToJson(plan);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        problem = file.errorString();
        return false;
    }
    return true;
}

std::optional<Plan> loadPlan(const QString &path, QString &problem)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        problem = file.errorString();
        return std::nullopt;
    }
    if (file.size() > kMaxPlanFileBytes) {
        problem = QStringLiteral("The file is not a verification plan");
        return std::nullopt;
    }
    return planFromJson(file.read(kMaxPlanFileBytes + 1), problem);
}

} // namespace verification
