// A verification run's plan: the test points, readings per point, tolerance,
// the reference standard and who the run is for. Saved and loaded as JSON.
#pragma once

#include <QDate>
#include <QJsonObject>
#include <QString>

#include <optional>
#include <vector>

namespace verification {

inline constexpr int kMinPoints = 2;
inline constexpr int kMaxPoints = 50;
inline constexpr int kMaxReadings = 100;
// A plan file larger than this is no plan.
inline constexpr qint64 kMaxPlanFileBytes = 256 * 1024;
// Free texts (names, tags) are cut here.
inline constexpr int kMaxTextLength = 200;

enum class ToleranceKind { PercentOfRange, Absolute };

struct ReferenceStandard {
    QString name;
    QString serial;
    QString certificate;
    QDate due; // invalid: not given

    bool operator==(const ReferenceStandard &) const = default;
};

struct Plan {
    // Percent of the nominal range, in the order they are applied.
    std::vector<double> points{0, 25, 50, 75, 100, 75, 50, 25, 0};
    int readings = 5; // live readings averaged per point
    ToleranceKind toleranceKind = ToleranceKind::PercentOfRange;
    double tolerance = 0.5; // % of the nominal range, or a value in the run's unit
    // Expanded uncertainty (k = 2) of the reference, in the run's unit.
    std::optional<double> uncertainty;
    ReferenceStandard standard;
    QString temperature; // ambient, as the operator wrote it ("21.5 °C")
    QString humidity;    // ambient ("45 %")
    QString customer;
    QString tag;
    QString operatorName;

    bool operator==(const Plan &) const = default;
};

// Empty when the plan can be run; else the first problem, an English key.
QString planProblem(const Plan &plan);

// "0,25,50" into percentages; nothing when a part is no number, lies outside
// -100 to 200 %, or the count is outside 2 to 50.
std::optional<std::vector<double>> parsePoints(const QString &text);
QString pointsText(const std::vector<double> &points);

// "0.5%" (of the range) or "0.2" (in the run's unit); nothing when no positive finite number.
bool parseTolerance(const QString &text, ToleranceKind &kind, double &value);
QString toleranceText(ToleranceKind kind, double value);

QByteArray planToJson(const Plan &plan);
QJsonObject planObject(const Plan &plan);
std::optional<Plan> planFromObject(const QJsonObject &object, QString &problem);
// Nothing, with the reason, when the text is not a usable plan.
std::optional<Plan> planFromJson(const QByteArray &json, QString &problem);

// Whole-file save and load; false / nothing with the reason.
bool savePlan(const Plan &plan, const QString &path, QString &problem);
std::optional<Plan> loadPlan(const QString &path, QString &problem);

} // namespace verification
