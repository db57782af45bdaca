// The live values the trend shows: a ring of timed samples in Pa, with gaps,
// and its reduction to what a chart of a given width can show. No widgets.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct TrendSample {
    int64_t ms = 0;  // milliseconds since the epoch
    float pascal = 0; // not-a-number: a gap (no value at this time)
    uint8_t lamps = 0; // bit i: output i + 1 was on after this poll (in the padding: no memory)
};

// A polyline of the chart in Pa: x in milliseconds since the epoch.
struct TrendPoint {
    double ms = 0;
    double pascal = 0;
};

struct TrendReduction {
    // Each segment is drawn as one line; between segments there is no value.
    std::vector<std::vector<TrendPoint>> segments;
    std::size_t count = 0; // values in the span
    double minimum = 0;
    double maximum = 0;
    double mean = 0;
};

class TrendHistory {
public:
    // 24 hours at one value a second.
    static constexpr std::size_t kDefaultCapacity = 24 * 60 * 60;
    // Values further apart than this are not joined: a missed tick or more lies between.
    static constexpr int64_t kJoinMs = 2500;

    explicit TrendHistory(std::size_t capacity = kDefaultCapacity);

    // A time before the last one is taken as the last one: the ring stays in order.
    void append(int64_t ms, float pascal, uint8_t lamps = 0);
    void appendGap(int64_t ms);
    void clear();

    std::size_t size() const { return count; }
    std::size_t capacity() const { return limit; }
    // Oldest first.
    const TrendSample &at(std::size_t i) const { return ring[(first + i) % ring.size()]; }
    // Bytes reserved for the ring, whatever it is filled with.
    std::size_t memoryBytes() const { return ring.capacity() * sizeof(TrendSample); }

    // Calls visit(sample) for each sample from index `start` on, oldest
    // first, until it returns false. Walks the ring by its slots: at(i) for
    // each sample of a day would cost a division each.
    template <typename Visit> void visitFrom(std::size_t start, Visit &&visit) const
    {
        if (start >= count)
            return;
        std::size_t slot = (first + start) % ring.size();
        for (std::size_t i = start; i < count; ++i) {
            if (!visit(ring[slot]))
                return;
            if (++slot == ring.size())
                slot = 0;
        }
    }

    // Index of the first sample at or after ms (size() when none).
    std::size_t lowerBound(int64_t ms) const;
    // The value sample nearest to ms, or nullptr when there is none within maxDistanceMs.
    const TrendSample *nearestValue(int64_t ms, int64_t maxDistanceMs) const;

    // The samples from `from` to `to` (ms, ends included) for `columns` pixel
    // columns: per column at most its minimum and maximum, in time order, so
    // the cost follows the width and the span, never the whole history.
    TrendReduction reduce(int64_t from, int64_t to, int columns) const;

private:
    std::vector<TrendSample> ring; // grows to limit, then wraps
    std::size_t limit;
    std::size_t first = 0;
    std::size_t count = 0;
};
