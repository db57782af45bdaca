// The simulated transmitter itself: memory, the answer to each request, the
// switches read from the environment, the pipe table and the logs.
#include "SimulatorState.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace qzsim {

namespace {

// The transmitter's own view of the check byte: CRC-8, polynomial 0xA3,
// over bytes 1 to 61, then XOR with byte 62.
uint8_t qzsimChecksum(const uint8_t *f)
{
    uint8_t crc = 0;
    for (int i = 1; i <= 61; ++i) {
        crc ^= f[i];
        for (int b = 0; b < 8; ++b)
            crc = (crc & 0x80) ? static_cast<uint8_t>((crc << 1) ^ 0xA3) : static_cast<uint8_t>(crc << 1);
    }
    return static_cast<uint8_t>(crc ^ f[62]);
}

// "name" for every instance, or "N:name" for instance N; entries separated by commas.
template <typename Apply> void forEachEntry(const char *text, Apply &&apply)
{
    std::string all(text);
    std::size_t start = 0;
    while (start <= all.size()) {
        std::size_t end = all.find(',', start);
        if (end == std::string::npos)
            end = all.size();
        std::string entry = all.substr(start, end - start);
        start = end + 1;
        if (entry.empty())
            continue;
        std::size_t colon = entry.find(':');
        if (colon == std::string::npos) {
            for (uint32_t i = 0; i < QZSIM_MAX_DEVICES; ++i)
                apply(i, entry);
        } else {
            char *stop = nullptr;
            unsigned long instance = std::strtoul(entry.c_str(), &stop, 10);
            if (stop == entry.c_str() + colon && instance < QZSIM_MAX_DEVICES)
                apply(static_cast<uint32_t>(instance), entry.substr(colon + 1));
        }
    }
}

// Device 0 uses the file as named, device N the name with ".N" appended.
std::string perDeviceFile(const char *path, uint32_t instance)
{
    return instance == 0 ? std::string(path) : std::string(path) + "." + std::to_string(instance);
}

} // namespace

void Device::putFloat(uint32_t address, float v) { std::memcpy(memory + address, &v, 4); }

float Device::getFloat(uint32_t address) const
{
    float v;
    std::memcpy(&v, memory + address, 4);
    return v;
}

void Device::factoryImage()
{
    std::memset(memory, 0, sizeof memory);
    const uint16_t serial = static_cast<uint16_t>(kFirstSerialNumber + instance);
    memory[7] = static_cast<uint8_t>(serial);
    memory[8] = static_cast<uint8_t>(serial >> 8);
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

void Device::reset()
{
    factoryImage();
    fault = QZSIM_FAULT_NONE;
    failFrom = 0;
    failUntil = 0;
    denied = false;
    requestNumber = 0;
    replyPending = false;
}

void Device::loadMemoryFile()
{
    if (memoryFile.empty())
        return;
    if (std::FILE *f = std::fopen(memoryFile.c_str(), "rb")) {
        std::vector<uint8_t> image(sizeof memory);
        if (std::fread(image.data(), 1, image.size(), f) == image.size())
            std::memcpy(memory, image.data(), sizeof memory);
        std::fclose(f);
    }
}

void Device::persist(const uint8_t *req)
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
            if (!ok || !replaceFile(tmp, memoryFile))
                std::remove(tmp.c_str());
        }
    }
}

bool Device::answer(const uint8_t *req, State &state)
{
    uint32_t number = ++requestNumber;
    if (fault == QZSIM_FAULT_NO_REPLY || (failFrom && number >= failFrom && (!failUntil || number <= failUntil)))
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
    // in 64 bits: an address near 4 GiB must not wrap round into the memory
    const bool inMemory = length > 0 && length <= 52 && uint64_t{address} + length <= sizeof memory;
    switch (req[3]) {
    case 1:
    case 2:
    case 4:
    case 13:
        break;
    case 5: {
        if (req[4] != 4)
            return false;
        float v = state.actualValue(getFloat(890), getFloat(940));
        r[5] = 4;
        std::memcpy(r + 7, &v, 4);
        break;
    }
    case 7:
        if (!inMemory)
            return false;
        r[4] = static_cast<uint8_t>(length);
        std::memcpy(r + 11, memory + address, length);
        break;
    case 8:
        if (!inMemory)
            return false;
        r[4] = static_cast<uint8_t>(length);
        if (fault != QZSIM_FAULT_KEEP_MEMORY)
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

State::State()
{
    instanceLatencyMs.fill(-1);
    fromEnvironment();
}

Device &State::device(uint32_t instance)
{
    if (Device *d = existing(instance))
        return *d;
    std::lock_guard lock(making);
    if (!devices[instance]) {
        auto d = std::make_unique<Device>();
        d->instance = instance;
        d->factoryImage();
        devices[instance] = std::move(d);
        made[instance].store(devices[instance].get(), std::memory_order_release);
    }
    return *devices[instance];
}

void State::fromEnvironment()
{
    if (const char *v = std::getenv("QZSIM_DEVICES")) {
        unsigned long n = std::strtoul(v, nullptr, 10);
        deviceCount = static_cast<uint32_t>(n < QZSIM_MAX_DEVICES ? n : QZSIM_MAX_DEVICES);
    }
    if (const char *v = std::getenv("QZSIM_VALUE")) {
        sweeping = false;
        fixedValue = std::strtof(v, nullptr);
    }
    if (const char *v = std::getenv("QZSIM_VALUE_SCRIPT"))
        loadScript(v);
    if (const char *v = std::getenv("QZSIM_LATENCY_MS")) {
        if (std::strchr(v, ':'))
            forEachEntry(v, [&](uint32_t instance, const std::string &ms) {
                instanceLatencyMs[instance] = static_cast<int32_t>(std::strtoul(ms.c_str(), nullptr, 10) % 60000);
            });
        else
            latencyMs = static_cast<uint32_t>(std::strtoul(v, nullptr, 10) % 60000);
    }
    if (const char *v = std::getenv("QZSIM_FAULT")) {
        static const char *names[] = {"none", "no-reply", "command", "master", "slave", "crc", "keep-memory"};
        forEachEntry(v, [&](uint32_t instance, const std::string &name) {
            for (int i = 0; i < 7; ++i)
                if (name == names[i])
                    device(instance).fault = i;
        });
    }
    if (const char *v = std::getenv("QZSIM_FAIL_FROM"))
        forEachEntry(v, [&](uint32_t instance, const std::string &n) {
            // "n", or "n-m": silent from the n-th through the m-th request, answering again after it
            char *rest = nullptr;
            device(instance).failFrom = static_cast<uint32_t>(std::strtoul(n.c_str(), &rest, 10));
            if (rest && *rest == '-')
                device(instance).failUntil = static_cast<uint32_t>(std::strtoul(rest + 1, nullptr, 10));
        });
    if (const char *v = std::getenv("QZSIM_ATTACH_AFTER")) {
        attachAfter = static_cast<uint32_t>(std::strtoul(v, nullptr, 10) % 100000);
        if (attachAfter) {
            attachedCount = deviceCount;
            deviceCount = 0;
        }
    }
    if (const char *v = std::getenv("QZSIM_DENIED"))
        forEachEntry(v, [&](uint32_t instance, const std::string &) { device(instance).denied = true; });
    for (uint32_t i = 0; i < QZSIM_MAX_DEVICES; ++i) {
        if (const char *v = std::getenv("QZSIM_MEMORY")) {
            device(i).memoryFile = perDeviceFile(v, i);
            device(i).loadMemoryFile();
        }
        if (const char *v = std::getenv("QZSIM_LOG"))
            device(i).requestLogFile = perDeviceFile(v, i);
    }
}

void State::loadScript(const char *path)
{
    // a pressure source's programme: bounded, so a wrong file cannot eat the memory
    constexpr std::size_t kMaxScriptValues = 1000000;
    std::FILE *f = std::fopen(path, "r");
    if (!f)
        return;
    char line[256];
    while (std::fgets(line, sizeof line, f) && script.size() < kMaxScriptValues) {
        char *p = line;
        while (std::isspace(static_cast<unsigned char>(*p)))
            ++p;
        if (*p == '#' || *p == '\0')
            continue;
        char *end = nullptr;
        const float v = std::strtof(p, &end);
        if (end == p)
            continue;
        unsigned long times = 1;
        if (*end == '*')
            times = std::strtoul(end + 1, nullptr, 10);
        for (unsigned long i = 0; i < times && script.size() < kMaxScriptValues; ++i)
            script.push_back(v);
    }
    std::fclose(f);
    if (!script.empty())
        sweeping = false;
}

void State::reset()
{
    deviceCount = 1;
    attachAfter = 0;
    attachedCount = 0;
    ++generation;
    latencyMs = 0;
    instanceLatencyMs.fill(-1);
    sweeping = true;
    fixedValue = 0;
    readings.clear();
    script.clear();
    scriptNext = 0;
    requests.clear();
    callLog.clear();
    pipes.clear();
    nextHandle = 1;
    start = std::chrono::steady_clock::now();
}

float State::actualValue(float range, float offset)
{
    std::lock_guard lock(mutex);
    if (!readings.empty()) {
        float v = readings.front();
        readings.pop_front();
        return v;
    }
    if (!script.empty()) {
        const float v = script[std::min(scriptNext, script.size() - 1)];
        if (scriptNext < script.size())
            ++scriptNext;
        return v + offset;
    }
    if (!sweeping)
        return fixedValue + offset;
    // a triangle from -5 % to 105 % of the range and back, one way a minute
    double t = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    double phase = std::fmod(t / kSweepSeconds, 2.0);
    double x = phase < 1.0 ? phase : 2.0 - phase;
    return static_cast<float>(range * (-0.05 + 1.10 * x)) + offset;
}

std::string State::handleName(void *h) const
{
    if (h == MPUSB_INVALID_HANDLE)
        return "invalid";
    // Appended, not "h" + ...: GCC 12 at -O3 warns falsely (-Wrestrict) about
    // the insert that operator+ makes of it.
    std::string name = "h";
    name += std::to_string(reinterpret_cast<uintptr_t>(h));
    return name;
}

void State::log(const std::string &line)
{
    // a demonstration may poll for hours: keep the newest part only
    if (callLog.size() > (4u << 20))
        callLog.erase(0, callLog.find('\n', callLog.size() / 2) + 1);
    callLog += line;
    callLog += '\n';
}

void State::logLocked(const std::string &line)
{
    std::lock_guard lock(mutex);
    log(line);
}

bool State::livePipe(void *h, Pipe &pipe) const
{
    auto it = pipes.find(reinterpret_cast<uintptr_t>(h));
    if (it == pipes.end() || it->second.generation != generation || it->second.instance >= deviceCount)
        return false;
    pipe = it->second;
    return true;
}

bool State::livePipeLocked(void *h, Pipe &pipe)
{
    std::lock_guard lock(mutex);
    return livePipe(h, pipe);
}

uint32_t State::latency(void *handle)
{
    std::lock_guard lock(mutex);
    Pipe pipe{};
    if (livePipe(handle, pipe) && instanceLatencyMs[pipe.instance] >= 0)
        return static_cast<uint32_t>(instanceLatencyMs[pipe.instance]);
    return latencyMs;
}

State &state()
{
    static State s;
    return s;
}

void wait(uint32_t ms)
{
    if (ms)
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
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

} // namespace qzsim
