// The record list view itself, the real CLogListView in a window of 1280 x 800 pixels, over a capture of
// 1,000,000 mixed records of every family against a device model with a stack of each kind, all active
// columns shown:
//   BM_PageDown          Page Down from the top, each followed by the repaint of the page it brings.
//                        Figure: pages/s (aim: 60 or more, a smooth scroll).
//   BM_FragmentNotices   a capture thread of its own reads 100-record fragments into the banks flat out and
//                        notifies the list of each (SendNotifyMessage) as the program's capture thread does, a
//                        full bank switched through the list first; the list's thread runs its message loop with
//                        auto-scroll on: it indexes each fragment, grows its rows, brings the last row into view,
//                        and repaints whenever its queue runs dry. Figure: records/s the list takes in (aim: at
//                        least the driver-side rate bench_CaptureRoad prints, so that the list never holds a
//                        capture back); paints/s counts the repaints that fitted in between.
//   BM_FragmentNoticesEachPainted
//                        the same notices sent one at a time by the list's own thread, each followed by its
//                        repaint: what a fragment costs a list that is otherwise idle.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include "afxwin.h"
#include "app/core/document/USBLog.h"
#include "app/core/records/LogRecords.h"
#include "app/ui/loglist/LogListView.h"
#include "bench/app/BenchApp.h"
#include "bench/app/MixedCapture.h"
#include "tests/support/StackKinds.h"

namespace {

using LogRecords::CLogRecords;
using tdl::bench::TheApp;

constexpr uint64_t kRecords = 1000000;
constexpr uint64_t kFragmentRecords = 100;
// The room a bank keeps past its high-water mark.
constexpr DWORD kReserve = 65536;
constexpr int kWidth = 1280;
constexpr int kHeight = 800;

// A document whose store holds the capture in bank 0 (each bank as large as the capture, continuous logging
// on), and its record list, shown for the first time.
struct ListOverCapture {
    ListOverCapture() {
        TheApp();
        doc.m_bAutoDelete = FALSE; // this object owns it, also once its view is gone
        tdl::test::AddStacksOfEveryKind(doc);
        // Full of the capture, the bank lies past its high-water mark: the next read switches banks.
        const uint64_t bytes = tdl::bench::MixedCaptureBytes(shapes, kRecords);
        store.CreateBuffer(static_cast<DWORD>(bytes), kReserve);
        store.SetCapturing();
        tdl::bench::WriteMixedCapture(store, shapes, kRecords);
        store.SetLatestStart(tdl::test::kDeviceObjectStart);
        next = kRecords;

        host.CreateEx(0, AfxRegisterWndClass(CS_DBLCLKS), "Record list", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                      CRect(0, 0, kWidth, kHeight), nullptr, 0);
        CRect client;
        host.GetClientRect(&client);
        CCreateContext context;
        context.m_pCurrentDoc = &doc;
        view = new CLogListView;
        view->Create(nullptr, nullptr, WS_CHILD | WS_VISIBLE, client, &host, AFX_IDW_PANE_FIRST, &context);
        view->SendMessage(WM_INITIALUPDATE);
        view->SetFocus();
        view->UpdateWindow(); // fonts and glyphs are loaded once, before timing
    }
    // The window takes its view with it.
    ~ListOverCapture() { host.DestroyWindow(); }
    ListOverCapture(const ListOverCapture&) = delete;
    ListOverCapture& operator=(const ListOverCapture&) = delete;

    // The next fragment into the current bank, as the capture thread reads it: a full bank is switched first
    // (the list makes the other bank current and reloads, then the banks flip). Returns its notice's wParam
    // and lParam; null when the bank has no room even so.
    std::pair<BYTE*, DWORD> ReadFragment() {
        BYTE* pointer = nullptr;
        DWORD left = 0;
        const uint64_t bytes = tdl::bench::MixedCaptureBytes(shapes, kFragmentRecords + shapes.size());
        if (!store.GetWriteSpace(pointer, left) || left < bytes) {
            ::SendMessageA(view->GetSafeHwnd(), g_nLogListViewMessage, 0, 0);
            store.SwitchBanks(nullptr);
            if (!store.GetWriteSpace(pointer, left) || left < bytes)
                return {nullptr, 0};
        }
        BYTE* start = pointer;
        for (uint64_t i = 0; i < kFragmentRecords; ++i) {
            const ULONG size = tdl::bench::WriteMixedRecord(shapes, next++, pointer, left);
            pointer += size;
            left -= size;
        }
        const auto length = static_cast<DWORD>(pointer - start);
        store.AdvanceWrite(length);
        return {start, length};
    }

    const std::vector<tdl::bench::Shape> shapes = tdl::bench::Shapes();
    CUSBLog doc;
    CLogRecords& store = *doc.GetLogRecords();
    CWnd host;
    CLogListView* view = nullptr;
    uint64_t next = 0;
};

// Built once for all runs (the banks are named sections, one pair per process); main takes it down after the
// runs, on the thread that made its windows, while the window system is still there.
ListOverCapture* s_pList = nullptr;

ListOverCapture* TheList() {
    if (s_pList == nullptr)
        s_pList = new ListOverCapture;
    return s_pList;
}

void BM_PageDown(benchmark::State& state) {
    ListOverCapture* list = TheList();
    CListCtrl& ctrl = list->view->GetListCtrl();
    ctrl.SendMessage(WM_KEYDOWN, VK_HOME);
    list->view->UpdateWindow();
    const int nPerPage = ctrl.GetCountPerPage();
    uint64_t pages = 0;
    for (auto _ : state) {
        if (ctrl.GetTopIndex() + 2 * nPerPage >= ctrl.GetItemCount()) {
            state.PauseTiming();
            ctrl.SendMessage(WM_KEYDOWN, VK_HOME);
            list->view->UpdateWindow();
            state.ResumeTiming();
        }
        ctrl.SendMessage(WM_KEYDOWN, VK_NEXT);
        list->view->UpdateWindow();
        ++pages;
    }
    state.counters["pages/s"] = benchmark::Counter(static_cast<double>(pages), benchmark::Counter::kIsRate);
    state.counters["rows/page"] = static_cast<double>(nPerPage);
    state.counters["columns"] = static_cast<double>(list->view->GetColumns().GetCount());
}
BENCHMARK(BM_PageDown)->Unit(benchmark::kMillisecond);

// Pages the list repainted since `cells` formatted cells (a page is its rows times its columns).
double PagesSince(const CLogListView& view, ULONGLONG cells) {
    CListCtrl& list = view.GetListCtrl();
    const double page = static_cast<double>((list.GetCountPerPage() + 1) * view.GetColumns().GetCount());
    return static_cast<double>(view.GetFormattedCellCount() - cells) / page;
}

void BM_FragmentNotices(benchmark::State& state) {
    constexpr int kBatch = 100; // fragments per iteration
    ListOverCapture* list = TheList();
    list->view->SetAutoScroll(TRUE);
    HWND hView = list->view->GetSafeHwnd();
    const ULONGLONG cells = list->view->GetFormattedCellCount();
    std::atomic<bool> failed{false};
    uint64_t records = 0;
    for (auto _ : state) {
        // The last record of the batch is the next but one the document expects after it.
        const ULONG expected = static_cast<ULONG>(list->next + kBatch * kFragmentRecords + 1);
        std::thread capture([&] {
            for (int i = 0; i < kBatch; ++i) {
                const auto [pointer, length] = list->ReadFragment();
                if (pointer == nullptr) {
                    failed = true;
                    return;
                }
                ::SendNotifyMessageA(hView, g_nLogListViewMessage, reinterpret_cast<WPARAM>(pointer),
                                     static_cast<LPARAM>(length));
            }
        });
        while (!failed && list->doc.GetExpectedSequenceNumber() != expected) {
            MSG msg;
            if (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
                ::TranslateMessage(&msg);
                ::DispatchMessageA(&msg);
            } else {
                ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
            }
        }
        capture.join();
        if (failed) {
            state.SkipWithError("no room in the banks for a fragment");
            break;
        }
        records += kBatch * kFragmentRecords;
    }
    list->view->UpdateWindow();
    state.counters["records/s"] = benchmark::Counter(static_cast<double>(records), benchmark::Counter::kIsRate);
    state.counters["paints/s"] = benchmark::Counter(PagesSince(*list->view, cells), benchmark::Counter::kIsRate);
    state.counters["rows"] = static_cast<double>(list->view->GetItemCount());
}
BENCHMARK(BM_FragmentNotices)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FragmentNoticesEachPainted(benchmark::State& state) {
    ListOverCapture* list = TheList();
    list->view->SetAutoScroll(TRUE);
    uint64_t records = 0;
    for (auto _ : state) {
        state.PauseTiming(); // the driver's side: the bytes read into the bank
        const auto [pointer, length] = list->ReadFragment();
        state.ResumeTiming();
        if (pointer == nullptr) {
            state.SkipWithError("no room in the banks for a fragment");
            break;
        }
        ::SendMessageA(list->view->GetSafeHwnd(), g_nLogListViewMessage, reinterpret_cast<WPARAM>(pointer),
                       static_cast<LPARAM>(length));
        list->view->UpdateWindow();
        records += kFragmentRecords;
    }
    state.counters["records/s"] = benchmark::Counter(static_cast<double>(records), benchmark::Counter::kIsRate);
    state.counters["rows"] = static_cast<double>(list->view->GetItemCount());
}
BENCHMARK(BM_FragmentNoticesEachPainted)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    delete s_pList;
    benchmark::Shutdown();
    return 0;
}
