// The memory checks request capture makes before it reads what a request points to, per call:
//   RangeIsValid/<bytes>       a range inside one pool block: two probes per page piece;
//   ReadablePrefix/<bytes>     the same range read as a structure (all of it readable);
//   PrefixPastEnd/<bytes>      a structure longer than its 100-byte block: the block's end found by binary
//                              search in the first page piece, whatever the length asked.
#include <benchmark/benchmark.h>

#include "common/FourCC.h"
#include "driver/capture/AddressCheck.h"

namespace {

constexpr ULONG kBenchTag = FourCC("BnAd");

class PoolBlock {
public:
    explicit PoolBlock(SIZE_T size) : m_bytes(ExAllocatePoolWithTag(NonPagedPoolNx, size, kBenchTag)) {}
    ~PoolBlock() { ExFreePoolWithTag(m_bytes, kBenchTag); }
    PoolBlock(const PoolBlock&) = delete;
    PoolBlock& operator=(const PoolBlock&) = delete;
    PVOID Data() const { return m_bytes; }

private:
    PVOID m_bytes;
};

void RangeIsValid(benchmark::State& state) {
    const auto length = static_cast<ULONG>(state.range(0));
    PoolBlock block(length);
    for (auto _ : state) {
        benchmark::DoNotOptimize(AddressRangeIsValid(block.Data(), length));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(RangeIsValid)->Arg(64)->Arg(4096)->Arg(65536);

void ReadablePrefix(benchmark::State& state) {
    const auto length = static_cast<ULONG>(state.range(0));
    PoolBlock block(length);
    for (auto _ : state) {
        benchmark::DoNotOptimize(AddressReadablePrefix(block.Data(), length));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(ReadablePrefix)->Arg(64)->Arg(4096)->Arg(65536);

void PrefixPastEnd(benchmark::State& state) {
    PoolBlock block(100);
    const auto length = static_cast<ULONG>(state.range(0));
    for (auto _ : state) {
        benchmark::DoNotOptimize(AddressReadablePrefix(block.Data(), length));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(PrefixPastEnd)->Arg(4096)->Arg(65536);

} // namespace
