// The hex-dump control's costs in the data bar's set-up: painting a 1 MiB buffer page by page from start to
// end (rows painted per second), and handing it the buffer.
#include <benchmark/benchmark.h>

#include <vector>

#include "app/widgets/PPDumpCtrl.h"

namespace {

std::vector<BYTE> MiB() {
    std::vector<BYTE> data(1 << 20);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<BYTE>(i * 31 + (i >> 8));
    return data;
}

// A control the size of the data bar's, set up as the data bar sets it up.
void DataBarSetUp(CPPDumpCtrl& ctrl) {
    ctrl.Create(CRect(0, 0, 560, 180), nullptr, 0, WS_POPUP | WS_VISIBLE);
    ctrl.ModifyStyles(0xD0123, 0x7F3F, FALSE);
    ctrl.SetFont("Lucida Console", 9, FALSE, FALSE, FALSE, FALSE, FALSE);
    ctrl.SetColor(PPDUMP_COLOR_TEXT, RGB(0, 0, 128), FALSE);
    ctrl.SetColor(PPDUMP_COLOR_TEXT_BACK, RGB(255, 255, 255), FALSE);
    ctrl.SetColor(PPDUMP_COLOR_SEL_BK, RGB(255, 220, 120), FALSE);
    ctrl.SetColor(PPDUMP_COLOR_ADDRESS_FG, RGB(0, 128, 0), FALSE);
}

void BM_PaintPages(benchmark::State& state) {
    const std::vector<BYTE> data = MiB();
    CPPDumpCtrl ctrl;
    DataBarSetUp(ctrl);
    ctrl.SetData(data.size(), data.data(), nullptr, FALSE);
    const DumpLayout layout = ctrl.GetLayout();
    const int64_t page = std::max(layout.perPage, 1);
    int64_t rows = 0;
    int64_t top = 0;
    for (auto _ : state) {
        ctrl.SetTopAddress(top, TRUE);
        ctrl.UpdateWindow();
        rows += layout.visibleRows;
        top += page;
        if (top >= ctrl.GetElementCount())
            top = 0; // start to end, then again
    }
    state.counters["rows"] = benchmark::Counter(static_cast<double>(rows), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PaintPages);

void BM_SetData(benchmark::State& state) {
    const std::vector<BYTE> data = MiB();
    CPPDumpCtrl ctrl;
    DataBarSetUp(ctrl);
    for (auto _ : state) {
        ctrl.SetData(data.size(), data.data(), nullptr, TRUE);
        benchmark::DoNotOptimize(ctrl.GetElementCount());
    }
}
BENCHMARK(BM_SetData);

} // namespace
