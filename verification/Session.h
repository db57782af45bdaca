// A verification run as it is taken point by point from live values that
// arrive on their own (the window's polls): which point waits for its
// reference, which collects readings, as found, as left, switch points.
// No widgets, no transmitter: whoever polls hands the values in.
#pragma once

#include "Run.h"

#include <optional>

namespace verification {

// Missed polls in a row before the transmitter counts as lost.
inline constexpr int kMaxMissedPolls = 3;

class Session {
public:
    enum class State { Idle, Reference, Collecting, PhaseDone, SwitchPoints, Finished };

    // The run holds the plan, the transmitter, the unit, the certificate number and the start.
    void start(Run run);
    State state() const { return current; }
    Phase phase() const { return phaseNow; }
    // 0-based index of the point waiting or collecting; the plan's size when the phase is done.
    std::size_t point() const { return index; }
    double percent() const { return data.plan.points.at(index); }
    double nominal() const { return nominalPa(data, percent()); }
    int readingsTaken() const { return int(readings.size()); }
    const Run &run() const { return data; }
    Run &run() { return data; }

    // Reference → Collecting; nothing happens in another state.
    void takeReference(double referencePa);
    // A poll's value; true when it completed the point. Every value is kept
    // as the last one, for the direction of a switch point.
    bool addValue(float pascal);
    // A poll without a value; true when that many in a row mean the transmitter is gone (the run stops).
    bool missed();
    // The window switched the live value off: the transmitter stopped answering.
    void lost();

    // After as found: the same points again, as left.
    void startAsLeft();
    void startSwitchPoints();
    // The output switched now, at the last value; its direction from the values before.
    bool recordSwitchNow(int output);

    // Ends the run here with a reason (English key), at the current point.
    void stop(const QString &reason);
    void finish();

private:
    Run data;
    State current = State::Idle;
    Phase phaseNow = Phase::AsFound;
    std::size_t index = 0;
    double reference = 0;
    std::vector<float> readings;
    int missedInRow = 0;
    std::optional<float> lastValue;
    std::optional<float> valueBefore;
};

} // namespace verification
