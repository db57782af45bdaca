// The simulated transmitters' state, shared by the USB entry points and the
// control interface for tests. Each instance has its own memory, reply and
// faults behind its own lock, so separate instances can be driven from
// separate threads; the pipe table and the logs have one lock.
#pragma once

#define MPUSB_DECLARE_EXPORTS
#include "mpusbapi.h"
#include "qzsim.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace qzsim {

inline constexpr uint32_t kVersion = 0x00010000;
inline constexpr uint8_t kDeviceAddress = 0x01;
inline constexpr double kSweepSeconds = 60.0;
inline constexpr uint32_t kMemorySize = 65536;
inline constexpr uint16_t kFirstSerialNumber = 12345;

struct Pipe {
    uint32_t instance;
    uint32_t direction;
    uint32_t generation;
};

struct State;

struct Device {
    std::mutex mutex;
    uint32_t instance = 0;
    uint8_t memory[kMemorySize];
    int fault = QZSIM_FAULT_NONE;
    uint32_t failFrom = 0;
    uint32_t failUntil = 0; // 0: silent for good once failFrom is reached
    bool denied = false;
    uint32_t requestNumber = 0; // counts from 1 since the last reset or clear of the logs
    bool replyPending = false;
    uint8_t pendingReply[64];
    std::string memoryFile; // a transmitter that outlives the process
    std::string requestLogFile;

    void putFloat(uint32_t address, float v);
    float getFloat(uint32_t address) const;
    void factoryImage();
    void reset();
    void loadMemoryFile();
    // Appends the request to the request log; after a memory write, saves the memory file.
    void persist(const uint8_t *req);
    // Builds the reply in pendingReply; false when the transmitter stays silent.
    // Called under this device's lock; takes the state's lock for the actual value.
    bool answer(const uint8_t *req, State &state);
};

struct State {
    // Pipes, device count, values, logs. Taken after a device's lock, never before one.
    std::mutex mutex;
    std::array<std::unique_ptr<Device>, QZSIM_MAX_DEVICES> devices;
    std::array<std::atomic<Device *>, QZSIM_MAX_DEVICES> made{};
    std::mutex making; // only while a device is made; no other lock is taken under it
    uint32_t deviceCount = 1;
    // Plugged in late: the count reads 0 this many times, then attachedCount.
    uint32_t attachAfter = 0;
    uint32_t attachedCount = 0;
    uint32_t generation = 1; // bumped on unplug, so old handles go stale
    uint32_t latencyMs = 0;
    // Per instance, in place of latencyMs where set (from QZSIM_LATENCY_MS=N:ms).
    std::array<int32_t, QZSIM_MAX_DEVICES> instanceLatencyMs;
    bool sweeping = true;
    float fixedValue = 0;
    std::deque<float> readings;
    // QZSIM_VALUE_SCRIPT: one value per query in this order, the last one held after.
    std::vector<float> script;
    std::size_t scriptNext = 0;
    std::vector<std::vector<uint8_t>> requests;
    std::string callLog;
    std::string callLogCopy;
    std::map<uintptr_t, Pipe> pipes;
    uintptr_t nextHandle = 1;
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();

    State();

    // Made on first use: sixteen memories filled at load would be a megabyte
    // in every process that loads the simulator, for the one or two it uses.
    Device &device(uint32_t instance);
    // The instance if it was used yet, else null (a fresh one is in its factory state).
    Device *existing(uint32_t instance) const { return made[instance].load(std::memory_order_acquire); }

    // Settings for a simulator loaded into another process (the window, the
    // command-line companion), where the control functions cannot be reached.
    void fromEnvironment();
    // Reads the value script (QZSIM_VALUE_SCRIPT): "PA" or "PA*N" a line, # comments.
    void loadScript(const char *path);
    // The devices are reset on their own, under their own locks.
    void reset();
    // Queued readings as they are; otherwise the fixed or sweeping value plus the zero offset.
    float actualValue(float range, float offset);

    std::string handleName(void *h) const;
    void log(const std::string &line);
    void logLocked(const std::string &line);
    bool livePipe(void *h, Pipe &pipe) const;
    bool livePipeLocked(void *h, Pipe &pipe);
    // The latency of the transmitter behind the pipe.
    uint32_t latency(void *handle);
};

State &state();
void wait(uint32_t ms);
bool selectorMatches(const char *vidPid);

// Puts `from` in place of `to`, replacing it (ReplaceFile.cpp, per platform).
bool replaceFile(const std::string &from, const std::string &to);

} // namespace qzsim
