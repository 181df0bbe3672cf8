// The capture road end to end: a workload of the simulated machine as fast as it goes, its device checked in
// the live capture document, continuous logging and background logging on, so that every record goes from
// the hooked drivers through the driver's log, the capture thread and the banks into the document's index.
// Sources of records:
//   Storage         "copying a file to the stick": large transfers whose data the records carry (up to 64 KiB
//                   a record, the driver's default size setting for bulk data);
//   StorageHeaders  the same with bulk data not captured (the bulk data switch off): what the road costs
//                   besides copying the data into the driver's blocks and those blocks' fill;
//   Flood           "loopback flood": small transfers answered at once, the most records a second the machine
//                   can make (the road's own cost, with the machine's as small as it gets).
// Beside each, in the same run and on the same machine, the workload with no capture running: the ceiling the
// road is measured against. The workloads make their data once and compare nothing they read back, so that
// the rows measure the traffic. Each run of a row boots its own machine, outside the timed loop, unpaced: its
// transfers take no time on their buses, so that the rows find the road's ceiling rather than the buses'.
//
// Counters of the end-to-end rows:
//   records/s           records delivered into the document, per second: what the driver wrote less what
//                       it lost in recycled blocks (a rate counted by sequence numbers would count the lost
//                       ones too)
//   lost, lost%         records the driver lost to the document (gaps in their sequence numbers), and their
//                       share of the records written
//   gaps                gap marks the document set
//   bytes/s             bank bytes those records took
//   index_B/record      bytes of the document's index per record held
//   bank_B/record       bank bytes per record held
//   B/log_block         bytes of records delivered per block the driver's log allocated: near a block's
//                       66,539 when the capture thread takes whole blocks from a busy log, far less when it
//                       takes the writers' current block a few records at a time
//   rss_KiB/Mrecords    resident memory growth per million records delivered (over 100,000 records or more;
//                       rss_growth_KiB is the run's growth): flat, since the banks are fixed at 262,144 bytes
//                       each and the index holds only what the banks hold
// The ceiling rows count records/s as the three records (initiated, returned, completed) each URB would take.
// The storage row fills the driver's 31 blocks in 2 to 4 ms (about 1 ms when the host keeps every processor
// awake and the machine runs three times faster): a capture thread kept off its processor that long by
// another process loses records, so losses are only a figure of the road on processors nothing else uses
// (taskset to a set of its own, and check that no other job's threads land there). The machine alone is as
// sensitive the other way: its hand-offs wait for sleeping processors to wake, so compare the two rows of
// one run, over several runs.
// Outside background logging the list reads once per 250 ms by design, so that mode is no speed figure.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <fstream>
#include <memory>
#include <string>

#include "platform/sim/Machine.h"
#include "platform/sim/Workload.h"

#include "NtPoolControl.h"
#include "WinUiControl.h"
#include "app/core/app/Resource.h"
#include "app/core/app/TindaloftApp.h"
#include "app/core/document/USBLog.h"
#include "app/core/records/LogRecords.h"
#include "app/core/settings/AppSettings.h"
#include "driver/core/Driver.h"
#include "driver/log/Log.h"
#include "tools/capture-session/CaptureSession.h"

namespace {

enum Source : int64_t { Storage, StorageHeaders, Flood };

// Pairs of the flood per timed step: long enough that the loop's own cost does not show.
constexpr uint64_t kFloodPairsPerStep = 4096;
// Files of the storage workload per timed step.
constexpr uint64_t kFilesPerStep = 4;

// Resident memory of the process, in KiB.
double ResidentKiB() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0;
    long resident = 0;
    statm >> pages >> resident;
    return static_cast<double>(resident) * static_cast<double>(::sysconf(_SC_PAGESIZE)) / 1024.0;
}

const char* DeviceOf(Source source) {
    return source == Flood ? "loopback" : "stick";
}

// A booted machine and a started application, for one run of a row: they are made and taken down on the
// thread that runs the row, since only the thread that made a window may destroy it.
struct Road : tdl::session::HeadlessSession {
    CUSBLog* log = nullptr;

    explicit Road(Source source) : HeadlessSession("bench-road", nullptr, false) {
        if (!failure.empty())
            return;
        app->m_Settings.ContinuousLogging = true;
        app->m_Settings.BackgroundLogging = true;
        if (source == StorageHeaders) {
            app->m_Settings.CaptureBulk = false;
            if (!app->SetDriverLoggingOptions(nullptr)) {
                failure = "the capture switches cannot be set";
                return;
            }
        }
        log = tdl::session::RenewLiveDocument(*app);
        std::shared_ptr<sim::UsbDevice> device = machine->Device(DeviceOf(source));
        if (log == nullptr || device == nullptr || !tdl::session::CheckOnDevicesTab(device->PhysicalDeviceObject()))
            failure = std::string("the ") + DeviceOf(source) + " cannot be checked";
    }
    ~Road() {
        if (log != nullptr && log->IsLogging())
            tdl::session::SendCommand(ID_USB_STOPEVENTCAPTURE);
    }
};

// One timed step of the source's workload, a new seed each time; false (the row skipped with the reason) when
// it failed.
bool Step(benchmark::State& state, Road& road, Source source, uint64_t& seed, uint64_t& requests) {
    sim::WorkloadOptions options;
    options.seed = ++seed;
    options.checks = false;
    options.count = source == Flood ? kFloodPairsPerStep : kFilesPerStep;
    const sim::WorkloadResult result = sim::RunWorkload(
        *road.machine, source == Flood ? sim::WorkloadKind::Flood : sim::WorkloadKind::CopyToStick, options);
    if (!result.Succeeded()) {
        state.SkipWithError(result.failure.c_str());
        return false;
    }
    requests += result.requests;
    return true;
}

LOG_STATISTICS CaptureLogStatistics() {
    LOG_STATISTICS statistics = {};
    LogQueryStatistics(g_Driver.CaptureLog, &statistics);
    return statistics;
}

void EndToEnd(benchmark::State& state) {
    const auto source = static_cast<Source>(state.range(0));
    Road road(source);
    if (!road.failure.empty()) {
        state.SkipWithError(road.failure.c_str());
        return;
    }
    tdl::session::SendCommand(ID_USB_STARTEVENTCAPTURE);
    if (!road.log->IsLogging()) {
        state.SkipWithError("the capture did not start");
        return;
    }
    const LOG_STATISTICS before = CaptureLogStatistics();
    const uint64_t blocksBefore = nt::pool::Stats(LOG_TAG_CAPTURE).allocations;
    const double rssBefore = ResidentKiB();
    uint64_t seed = 0;
    uint64_t requests = 0;
    for (auto _ : state) {
        if (!Step(state, road, source, seed, requests))
            break;
        // The progress window of background logging lives on this thread.
        win32::PumpUiMessages();
    }
    // The stop drains what the log still holds into the document.
    tdl::session::SendCommand(ID_USB_STOPEVENTCAPTURE);
    win32::ClearModalRequests();
    const LOG_STATISTICS after = CaptureLogStatistics();
    const auto blocks = static_cast<double>(nt::pool::Stats(LOG_TAG_CAPTURE).allocations - blocksBefore);

    const auto written = static_cast<double>(after.RecordsWritten - before.RecordsWritten);
    const auto lost = static_cast<double>(after.RecordsLost - before.RecordsLost);
    const double delivered = written - lost;
    const LogRecords::CLogRecords* records = road.log->GetLogRecords();
    const INT_PTR held = records->GetCount();
    double bankBytes = 0;
    for (INT_PTR i = 0; i < held; ++i)
        bankBytes += static_cast<double>(LogRecords::CLogRecords::RecordSize(records->GetAt(i)));
    const double indexBytes =
        static_cast<double>(records->GetBankIndex(0).GetCapacity() + records->GetBankIndex(1).GetCapacity()) *
        sizeof(_LOGHDR*);
    const double perRecord = held != 0 ? bankBytes / static_cast<double>(held) : 0;
    state.counters["records/s"] = benchmark::Counter(delivered, benchmark::Counter::kIsRate);
    state.counters["lost"] = lost;
    state.counters["lost%"] = written != 0 ? 100.0 * lost / written : 0;
    state.counters["gaps"] = road.log->GetSequenceGapCount();
    state.counters["bytes/s"] = benchmark::Counter(delivered * perRecord, benchmark::Counter::kIsRate);
    state.counters["bank_B/record"] = perRecord;
    state.counters["B/log_block"] = blocks != 0 ? delivered * perRecord / blocks : 0;
    state.counters["index_B/record"] = held != 0 ? indexBytes / static_cast<double>(held) : 0;
    // Per million only over enough records to say something; a short run shows its growth alone.
    const double rssGrowth = ResidentKiB() - rssBefore;
    state.counters["rss_growth_KiB"] = rssGrowth;
    state.counters["rss_KiB/Mrecords"] = delivered >= 100000 ? rssGrowth * 1e6 / delivered : 0;
    state.counters["requests/s"] = benchmark::Counter(static_cast<double>(requests), benchmark::Counter::kIsRate);
}

// The ceiling: the same workload on the same machine with no capture running.
void MachineAlone(benchmark::State& state) {
    const auto source = static_cast<Source>(state.range(0));
    Road road(source);
    if (!road.failure.empty()) {
        state.SkipWithError(road.failure.c_str());
        return;
    }
    uint64_t seed = 0;
    uint64_t requests = 0;
    for (auto _ : state) {
        if (!Step(state, road, source, seed, requests))
            break;
    }
    // Three records (init, return, completion) per URB is what the road would have to carry.
    state.counters["records/s"] = benchmark::Counter(3.0 * static_cast<double>(requests), benchmark::Counter::kIsRate);
    state.counters["requests/s"] = benchmark::Counter(static_cast<double>(requests), benchmark::Counter::kIsRate);
}

// The machine and the capture work on their own threads: rates are per second of real time.
BENCHMARK(EndToEnd)
    ->ArgName("source")
    ->Arg(Storage)
    ->Arg(StorageHeaders)
    ->Arg(Flood)
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(MachineAlone)->ArgName("source")->Arg(Storage)->Arg(Flood)->UseRealTime()->Unit(benchmark::kMicrosecond);

} // namespace
