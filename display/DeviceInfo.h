// The transmitter's serial number: fresh pipes and one read at 7, without
// commands 2 and 1 around it.
#pragma once

#include "Fix64usb.h"

#include <cstdint>

namespace display {

// Raises the link's errors.
uint16_t readSerialNumber(TFix64 &link);

} // namespace display
