// The simulator's control interface (qzsim.h), for tests and demonstrations.
#include "SimulatorState.h"

using namespace qzsim;

namespace {

// Runs a change on one instance under its lock; instances past the table are ignored.
template <typename Change> void withDevice(uint32_t instance, Change &&change)
{
    if (instance >= QZSIM_MAX_DEVICES)
        return;
    Device &d = state().device(instance);
    std::lock_guard lock(d.mutex);
    change(d);
}

} // namespace

extern "C" {

MPUSB_EXPORT void qzsim_reset(void)
{
    State &s = state();
    for (uint32_t i = 0; i < QZSIM_MAX_DEVICES; ++i) {
        if (Device *d = s.existing(i)) {
            std::lock_guard lock(d->mutex);
            d->reset();
        }
    }
    std::lock_guard lock(s.mutex);
    s.reset();
}

MPUSB_EXPORT void qzsim_set_device_count(uint32_t count)
{
    State &s = state();
    if (count > QZSIM_MAX_DEVICES)
        count = QZSIM_MAX_DEVICES;
    {
        std::lock_guard lock(s.mutex);
        if (count < s.deviceCount)
            ++s.generation;
        s.deviceCount = count;
    }
    for (uint32_t i = 0; i < QZSIM_MAX_DEVICES; ++i) {
        if (Device *d = s.existing(i)) {
            std::lock_guard lock(d->mutex);
            d->replyPending = false;
        }
    }
}

MPUSB_EXPORT void qzsim_set_device_fault(uint32_t instance, int fault)
{
    withDevice(instance, [&](Device &d) { d.fault = fault; });
}

MPUSB_EXPORT void qzsim_set_fault(int fault)
{
    for (uint32_t i = 0; i < QZSIM_MAX_DEVICES; ++i)
        qzsim_set_device_fault(i, fault);
}

MPUSB_EXPORT void qzsim_device_fail_from(uint32_t instance, uint32_t n)
{
    withDevice(instance, [&](Device &d) {
        d.failFrom = n;
        d.failUntil = 0;
    });
}

MPUSB_EXPORT void qzsim_fail_from(uint32_t n)
{
    for (uint32_t i = 0; i < QZSIM_MAX_DEVICES; ++i)
        qzsim_device_fail_from(i, n);
}

MPUSB_EXPORT void qzsim_set_device_denied(uint32_t instance, int denied)
{
    withDevice(instance, [&](Device &d) { d.denied = denied != 0; });
}

MPUSB_EXPORT void qzsim_set_latency_ms(uint32_t ms)
{
    State &s = state();
    std::lock_guard lock(s.mutex);
    s.latencyMs = ms;
}

MPUSB_EXPORT uint8_t *qzsim_device_memory(uint32_t instance)
{
    return instance < QZSIM_MAX_DEVICES ? state().device(instance).memory : nullptr;
}

MPUSB_EXPORT uint8_t *qzsim_memory(void) { return qzsim_device_memory(0); }

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
    {
        std::lock_guard lock(s.mutex);
        s.requests.clear();
        s.callLog.clear();
    }
    for (uint32_t i = 0; i < QZSIM_MAX_DEVICES; ++i) {
        if (Device *d = s.existing(i)) {
            std::lock_guard lock(d->mutex);
            d->requestNumber = 0;
        }
    }
}

} // extern "C"
