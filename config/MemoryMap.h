// Where the transmitter keeps what the tool touches. Floats are IEEE single,
// least significant byte first; pressures in Pa, gravity in kg/m^3.
#pragma once

#include <cstdint>

namespace memmap {

inline constexpr uint32_t kSerialNumber = 7;       // unsigned 16-bit
inline constexpr uint32_t kSerialNumberSize = 2;

inline constexpr uint32_t kOutputBlock = 67;       // three outputs: lower, higher (floats), mode (byte)
inline constexpr uint32_t kOutputBlockSize = 27;
inline constexpr uint32_t kOutputStride = 9;
inline constexpr uint32_t kLowerValueOffset = 0;
inline constexpr uint32_t kHigherValueOffset = 4;
inline constexpr uint32_t kModeOffset = 8;
inline constexpr int kOutputCount = 3;

inline constexpr uint32_t kNominalRange = 890;     // never written
inline constexpr uint32_t kRangeAndGravityBlockSize = 8;
inline constexpr uint32_t kSpecificGravity = 894;
inline constexpr uint32_t kZeroOffset = 940;
inline constexpr uint32_t kFloatSize = 4;

inline constexpr uint32_t kMemoryImageSize = 65535;

constexpr uint32_t outputAddress(int output) { return kOutputBlock + kOutputStride * static_cast<uint32_t>(output); }

} // namespace memmap

// Switching modes, by the byte the transmitter stores.
enum OutputMode : int { ModeOff = 0, ModeCompression = 1, ModeExtraction = 2, ModeCorrectValue = 3, ModeErrorValue = 4 };
inline constexpr int kNoMode = -1;       // a combo box without a selection
inline constexpr uint8_t kNoModeByte = 0xFF;
