#include "ZeroCorrection.h"

#include "MemoryMap.h"
#include "NumberText.h"

#include <cmath>
#include <cstring>

namespace display {

namespace {

float queryFloat(TFix64 &link)
{
    uint8_t buffer[4] = {};
    link.queryValue(4, buffer, sizeof buffer);
    float v;
    std::memcpy(&v, buffer, sizeof v);
    return v;
}

} // namespace

ZeroMeasurement measureZero(TFix64 &link)
{
    ZeroMeasurement m;
    resetPipes(link);
    link.sendCommand2();
    uint8_t offset[memmap::kFloatSize];
    link.readMemory(memmap::kZeroOffset, offset, memmap::kFloatSize);
    std::memcpy(&m.storedOffset, offset, sizeof m.storedOffset);
    if (!std::isfinite(m.storedOffset))
        m.storedOffset = 0;
    m.first = queryFloat(link);
    link.transact(13, 0, 0, 0);
    link.pause(500);
    m.second = queryFloat(link);
    if (!std::isfinite(m.first) || !std::isfinite(m.second))
        throw ZeroCorrectionError("zero correction: the reading is no finite number");
    return m;
}

float zeroError(const ZeroMeasurement &m, float unitFactor)
{
    const double mean = (static_cast<double>(m.first) + static_cast<double>(m.second)) / 2;
    return static_cast<float>(mean * static_cast<double>(unitFactor));
}

QString zeroErrorText(const ZeroMeasurement &m, const DisplayState &state)
{
    return formatNumber(zeroError(m, state.unitFactor), state.decimals) + u' ' + state.unitText;
}

float correctedOffset(const ZeroMeasurement &m)
{
    const float smaller = m.first < m.second ? m.first : m.second;
    return m.storedOffset - smaller;
}

void confirmZeroCorrection(TFix64 &link, const ZeroMeasurement &m)
{
    const float offset = correctedOffset(m);
    if (!std::isfinite(offset))
        throw ZeroCorrectionError("zero correction: the corrected offset is beyond the float's range");
    link.writeMemory(memmap::kZeroOffset, &offset, memmap::kFloatSize);
    link.sendCommand1();
}

void declineZeroCorrection(TFix64 &link) { link.sendCommand1(); }

} // namespace display
