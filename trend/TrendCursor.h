// The trend's cursor without widgets: the sample it stands on, its steps by
// key, and the pieces of its readout.
#pragma once

#include "TrendExport.h"
#include "TimeTicks.h"
#include "TrendHistory.h"

#include <QString>
#include <QTimeZone>
#include <QStringList>

#include <array>
#include <cstddef>
#include <optional>

// A sample by its time, which stays while the ring drops older samples; the
// ordinal tells apart samples of one time (the clock may step back).
struct CursorPlace {
    int64_t ms = 0;
    std::size_t ordinal = 0;
    bool operator==(const CursorPlace &) const = default;
};

// The index of the sample at the place, or of the next one when it is gone (size(): none).
QZ_TREND_EXPORT std::size_t cursorIndex(const TrendHistory &history, const CursorPlace &place);
QZ_TREND_EXPORT CursorPlace cursorPlaceOf(const TrendHistory &history, std::size_t index);
// The sample nearest to ms, a value or a gap, within maxDistanceMs.
QZ_TREND_EXPORT std::optional<CursorPlace> nearestSample(const TrendHistory &history, int64_t ms,
                                                         int64_t maxDistanceMs);
// `steps` samples on from the place (negative: back), gaps included, within the
// history. Without a place: the newest sample from begin to end (none: empty).
QZ_TREND_EXPORT std::optional<CursorPlace> stepCursor(const TrendHistory &history,
                                                      std::optional<CursorPlace> from, int steps, int64_t begin,
                                                      int64_t end);

// The cursor's time in local time to the millisecond, with the date (written
// by dates.full) when the span shown from begin to end crosses midnight or
// exceeds six hours.
QZ_TREND_EXPORT QString cursorTimeText(int64_t ms, int64_t begin, int64_t end, const DateFormats &dates,
                                       const QTimeZone &zone = QTimeZone::systemTimeZone());

// The readout's texts, looked up when the language changes.
struct CursorTexts {
    QString caption;                // "Cursor: "
    QString noValue;                // a gap
    std::array<QString, 3> lampOn;  // "Output 1: on", ...
    std::array<QString, 3> lampOff; // "Output 1: off", ...
};

// "Output 1: on, Output 2: off, Output 3: on" for a sample's lamps.
QZ_TREND_EXPORT QString lampStatesText(uint8_t lamps, const CursorTexts &texts);
// The caption with the time, the value as shown (or "no value" at a gap), and the
// outputs' states at a value.
QZ_TREND_EXPORT QStringList cursorReadout(const TrendSample &sample, const QString &timeText,
                                          const QString &valueText, const CursorTexts &texts);
