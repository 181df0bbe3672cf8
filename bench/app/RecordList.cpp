// The record list's paint cost: rows per second, each row formatted as the list view draws it (the 13
// column texts and both colour pairs), over a capture of 100,000 mixed records of every family against a
// device model with a stack of each kind. Every column writes into its own string, kept across rows as
// the view keeps its text buffer; allocs_per_row counts the mallocs the formatting makes after the first
// rows, which must stay 0: a cell may allocate only its own text, and a text that fits keeps its buffer.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "app/core/document/USBLog.h"
#include "app/core/records/LogRecords.h"
#include "bench/app/MixedCapture.h"
#include "tests/support/StackKinds.h"

// Every malloc of the program's own libraries goes through here (the link wraps malloc).
namespace {
std::atomic<uint64_t> g_mallocs{0};
}
extern "C" void* __real_malloc(size_t size);
extern "C" void* __wrap_malloc(size_t size) {
    g_mallocs.fetch_add(1, std::memory_order_relaxed);
    return __real_malloc(size);
}

namespace {

using LogRecords::CLogRecords;

constexpr INT_PTR kRecords = 100000;

// A document with the model and a bank holding the capture, indexed.
struct MixedCapture {
    MixedCapture() {
        tdl::test::AddStacksOfEveryKind(doc);
        const std::vector<tdl::bench::Shape> shapes = tdl::bench::Shapes();
        const uint64_t bytes = tdl::bench::MixedCaptureBytes(shapes, kRecords);
        store.CreateBuffer(static_cast<DWORD>(bytes), 0);
        tdl::bench::WriteMixedCapture(store, shapes, static_cast<uint64_t>(kRecords));
        store.SetLatestStart(tdl::test::kDeviceObjectStart);
    }

    CUSBLog doc;
    CLogRecords& store = *doc.GetLogRecords();
};

// One row as the list view paints it; the texts' lengths and the colours go to `sink`.
struct RowTexts {
    CString category, state, request, direction, elapsed, deviceObject, device, pipe, iso, cbw, csw, irp, status;

    void Format(const CLogRecords& store, CUSBLog* doc, INT_PTR row, uint64_t& sink) {
        BOOL boundary = FALSE;
        store.FormatCategory(doc, row, category, state);
        sink += store.FormatSequence(doc, row, boundary);
        store.FormatRequest(doc, row, request);
        store.FormatDirection(doc, row, direction);
        store.FormatElapsedTime(doc, row, elapsed);
        store.FormatTargetDeviceObject(doc, row, deviceObject);
        store.FormatTargetDevice(doc, row, device);
        store.FormatCfgIfcEp(doc, row, pipe);
        store.FormatIsoErrors(doc, row, iso);
        store.FormatCbw(doc, row, cbw);
        store.FormatCsw(doc, row, csw);
        store.FormatIrpAddress(doc, row, irp);
        store.FormatIrpStatus(doc, row, status);
        COLORREF text = 0, background = 0;
        store.GetRecordColours(doc, row, text, background);
        sink += text + background;
        store.GetRecordHighlight(doc, row, text, background);
        sink += text + background + request.GetLength() + elapsed.GetLength() + deviceObject.GetLength();
    }
};

void BM_FormatRows(benchmark::State& state) {
    static MixedCapture* capture = new MixedCapture; // built once for all runs
    RowTexts texts;
    uint64_t sink = 0;
    // The first pass sizes every column's buffer (and shows the count sees the libraries' mallocs); what
    // follows must not allocate.
    const uint64_t mallocsAtStart = g_mallocs.load();
    for (INT_PTR row = 0; row < kRecords; ++row)
        texts.Format(capture->store, &capture->doc, row, sink);
    const uint64_t firstPassMallocs = g_mallocs.load() - mallocsAtStart;
    INT_PTR row = 0;
    uint64_t rows = 0;
    const uint64_t mallocsBefore = g_mallocs.load();
    for (auto _ : state) {
        texts.Format(capture->store, &capture->doc, row, sink);
        row = row + 1 == kRecords ? 0 : row + 1;
        ++rows;
    }
    const uint64_t mallocs = g_mallocs.load() - mallocsBefore;
    benchmark::DoNotOptimize(sink);
    state.SetItemsProcessed(static_cast<int64_t>(rows));
    state.counters["rows_per_second"] = benchmark::Counter(static_cast<double>(rows), benchmark::Counter::kIsRate);
    state.counters["allocs_per_row"] = rows ? static_cast<double>(mallocs) / static_cast<double>(rows) : 0.0;
    state.counters["first_pass_allocs"] = static_cast<double>(firstPassMallocs);
}
BENCHMARK(BM_FormatRows);

} // namespace
