// The list view's costs: repainting a page of a 1,000,000-row owner-data list that colours every sub-item
// through custom draw (figure: pages per second), and the record list's cost as rows arrive: the row count
// grows by a fragment's records with LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL and the list repaints, with
// auto-scroll off (the new rows lie below the page) and on (the last row is kept in view). Figure: rows per
// second.
#include <benchmark/benchmark.h>

#include <cstdio>

#include "windows.h"

namespace {

constexpr int kRows = 1000000;
constexpr int kColumns = 8;
constexpr int kFragmentRows = 64; // records a capture fragment typically adds
constexpr COLORREF kColours[] = {RGB(255, 230, 230), RGB(230, 255, 230), RGB(230, 230, 255), RGB(255, 255, 220)};

LRESULT CALLBACK ParentProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_NOTIFY)
        return DefWindowProcA(hwnd, message, wParam, lParam);
    auto* nm = reinterpret_cast<NMHDR*>(lParam);
    if (nm->code == LVN_GETDISPINFOA) {
        auto* info = reinterpret_cast<NMLVDISPINFOA*>(lParam);
        if (info->item.mask & LVIF_TEXT)
            snprintf(info->item.pszText, static_cast<size_t>(info->item.cchTextMax), "%d:%d", info->item.iItem,
                     info->item.iSubItem);
        return 0;
    }
    if (nm->code == NM_CUSTOMDRAW) {
        auto* cd = reinterpret_cast<NMLVCUSTOMDRAW*>(lParam);
        switch (cd->nmcd.dwDrawStage) {
        case CDDS_PREPAINT: return CDRF_NOTIFYITEMDRAW;
        case CDDS_ITEMPREPAINT: return CDRF_NOTIFYSUBITEMDRAW;
        case CDDS_ITEMPREPAINT | CDDS_SUBITEM: cd->clrTextBk = kColours[cd->iSubItem % 4]; return CDRF_DODEFAULT;
        default: return CDRF_DODEFAULT;
        }
    }
    return 0;
}

struct RecordList {
    RecordList() {
        win32::RegisterDialogClasses();
        WNDCLASSA wc{};
        wc.lpfnWndProc = ParentProc;
        wc.lpszClassName = "TdlBenchListParent";
        RegisterClassA(&wc);
        parent = CreateWindowExA(0, wc.lpszClassName, "", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 1000, 700, nullptr,
                                 nullptr, nullptr, nullptr);
        RECT client{};
        GetClientRect(parent, &client);
        list = CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_OWNERDATA, 0, 0,
                               client.right, client.bottom, parent, nullptr, nullptr, nullptr);
        SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
        for (int column = 0; column < kColumns; ++column) {
            char heading[16];
            snprintf(heading, sizeof heading, "Column %d", column);
            LVCOLUMNA info{};
            info.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
            info.pszText = heading;
            info.cx = 110;
            info.iSubItem = column;
            SendMessageA(list, LVM_INSERTCOLUMNA, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&info));
        }
    }
    ~RecordList() { DestroyWindow(parent); }
    void Repaint() {
        InvalidateRect(list, nullptr, FALSE);
        UpdateWindow(list);
    }
    HWND parent = nullptr;
    HWND list = nullptr;
};

void RepaintOwnerDataPage(benchmark::State& state) {
    RecordList records;
    SendMessageA(records.list, LVM_SETITEMCOUNT, kRows, 0);
    SendMessageA(records.list, LVM_ENSUREVISIBLE, kRows / 2, FALSE);
    records.Repaint(); // fonts and glyphs are loaded once, before timing
    for (auto _ : state)
        records.Repaint();
    state.counters["pages"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["rows/page"] = static_cast<double>(SendMessageA(records.list, LVM_GETCOUNTPERPAGE, 0, 0));
}
BENCHMARK(RepaintOwnerDataPage)->Unit(benchmark::kMillisecond);

// range(0): 1 keeps the last row in view, as the record list does with auto-scroll on.
void RecordListRowsArrive(benchmark::State& state) {
    const bool autoScroll = state.range(0) != 0;
    RecordList records;
    int count = kRows;
    SendMessageA(records.list, LVM_SETITEMCOUNT, static_cast<WPARAM>(count), 0);
    records.Repaint();
    for (auto _ : state) {
        count += kFragmentRows;
        SendMessageA(records.list, LVM_SETITEMCOUNT, static_cast<WPARAM>(count),
                     LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
        if (autoScroll)
            SendMessageA(records.list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(count - 1), FALSE);
        UpdateWindow(records.list);
    }
    state.counters["rows"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kFragmentRows, benchmark::Counter::kIsRate);
}
BENCHMARK(RecordListRowsArrive)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace
