#include "OutputLaneRuns.h"

#include <algorithm>
#include <cmath>
#include <limits>

LaneRuns outputLaneRuns(const TrendHistory &history, int64_t begin, int64_t end, int columns)
{
    LaneRuns runs;
    if (columns < 1 || end <= begin || history.size() == 0)
        return runs;
    // Per column, two bits per output: bit 2i off seen, bit 2i + 1 on seen.
    std::vector<uint8_t> seen(std::size_t(columns), 0);
    // Where each column starts (ms); the samples come in time order, so the
    // columns are found by walking these, without a division per sample.
    const int64_t spanMs = end - begin;
    std::vector<int64_t> starts(std::size_t(columns) + 1);
    for (int c = 0; c <= columns; ++c)
        starts[std::size_t(c)] = begin + (int64_t(c) * spanMs + columns - 1) / columns;
    starts[std::size_t(columns)] = std::numeric_limits<int64_t>::max();
    int firstWalk = 0;
    int lastWalk = 0;
    // The column holding ms (at or after begin).
    auto columnAt = [&](int64_t ms) {
        while (starts[std::size_t(firstWalk) + 1] <= ms)
            ++firstWalk;
        return firstWalk;
    };
    // The last column starting before `until` (after begin).
    auto columnBefore = [&](int64_t until) {
        while (starts[std::size_t(lastWalk) + 1] < until)
            ++lastWalk;
        return lastWalk;
    };
    auto mark = [&](const TrendSample &s, int64_t until) {
        if (s.ms < begin && until <= begin)
            return;
        const int first = columnAt(std::max(s.ms, begin));
        // Held up to, not including, the next sample's time.
        const int last = until > s.ms ? std::max(first, columnBefore(std::min(until, end))) : first;
        uint8_t bits = 0;
        for (int o = 0; o < 3; ++o)
            bits |= uint8_t(((s.lamps >> o) & 1 ? 2 : 1) << (2 * o));
        for (int c = first; c <= last; ++c)
            seen[std::size_t(c)] |= bits;
    };

    std::size_t i = history.lowerBound(begin);
    // The sample before the span holds into it.
    if (i > 0)
        --i;
    // Each sample is marked when the next one tells how long it held; each is read once.
    TrendSample previous;
    bool held = false;
    history.visitFrom(i, [&](const TrendSample &s) {
        if (held)
            mark(previous, s.ms - previous.ms <= TrendHistory::kJoinMs ? s.ms : previous.ms);
        held = false;
        if (s.ms > end)
            return false;
        held = !std::isnan(s.pascal);
        previous = s;
        return true;
    });
    if (held)
        mark(previous, previous.ms);

    for (int o = 0; o < 3; ++o) {
        std::vector<LaneRun> &lane = runs[std::size_t(o)];
        for (int c = 0; c < columns; ++c) {
            const auto state = LaneState((seen[std::size_t(c)] >> (2 * o)) & 3);
            if (state == LaneState::None)
                continue;
            if (!lane.empty() && lane.back().last == c && lane.back().state == state)
                lane.back().last = c + 1;
            else
                lane.push_back(LaneRun{c, c + 1, state});
        }
    }
    return runs;
}
