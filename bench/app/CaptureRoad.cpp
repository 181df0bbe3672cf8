// The capture road end to end: the storage workload ("copying a file to the stick") as fast as the simulated
// machine goes, the stick checked in the live capture document, continuous logging and background logging on,
// so that every record goes from the hooked drivers through the driver's log, the capture thread and the
// banks into the document's index. Beside it, in the same run and on the same machine, the workload with no
// capture running: the ceiling the road is measured against (what bench_SimStorage measures). Each run of a
// row boots its own machine, outside the timed loop.
//
// Counters of the end-to-end row:
//   records/s           records the document processed (not still held: the banks take turns), counted by
//                       sequence number, so records the driver lost in a gap count too: read it with `gaps`
//   bytes/s             bank bytes those records took
//   index_B/record      bytes of the document's index per record held
//   bank_B/record       bank bytes per record held
//   rss_KiB/Mrecords    resident memory growth per million records processed (over 100,000 records or
//                       more; rss_growth_KiB is the run's growth): flat, since the banks are fixed at 262,144
//                       bytes each and the index holds only what the banks hold
// Outside background logging the list reads once per 250 ms by design, so that mode is no speed figure.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <fstream>
#include <memory>
#include <string>

#include "platform/sim/Machine.h"
#include "platform/sim/Workload.h"

#include "WinUiControl.h"
#include "app/core/AppSettings.h"
#include "app/core/LogRecords.h"
#include "app/core/Resource.h"
#include "app/core/TindaloftApp.h"
#include "app/core/USBLog.h"
#include "tools/capture-session/CaptureSession.h"

namespace {

// Resident memory of the process, in KiB.
double ResidentKiB() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0;
    long resident = 0;
    statm >> pages >> resident;
    return static_cast<double>(resident) * static_cast<double>(::sysconf(_SC_PAGESIZE)) / 1024.0;
}

// A booted machine and a started application, for one run of a row: they are made and taken down on the
// thread that runs the row, since only the thread that made a window may destroy it.
struct Road : tdl::session::HeadlessSession {
    CUSBLog* log = nullptr;

    Road() : HeadlessSession("bench-road") {
        if (!failure.empty())
            return;
        app->m_Settings.ContinuousLogging = true;
        app->m_Settings.BackgroundLogging = true;
        log = tdl::session::RenewLiveDocument(*app);
        std::shared_ptr<sim::UsbDevice> stick = machine->Device("stick");
        if (log == nullptr || stick == nullptr || !tdl::session::CheckOnDevicesTab(stick->PhysicalDeviceObject()))
            failure = "the stick cannot be checked";
    }
    ~Road() {
        if (log != nullptr && log->IsLogging())
            tdl::session::SendCommand(ID_USB_STOPEVENTCAPTURE);
    }
};

// One file copied to the stick, a new one each time; false (the row skipped with the reason) when it failed.
bool CopyOneFile(benchmark::State& state, Road& road, uint64_t& file, uint64_t& requests) {
    sim::WorkloadOptions options;
    options.count = 1;
    options.seed = ++file;
    const sim::WorkloadResult result = sim::RunWorkload(*road.machine, sim::WorkloadKind::CopyToStick, options);
    if (!result.Succeeded()) {
        state.SkipWithError(result.failure.c_str());
        return false;
    }
    requests += result.requests;
    return true;
}

void EndToEnd(benchmark::State& state) {
    Road road;
    if (!road.failure.empty()) {
        state.SkipWithError(road.failure.c_str());
        return;
    }
    tdl::session::SendCommand(ID_USB_STARTEVENTCAPTURE);
    if (!road.log->IsLogging()) {
        state.SkipWithError("the capture did not start");
        return;
    }
    const double rssBefore = ResidentKiB();
    uint64_t file = 0;
    uint64_t requests = 0;
    for (auto _ : state) {
        if (!CopyOneFile(state, road, file, requests))
            break;
        // The progress window of background logging lives on this thread.
        win32::PumpUiMessages();
    }
    tdl::session::SendCommand(ID_USB_STOPEVENTCAPTURE);
    win32::ClearModalRequests();

    // The document numbers what it indexed: the next number it expects is one past the last.
    const LogRecords::CLogRecords* records = road.log->GetLogRecords();
    const double processed = road.log->GetExpectedSequenceNumber();
    const INT_PTR held = records->GetCount();
    double bankBytes = 0;
    for (INT_PTR i = 0; i < held; ++i)
        bankBytes += static_cast<double>(LogRecords::CLogRecords::RecordSize(records->GetAt(i)));
    const double indexBytes = static_cast<double>(records->GetBankIndex(0).GetCapacity() +
                                                  records->GetBankIndex(1).GetCapacity()) *
                              sizeof(_LOGHDR*);
    const double perRecord = held != 0 ? bankBytes / static_cast<double>(held) : 0;
    state.counters["records/s"] = benchmark::Counter(processed, benchmark::Counter::kIsRate);
    state.counters["bytes/s"] = benchmark::Counter(processed * perRecord, benchmark::Counter::kIsRate);
    state.counters["bank_B/record"] = perRecord;
    state.counters["index_B/record"] = held != 0 ? indexBytes / static_cast<double>(held) : 0;
    // Per million only over enough records to say something; a short run shows its growth alone.
    const double rssGrowth = ResidentKiB() - rssBefore;
    state.counters["rss_growth_KiB"] = rssGrowth;
    state.counters["rss_KiB/Mrecords"] = processed >= 100000 ? rssGrowth * 1e6 / processed : 0;
    state.counters["gaps"] = road.log->GetSequenceGapCount();
    state.counters["requests/s"] = benchmark::Counter(static_cast<double>(requests), benchmark::Counter::kIsRate);
}

// The ceiling: the same workload on the same machine with no capture running.
void MachineAlone(benchmark::State& state) {
    Road road;
    if (!road.failure.empty()) {
        state.SkipWithError(road.failure.c_str());
        return;
    }
    uint64_t file = 0;
    uint64_t requests = 0;
    for (auto _ : state) {
        if (!CopyOneFile(state, road, file, requests))
            break;
    }
    // Three records (init, return, completion) per URB is what the road would have to carry.
    state.counters["records/s"] = benchmark::Counter(3.0 * static_cast<double>(requests), benchmark::Counter::kIsRate);
    state.counters["requests/s"] = benchmark::Counter(static_cast<double>(requests), benchmark::Counter::kIsRate);
}

// The machine and the capture work on their own threads: rates are per second of real time.
BENCHMARK(EndToEnd)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(MachineAlone)->UseRealTime()->Unit(benchmark::kMicrosecond);

} // namespace
