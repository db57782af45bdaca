#include "Units.h"

#include "NumberText.h"

#include <cmath>

namespace display {

std::optional<float> lengthUnitFactor(int unitOfLength, double gravity)
{
    const double k = kLengthUnits[unitOfLength].k;
    const float factor = static_cast<float>((k / gravity) / kGravityAcceleration);
    if (!std::isfinite(factor))
        return std::nullopt;
    return factor;
}

QString shownNumber(float pascal, float unitFactor, int decimals)
{
    return formatNumber(pascal * unitFactor, decimals);
}

QString shownNumber(float pascal, const DisplayState &state)
{
    return shownNumber(pascal, state.unitFactor, state.decimals);
}

QString shownWithUnit(float pascal, const DisplayState &state)
{
    return shownNumber(pascal, state) + u' ' + state.unitText;
}

void selectPressureUnit(DisplayState &state, int unitOfPressure)
{
    const PressureUnit &unit = kPressureUnits[unitOfPressure];
    state.unitOfPressure = unitOfPressure;
    state.pressureDecimals = unit.decimals;
    state.pressureUnitFactor = unit.factor;
    state.pressureUnitText = QString::fromLatin1(unit.text);
}

void selectLengthUnit(DisplayState &state, int unitOfLength, const QString &gravityText)
{
    const LengthUnit &unit = kLengthUnits[unitOfLength];
    state.unitOfLength = unitOfLength;
    state.lengthDecimals = unit.decimals;
    const std::optional<double> gravity = strictToDouble(gravityText);
    if (!gravity)
        throw UnitError(QStringLiteral("'%1' is not a valid floating point value").arg(gravityText).toStdString());
    const std::optional<float> factor = lengthUnitFactor(unitOfLength, *gravity);
    if (!factor)
        throw UnitError(*gravity == 0 ? "Floating point division by zero" : "Floating point overflow");
    state.lengthUnitFactor = *factor;
    state.lengthUnitText = QString::fromLatin1(unit.text);
}

void applyPressureMode(DisplayState &state)
{
    state.isPressure = true;
    state.unitFactor = state.pressureUnitFactor;
    state.decimals = state.pressureDecimals;
    state.unitText = state.pressureUnitText;
}

void applyLengthMode(DisplayState &state)
{
    state.isPressure = false;
    state.unitFactor = state.lengthUnitFactor;
    state.decimals = state.lengthDecimals;
    state.unitText = state.lengthUnitText;
}

} // namespace display
