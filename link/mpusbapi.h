// The nine entry points of the USB library, as the vendor's mpusbapi.dll
// exports them. Shared by the loader, our Linux library and the simulator.
#pragma once

#include <stdint.h>

#if defined(_WIN32)
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
#endif

#ifdef __cplusplus
}
#endif
