// Reading and writing the transmitter's configuration, for the window and the
// command line alike. Both run in the link's bracket and raise the link's
// errors (or ConfigError) unchanged; the caller reports them in its own words.
#pragma once

#include "ConfigurationRecord.h"
#include "Fix64usb.h"

#include <QString>

#include <array>
#include <functional>
#include <stdexcept>

namespace config {

class ConfigError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

inline constexpr float kDefaultSpecificGravity = 1000;
inline constexpr float kMinSpecificGravity = 10;
inline constexpr float kMaxSpecificGravity = 100000;

// The gravity at 894 in the image; erased memory (0xFF at 894 and 895) reads as 0.
float gravityFromImage(const std::vector<uint8_t> &image);
// 10 to 100000 kg/m^3, ends included; not-a-number is outside.
bool gravityInRange(float gravity);
// The gravity as a whole number, halves rounded up, as `Ro` shows it after a read.
QString gravityText(float gravity);
float floatAt(const std::vector<uint8_t> &image, uint32_t address);

// nominalRange and the bounds the entry check uses: -0.1 x range up to the range.
void setNominalRange(ConfigurationRecord &record, float range);

// Steps of a read the window shows as they happen; each may be left empty.
struct ReadHooks {
    // The gravity read is out of range; 1000 is taken after this returns.
    std::function<void(float gravity)> gravityOutOfRange;
    // specificGravity and its reference are set.
    std::function<void()> gravityRead;
    // nominalRange and both bounds are set.
    std::function<void()> nominalRangeRead;
    // record.limitValue(index) has just been read.
    std::function<void(int index)> limitValueRead;
    // An output's mode byte, as a selection: 0 to 4, or kNoMode for anything above.
    std::function<void(int output, int mode)> modeRead;
};

// Command 2, 8 bytes at 890, the 27-byte block at 67, then each field of the
// block on its own, command 1. A failure stops it where it happened, with
// what was read so far left in the record.
void readConfiguration(TFix64 &link, ConfigurationRecord &record, const ReadHooks &hooks = {});

// The first output (0 to 2) whose lower value lies above its higher value, or -1.
int firstOutputOutOfOrder(const ConfigurationRecord &record);
// A selection as the transmitter stores it: 0 to 4 as they are, anything else 0xFF.
uint8_t modeByte(int mode);
// Puts the six values and three modes into the image at 67 to 93.
void assembleOutputBlock(ConfigurationRecord &record, const std::array<int, 3> &modes);
// Command 2, the gravity text (strict conversion) as 4 bytes at 894, the
// 27-byte block at 67, command 1. The order of the values is not checked here.
// acknowledged, when given, hears the address of each memory write the
// transmitter has answered, so a caller can tell what reached it.
void writeConfiguration(TFix64 &link, ConfigurationRecord &record, const QString &gravityText,
                        const std::array<int, 3> &modes,
                        const std::function<void(uint32_t address)> &acknowledged = {});

} // namespace config
