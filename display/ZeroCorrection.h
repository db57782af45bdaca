// Zero correction, in two halves around the operator's answer: the
// measurement opens the bracket, and confirming or declining closes it.
#pragma once

#include "DisplayState.h"
#include "Fix64usb.h"

#include <QString>

#include <stdexcept>

namespace display {

struct ZeroMeasurement {
    float storedOffset = 0; // Pa, from 940
    float first = 0;        // Pa
    float second = 0;       // Pa
};

// What the zero correction raises on its own: a reading or a corrected offset
// that is no finite number, which must never reach the transmitter.
struct ZeroCorrectionError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Fresh pipes, command 2, the offset at 940, a value, command 13, 500 ms, a value.
// The bracket stays open. Raises the link's errors, and ZeroCorrectionError
// after the second reading when either reading is not finite. A stored offset
// that is not finite counts as 0, so the correction can repair it.
ZeroMeasurement measureZero(TFix64 &link);

// The mean of the two readings in the unit shown, as a float.
float zeroError(const ZeroMeasurement &m, float unitFactor);
// The mean as the question shows it: number, one blank, unit.
QString zeroErrorText(const ZeroMeasurement &m, const DisplayState &state);
// The stored offset less the smaller reading (the second one unless the first is smaller).
float correctedOffset(const ZeroMeasurement &m);

// Yes: the corrected offset to 940, then command 1; ZeroCorrectionError and
// nothing sent when the corrected offset is beyond the float's range.
void confirmZeroCorrection(TFix64 &link, const ZeroMeasurement &m);
// No: command 1 only.
void declineZeroCorrection(TFix64 &link);

} // namespace display
