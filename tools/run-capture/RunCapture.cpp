// The run command's harness (not part of the product): boots the default simulated machine with the capture
// driver, starts the application object without a display, and drives its live capture document as a user
// would: the mouse and the stick checked on the device tree's Devices tab, a capture started, the mouse moved
// and a file copied to the stick for a few seconds, the capture stopped and saved, the device reports of the
// checked devices and a page of the decoded records written, the main window's picture saved, and the saved file
// opened again. It prints what the session did (each device's requests, the records, the records lost, the
// message boxes the user would have read) and where each file it wrote is, and exits 0 when the session went as
// it should.
//
// The kernel's headers first: the framework's ASSERT yields to the kernel's.
#include "platform/sim/Machine.h"

#include "platform/sim/Desk.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "WinFileDialogControl.h"
#include "WinUiControl.h"
#include "app/core/app/Resource.h"
#include "app/core/app/TindaloftApp.h"
#include "app/core/document/USBLog.h"
#include "app/core/records/LogRecordDecode.h"
#include "app/core/records/LogRecords.h"
#include "common/RecordTags.h"
#include "tools/capture-session/CaptureSession.h"
#include "tools/run-capture/RecordsPage.h"

// The capture driver's entry (driver/core/Driver.h).
DRIVER_INITIALIZE DriverEntry;

namespace {

namespace fs = std::filesystem;

// The decoded-records page stops here, so that it stays small enough for a browser to open.
constexpr INT_PTR kPageRecords = 2000;
constexpr int kMaxSeconds = 600;

const char kUsage[] = "usage: run_capture [--out <folder>] [--seconds <1..600>]\n";
const char kHelp[] =
    "Runs one capture session of the analyzer on the built-in simulated machine: the mouse and the USB stick\n"
    "are checked, captured while the mouse moves and files are copied to the stick, and the capture is saved.\n"
    "\n"
    "  --out <folder>   where the files go (default: run-capture); a relative folder is taken from the\n"
    "                   current folder. It receives session.tdloft (the capture file), device-report.htm and\n"
    "                   device-report.xml (the checked devices), records.htm (the decoded records, the first\n"
    "                   2,000), main-window.png (the main window's picture after the stop) and state/ (the\n"
    "                   machine's registry and the program's settings).\n"
    "  --seconds <n>    how long the devices work while the capture runs, 1 to 600 (default: 3).\n"
    "  --help           this text.\n"
    "\n"
    "Exits 0 when the session went as it should, 1 when it did not, 2 on a wrong argument.\n";

struct Arguments {
    fs::path out = "run-capture";
    int seconds = 3;
    bool help = false;
    // The desk's activities beside the session's own mouse and stick (which are those two activities here).
    sim::DeskActivities desk;
};

// A whole decimal number from 1 to kMaxSeconds ("2x", "", "+" or "99999999999" are none).
bool ParseSeconds(const char* text, int& seconds) {
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || errno != 0 || value < 1 || value > kMaxSeconds)
        return false;
    seconds = static_cast<int>(value);
    return true;
}

bool ParseArguments(int argc, char** argv, Arguments& args) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            args.help = true;
        } else if (arg == "--out" && i + 1 < argc && argv[i + 1][0] != '\0') {
            args.out = argv[++i];
        } else if (arg == "--desk") {
            const sim::DeskChoice choice =
                i + 1 < argc ? sim::ParseDeskList(argv[++i]) : sim::DeskChoice{{}, sim::MissingDeskList()};
            if (!choice.error.empty()) {
                std::fprintf(stderr, "run_capture: %s\n", choice.error.c_str());
                return false;
            }
            args.desk = choice.activities;
        } else if (arg == "--seconds" && i + 1 < argc) {
            if (!ParseSeconds(argv[++i], args.seconds)) {
                std::fprintf(stderr, "run_capture: --seconds takes a whole number from 1 to %d, not \"%s\"\n",
                             kMaxSeconds, argv[i]);
                return false;
            }
        } else {
            std::fprintf(stderr, "run_capture: unknown or incomplete argument \"%s\"\n", arg.c_str());
            return false;
        }
    }
    // Relative to the folder the caller stands in, whatever the session does with its own.
    args.out = fs::absolute(args.out);
    return true;
}

int Fail(const std::string& what) {
    std::fprintf(stderr, "run_capture: %s\n", what.c_str());
    return 1;
}

// The message boxes the session showed, on standard output, as the user would have read them, each once.
void PrintMessageBoxes() {
    for (const win32::ModalRequest& request : win32::ModalRequests()) {
        if (request.kind != win32::ModalKind::MessageBox)
            continue;
        std::string text = request.text;
        while (!text.empty() && text.back() == '\n')
            text.pop_back();
        for (size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at))
            text.replace(at, 1, " ");
        std::printf("message: %s\n", text.c_str());
    }
    win32::ClearModalRequests();
}

// A file the session writes through a save dialog: an earlier run's file gives way first, without the
// question whether to replace it, and the dialog is answered with the path.
fs::path ChooseFile(const Arguments& args, const char* name) {
    const fs::path path = args.out / name;
    std::error_code ignored;
    fs::remove(path, ignored);
    win32::QueueFileDialogChoice(path.string());
    return path;
}

bool Written(const fs::path& path, const char* what) {
    PrintMessageBoxes();
    if (!fs::exists(path)) {
        Fail(std::string("the ") + what + " was not written");
        return false;
    }
    std::printf("%s: %s\n", what, path.string().c_str());
    return true;
}

// Both device reports of the checked devices, through the commands of the menu's "&Device report as HTML..."
// and "as XML..." (enabled while the Devices tab, where the devices are checked, is the device tree's page).
// Each report walks the checked items of the Devices tab.
bool WriteDeviceReports(const Arguments& args) {
    // Each export ends with a message of its own, which the user reads and closes.
    win32::QueueModalAnswer(win32::ModalKind::MessageBox, IDOK, "HTML Device Report exported successfully.");
    const fs::path html = ChooseFile(args, "device-report.htm");
    tdl::session::SendCommand(ID_EXPORT_DEVICEREPORT_HTML);
    if (!Written(html, "device report (HTML)"))
        return false;
    win32::QueueModalAnswer(win32::ModalKind::MessageBox, IDOK, "XML Device Report exported successfully.");
    const fs::path xml = ChooseFile(args, "device-report.xml");
    tdl::session::SendCommand(ID_EXPORT_DEVICEREPORT_XML);
    return Written(xml, "device report (XML)");
}

// The gap marks among the records the document still holds, and the records the driver wrote that the document
// never received at those marks. Continuous logging drops the oldest records as the banks take turns, and with
// them the marks of gaps that fell among them: how many records those gaps lost is no longer known.
struct KeptGaps {
    UINT marks = 0;
    ULONG lost = 0;
};

KeptGaps GapsInKeptRecords(CUSBLog& log) {
    LogRecords::CLogRecords* pRecords = log.GetLogRecords();
    KeptGaps kept;
    for (INT_PTR i = 1; pRecords != nullptr && i < pRecords->GetCount(); ++i) {
        const _LOGHDR* pRecord = pRecords->GetAt(i);
        if (CLogRecordDecode(pRecord, &log).GetSyncWord() != LogTag::GapSync)
            continue;
        ++kept.marks;
        const ULONG previous = pRecords->GetAt(i - 1)->SequenceNumber;
        if (pRecord->SequenceNumber > previous)
            kept.lost += pRecord->SequenceNumber - previous - 1;
    }
    return kept;
}

void PrintGaps(CUSBLog& log) {
    const UINT gaps = log.GetSequenceGapCount();
    const KeptGaps kept = GapsInKeptRecords(log);
    if (gaps == 0)
        std::printf("gaps: 0 (no record lost)\n");
    else if (kept.marks >= gaps)
        std::printf("gaps: %u (%lu records lost)\n", gaps, static_cast<unsigned long>(kept.lost));
    else if (kept.marks == 0)
        std::printf("gaps: %u (all among records the banks have since dropped, so the number lost is not known)\n",
                    gaps);
    else
        std::printf("gaps: %u (%lu records lost at the %u the banks still hold; the other %u among records since "
                    "dropped)\n",
                    gaps, static_cast<unsigned long>(kept.lost), kept.marks, gaps - kept.marks);
}

// The application object's run, from its start to its end, on the machine.
int RunSession(sim::Machine& machine, const Arguments& args) {
    tdl::session::HeadlessApp app = tdl::session::StartHeadlessApp();
    if (app == nullptr)
        return Fail("the application did not start");

    // The options a user sets for a long session: banks of 10 MB (the stick's records carry their data, some
    // 5 KB each), which take turns rather than ending the capture when one is full, and the capture thread
    // indexes what it reads. A new live document takes them.
    app->m_Settings.MaxLogBuffer = 10485760;
    app->m_Settings.ContinuousLogging = true;
    app->m_Settings.BackgroundLogging = true;
    CUSBLog* pLog = tdl::session::RenewLiveDocument(*app);
    if (pLog == nullptr)
        return Fail("no live capture document");

    for (const char* name : {"mouse", "stick"}) {
        std::shared_ptr<sim::UsbDevice> device = machine.Device(name);
        if (device == nullptr || !tdl::session::CheckOnDevicesTab(device->PhysicalDeviceObject()))
            return Fail(std::string("the ") + name + " cannot be checked on the device tree's Devices tab");
    }

    tdl::session::SendCommand(ID_USB_STARTEVENTCAPTURE);
    if (!pLog->IsLogging()) {
        PrintMessageBoxes();
        return Fail("the capture did not start");
    }
    std::printf("capturing the mouse and the stick for %d s\n", args.seconds);
    std::fflush(stdout);
    std::vector<tdl::session::WorkloadPlan> plans(2);
    plans[0].kind = sim::WorkloadKind::MouseMoving;
    plans[1].kind = sim::WorkloadKind::CopyToStick;
    for (tdl::session::WorkloadPlan& plan : plans) {
        plan.options.count = UINT64_MAX;
        plan.options.duration = std::chrono::seconds(args.seconds);
    }
    const std::vector<sim::WorkloadResult> results = tdl::session::PlayWhilePumping(machine, plans);
    for (size_t i = 0; i < results.size(); ++i) {
        if (!results[i].Succeeded())
            return Fail(std::string(sim::WorkloadName(plans[i].kind)) + ": " + results[i].failure);
        std::printf("%s: %llu steps, %llu requests to the %s\n", std::string(sim::WorkloadName(plans[i].kind)).c_str(),
                    static_cast<unsigned long long>(results[i].steps),
                    static_cast<unsigned long long>(results[i].requests), i == 0 ? "mouse" : "stick");
    }
    tdl::session::SendCommand(ID_USB_STOPEVENTCAPTURE);
    PrintMessageBoxes();
    if (pLog->IsLogging())
        return Fail("the capture did not stop");

    LogRecords::CLogRecords* pRecords = pLog->GetLogRecords();
    const INT_PTR nRecords = pRecords->GetCount();
    std::printf("records: %lld\n", static_cast<long long>(nRecords));
    // Continuous logging keeps only the newest records that fit the two capture banks (the stick's transfers
    // carry their data), so the sequence numbers tell how many the driver wrote in all.
    if (nRecords > 0)
        std::printf("sequence numbers: %lu to %lu (the banks keep the newest records)\n",
                    static_cast<unsigned long>(pRecords->GetAt(0)->SequenceNumber),
                    static_cast<unsigned long>(pRecords->GetAt(nRecords - 1)->SequenceNumber));
    PrintGaps(*pLog);
    const fs::path capture = ChooseFile(args, "session.tdloft");
    tdl::session::SendCommand(ID_FILE_SAVE_AS);
    if (pLog->IsModified() || !Written(capture, "capture file"))
        return Fail("the capture was not saved");

    // What the user would see now: the main window with the capture's rows, as a picture.
    CWnd* pMainWnd = AfxGetMainWnd();
    const fs::path picture = args.out / "main-window.png";
    RECT frame{};
    if (pMainWnd == nullptr || !::GetWindowRect(pMainWnd->GetSafeHwnd(), &frame) ||
        !win32::SavePicturePng(pMainWnd->GetSafeHwnd(), picture.string().c_str()))
        return Fail("the main window's picture was not saved");
    std::printf("main window picture (%ld x %ld): %s\n", static_cast<long>(frame.right - frame.left),
                static_cast<long>(frame.bottom - frame.top), picture.string().c_str());

    if (!WriteDeviceReports(args))
        return 1;
    const fs::path page = args.out / "records.htm";
    const INT_PTR nPage = tdl::session::WriteRecordsPage(*pLog, page.string().c_str(), kPageRecords);
    if (nPage < 0)
        return Fail("the decoded records were not written");
    std::printf("decoded records (%lld of %lld): %s\n", static_cast<long long>(nPage), static_cast<long long>(nRecords),
                page.string().c_str());

    // The file opens again, as a saved log; the live capture is renewed first, since
    // opening the path of a document that is open only shows that document again.
    tdl::session::RenewLiveDocument(*app);
    CDocument* pOpened = app->OpenDocumentFile(capture.string().c_str());
    auto* pSaved = dynamic_cast<CUSBLog*>(pOpened);
    const INT_PTR nSaved = pSaved != nullptr ? pSaved->GetLogRecords()->GetCount() : 0;
    if (nSaved == 0 || nSaved > nRecords)
        return Fail("the saved capture does not open with its records");
    if (nSaved < nRecords)
        std::printf("reopened: %lld records; the file holds %lld of the %lld records, since a capture file keeps "
                    "one capture bank (%lu MB) and continuous logging kept the newest records of both\n",
                    static_cast<long long>(nSaved), static_cast<long long>(nSaved), static_cast<long long>(nRecords),
                    static_cast<unsigned long>(app->m_Settings.MaxLogBuffer / (1024 * 1024)));
    else
        std::printf("reopened: %lld records\n", static_cast<long long>(nSaved));
    PrintMessageBoxes();
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    Arguments args;
    if (!ParseArguments(argc, argv, args)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    if (args.help) {
        std::fputs(kUsage, stdout);
        std::fputs(kHelp, stdout);
        return 0;
    }
    std::error_code error;
    fs::create_directories(args.out / "state", error);
    if (error)
        return Fail("cannot make " + args.out.string() + ": " + error.message());

    // The machine and the program keep what outlives a run (registry, settings) in the run's own folder.
    const fs::path state = args.out / "state";
    tdl::session::PrepareProgram(state);

    sim::MachineOptions options;
    options.captureDriverEntry = DriverEntry;
    options.stateDir = state;
    std::unique_ptr<sim::Machine> machine = sim::Machine::BootDefault(options);
    int nExitCode = 0;
    if (machine == nullptr || !NT_SUCCESS(machine->Status())) {
        nExitCode = Fail("the simulated machine did not boot");
    } else {
        // The session's own workloads move the mouse and copy to the stick.
        sim::Desk desk(*machine, args.desk.Without(sim::DeskActivity::Mouse).Without(sim::DeskActivity::Stick));
        nExitCode = RunSession(*machine, args);
    }
    if (machine != nullptr)
        machine->Shutdown();
    tdl::session::EndProgram();
    return nExitCode;
}
