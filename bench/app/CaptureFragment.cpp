// What the capture document spends per captured record when a block arrives: the walk, the sequence check,
// the append to the index and, when they are on, the trigger and the buffer filter. Blocks of small records
// (68 bytes, the walk and the index dominate) are prepared in a bank once; each round walks them all again.
// The plain walk should stay above 10 million records per second.
#include <benchmark/benchmark.h>

#include <cstring>

#include "app/core/document/USBLog.h"
#include "app/core/filters/FilterDefinition.h"
#include "app/core/records/LogRecords.h"
#include "common/FourCC.h"
#include "common/RecordTags.h"

namespace {

constexpr DWORD kRecordBytes = 68;
// About one driver block: the size a read hands over.
constexpr DWORD kRecordsPerBlock = 978;

// "urbI" with function 0 passes; the prepared records alternate "urbI" and "urbC".
CFilterDefinition* UrbInitiatedFilter() {
    auto* filter = new CFilterDefinition;
    for (size_t offset : {2, 4, 294})
        filter->Enable(offset);
    return filter;
}

struct PreparedBank {
    explicit PreparedBank(DWORD records) : count(records) {
        const DWORD size = records * kRecordBytes;
        doc.GetLogRecords()->CreateBuffer(size, 0);
        DWORD left = 0;
        doc.GetLogRecords()->GetWriteSpace(bytes, left);
        for (DWORD i = 0; i < records; ++i) {
            _LOGHDR header{};
            header.Sync = FourCC("####");
            header.SequenceNumber = i + 1;
            header.LogType = i % 2 == 0 ? LogTag::urbI : LogTag::urbC;
            header.Continuation = FourCC("DATA");
            BYTE* at = bytes + static_cast<size_t>(i) * kRecordBytes;
            std::memcpy(at, &header, sizeof header);
            std::memcpy(at + sizeof header, "FINI", 4);
        }
        doc.GetLogRecords()->AdvanceWrite(size);
    }

    void WalkAll() {
        BOOL triggered = FALSE;
        for (DWORD first = 0; first < count; first += kRecordsPerBlock) {
            const DWORD n = first + kRecordsPerBlock <= count ? kRecordsPerBlock : count - first;
            benchmark::DoNotOptimize(doc.ProcessCaptureFragment(bytes + static_cast<size_t>(first) * kRecordBytes,
                                                                n * kRecordBytes, triggered));
        }
    }

    CUSBLog doc;
    BYTE* bytes = nullptr;
    DWORD count;
};

// Argument: 0 plain, 1 with a trigger (every other record matches; with no main window nothing is posted), 2 with the
// buffer filter (every other record accepted).
void BM_ProcessCaptureFragment(benchmark::State& state) {
    PreparedBank bank(100000);
    const int64_t mode = state.range(0);
    if (mode == 1) {
        bank.doc.SetTrigger(UrbInitiatedFilter());
        bank.doc.SetTriggerOn(TRUE);
        bank.doc.SetLogging(TRUE);
    } else if (mode == 2) {
        bank.doc.SetBufferFilter(UrbInitiatedFilter());
        bank.doc.SetBufferFilterOn(TRUE);
    }
    for (auto _ : state) {
        bank.WalkAll();
        state.PauseTiming();
        bank.doc.GetLogRecords()->RemoveAll();
        bank.doc.SetExpectedSequenceNumber(0);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * bank.count);
}
BENCHMARK(BM_ProcessCaptureFragment)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

} // namespace
