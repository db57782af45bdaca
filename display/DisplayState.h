// How pressures are shown: the unit now in force and the selected pressure
// and length units. A shown number is value in Pa x unitFactor.
#pragma once

#include <QString>

struct DisplayState {
    bool isPressure = false;
    float unitFactor = 0.001f;
    int decimals = 3;
    QString unitText;
    float pressureUnitFactor = 0.001f;
    int pressureDecimals = 3;
    QString pressureUnitText;
    float lengthUnitFactor = 0;
    int lengthDecimals = 0;
    QString lengthUnitText;
    int unitOfPressure = 1;
    int unitOfLength = 1;
};
