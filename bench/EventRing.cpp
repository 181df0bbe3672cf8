// The internal event ring's writer, called from the capture road: one interlocked decrement and four
// 64-bit stores per entry; optional events behind one test of MemlogFlags, which must cost next to nothing
// when they are off. Run with one writer and with several sharing the ring.
#include <benchmark/benchmark.h>

#include "common/FourCC.h"
#include "common/Memlog.h"
#include "driver/core/Driver.h"

namespace {

class RingFixture : public benchmark::Fixture {
public:
    void SetUp(const benchmark::State& state) override {
        if (state.thread_index() == 0) {
            MemlogInitialize(&g_Driver.Memlog);
        }
    }
    void TearDown(const benchmark::State& state) override {
        if (state.thread_index() == 0) {
            MemlogFree(&g_Driver.Memlog);
        }
    }
};

BENCHMARK_DEFINE_F(RingFixture, Write)(benchmark::State& state) {
    ULONG64 value = 0;
    for (auto _ : state) {
        MemlogWrite(FourCC("+Dev"), ++value, 0);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK_REGISTER_F(RingFixture, Write)->Threads(1)->Threads(4);

// An optional event with its flag off: the gate alone.
BENCHMARK_DEFINE_F(RingFixture, GatedOff)(benchmark::State& state) {
    g_Driver.Boot.MemlogFlags = 0;
    ULONG64 value = 0;
    for (auto _ : state) {
        if (MemlogWants(MEMLOG_FLAG_TREE)) {
            MemlogWrite(FourCC("+Dev"), ++value, 0);
        }
        benchmark::DoNotOptimize(value);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK_REGISTER_F(RingFixture, GatedOff);

} // namespace
