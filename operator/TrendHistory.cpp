#include "TrendHistory.h"

#include <algorithm>
#include <cmath>
#include <limits>

// A day of samples at 16 bytes each; the lamps ride in the padding.
static_assert(sizeof(TrendSample) == 16);

TrendHistory::TrendHistory(std::size_t capacity) : limit(std::max<std::size_t>(capacity, 1))
{
    // Reserved, not filled: the pages of a day's ring are touched only as
    // values come, so a window that never polls does not carry them.
    ring.reserve(limit);
}

void TrendHistory::append(int64_t ms, float pascal, uint8_t lamps)
{
    if (count > 0)
        ms = std::max(ms, at(count - 1).ms);
    if (count < limit) {
        ring.push_back(TrendSample{ms, pascal, lamps});
        ++count;
    } else {
        ring[first] = TrendSample{ms, pascal, lamps};
        first = (first + 1) % ring.size();
    }
}

void TrendHistory::appendGap(int64_t ms)
{
    // One gap marks the break; more in a row, or one before any value, tell nothing.
    if (count == 0 || std::isnan(at(count - 1).pascal))
        return;
    append(ms, std::numeric_limits<float>::quiet_NaN());
}

void TrendHistory::clear()
{
    ring.clear();
    first = 0;
    count = 0;
}

std::size_t TrendHistory::lowerBound(int64_t ms) const
{
    std::size_t lo = 0;
    std::size_t hi = count;
    while (lo < hi) {
        const std::size_t mid = lo + (hi - lo) / 2;
        if (at(mid).ms < ms)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

const TrendSample *TrendHistory::nearestValue(int64_t ms, int64_t maxDistanceMs) const
{
    const std::size_t i = lowerBound(ms);
    const TrendSample *best = nullptr;
    int64_t bestDistance = maxDistanceMs;
    auto consider = [&](std::size_t index) {
        if (index >= count)
            return;
        const TrendSample &s = at(index);
        const int64_t distance = s.ms > ms ? s.ms - ms : ms - s.ms;
        if (!std::isnan(s.pascal) && distance <= bestDistance) {
            best = &s;
            bestDistance = distance;
        }
    };
    consider(i);
    if (i > 0)
        consider(i - 1);
    return best;
}

TrendReduction TrendHistory::reduce(int64_t from, int64_t to, int columns) const
{
    TrendReduction result;
    if (columns < 1 || to < from)
        return result;
    const double span = double(to - from) + 1;

    struct Column {
        long index = -1;
        TrendSample low;
        TrendSample high;
    } column;
    std::vector<TrendPoint> *segment = nullptr;
    int64_t lastValueMs = 0;
    bool joined = false;
    double sum = 0;

    auto flush = [&] {
        if (column.index < 0 || !segment)
            return;
        const TrendSample &a = column.low.ms <= column.high.ms ? column.low : column.high;
        const TrendSample &b = column.low.ms <= column.high.ms ? column.high : column.low;
        segment->push_back({double(a.ms), double(a.pascal)});
        if (b.ms != a.ms || b.pascal != a.pascal)
            segment->push_back({double(b.ms), double(b.pascal)});
        column.index = -1;
    };

    visitFrom(lowerBound(from), [&](const TrendSample &s) {
        if (s.ms > to)
            return false;
        if (std::isnan(s.pascal)) {
            flush();
            joined = false;
            return true;
        }
        if (!joined || s.ms - lastValueMs > kJoinMs) {
            flush();
            result.segments.emplace_back();
            segment = &result.segments.back();
            joined = true;
        }
        lastValueMs = s.ms;

        const double v = s.pascal;
        if (result.count == 0) {
            result.minimum = result.maximum = v;
        } else {
            result.minimum = std::min(result.minimum, v);
            result.maximum = std::max(result.maximum, v);
        }
        sum += v;
        ++result.count;

        const long index = std::min<long>(columns - 1, long(double(s.ms - from) * columns / span));
        if (index != column.index) {
            flush();
            column.index = index;
            column.low = column.high = s;
        } else {
            if (s.pascal < column.low.pascal)
                column.low = s;
            if (s.pascal > column.high.pascal)
                column.high = s;
        }
        return true;
    });
    flush();
    if (result.count > 0)
        result.mean = sum / double(result.count);
    return result;
}
