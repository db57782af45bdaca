// The nine units, the two display modes and the conversion rule: a shown
// number is value in Pa x unitFactor, rounded to a float, then formatNumber.
#pragma once

#include "ConfigurationRecord.h"
#include "DisplayState.h"

#include <QString>

#include <optional>
#include <stdexcept>

namespace display {

// Raised by a length unit whose gravity text cannot be used; the text is the
// error's own, shown by the window's standard error box.
class UnitError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct PressureUnit {
    const char *text;
    float factor; // Pa to the unit
    int decimals;
};

struct LengthUnit {
    const char *text;
    double k; // metres to the unit
    int decimals;
};

// By unitOfPressure: Pa, kPa, MPa, mbar, bar, psi (psi taken as 0.000145 per Pa).
inline constexpr PressureUnit kPressureUnits[6] = {
    {"Pa", 1.0f, 0},      {"kPa", 0.001f, 3},   {"MPa", 0.000001f, 3},
    {"mbar", 0.01f, 1},   {"bar", 0.00001f, 3}, {"psi", 0.000145f, 3},
};
// By unitOfLength: mm, m, inch.
inline constexpr LengthUnit kLengthUnits[3] = {
    {"mm", 1000.0, 0},
    {"m", 1.0, 3},
    {"inch", 39.37007874015748, 1},
};
inline constexpr double kGravityAcceleration = 9.81;

// (K / gravity) / 9.81 in double, as a float; nothing when that is no finite number (gravity 0).
std::optional<float> lengthUnitFactor(int unitOfLength, double gravity);

// Pa to the shown number.
QString shownNumber(float pascal, float unitFactor, int decimals);
QString shownNumber(float pascal, const DisplayState &state);
// The number, one blank, the unit.
QString shownWithUnit(float pascal, const DisplayState &state);

// A unit choice: index, decimals, factor and text of the pressure or length unit.
void selectPressureUnit(DisplayState &state, int unitOfPressure);
// Index and decimals are taken first; the gravity is read from the text with
// the system's strict conversion, and a text that is no number or a gravity
// that gives no finite factor (0) raises UnitError with factor and text left
// as they were.
void selectLengthUnit(DisplayState &state, int unitOfLength, const QString &gravityText);

// The display modes: the unit now in force becomes the pressure or the length unit.
void applyPressureMode(DisplayState &state);
void applyLengthMode(DisplayState &state);

} // namespace display
