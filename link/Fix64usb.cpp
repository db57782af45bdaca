#include "Fix64usb.h"

#include "LibraryLoader.h"

#include <array>
#include <chrono>
#include <cstring>
#include <thread>
#include <utility>

TFix64 *theLink = nullptr;

namespace {

PauseFunction &pauseFunction()
{
    static PauseFunction f;
    return f;
}

template <typename Fn> bool bind(void *library, const char *name, Fn &slot)
{
    void *p = qzlink::findSymbol(library, name);
    if (!p)
        return false;
    slot = reinterpret_cast<Fn>(p);
    return true;
}

} // namespace

void blockingPause(unsigned ms)
{
    if (auto &f = pauseFunction())
        f(ms);
    else
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

PauseFunction setPauseFunction(PauseFunction f)
{
    return std::exchange(pauseFunction(), std::move(f));
}

TFix64::TFix64()
    : request{}, reply{}, readPipe(nullptr), writePipe(nullptr), readPipes{}, writePipes{}, bytesRead(0),
      slaveAddress(0), timeoutMs(0), _MPUSBGetDLLVersion(nullptr), _MPUSBGetDeviceCount(nullptr),
      _MPUSBOpen(nullptr), _MPUSBRead(nullptr), _MPUSBReadInt(nullptr), _MPUSBWrite(nullptr), _MPUSBClose(nullptr),
      _MPUSBSetConfiguration(nullptr), _MPUSBGetStringDescriptor(nullptr), _QZGetDeviceAccess(nullptr),
      _QZGetDeviceLocation(nullptr), library(nullptr), bound(false)
{
}

bool TFix64::loadLibrary()
{
    if (!library)
        library = qzlink::openUsbLibrary();
    if (!library)
        throw TLinkError(kTextLibraryMissing);
    bound = bind(library, "_MPUSBGetDLLVersion", _MPUSBGetDLLVersion) &&
            bind(library, "_MPUSBGetDeviceCount", _MPUSBGetDeviceCount) && bind(library, "_MPUSBOpen", _MPUSBOpen) &&
            bind(library, "_MPUSBRead", _MPUSBRead) && bind(library, "_MPUSBReadInt", _MPUSBReadInt) &&
            bind(library, "_MPUSBWrite", _MPUSBWrite) && bind(library, "_MPUSBClose", _MPUSBClose) &&
            bind(library, "_MPUSBSetConfiguration", _MPUSBSetConfiguration) &&
            bind(library, "_MPUSBGetStringDescriptor", _MPUSBGetStringDescriptor);
    if (bound) {
        bind(library, "_QZGetDeviceAccess", _QZGetDeviceAccess);
        bind(library, "_QZGetDeviceLocation", _QZGetDeviceLocation);
    }
    return bound;
}

DeviceAccess TFix64::deviceAccess(uint32_t instance) const
{
    if (!bound)
        return DeviceAccess::NoDevice;
    if (!_QZGetDeviceAccess)
        return instance < _MPUSBGetDeviceCount(kDeviceSelector) ? DeviceAccess::Unknown : DeviceAccess::NoDevice;
    switch (_QZGetDeviceAccess(instance, kDeviceSelector)) {
    case MPUSB_ACCESS_READY:
        return DeviceAccess::Ready;
    case MPUSB_ACCESS_NO_DEVICE:
        return DeviceAccess::NoDevice;
    case MPUSB_ACCESS_DENIED:
        return DeviceAccess::Denied;
    default:
        return DeviceAccess::Unknown;
    }
}

std::string TFix64::deviceLocation(uint32_t instance) const
{
    if (!bound || !_QZGetDeviceLocation)
        return {};
    char buffer[64] = {};
    uint32_t n = _QZGetDeviceLocation(instance, kDeviceSelector, buffer, sizeof buffer);
    if (n == 0 || n >= sizeof buffer)
        return {};
    return std::string(buffer, n);
}

uint32_t TFix64::deviceCount()
{
    if (!bound)
        return 0;
    return _MPUSBGetDeviceCount(kDeviceSelector);
}

bool TFix64::openPipes(int index)
{
    if (index < 0 || index >= kPipeInstances)
        return false;
    if (!bound) {
        readPipe = writePipe = MPUSB_INVALID_HANDLE;
        return false;
    }
    readPipe = _MPUSBOpen(static_cast<uint32_t>(index), kDeviceSelector, kEndpointName, MP_READ, 0);
    writePipe = _MPUSBOpen(static_cast<uint32_t>(index), kDeviceSelector, kEndpointName, MP_WRITE, 0);
    if (readPipe == MPUSB_INVALID_HANDLE || writePipe == MPUSB_INVALID_HANDLE) {
        // Neither is recorded, so a half-open pair would keep the device
        // claimed until the program ends: let the one that opened go. Its
        // number is dead now, and a library may hand it out again.
        if (readPipe != MPUSB_INVALID_HANDLE)
            _MPUSBClose(std::exchange(readPipe, MPUSB_INVALID_HANDLE));
        if (writePipe != MPUSB_INVALID_HANDLE)
            _MPUSBClose(std::exchange(writePipe, MPUSB_INVALID_HANDLE));
        return false;
    }
    readPipes[index] = readPipe;
    writePipes[index] = writePipe;
    return true;
}

void TFix64::closePipes(int index)
{
    drainInput();
    if (!bound || index < 0 || index >= kPipeInstances)
        return;
    if (readPipes[index]) {
        _MPUSBClose(readPipes[index]);
        readPipes[index] = nullptr;
    }
    if (writePipes[index]) {
        _MPUSBClose(writePipes[index]);
        writePipes[index] = nullptr;
    }
}

void TFix64::drainInput()
{
    if (!readPipe || !bound)
        return;
    for (int i = 0; i < 3; ++i) {
        try {
            _MPUSBRead(readPipe, reply, kFrameSize, &bytesRead, kDrainTimeoutMs);
        } catch (...) {
            // stale frames are of no interest, whatever happens reading them
        }
    }
}

bool TFix64::writeRequest()
{
    if (!bound)
        return false;
    uint32_t written = 0;
    return _MPUSBWrite(writePipe, request, kFrameSize, &written, timeoutMs) != 0;
}

bool TFix64::receiveReply()
{
    if (!bound)
        return false;
    return _MPUSBRead(readPipe, reply, kFrameSize, &bytesRead, timeoutMs) != 0;
}

void TFix64::pause(unsigned ms) { blockingPause(ms); }

namespace {

// Shifting bytes 1 to 62 through a 16-bit register with 0xA300 feedback is a
// CRC-8 (polynomial 0xA3, no reflection) over bytes 1 to 61 followed by an XOR
// with byte 62, so a byte-wise table does the same work eight times faster.
constexpr auto makeCrcTable()
{
    std::array<uint8_t, 256> t{};
    for (int i = 0; i < 256; ++i) {
        uint8_t c = static_cast<uint8_t>(i);
        for (int b = 0; b < 8; ++b)
            c = (c & 0x80) ? static_cast<uint8_t>((c << 1) ^ 0xA3) : static_cast<uint8_t>(c << 1);
        t[static_cast<std::size_t>(i)] = c;
    }
    return t;
}
constexpr auto kCrcTable = makeCrcTable();

} // namespace

uint8_t TFix64::frameChecksum(const uint8_t *frame)
{
    uint8_t crc = 0;
    for (int i = 1; i <= 61; ++i)
        crc = kCrcTable[crc ^ frame[i]];
    return static_cast<uint8_t>(crc ^ frame[62]);
}

void TFix64::sendRequest(uint8_t command, uint8_t p1, uint8_t p2, uint8_t p3, const void *data4,
                         const void *data52)
{
    request[0] = kStartByte;
    request[1] = kMasterAddress;
    request[2] = slaveAddress;
    request[3] = command;
    request[4] = p1;
    request[5] = p2;
    request[6] = p3;
    if (data4)
        std::memcpy(request + 7, data4, 4);
    else
        std::memset(request + 7, 0, 4);
    if (data52)
        std::memcpy(request + 11, data52, kMaxBlock);
    else
        std::memset(request + 11, 0, kMaxBlock);
    request[63] = frameChecksum(request);
    writeRequest(); // a failed write shows up as a missing reply
}

void TFix64::checkReply(bool received)
{
    if (!received)
        throw TLinkError(kTextNoReply);
    if (reply[3] != request[3])
        throw TLinkError(kTextCommandNumber);
    if (reply[1] != request[1])
        throw TLinkError(kTextMasterAddress);
    if (reply[2] != request[2] && request[2] != kAnySlave)
        throw TLinkError(kTextSlaveAddress);
    if (frameChecksum(reply) != reply[63])
        throw TLinkError(kTextCrc);
}

bool TFix64::transact(uint8_t command, uint8_t p1, uint8_t p2, uint8_t p3, const void *data4, const void *data52)
{
    sendRequest(command, p1, p2, p3, data4, data52);
    if (request[2] == kBroadcastNoReply)
        return true;
    checkReply(receiveReply());
    return true;
}

void TFix64::setSlaveAddress(uint8_t address) { slaveAddress = address; }

bool TFix64::sendCommand1() { return transact(1, 0, 0, 0); }
bool TFix64::sendCommand2() { return transact(2, 0, 0, 0); }
bool TFix64::sendCommand4() { return transact(4, 0, 0, 0); }

bool TFix64::queryValue(uint8_t parameter, uint8_t *buffer, std::size_t bufferSize)
{
    uint8_t data4[4] = {};
    std::memcpy(data4, buffer, bufferSize < 4 ? bufferSize : 4);
    transact(5, parameter, 0, 0, data4, nullptr);
    std::size_t n = reply[5] & 7u;
    if (n > bufferSize)
        n = bufferSize;
    std::memcpy(buffer, reply + 7, n);
    return true;
}

static void putAddress(uint8_t *out, uint32_t address)
{
    out[0] = static_cast<uint8_t>(address);
    out[1] = static_cast<uint8_t>(address >> 8);
    out[2] = static_cast<uint8_t>(address >> 16);
    out[3] = static_cast<uint8_t>(address >> 24);
}

bool TFix64::readMemory(uint32_t address, void *buffer, uint32_t length)
{
    if (length == 0 || length > kMaxBlock)
        throw TLinkError(kTextLength);
    uint8_t addr[4];
    putAddress(addr, address);
    transact(7, static_cast<uint8_t>(length), 0, 0, addr, nullptr);
    std::memcpy(buffer, reply + 11, length);
    return true;
}

bool TFix64::writeMemory(uint32_t address, const void *buffer, uint32_t length)
{
    if (length == 0 || length > kMaxBlock)
        throw TLinkError(kTextLength);
    uint8_t addr[4];
    putAddress(addr, address);
    uint8_t data[kMaxBlock] = {};
    std::memcpy(data, buffer, length);
    transact(8, static_cast<uint8_t>(length), 0, 0, addr, data);
    return true;
}

void resetPipes(TFix64 &link)
{
    link.closePipes(0);
    link.openPipes(0);
    link.setSlaveAddress(kAnySlave);
}
