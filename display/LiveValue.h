// The live value: one poll of the transmitter per tick, and how each output's
// lamp follows the value.
#pragma once

#include "Fix64usb.h"

namespace display {

// Decides a lamp from the output's mode (0 to 4, anything else none) and its
// limits. True with state set when the mode decides; false leaves the lamp as
// it is (inside the band of Compression or Extraction, or no mode).
// Comparisons with not-a-number are false.
bool decideOutputState(float value, float lower, float higher, int mode, bool &state);

struct Poll {
    enum Outcome {
        Value,    // value holds the actual value in Pa
        Missed,   // no value this time; command 1 went through again, polling goes on
        SwitchOff // the retry failed as well: the live value is to be switched off
    };
    Outcome outcome = Missed;
    float value = 0;
};

// Command 1 and the value query into a buffer cleared to zero; when either
// fails, command 1 once more. Raises nothing.
Poll pollLiveValue(TFix64 &link);

} // namespace display
