// The vendor USB library's nine entry points for Linux, over libusb-1.0.
//
// A handle names one pipe: one endpoint in one direction of one device
// instance. The pipes of one device share a single libusb device handle; it
// is opened with the first pipe and closed with the last one.

#define MPUSB_DECLARE_EXPORTS
#include "mpusbapi.h"
#include "Names.h"
#include "Enumerate.h"

#include <libusb.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <climits>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kFail = 0;
constexpr uint32_t kSuccess = 1;
// usbfs hands a full packet to a read; receiving into less than this would
// turn every full frame into an overflow error.
constexpr int kMinReadBuffer = 64;
// libusb reads 0 as "wait for ever"; the vendor library reads it as "try once".
constexpr unsigned kTryOnceMs = 1;

using mpusb::Candidate;
using mpusb::DeviceId;
using mpusb::EndpointInfo;
using mpusb::MatchingDevices;
using mpusb::findEndpoint;
using mpusb::parseEndpoint;
using mpusb::parseSelector;

struct Device {
    libusb_device_handle *handle = nullptr;
    libusb_device *device = nullptr;
    std::map<int, int> claims; // interface number -> pipes using it
    // Set once the device answered "no device"; the handle stays failing
    // until it is closed, even if the same transmitter comes back.
    std::atomic<bool> gone{false};

    ~Device()
    {
        for (const auto &[interface, users] : claims)
            libusb_release_interface(handle, interface);
        libusb_close(handle);
    }
};

struct Pipe {
    std::shared_ptr<Device> device;
    uint8_t endpoint = 0;
    int interface = -1;
    bool interrupt = false;
    int maxPacket = 0;
    bool usable = true; // false once a new configuration lost the endpoint
};

struct State {
    std::mutex mutex;
    libusb_context *context = nullptr;
    std::map<uintptr_t, std::shared_ptr<Pipe>> pipes;
    std::vector<std::weak_ptr<Device>> devices;
    uintptr_t nextHandle = 1;
};

State &state()
{
    static State s;
    return s;
}

// Created on first use and kept for the life of the process.
libusb_context *context(State &s)
{
    if (!s.context) {
        libusb_context *c = nullptr;
        if (libusb_init(&c) != LIBUSB_SUCCESS)
            return nullptr;
        libusb_set_option(c, LIBUSB_OPTION_LOG_LEVEL, LIBUSB_LOG_LEVEL_NONE);
        s.context = c;
    }
    return s.context;
}

// The device already open for this libusb device, if any pipe holds it.
std::shared_ptr<Device> openDevice(State &s, libusb_device *target)
{
    std::shared_ptr<Device> found;
    auto &list = s.devices;
    list.erase(std::remove_if(list.begin(), list.end(),
                              [&](const std::weak_ptr<Device> &w) {
                                  auto d = w.lock();
                                  if (!d)
                                      return true;
                                  if (!found && d->device == target && !d->gone)
                                      found = d;
                                  return false;
                              }),
               list.end());
    return found;
}

// The open device for this libusb device, shared with pipes already open on it.
std::shared_ptr<Device> deviceFor(State &s, libusb_device *target)
{
    if (auto found = openDevice(s, target))
        return found;

    libusb_device_handle *handle = nullptr;
    if (libusb_open(target, &handle) != LIBUSB_SUCCESS)
        return nullptr;
    auto &list = s.devices;
    libusb_set_auto_detach_kernel_driver(handle, 1);
    auto d = std::make_shared<Device>();
    d->handle = handle;
    d->device = libusb_get_device(handle);
    list.push_back(d);
    return d;
}

bool claim(Device &d, int interface)
{
    int &users = d.claims[interface];
    if (users == 0 && libusb_claim_interface(d.handle, interface) != LIBUSB_SUCCESS) {
        d.claims.erase(interface);
        return false;
    }
    ++users;
    return true;
}

void unclaim(Device &d, int interface)
{
    auto it = d.claims.find(interface);
    if (it == d.claims.end())
        return;
    if (--it->second == 0) {
        libusb_release_interface(d.handle, interface);
        d.claims.erase(it);
    }
}

// A copy of the pipe as it stands, taken under the lock: a new configuration
// may change the original while a transfer runs on the copy.
std::optional<Pipe> findPipe(void *handle)
{
    State &s = state();
    std::lock_guard lock(s.mutex);
    auto it = s.pipes.find(reinterpret_cast<uintptr_t>(handle));
    if (it == s.pipes.end())
        return std::nullopt;
    return *it->second;
}

int transferOnce(const Pipe &p, unsigned char *buffer, int length, int *actual, uint32_t timeoutMs)
{
    unsigned timeout = timeoutMs == 0 ? kTryOnceMs : static_cast<unsigned>(timeoutMs);
    int rc = p.interrupt ? libusb_interrupt_transfer(p.device->handle, p.endpoint, buffer, length, actual, timeout)
                         : libusb_bulk_transfer(p.device->handle, p.endpoint, buffer, length, actual, timeout);
    if (rc == LIBUSB_ERROR_NO_DEVICE)
        p.device->gone = true;
    return rc;
}

// The lock is not held here: transfers on different handles run at once.
uint32_t readPipe(void *handle, void *data, uint32_t length, uint32_t *transferred, uint32_t timeoutMs)
{
    if (transferred)
        *transferred = 0;
    auto p = findPipe(handle);
    if (!p || !p->usable || p->device->gone || !(p->endpoint & LIBUSB_ENDPOINT_IN))
        return kFail;
    if (!data && length > 0)
        return kFail;
    int packet = std::max(p->maxPacket, 1);
    if (length > static_cast<uint32_t>(INT_MAX - packet))
        return kFail;
    // Whole packets only: the device may send more than was asked.
    int size = static_cast<int>((length + static_cast<uint32_t>(packet) - 1) / static_cast<uint32_t>(packet)) * packet;
    size = std::max(size, std::max(kMinReadBuffer, packet));
    std::vector<unsigned char> buffer(static_cast<std::size_t>(size), 0);
    int actual = 0;
    int rc = transferOnce(*p, buffer.data(), size, &actual, timeoutMs);
    uint32_t got = std::min(static_cast<uint32_t>(std::max(actual, 0)), length);
    // Bytes past what arrived read as zero, never as a left-over older frame.
    if (length > 0)
        std::memcpy(data, buffer.data(), length);
    if (transferred)
        *transferred = got;
    return rc == LIBUSB_SUCCESS ? kSuccess : kFail;
}

} // namespace

extern "C" {

MPUSB_EXPORT uint32_t MPUSB_CALL _MPUSBGetDLLVersion(void) { return MPUSB_LIBRARY_VERSION; }

MPUSB_EXPORT uint32_t MPUSB_CALL _MPUSBGetDeviceCount(const char *vidPid)
{
    auto id = parseSelector(vidPid);
    if (!id)
        return 0;
    State &s = state();
    std::lock_guard lock(s.mutex);
    libusb_context *ctx = context(s);
    if (!ctx)
        return 0;
    return static_cast<uint32_t>(MatchingDevices(ctx, *id).size());
}

MPUSB_EXPORT void *MPUSB_CALL _MPUSBOpen(uint32_t instance, const char *vidPid, const char *endpoint,
                                         uint32_t direction, uint32_t reserved)
{
    (void)reserved;
    auto id = parseSelector(vidPid);
    auto address = parseEndpoint(endpoint, direction);
    if (!id || !address)
        return MPUSB_INVALID_HANDLE;

    State &s = state();
    std::lock_guard lock(s.mutex);
    libusb_context *ctx = context(s);
    if (!ctx)
        return MPUSB_INVALID_HANDLE;
    MatchingDevices matching(ctx, *id);
    if (instance >= matching.size())
        return MPUSB_INVALID_HANDLE;
    auto ep = findEndpoint(matching.at(instance), *address);
    if (!ep)
        return MPUSB_INVALID_HANDLE;
    auto device = deviceFor(s, matching.at(instance));
    if (!device || !claim(*device, ep->interface))
        return MPUSB_INVALID_HANDLE;

    auto pipe = std::make_shared<Pipe>();
    pipe->device = std::move(device);
    pipe->endpoint = *address;
    pipe->interface = ep->interface;
    pipe->interrupt = ep->interrupt;
    pipe->maxPacket = ep->maxPacket;

    // Handles count up and are never reused, so a stale one finds nothing.
    uintptr_t handle = s.nextHandle++;
    s.pipes.emplace(handle, std::move(pipe));
    return reinterpret_cast<void *>(handle);
}

MPUSB_EXPORT uint32_t MPUSB_CALL _MPUSBRead(void *handle, void *data, uint32_t length, uint32_t *transferred,
                                            uint32_t timeoutMs)
{
    return readPipe(handle, data, length, transferred, timeoutMs);
}

// The endpoint descriptor already tells an interrupt pipe from a bulk one.
MPUSB_EXPORT uint32_t MPUSB_CALL _MPUSBReadInt(void *handle, void *data, uint32_t length, uint32_t *transferred,
                                               uint32_t timeoutMs)
{
    return readPipe(handle, data, length, transferred, timeoutMs);
}

MPUSB_EXPORT uint32_t MPUSB_CALL _MPUSBWrite(void *handle, const void *data, uint32_t length,
                                             uint32_t *transferred, uint32_t timeoutMs)
{
    if (transferred)
        *transferred = 0;
    auto p = findPipe(handle);
    if (!p || !p->usable || p->device->gone || (p->endpoint & LIBUSB_ENDPOINT_IN))
        return kFail;
    if ((!data && length > 0) || length > static_cast<uint32_t>(INT_MAX))
        return kFail;
    // libusb takes a mutable buffer even for the OUT direction.
    std::vector<unsigned char> buffer(static_cast<const unsigned char *>(data),
                                      static_cast<const unsigned char *>(data) + (data ? length : 0));
    int actual = 0;
    int rc = transferOnce(*p, buffer.data(), static_cast<int>(length), &actual, timeoutMs);
    if (transferred)
        *transferred = static_cast<uint32_t>(std::max(actual, 0));
    return rc == LIBUSB_SUCCESS ? kSuccess : kFail;
}

MPUSB_EXPORT int32_t MPUSB_CALL _MPUSBClose(void *handle)
{
    State &s = state();
    std::lock_guard lock(s.mutex);
    auto it = s.pipes.find(reinterpret_cast<uintptr_t>(handle));
    if (it == s.pipes.end())
        return 0;
    std::shared_ptr<Pipe> pipe = std::move(it->second);
    s.pipes.erase(it);
    if (pipe->usable)
        unclaim(*pipe->device, pipe->interface);
    // The device handle closes with the last pipe that holds it.
    return 1;
}

MPUSB_EXPORT uint32_t MPUSB_CALL _MPUSBSetConfiguration(void *handle, uint16_t configuration)
{
    State &s = state();
    std::lock_guard lock(s.mutex);
    auto it = s.pipes.find(reinterpret_cast<uintptr_t>(handle));
    if (it == s.pipes.end() || it->second->device->gone)
        return kFail;
    std::shared_ptr<Device> device = it->second->device;

    // usbfs refuses a new configuration while any interface is claimed, and
    // a kernel driver re-attached on release would refuse it as well.
    libusb_set_auto_detach_kernel_driver(device->handle, 0);
    for (const auto &[interface, users] : device->claims)
        libusb_release_interface(device->handle, interface);
    device->claims.clear();
    int rc = libusb_set_configuration(device->handle, configuration);
    if (rc == LIBUSB_ERROR_NO_DEVICE)
        device->gone = true;
    libusb_set_auto_detach_kernel_driver(device->handle, 1);

    // Every pipe of the device finds its endpoint again, in whichever
    // configuration is active now.
    for (auto &[id, pipe] : s.pipes) {
        if (pipe->device != device)
            continue;
        auto ep = pipe->usable ? findEndpoint(device->device, pipe->endpoint) : std::nullopt;
        pipe->usable = ep && claim(*device, ep->interface);
        if (pipe->usable) {
            pipe->interface = ep->interface;
            pipe->interrupt = ep->interrupt;
            pipe->maxPacket = ep->maxPacket;
        }
    }
    return rc == LIBUSB_SUCCESS ? kSuccess : kFail;
}

MPUSB_EXPORT uint32_t MPUSB_CALL _MPUSBGetStringDescriptor(void *handle, uint8_t index, uint16_t languageId,
                                                           void *data, uint32_t length, uint32_t *transferred)
{
    if (transferred)
        *transferred = 0;
    auto p = findPipe(handle);
    if (!p || p->device->gone || !data || length == 0)
        return kFail;
    // The request asks for at most what fits; the device answers with the
    // descriptor as it is, length and type bytes first.
    int size = static_cast<int>(std::min<uint32_t>(length, 255));
    std::array<unsigned char, 255> buffer{};
    int rc = libusb_get_string_descriptor(p->device->handle, index, languageId, buffer.data(), size);
    if (rc == LIBUSB_ERROR_NO_DEVICE)
        p->device->gone = true;
    if (rc < 0)
        return kFail;
    std::memcpy(data, buffer.data(), static_cast<std::size_t>(rc));
    if (transferred)
        *transferred = static_cast<uint32_t>(rc);
    return kSuccess;
}

// Tells why an open of this instance would fail, by trying one: usbfs checks
// the node's permissions only when it is opened.
MPUSB_EXPORT uint32_t MPUSB_CALL _QZGetDeviceAccess(uint32_t instance, const char *vidPid)
{
    auto id = parseSelector(vidPid);
    if (!id)
        return MPUSB_ACCESS_NO_DEVICE;
    State &s = state();
    std::lock_guard lock(s.mutex);
    libusb_context *ctx = context(s);
    if (!ctx)
        return MPUSB_ACCESS_UNKNOWN;
    MatchingDevices matching(ctx, *id);
    if (instance >= matching.size())
        return MPUSB_ACCESS_NO_DEVICE;
    if (openDevice(s, matching.at(instance)))
        return MPUSB_ACCESS_READY;
    libusb_device_handle *handle = nullptr;
    switch (libusb_open(matching.at(instance), &handle)) {
    case LIBUSB_SUCCESS:
        libusb_close(handle);
        return MPUSB_ACCESS_READY;
    case LIBUSB_ERROR_ACCESS:
        return MPUSB_ACCESS_DENIED;
    default:
        return MPUSB_ACCESS_UNKNOWN;
    }
}

MPUSB_EXPORT uint32_t MPUSB_CALL _QZGetDeviceLocation(uint32_t instance, const char *vidPid, char *buffer,
                                                      uint32_t size)
{
    if (!buffer || size == 0)
        return 0;
    buffer[0] = '\0';
    auto id = parseSelector(vidPid);
    if (!id)
        return 0;
    State &s = state();
    std::lock_guard lock(s.mutex);
    libusb_context *ctx = context(s);
    if (!ctx)
        return 0;
    MatchingDevices matching(ctx, *id);
    if (instance >= matching.size())
        return 0;
    const Candidate &c = matching.candidate(instance);
    if (c.ports.empty()) // a root hub has no port path
        return 0;
    // As sysfs names the device: bus, then the ports from the root down.
    std::string text = std::to_string(c.bus);
    char separator = '-';
    for (uint8_t port : c.ports) {
        text += separator;
        text += std::to_string(port);
        separator = '.';
    }
    if (text.size() >= size)
        return 0;
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return static_cast<uint32_t>(text.size());
}

} // extern "C"
