// Simulated transmitters behind the USB entry points.
#include "SimulatorState.h"

#include <cstring>

using namespace qzsim;

extern "C" {

uint32_t MPUSB_CALL _MPUSBGetDLLVersion(void)
{
    State &s = state();
    s.logLocked("GetDLLVersion");
    return kVersion;
}

uint32_t MPUSB_CALL _MPUSBGetDeviceCount(const char *vidPid)
{
    State &s = state();
    std::lock_guard lock(s.mutex);
    if (s.attachAfter && --s.attachAfter == 0)
        s.deviceCount = s.attachedCount; // plugged in now
    uint32_t n = selectorMatches(vidPid) ? s.deviceCount : 0;
    s.log("GetDeviceCount " + std::string(vidPid ? vidPid : "") + " -> " + std::to_string(n));
    return n;
}

void *MPUSB_CALL _MPUSBOpen(uint32_t instance, const char *vidPid, const char *endpoint, uint32_t direction,
                            uint32_t reserved)
{
    State &s = state();
    bool denied = false;
    if (instance < QZSIM_MAX_DEVICES) {
        Device &d = s.device(instance);
        std::lock_guard lock(d.mutex);
        denied = d.denied;
    }
    std::lock_guard lock(s.mutex);
    void *h = MPUSB_INVALID_HANDLE;
    bool endpointOk = endpoint && std::strcmp(endpoint, "\\MCHP_EP1") == 0;
    if (selectorMatches(vidPid) && endpointOk && instance < s.deviceCount && !denied && direction <= 1 &&
        reserved == 0) {
        uintptr_t id = s.nextHandle++;
        s.pipes[id] = Pipe{instance, direction, s.generation};
        h = reinterpret_cast<void *>(id);
    }
    s.log("Open " + std::to_string(instance) + " " + std::to_string(direction) + " -> " + s.handleName(h));
    return h;
}

static uint32_t readPipe(const char *name, void *handle, void *data, uint32_t length, uint32_t *transferred,
                         uint32_t timeoutMs)
{
    State &s = state();
    const uint32_t latency = s.latency(handle);
    uint32_t ok = 0;
    uint32_t n = 0;
    Pipe p{};
    if (s.livePipeLocked(handle, p) && p.direction == MP_READ && data) {
        Device &d = s.device(p.instance);
        std::unique_lock lock(d.mutex);
        if (d.replyPending) {
            n = length < 64 ? length : 64;
            std::memcpy(data, d.pendingReply, n);
            d.replyPending = false;
            ok = 1;
        }
    }
    // as a real device's drain does, a read that finds nothing waits its whole timeout
    wait(latency ? (ok ? latency : timeoutMs) : 0);
    if (transferred)
        *transferred = n;
    s.logLocked(std::string(name) + " " + s.handleName(handle) + " " + std::to_string(length) + " " +
                std::to_string(timeoutMs) + " -> " + std::to_string(ok));
    return ok;
}

uint32_t MPUSB_CALL _MPUSBRead(void *handle, void *data, uint32_t length, uint32_t *transferred, uint32_t timeoutMs)
{
    return readPipe("Read", handle, data, length, transferred, timeoutMs);
}

#ifndef QZSIM_OMIT_READINT
uint32_t MPUSB_CALL _MPUSBReadInt(void *handle, void *data, uint32_t length, uint32_t *transferred,
                                  uint32_t timeoutMs)
{
    return readPipe("ReadInt", handle, data, length, transferred, timeoutMs);
}
#endif

uint32_t MPUSB_CALL _MPUSBWrite(void *handle, const void *data, uint32_t length, uint32_t *transferred,
                                uint32_t timeoutMs)
{
    State &s = state();
    wait(s.latency(handle));
    uint32_t ok = 0;
    Pipe p{};
    if (s.livePipeLocked(handle, p) && p.direction == MP_WRITE && data && length >= 64) {
        const uint8_t *req = static_cast<const uint8_t *>(data);
        {
            std::lock_guard lock(s.mutex);
            if (s.requests.size() >= 100000)
                s.requests.erase(s.requests.begin(), s.requests.begin() + 50000);
            s.requests.emplace_back(req, req + 64);
        }
        Device &d = s.device(p.instance);
        std::lock_guard lock(d.mutex);
        d.replyPending = d.answer(req, s);
        d.persist(req);
        ok = 1;
    }
    if (transferred)
        *transferred = ok ? length : 0;
    s.logLocked("Write " + s.handleName(handle) + " " + std::to_string(length) + " " + std::to_string(timeoutMs) +
                " -> " + std::to_string(ok));
    return ok;
}

int32_t MPUSB_CALL _MPUSBClose(void *handle)
{
    State &s = state();
    std::lock_guard lock(s.mutex);
    bool known = s.pipes.erase(reinterpret_cast<uintptr_t>(handle)) > 0;
    s.log("Close " + s.handleName(handle));
    return known ? 1 : 0;
}

uint32_t MPUSB_CALL _MPUSBSetConfiguration(void *handle, uint16_t configuration)
{
    State &s = state();
    std::lock_guard lock(s.mutex);
    s.log("SetConfiguration " + s.handleName(handle) + " " + std::to_string(configuration));
    Pipe p{};
    return s.livePipe(handle, p) && configuration == 1 ? 1 : 0;
}

uint32_t MPUSB_CALL _MPUSBGetStringDescriptor(void *handle, uint8_t index, uint16_t languageId, void *data,
                                              uint32_t length, uint32_t *transferred)
{
    State &s = state();
    std::lock_guard lock(s.mutex);
    s.log("GetStringDescriptor " + s.handleName(handle) + " " + std::to_string(index));
    // a string descriptor: length, type 3, then UTF-16LE text
    static const char text[] = "QZ5801 simulated transmitter";
    uint8_t desc[2 + 2 * (sizeof text - 1)];
    desc[0] = sizeof desc;
    desc[1] = 3;
    for (std::size_t i = 0; i + 1 < sizeof text; ++i) {
        desc[2 + 2 * i] = static_cast<uint8_t>(text[i]);
        desc[3 + 2 * i] = 0;
    }
    uint32_t n = 0;
    Pipe p{};
    bool ok = s.livePipe(handle, p) && data && (index != 0 || languageId == 0);
    if (ok) {
        n = length < sizeof desc ? length : static_cast<uint32_t>(sizeof desc);
        std::memcpy(data, desc, n);
    }
    if (transferred)
        *transferred = n;
    return ok ? 1 : 0;
}

uint32_t MPUSB_CALL _QZGetDeviceAccess(uint32_t instance, const char *vidPid)
{
    State &s = state();
    uint32_t count;
    {
        std::lock_guard lock(s.mutex);
        count = s.deviceCount;
    }
    if (!selectorMatches(vidPid) || instance >= count)
        return MPUSB_ACCESS_NO_DEVICE;
    Device &d = s.device(instance);
    std::lock_guard lock(d.mutex);
    return d.denied ? MPUSB_ACCESS_DENIED : MPUSB_ACCESS_READY;
}

// Bus 1, one port per instance: "1-1", "1-2", ...
uint32_t MPUSB_CALL _QZGetDeviceLocation(uint32_t instance, const char *vidPid, char *buffer, uint32_t size)
{
    State &s = state();
    uint32_t count;
    {
        std::lock_guard lock(s.mutex);
        count = s.deviceCount;
    }
    if (!selectorMatches(vidPid) || instance >= count || !buffer)
        return 0;
    const std::string location = "1-" + std::to_string(instance + 1);
    if (location.size() + 1 > size)
        return 0;
    std::memcpy(buffer, location.c_str(), location.size() + 1);
    return static_cast<uint32_t>(location.size());
}

} // extern "C"
