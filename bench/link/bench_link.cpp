// One transaction against the zero-latency simulator, and the check byte alone.
#include "Fix64usb.h"
#include "qzsim.h"

#include <benchmark/benchmark.h>

static void BM_frameChecksum(benchmark::State &state)
{
    uint8_t frame[64];
    for (int i = 0; i < 64; ++i)
        frame[i] = static_cast<uint8_t>(i * 31 + 7);
    for (auto _ : state) {
        benchmark::DoNotOptimize(frame);
        benchmark::DoNotOptimize(TFix64::frameChecksum(frame));
    }
}
BENCHMARK(BM_frameChecksum);

static void BM_transactionRoundTrip(benchmark::State &state)
{
    qzsim_reset();
    TFix64 link;
    link.loadLibrary();
    link.openPipes(0);
    link.setSlaveAddress(0xFE);
    link.timeoutMs = 250;
    for (auto _ : state)
        link.sendCommand1();
}
BENCHMARK(BM_transactionRoundTrip);

static void BM_readMemory27(benchmark::State &state)
{
    qzsim_reset();
    TFix64 link;
    link.loadLibrary();
    link.openPipes(0);
    link.setSlaveAddress(0xFE);
    link.timeoutMs = 250;
    uint8_t block[27];
    for (auto _ : state) {
        link.readMemory(67, block, sizeof block);
        benchmark::DoNotOptimize(block);
    }
}
BENCHMARK(BM_readMemory27);

BENCHMARK_MAIN();
