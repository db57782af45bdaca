// Emulated transmitters for the USB tests: a umockdev testbed with root hubs,
// and devices that answer usbfs ioctls the way the kernel does, speaking the
// transmitter's 64-byte frames. Runs only under umockdev-wrapper.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

typedef struct _UMockdevTestbed UMockdevTestbed;

class UsbTestbed {
public:
    UsbTestbed(); // buses 1 and 2, each with its root hub
    ~UsbTestbed();
    UsbTestbed(const UsbTestbed &) = delete;
    UsbTestbed &operator=(const UsbTestbed &) = delete;

    UMockdevTestbed *testbed() const { return bed; }
    // An external hub at <bus>-<port>; devices behind it use ports "<port>.<n>".
    // Returns its sysfs path, for removeDevice.
    std::string addHub(int bus, const std::string &port);
    void removeDevice(const std::string &syspath);
    // Where an emulated path ("/dev/...") lives on disk.
    std::string path(const std::string &relative) const;
    // Device numbers grow with every plug, as the kernel hands them out.
    int nextAddress(int bus) { return ++lastAddress[bus]; }

    static bool available(); // running under umockdev-wrapper

private:
    UMockdevTestbed *bed;
    std::map<int, int> lastAddress;
};

enum class EndpointKind { Bulk, Interrupt };

struct DeviceModel {
    int bus = 1;
    std::string port = "1"; // sysfs name <bus>-<port>
    EndpointKind endpoints = EndpointKind::Bulk;
    bool kernelDriver = false; // a kernel driver holds the interface until detached
    uint16_t vendor = 0x04d8;
    uint16_t product = 0x000c;
    uint32_t serial = 1;
};

class FakeTransmitter {
public:
    static constexpr uint32_t kMemorySize = 1024;
    static constexpr uint32_t kSerialAddress = 7;

    FakeTransmitter(UsbTestbed &bed, DeviceModel model, bool plugNow = true);
    ~FakeTransmitter();
    FakeTransmitter(const FakeTransmitter &) = delete;
    FakeTransmitter &operator=(const FakeTransmitter &) = delete;

    void plug();   // appears under a new device number
    void unplug(); // transfers in flight end with ENODEV, the device leaves sysfs
    bool plugged() const;

    void setSilent(bool silent); // accepts requests, never replies
    void queueFrame(uint8_t command); // a frame nobody asked for waits on the IN pipe
    void setValue(float value);       // what command 5 reports

    std::vector<uint8_t> memory(uint32_t address, uint32_t length) const;
    void setMemory(uint32_t address, const std::vector<uint8_t> &bytes);

    // What the emulation observed.
    int openHandles() const;       // open file descriptors on the device node
    int claimedInterfaces() const; // by open handles
    int implicitClaims() const;    // transfers on an interface nobody claimed
    bool kernelDriverBound() const;
    int requests() const;          // well-formed request frames
    int badFrames() const;         // anything else on the OUT endpoint
    int unexpectedIoctls() const;
    int lastUrbType(uint8_t endpoint) const; // usbfs URB type, -1 if none
    bool waitForRequests(int count, int timeoutMs) const;

    std::string devnode() const;
    // Read-write for everyone, or for nobody (root is not stopped by that:
    // see AsOrdinaryUser).
    void setNodeOpenToAll(bool open);

    struct Core;

private:
    void describe(std::string &out) const;

    UsbTestbed &bed;
    DeviceModel model;
    std::shared_ptr<Core> core;
    void *handler; // UMockdevIoctlBase
    std::vector<std::string> attached;
    std::string syspath;
    unsigned long connectedId = 0;
    unsigned long ioctlId = 0;
};
