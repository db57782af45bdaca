// The configuration as the window holds it while it is read, edited, written,
// saved and loaded. Pressures in Pa. Modes live in the window's combo boxes.
#pragma once

#include "MemoryMap.h"

#include <cstdint>
#include <vector>

struct ConfigurationRecord {
    float lowerValue1 = 0;
    float higherValue1 = 0;
    float lowerValue2 = 0;
    float higherValue2 = 0;
    float lowerValue3 = 0;
    float higherValue3 = 0;
    float nominalRange = 100000;
    float limitLowerBound = -100000;
    float limitUpperBound = 100000;
    float specificGravity = 1000;
    float referenceSpecificGravity = 1000;
    bool fileIsPressure = true;
    std::vector<uint8_t> memoryImage = std::vector<uint8_t>(memmap::kMemoryImageSize, 0);

    // The six switching values in their fixed order: lower 1, higher 1, lower 2, ...
    float &limitValue(int i)
    {
        switch (i) {
        case 0: return lowerValue1;
        case 1: return higherValue1;
        case 2: return lowerValue2;
        case 3: return higherValue2;
        case 4: return lowerValue3;
        default: return higherValue3;
        }
    }
    float &lowerValue(int output) { return limitValue(2 * output); }
    float &higherValue(int output) { return limitValue(2 * output + 1); }
    float limitValue(int i) const { return const_cast<ConfigurationRecord *>(this)->limitValue(i); }
    float lowerValue(int output) const { return limitValue(2 * output); }
    float higherValue(int output) const { return limitValue(2 * output + 1); }
};
