// What selecting a record costs the user: successive rows of a mixed capture (files copied to the stick while
// the mouse moves and every request family runs, captured on the default machine) selected in the main frame
// with the Log Details pane and the data bar both shown, each as the record list selects one: the data bar
// emptied, the record decoded into the pane and its data handed to the bar, and both panes repainted. The
// figure is records shown per second; a held arrow key needs a few hundred.
// The kernel's headers (through the capture's) come first: the framework's ASSERT yields to the kernel's.
#include "tests/support/DecoderCapture.h"

#include <benchmark/benchmark.h>

#include <memory>

#include "app/core/document/USBLog.h"
#include "app/core/records/LogRecords.h"
#include "app/core/settings/AppSettings.h"
#include "app/ui/PanePointers.h"
#include "app/ui/frame/MainFrame.h"
#include "app/ui/panes/DataBar.h"
#include "app/ui/panes/LogPropertiesWnd.h"
#include "tests/support/ShownMainFrame.h"

namespace {

// The capture: URBs of the stick (whole bulk transfers with their continuation records) and the mouse, HID,
// hub, host-controller and internal IOCTLs and PnP requests, some two thousand records. A busy machine can
// upset the timing of a workload; a capture that went wrong is taken again, twice at most.
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
        std::unique_ptr<tdl::test::DecoderCapture> taken;
        for (int attempt = 0; attempt < 3 && (!taken || !taken->Failure().empty()); ++attempt) {
            taken.reset();
            taken = std::make_unique<tdl::test::DecoderCapture>(options);
        }
        return taken;
    }();
    return *capture;
}

void Repaint(CWnd& wnd) {
    ::RedrawWindow(wnd.GetSafeHwnd(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void BM_SelectSuccessiveRows(benchmark::State& state) {
    const tdl::test::DecoderCapture& capture = Capture();
    if (!capture.Failure().empty()) {
        state.SkipWithError(capture.Failure().c_str());
        return;
    }
    const tdl::test::ShownMainFrame frame(CSize(1280, 900));
    if (frame.Get() == nullptr || frame.Get()->GetLogDetailsPane() == nullptr || frame.Get()->GetDataBar() == nullptr) {
        state.SkipWithError("the panes were not shown");
        return;
    }
    CUSBLog* document = capture.Document();
    const INT_PTR rows = document->GetLogRecords()->GetDisplayCount(document);
    CLogPropertiesWnd& details = *frame.Get()->GetLogDetailsPane();
    CDataBar& bar = *frame.Get()->GetDataBar();
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
