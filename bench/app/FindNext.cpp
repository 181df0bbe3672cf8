// The Find dialog's search over a record list of 1,000,000 mixed records of every family (the real CLogListView
// in a window of 1280 x 800 pixels), with an URB function ticked that no record carries, so that every row is
// tested and none matches:
//   BM_FindNextNoMatch   Next with no row selected: every row from the first shown to the last, each record
//                        taken from the store by its row and tested with the filter, then "Search failed."
//                        told in its box. Figure: records tested/s.
//   BM_MatchRows         the same rows tested by a plain loop over the store and the filter, without the
//                        dialog and the list: the floor the search stands on. Figure: records tested/s.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "WinUiControl.h"
#include "afxwin.h"
#include "app/core/app/Resource.h"
#include "app/core/document/USBLog.h"
#include "app/core/filters/FilterDefinition.h"
#include "app/core/records/LogRecords.h"
#include "app/ui/find/FindDialog.h"
#include "app/ui/find/FindOptionsIds.h"
#include "app/ui/find/FindOptionsResources.h"
#include "app/ui/loglist/LogListView.h"
#include "bench/app/BenchApp.h"
#include "bench/app/MixedCapture.h"

namespace {

using LogRecords::CLogRecords;
using tdl::bench::TheApp;

constexpr uint64_t kRecords = 1000000;
constexpr int kWidth = 1280;
constexpr int kHeight = 800;
// TAKE_FRAME_LENGTH_CONTROL: no record of the capture carries it.
constexpr int kAbsentUrbFunction = 3;

// A document whose store holds the capture in bank 0, its record list shown, and its Find dialog open with the
// absent function ticked.
struct FindOverCapture {
    FindOverCapture() {
        TheApp();
        RegisterFindOptionsResources();
        doc.m_bAutoDelete = FALSE; // this object owns it, also once its view is gone
        const uint64_t bytes = tdl::bench::MixedCaptureBytes(shapes, kRecords);
        store.CreateBuffer(static_cast<DWORD>(bytes), 0);
        tdl::bench::WriteMixedCapture(store, shapes, kRecords);

        host.CreateEx(0, AfxRegisterWndClass(CS_DBLCLKS), "Record list", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                      CRect(0, 0, kWidth, kHeight), nullptr, 0);
        CRect client;
        host.GetClientRect(&client);
        CCreateContext context;
        context.m_pCurrentDoc = &doc;
        view = new CLogListView;
        view->Create(nullptr, nullptr, WS_CHILD | WS_VISIBLE, client, &host, AFX_IDW_PANE_FIRST, &context);
        view->SendMessage(WM_INITIALUPDATE);
        view->UpdateWindow();

        find = new CFindDialog; // it deletes itself with its window
        find->SetDocument(&doc);
        find->Create(IDD_FIND, &host);
        find->GetPage(0)->GetList()->SetCheck(kAbsentUrbFunction, BST_CHECKED);
        // A first search puts the ticks into the definition the searches match with.
        win32::QueueModalAnswer(win32::ModalKind::MessageBox, IDOK, "Search failed.");
        find->SendMessage(WM_COMMAND, MAKEWPARAM(IDC_FIND_NEXT, BN_CLICKED));
        win32::ClearModalRequests();
    }
    ~FindOverCapture() {
        find->DestroyWindow();
        host.DestroyWindow(); // the window takes its view with it
    }
    FindOverCapture(const FindOverCapture&) = delete;
    FindOverCapture& operator=(const FindOverCapture&) = delete;

    const std::vector<tdl::bench::Shape> shapes = tdl::bench::Shapes();
    CUSBLog doc;
    CLogRecords& store = *doc.GetLogRecords();
    CWnd host;
    CLogListView* view = nullptr;
    CFindDialog* find = nullptr;
};

// Built once for all runs (the banks are named sections, one pair per process); main takes it down after the
// runs, on the thread that made its windows, while the window system is still there.
FindOverCapture* s_pFind = nullptr;

FindOverCapture* TheFind() {
    if (s_pFind == nullptr)
        s_pFind = new FindOverCapture;
    return s_pFind;
}

void BM_FindNextNoMatch(benchmark::State& state) {
    FindOverCapture* find = TheFind();
    const HWND dialog = find->find->GetSafeHwnd();
    const HWND next = ::GetDlgItem(dialog, IDC_FIND_NEXT);
    uint64_t records = 0;
    bool failed = true;
    for (auto _ : state) {
        win32::QueueModalAnswer(win32::ModalKind::MessageBox, IDOK, "Search failed.");
        ::SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_FIND_NEXT, BN_CLICKED), reinterpret_cast<LPARAM>(next));
        state.PauseTiming();
        const std::vector<win32::ModalRequest> requests = win32::ModalRequests();
        failed = requests.size() == 1 && requests[0].text == "Search failed.";
        win32::ClearModalRequests();
        state.ResumeTiming();
        if (!failed) {
            state.SkipWithError("the search did not end in \"Search failed.\"");
            break;
        }
        records += find->view->GetItemCount();
    }
    state.counters["records tested/s"] = benchmark::Counter(static_cast<double>(records), benchmark::Counter::kIsRate);
    state.counters["rows"] = static_cast<double>(find->view->GetItemCount());
}
BENCHMARK(BM_FindNextNoMatch)->Unit(benchmark::kMillisecond);

void BM_MatchRows(benchmark::State& state) {
    FindOverCapture* find = TheFind();
    const CFilterDefinition& filter = find->find->GetFilter();
    const INT_PTR rows = find->store.GetDisplayCount(&find->doc);
    const UINT schema = find->doc.GetRecordSchema();
    uint64_t records = 0;
    for (auto _ : state) {
        INT_PTR matches = 0;
        for (INT_PTR row = 0; row < rows; ++row) {
            const _LOGHDR* record = find->store.GetRecordAt(&find->doc, row);
            matches += record != nullptr && filter.Match(record, schema) ? 1 : 0;
        }
        benchmark::DoNotOptimize(matches);
        records += static_cast<uint64_t>(rows);
    }
    state.counters["records tested/s"] = benchmark::Counter(static_cast<double>(records), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_MatchRows)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    delete s_pFind;
    benchmark::Shutdown();
    return 0;
}
