// Control interface of the simulated transmitters, for tests and demonstrations.
// The tool itself never calls these: it reaches the simulator only through
// the USB entry points, exactly as it reaches the real device.
//
// The functions without a device number act on every transmitter (settings)
// or on instance 0 (memory); the qzsim_device_* ones on one instance.
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

enum QzsimFault {
    QZSIM_FAULT_NONE = 0,
    QZSIM_FAULT_NO_REPLY = 1,   // requests are taken, nothing comes back
    QZSIM_FAULT_COMMAND = 2,    // reply carries another command number
    QZSIM_FAULT_MASTER = 3,     // reply carries master address 0x00
    QZSIM_FAULT_SLAVE = 4,      // reply comes from another slave address, always
    QZSIM_FAULT_CRC = 5,        // reply check byte is wrong
    QZSIM_FAULT_KEEP_MEMORY = 6 // memory writes are acknowledged but change nothing
};

// At most this many transmitters can be attached.
#define QZSIM_MAX_DEVICES 16u

// Factory images (serial number 12345 + instance), one device, no faults, no
// latency, nothing denied, empty logs, sweeping value.
void qzsim_reset(void);
// 0 unplugs: open pipes fail from then on until reopened after re-plugging.
// Above QZSIM_MAX_DEVICES counts as QZSIM_MAX_DEVICES.
void qzsim_set_device_count(uint32_t count);
void qzsim_set_fault(int fault);
// From the n-th request on (counted from 1 since the last reset or clear of logs) no reply comes; 0 switches off.
void qzsim_fail_from(uint32_t n);
// Every transfer takes this long; a read with nothing to answer waits its whole timeout. 0 switches off.
void qzsim_set_latency_ms(uint32_t ms);

// The transmitter's 65,536 bytes of memory (instance 0).
uint8_t *qzsim_memory(void);
// The actual value before the zero offset at 940 is added: fixed, or sweeping.
void qzsim_set_value(float pascal);
void qzsim_sweep(void);
// Readings returned as they are by the next value queries, before anything else.
void qzsim_push_reading(float pascal);

// One instance (0 to QZSIM_MAX_DEVICES - 1); out-of-range instances are ignored (memory: null).
uint8_t *qzsim_device_memory(uint32_t instance);
void qzsim_set_device_fault(uint32_t instance, int fault);
void qzsim_device_fail_from(uint32_t instance, uint32_t n);
// A denied instance is attached and counted, but its pipes do not open.
void qzsim_set_device_denied(uint32_t instance, int denied);

// Requests received (64 bytes each) by any instance, oldest first.
uint32_t qzsim_request_count(void);
const uint8_t *qzsim_request(uint32_t index);
// One line per entry-point call, e.g. "Open 0 1 -> h1", "Read h1 64 100 -> 0".
const char *qzsim_call_log(void);
void qzsim_clear_logs(void);

#ifdef __cplusplus
}
#endif
