// The handle-table lookups on the capture road: every URB record resolves its pipe handle (pipe block) and
// its device handle (URB head) under the table's spin lock. Run with a table of the size a busy machine has,
// for hits and misses, and with several processors looking up at once.
#include <benchmark/benchmark.h>

#include <vector>

#include "driver/nodes/HandleTables.h"
#include "driver/stacktree/DescriptorCache.h"
#include "driver/stacktree/DeviceStackTree.h"

namespace {

constexpr ULONG kPipes = 256; // endpoints of the devices of a well-filled machine
constexpr ULONG kStacks = 32;

class TablesFixture : public benchmark::Fixture {
public:
    void SetUp(const benchmark::State& state) override {
        if (state.thread_index() != 0) {
            return;
        }
        m_stacks.assign(kStacks, DEVICE_STACK{});
        m_records.assign(kPipes, INTERFACE_RECORD{});
        for (ULONG i = 0; i < kStacks; ++i) {
            m_stacks[i].StackID = i + 1;
            m_stacks[i].References = 1; // held by the fixture: the tables never free these
            DeviceHandleTableInsert(DeviceHandle(i), &m_stacks[i]);
        }
        for (ULONG i = 0; i < kPipes; ++i) {
            INTERFACE_RECORD& record = m_records[i];
            record.PipeCount = 1;
            record.Info.NumberOfPipes = 1;
            record.Info.Pipes[0].EndpointAddress = static_cast<UCHAR>(0x81 + i % 15);
            record.Info.Pipes[0].PipeHandle = reinterpret_cast<USBD_PIPE_HANDLE>(PipeHandle(i));
            PipeTableInsert(PipeHandle(i), &record, 0, &m_stacks[i % kStacks]);
        }
    }
    void TearDown(const benchmark::State& state) override {
        if (state.thread_index() == 0) {
            HandleTablesFree();
        }
    }

    // Handles look like the pool addresses they are: 16-byte aligned, close together.
    static ULONG64 PipeHandle(ULONG i) { return 0xFFFFA00012340000ull + 0x70 * i; }
    static ULONG64 DeviceHandle(ULONG i) { return 0xFFFFA00056780000ull + 0x400 * i; }

private:
    std::vector<DEVICE_STACK> m_stacks;
    std::vector<INTERFACE_RECORD> m_records;
};

BENCHMARK_DEFINE_F(TablesFixture, PipeLookupHit)(benchmark::State& state) {
    ULONG i = static_cast<ULONG>(state.thread_index());
    PIPE_LOOKUP lookup;
    for (auto _ : state) {
        benchmark::DoNotOptimize(PipeTableLookup(PipeHandle(i++ % kPipes), &lookup));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK_REGISTER_F(TablesFixture, PipeLookupHit)->Threads(1)->Threads(4);

BENCHMARK_DEFINE_F(TablesFixture, PipeLookupMiss)(benchmark::State& state) {
    ULONG i = 0;
    PIPE_LOOKUP lookup;
    for (auto _ : state) {
        benchmark::DoNotOptimize(PipeTableLookup(PipeHandle(kPipes + i++ % kPipes), &lookup));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK_REGISTER_F(TablesFixture, PipeLookupMiss);

// A hit takes and drops a reference on the stack, as the URB head's resolution does.
BENCHMARK_DEFINE_F(TablesFixture, DeviceHandleLookupHit)(benchmark::State& state) {
    ULONG i = 0;
    for (auto _ : state) {
        PDEVICE_STACK stack = DeviceHandleTableLookup(DeviceHandle(i++ % kStacks), nullptr);
        InterlockedDecrement(&stack->References); // StackRelease without the last-reference path
        benchmark::DoNotOptimize(stack);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK_REGISTER_F(TablesFixture, DeviceHandleLookupHit);

} // namespace
