// The record list on a real screen: the program's main frame of 1920 x 1080 pixels shown on an X server through
// the display host (CTest starts this under xvfb-run), a saved capture of 1,000,000 mixed records of every family
// open in it with its record list maximized, all active columns shown:
//   BM_PageDownOnScreen  Page Down from the top, each page painted by the list and then shown: the host copies
//                        the main window's picture and draws it on the server, and the next page waits until the
//                        server shows this one (its first row, read back from the screen, is the model's).
//                        Figure: frames/s, pages the screen showed per second (aim: 30 or more).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <thread>
#include <vector>

#include "WinDisplayDriver.h"
#include "WinUiControl.h"
#include "afxwin.h"
#include "app/core/app/AppResources.h"
#include "app/core/app/Resource.h"
#include "app/core/document/USBLog.h"
#include "app/core/records/LogRecords.h"
#include "app/ui/frame/ChildFrame.h"
#include "app/ui/frame/MainFrame.h"
#include "app/ui/frame/ZoDocTemplate.h"
#include "app/ui/loglist/LogListView.h"
#include "bench/app/BenchApp.h"
#include "bench/app/MixedCapture.h"
#include "platform/display/DisplayHost.h"
#include "tests/support/StackKinds.h"
#include "tests/support/XScreen.h"

namespace {

using LogRecords::CLogRecords;
using tdl::bench::TheApp;

constexpr uint64_t kRecords = 1000000;
constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

// The main frame on the screen with the capture open in it; null members when something failed.
struct ScreenList {
    ScreenList() {
        TheApp();
        RegisterAppResources();
        if (!screen.IsOpen() || !display::AttachDisplayHost())
            return;
        auto* pTemplate = new CZoDocTemplate(IDR_TDLOFT_TYPE, RUNTIME_CLASS(CUSBLog), RUNTIME_CLASS(CChildFrame),
                                             RUNTIME_CLASS(CLogListView));
        TheApp().AddDocTemplate(pTemplate);
        auto* pFrame = new CMainFrame;
        if (!pFrame->LoadFrame(IDR_MAINFRAME, WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE))
            return; // a frame that failed to load has deleted itself
        frame = pFrame;
        TheApp().m_pMainWnd = frame;
        frame->MoveWindow(0, 0, kWidth, kHeight);
        frame->ShowWindow(SW_SHOW);
        frame->RecalcLayout();
        win32::PumpUiMessages(); // the panes on show make their windows
        doc = dynamic_cast<CUSBLog*>(pTemplate->OpenDocumentFile(nullptr));
        if (doc == nullptr)
            return;
        tdl::test::AddStacksOfEveryKind(*doc);
        CLogRecords& store = *doc->GetLogRecords();
        const std::vector<tdl::bench::Shape> shapes = tdl::bench::Shapes();
        const uint64_t bytes = tdl::bench::MixedCaptureBytes(shapes, kRecords);
        store.CreateBuffer(static_cast<DWORD>(bytes), 0);
        tdl::bench::WriteMixedCapture(store, shapes, kRecords);
        store.SetLatestStart(tdl::test::kDeviceObjectStart);
        doc->UpdateAllViews(nullptr);
        view = dynamic_cast<CLogListView*>(doc->GetFirstView());
        if (view == nullptr)
            return;
        frame->MDIMaximize(view->GetParentFrame());
        view->SetFocus();
        ::RedrawWindow(frame->GetSafeHwnd(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    }
    ~ScreenList() {
        if (frame != nullptr)
            frame->DestroyWindow(); // with the capture's window and document
        TheApp().m_pMainWnd = nullptr;
        display::DetachDisplayHost();
    }
    ScreenList(const ScreenList&) = delete;
    ScreenList& operator=(const ScreenList&) = delete;

    // The list's first row on the root, and whether the screen shows it as the model painted it.
    RECT FirstRow() const {
        CListCtrl& list = view->GetListCtrl();
        CRect row;
        list.GetItemRect(list.GetTopIndex(), &row, LVIR_BOUNDS);
        CRect client;
        list.GetClientRect(&client);
        row.right = std::min(row.right, client.right);
        list.ClientToScreen(&row);
        return row;
    }
    bool ScreenShows(const RECT& root) {
        win32::TopLevelDescription d;
        if (!win32::DescribeTopLevel(frame->GetSafeHwnd(), d))
            return false;
        const int width = root.right - root.left;
        model.resize(static_cast<size_t>(width) * (root.bottom - root.top));
        const RECT part{root.left - d.window.left, root.top - d.window.top, root.right - d.window.left,
                        root.bottom - d.window.top};
        win32::CopyPicture(frame->GetSafeHwnd(), part, model.data(), width * 4);
        return screen.Read(root) == model;
    }
    // Serves the window thread's messages until the screen shows the first row (false after 10 s).
    bool WaitUntilShown() {
        const RECT row = FirstRow();
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!ScreenShows(row)) {
            if (std::chrono::steady_clock::now() > end)
                return false;
            win32::PumpUiMessages();
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        return true;
    }

    tdl::test::XScreen screen;
    CMainFrame* frame = nullptr;
    CUSBLog* doc = nullptr;
    CLogListView* view = nullptr;
    std::vector<uint32_t> model;
};

ScreenList* s_pList = nullptr;

void BM_PageDownOnScreen(benchmark::State& state) {
    if (s_pList == nullptr) {
        // No desktop session here: settings stay in memory, and no accessibility bus is looked for.
        setenv("GSETTINGS_BACKEND", "memory", 0);
        setenv("NO_AT_BRIDGE", "1", 0);
        s_pList = new ScreenList;
    }
    ScreenList* list = s_pList;
    if (list->view == nullptr) {
        state.SkipWithError("no record list on an X screen (run under xvfb-run)");
        return;
    }
    CListCtrl& ctrl = list->view->GetListCtrl();
    const auto top = [&] {
        ctrl.SendMessage(WM_KEYDOWN, VK_HOME);
        list->view->UpdateWindow();
        return list->WaitUntilShown();
    };
    if (!top()) {
        state.SkipWithError("the screen never showed the list");
        return;
    }
    const int nPerPage = ctrl.GetCountPerPage();
    uint64_t frames = 0;
    for (auto _ : state) {
        if (ctrl.GetTopIndex() + 2 * nPerPage >= ctrl.GetItemCount()) {
            state.PauseTiming();
            top();
            state.ResumeTiming();
        }
        ctrl.SendMessage(WM_KEYDOWN, VK_NEXT);
        list->view->UpdateWindow();
        if (!list->WaitUntilShown()) {
            state.SkipWithError("a page never reached the screen");
            break;
        }
        ++frames;
    }
    state.counters["frames/s"] = benchmark::Counter(static_cast<double>(frames), benchmark::Counter::kIsRate);
    state.counters["rows/page"] = static_cast<double>(nPerPage);
    state.counters["columns"] = static_cast<double>(list->view->GetColumns().GetCount());
}
BENCHMARK(BM_PageDownOnScreen)->Unit(benchmark::kMillisecond)->UseRealTime();

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
