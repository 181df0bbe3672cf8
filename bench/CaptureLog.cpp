// The capture log's hot path: records reserved and filled in place (their payload copied from a request's
// buffer by the buffer-copy rule) and read back block by block into a caller's buffer, as the capture
// thread does. Beside it, plain memcpy of the same sizes on the same machine: the ceiling. Every payload
// byte is copied twice on the way (request buffer to block, block to caller), so the log's bytes per
// second can at best reach half the memcpy figure.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "NtPoolControl.h"
#include "common/FourCC.h"
#include "common/RecordTags.h"
#include "driver/log/Log.h"

namespace {

constexpr ULONG kSourceTag = FourCC("Bnch");

struct Source {
    PVOID buffer;
    ULONG length;
};

VOID FillTransfer(PRECORD_DESCRIPTOR record, PVOID context, PIRP, PVOID, BOOLEAN) {
    auto source = static_cast<const Source*>(context);
    RECORD_HEADER_INFO info = {};
    info.Function = 9;
    info.DeviceObject = 0xFFFFA00000001000;
    info.Irp = 0xFFFFA00000002000;
    RecordSetHeader(record, &info);
    RecordCopyBuffer(record, source->buffer, nullptr, source->length);
}

// Records of `payload` bytes written and read; one iteration writes a block's worth and reads it back.
// 512 is the bulk IN transfer of bench/CaptureUrb.
void BM_ReserveFillRead(benchmark::State& state) {
    const auto payload = static_cast<ULONG>(state.range(0));
    PCAPTURE_LOG log = LogCreate(LOG_TAG_CAPTURE);
    PVOID buffer = ExAllocatePoolWithTag(NonPagedPoolNx, payload, kSourceTag);
    std::memset(buffer, 0xA5, payload);
    std::vector<UCHAR> user(LOG_BLOCK_DATA_SIZE);
    nt::pool::RegisterRange(user.data(), user.size());
    LONG64 records = 0;
    LONG64 bytes = 0;
    const ULONG recordSize = payload + RECORD_HEADER_PART_SIZE;
    const ULONG perBlock = LOG_BLOCK_DATA_SIZE / recordSize;
    Source source{buffer, payload};

    for (auto _ : state) {
        for (ULONG i = 0; i < perBlock; ++i) {
            RECORD_DESCRIPTOR record;
            RecordDescribe(&record, LogTag::urbC, 0, payload);
            LogWriteRecord(log, &record, FillTransfer, &source, nullptr, nullptr);
        }
        ULONG returned = 0;
        LogReadBlock(log, user.data(), static_cast<ULONG>(user.size()), &returned);
        benchmark::DoNotOptimize(user.data());
        records += perBlock;
        bytes += returned;
    }
    state.SetItemsProcessed(records);
    state.SetBytesProcessed(bytes);

    nt::pool::UnregisterRange(user.data(), user.size());
    ExFreePoolWithTag(buffer, kSourceTag);
    LogFree(log);
}
BENCHMARK(BM_ReserveFillRead)->Arg(64)->Arg(512)->Arg(65536);

// The ceiling: one memcpy of the same payload per record.
void BM_Memcpy(benchmark::State& state) {
    const auto size = static_cast<size_t>(state.range(0));
    std::vector<UCHAR> from(size, 0xA5);
    std::vector<UCHAR> to(size);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), size);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(size));
}
BENCHMARK(BM_Memcpy)->Arg(64)->Arg(512)->Arg(65536);

} // namespace
