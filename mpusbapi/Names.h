// The two names a caller hands the USB library: the device selector
// ("vid_04d8&pid_000c") and the endpoint ("\MCHP_EP1"). Pure functions over
// caller-owned text, so they are tried on any bytes without a device.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace mpusb {

struct DeviceId {
    uint16_t vendor;
    uint16_t product;
};

// Text longer than this is refused unread past the limit; real selectors,
// even whole device paths, stay far below it.
constexpr std::size_t kMaxNameLength = 512;

// "vid_XXXX" and "pid_XXXX" anywhere in the text, any case, exactly four hex
// digits each; the first occurrence of each key decides.
std::optional<DeviceId> parseSelector(const char *selector);

// "\MCHP_EP<n>" (backslash optional, any case), n from 1 to 15, with
// MP_READ or MP_WRITE: the endpoint address, direction bit included.
std::optional<uint8_t> parseEndpoint(const char *name, uint32_t direction);

} // namespace mpusb
