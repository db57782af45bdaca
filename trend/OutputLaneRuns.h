// The outputs' states over a span of the history, per pixel column, as runs
// of columns of one state. No widgets.
//
// A sample's lamps hold from its poll until the next sample when that comes
// within the join distance (as the value's line is joined), else for its own
// moment only; a gap holds nothing. A column shows what its output did over
// the column's time where that is known: "on" or "off" when it was only that,
// "both" when it switched within the column (or switched back and forth, too
// fast for a pixel to tell), nothing when no sample tells.
#pragma once

#include "TrendExport.h"
#include "TrendHistory.h"

#include <array>
#include <cstdint>
#include <vector>

enum class LaneState : uint8_t { None, Off, On, Both };

// Columns from `first` up to, not including, `last`.
struct LaneRun {
    int first = 0;
    int last = 0;
    LaneState state = LaneState::None;
    bool operator==(const LaneRun &) const = default;
};

// Per output, the runs of columns with a state, left to right ("none" left out).
using LaneRuns = std::array<std::vector<LaneRun>, 3>;

// The span from begin to end (ms) over `columns` columns of equal time, the
// first starting at begin, the last ending at end, as the chart's time axis
// maps it. The cost follows the samples in the span and the columns.
QZ_TREND_EXPORT LaneRuns outputLaneRuns(const TrendHistory &history, int64_t begin, int64_t end, int columns);
