// What selecting a record costs the user: successive rows of a mixed capture (files copied to the stick while
// the mouse moves and every request family runs, captured on the default machine) selected in the main frame
// with the Log Details pane and the data bar both shown, each as the record list selects one: the data bar
// emptied, the record decoded into the pane and its data handed to the bar, and both panes repainted. The
// figure is records shown per second; a held arrow key needs a few hundred.
// The kernel's headers (through the capture's) come first: the framework's ASSERT yields to the kernel's.
#include "tests/support/DecoderCapture.h"

#include <benchmark/benchmark.h>

#include <memory>

#include "WinUiControl.h"
#include "app/core/AppSettings.h"
#include "app/core/LogRecords.h"
#include "app/core/Resource.h"
#include "app/core/USBLog.h"
#include "app/ui/DataBar.h"
#include "app/ui/LogPropertiesWnd.h"
#include "app/ui/MainFrame.h"
#include "app/ui/PanePointers.h"

namespace {

const tdl::test::DecoderCapture& Capture() {
    static const auto capture = [] {
        tdl::test::DecoderCapture::Options options;
        options.workload = sim::WorkloadKind::CopyToStick;
        options.workloadOptions.count = 4;
        // Bulk transfers whole: the bar gets up to 64 KiB of a record.
        options.settings = [](CAppSettings& settings) { settings.BulkMaxSize = 4; };
        options.alsoDuring = [](sim::Machine& machine) {
            sim::WorkloadOptions mouse;
            mouse.count = 40;
            return sim::RunWorkload(machine, sim::WorkloadKind::MouseMoving, mouse).Succeeded() &&
                   sim::RunWorkload(machine, sim::WorkloadKind::RequestFamilies).Succeeded();
        };
        return std::make_unique<tdl::test::DecoderCapture>(options);
    }();
    return *capture;
}

// The main frame shown as the program shows it, its panes' windows made, for one run of a benchmark.
class ShownFrame {
public:
    ShownFrame() {
        auto* pFrame = new CMainFrame;
        if (!pFrame->LoadFrame(IDR_MAINFRAME, WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE))
            return; // a frame that failed to load has deleted itself
        m_pFrame = pFrame;
        AfxGetApp()->m_pMainWnd = m_pFrame;
        m_pFrame->MoveWindow(0, 0, 1280, 900);
        m_pFrame->ShowWindow(SW_SHOW);
        m_pFrame->RecalcLayout();
        win32::PumpUiMessages();
    }
    ~ShownFrame() {
        if (m_pFrame == nullptr)
            return;
        m_pFrame->DestroyWindow(); // the frame deletes itself
        AfxGetApp()->m_pMainWnd = nullptr;
    }
    ShownFrame(const ShownFrame&) = delete;
    ShownFrame& operator=(const ShownFrame&) = delete;

    CLogPropertiesWnd* Details() const { return m_pFrame != nullptr ? m_pFrame->GetLogDetailsPane() : nullptr; }
    CDataBar* Bar() const { return m_pFrame != nullptr ? m_pFrame->GetDataBar() : nullptr; }

private:
    CMainFrame* m_pFrame = nullptr;
};

void Repaint(CWnd& wnd) {
    ::RedrawWindow(wnd.GetSafeHwnd(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void BM_SelectSuccessiveRows(benchmark::State& state) {
    const tdl::test::DecoderCapture& capture = Capture();
    if (!capture.Failure().empty()) {
        state.SkipWithError(capture.Failure().c_str());
        return;
    }
    ShownFrame frame;
    if (frame.Details() == nullptr || frame.Bar() == nullptr) {
        state.SkipWithError("the panes were not shown");
        return;
    }
    CUSBLog* document = capture.Document();
    const INT_PTR rows = document->GetLogRecords()->GetDisplayCount(document);
    CLogPropertiesWnd& details = *frame.Details();
    CDataBar& bar = *frame.Bar();
    INT_PTR row = 0;
    for (auto _ : state) {
        CPanePointers().DataBarClear(TRUE);
        details.ShowRecord(document, row);
        Repaint(details);
        Repaint(bar);
        row = (row + 1) % rows;
    }
    state.counters["records"] = static_cast<double>(rows);
    state.counters["records_per_second"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SelectSuccessiveRows);

} // namespace
