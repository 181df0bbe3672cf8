// The driver's event log: the diagnostics switch, and the log saved as comma-separated rows (judged before a
// single row is written: a size that is no control block and whole entries, a short fetch and a last-written
// position outside the ring each end calmly).
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "WinFileDialogControl.h"
#include "app/core/diagnostics/DiagnosticsLog.h"
#include "common/Memlog.h"
#include "tests/app/core/HelpMenuFixture.h"
#include "tests/app/core/TraceCapture.h"

namespace {

using tdl::test::FakeRequest;

constexpr char kEmpty[] = "Diagnostics log buffer is empty.";
constexpr ULONG64 kRingAddress = 0xFFFFA80012340000ull;

ULONG64 TagOf(const char (&text)[5]) {
    ULONG64 tag = 0;
    std::memcpy(&tag, text, 4);
    return tag;
}

// A fetched log: the control block and `slots` entries; `newest` is the slot CurEntry points at.
struct Memlog {
    MEMLOG_CONTROL control{};
    std::vector<MEMLOG_ENTRY> entries;

    Memlog(ULONG slots, ULONG newest) : entries(slots) {
        control.LogBuffer = kRingAddress;
        control.CurEntry = kRingAddress + newest * sizeof(MEMLOG_ENTRY);
        control.CurIndex = 0xFFFFFFFE;
        control.IndexMask = slots - 1;
        control.LogAllocSize = slots * sizeof(MEMLOG_ENTRY);
        control.LogEnabled = 1;
    }
    void Set(ULONG slot, const char (&tag)[5], ULONG64 v1, ULONG64 v2, ULONG64 v3) {
        entries[slot] = MEMLOG_ENTRY{TagOf(tag), v1, v2, v3};
    }
    std::vector<uint8_t> Bytes() const {
        std::vector<uint8_t> bytes(sizeof control + entries.size() * sizeof(MEMLOG_ENTRY));
        std::memcpy(bytes.data(), &control, sizeof control);
        if (!entries.empty()) {
            std::memcpy(bytes.data() + sizeof control, entries.data(), entries.size() * sizeof(MEMLOG_ENTRY));
        }
        return bytes;
    }
    CString Rows() const {
        const std::vector<uint8_t> bytes = Bytes();
        return CDiagnosticsLog(bytes.data(), static_cast<DWORD>(bytes.size())).FormatRows();
    }
};

TEST(DiagnosticsLog, OnlyAControlBlockWithWholeEntriesIsSound) {
    for (DWORD size : {0u, 4u, 31u, 33u, 63u, 65u, 262177u}) {
        EXPECT_FALSE(CDiagnosticsLog::IsSoundSize(size)) << size;
    }
    for (DWORD size : {32u, 64u, 96u, 262176u}) {
        EXPECT_TRUE(CDiagnosticsLog::IsSoundSize(size)) << size;
    }
}

TEST(DiagnosticsLog, ARingThatHasNotWrappedWritesItsUsedEntriesNewestFirst) {
    // Writers take slots downwards from the top: two entries so far, in slots 3 (first) and 2 (newest).
    Memlog log(4, 2);
    log.Set(3, "Open", 1, 0x22, 0x333);
    log.Set(2, "Stak", 0xFFFFFA8001234560ull, 2, 0);
    EXPECT_STREQ(log.Rows(), "App0,00000000000000A0,0000000000000004,0000000000000002,0000\n"
                             "App1,FFFFA80012340000,FFFFA80012340040,00000000FFFFFFFE,0000\n"
                             "App2,0000000000000003,0000000000000080,0000000000000001,0000\n"
                             "Stak,FFFFFA8001234560,0000000000000002,0000000000000000,0000\n"
                             "Open,0000000000000001,0000000000000022,0000000000000333,0001\n");
}

TEST(DiagnosticsLog, AWrappedRingRunsFromTheNewestToTheTopThenFromTheBottomUpToIt) {
    Memlog log(4, 1);
    log.Set(0, "Dd00", 0, 0, 0);
    log.Set(1, "Aa11", 1, 1, 1);
    log.Set(2, "Bb22", 2, 2, 2);
    log.Set(3, "Cc33", 3, 3, 3);
    // A zero tag is left out but keeps its number; a zero byte inside a tag cannot end the row early.
    log.entries[3].Tag = 0;
    log.entries[0].Tag = TagOf("Dd00") & 0xFF00FFFFull;
    EXPECT_STREQ(log.Rows(), "App0,00000000000000A0,0000000000000004,0000000000000003,0000\n"
                             "App1,FFFFA80012340000,FFFFA80012340020,00000000FFFFFFFE,0000\n"
                             "App2,0000000000000003,0000000000000080,0000000000000001,0000\n"
                             "Aa11,0000000000000001,0000000000000001,0000000000000001,0000\n"
                             "Bb22,0000000000000002,0000000000000002,0000000000000002,0001\n"
                             "Dd.0,0000000000000000,0000000000000000,0000000000000000,0003\n");
}

TEST(DiagnosticsLog, ALastWrittenPositionOutsideTheRingStartsTheRowsAtTheFirstEntry) {
    struct Case {
        const char* name;
        ULONG64 curEntry;
    };
    const Case cases[] = {
        {"past the ring", kRingAddress + 4 * sizeof(MEMLOG_ENTRY)},
        {"below the ring", kRingAddress - sizeof(MEMLOG_ENTRY)},
        {"inside an entry", kRingAddress + 2 * sizeof(MEMLOG_ENTRY) + 8},
        {"null", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Memlog log(4, 0);
        log.control.CurEntry = c.curEntry;
        log.Set(0, "Ent0", 0, 0, 0);
        log.Set(3, "Ent3", 3, 3, 3);
        const std::vector<uint8_t> bytes = log.Bytes();
        const CDiagnosticsLog parsed(bytes.data(), static_cast<DWORD>(bytes.size()));
        EXPECT_FALSE(parsed.IsCurEntrySound());
        EXPECT_EQ(parsed.GetNewestSlot(), 0u);
        const std::string rows = parsed.FormatRows().GetString();
        EXPECT_NE(rows.find("App0,00000000000000A0,0000000000000004,0000000000000004,0000\n"), std::string::npos);
        EXPECT_NE(rows.find("Ent0,0000000000000000,0000000000000000,0000000000000000,0000\nEnt3,"), std::string::npos);
        EXPECT_NE(rows.find(",0003\n"), std::string::npos);
    }
    // A ring with no entries has no slot to point at: the three rows of the block alone.
    Memlog empty(0, 0);
    empty.control.IndexMask = 0;
    EXPECT_EQ(std::string(empty.Rows().GetString()).size(), 3u * 61u);
}

class DiagnosticsCommandTest : public apptest::HelpMenuTest {
protected:
    void SetUp() override {
        HelpMenuTest::SetUp();
        m_folder = std::filesystem::temp_directory_path() / ("tdl-diagnostics-" + std::to_string(::getpid()));
        std::filesystem::create_directories(m_folder);
        win32::ClearFileDialogRequests();
    }
    void TearDown() override {
        win32::ClearFileDialogRequests();
        win32::ClearModalRequests();
        std::error_code ignored;
        std::filesystem::remove_all(m_folder, ignored);
        HelpMenuTest::TearDown();
    }
    // The platform's form of a path in the test's folder.
    std::string PathOf(const std::string& name) const {
        std::string path = (m_folder / name).string();
        std::replace(path.begin(), path.end(), '/', '\\');
        return path;
    }
    std::string Contents(const std::string& name) const {
        std::ifstream in(m_folder / name, std::ios::binary);
        std::stringstream bytes;
        bytes << in.rdbuf();
        return bytes.str();
    }
    std::vector<FakeRequest> Requests(ULONG code) const {
        std::vector<FakeRequest> requests;
        for (const FakeRequest& request : m_fake->Requests()) {
            if (request.code == code) {
                requests.push_back(request);
            }
        }
        return requests;
    }

    std::filesystem::path m_folder;
};

TEST_F(DiagnosticsCommandTest, TheSwitchAsksThenTogglesTheEventLogThroughTheLiveDocument) {
    CTindaloftApp& app = Start();
    app.m_Settings.MemlogFlags = 0;
    struct Step {
        int answer;
        const char* prompt;
        DWORD flags; // the setting afterwards
    };
    const Step steps[] = {
        {IDCANCEL, "Do you want to enable diagnostic logging?\nThis setting will persist after a system reboot.", 0},
        {IDOK, "Do you want to enable diagnostic logging?\nThis setting will persist after a system reboot.", 257},
        {IDCANCEL, "Do you want to disable diagnostic logging?\nThis setting will persist after a system reboot.", 257},
        {IDOK, "Do you want to disable diagnostic logging?\nThis setting will persist after a system reboot.", 0},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.prompt);
        m_fake->ClearRequests();
        win32::QueueModalAnswer(win32::ModalKind::MessageBox, step.answer);
        Command(ID_HELP_DIAGNOSTICS);
        const std::vector<win32::ModalRequest> boxes = apptest::AppStarter::TakeBoxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, step.prompt);
        EXPECT_EQ(boxes[0].style, static_cast<UINT>(MB_OKCANCEL | MB_ICONQUESTION));
        EXPECT_EQ(app.m_Settings.MemlogFlags, step.flags);
        const std::vector<FakeRequest> sent = Requests(IOCTL_TINDALOFT_SET_BOOTFLAG);
        if (step.answer == IDOK) {
            ASSERT_EQ(sent.size(), 1u);
            ULONG word = 0xFFFFFFFF;
            ASSERT_EQ(sent[0].input.size(), sizeof word);
            std::memcpy(&word, sent[0].input.data(), sizeof word);
            EXPECT_EQ(word, step.flags << 2);
        } else {
            EXPECT_TRUE(sent.empty());
        }
    }
}

TEST_F(DiagnosticsCommandTest, BothCommandsAreOfferedOnlyForALiveDocumentThatIsNotCapturing) {
    Start();
    EXPECT_TRUE(IsEnabled(ID_HELP_DIAGNOSTICS));
    EXPECT_TRUE(IsEnabled(ID_HELP_SAVEDIAGNOSTICS));
    ActiveDocument()->SetLogging(TRUE);
    EXPECT_FALSE(IsEnabled(ID_HELP_DIAGNOSTICS));
    EXPECT_FALSE(IsEnabled(ID_HELP_SAVEDIAGNOSTICS));
    // A disabled command sent anyway is not carried out.
    Command(ID_HELP_DIAGNOSTICS);
    EXPECT_TRUE(apptest::AppStarter::TakeBoxes().empty());
    ActiveDocument()->SetLogging(FALSE);
    // A saved log in front: the switch belongs to the live capture.
    CTindaloftApp& app = m_starter->App();
    CDocument* pSaved = app.m_pLogDocTemplate->OpenDocumentFile(nullptr, TRUE);
    ASSERT_NE(pSaved, nullptr);
    ASSERT_EQ(ActiveDocument(), pSaved);
    EXPECT_FALSE(IsEnabled(ID_HELP_DIAGNOSTICS));
    EXPECT_FALSE(IsEnabled(ID_HELP_SAVEDIAGNOSTICS));
    pSaved->OnCloseDocument();
    EXPECT_TRUE(IsEnabled(ID_HELP_DIAGNOSTICS));
    // Without a document, nothing to offer them for.
    ActiveDocument()->OnCloseDocument();
    EXPECT_EQ(ActiveDocument(), nullptr);
    EXPECT_FALSE(IsEnabled(ID_HELP_DIAGNOSTICS));
    EXPECT_FALSE(IsEnabled(ID_HELP_SAVEDIAGNOSTICS));
}

TEST_F(DiagnosticsCommandTest, TheLogIsSavedAsCrLfRowsInTheChosenFile) {
    Start();
    Memlog log(4, 2);
    log.Set(3, "Open", 1, 0x22, 0x333);
    log.Set(2, "Stak", 0xFFFFFA8001234560ull, 2, 0);
    m_fake->Reply(IOCTL_TINDALOFT_GET_MEMLOG, log.Bytes());
    win32::QueueFileDialogChoice(PathOf("diag"));
    win32::QueueModalAnswer(win32::ModalKind::MessageBox, IDOK);
    apptest::TraceCapture traces(TRACE_INFORMATION, TRACE_AREA_DRIVER_INFO);
    Command(ID_HELP_SAVEDIAGNOSTICS);
    for (const char* text :
         {"--OnHelpSaveDiagnosticsLog", "Opened KxTdloft", "IoctlReadMemlog returns memlog buffer size = 160",
          "IoctlReadMemlog reads memlog buffer succeeds", "sizeof MEMLOG_CONTROL = 32", "sizeof MEMLOG_ENTRY = 32",
          "MEMLOG_CONTROL->LogBuffer=FFFFA80012340000", "MEMLOG_CONTROL->CurEntry=FFFFA80012340040",
          "MEMLOG_CONTROL->CurIndex=0xfffffffe", "MEMLOG_CONTROL->IndexMask=0x00000003",
          "MEMLOG_CONTROL->LogAllocSize=0x00000080", "MEMLOG_CONTROL->LogEnabled=0x01",
          "MEMLOG_CONTROL->Reserved[2]=0x00"}) {
        EXPECT_TRUE(traces.Has(text)) << text;
    }

    // The size first (a 4-byte buffer), then the log at exactly that size.
    const std::vector<FakeRequest> fetches = Requests(IOCTL_TINDALOFT_GET_MEMLOG);
    ASSERT_EQ(fetches.size(), 2u);
    EXPECT_EQ(fetches[0].outputLength, 4u);
    EXPECT_EQ(fetches[1].outputLength, 160u);
    const std::vector<win32::FileDialogRequest> dialogs = win32::FileDialogRequests();
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_TRUE(dialogs[0].save);
    EXPECT_EQ(dialogs[0].filter, "CSV Files (*.csv)|*.csv|All Files (*.*)|*.*");
    EXPECT_EQ(dialogs[0].defaultExtension, "csv");
    EXPECT_NE(dialogs[0].flags & OFN_OVERWRITEPROMPT, 0u);

    EXPECT_EQ(Contents("diag.csv"), "App0,00000000000000A0,0000000000000004,0000000000000002,0000\r\n"
                                    "App1,FFFFA80012340000,FFFFA80012340040,00000000FFFFFFFE,0000\r\n"
                                    "App2,0000000000000003,0000000000000080,0000000000000001,0000\r\n"
                                    "Stak,FFFFFA8001234560,0000000000000002,0000000000000000,0000\r\n"
                                    "Open,0000000000000001,0000000000000022,0000000000000333,0001\r\n");
    const std::vector<win32::ModalRequest> boxes = apptest::AppStarter::TakeBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Diagnostic log has been saved to: " + PathOf("diag.csv") + " ");
    EXPECT_EQ(boxes[0].style, static_cast<UINT>(MB_OK));
}

TEST_F(DiagnosticsCommandTest, ALogThatCannotBeFetchedSoundlyWritesNoFile) {
    Start();
    struct Case {
        const char* name;
        std::vector<uint8_t> reply; // empty: no reply (the request succeeds with nothing)
        ULONG announced = 0;        // a size query answer other than the reply's size; 0: the reply's
        bool failSize = false;      // the size query fails
        bool noDriver = false;
        const char* message; // nullptr: the command ends silently
    };
    Memlog whole(4, 0);
    whole.Set(0, "Ent0", 0, 0, 0);
    const std::vector<uint8_t> bytes = whole.Bytes();
    const Case cases[] = {
        {"missing driver", bytes, 0, false, true, kEmpty},
        {"size query fails", bytes, 0, true, false, kEmpty},
        {"size query answers nothing", {}, 0, false, false, kEmpty},
        {"size below a control block", std::vector<uint8_t>(16, 0xAB), 0, false, false, kEmpty},
        {"size of no whole entries", std::vector<uint8_t>(32 + 33, 0), 0, false, false, kEmpty},
        {"short fetch", bytes, static_cast<ULONG>(bytes.size() + 32), false, false, nullptr},
        {"long fetch", bytes, static_cast<ULONG>(bytes.size() - 32), false, false, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // Each case on a fresh fake; the application keeps running.
        m_fake.reset();
        if (!c.noDriver) {
            m_fake = std::make_unique<tdl::test::FakeControlDevice>();
            if (!c.reply.empty()) {
                m_fake->Reply(IOCTL_TINDALOFT_GET_MEMLOG, c.reply);
            }
            if (c.announced != 0) {
                m_fake->ReplySize(IOCTL_TINDALOFT_GET_MEMLOG, c.announced);
            }
            if (c.failSize) {
                m_fake->Fail(IOCTL_TINDALOFT_GET_MEMLOG, STATUS_INVALID_DEVICE_REQUEST);
            }
        }
        if (c.message != nullptr) {
            win32::QueueModalAnswer(win32::ModalKind::MessageBox, IDOK);
        }
        Command(ID_HELP_SAVEDIAGNOSTICS);
        EXPECT_TRUE(win32::FileDialogRequests().empty());
        const std::vector<std::string> texts = apptest::AppStarter::TakeBoxTexts();
        if (c.message != nullptr) {
            EXPECT_EQ(texts, std::vector<std::string>{c.message});
        } else {
            EXPECT_TRUE(texts.empty());
        }
        EXPECT_TRUE(std::filesystem::is_empty(m_folder));
    }
}

TEST_F(DiagnosticsCommandTest, ACancelledSaveWritesNothingAndAFileThatCannotBeCreatedOrWrittenIsNamed) {
    Start();
    Memlog log(2, 0);
    log.Set(0, "Ent0", 0, 0, 0);
    m_fake->Reply(IOCTL_TINDALOFT_GET_MEMLOG, log.Bytes());

    win32::QueueModalAnswer(win32::ModalKind::File, IDCANCEL);
    Command(ID_HELP_SAVEDIAGNOSTICS);
    EXPECT_TRUE(apptest::AppStarter::TakeBoxes().empty());
    EXPECT_TRUE(std::filesystem::is_empty(m_folder));

    const std::string missing = PathOf("no-such-folder\\diag.csv");
    win32::QueueFileDialogChoice(missing);
    win32::QueueModalAnswer(win32::ModalKind::MessageBox, IDOK);
    Command(ID_HELP_SAVEDIAGNOSTICS);
    EXPECT_EQ(apptest::AppStarter::TakeBoxTexts(), std::vector<std::string>{"Failed to open:\n" + missing});

    // A file whose writes fail (a full disk) is told of, and the program goes on; the user was asked before it
    // was replaced.
    std::filesystem::create_symlink("/dev/full", m_folder / "full.csv");
    win32::QueueFileDialogChoice(PathOf("full.csv"));
    win32::QueueModalAnswer(win32::ModalKind::MessageBox, IDYES, "replace");
    win32::QueueModalAnswer(win32::ModalKind::MessageBox, IDOK);
    Command(ID_HELP_SAVEDIAGNOSTICS);
    EXPECT_EQ(apptest::AppStarter::TakeBoxTexts(),
              (std::vector<std::string>{"full.csv already exists.\nDo you want to replace it?",
                                        "Failed to write:\n" + PathOf("full.csv")}));
}

} // namespace
