// The run command's harness (not part of the product): boots the default simulated machine with the capture
// driver, starts the application object without a display, and drives its live capture document as a user
// would: the mouse and the stick checked on the device tree's Devices tab, a capture started, the mouse moved
// and a file copied to the stick for a few seconds, the capture stopped and saved, the device reports of the
// checked devices and a page of the decoded records written, the main window's picture saved, and the saved file
// opened again. It prints what the session did (each device's requests, the records, the records lost, the
// message boxes the user would have read) and where each file it wrote is, and exits 0 when the session went as
// it should. The files are written into a folder of their own and moved in place only then (RunFolder.h); a stop
// the user asks for with Ctrl+C ends the session cleanly and leaves the previous run's files as they were.
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
#include "tools/run-capture/GapLine.h"
#include "tools/run-capture/RecordsPage.h"
#include "tools/run-capture/RunFolder.h"
#include "tools/run-capture/StopSignals.h"

// The capture driver's entry (driver/core/Driver.h).
DRIVER_INITIALIZE DriverEntry;

namespace {

namespace fs = std::filesystem;
using tdl::session::RunFolder;

// The decoded-records page stops here, so that it stays small enough for a browser to open.
constexpr INT_PTR kPageRecords = 2000;
constexpr int kMaxSeconds = 600;

struct Arguments {
    fs::path out = "run-capture";
    int seconds = 3;
    bool help = false;
    // The desk's activities beside the session's own mouse and stick (which are those two activities here).
    sim::DeskActivities desk;
};

// An option of the command line: its name, the value it takes, its text in --help (lines after the first are
// indented to the first), and how its value goes into the arguments (false, with `error` saying why, when the
// value is refused).
struct Option {
    const char* name;
    const char* value;
    const char* help;
    bool (*take)(const char* value, Arguments& args, std::string& error);
};

bool TakeOut(const char* value, Arguments& args, std::string& error) {
    if (*value == '\0') {
        error = "--out takes a folder, not \"\"";
        return false;
    }
    args.out = value;
    return true;
}

// A whole decimal number from 1 to kMaxSeconds ("2x", "", "+" or "99999999999" are none).
bool TakeSeconds(const char* value, Arguments& args, std::string& error) {
    char* end = nullptr;
    errno = 0;
    const long seconds = std::strtol(value, &end, 10);
    if (end == value || *end != '\0' || errno != 0 || seconds < 1 || seconds > kMaxSeconds) {
        error = "--seconds takes a whole number from 1 to " + std::to_string(kMaxSeconds) + ", not \"" + value + "\"";
        return false;
    }
    args.seconds = static_cast<int>(seconds);
    return true;
}

bool TakeDesk(const char* value, Arguments& args, std::string& error) {
    const sim::DeskChoice choice = sim::ParseDeskList(value);
    error = choice.error;
    args.desk = choice.activities;
    return error.empty();
}

const Option kOptions[] = {
    {"--out", "<folder>",
     "where the files go (default: run-capture; the run command gives build/run/session); a\n"
     "relative folder is taken from the current folder. It receives session.tdloft (the capture\n"
     "file), device-report.htm and device-report.xml (the checked devices), records.htm (the\n"
     "decoded records, the first 2,000) and main-window.png (the main window's picture after\n"
     "the stop); its state/ keeps the machine's registry and the program's settings.",
     TakeOut},
    {"--seconds", "<n>", "how long the devices work while the capture runs, 1 to 600 (default: 3).", TakeSeconds},
    {"--desk", "<activities>",
     "what the simulated desk does beside the session's own mouse and stick: a comma-separated\n"
     "list of idle, mouse, keyboard, stick, printer, plug (default: idle, the hubs', disks' and\n"
     "printer's polling, which every desk makes; mouse and stick add nothing here).",
     TakeDesk},
};

const char kAbout[] =
    "Runs one capture session of the analyzer on the built-in simulated machine: the mouse and the USB stick\n"
    "are checked, captured while the mouse moves and files are copied to the stick, and the capture is saved.\n"
    "The run command, bash scripts/run.sh, runs it.\n";
const char kEnd[] =
    "A run writes its files into <folder>/unfinished/ and moves them in place only when it ends well, and one\n"
    "run at a time uses a folder. Ctrl+C (SIGINT) or SIGTERM stops the capture and the machine and leaves the\n"
    "files of the previous run unchanged.\n"
    "\n"
    "Exits 0 when the session went as it should, 1 when it did not, 2 on a wrong argument, 130 (SIGINT) or\n"
    "143 (SIGTERM) when interrupted.\n";

void PrintUsage(std::FILE* to) {
    std::fputs("usage: run_capture", to);
    for (const Option& option : kOptions)
        std::fprintf(to, " [%s %s]", option.name, option.value);
    std::fputs(" [--help]\n", to);
}

void PrintHelp() {
    constexpr int kColumn = 20;
    PrintUsage(stdout);
    std::printf("%s\n", kAbout);
    for (const Option& option : kOptions) {
        const std::string name = std::string(option.name) + " " + option.value;
        std::string help = option.help;
        for (size_t at = help.find('\n'); at != std::string::npos; at = help.find('\n', at + 1))
            help.insert(at + 1, kColumn, ' ');
        std::printf("  %-*s%s\n", kColumn - 2, name.c_str(), help.c_str());
    }
    std::printf("  %-*s%s\n\n%s", kColumn - 2, "--help", "this text.", kEnd);
}

bool ParseArguments(int argc, char** argv, Arguments& args) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            args.help = true;
            continue;
        }
        const Option* option = nullptr;
        for (const Option& candidate : kOptions)
            option = arg == candidate.name ? &candidate : option;
        std::string error;
        // A missing value is an empty one, which each option refuses in its own words.
        if (option == nullptr)
            error = "unknown argument \"" + arg + "\"";
        else if (option->take(i + 1 < argc ? argv[++i] : "", args, error))
            continue;
        std::fprintf(stderr, "run_capture: %s\n", error.c_str());
        return false;
    }
    // Relative to the folder the caller stands in, whatever the session does with its own.
    args.out = fs::absolute(args.out);
    return true;
}

int Fail(const std::string& what) {
    std::fprintf(stderr, "run_capture: %s\n", what.c_str());
    return 1;
}

// Whether the user asked the run to stop (the run then ends without a word of its own: the entry point says it).
bool Stopped() {
    return tdl::session::StopRequested().load();
}

// A file the run wrote: its name in the folder and what it is, for the line that tells the user where it is.
struct WrittenFile {
    std::string name;
    std::string what;
};

// One run: its arguments, its folder and the files it has written so far.
struct Run {
    const Arguments& args;
    RunFolder& folder;
    std::vector<WrittenFile> written;
};

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

// A file the session writes through a save dialog, which is answered with its path in the unfinished folder.
fs::path ChooseFile(const Run& run, const char* name) {
    const fs::path path = run.folder.Unfinished(name);
    win32::QueueFileDialogChoice(path.string());
    return path;
}

bool Written(Run& run, const char* name, const std::string& what) {
    PrintMessageBoxes();
    if (!fs::exists(run.folder.Unfinished(name))) {
        Fail("the " + what + " was not written");
        return false;
    }
    run.written.push_back({name, what});
    return true;
}

// Both device reports of the checked devices, through the commands of the menu's "&Device report as HTML..."
// and "as XML..." (enabled while the Devices tab, where the devices are checked, is the device tree's page).
// Each report walks the checked items of the Devices tab.
bool WriteDeviceReports(Run& run) {
    // Each export ends with a message of its own, which the user reads and closes.
    win32::QueueModalAnswer(win32::ModalKind::MessageBox, IDOK, "HTML Device Report exported successfully.");
    ChooseFile(run, "device-report.htm");
    tdl::session::SendCommand(ID_EXPORT_DEVICEREPORT_HTML);
    if (!Written(run, "device-report.htm", "device report (HTML)"))
        return false;
    win32::QueueModalAnswer(win32::ModalKind::MessageBox, IDOK, "XML Device Report exported successfully.");
    ChooseFile(run, "device-report.xml");
    tdl::session::SendCommand(ID_EXPORT_DEVICEREPORT_XML);
    return Written(run, "device-report.xml", "device report (XML)");
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
    const KeptGaps kept = GapsInKeptRecords(log);
    std::printf("%s\n", tdl::session::GapLine(log.GetSequenceGapCount(), kept.marks, kept.lost).c_str());
}

// The application object's run, from its start to its end, on the machine. A stop the user asks for ends the
// devices' work; the capture is then stopped and the run ends there.
int RunSession(sim::Machine& machine, Run& run) {
    tdl::session::HeadlessApp app = tdl::session::StartHeadlessApp();
    if (app == nullptr) {
        // The program has told why in its own words.
        PrintMessageBoxes();
        return Fail("the application did not start");
    }

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
    if (Stopped())
        return 1;

    tdl::session::SendCommand(ID_USB_STARTEVENTCAPTURE);
    if (!pLog->IsLogging()) {
        PrintMessageBoxes();
        return Fail("the capture did not start");
    }
    std::printf("capturing the mouse and the stick for %d s\n", run.args.seconds);
    std::fflush(stdout);
    std::vector<tdl::session::WorkloadPlan> plans(2);
    plans[0].kind = sim::WorkloadKind::MouseMoving;
    plans[1].kind = sim::WorkloadKind::CopyToStick;
    for (tdl::session::WorkloadPlan& plan : plans) {
        plan.options.count = UINT64_MAX;
        plan.options.duration = std::chrono::seconds(run.args.seconds);
        plan.options.stop = &tdl::session::StopRequested();
    }
    const std::vector<sim::WorkloadResult> results = tdl::session::PlayWhilePumping(machine, plans);
    tdl::session::SendCommand(ID_USB_STOPEVENTCAPTURE);
    PrintMessageBoxes();
    if (Stopped())
        return 1;
    for (size_t i = 0; i < results.size(); ++i) {
        if (!results[i].Succeeded())
            return Fail(std::string(sim::WorkloadName(plans[i].kind)) + ": " + results[i].failure);
        std::printf("%s: %llu steps, %llu requests to the %s\n", std::string(sim::WorkloadName(plans[i].kind)).c_str(),
                    static_cast<unsigned long long>(results[i].steps),
                    static_cast<unsigned long long>(results[i].requests), i == 0 ? "mouse" : "stick");
    }
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
    if (Stopped())
        return 1;
    const fs::path capture = ChooseFile(run, "session.tdloft");
    tdl::session::SendCommand(ID_FILE_SAVE_AS);
    if (pLog->IsModified() || !Written(run, "session.tdloft", "capture file"))
        return Fail("the capture was not saved");

    // What the user would see now: the main window with the capture's rows, as a picture.
    CWnd* pMainWnd = AfxGetMainWnd();
    const fs::path picture = run.folder.Unfinished("main-window.png");
    RECT frame{};
    if (pMainWnd == nullptr || !::GetWindowRect(pMainWnd->GetSafeHwnd(), &frame) ||
        !win32::SavePicturePng(pMainWnd->GetSafeHwnd(), picture.string().c_str()))
        return Fail("the main window's picture was not saved");
    run.written.push_back({"main-window.png", "main window picture (" + std::to_string(frame.right - frame.left) +
                                                  " x " + std::to_string(frame.bottom - frame.top) + ")"});

    if (Stopped() || !WriteDeviceReports(run) || Stopped())
        return 1;
    const fs::path page = run.folder.Unfinished("records.htm");
    const INT_PTR nPage = tdl::session::WriteRecordsPage(*pLog, page.string().c_str(), kPageRecords);
    if (nPage < 0)
        return Fail("the decoded records were not written");
    run.written.push_back(
        {"records.htm", "decoded records (" + std::to_string(nPage) + " of " + std::to_string(nRecords) + ")"});
    if (Stopped())
        return 1;

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

// The machine booted with the capture driver, the session on it, and everything taken down again.
int RunOnMachine(Run& run) {
    // The machine and the program keep what outlives a run (registry, settings) in the run's own folder.
    tdl::session::PrepareProgram(run.folder.State());
    sim::MachineOptions options;
    options.captureDriverEntry = DriverEntry;
    options.stateDir = run.folder.State();
    std::unique_ptr<sim::Machine> machine = sim::Machine::BootDefault(options);
    int nExitCode = 1;
    if (machine == nullptr || !NT_SUCCESS(machine->Status())) {
        nExitCode = Fail("the simulated machine did not boot");
    } else if (!Stopped()) {
        // The session's own workloads move the mouse and copy to the stick.
        sim::Desk desk(*machine, run.args.desk.Without(sim::DeskActivity::Mouse).Without(sim::DeskActivity::Stick));
        nExitCode = RunSession(*machine, run);
    }
    if (machine != nullptr)
        machine->Shutdown();
    tdl::session::EndProgram();
    return nExitCode;
}

} // namespace

int main(int argc, char** argv) {
    Arguments args;
    if (!ParseArguments(argc, argv, args)) {
        PrintUsage(stderr);
        return 2;
    }
    if (args.help) {
        PrintHelp();
        return 0;
    }
    tdl::session::WatchStopSignals();
    RunFolder folder(args.out);
    std::string error;
    if (!folder.Claim(error))
        return Fail(error);

    Run run{args, folder, {}};
    const int nExitCode = RunOnMachine(run);
    if (const int stopSignal = tdl::session::StopSignal(); stopSignal != 0) {
        folder.Discard();
        std::fflush(stdout);
        std::fputs(folder.HoldsEarlierFiles() ? "interrupted: the files of the previous run are unchanged\n"
                                              : "interrupted: no file was written\n",
                   stderr);
        return 128 + stopSignal;
    }
    if (nExitCode != 0) {
        folder.Discard();
        return nExitCode;
    }
    if (!folder.Publish(error))
        return Fail(error);
    for (const WrittenFile& file : run.written)
        std::printf("%s: %s\n", file.what.c_str(), folder.Final(file.name).string().c_str());
    return 0;
}
