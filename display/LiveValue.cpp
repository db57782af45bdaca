#include "LiveValue.h"

#include "MemoryMap.h"

#include <cstring>

namespace display {

bool decideOutputState(float value, float lower, float higher, int mode, bool &state)
{
    switch (mode) {
    case ModeOff:
        state = false;
        return true;
    case ModeCompression:
        if (value < lower) {
            state = true;
            return true;
        }
        if (value > higher) {
            state = false;
            return true;
        }
        return false;
    case ModeExtraction:
        if (value < lower) {
            state = false;
            return true;
        }
        if (value > higher) {
            state = true;
            return true;
        }
        return false;
    case ModeCorrectValue:
        state = lower <= value && value <= higher;
        return true;
    case ModeErrorValue:
        state = value < lower || value > higher;
        return true;
    default:
        return false;
    }
}

Poll pollLiveValue(TFix64 &link)
{
    Poll poll;
    try {
        link.sendCommand1();
        uint8_t buffer[4] = {};
        link.queryValue(4, buffer, sizeof buffer);
        std::memcpy(&poll.value, buffer, sizeof buffer);
        poll.outcome = Poll::Value;
        return poll;
    } catch (const std::exception &) {
    }
    try {
        link.sendCommand1();
        poll.outcome = Poll::Missed;
    } catch (const std::exception &) {
        poll.outcome = Poll::SwitchOff;
    }
    return poll;
}

} // namespace display
