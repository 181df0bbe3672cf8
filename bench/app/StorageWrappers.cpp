// What showing a mass-storage stick's traffic costs: the records of a file copied to the stick of the default
// machine (captured for real, bulk transfers whole), those of the stick's bulk-only stack alone, in the Log
// Details pane's protocol through the property-grid back-end: through the bulk-only decoder the factory picks
// for them (command and status wrappers with their command block sections), beside the same records through
// the plain URB decoder.
// The kernel's headers (through the capture's) come first: the framework's ASSERT yields to the kernel's.
#include "tests/support/DecoderCapture.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "app/core/records/LogRecordDecode.h"
#include "app/core/settings/AppSettings.h"
#include "app/decoders/urb/UrbOutputer.h"
#include "tests/support/LogDetailsPane.h"

namespace {

struct StorageCapture {
    StorageCapture() {
        tdl::test::DecoderCapture::Options options;
        options.workload = sim::WorkloadKind::CopyToStick;
        // Whole bulk transfers: the 128 KiB reads and writes come with their continuation records.
        options.settings = [](CAppSettings& settings) { settings.BulkMaxSize = 4; };
        capture = std::make_unique<tdl::test::DecoderCapture>(options);
        for (const _LOGHDR* record : capture->Records())
            if (CLogRecordDecode(record, capture->Document()).IsMassStorageBot())
                records.push_back(record);
    }

    std::unique_ptr<tdl::test::DecoderCapture> capture;
    std::vector<const _LOGHDR*> records;
};

const StorageCapture& Capture() {
    static const StorageCapture capture;
    return capture;
}

bool Ready(benchmark::State& state, const StorageCapture& capture) {
    if (!capture.capture->Failure().empty() || capture.records.empty()) {
        state.SkipWithError("no storage capture");
        return false;
    }
    return true;
}

void BM_StorageThroughBulkOnlyDecoder(benchmark::State& state) {
    const StorageCapture& capture = Capture();
    if (!Ready(state, capture))
        return;
    tdl::test::LogDetailsPane pane;
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(pane.ShowRecord(capture.capture->Document(), capture.records[i]));
        i = (i + 1) % capture.records.size();
    }
    state.counters["records_per_second"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_StorageThroughBulkOnlyDecoder);

void BM_StorageThroughPlainDecoder(benchmark::State& state) {
    const StorageCapture& capture = Capture();
    if (!Ready(state, capture))
        return;
    tdl::test::LogDetailsPane pane;
    size_t i = 0;
    for (auto _ : state) {
        // The pane's protocol, with the plain decoder in the bulk-only decoder's place.
        GridOutputImp grid(&pane);
        UrbOutputer decoder(&grid, capture.capture->Document(), capture.records[i]);
        for (const char* caption : tdl::test::LogDetailsPane::kCategories)
            grid.HideCategory(caption);
        decoder.OutputLogEntry();
        decoder.OutputTarget();
        decoder.OutputIrpFields();
        decoder.OutputKindTitle(OUTPUT_MODE_GRID);
        i = (i + 1) % capture.records.size();
    }
    state.counters["records_per_second"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_StorageThroughPlainDecoder);

} // namespace
