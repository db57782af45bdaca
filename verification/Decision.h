// The arithmetic of a verification: a point's mean reading, its error against
// the reference, pass or fail against the tolerance, and whether the decision
// holds with the reference's uncertainty. Everything in Pa.
#pragma once

#include "Plan.h"

#include <QString>

#include <optional>
#include <vector>

namespace verification {

enum class Verdict { Pass, Fail };
// NotStated: no uncertainty given. Conclusive: the verdict holds across the
// whole uncertainty interval; Inconclusive: it does not.
enum class Certainty { NotStated, Conclusive, Inconclusive };

struct PointResult {
    double mean = 0;  // Pa; NaN when there is no usable mean
    double error = 0; // reading - reference, Pa
    Verdict verdict = Verdict::Fail;
    Certainty certainty = Certainty::NotStated;
    QString problem; // why the point fails without an error to judge (English key); empty otherwise
};

// The tolerance in Pa: percent of the nominal range, or a value in the unit
// whose factor (Pa to unit) is given.
double tolerancePa(ToleranceKind kind, double tolerance, double nominalRangePa, double unitFactor);

// Pass when |error| <= tolerance. With an uncertainty U: a pass is conclusive
// when |error| + U <= tolerance, a fail when |error| - U > tolerance. A point
// without readings, with a reading or reference that is no number, fails with
// a problem text and never passes.
PointResult evaluatePoint(double referencePa, const std::vector<float> &readingsPa, double tolerancePa,
                          std::optional<double> uncertaintyPa);

// Switch points: which of the output's values the switching met, by the
// lamps' rule for its mode and the direction of the pressure.
enum class Direction { Rising, Falling };
// Nothing for a mode without a switching point (0 Off, or none).
std::optional<double> expectedSwitchPa(int mode, Direction direction, double lowerPa, double higherPa,
                                       double readingPa);

} // namespace verification
