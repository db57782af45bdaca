#include "ValueEntry.h"

#include "NumberText.h"
#include "Units.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace display {

bool unreadableEntry(const QString &text)
{
    const bool blank = std::all_of(text.begin(), text.end(), [](QChar c) { return c == u' '; });
    return !blank && !readNumber(text);
}

bool limitOutOfRange(double pascal, const ConfigurationRecord &record)
{
    return pascal > 1.01 * static_cast<double>(record.limitUpperBound) ||
           pascal < static_cast<double>(record.limitLowerBound);
}

LimitEntry checkLimitEntry(bool editedHigher, const QString &higherText, const QString &lowerText, float unitFactor,
                           const ConfigurationRecord &record, bool operatorTyped)
{
    LimitEntry entry;
    const QString &editedText = editedHigher ? higherText : lowerText;
    if (unreadableEntry(editedText)) {
        if (operatorTyped)
            entry.messages.push_back(kTextNotValidRealNumber);
        return entry;
    }
    const float typed = parseNumber(editedText);
    const double pascal = static_cast<double>(typed) / static_cast<double>(unitFactor);

    if (limitOutOfRange(pascal, record))
        entry.messages.push_back(kTextOutOfRange);

    const QString &otherText = editedHigher ? lowerText : higherText;
    if (!unreadableEntry(otherText) && parseNumber(higherText) < parseNumber(lowerText))
        entry.messages.push_back(editedHigher ? kTextLessThanLower : kTextGreaterThanHigher);

    // Floating point raises nothing here: a value in Pa beyond the float's
    // range (or no number at all) shows up as a non-finite result.
    const float stored = static_cast<float>(pascal);
    if (!operatorTyped)
        return entry;
    if (!std::isfinite(stored)) {
        entry.messages.push_back(kTextNotValidRealNumber);
        return entry;
    }
    entry.store = true;
    entry.value = stored;
    return entry;
}

GravityEntry applyGravityEntry(const QString &gravityText, int checkedLengthUnit, bool liquidColumnDisplay,
                               ConfigurationRecord &record, DisplayState &state)
{
    GravityEntry entry;
    if (unreadableEntry(gravityText)) {
        entry.messages.push_back(kTextInvalidRealNumber);
        return entry;
    }
    const float gravity = parseNumber(gravityText);
    record.specificGravity = gravity;
    if (gravity > 100000 || gravity < 10)
        entry.messages.push_back(kTextOutOfRange);

    // Everything that follows is worked out first and taken only when all of it is finite.
    float factor = state.lengthUnitFactor;
    if (checkedLengthUnit >= 0 && checkedLengthUnit < 3) {
        const std::optional<float> f = lengthUnitFactor(checkedLengthUnit, static_cast<double>(gravity));
        if (!f) {
            entry.messages.push_back(kTextInvalidRealNumber);
            return entry;
        }
        factor = *f;
    }
    std::array<float, 6> values{};
    for (int i = 0; i < 6; ++i)
        values[static_cast<std::size_t>(i)] = record.limitValue(i);
    if (liquidColumnDisplay) {
        const float quotient =
            static_cast<float>(static_cast<double>(gravity) / static_cast<double>(record.referenceSpecificGravity));
        if (!std::isfinite(quotient)) {
            entry.messages.push_back(kTextInvalidRealNumber);
            return entry;
        }
        for (float &v : values) {
            const bool wasFinite = std::isfinite(v); // a value read as not-a-number stays one, quietly
            v = static_cast<float>(static_cast<double>(v) * static_cast<double>(quotient));
            if (wasFinite && !std::isfinite(v)) {
                entry.messages.push_back(kTextInvalidRealNumber);
                return entry;
            }
        }
    }

    state.lengthUnitFactor = factor;
    if (liquidColumnDisplay) {
        for (int i = 0; i < 6; ++i)
            record.limitValue(i) = values[static_cast<std::size_t>(i)];
        state.unitFactor = factor;
    }
    record.referenceSpecificGravity = gravity;
    return entry;
}

} // namespace display
