#include "OutputLaneRuns.h"

#include <algorithm>
#include <cmath>

LaneRuns outputLaneRuns(const TrendHistory &history, int64_t begin, int64_t end, int columns)
{
    LaneRuns runs;
    if (columns < 1 || end <= begin || history.size() == 0)
        return runs;
    // Per column, two bits per output: bit 2i off seen, bit 2i + 1 on seen.
    std::vector<uint8_t> seen(std::size_t(columns), 0);
    const double msPerColumn = double(end - begin) / columns;
    auto column = [&](double ms) { return std::clamp(int(std::floor(ms)), 0, columns - 1); };

    std::size_t i = history.lowerBound(begin);
    // The sample before the span holds into it.
    if (i > 0)
        --i;
    for (; i < history.size(); ++i) {
        const TrendSample &s = history.at(i);
        if (s.ms > end)
            break;
        if (std::isnan(s.pascal))
            continue;
        int64_t until = s.ms;
        if (i + 1 < history.size() && history.at(i + 1).ms - s.ms <= TrendHistory::kJoinMs)
            until = history.at(i + 1).ms;
        if (until <= begin && s.ms < begin)
            continue;
        const int first = column(double(std::max(s.ms, begin) - begin) / msPerColumn);
        // Held up to, not including, the next sample's time.
        const int last = until > s.ms
                             ? std::max(first, column(std::ceil(double(std::min(until, end) - begin) / msPerColumn) - 1))
                             : first;
        uint8_t bits = 0;
        for (int o = 0; o < 3; ++o)
            bits |= uint8_t(((s.lamps >> o) & 1 ? 2 : 1) << (2 * o));
        for (int c = first; c <= last; ++c)
            seen[std::size_t(c)] |= bits;
    }

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
