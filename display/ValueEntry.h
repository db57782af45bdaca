// The checks made when the operator leaves a limit edit or the gravity edit.
// They only warn: the typed value is taken whatever they find, unless it is
// no usable number at all.
#pragma once

#include "ConfigurationRecord.h"
#include "DisplayState.h"

#include <QString>

#include <vector>

namespace display {

inline constexpr const char *kTextOutOfRange = "The value is out of range";
inline constexpr const char *kTextLessThanLower = "Value is less than the lower value";
inline constexpr const char *kTextGreaterThanHigher = "Value is greater than the higher value";
inline constexpr const char *kTextNotValidRealNumber = "Not valid real number";
inline constexpr const char *kTextInvalidRealNumber = "Invalid real number";

// Text in a limit edit or in `Ro` that is there but reads as no number, by
// parseNumber's own rules. An empty edit (blanks only, too) is no such text:
// it counts as 0, as it always has. Writing refuses while an edit holds one.
bool unreadableEntry(const QString &text);

// The entry check's range: above 1.01 x the upper bound or below the lower
// bound, compared in double. Not-a-number bounds let everything through.
bool limitOutOfRange(double pascal, const ConfigurationRecord &record);

// Each message is shown with the focus put back into the edit left.
struct LimitEntry {
    std::vector<const char *> messages; // English keys, in the order they are shown, each titled "Error"
    bool store = false;                 // false: the member keeps its value
    float value = 0;                    // the new member value in Pa, when stored
};

// Leaving the higher (editedHigher) or the lower edit of an output. Both texts
// as the edits hold them, in the unit shown; bounds from the record. Typed
// text in the edit left that is unreadable gives "Not valid real number" alone
// and stores nothing; in the other edit it is no value to compare with, so the
// order is not checked. Text the operator did not type (as the window showed
// it) is never stored: its member stays exactly as it is; when it reads as a
// number the range and order are still checked, else nothing is said.
LimitEntry checkLimitEntry(bool editedHigher, const QString &higherText, const QString &lowerText, float unitFactor,
                           const ConfigurationRecord &record, bool operatorTyped = true);

struct GravityEntry {
    std::vector<const char *> messages; // each shown with the focus put back into `Ro`
};

// Leaving `Ro` or Enter in it: sets specificGravity; for the checked length
// unit (0 mm, 1 m, 2 inch) the length factor; in the liquid-column display
// the six values rescaled by new over reference gravity, and the factor in
// force; then the reference. When the new gravity gives no usable numbers
// only specificGravity changes; unreadable text changes nothing at all.
GravityEntry applyGravityEntry(const QString &gravityText, int checkedLengthUnit, bool liquidColumnDisplay,
                               ConfigurationRecord &record, DisplayState &state);

} // namespace display
