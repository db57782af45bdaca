// One request frame and its reply through TFix64, libmpusbapi.so, libusb and
// usbfs, with the transmitter emulated by umockdev. Run under umockdev-wrapper.
#include "Fix64usb.h"
#include "UsbEmulator.h"

#include <benchmark/benchmark.h>

#include <array>
#include <cstdio>
#include <memory>

namespace {

TFix64 *theBenchLink = nullptr;

// The live-value poll: command 1, one 64-byte write and one 64-byte read.
void transaction(benchmark::State &state)
{
    for (auto _ : state)
        theBenchLink->sendCommand1();
}
BENCHMARK(transaction)->Unit(benchmark::kMicrosecond)->Repetitions(10)->ReportAggregatesOnly(true);

// The same exchange made straight on the library's entry points.
void rawWriteRead(benchmark::State &state)
{
    std::array<uint8_t, kFrameSize> request{};
    request[0] = kStartByte;
    request[1] = kMasterAddress;
    request[2] = kAnySlave;
    request[3] = 2;
    request[63] = TFix64::frameChecksum(request.data());
    std::array<uint8_t, kFrameSize> reply{};
    uint32_t n = 0;
    for (auto _ : state) {
        theBenchLink->_MPUSBWrite(theBenchLink->writePipe, request.data(), kFrameSize, &n, 250);
        if (!theBenchLink->_MPUSBRead(theBenchLink->readPipe, reply.data(), kFrameSize, &n, 250)) {
            state.SkipWithError("no reply");
            break;
        }
    }
}
BENCHMARK(rawWriteRead)->Unit(benchmark::kMicrosecond)->Repetitions(10)->ReportAggregatesOnly(true);

} // namespace

int main(int argc, char **argv)
{
    if (!UsbTestbed::available()) {
        std::printf("usb_roundtrip needs umockdev: run it under umockdev-wrapper\n");
        return 77;
    }
    benchmark::Initialize(&argc, argv);
    int rc = 0;
    {
        UsbTestbed bed;
        FakeTransmitter device(bed, {});
        TFix64 link;
        theBenchLink = &link;
        try {
            if (!link.loadLibrary() || !link.openPipes(0)) {
                std::fprintf(stderr, "cannot open the emulated transmitter\n");
                return 1;
            }
            link.setSlaveAddress(kAnySlave);
            link.timeoutMs = 250;
            benchmark::RunSpecifiedBenchmarks();
        } catch (const TLinkError &e) {
            std::fprintf(stderr, "link failure: %s\n", e.what());
            rc = 1;
        }
        link._MPUSBClose(link.readPipe);
        link._MPUSBClose(link.writePipe);
    }
    benchmark::Shutdown();
    return rc;
}
