// The nine entry points of the USB library, as the vendor's mpusbapi.dll
// exports them. Shared by the loader, our Linux library and the simulator.
#pragma once

#include <stdint.h>

#if defined(_WIN32)
// The vendor's DLL exports undecorated names ("_MPUSBOpen"), as a __cdecl DLL
// does; on 32-bit Windows a mismatch here would corrupt the stack.
#define MPUSB_CALL __cdecl
#define MPUSB_EXPORT __declspec(dllexport)
#else
#define MPUSB_CALL
#define MPUSB_EXPORT __attribute__((visibility("default")))
#endif

// An open that failed returns this handle (all bits set).
#define MPUSB_INVALID_HANDLE ((void *)(intptr_t)-1)

#define MP_WRITE 0u
#define MP_READ 1u

#ifdef __cplusplus
extern "C" {
#endif

typedef uint32_t(MPUSB_CALL *MPUSBGetDLLVersionFn)(void);
typedef uint32_t(MPUSB_CALL *MPUSBGetDeviceCountFn)(const char *vidPid);
typedef void *(MPUSB_CALL *MPUSBOpenFn)(uint32_t instance, const char *vidPid, const char *endpoint,
                                        uint32_t direction, uint32_t reserved);
typedef uint32_t(MPUSB_CALL *MPUSBReadFn)(void *handle, void *data, uint32_t length,
                                          uint32_t *transferred, uint32_t timeoutMs);
typedef uint32_t(MPUSB_CALL *MPUSBReadIntFn)(void *handle, void *data, uint32_t length,
                                             uint32_t *transferred, uint32_t timeoutMs);
typedef uint32_t(MPUSB_CALL *MPUSBWriteFn)(void *handle, const void *data, uint32_t length,
                                           uint32_t *transferred, uint32_t timeoutMs);
typedef int32_t(MPUSB_CALL *MPUSBCloseFn)(void *handle);
typedef uint32_t(MPUSB_CALL *MPUSBSetConfigurationFn)(void *handle, uint16_t configuration);
typedef uint32_t(MPUSB_CALL *MPUSBGetStringDescriptorFn)(void *handle, uint8_t index, uint16_t languageId,
                                                         void *data, uint32_t length, uint32_t *transferred);

// Beside the nine: optional queries that our own libraries (libusb and the
// simulator) answer and the vendor's does not. The link looks them up by name
// and does without them.
#define MPUSB_ACCESS_READY 0u     // present, and this user may open it
#define MPUSB_ACCESS_NO_DEVICE 1u // no such instance attached
#define MPUSB_ACCESS_DENIED 2u    // attached, but this user may not open it
#define MPUSB_ACCESS_UNKNOWN 3u   // attached, cannot tell (e.g. it is gone mid-way)
typedef uint32_t(MPUSB_CALL *QZGetDeviceAccessFn)(uint32_t instance, const char *vidPid);
// The instance's USB location as "bus-port[.port...]" (e.g. "1-2.4"), NUL-terminated
// in buffer; returns its length without the NUL, 0 when unknown or too long for size.
typedef uint32_t(MPUSB_CALL *QZGetDeviceLocationFn)(uint32_t instance, const char *vidPid, char *buffer,
                                                    uint32_t size);

#ifdef MPUSB_DECLARE_EXPORTS
MPUSB_EXPORT uint32_t MPUSB_CALL _MPUSBGetDLLVersion(void);
MPUSB_EXPORT uint32_t MPUSB_CALL _MPUSBGetDeviceCount(const char *vidPid);
MPUSB_EXPORT void *MPUSB_CALL _MPUSBOpen(uint32_t instance, const char *vidPid, const char *endpoint,
                                         uint32_t direction, uint32_t reserved);
MPUSB_EXPORT uint32_t MPUSB_CALL _MPUSBRead(void *handle, void *data, uint32_t length, uint32_t *transferred,
                                            uint32_t timeoutMs);
MPUSB_EXPORT uint32_t MPUSB_CALL _MPUSBReadInt(void *handle, void *data, uint32_t length, uint32_t *transferred,
                                               uint32_t timeoutMs);
MPUSB_EXPORT uint32_t MPUSB_CALL _MPUSBWrite(void *handle, const void *data, uint32_t length,
                                             uint32_t *transferred, uint32_t timeoutMs);
MPUSB_EXPORT int32_t MPUSB_CALL _MPUSBClose(void *handle);
MPUSB_EXPORT uint32_t MPUSB_CALL _MPUSBSetConfiguration(void *handle, uint16_t configuration);
MPUSB_EXPORT uint32_t MPUSB_CALL _MPUSBGetStringDescriptor(void *handle, uint8_t index, uint16_t languageId,
                                                           void *data, uint32_t length, uint32_t *transferred);
MPUSB_EXPORT uint32_t MPUSB_CALL _QZGetDeviceAccess(uint32_t instance, const char *vidPid);
MPUSB_EXPORT uint32_t MPUSB_CALL _QZGetDeviceLocation(uint32_t instance, const char *vidPid, char *buffer,
                                                      uint32_t size);
#endif

#ifdef __cplusplus
}
#endif
