// The transmitter link: USB pipes, the 64-byte frame, transactions and commands.
#pragma once

#include "mpusbapi.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>

// Every link failure carries one of the fixed English texts below.
class TLinkError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

inline constexpr const char *kTextLibraryMissing = "Cannot find usb serial library mpusbapi.dll";
inline constexpr const char *kTextNoReply = "Device not reply";
inline constexpr const char *kTextCommandNumber = "Error command number";
inline constexpr const char *kTextMasterAddress = "Error master adr";
inline constexpr const char *kTextSlaveAddress = "Error slave adr";
inline constexpr const char *kTextCrc = "Error CRC";
inline constexpr const char *kTextLength = "EEPROM ERROR LEN";

inline constexpr const char *kDeviceSelector = "vid_04d8&pid_000c";
inline constexpr const char *kEndpointName = "\\MCHP_EP1";
inline constexpr int kFrameSize = 64;
inline constexpr uint8_t kStartByte = 0xA5;
inline constexpr uint8_t kMasterAddress = 0xFF;
inline constexpr uint8_t kAnySlave = 0xFE;
inline constexpr uint8_t kBroadcastNoReply = 0xFD;
inline constexpr uint32_t kMaxBlock = 52;
inline constexpr uint16_t kDrainTimeoutMs = 100;
inline constexpr int kPipeInstances = 10;

// What can be told about reaching one transmitter instance before (or after) opening it.
enum class DeviceAccess { Ready, NoDevice, Denied, Unknown };

// Blocking waits go through one replaceable function so tests never sleep.
using PauseFunction = std::function<void(unsigned ms)>;
void blockingPause(unsigned ms);
PauseFunction setPauseFunction(PauseFunction f); // returns the previous one; empty restores the real sleep

class TFix64 {
public:
    TFix64();
    TFix64(const TFix64 &) = delete;
    TFix64 &operator=(const TFix64 &) = delete;

    uint8_t request[kFrameSize];
    uint8_t reply[kFrameSize];
    void *readPipe;
    void *writePipe;
    void *readPipes[kPipeInstances];
    void *writePipes[kPipeInstances];
    uint32_t bytesRead;
    uint8_t slaveAddress;
    uint16_t timeoutMs;
    // Added to a pipe slot's index to give the USB instance it opens: 0 in the
    // window; the command-line companion points slot 0 at the transmitter chosen.
    uint32_t instanceBase = 0;

    MPUSBGetDLLVersionFn _MPUSBGetDLLVersion;
    MPUSBGetDeviceCountFn _MPUSBGetDeviceCount;
    MPUSBOpenFn _MPUSBOpen;
    MPUSBReadFn _MPUSBRead;
    MPUSBReadIntFn _MPUSBReadInt;
    MPUSBWriteFn _MPUSBWrite;
    MPUSBCloseFn _MPUSBClose;
    MPUSBSetConfigurationFn _MPUSBSetConfiguration;
    MPUSBGetStringDescriptorFn _MPUSBGetStringDescriptor;
    // Optional; null with a library that lacks them (the vendor's).
    QZGetDeviceAccessFn _QZGetDeviceAccess;
    QZGetDeviceLocationFn _QZGetDeviceLocation;

    // Transport
    bool loadLibrary();
    uint32_t deviceCount();
    bool openPipes(int index);
    void closePipes(int index);
    void drainInput();
    bool writeRequest();
    bool receiveReply();
    void pause(unsigned ms);
    // Unknown when the library cannot tell; NoDevice when none is loaded or the instance is absent.
    DeviceAccess deviceAccess(uint32_t instance) const;
    // "bus-port.port", empty when the library cannot tell.
    std::string deviceLocation(uint32_t instance) const;

    // Frame and transaction
    static uint8_t frameChecksum(const uint8_t *frame);
    bool transact(uint8_t command, uint8_t p1, uint8_t p2, uint8_t p3, const void *data4 = nullptr,
                  const void *data52 = nullptr);
    void setSlaveAddress(uint8_t address);

    // Commands
    bool sendCommand1();
    bool sendCommand2();
    bool sendCommand4();
    bool queryValue(uint8_t parameter, uint8_t *buffer, std::size_t bufferSize);
    bool readMemory(uint32_t address, void *buffer, uint32_t length);
    bool writeMemory(uint32_t address, const void *buffer, uint32_t length);

    // True once the library is loaded with all nine entry points bound;
    // only then does the link touch the library's pipes.
    bool libraryLoaded() const { return library != nullptr; }
    bool canTransfer() const { return bound; }

private:
    void sendRequest(uint8_t command, uint8_t p1, uint8_t p2, uint8_t p3, const void *data4, const void *data52);
    void checkReply(bool received);

    void *library;
    bool bound;
};

// The one link of the program; created by the start-up connection.
extern TFix64 *theLink;

// Fresh pipes for the next exchange: drain and close, open, slave 254.
void resetPipes(TFix64 &link);

// The bracket of every configuration exchange: fresh pipes, command 2, the
// exchange, command 1. A failing step raises and ends the bracket there.
template <typename Exchange> void inBracket(TFix64 &link, Exchange &&exchange)
{
    resetPipes(link);
    link.sendCommand2();
    exchange();
    link.sendCommand1();
}
