// Reply frames: a stand-in USB library hands the fuzzer's bytes back as the
// transmitter's replies while the link runs its transactions, value queries,
// memory reads, the configuration read and the zero correction.
//
// Input: one byte of choices (operation arguments, which pipe fails to
// open), then replies, each one control byte and up to 64 frame bytes. The
// control byte's bit 0 makes the read fail; bit 1 echoes the request's
// addresses and command into the reply, bit 2 puts the right check byte in,
// so the fuzzer gets past the reply checks as often as it likes.
#include "ConfigurationExchange.h"
#include "FuzzSupport.h"
#include "Fix64usb.h"
#include "MemoryMap.h"
#include "ZeroCorrection.h"

#include <array>
#include <cstring>
#include <memory>
#include <set>
#include <vector>

namespace {

struct Stream {
    const uint8_t *data = nullptr;
    size_t size = 0;
    size_t pos = 0;
    uint8_t next() { return pos < size ? data[pos++] : 0; }
    bool empty() const { return pos >= size; }
};

Stream input;
std::array<uint8_t, 64> lastRequest{};
std::vector<std::array<uint8_t, 64>> requests;
bool failReadOpen = false;
bool failWriteOpen = false;
intptr_t handles = 0;
std::set<void *> closed;

// A pipe the link has let go must never carry a transfer again: a library
// may hand the same handle value to the next open.
void checkUsable(void *handle, const char *what)
{
    FUZZ_CHECK(!closed.count(handle), std::string("a ") + what + " on a pipe the link has closed");
}

void *MPUSB_CALL fakeOpen(uint32_t, const char *, const char *, uint32_t direction, uint32_t)
{
    if ((direction == MP_READ && failReadOpen) || (direction == MP_WRITE && failWriteOpen))
        return MPUSB_INVALID_HANDLE;
    return reinterpret_cast<void *>(0x1000 + ++handles);
}

int32_t MPUSB_CALL fakeClose(void *handle)
{
    FUZZ_CHECK(handle != MPUSB_INVALID_HANDLE && handle != nullptr, "the link closes a handle it never had");
    FUZZ_CHECK(closed.insert(handle).second, "the link closes a pipe twice");
    return 1;
}

uint32_t MPUSB_CALL fakeWrite(void *handle, const void *data, uint32_t length, uint32_t *written, uint32_t)
{
    checkUsable(handle, "write");
    FUZZ_CHECK(length == 64, "a write of " + std::to_string(length) + " bytes");
    std::memcpy(lastRequest.data(), data, 64);
    requests.push_back(lastRequest);
    *written = length;
    return 1;
}

uint32_t MPUSB_CALL fakeRead(void *handle, void *data, uint32_t length, uint32_t *got, uint32_t)
{
    checkUsable(handle, "read");
    FUZZ_CHECK(length == 64, "a read of " + std::to_string(length) + " bytes");
    if (handle == MPUSB_INVALID_HANDLE || input.empty()) {
        *got = 0;
        return 0;
    }
    const uint8_t control = input.next();
    std::array<uint8_t, 64> frame{};
    for (auto &b : frame)
        b = input.next();
    if (control & 1) {
        *got = 0;
        return 0;
    }
    if (control & 2)
        std::memcpy(frame.data() + 1, lastRequest.data() + 1, 3);
    if (control & 4)
        frame[63] = TFix64::frameChecksum(frame.data());
    std::memcpy(data, frame.data(), 64);
    *got = length;
    return 1;
}

uint32_t MPUSB_CALL fakeCount(const char *) { return 1; }

void attach(TFix64 &link)
{
    link._MPUSBGetDeviceCount = fakeCount;
    link._MPUSBOpen = fakeOpen;
    link._MPUSBRead = fakeRead;
    link._MPUSBWrite = fakeWrite;
    link._MPUSBClose = fakeClose;
}

// Each step may fail as the link fails; anything else escaping is a finding.
template <typename Step> bool attempt(Step &&step)
{
    try {
        step();
        return true;
    } catch (const TLinkError &) {
        return false;
    } catch (const config::ConfigError &) {
        return false;
    } catch (const display::ZeroCorrectionError &) {
        // A reading that is no finite number ends the correction, as meant.
        return false;
    }
}

void singleTransfers(TFix64 &link, uint8_t choices)
{
    attempt([&] { link.transact(static_cast<uint8_t>(choices), 1, 2, 3); });
    const std::size_t size = choices % 6; // the caller's buffer, exactly as large as it says
    auto buffer = std::make_unique<uint8_t[]>(size + 1);
    attempt([&] { link.queryValue(4, buffer.get(), size); });
    const uint32_t length = 1 + choices % 52;
    auto memory = std::make_unique<uint8_t[]>(length);
    attempt([&] { link.readMemory(memmap::kZeroOffset, memory.get(), length); });
}

void configurationRead(TFix64 &link)
{
    ConfigurationRecord record;
    bool outOfRangeReported = false;
    config::ReadHooks hooks;
    hooks.gravityOutOfRange = [&](float) { outOfRangeReported = true; };
    hooks.modeRead = [](int output, int mode) {
        FUZZ_CHECK(output >= 0 && output < 3 && mode >= kNoMode && mode <= ModeErrorValue,
                   "mode " + std::to_string(mode) + " of output " + std::to_string(output));
    };
    hooks.nominalRangeRead = [&] {
        FUZZ_CHECK(config::gravityInRange(record.specificGravity),
                   "gravity " + std::to_string(record.specificGravity) + " taken from a reply");
    };
    if (!attempt([&] { config::readConfiguration(link, record, hooks); }))
        return;
    FUZZ_CHECK(config::gravityInRange(record.specificGravity) &&
                   record.specificGravity == record.referenceSpecificGravity,
               "gravity " + std::to_string(record.specificGravity) + " after a read");
    const float replied = config::gravityFromImage(record.memoryImage);
    FUZZ_CHECK(outOfRangeReported == !config::gravityInRange(replied), "an out-of-range gravity went unreported");
}

void zeroCorrection(TFix64 &link, bool confirm)
{
    display::ZeroMeasurement m;
    if (!attempt([&] { m = display::measureZero(link); }))
        return;
    requests.clear();
    if (confirm) {
        if (!attempt([&] { display::confirmZeroCorrection(link, m); }))
            return;
        const float offset = display::correctedOffset(m);
        bool written = false;
        for (const auto &r : requests)
            if (r[3] == 8 && r[4] == 4 && r[7] == (memmap::kZeroOffset & 0xFF) && r[8] == (memmap::kZeroOffset >> 8))
                written = std::memcmp(r.data() + 11, &offset, 4) == 0;
        FUZZ_CHECK(written, "the corrected offset " + std::to_string(offset) + " never went to 940");
    } else {
        attempt([&] { display::declineZeroCorrection(link); });
        for (const auto &r : requests)
            FUZZ_CHECK(r[3] != 8, "declining the zero correction wrote to the transmitter");
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    setPauseFunction([](unsigned) {});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const uint8_t choices = data[0];
    input = Stream{data + 1, size - 1, 0};
    requests.clear();
    closed.clear();
    lastRequest = {};
    failReadOpen = choices & 0x40;
    failWriteOpen = choices & 0x80;

    TFix64 link;
    if (!link.loadLibrary())
        fuzzFailure(__FILE__, __LINE__, "the simulator library does not load");
    attach(link);
    link.timeoutMs = 250;
    resetPipes(link);

    switch (choices % 4) {
    case 0:
        singleTransfers(link, choices);
        break;
    case 1:
        configurationRead(link);
        break;
    default:
        zeroCorrection(link, choices % 4 == 3);
        break;
    }
    return 0;
}
