// Trace calls while no session listens: every traced member on the capture road pays this, so it must stay a
// counter increment and a test, also with the user-interface and capture threads tracing at once (they share
// the sequence counter). TracePrintf adds finding the provider; its arguments are never formatted.
#include <benchmark/benchmark.h>

#include "app/core/diagnostics/EventTrace.h"
#include "app/core/diagnostics/Trace.h"

namespace {

void DisabledTrace(benchmark::State& state) {
    CEventTrace& provider = TheEventTrace();
    ULONG line = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(provider.Trace(TRACE_VERBOSE, TRACE_AREA_DRIVER_IO, __FILE__, ++line, "--Read"));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(DisabledTrace)->Threads(1)->Threads(2);

void DisabledTracePrintf(benchmark::State& state) {
    ULONG length = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(
            TDL_TRACE(TRACE_VERBOSE, TRACE_AREA_DRIVER_IO, "Read %lu bytes at %I64x", ++length, ULONG64{0x1000}));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(DisabledTracePrintf)->Threads(1)->Threads(2);

} // namespace
