#include "Session.h"

namespace verification {

void Session::start(Run run)
{
    data = std::move(run);
    data.asFound.clear();
    data.asLeft.clear();
    data.switches.clear();
    data.stop.reset();
    phaseNow = Phase::AsFound;
    index = 0;
    readings.clear();
    missedInRow = 0;
    current = data.plan.points.empty() ? State::PhaseDone : State::Reference;
}

void Session::takeReference(double referencePa)
{
    if (current != State::Reference)
        return;
    reference = referencePa;
    readings.clear();
    current = State::Collecting;
}

bool Session::addValue(float pascal)
{
    missedInRow = 0;
    if (!lastValue || *lastValue != pascal)
        valueBefore = lastValue;
    lastValue = pascal;
    if (current != State::Collecting)
        return false;
    readings.push_back(pascal);
    if (int(readings.size()) < data.plan.readings)
        return false;
    recordPoint(data, phaseNow, percent(), reference, std::move(readings));
    readings.clear();
    ++index;
    current = index < data.plan.points.size() ? State::Reference : State::PhaseDone;
    return true;
}

bool Session::missed()
{
    if (current == State::Idle || current == State::Finished)
        return false;
    if (++missedInRow < kMaxMissedPolls)
        return false;
    lost();
    return true;
}

void Session::lost()
{
    if (current != State::Idle && current != State::Finished)
        stop(QStringLiteral("The transmitter stopped answering"));
}

void Session::startAsLeft()
{
    if (current != State::PhaseDone || phaseNow != Phase::AsFound)
        return;
    phaseNow = Phase::AsLeft;
    index = 0;
    data.asLeft.clear();
    current = State::Reference;
}

void Session::startSwitchPoints()
{
    if (current == State::PhaseDone)
        current = State::SwitchPoints;
}

bool Session::recordSwitchNow(int output)
{
    if (current != State::SwitchPoints || !lastValue || output < 1 || output > 3)
        return false;
    const Direction d = valueBefore && *valueBefore > *lastValue ? Direction::Falling : Direction::Rising;
    recordSwitch(data, output, d, *lastValue);
    return true;
}

void Session::stop(const QString &reason)
{
    if (current == State::Idle || current == State::Finished)
        return;
    if (current == State::Reference || current == State::Collecting)
        data.stop = Stop{reason, phaseNow, int(index) + 1};
    finish();
}

void Session::finish()
{
    if (current == State::Idle || current == State::Finished)
        return;
    // a phase left half-way is a stop at the point it waited for
    if ((current == State::Reference || current == State::Collecting) && !data.stop)
        data.stop = Stop{QStringLiteral("The operator stopped the run"), phaseNow, int(index) + 1};
    data.finished = nowWithOffset();
    current = State::Finished;
}

} // namespace verification
