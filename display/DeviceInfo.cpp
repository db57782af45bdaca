#include "DeviceInfo.h"

#include "MemoryMap.h"

namespace display {

uint16_t readSerialNumber(TFix64 &link)
{
    resetPipes(link);
    uint8_t bytes[memmap::kSerialNumberSize] = {};
    link.readMemory(memmap::kSerialNumber, bytes, memmap::kSerialNumberSize);
    return static_cast<uint16_t>(bytes[0] | bytes[1] << 8);
}

} // namespace display
