// What a capture log file costs: opening a file of 1,000,000 records (the records are mapped, only their
// offsets are read and checked; goal: under 0.5 s, and at most 16 index bytes per record), and saving a full
// bank pair (both banks in use: the newest records that fit one capacity, made linear).
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "app/core/document/USBLog.h"
#include "app/core/records/LogRecords.h"
#include "common/FourCC.h"
#include "common/RecordTags.h"

namespace {

namespace fs = std::filesystem;

constexpr DWORD kRecordBytes = 68;

// Fills the current bank with back-to-back records from `sequence` on, and indexes them.
void FillCurrentBank(CUSBLog& doc, DWORD records, ULONG& sequence) {
    LogRecords::CLogRecords* store = doc.GetLogRecords();
    BYTE* bytes = nullptr;
    DWORD left = 0;
    if (!store->GetWriteSpace(bytes, left)) {
        store->SwitchBanks(&doc);
        store->GetWriteSpace(bytes, left);
    }
    const DWORD count = records * kRecordBytes <= left ? records : left / kRecordBytes;
    for (DWORD i = 0; i < count; ++i) {
        _LOGHDR header{};
        header.Sync = FourCC("####");
        header.SequenceNumber = sequence++;
        header.LogType = LogTag::urbI;
        header.Continuation = FourCC("DATA");
        BYTE* at = bytes + static_cast<size_t>(i) * kRecordBytes;
        std::memcpy(at, &header, sizeof header);
        std::memcpy(at + sizeof header, "FINI", 4);
    }
    store->AdvanceWrite(count * kRecordBytes);
    BOOL triggered = FALSE;
    doc.ProcessCaptureFragment(bytes, count * kRecordBytes, triggered);
}

void Save(CUSBLog& doc, const fs::path& path) {
    CFile file(path.string().c_str(), CFile::modeCreate | CFile::modeWrite);
    CArchive ar(&file, CArchive::store);
    doc.Serialize(ar);
    ar.Close();
    file.Close();
}

fs::path TempFile(const char* name) {
    return fs::temp_directory_path() / ("tdl-bench-" + std::to_string(::getpid()) + "-" + name);
}

void BM_OpenMillionRecordFile(benchmark::State& state) {
    constexpr DWORD kRecords = 1000000;
    const fs::path path = TempFile("million.tdloft");
    {
        CUSBLog doc;
        doc.GetLogRecords()->CreateBuffer(kRecords * kRecordBytes, 0);
        ULONG sequence = 1;
        FillCurrentBank(doc, kRecords, sequence);
        Save(doc, path);
    }
    INT_PTR count = 0;
    double indexBytes = 0;
    for (auto _ : state) {
        CUSBLog doc;
        CFile file(path.string().c_str(), CFile::modeRead | CFile::shareDenyWrite);
        CArchive ar(&file, CArchive::load);
        doc.Serialize(ar);
        ar.Close();
        file.Close();
        state.PauseTiming();
        const LogRecords::CLogRecords* records = doc.GetLogRecords();
        count = records->GetCount();
        indexBytes =
            static_cast<double>(records->GetBankIndex(0).GetCapacity() * sizeof(_LOGHDR*)) / static_cast<double>(count);
        state.ResumeTiming();
    }
    state.counters["records"] = static_cast<double>(count);
    state.counters["index_bytes_per_record"] = indexBytes;
    fs::remove(path);
}
BENCHMARK(BM_OpenMillionRecordFile)->Unit(benchmark::kMillisecond);

void BM_SaveFullBankPair(benchmark::State& state) {
    constexpr DWORD kBank = 4 << 20;
    const fs::path path = TempFile("pair.tdloft");
    CUSBLog doc;
    LogRecords::CLogRecords* store = doc.GetLogRecords();
    store->CreateBuffer(kBank, 64 << 10);
    store->SetCapturing();
    ULONG sequence = 1;
    FillCurrentBank(doc, kBank / kRecordBytes, sequence);
    FillCurrentBank(doc, kBank / kRecordBytes, sequence);
    for (auto _ : state)
        Save(doc, path);
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(fs::file_size(path)));
    state.counters["records"] = static_cast<double>(store->GetCount());
    fs::remove(path);
}
BENCHMARK(BM_SaveFullBankPair)->Unit(benchmark::kMillisecond);

} // namespace
