// The run command's harness (not part of the product): boots the default simulated machine with the capture
// driver, starts the application object without a display, and drives its live capture document as a user
// would: the mouse and the stick checked, a capture started, the mouse moved and a file copied to the stick for
// a few seconds, the capture stopped and saved, the device reports of the checked devices and a page of the
// decoded records written, and the saved file opened again. It prints the record count, the gap count and
// where each file it wrote is, and exits 0 when the session went as it should.
//
//     run_capture [--out <folder>] [--seconds <n>]
//
// The kernel's headers first: the framework's ASSERT yields to the kernel's.
#include "platform/sim/Machine.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "WinFileDialogControl.h"
#include "WinUiControl.h"
#include "app/core/LogRecords.h"
#include "app/core/Resource.h"
#include "app/core/TindaloftApp.h"
#include "app/core/USBLog.h"
#include "app/devices/DeviceStack.h"
#include "app/devices/HubPort.h"
#include "app/devices/TempObject.h"
#include "tests/support/CheckedConnectionTree.h"
#include "tools/capture-session/CaptureSession.h"
#include "tools/run-capture/RecordsPage.h"

// The capture driver's entry (driver/Driver.h).
DRIVER_INITIALIZE DriverEntry;

namespace {

namespace fs = std::filesystem;

// The decoded-records page stops here, so that it stays small enough for a browser to open.
constexpr INT_PTR kPageRecords = 2000;

struct Arguments {
    fs::path out = "run-capture";
    int seconds = 3;
};

bool ParseArguments(int argc, char** argv, Arguments& args) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--out" && i + 1 < argc) {
            args.out = argv[++i];
        } else if (arg == "--seconds" && i + 1 < argc) {
            args.seconds = std::atoi(argv[++i]);
            if (args.seconds < 1 || args.seconds > 600)
                return false;
        } else {
            return false;
        }
    }
    return true;
}

int Fail(const std::string& what) {
    std::fprintf(stderr, "run_capture: %s\n", what.c_str());
    return 1;
}

// The message boxes the session showed, on standard output, as the user would have read them.
void PrintMessageBoxes() {
    for (const win32::ModalRequest& request : win32::ModalRequests()) {
        if (request.kind != win32::ModalKind::MessageBox)
            continue;
        std::string text = request.text;
        while (!text.empty() && text.back() == '\n')
            text.pop_back();
        std::printf("message: %s\n", text.c_str());
    }
    win32::ClearModalRequests();
}

// A file the session writes through a save dialog: an earlier run's file gives way first, without the
// question whether to replace it, and the dialog is answered with the path.
fs::path ChooseFile(const Arguments& args, const char* name) {
    const fs::path path = fs::absolute(args.out / name);
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

// Both device reports of the checked devices, through the export sequences their commands run (the commands
// themselves are enabled only with the device tree's report page open). The reports walk the device tree's
// checked items; until the tree's pane exists, the hub ports whose device stacks are checked stand for them,
// in the tree's order.
bool WriteDeviceReports(CUSBLog& log, const Arguments& args) {
    tdl::test::CheckedConnectionTree checked(log.GetConnectionTree());
    for (auto* pNode = &log.GetConnectionTree(); pNode != nullptr; pNode = checked.Next(pNode)) {
        CObject* pObject = pNode->get().m_pElemObject;
        if (pObject == nullptr || !pObject->IsKindOf(RUNTIME_CLASS(CHubPort)))
            continue;
        const CDeviceStack* pStack = static_cast<CHubPort*>(pObject)->GetDeviceStack();
        if (pStack != nullptr && pStack->GetCheckState() == CHECKSTATE_CHECKED)
            checked.Check(pObject);
    }
    // Each export ends with a message of its own; a failure's message stays unexpected, and says so.
    win32::QueueModalAnswer(win32::ModalKind::MessageBox, IDOK, "HTML Device Report exported successfully.");
    const fs::path html = ChooseFile(args, "device-report.htm");
    log.ExportHtmlReport();
    if (!Written(html, "device report (HTML)"))
        return false;
    win32::QueueModalAnswer(win32::ModalKind::MessageBox, IDOK, "XML Device Report exported successfully.");
    const fs::path xml = ChooseFile(args, "device-report.xml");
    log.ExportXmlReport();
    return Written(xml, "device report (XML)");
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
        if (device == nullptr || !tdl::session::CheckDeviceStack(*pLog, device->PhysicalDeviceObject()))
            return Fail(std::string("the ") + name + " is not in the document's devices");
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
        std::printf("%s: %llu steps, %llu requests\n", std::string(sim::WorkloadName(plans[i].kind)).c_str(),
                    static_cast<unsigned long long>(results[i].steps),
                    static_cast<unsigned long long>(results[i].requests));
    }
    tdl::session::SendCommand(ID_USB_STOPEVENTCAPTURE);
    PrintMessageBoxes();
    if (pLog->IsLogging())
        return Fail("the capture did not stop");

    const INT_PTR nRecords = pLog->GetLogRecords()->GetCount();
    std::printf("records: %lld\n", static_cast<long long>(nRecords));
    // Continuous logging keeps only the newest records that fit the two capture banks (the stick's transfers
    // carry their data), so the sequence numbers tell how many the driver wrote in all.
    if (nRecords > 0)
        std::printf("sequence numbers: %lu to %lu (the banks keep the newest records)\n",
                    static_cast<unsigned long>(pLog->GetLogRecords()->GetAt(0)->SequenceNumber),
                    static_cast<unsigned long>(pLog->GetLogRecords()->GetAt(nRecords - 1)->SequenceNumber));
    std::printf("gaps: %u\n", pLog->GetSequenceGapCount());
    const fs::path capture = ChooseFile(args, "session.tdloft");
    tdl::session::SendCommand(ID_FILE_SAVE_AS);
    if (pLog->IsModified() || !Written(capture, "capture file"))
        return Fail("the capture was not saved");

    if (!WriteDeviceReports(*pLog, args))
        return 1;
    const fs::path page = fs::absolute(args.out / "records.htm");
    const INT_PTR nPage = tdl::session::WriteRecordsPage(*pLog, page.string().c_str(), kPageRecords);
    if (nPage < 0)
        return Fail("the decoded records were not written");
    std::printf("decoded records (first %lld): %s\n", static_cast<long long>(nPage), page.string().c_str());

    // The file opens again, as a saved log; the live capture is renewed first, since
    // opening the path of a document that is open only shows that document again.
    tdl::session::RenewLiveDocument(*app);
    CDocument* pOpened = app->OpenDocumentFile(capture.string().c_str());
    auto* pSaved = dynamic_cast<CUSBLog*>(pOpened);
    // With both banks in use the file keeps the newest records that fit one bank.
    const INT_PTR nSaved = pSaved != nullptr ? pSaved->GetLogRecords()->GetCount() : 0;
    if (nSaved == 0 || nSaved > nRecords)
        return Fail("the saved capture does not open with its records");
    std::printf("reopened: %lld records\n", static_cast<long long>(nSaved));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    Arguments args;
    if (!ParseArguments(argc, argv, args)) {
        std::fprintf(stderr, "usage: run_capture [--out <folder>] [--seconds <1..600>]\n");
        return 2;
    }
    std::error_code error;
    fs::create_directories(args.out / "state", error);
    if (error)
        return Fail("cannot make " + args.out.string() + ": " + error.message());

    // The machine and the program keep what outlives a run (registry, settings) in the run's own folder.
    const fs::path state = fs::absolute(args.out / "state");
    tdl::session::PrepareProgram(state);

    sim::MachineOptions options;
    options.captureDriverEntry = DriverEntry;
    options.stateDir = state;
    std::unique_ptr<sim::Machine> machine = sim::Machine::BootDefault(options);
    int nExitCode = 0;
    if (machine == nullptr || !NT_SUCCESS(machine->Status()))
        nExitCode = Fail("the simulated machine did not boot");
    else
        nExitCode = RunSession(*machine, args);
    if (machine != nullptr)
        machine->Shutdown();
    tdl::session::EndProgram();
    return nExitCode;
}
