// The whole main window painted: the program on the default machine with the capture driver, a live capture of
// the mouse, files copied to the stick and every request family, copied on until the capture holds 1,000,000
// records (some 313 MB of them), a bulk-in transfer of the stick selected (Log Details and the data bar
// filled, the device trees and the stack inspector full), the window 1280 x 900. Each iteration invalidates the frame
// and every window in it and paints them all.
//   BM_FullRepaint   Figure: repaints/s (aim: 30 or more).
// The kernel's headers come first: the framework's ASSERT yields to the kernel's.
#include "platform/sim/Machine.h"
#include "platform/sim/Workload.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "WinUiControl.h"
#include "app/core/app/Resource.h"
#include "app/core/app/TindaloftApp.h"
#include "app/core/document/USBLog.h"
#include "app/core/records/LogRecords.h"
#include "app/core/settings/AppSettings.h"
#include "app/ui/frame/MainFrame.h"
#include "app/ui/loglist/LogListView.h"
#include "common/RecordFrame.h"
#include "common/RecordPayloads.h"
#include "common/RecordTags.h"
#include "tools/capture-session/CaptureSession.h"

namespace {

constexpr INT_PTR kRecords = 1000000;
// Each bank holds the whole capture.
constexpr DWORD kBankBytes = 512u << 20;

// The capture's records copied on after it, renumbered and later in time, until it holds kRecords.
bool CopyOn(CUSBLog& doc) {
    LogRecords::CLogRecords& store = *doc.GetLogRecords();
    const INT_PTR captured = store.GetCount();
    if (captured == 0)
        return false;
    std::vector<std::vector<uint8_t>> originals;
    for (INT_PTR i = 0; i < captured; ++i) {
        const auto* record = reinterpret_cast<const uint8_t*>(store.GetAt(i));
        originals.emplace_back(record, record + LogRecords::CLogRecords::RecordSize(store.GetAt(i)));
    }
    ULONG sequence = LogHdr::SequenceNumber(originals.back().data()) + 1;
    const LONGLONG span = LogHdr::TimeStamp(originals.back().data()) - LogHdr::TimeStamp(originals.front().data()) + 1;
    LONGLONG shift = span;
    BYTE* pointer = nullptr;
    DWORD left = 0;
    if (!store.GetWriteSpace(pointer, left))
        return false;
    DWORD written = 0;
    for (INT_PTR n = captured; n < kRecords; shift += span) {
        for (size_t i = 0; i < originals.size() && n < kRecords; ++i, ++n) {
            const std::vector<uint8_t>& original = originals[i];
            if (left < original.size())
                return false;
            std::memcpy(pointer, original.data(), original.size());
            const LONGLONG stamp = LogHdr::TimeStamp(original.data()) + shift;
            std::memcpy(pointer + offsetof(_LOGHDR, SequenceNumber), &sequence, sizeof sequence);
            std::memcpy(pointer + offsetof(_LOGHDR, TimeStamp), &stamp, sizeof stamp);
            ++sequence;
            store.Add(reinterpret_cast<_LOGHDR*>(pointer));
            pointer += original.size();
            left -= static_cast<DWORD>(original.size());
            written += static_cast<DWORD>(original.size());
        }
    }
    store.AdvanceWrite(written);
    return true;
}

// The first row of a bulk-in completion of the stick that carries more than 512 bytes.
int BulkInRow(CUSBLog& doc) {
    LogRecords::CLogRecords& store = *doc.GetLogRecords();
    for (INT_PTR row = 0; row < store.GetDisplayCount(&doc); ++row) {
        const auto* record = reinterpret_cast<const uint8_t*>(store.GetRecordAt(&doc, row));
        if (LogHdr::LogType(record) != LogTag::urbC || LogHdr::Function(record) != 9)
            continue;
        URB_RECORD_BULK_OR_INTERRUPT_TRANSFER transfer{};
        std::memcpy(&transfer, record + LOGHDR_SIZE, sizeof transfer);
        if ((transfer.Pipe.EndpointAddress & 0x80) != 0 && transfer.CapturedLength > 512)
            return static_cast<int>(row);
    }
    return -1;
}

// The machine, the program and its main window as the benchmark paints it; made and taken down on the thread
// that runs the benchmark, which alone may destroy the windows.
struct PaintedWindow : tdl::session::HeadlessSession {
    CMainFrame* frame = nullptr;
    CUSBLog* doc = nullptr;

    PaintedWindow() : HeadlessSession("bench-paint") {
        if (!failure.empty())
            return;
        frame = dynamic_cast<CMainFrame*>(app->m_pMainWnd);
        if (frame == nullptr) {
            failure = "the application shows no main window";
            return;
        }
        frame->MoveWindow(0, 0, 1280, 900);
        frame->ShowWindow(SW_SHOW);
        CAppSettings& settings = app->m_Settings;
        settings.MaxLogBuffer = kBankBytes;
        settings.CapturePower = settings.CapturePnp = true;
        if (!app->SetDriverLoggingOptions(nullptr)) {
            failure = "the capture settings were refused";
            return;
        }
        doc = tdl::session::RenewLiveDocument(*app);
        if (doc == nullptr) {
            failure = "no live capture";
            return;
        }
        for (const char* name : {"mouse", "stick"}) {
            std::shared_ptr<sim::UsbDevice> device = machine->Device(name);
            if (device == nullptr || !tdl::session::CheckOnDevicesTab(device->PhysicalDeviceObject())) {
                failure = std::string("the ") + name + " cannot be checked";
                return;
            }
        }
        tdl::session::SendCommand(ID_USB_STARTEVENTCAPTURE);
        sim::WorkloadOptions files;
        files.count = 4;
        files.fileBytes = files.transferBytes = 16384;
        tdl::session::PlayWhilePumping(
            *machine, {{sim::WorkloadKind::MouseMoving, {.count = 40}}, {sim::WorkloadKind::CopyToStick, files}});
        tdl::session::PlayWhilePumping(*machine, {{sim::WorkloadKind::RequestFamilies, {.count = 1}}});
        tdl::session::SendCommand(ID_USB_STOPEVENTCAPTURE);
        win32::PumpUiMessages();
        auto* view = dynamic_cast<CLogListView*>(doc->GetFirstView());
        if (view == nullptr || !CopyOn(*doc)) {
            failure = "the capture could not be copied on to a million records";
            return;
        }
        view->SetItemCountAll();
        const int row = BulkInRow(*doc);
        if (row < 0) {
            failure = "no bulk-in transfer of the stick was captured";
            return;
        }
        CListCtrl& list = view->GetListCtrl();
        list.SetItemState(row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        list.EnsureVisible(row, FALSE);
        win32::PumpUiMessages();
        Repaint(); // fonts and glyphs are loaded once, before timing
    }

    void Repaint() const {
        ::RedrawWindow(frame->GetSafeHwnd(), nullptr, nullptr,
                       RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    }
};

void BM_FullRepaint(benchmark::State& state) {
    const PaintedWindow window;
    if (!window.failure.empty()) {
        state.SkipWithError(window.failure.c_str());
        return;
    }
    for (auto _ : state)
        window.Repaint();
    state.counters["repaints/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["records"] = static_cast<double>(window.doc->GetLogRecords()->GetCount());
}
BENCHMARK(BM_FullRepaint)->Unit(benchmark::kMillisecond)->Iterations(60);

} // namespace
