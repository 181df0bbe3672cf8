// The storage workload of the simulated machine, as fast as the machine goes: files copied to the stick and read
// back through the disk and storage class drivers, the bulk-only transport, the hub and the port driver, with
// no capture driver in the way. One row per transfer size; items per second is URBs per second at the host
// controllers (three per SCSI command: command block wrapper, data, command status wrapper), bytes per second
// the file data written and read back.
#include <benchmark/benchmark.h>

#include <memory>

#include "platform/sim/Machine.h"
#include "platform/sim/Workload.h"

namespace {

// One machine for every row (booting takes longer than a row's measurement), unpaced: the rows measure the
// machine's own speed, not its buses'.
sim::Machine& TheMachine() {
    static std::unique_ptr<sim::Machine> machine = [] {
        sim::MachineOptions options;
        options.busTime = false;
        return sim::Machine::BootDefault(options);
    }();
    return *machine;
}

void CopyToStick(benchmark::State& state) {
    sim::Machine& machine = TheMachine();
    if (!NT_SUCCESS(machine.Status())) {
        state.SkipWithError("the machine did not boot");
        return;
    }
    sim::WorkloadOptions options;
    options.count = 1;
    options.transferBytes = static_cast<ULONG>(state.range(0));
    options.fileBytes = 4 * options.transferBytes; // four commands each way per file
    uint64_t requests = 0;
    uint64_t bytes = 0;
    uint64_t file = 0;
    for (auto _ : state) {
        options.seed = ++file; // a new file each time, in a new place on the disk
        const sim::WorkloadResult result = sim::RunWorkload(machine, sim::WorkloadKind::CopyToStick, options);
        if (!result.Succeeded()) {
            state.SkipWithError(result.failure.c_str());
            break;
        }
        requests += result.requests;
        bytes += result.bytes;
    }
    state.SetItemsProcessed(static_cast<int64_t>(requests));
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
    state.counters["requests/s"] = benchmark::Counter(static_cast<double>(requests), benchmark::Counter::kIsRate);
}

// The machine works on its own threads: rates are per second of real time.
BENCHMARK(CopyToStick)
    ->Arg(4 * 1024)
    ->Arg(64 * 1024)
    ->Arg(2 * 1024 * 1024)
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);

} // namespace
