// DrawText into a window's image, as a list view paints its cells: one 12-character cell, and a page of 40 rows
// by 12 columns. The figure is cells per second.
#include <benchmark/benchmark.h>

#include "internal/WindowSurface.h"
#include "windows.h"

namespace {

constexpr int kCellWidth = 90;
constexpr int kCellHeight = 16;
constexpr int kColumns = 12;
constexpr int kRows = 40;

struct WindowImage {
    WindowImage() {
        surface = win32::internal::CreateWindowSurface(kColumns * kCellWidth, kRows * kCellHeight);
        RECT all{0, 0, kColumns * kCellWidth, kRows * kCellHeight};
        dc = win32::internal::CreateSurfaceDC(surface, nullptr, POINT{0, 0}, all);
        font = CreateFontA(-11, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, "MS Shell Dlg");
        old = SelectObject(dc, font);
        SetBkMode(dc, TRANSPARENT);
    }
    ~WindowImage() {
        SelectObject(dc, old);
        DeleteObject(font);
        win32::internal::DeleteSurfaceDC(dc);
    }
    void Cell(int row, int column) {
        RECT r{column * kCellWidth + 2, row * kCellHeight, (column + 1) * kCellWidth - 2, (row + 1) * kCellHeight};
        DrawTextA(dc, "0x1234ABCD:5", 12, &r, DT_END_ELLIPSIS | DT_NOPREFIX | DT_SINGLELINE | DT_VCENTER);
    }
    std::shared_ptr<win32::internal::WindowSurface> surface;
    HDC dc;
    HFONT font;
    HGDIOBJ old;
};

void DrawTextCell(benchmark::State& state) {
    WindowImage image;
    for (auto _ : state)
        image.Cell(3, 4);
    state.counters["cells"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(DrawTextCell);

void DrawTextPage(benchmark::State& state) {
    WindowImage image;
    for (auto _ : state)
        for (int row = 0; row < kRows; ++row)
            for (int column = 0; column < kColumns; ++column)
                image.Cell(row, column);
    state.counters["cells"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kRows * kColumns, benchmark::Counter::kIsRate);
}
BENCHMARK(DrawTextPage)->Unit(benchmark::kMillisecond);

} // namespace
