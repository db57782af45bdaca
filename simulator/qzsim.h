// Control interface of the simulated transmitter, for tests and demonstrations.
// The tool itself never calls these: it reaches the simulator only through
// the nine USB entry points, exactly as it reaches the real device.
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
    QZSIM_FAULT_CRC = 5         // reply check byte is wrong
};

// Factory image, one device, no faults, empty logs, sweeping value.
void qzsim_reset(void);
// 0 unplugs: open pipes fail from then on until reopened after re-plugging.
void qzsim_set_device_count(uint32_t count);
void qzsim_set_fault(int fault);
// From the n-th request on (counted from 1 since the last reset or clear of logs) no reply comes; 0 switches off.
void qzsim_fail_from(uint32_t n);

// The transmitter's 65,536 bytes of memory.
uint8_t *qzsim_memory(void);
// The actual value before the zero offset at 940 is added: fixed, or sweeping.
void qzsim_set_value(float pascal);
void qzsim_sweep(void);
// Readings returned as they are by the next value queries, before anything else.
void qzsim_push_reading(float pascal);

// Requests received (64 bytes each), oldest first.
uint32_t qzsim_request_count(void);
const uint8_t *qzsim_request(uint32_t index);
// One line per entry-point call, e.g. "Open 0 1 -> h1", "Read h1 64 100 -> 0".
const char *qzsim_call_log(void);
void qzsim_clear_logs(void);

#ifdef __cplusplus
}
#endif
