// Whole capture sessions on the default simulated machine with the capture driver, under real concurrency:
// the machine's devices and class drivers on their threads, the hooked drivers, the driver's log, the capture
// thread, the banks, the document's index, the columns and the capture file. Devices are chosen by the check
// state of their stacks, sessions are driven through the document's commands, and what a user sees is what is
// checked: rows, column texts, colours, messages and files. The kernel's headers come first: the framework's
// ASSERT yields to the kernel's.
#include "tests/support/MachineFixture.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "NtClock.h"
#include "WinFileDialogControl.h"
#include "WinUiControl.h"
#include "app/core/app/Resource.h"
#include "app/core/app/TindaloftApp.h"
#include "app/core/capture/CapturePair.h"
#include "app/core/capture/DriverThread.h"
#include "app/core/document/USBLog.h"
#include "app/core/filters/FilterDefinition.h"
#include "app/core/records/LogRecords.h"
#include "app/core/settings/AppSettings.h"
#include "app/devices/AttachedDevices.h"
#include "app/devices/DeviceObject.h"
#include "app/devices/HubPort.h"
#include "app/devices/TempObject.h"
#include "app/ui/devicetree/TabTree.h"
#include "app/ui/frame/MainFrame.h"
#include "app/ui/loglist/LogListView.h"
#include "common/FilterBlock.h"
#include "common/RecordTags.h"
#include "platform/sim/StandardDevices.h"
#include "platform/sim/UsbDevice.h"
#include "platform/sim/UsbHubModel.h"
#include "tests/app/core/TopologyChecks.h"
#include "tests/support/AppStarter.h"
#include "tests/support/ListRows.h"
#include "tools/capture-session/CaptureSession.h"
#include "usb.h"

// The capture driver's entry point (driver/core/Driver.h).
DRIVER_INITIALIZE DriverEntry;

namespace {

namespace fs = std::filesystem;
using tdl::session::SendCommand;

constexpr char kBufferFull[] = "USB event capture buffer is full. Session ending.";

// One row of the record list: the record's header and what its columns show.
struct Row {
    const _LOGHDR* pRecord = nullptr;
    _LOGHDR header{};
    CString category;
    CString state;
    ULONG sequence = 0;
    CString request;
    CString direction;
    CString cbw;
    CString csw;
    CString target;
    COLORREF text = 0;
    COLORREF background = 0;
    std::vector<BYTE> bytes;
};

std::vector<Row> RowsOf(CUSBLog& doc) {
    std::vector<Row> rows;
    LogRecords::CLogRecords* records = doc.GetLogRecords();
    for (INT_PTR i = 0; i < records->GetDisplayCount(&doc); ++i) {
        Row row;
        const _LOGHDR* pRecord = records->GetRecordAt(&doc, i);
        row.pRecord = pRecord;
        std::memcpy(&row.header, pRecord, sizeof row.header);
        const auto* p = reinterpret_cast<const BYTE*>(pRecord);
        row.bytes.assign(p, p + LogRecords::CLogRecords::RecordSize(pRecord));
        records->FormatCategory(&doc, i, row.category, row.state);
        BOOL bBoundary = FALSE;
        row.sequence = records->FormatSequence(&doc, i, bBoundary);
        records->FormatRequest(&doc, i, row.request);
        records->FormatDirection(&doc, i, row.direction);
        records->FormatCbw(&doc, i, row.cbw);
        records->FormatCsw(&doc, i, row.csw);
        records->FormatTargetDevice(&doc, i, row.target);
        records->GetRecordHighlight(&doc, i, row.text, row.background);
        rows.push_back(std::move(row));
    }
    return rows;
}

// Each row's record numbered one past the row before.
void ExpectConsecutive(const std::vector<Row>& rows) {
    for (size_t i = 1; i < rows.size(); ++i)
        ASSERT_EQ(rows[i].header.SequenceNumber, rows[i - 1].header.SequenceNumber + 1) << i;
}

ULONG64 AddressOf(const void* p) {
    return static_cast<ULONG64>(reinterpret_cast<uintptr_t>(p));
}

class CaptureSessionTest : public tdl::test::MachineTest {
protected:
    struct Options {
        bool continuous = false;
        bool background = true;
        // Bulk transfer data the driver keeps per transfer; 0 leaves the driver's setting.
        ULONG bulkMaxSize = 0;
        // Where the machine keeps its registry between boots; empty keeps it in memory.
        fs::path stateDir;
    };

    void TearDown() override {
        if (m_log != nullptr && m_log->IsLogging())
            SendCommand(ID_USB_STOPEVENTCAPTURE);
        // The windows and the documents go before the machine does.
        m_starter.reset();
        MachineTest::TearDown();
    }

    // The machine, the application started on it, the options set as the options dialog sets them and the
    // live document made new with them; the mouse and the stick checked.
    void StartApplication(const Options& options) {
        // The quit message an earlier application's main window posted as it went would cancel this one's
        // save (the save's window pumps messages and takes a quit as the user leaving).
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        }
        sim::MachineOptions machine;
        machine.captureDriverEntry = DriverEntry;
        machine.stateDir = options.stateDir;
        machine.busTime = false;
        Boot(sim::DefaultMachine(), machine);
        m_starter = std::make_unique<apptest::AppStarter>();
        CTindaloftApp& app = m_starter->Make("/Embedding");
        ASSERT_TRUE(m_starter->Start());
        app.m_Settings.ContinuousLogging = options.continuous;
        app.m_Settings.BackgroundLogging = options.background;
        if (options.bulkMaxSize != 0) {
            app.m_Settings.CaptureBulk = true;
            app.m_Settings.BulkMaxSize = SizeCodeOfBytes(options.bulkMaxSize);
            ASSERT_TRUE(app.SetDriverLoggingOptions(nullptr));
        }
        SendCommand(ID_FILE_NEW);
        POSITION pos = app.m_pCaptureDocTemplate->GetFirstDocPosition();
        ASSERT_NE(pos, nullptr);
        m_log = dynamic_cast<CUSBLog*>(app.m_pCaptureDocTemplate->GetNextDoc(pos));
        ASSERT_NE(m_log, nullptr);
        for (const char* name : {"mouse", "stick"})
            ASSERT_TRUE(tdl::session::CheckOnDevicesTab(Pdo(name))) << name;
        apptest::AppStarter::TakeBoxes();
    }

    void StartCapture() {
        SendCommand(ID_USB_STARTEVENTCAPTURE);
        ASSERT_TRUE(m_log->IsLogging());
    }

    void PlayPumping(sim::WorkloadKind kind, sim::WorkloadOptions options) {
        const std::vector<sim::WorkloadResult> results = tdl::session::PlayWhilePumping(*m_machine, {{kind, options}});
        EXPECT_TRUE(results[0].Succeeded()) << sim::WorkloadName(kind) << ": " << results[0].failure;
    }

    static sim::WorkloadOptions Files(uint64_t count, ULONG bytes) {
        sim::WorkloadOptions options;
        options.count = count;
        options.fileBytes = options.transferBytes = bytes;
        return options;
    }

    // A short session: started, the mouse moved, files copied to the stick, stopped.
    void CaptureMouseAndFiles(uint64_t reports, uint64_t files) {
        StartCapture();
        PlayPumping(sim::WorkloadKind::MouseMoving, {.count = reports});
        PlayPumping(sim::WorkloadKind::CopyToStick, Files(files, 4096));
        SendCommand(ID_USB_STOPEVENTCAPTURE);
    }

    // A device plugged into the external hub's free port, and the frame's refresh message handled as the
    // device notifications make it do.
    void PlugIntoTheHubsFreePort(std::shared_ptr<sim::UsbDevice> device) {
        auto hub = m_machine->DeviceAs<sim::UsbHubModel>("hub");
        ASSERT_NE(hub, nullptr);
        ASSERT_TRUE(m_machine->Plug(*hub, 4, std::move(device)));
        ::PostMessageA(m_starter->MainFrame()->GetSafeHwnd(), CMainFrame::WM_REFRESH_DEVICE_TREE, 0, 0);
        win32::PumpUiMessages();
    }

    // Whether a stop the capture thread posted has ended the session, within a few seconds.
    bool SessionEnds() {
        return tdl::session::PumpUntil([this] { return !m_log->IsLogging(); }, std::chrono::seconds(10));
    }

    std::unique_ptr<apptest::AppStarter> m_starter;
    CUSBLog* m_log = nullptr;
};

TEST_F(CaptureSessionTest, MouseAndStickRecordsFollowTheLogStartInSequenceWithTheStorageColumnsFilled) {
    StartApplication({});
    CaptureMouseAndFiles(3, 2);
    EXPECT_TRUE(apptest::AppStarter::TakeBoxTexts().empty());

    const std::vector<Row> rows = RowsOf(*m_log);
    ASSERT_GT(rows.size(), 20u);
    EXPECT_EQ(rows[0].header.LogType, LogTag::atsL);
    for (size_t i = 1; i < rows.size(); ++i) {
        ASSERT_EQ(rows[i].header.SequenceNumber, rows[0].header.SequenceNumber + i) << i;
        EXPECT_EQ(rows[i].sequence, rows[i].header.SequenceNumber);
        EXPECT_EQ(rows[i].header.Sync, LogTag::Sync) << i;
    }
    EXPECT_EQ(m_log->GetSequenceGapCount(), 0u);

    // Both devices are in the capture; the stick's command and status wrappers show their tags.
    const ULONG64 stick = AddressOf(Pdo("stick"));
    const ULONG64 mouse = AddressOf(Pdo("mouse"));
    size_t mouseRecords = 0;
    size_t commands = 0;
    size_t statuses = 0;
    // The target column names the stack that held the record's device object at the record's time.
    EXPECT_EQ(rows[0].target, "---");
    for (const Row& row : rows) {
        mouseRecords += row.header.DeviceObject == mouse ? 1 : 0;
        if (row.header.DeviceObject == stick)
            EXPECT_EQ(row.target, "USB Mass Storage Device");
        if (row.header.DeviceObject != stick || row.request != "BULK_OR_INTERRUPT_TRANSFER")
            continue;
        if (row.cbw != "---") {
            ++commands;
            EXPECT_EQ(row.direction, "OUT");
            EXPECT_EQ(row.state, "init");
        }
        if (row.csw != "---") {
            ++statuses;
            EXPECT_EQ(row.direction, "IN");
            EXPECT_EQ(row.state, "comp");
        }
    }
    EXPECT_GT(mouseRecords, 0u);
    // Each file: a write, a flush and a read, each one command and one status at least.
    EXPECT_GE(commands, 6u);
    EXPECT_EQ(commands, statuses);
}

TEST_F(CaptureSessionTest, ALargeBulkInTransferContinuesInThreeRecordsAllIndexedAndShownAsIn) {
    StartApplication({.continuous = true, .bulkMaxSize = 262144});
    StartCapture();
    // One 400-block READ(10) (after the file's write): 204,800 bytes in one bulk IN transfer.
    PlayPumping(sim::WorkloadKind::CopyToStick, Files(1, 204800));
    SendCommand(ID_USB_STOPEVENTCAPTURE);

    const std::vector<Row> rows = RowsOf(*m_log);
    const ULONG64 stick = AddressOf(Pdo("stick"));
    size_t found = 0;
    for (size_t i = 0; i + 3 < rows.size(); ++i) {
        const Row& row = rows[i];
        if (row.header.LogType != LogTag::urbC || row.header.DeviceObject != stick ||
            row.header.Continuation != LogTag::More)
            continue;
        ++found;
        EXPECT_EQ(row.direction, "IN");
        uint64_t bytes = row.header.DataSize;
        for (size_t k = 1; k <= 3; ++k) {
            const Row& piece = rows[i + k];
            EXPECT_EQ(piece.header.LogType, LogTag::cCnt) << k;
            EXPECT_EQ(piece.header.SequenceNumber, row.header.SequenceNumber + k);
            EXPECT_EQ(piece.header.Irp, row.header.Irp);
            EXPECT_EQ(piece.direction, "IN") << k;
            EXPECT_EQ(piece.header.Continuation, k == 3 ? LogTag::Data : LogTag::More) << k;
            bytes += piece.header.DataSize;
        }
        EXPECT_GT(bytes, 204800u);
    }
    EXPECT_EQ(found, 1u);
}

// A stop right after the workload's last request: its init, return and completion are all in the list, in
// both logging modes.
TEST_F(CaptureSessionTest, StopRightAfterABurstKeepsTheLastRequestWhole) {
    for (bool background : {false, true}) {
        SCOPED_TRACE(background ? "background logging" : "notify logging");
        StartApplication({.background = background});
        StartCapture();
        PlayPumping(sim::WorkloadKind::CopyToStick, Files(4, 4096));
        SendCommand(ID_USB_STOPEVENTCAPTURE);
        EXPECT_FALSE(m_log->IsLogging());

        const std::vector<Row> rows = RowsOf(*m_log);
        const ULONG64 stick = AddressOf(Pdo("stick"));
        const Row* pLast = nullptr;
        for (const Row& row : rows) {
            if (row.header.DeviceObject == stick && row.header.LogType == LogTag::urbI)
                pLast = &row;
        }
        ASSERT_NE(pLast, nullptr);
        std::vector<ULONG> tags;
        for (const Row& row : rows) {
            if (row.header.Irp == pLast->header.Irp && row.header.SequenceNumber >= pLast->header.SequenceNumber)
                tags.push_back(row.header.LogType);
        }
        // The completion may come before the dispatch routine returns.
        ASSERT_EQ(tags.size(), 3u);
        EXPECT_EQ(tags[0], LogTag::urbI);
        std::sort(tags.begin() + 1, tags.end());
        EXPECT_EQ(tags, (std::vector<ULONG>{LogTag::urbI, std::min(LogTag::urbR, LogTag::urbC),
                                            std::max(LogTag::urbR, LogTag::urbC)}));
        EXPECT_EQ(m_log->GetSequenceGapCount(), 0u);
        m_starter.reset();
        m_log = nullptr;
        MachineTest::TearDown();
    }
}

TEST_F(CaptureSessionTest, AFullBankEndsTheSessionWithItsMessageAndItsRecordsIntact) {
    StartApplication({.background = false, .bulkMaxSize = 65536});
    win32::QueueModalAnswer(win32::ModalKind::MessageBox, IDOK, kBufferFull);
    StartCapture();
    // Far more than one bank of data: the capture ends by itself on the way.
    PlayPumping(sim::WorkloadKind::CopyToStick, Files(8, 65536));
    ASSERT_TRUE(SessionEnds());
    EXPECT_EQ(apptest::AppStarter::TakeBoxTexts(), std::vector<std::string>{kBufferFull});

    const std::vector<Row> rows = RowsOf(*m_log);
    ASSERT_GT(rows.size(), 10u);
    EXPECT_EQ(rows[0].header.LogType, LogTag::atsL);
    ExpectConsecutive(rows);
    // Bank 0 alone holds every record, whole, each ending in its trailer.
    const CaptureBuffer::CCapturePair* pBanks = m_log->GetLogRecords()->GetCaptureBuffer();
    ASSERT_NE(pBanks, nullptr);
    for (const Row& row : rows) {
        EXPECT_TRUE(pBanks->GetBank(0)->Holds(row.pRecord, row.bytes.size()));
        EXPECT_EQ(std::memcmp(row.bytes.data() + row.bytes.size() - 4, "FINI", 4), 0);
    }
}

// Continuous logging over many bank switches, in both logging modes: the list keeps the newest records, in
// sequence order, each read in place with its columns right (the index never points into a bank that was
// emptied, which AddressSanitizer would catch). The clock is virtual: outside background logging each move of
// 250 ms lets the capture thread read once.
TEST_F(CaptureSessionTest, ContinuousLoggingOverManyBankSwitchesShowsTheNewestRecordsInOrder) {
    constexpr int kSwitches = 20;
    for (bool background : {false, true}) {
        SCOPED_TRACE(background ? "background logging" : "notify logging");
        StartApplication({.continuous = true, .background = background, .bulkMaxSize = 65536});
        UseVirtualClock();
        StartCapture();
        LogRecords::CLogRecords* records = m_log->GetLogRecords();
        int switches = 0;
        BYTE bank = records->GetCurrentBank();
        // Each file: a 64 KiB write and read, about two driver blocks; a bank switches every second file or so.
        for (int file = 0; switches < kSwitches && file < 4 * kSwitches; ++file) {
            sim::WorkloadOptions options = Files(1, 65536);
            options.seed = static_cast<uint64_t>(file) + 1;
            PlayPumping(sim::WorkloadKind::CopyToStick, options);
            for (int read = 0; read < 4; ++read) {
                nt::clock::AdvanceMilliseconds(CDriverThread::NotifyWait);
                tdl::session::PumpUntil([] { return false; }, std::chrono::milliseconds(3));
                if (records->GetCurrentBank() != bank) {
                    bank = records->GetCurrentBank();
                    ++switches;
                }
            }
        }
        SendCommand(ID_USB_STOPEVENTCAPTURE);
        EXPECT_GE(switches, kSwitches);

        const std::vector<Row> rows = RowsOf(*m_log);
        ASSERT_GT(rows.size(), 10u);
        // The oldest records went with the banks they were in.
        EXPECT_GT(rows[0].header.SequenceNumber, rows.size());
        const CaptureBuffer::CCapturePair* pBanks = records->GetCaptureBuffer();
        for (size_t i = 0; i < rows.size(); ++i) {
            const Row& row = rows[i];
            if (i > 0)
                ASSERT_EQ(row.header.SequenceNumber, rows[i - 1].header.SequenceNumber + 1) << i;
            EXPECT_TRUE(pBanks->GetBank(0)->Holds(row.pRecord, row.bytes.size()) ||
                        pBanks->GetBank(1)->Holds(row.pRecord, row.bytes.size()));
            EXPECT_EQ(row.sequence, row.header.SequenceNumber);
            // " URB", or " URB*" for the value a dispatch routine returned.
            if (LogTag::IsUrbTag(row.header.LogType))
                EXPECT_EQ(std::string(row.category.GetString()).rfind(" URB", 0), 0u) << i;
            if (row.header.LogType == LogTag::urbI && (row.header.Function & URB_FUNCTION_WORD_CODE_MASK) == 9) {
                EXPECT_EQ(row.request, "BULK_OR_INTERRUPT_TRANSFER");
                EXPECT_EQ(row.state, "init");
            }
        }
        EXPECT_EQ(m_log->GetSequenceGapCount(), 0u);
        m_starter.reset();
        m_log = nullptr;
        MachineTest::TearDown();
    }
}

// The capture thread held off the current bank while the stick is busy: the driver's log fills and recycles
// its oldest blocks. The first record after the gap is marked and shown red on white, and the stop reports the
// gap, suggesting background logging only outside it.
TEST_F(CaptureSessionTest, LostRecordsAreMarkedAndTheStopReportsTheGap) {
    const struct {
        bool background;
        bool suggestsBackground;
    } cases[] = {{false, true}, {true, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.background ? "background logging" : "notify logging");
        StartApplication({.continuous = true, .background = c.background, .bulkMaxSize = 65536});
        StartCapture();
        {
            LogRecords::CBufferLock held(*m_log->GetLogRecords(), INFINITE);
            ASSERT_TRUE(held.IsLocked());
            // Far more than the driver's log holds (31 blocks of 65 KiB).
            PlayPumping(sim::WorkloadKind::CopyToStick, Files(24, 65536));
        }
        win32::QueueModalAnswer(win32::ModalKind::MessageBox, IDOK, "out-of-sequence");
        SendCommand(ID_USB_STOPEVENTCAPTURE);

        const std::vector<std::string> boxes = apptest::AppStarter::TakeBoxTexts();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_NE(boxes[0].find("out-of-sequence record(s)"), std::string::npos) << boxes[0];
        EXPECT_EQ(boxes[0].find("Try using background logging") != std::string::npos, c.suggestsBackground);
        EXPECT_GT(m_log->GetSequenceGapCount(), 0u);

        const std::vector<Row> rows = RowsOf(*m_log);
        size_t marked = 0;
        for (size_t i = 0; i < rows.size(); ++i) {
            const bool gap = rows[i].header.Sync == LogTag::GapSync;
            if (gap) {
                ++marked;
                ASSERT_GT(i, 0u);
                EXPECT_GT(rows[i].header.SequenceNumber, rows[i - 1].header.SequenceNumber + 1);
                EXPECT_EQ(rows[i].text, 0x0000FFu);
                EXPECT_EQ(rows[i].background, 0xFFFFFFu);
            } else if (i > 0) {
                EXPECT_EQ(rows[i].header.SequenceNumber, rows[i - 1].header.SequenceNumber + 1) << i;
            }
        }
        EXPECT_GE(marked, 1u);
        m_starter.reset();
        m_log = nullptr;
        MachineTest::TearDown();
    }
}

// A session saved and opened again: the same records byte for byte, the same column texts, and the records
// read in place from the file's mapping.
TEST_F(CaptureSessionTest, ASavedSessionOpensAgainWithTheSameRecordsAndColumns) {
    StartApplication({});
    CaptureMouseAndFiles(2, 1);
    const std::vector<Row> live = RowsOf(*m_log);
    ASSERT_GT(live.size(), 10u);

    const fs::path folder = fs::temp_directory_path() / ("tdl-session-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    const fs::path file = folder / "session.tdloft";
    win32::QueueFileDialogChoice(file.string());
    SendCommand(ID_FILE_SAVE_AS);
    win32::ClearFileDialogRequests();
    ASSERT_TRUE(fs::exists(file));
    EXPECT_FALSE(m_log->IsModified());
    EXPECT_TRUE(apptest::AppStarter::TakeBoxTexts().empty());

    // The live capture renewed first: a document open on the same path would only be shown again.
    SendCommand(ID_FILE_NEW);
    auto* pSaved = dynamic_cast<CUSBLog*>(m_starter->App().OpenDocumentFile(file.string().c_str()));
    ASSERT_NE(pSaved, nullptr);
    ASSERT_NE(pSaved, m_log);
    const std::vector<Row> saved = RowsOf(*pSaved);
    ASSERT_EQ(saved.size(), live.size());
    const CaptureBuffer::CCaptureBuffer* pMapped = pSaved->GetLogRecords()->GetCaptureBuffer()->GetBank(0);
    for (size_t i = 0; i < live.size(); ++i) {
        EXPECT_EQ(saved[i].bytes, live[i].bytes) << i;
        EXPECT_TRUE(pMapped->Holds(saved[i].pRecord, saved[i].bytes.size())) << i;
        EXPECT_EQ(saved[i].category, live[i].category) << i;
        EXPECT_EQ(saved[i].state, live[i].state) << i;
        EXPECT_EQ(saved[i].request, live[i].request) << i;
        EXPECT_EQ(saved[i].direction, live[i].direction) << i;
        EXPECT_EQ(saved[i].cbw, live[i].cbw) << i;
        EXPECT_EQ(saved[i].csw, live[i].csw) << i;
    }
    pSaved->OnCloseDocument();
    std::error_code ignored;
    fs::remove_all(folder, ignored);
}

// A trigger on bulk OUT requests: the stick's first command wrapper stops the session, and the row of the
// trigger's record shows the trigger's colours and is the one scrolled into view.
TEST_F(CaptureSessionTest, ATriggerOnTheStickBulkOutRequestsStopsTheSessionAtItsRow) {
    StartApplication({});
    auto* pTrigger = new CFilterDefinition;
    pTrigger->Enable(FilterByte::UrbRequest);
    pTrigger->Enable(FilterByte::UrbFunctions + URB_FUNCTION_BULK_OR_INTERRUPT_TRANSFER);
    pTrigger->Enable(FilterByte::AcceptOut);
    pTrigger->Enable(FilterByte::AcceptSuccess);
    pTrigger->Enable(FilterByte::AcceptError);
    m_log->SetTrigger(pTrigger);
    m_log->TriggerOn();
    StartCapture();
    PlayPumping(sim::WorkloadKind::CopyToStick, Files(2, 4096));
    ASSERT_TRUE(SessionEnds());

    const UINT nTrigger = m_log->GetTriggerSequenceNumber();
    ASSERT_NE(nTrigger, 0u);
    const std::vector<Row> rows = RowsOf(*m_log);
    const auto it = std::find_if(rows.begin(), rows.end(), [&](const Row& row) { return row.sequence == nTrigger; });
    ASSERT_NE(it, rows.end());
    EXPECT_EQ(it->header.LogType, LogTag::urbI);
    EXPECT_EQ(it->header.DeviceObject, AddressOf(Pdo("stick")));
    EXPECT_EQ(it->request, "BULK_OR_INTERRUPT_TRANSFER");
    EXPECT_EQ(it->direction, "OUT");
    EXPECT_EQ(it->text, 0x000000u);
    EXPECT_EQ(it->background, 0xC0C0F6u);
    // The first bulk OUT request fired the trigger; the mark stays on the last one that matched before the
    // stop took effect, and nothing after that one matches.
    for (auto after = it + 1; after != rows.end(); ++after)
        EXPECT_FALSE(after->state == "init" && after->request == "BULK_OR_INTERRUPT_TRANSFER" &&
                     after->direction == "OUT")
            << after->sequence;
    auto* pView = dynamic_cast<CLogListView*>(m_log->GetFirstView());
    ASSERT_NE(pView, nullptr);
    EXPECT_TRUE(tdl::test::RowShown(pView->GetListCtrl(), static_cast<int>(it - rows.begin())));
}

// Capture once on the next boot, set as the options dialog sets it, and the machine rebooted on the same state
// folder: the driver captures the devices of the last session from its start, and the first live document of
// the next start attaches to that capture and lists its records in sequence, the enumeration of those devices
// among them.
TEST_F(CaptureSessionTest, ACaptureOnTheNextBootIsListedByTheFirstLiveDocument) {
    const fs::path state = fs::temp_directory_path() / ("tdl-session-boot-" + std::to_string(::getpid()));
    fs::create_directories(state);
    StartApplication({.stateDir = state});
    // A session first: the driver keeps the devices it captured for the next boot.
    CaptureMouseAndFiles(1, 1);
    m_starter->App().m_Settings.CaptureOnceOnBoot = true;
    m_log->ApplyLoggingOptions();
    m_starter.reset();
    m_log = nullptr;
    MachineTest::TearDown();

    // The first live document takes the boot's capture over as a start does, with no command.
    StartApplication({.stateDir = state});
    ASSERT_TRUE(m_log->IsLogging());
    PlayPumping(sim::WorkloadKind::CopyToStick, Files(1, 4096));
    SendCommand(ID_USB_STOPEVENTCAPTURE);

    const std::vector<Row> rows = RowsOf(*m_log);
    ASSERT_GT(rows.size(), 10u);
    ExpectConsecutive(rows);
    size_t descriptorRequests = 0;
    for (const Row& row : rows)
        descriptorRequests += row.request == "GET_DESCRIPTOR_FROM_DEVICE" ? 1 : 0;
    EXPECT_GT(descriptorRequests, 0u);
    // The boot's capture is taken once: the next start is a session of its own.
    EXPECT_FALSE(m_starter->App().IsBootCaptureActive());
    std::error_code ignored;
    fs::remove_all(state, ignored);
}

// A device pulled out and plugged in again while a capture runs: the driver's change log tells of it, the
// refresh message (posted here until the main frame gets the system's device notifications) reads and
// dissects it, and the device leaves the document's model and comes back, while the capture goes on.
TEST_F(CaptureSessionTest, ADeviceComingAndGoingDuringACaptureLeavesAndJoinsTheModel) {
    StartApplication({});
    StartCapture();
    CAttachedDevices* pDevices = m_log->GetAttachedDevices();
    auto present = [&](PDEVICE_OBJECT pdo) {
        CDeviceObject* pDevice = nullptr;
        return pdo != nullptr && pDevices->GetPresentClassDeviceObject(AddressOf(pdo), pDevice) != FALSE;
    };
    auto refresh = [&] {
        ::PostMessageA(m_starter->MainFrame()->GetSafeHwnd(), CMainFrame::WM_REFRESH_DEVICE_TREE, 0, 0);
        win32::PumpUiMessages();
    };
    const PDEVICE_OBJECT pOld = Pdo("printer");
    ASSERT_TRUE(present(pOld));
    std::shared_ptr<sim::UsbDevice> printer = m_machine->Device("printer");
    sim::UsbHubModel* pHub = printer->ParentHub();
    const int port = printer->PortNumber();

    ASSERT_NE(m_machine->Unplug("printer"), nullptr);
    refresh();
    EXPECT_FALSE(present(pOld));
    ASSERT_TRUE(m_machine->Plug(*pHub, port, printer));
    refresh();
    EXPECT_TRUE(present(Pdo("printer")));

    PlayPumping(sim::WorkloadKind::CopyToStick, Files(1, 4096));
    SendCommand(ID_USB_STOPEVENTCAPTURE);
    const std::vector<Row> rows = RowsOf(*m_log);
    ASSERT_GT(rows.size(), 10u);
    ExpectConsecutive(rows);
}

// A flash drive plugged in while a capture runs is reported before the driver hooks it; after the stop it is a
// device like the others: its box on the Devices tab takes clicks, and what the user chooses there is what the
// next capture records of it.
TEST_F(CaptureSessionTest, AFlashDrivePluggedInDuringACaptureIsSelectableForTheNextOne) {
    StartApplication({});
    StartCapture();
    PlugIntoTheHubsFreePort(sim::MakeFlashDrive("stick2"));
    if (HasFatalFailure())
        return;
    SendCommand(ID_USB_STOPEVENTCAPTURE);

    const ULONG64 drive = AddressOf(Pdo("stick2"));
    CDeviceObject* pDevice = nullptr;
    ASSERT_TRUE(m_log->GetAttachedDevices()->GetPresentClassDeviceObject(drive, pDevice));
    EXPECT_TRUE(pDevice->IsSelectable());
    EXPECT_NE(pDevice->m_nStateImage, static_cast<UINT>(CHECKSTATE_UNCHECKABLE));
    EXPECT_NE(pDevice->_Driver, nullptr);

    // Checked, then unchecked: each choice reaches the driver with the next start.
    for (const bool bChecked : {true, false}) {
        SCOPED_TRACE(bChecked ? "checked" : "unchecked");
        CTabTree* pTree = nullptr;
        const HTREEITEM hItem = tdl::session::ShowOnDevicesTab(Pdo("stick2"), pTree);
        ASSERT_NE(hItem, nullptr);
        if ((pTree->IsChecked(hItem) != FALSE) != bChecked) {
            win32::Click(pTree->m_hWnd, tdl::session::CheckBoxPoint(*pTree, hItem));
            win32::PumpUiMessages();
        }
        ASSERT_EQ(pTree->IsChecked(hItem) != FALSE, bChecked);
        SendCommand(ID_USB_CLEARCAPTURE);
        StartCapture();
        sim::WorkloadOptions files = Files(1, 4096);
        files.device = "stick2";
        PlayPumping(sim::WorkloadKind::CopyToStick, files);
        SendCommand(ID_USB_STOPEVENTCAPTURE);
        const std::vector<Row> rows = RowsOf(*m_log);
        const size_t driveRows = static_cast<size_t>(
            std::count_if(rows.begin(), rows.end(), [&](const Row& row) { return row.header.DeviceObject == drive; }));
        if (bChecked)
            EXPECT_GT(driveRows, 0u);
        else
            EXPECT_EQ(driveRows, 0u);
    }
    EXPECT_TRUE(apptest::AppStarter::TakeBoxTexts().empty());
}

// A HID device plugged in while a capture runs: its stack is whole when its arrival is told, so the refresh
// message places it at its hub's port in the connection tree, with no refresh of the device model.
TEST_F(CaptureSessionTest, AHidDevicePluggedInDuringACaptureIsPlacedAtItsPort) {
    StartApplication({});
    StartCapture();
    PlugIntoTheHubsFreePort(sim::MakeMouse("mouse2"));
    if (HasFatalFailure())
        return;

    CDeviceObject* pDevice = nullptr;
    ASSERT_TRUE(m_log->GetAttachedDevices()->GetPresentClassDeviceObject(AddressOf(Pdo("mouse2")), pDevice));
    ASSERT_NE(pDevice->_DevStack, nullptr);
    const CHubPort* pPort = nullptr;
    std::vector<const apptest::ConnectionNode*> pending = {&m_log->GetConnectionTree()};
    while (!pending.empty()) {
        const apptest::ConnectionNode* pNode = pending.back();
        pending.pop_back();
        const CObject* pObject = pNode->get().m_pElemObject;
        if (pObject != nullptr && pObject->IsKindOf(RUNTIME_CLASS(CHubPort)) &&
            static_cast<const CHubPort*>(pObject)->GetDeviceStack() == pDevice->_DevStack) {
            pPort = static_cast<const CHubPort*>(pObject);
            EXPECT_EQ("Port 4: USB Input Device", std::string(pNode->get().m_LabelText.GetString()));
        }
        for (const apptest::ConnectionNode* p = pNode->first_child(); p != nullptr; p = p->next_sibling())
            pending.push_back(p);
    }
    EXPECT_NE(pPort, nullptr) << apptest::DumpTree(*m_log);
    SendCommand(ID_USB_STOPEVENTCAPTURE);
}

} // namespace
