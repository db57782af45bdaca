#include "Decision.h"

#include <cfloat>
#include <cmath>

namespace verification {

namespace {

// The readings are 32-bit floats: differences below their resolution at the
// values compared are no difference, so a reading on the limit passes.
double resolutionAt(double a, double b) { return double(FLT_EPSILON) * std::max(std::fabs(a), std::fabs(b)); }

} // namespace

double tolerancePa(ToleranceKind kind, double tolerance, double nominalRangePa, double unitFactor)
{
    if (kind == ToleranceKind::PercentOfRange)
        return tolerance / 100.0 * std::fabs(nominalRangePa);
    return unitFactor != 0 ? tolerance / unitFactor : std::nan("");
}

PointResult evaluatePoint(double referencePa, const std::vector<float> &readingsPa, double tolerance,
                          std::optional<double> uncertaintyPa)
{
    PointResult r;
    r.mean = std::nan("");
    r.error = std::nan("");
    r.verdict = Verdict::Fail;
    if (readingsPa.empty()) {
        r.problem = QStringLiteral("No reading");
        return r;
    }
    double sum = 0;
    for (float v : readingsPa) {
        if (!std::isfinite(v)) {
            r.problem = QStringLiteral("A reading is not a number");
            return r;
        }
        sum += v;
    }
    r.mean = sum / double(readingsPa.size());
    if (!std::isfinite(referencePa)) {
        r.problem = QStringLiteral("The reference is not a number");
        return r;
    }
    if (!std::isfinite(tolerance) || tolerance <= 0) {
        r.problem = QStringLiteral("The tolerance is not a positive number");
        return r;
    }
    r.error = r.mean - referencePa;
    const double slack = resolutionAt(r.mean, referencePa);
    const double size = std::fabs(r.error);
    r.verdict = size <= tolerance + slack ? Verdict::Pass : Verdict::Fail;
    if (uncertaintyPa && std::isfinite(*uncertaintyPa) && *uncertaintyPa >= 0) {
        const double u = *uncertaintyPa;
        const bool holds = r.verdict == Verdict::Pass ? size + u <= tolerance + slack : size - u > tolerance + slack;
        r.certainty = holds ? Certainty::Conclusive : Certainty::Inconclusive;
    }
    return r;
}

std::optional<double> expectedSwitchPa(int mode, Direction direction, double lowerPa, double higherPa,
                                       double readingPa)
{
    switch (mode) {
    case 1: // Compression: dark above higher, lit below lower
    case 2: // Extraction: lit above higher, dark below lower
        return direction == Direction::Rising ? higherPa : lowerPa;
    case 3: // Correct value and Error value change at both values, in either direction
    case 4:
        return std::fabs(readingPa - lowerPa) <= std::fabs(readingPa - higherPa) ? lowerPa : higherPa;
    default:
        return std::nullopt;
    }
}

} // namespace verification
