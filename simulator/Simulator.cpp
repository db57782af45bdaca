// A simulated transmitter behind the nine USB entry points.
#define MPUSB_DECLARE_EXPORTS
#include "mpusbapi.h"
#include "qzsim.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kVersion = 0x00010000;
constexpr uint8_t kDeviceAddress = 0x01;
constexpr double kSweepSeconds = 60.0;

struct Pipe {
    uint32_t instance;
    uint32_t direction;
    uint32_t generation;
};

struct State {
    std::mutex mutex;
    uint8_t memory[65536];
    uint32_t deviceCount = 1;
    uint32_t generation = 1; // bumped on unplug, so old handles go stale
    int fault = QZSIM_FAULT_NONE;
    uint32_t failFrom = 0;
    bool sweeping = true;
    float fixedValue = 0;
    std::deque<float> readings;
    std::vector<std::vector<uint8_t>> requests;
    uint32_t requestNumber = 0; // counts from 1 since the last reset or clear of the logs
    std::string callLog;
    std::string callLogCopy;
    std::map<uintptr_t, Pipe> pipes;
    uintptr_t nextHandle = 1;
    bool replyPending = false;
    uint8_t pendingReply[64];
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();

    std::string memoryFile; // QZSIM_MEMORY: a transmitter that outlives the process
    std::string requestLogFile; // QZSIM_LOG: requests as hex lines, for tests of other processes

    State()
    {
        factoryImage();
        fromEnvironment();
    }

    // Settings for a simulator loaded into another process (the window, the
    // command-line companion), where the control functions cannot be reached.
    void fromEnvironment()
    {
        if (const char *v = std::getenv("QZSIM_DEVICES"))
            deviceCount = static_cast<uint32_t>(std::strtoul(v, nullptr, 10));
        if (const char *v = std::getenv("QZSIM_VALUE")) {
            sweeping = false;
            fixedValue = std::strtof(v, nullptr);
        }
        if (const char *v = std::getenv("QZSIM_FAULT")) {
            static const char *names[] = {"none", "no-reply", "command", "master", "slave", "crc"};
            for (int i = 0; i < 6; ++i)
                if (std::strcmp(v, names[i]) == 0)
                    fault = i;
        }
        if (const char *v = std::getenv("QZSIM_MEMORY")) {
            memoryFile = v;
            if (std::FILE *f = std::fopen(v, "rb")) {
                uint8_t image[sizeof memory];
                if (std::fread(image, 1, sizeof image, f) == sizeof image)
                    std::memcpy(memory, image, sizeof memory);
                std::fclose(f);
            }
        }
        if (const char *v = std::getenv("QZSIM_LOG"))
            requestLogFile = v;
    }

    void persist(const uint8_t *req)
    {
        if (!requestLogFile.empty()) {
            if (std::FILE *f = std::fopen(requestLogFile.c_str(), "a")) {
                for (int i = 0; i < 64; ++i)
                    std::fprintf(f, "%02x", req[i]);
                std::fputc('\n', f);
                std::fclose(f);
            }
        }
        if (!memoryFile.empty() && req[3] == 8) {
            std::string tmp = memoryFile + ".tmp";
            if (std::FILE *f = std::fopen(tmp.c_str(), "wb")) {
                bool ok = std::fwrite(memory, 1, sizeof memory, f) == sizeof memory;
                ok = std::fclose(f) == 0 && ok;
                if (ok)
                    std::rename(tmp.c_str(), memoryFile.c_str());
            }
        }
    }

    void putFloat(uint32_t address, float v) { std::memcpy(memory + address, &v, 4); }
    float getFloat(uint32_t address) const
    {
        float v;
        std::memcpy(&v, memory + address, 4);
        return v;
    }

    void factoryImage()
    {
        std::memset(memory, 0, sizeof memory);
        memory[7] = 0x39; // serial number 12345
        memory[8] = 0x30;
        // output 1: Compression 20..60 kPa, output 2: Extraction 40..80 kPa, output 3: Correct value 30..70 kPa
        putFloat(67, 20000.0f);
        putFloat(71, 60000.0f);
        memory[75] = 1;
        putFloat(76, 40000.0f);
        putFloat(80, 80000.0f);
        memory[84] = 2;
        putFloat(85, 30000.0f);
        putFloat(89, 70000.0f);
        memory[93] = 3;
        putFloat(890, 100000.0f);
        putFloat(894, 1000.0f);
        putFloat(940, 0.0f);
    }

    void reset()
    {
        factoryImage();
        deviceCount = 1;
        ++generation;
        fault = QZSIM_FAULT_NONE;
        failFrom = 0;
        sweeping = true;
        fixedValue = 0;
        readings.clear();
        requests.clear();
        requestNumber = 0;
        callLog.clear();
        pipes.clear();
        nextHandle = 1;
        replyPending = false;
        start = std::chrono::steady_clock::now();
    }

    float actualValue()
    {
        if (!readings.empty()) {
            float v = readings.front();
            readings.pop_front();
            return v;
        }
        float raw = fixedValue;
        if (sweeping) {
            // a triangle from -5 % to 105 % of the range and back, one way a minute
            double range = getFloat(890);
            double t = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            double phase = std::fmod(t / kSweepSeconds, 2.0);
            double x = phase < 1.0 ? phase : 2.0 - phase;
            raw = static_cast<float>(range * (-0.05 + 1.10 * x));
        }
        return raw + getFloat(940);
    }

    std::string handleName(void *h) const
    {
        if (h == MPUSB_INVALID_HANDLE)
            return "invalid";
        return "h" + std::to_string(reinterpret_cast<uintptr_t>(h));
    }

    void log(const std::string &line)
    {
        // a demonstration may poll for hours: keep the newest part only
        if (callLog.size() > (4u << 20))
            callLog.erase(0, callLog.find('\n', callLog.size() / 2) + 1);
        callLog += line;
        callLog += '\n';
    }

    const Pipe *livePipe(void *h) const
    {
        auto it = pipes.find(reinterpret_cast<uintptr_t>(h));
        if (it == pipes.end() || it->second.generation != generation || it->second.instance >= deviceCount)
            return nullptr;
        return &it->second;
    }

    // Returns false when the transmitter stays silent.
    bool answer(const uint8_t *req)
    {
        uint32_t number = ++requestNumber;
        if (fault == QZSIM_FAULT_NO_REPLY || (failFrom && number >= failFrom))
            return false;
        if (req[0] != 0xA5 || req[1] != 0xFF || qzsimChecksum(req) != req[63])
            return false;
        if (req[2] != 0xFE && req[2] != kDeviceAddress)
            return false; // 0xFD too: nobody answers a broadcast
        uint8_t *r = pendingReply;
        std::memset(r, 0, 64);
        r[0] = 0xA5;
        r[1] = 0xFF;
        r[2] = kDeviceAddress;
        r[3] = req[3];
        uint32_t address = static_cast<uint32_t>(req[7]) | static_cast<uint32_t>(req[8]) << 8 |
                           static_cast<uint32_t>(req[9]) << 16 | static_cast<uint32_t>(req[10]) << 24;
        uint32_t length = req[4];
        switch (req[3]) {
        case 1:
        case 2:
        case 4:
        case 13:
            break;
        case 5: {
            if (req[4] != 4)
                return false;
            float v = actualValue();
            r[5] = 4;
            std::memcpy(r + 7, &v, 4);
            break;
        }
        case 7:
            if (length == 0 || length > 52 || address + length > sizeof memory)
                return false;
            r[4] = static_cast<uint8_t>(length);
            std::memcpy(r + 11, memory + address, length);
            break;
        case 8:
            if (length == 0 || length > 52 || address + length > sizeof memory)
                return false;
            r[4] = static_cast<uint8_t>(length);
            std::memcpy(memory + address, req + 11, length);
            break;
        default:
            return false;
        }
        switch (fault) {
        case QZSIM_FAULT_COMMAND:
            r[3] = static_cast<uint8_t>(r[3] + 1);
            break;
        case QZSIM_FAULT_MASTER:
            r[1] = 0x00;
            break;
        case QZSIM_FAULT_SLAVE:
            r[2] = static_cast<uint8_t>(req[2] == 0xFE ? 0x02 : req[2] ^ 0x01);
            break;
        default:
            break;
        }
        r[63] = qzsimChecksum(r);
        if (fault == QZSIM_FAULT_CRC)
            r[63] ^= 0x5A;
        if (fault == QZSIM_FAULT_SLAVE && req[2] == 0xFE)
            r[2] = 0x02; // any slave is fine for 0xFE, so the fault shows only for a named slave
        return true;
    }

    // The transmitter's own view of the check byte: CRC-8, polynomial 0xA3,
    // over bytes 1 to 61, then XOR with byte 62.
    static uint8_t qzsimChecksum(const uint8_t *f)
    {
        uint8_t crc = 0;
        for (int i = 1; i <= 61; ++i) {
            crc ^= f[i];
            for (int b = 0; b < 8; ++b)
                crc = (crc & 0x80) ? static_cast<uint8_t>((crc << 1) ^ 0xA3) : static_cast<uint8_t>(crc << 1);
        }
        return static_cast<uint8_t>(crc ^ f[62]);
    }
};

State &state()
{
    static State s;
    return s;
}

bool selectorMatches(const char *vidPid)
{
    if (!vidPid)
        return false;
    std::string s(vidPid);
    for (auto &c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s == "vid_04d8&pid_000c";
}

} // namespace

extern "C" {

uint32_t MPUSB_CALL _MPUSBGetDLLVersion(void)
{
    State &s = state();
    std::lock_guard lock(s.mutex);
    s.log("GetDLLVersion");
    return kVersion;
}

uint32_t MPUSB_CALL _MPUSBGetDeviceCount(const char *vidPid)
{
    State &s = state();
    std::lock_guard lock(s.mutex);
    uint32_t n = selectorMatches(vidPid) ? s.deviceCount : 0;
    s.log("GetDeviceCount " + std::string(vidPid ? vidPid : "") + " -> " + std::to_string(n));
    return n;
}

void *MPUSB_CALL _MPUSBOpen(uint32_t instance, const char *vidPid, const char *endpoint, uint32_t direction,
                            uint32_t reserved)
{
    State &s = state();
    std::lock_guard lock(s.mutex);
    void *h = MPUSB_INVALID_HANDLE;
    bool endpointOk = endpoint && std::strcmp(endpoint, "\\MCHP_EP1") == 0;
    if (selectorMatches(vidPid) && endpointOk && instance < s.deviceCount && direction <= 1 && reserved == 0) {
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
    std::lock_guard lock(s.mutex);
    uint32_t ok = 0;
    uint32_t n = 0;
    const Pipe *p = s.livePipe(handle);
    if (p && p->direction == MP_READ && s.replyPending && data) {
        n = length < 64 ? length : 64;
        std::memcpy(data, s.pendingReply, n);
        s.replyPending = false;
        ok = 1;
    }
    if (transferred)
        *transferred = n;
    s.log(std::string(name) + " " + s.handleName(handle) + " " + std::to_string(length) + " " +
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
    std::lock_guard lock(s.mutex);
    uint32_t ok = 0;
    const Pipe *p = s.livePipe(handle);
    if (p && p->direction == MP_WRITE && data && length >= 64) {
        const uint8_t *req = static_cast<const uint8_t *>(data);
        if (s.requests.size() >= 100000)
            s.requests.erase(s.requests.begin(), s.requests.begin() + 50000);
        s.requests.emplace_back(req, req + 64);
        s.replyPending = s.answer(req);
        s.persist(req);
        ok = 1;
    }
    if (transferred)
        *transferred = ok ? length : 0;
    s.log("Write " + s.handleName(handle) + " " + std::to_string(length) + " " + std::to_string(timeoutMs) +
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
    return s.livePipe(handle) && configuration == 1 ? 1 : 0;
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
    bool ok = s.livePipe(handle) && data && (index != 0 || languageId == 0);
    if (ok) {
        n = length < sizeof desc ? length : static_cast<uint32_t>(sizeof desc);
        std::memcpy(data, desc, n);
    }
    if (transferred)
        *transferred = n;
    return ok ? 1 : 0;
}

// Control interface

MPUSB_EXPORT void qzsim_reset(void)
{
    State &s = state();
    std::lock_guard lock(s.mutex);
    s.reset();
}

MPUSB_EXPORT void qzsim_set_device_count(uint32_t count)
{
    State &s = state();
    std::lock_guard lock(s.mutex);
    if (count < s.deviceCount)
        ++s.generation;
    s.deviceCount = count;
    s.replyPending = false;
}

MPUSB_EXPORT void qzsim_set_fault(int fault)
{
    State &s = state();
    std::lock_guard lock(s.mutex);
    s.fault = fault;
}

MPUSB_EXPORT void qzsim_fail_from(uint32_t n)
{
    State &s = state();
    std::lock_guard lock(s.mutex);
    s.failFrom = n;
}

MPUSB_EXPORT uint8_t *qzsim_memory(void) { return state().memory; }

MPUSB_EXPORT void qzsim_set_value(float pascal)
{
    State &s = state();
    std::lock_guard lock(s.mutex);
    s.sweeping = false;
    s.fixedValue = pascal;
}

MPUSB_EXPORT void qzsim_sweep(void)
{
    State &s = state();
    std::lock_guard lock(s.mutex);
    s.sweeping = true;
}

MPUSB_EXPORT void qzsim_push_reading(float pascal)
{
    State &s = state();
    std::lock_guard lock(s.mutex);
    s.readings.push_back(pascal);
}

MPUSB_EXPORT uint32_t qzsim_request_count(void)
{
    State &s = state();
    std::lock_guard lock(s.mutex);
    return static_cast<uint32_t>(s.requests.size());
}

MPUSB_EXPORT const uint8_t *qzsim_request(uint32_t index)
{
    State &s = state();
    std::lock_guard lock(s.mutex);
    return index < s.requests.size() ? s.requests[index].data() : nullptr;
}

MPUSB_EXPORT const char *qzsim_call_log(void)
{
    State &s = state();
    std::lock_guard lock(s.mutex);
    s.callLogCopy = s.callLog;
    return s.callLogCopy.c_str();
}

MPUSB_EXPORT void qzsim_clear_logs(void)
{
    State &s = state();
    std::lock_guard lock(s.mutex);
    s.requests.clear();
    s.requestNumber = 0;
    s.callLog.clear();
}

} // extern "C"
