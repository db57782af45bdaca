// Finding the transmitters among the attached USB devices, and the endpoints
// in their descriptors. Holds no state of its own.
#pragma once

#include "Names.h"

#include <libusb.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace mpusb {

constexpr int kMaxPortDepth = 7;

struct Candidate {
    libusb_device *device;
    uint8_t bus;
    std::vector<uint8_t> ports;
    uint8_t address;
};

// The matching devices in a stable order: bus, then port path. The list
// holds a reference on each device until it is freed.
class MatchingDevices {
public:
    MatchingDevices(libusb_context *ctx, DeviceId id)
    {
        ssize_t n = libusb_get_device_list(ctx, &list);
        for (ssize_t i = 0; i < n; ++i) {
            libusb_device_descriptor d;
            if (libusb_get_device_descriptor(list[i], &d) != LIBUSB_SUCCESS)
                continue;
            if (d.idVendor != id.vendor || d.idProduct != id.product)
                continue;
            std::array<uint8_t, kMaxPortDepth> ports{};
            int depth = libusb_get_port_numbers(list[i], ports.data(), kMaxPortDepth);
            Candidate c{list[i], libusb_get_bus_number(list[i]), {}, libusb_get_device_address(list[i])};
            if (depth > 0)
                c.ports.assign(ports.begin(), ports.begin() + depth);
            found.push_back(std::move(c));
        }
        std::sort(found.begin(), found.end(), [](const Candidate &a, const Candidate &b) {
            if (a.bus != b.bus)
                return a.bus < b.bus;
            if (a.ports != b.ports)
                return a.ports < b.ports;
            return a.address < b.address;
        });
    }
    ~MatchingDevices()
    {
        if (list)
            libusb_free_device_list(list, 1);
    }
    MatchingDevices(const MatchingDevices &) = delete;
    MatchingDevices &operator=(const MatchingDevices &) = delete;

    std::size_t size() const { return found.size(); }
    libusb_device *at(std::size_t i) const { return found[i].device; }
    const Candidate &candidate(std::size_t i) const { return found[i]; }

private:
    libusb_device **list = nullptr;
    std::vector<Candidate> found;
};

struct EndpointInfo {
    int interface;
    bool interrupt;
    int maxPacket;
};

// Where the endpoint lives in the active configuration, and how it transfers.
std::optional<EndpointInfo> findEndpoint(libusb_device *device, uint8_t address);

} // namespace mpusb
