// What the record list pays per row to name a record's target: the device object its address meant at the
// record's time, and the record's device stack by StackID. 1,000 device objects over 100 stacks, a tenth of
// the addresses reused by a second object; tracing off. Reported as lookups per second.
#include <benchmark/benchmark.h>

#include <vector>

#include "app/devices/AttachedDevices.h"
#include "app/devices/DeviceObject.h"
#include "app/devices/DeviceStack.h"
#include "app/devices/StackTree.h"
#include "common/NodeEntries.h"

namespace {

constexpr int kObjects = 1000;
constexpr int kStacks = 100;

ULONG64 AddressOf(int i) {
    // Pool addresses: 0x60 apart, as the kernel hands out device objects.
    return 0xFFFFFA8003C50000ULL + static_cast<ULONG64>(i) * 0x60;
}

struct Model {
    Model() {
        std::vector<BYTE> list;
        auto append = [&list](const auto& node) {
            const auto* p = reinterpret_cast<const BYTE*>(&node);
            list.insert(list.end(), p, p + sizeof node);
        };
        for (int s = 1; s <= kStacks; ++s) {
            DEVSTK_NODE stack{};
            stack.Header = {NODE_KIND_DEVSTK, DEVSTK_NODE_SIZE};
            stack.StackID = static_cast<USHORT>(s);
            append(stack);
            for (int d = 0; d < kObjects / kStacks; ++d) {
                int i = (s - 1) * (kObjects / kStacks) + d;
                DEVICE_NODE device{};
                device.Header = {NODE_KIND_DEVICE, DEVICE_NODE_SIZE};
                // Every tenth object reuses the address of the one before it, after that one's end.
                device.DeviceObject = AddressOf(i % 10 == 9 ? i - 1 : i);
                device.StatusFlags = DEVOBJ_HOOKED | DEVOBJ_SELECTED;
                device.StackID = stack.StackID;
                device.Position = static_cast<USHORT>(d);
                device.StartTime = i % 10 == 9 ? 2000 : 100;
                device.RemovalTime = i % 10 == 8 ? 1000 : 0;
                append(device);
            }
        }
        NODE_HEADER end{NODE_KIND_END, NODE_END_SIZE};
        append(end);
        stacks.ParseDevstkNodes(list.data(), list.size(), &devices);
    }
    CStackTree stacks;
    CAttachedDevices devices;
};

void AtTimeLookup(benchmark::State& state) {
    Model model;
    int i = 0;
    for (auto _ : state) {
        CDeviceObject* found = nullptr;
        model.devices.GetClassDeviceObjectAtTime(AddressOf(i), (i & 1) != 0 ? 1500 : 2500, found);
        benchmark::DoNotOptimize(found);
        i = (i + 7) % kObjects;
    }
    state.counters["lookups/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(AtTimeLookup);

void StackById(benchmark::State& state) {
    Model model;
    USHORT id = 1;
    for (auto _ : state) {
        benchmark::DoNotOptimize(model.stacks.FindStackById(id));
        id = static_cast<USHORT>(id % (kStacks + 5) + 1); // a few ids that name no stack
    }
    state.counters["lookups/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(StackById);

} // namespace
