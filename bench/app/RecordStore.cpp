// The record store's cost per captured record: Add (and, with the buffer filter on, AddFiltered) into the
// index of a bank full of small records, lookups of the list view's rows in the full and the filtered view,
// and what the indexes hold per record (8 bytes of pointer plus the growth's slack; twice that and more with
// the filtered arrays). A bank of 10,000 records (680 KB) and one of a million (a large loaded file).
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "app/core/document/USBLog.h"
#include "app/core/filters/FilterDefinition.h"
#include "app/core/records/LogRecords.h"
#include "common/FourCC.h"
#include "common/RecordTags.h"

namespace {

using LogRecords::CLogRecords;

// Header and trailer only: the smallest record, so the index's work dominates.
constexpr DWORD kRecordBytes = 68;

// A document whose bank 0 is full of small records, every other one a "urbI" its buffer filter accepts.
struct FilledStore {
    explicit FilledStore(INT_PTR records) {
        const auto bankSize = static_cast<DWORD>(records * kRecordBytes);
        store.CreateBuffer(bankSize, 0);
        auto* filter = new CFilterDefinition;
        for (size_t offset : {2, 4, 294})
            filter->Enable(offset);
        doc.SetBufferFilter(filter);
        BYTE* pointer = nullptr;
        DWORD left = 0;
        store.GetWriteSpace(pointer, left);
        for (INT_PTR i = 0; i < records; ++i) {
            _LOGHDR header{};
            header.Sync = FourCC("####");
            header.SequenceNumber = static_cast<ULONG>(i + 1);
            header.LogType = i % 2 == 0 ? LogTag::urbI : LogTag::urbC;
            header.Continuation = FourCC("DATA");
            BYTE* at = pointer + i * kRecordBytes;
            std::memcpy(at, &header, sizeof header);
            std::memcpy(at + sizeof header, "FINI", 4);
            recordAt.push_back(reinterpret_cast<_LOGHDR*>(at));
        }
        store.AdvanceWrite(bankSize);
    }

    void IndexAll(bool filtered) {
        for (_LOGHDR* record : recordAt) {
            store.Add(record);
            if (filtered)
                store.AddFiltered(&doc, record);
        }
    }

    // Index bytes per indexed record, slack included.
    double IndexBytesPerRecord() const {
        INT_PTR capacity = 0;
        for (int bank = 0; bank < 2; ++bank)
            capacity += store.GetBankIndex(bank).GetCapacity() + store.GetFilteredIndex(bank).GetCapacity();
        return static_cast<double>(capacity * static_cast<INT_PTR>(sizeof(_LOGHDR*))) /
               static_cast<double>(store.GetCount());
    }

    CUSBLog doc;
    CLogRecords& store = *doc.GetLogRecords();
    std::vector<_LOGHDR*> recordAt;
};

// Arguments: records in the bank, buffer filter on (1) or off (0).
void BM_Add(benchmark::State& state) {
    const INT_PTR records = state.range(0);
    const bool filtered = state.range(1) != 0;
    FilledStore filled(records);
    filled.doc.SetBufferFilterOn(filtered);
    double bytesPerRecord = 0;
    for (auto _ : state) {
        filled.IndexAll(filtered);
        state.PauseTiming();
        bytesPerRecord = filled.IndexBytesPerRecord();
        filled.store.RemoveAll();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * records);
    state.counters["index_bytes_per_record"] = bytesPerRecord;
}
BENCHMARK(BM_Add)->ArgsProduct({{10000, 1000000}, {0, 1}})->Unit(benchmark::kMillisecond);

// Arguments: records in the bank, view (0 full, 1 filtered). Rows are visited in a scattered order, as a
// scrolled and searched list view asks for them.
void BM_GetRecordAt(benchmark::State& state) {
    const INT_PTR records = state.range(0);
    const bool filtered = state.range(1) != 0;
    FilledStore filled(records);
    filled.doc.SetBufferFilterOn(filtered);
    filled.IndexAll(filtered);
    const INT_PTR rows = filled.store.GetDisplayCount(&filled.doc);
    constexpr int kLookups = 1024;
    uint64_t next = 1;
    for (auto _ : state) {
        for (int i = 0; i < kLookups; ++i) {
            next = next * 6364136223846793005ULL + 1442695040888963407ULL;
            benchmark::DoNotOptimize(filled.store.GetRecordAt(
                &filled.doc, static_cast<INT_PTR>((next >> 33) % static_cast<uint64_t>(rows))));
        }
    }
    state.SetItemsProcessed(state.iterations() * kLookups);
}
BENCHMARK(BM_GetRecordAt)->ArgsProduct({{10000, 1000000}, {0, 1}});

} // namespace
