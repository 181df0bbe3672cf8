// The capture log file: the exact bytes of a save, a save loaded back (records mapped from the file, not
// read), the linear form of two banks in use, files that must be refused without harm, and the save's
// progress window (cancel, quit, success, closing by itself, how many records a file of two banks kept).
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "NtControl.h"
#include "NtPnpControl.h"
#include "WinCommonControls.h"
#include "WinUiControl.h"
#include "app/core/app/Resource.h"
#include "app/core/document/USBLog.h"
#include "app/core/filters/FilterDefinition.h"
#include "app/core/records/LogRecords.h"
#include "app/core/settings/AppSettings.h"
#include "app/devices/System.h"
#include "common/ControlCodes.h"
#include "common/RecordTags.h"
#include "tests/app/core/ArchiveBytes.h"
#include "tests/support/AppStarter.h"
#include "tests/support/FakeControlDevice.h"
#include "tests/support/RecordBuilder.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

constexpr DWORD kCapacity = 4096;

Bytes ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const fs::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

template <class T> void Put(Bytes& bytes, T value) {
    const auto* p = reinterpret_cast<const uint8_t*>(&value);
    bytes.insert(bytes.end(), p, p + sizeof value);
}

template <class T> void PutAt(Bytes& bytes, size_t at, T value) {
    std::memcpy(bytes.data() + at, &value, sizeof value);
}

Bytes Record(ULONG tag, ULONG sequence, size_t payload = 0, LONGLONG timeStamp = 0) {
    tdl::test::RecordBuilder builder(tag);
    builder.Sequence(sequence).TimeStamp(timeStamp != 0 ? timeStamp : 1000 + sequence);
    Bytes part(payload, static_cast<uint8_t>(sequence));
    if (payload != 0)
        builder.Part1(part);
    return builder.Build();
}

// The bytes of every record of a document's list, in list order.
std::vector<Bytes> ListBytes(const CUSBLog& doc) {
    std::vector<Bytes> list;
    const LogRecords::CLogRecords* records = doc.GetLogRecords();
    for (INT_PTR i = 0; i < records->GetCount(); ++i) {
        const auto* p = reinterpret_cast<const uint8_t*>(records->GetAt(i));
        list.emplace_back(p, p + LogRecords::CLogRecords::RecordSize(records->GetAt(i)));
    }
    return list;
}

// The status line of a save window.
std::string StatusOf(HWND hwnd) {
    char text[256] = {};
    ::GetDlgItemTextA(hwnd, IDC_PROGRESS_STATUS, text, sizeof text);
    return text;
}

class CaptureFileTest : public testing::Test {
protected:
    void SetUp() override {
        nt::ResetKernelState();
        // A driver that sees no stack and no driver: the fake's lists are empty until a test scripts them.
        m_fake = std::make_unique<tdl::test::FakeControlDevice>();
        CTindaloftApp& app = m_starter.Make();
        app.m_strMachineName = "ada@bench";
        app.m_Settings.MaxLogBuffer = kCapacity;
        app.m_Settings.ContinuousLogging = false;
        app.m_Settings.AutoCloseProgress = true;
        app.m_Settings.DetailsFontSize = 11;
        app.m_DriverInfo.LogBlockSize = 1024;
        m_dir = fs::temp_directory_path() / ("tdl-capfile-" + std::to_string(::getpid()));
        fs::create_directories(m_dir);
        m_live = std::make_unique<CMultiDocTemplate>(IDR_TDLOFT_REALTIME, RUNTIME_CLASS(CUSBLog), nullptr, nullptr);
        m_saved = std::make_unique<CMultiDocTemplate>(IDR_TDLOFT_TYPE, RUNTIME_CLASS(CUSBLog), nullptr, nullptr);
    }
    void TearDown() override {
        for (auto& [pTemplate, doc] : m_docs) {
            pTemplate->RemoveDocument(doc);
            delete doc;
        }
        m_docs.clear();
        m_live.reset();
        m_saved.reset();
        std::error_code ignored;
        fs::remove_all(m_dir, ignored);
        m_fake.reset();
        nt::pnp::Shutdown();
    }

    CUSBLog* Adopt(CMultiDocTemplate* pTemplate, CUSBLog* doc) {
        pTemplate->AddDocument(doc);
        m_docs.emplace_back(pTemplate, doc);
        return doc;
    }
    void Drop(CUSBLog* doc) {
        for (auto it = m_docs.begin(); it != m_docs.end(); ++it) {
            if (it->second == doc) {
                it->first->RemoveDocument(doc);
                delete doc;
                m_docs.erase(it);
                return;
            }
        }
    }

    // A new live document, set up as the framework sets one up.
    CUSBLog* NewLive() {
        CUSBLog* doc = Adopt(m_live.get(), new CUSBLog);
        EXPECT_TRUE(doc->OnNewDocument());
        return doc;
    }
    // Bytes read from the driver into the current bank, indexed as the list view indexes them.
    static void Capture(CUSBLog& doc, const std::vector<Bytes>& records) {
        Bytes block;
        for (const Bytes& record : records)
            tdl::test::AppendRecord(block, record);
        LogRecords::CLogRecords* store = doc.GetLogRecords();
        BYTE* at = nullptr;
        DWORD left = 0;
        if (!store->GetWriteSpace(at, left)) {
            store->SwitchBanks(&doc);
            ASSERT_TRUE(store->GetWriteSpace(at, left));
        }
        ASSERT_LE(block.size(), left);
        std::memcpy(at, block.data(), block.size());
        store->AdvanceWrite(static_cast<DWORD>(block.size()));
        BOOL triggered = FALSE;
        doc.ProcessCaptureFragment(at, static_cast<DWORD>(block.size()), triggered);
    }
    // Opens a file as the framework opens a saved log; null when the open fails.
    CUSBLog* Open(const fs::path& path) {
        CUSBLog* doc = Adopt(m_saved.get(), new CUSBLog);
        if (!doc->OnOpenDocument(path.string().c_str())) {
            Drop(doc);
            return nullptr;
        }
        return doc;
    }
    // The live document saved with three records, the first a log start.
    fs::path SavedThree(const char* name = "three.tdloft") {
        CUSBLog* doc = NewLive();
        Capture(*doc, {Record(LogTag::atsL, 1), Record(LogTag::urbI, 2, 8), Record(LogTag::urbC, 3, 16)});
        const fs::path path = m_dir / name;
        EXPECT_TRUE(doc->OnSaveDocument(path.string().c_str()));
        // One live capture at a time: its banks are the machine's.
        Drop(doc);
        return path;
    }

    std::unique_ptr<tdl::test::FakeControlDevice> m_fake;
    apptest::AppStarter m_starter;
    fs::path m_dir;
    std::unique_ptr<CMultiDocTemplate> m_live;
    std::unique_ptr<CMultiDocTemplate> m_saved;
    std::vector<std::pair<CMultiDocTemplate*, CUSBLog*>> m_docs;
};

TEST_F(CaptureFileTest, SaveWritesTheFileFieldByFieldAndZerosBehindTheLastRecord) {
    CUSBLog* doc = NewLive();
    // The bank still holds bytes of an earlier, cleared session.
    BYTE* bank = nullptr;
    DWORD left = 0;
    doc->GetLogRecords()->GetWriteSpace(bank, left);
    std::memset(bank, 0xAB, left);
    const std::vector<Bytes> records = {Record(LogTag::atsL, 1, 0, 777), Record(LogTag::urbI, 2, 8),
                                        Record(LogTag::urbC, 4, 12)};
    Capture(*doc, records);
    doc->SetStartTime(1700000000);

    Bytes expected = {'T', 'd', 'l', 'o'};
    Put<WORD>(expected, 0xFFFF);
    Put<WORD>(expected, 12);
    Put<WORD>(expected, 7);
    expected.insert(expected.end(), {'C', 'U', 'S', 'B', 'L', 'o', 'g'});
    expected.push_back(9);
    expected.insert(expected.end(), {'a', 'd', 'a', '@', 'b', 'e', 'n', 'c', 'h'});
    const CString os = doc->GetOSDescription();
    ASSERT_LT(os.GetLength(), 255);
    expected.push_back(static_cast<uint8_t>(os.GetLength()));
    expected.insert(expected.end(), static_cast<LPCSTR>(os), static_cast<LPCSTR>(os) + os.GetLength());
    Put<DWORD>(expected, doc->GetOSValue());
    Put<WORD>(expected, doc->GetProcessorArchitecture());
    Put<DWORD>(expected, 0x8000000A);
    Put<LONGLONG>(expected, 1700000000);
    expected.push_back(doc->GetVersionMajor());
    expected.push_back(doc->GetVersionMinor());
    Put<WORD>(expected, doc->GetVersionThird());
    Put<WORD>(expected, doc->GetVersionFourth());
    const Bytes settings = apptest::Store(*doc->GetSettings());
    ASSERT_EQ(settings.size(), 39u);
    expected.insert(expected.end(), settings.begin(), settings.end());
    Put<DWORD>(expected, 0); // capture filter off
    Put<DWORD>(expected, 0); // trigger off
    Put<DWORD>(expected, 0); // trigger number
    Put<LONGLONG>(expected, doc->GetPerformanceFrequency());
    for (int i = 0; i < 4; ++i)
        Put<DWORD>(expected, 0); // stack tree, host controllers, attached devices, attached drivers: empty
    Put<DWORD>(expected, kCapacity);
    Put<DWORD>(expected, 3);
    Put<LONGLONG>(expected, 777);
    Put<DWORD>(expected, 0);
    Put<DWORD>(expected, static_cast<DWORD>(records[0].size()));
    Put<DWORD>(expected, static_cast<DWORD>(records[0].size() + records[1].size()));
    size_t used = 0;
    for (const Bytes& record : records) {
        expected.insert(expected.end(), record.begin(), record.end());
        used += record.size();
    }
    // The gap before sequence 4 is marked in the bank, so in the file too.
    std::memcpy(expected.data() + expected.size() - records[2].size(), "****", 4);
    expected.resize(expected.size() + kCapacity - used, 0);

    EXPECT_EQ(apptest::Store(*doc), expected);

    // No records: the whole bank, all zeros.
    doc->GetLogRecords()->RemoveAll();
    const Bytes empty = apptest::Store(*doc);
    ASSERT_GE(empty.size(), kCapacity + 16);
    const size_t header = empty.size() - kCapacity - 16;
    DWORD capacity = 0;
    DWORD count = 1;
    std::memcpy(&capacity, empty.data() + header, 4);
    std::memcpy(&count, empty.data() + header + 4, 4);
    EXPECT_EQ(capacity, kCapacity);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(Bytes(empty.begin() + static_cast<std::ptrdiff_t>(header + 16), empty.end()), Bytes(kCapacity, 0));
}

TEST_F(CaptureFileTest, LoadedLogEqualsTheSavedSessionWithItsRecordsMappedAndTalksToNoDriver) {
    tdl::test::FakeControlDevice& fake = *m_fake;
    CUSBLog* live = NewLive();
    CTindaloftApp& app = m_starter.App();
    app.m_Settings.CaptureBulk = true;
    app.m_Settings.BulkMaxSize = 333;
    auto* filter = new CFilterDefinition;
    filter->Enable(2);
    live->SetCaptureFilter(filter);
    live->SetCaptureFilterOn(TRUE);
    auto* trigger = new CFilterDefinition;
    for (size_t offset : {3, 4, 294}) // completed URBs of function 0 with a good status
        trigger->Enable(offset);
    live->SetTrigger(trigger);
    live->SetTriggerOn(TRUE);
    live->SetLogging(TRUE);
    live->SetStartTime(1234567);
    Capture(*live, {Record(LogTag::atsL, 5, 0, 4242), Record(LogTag::urbI, 6, 24), Record(LogTag::urbC, 9, 40),
                    Record(LogTag::urbI, 10, 0), Record(LogTag::dneL, 11)});
    live->SetLogging(FALSE);
    const std::vector<Bytes> saved = ListBytes(*live);
    const fs::path path = m_dir / "round.tdloft";
    ASSERT_TRUE(live->OnSaveDocument(path.string().c_str()));

    fake.ClearRequests();
    CUSBLog* loaded = Open(path);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(ListBytes(*loaded), saved);
    EXPECT_EQ(std::memcmp(saved[2].data(), "****", 4), 0);
    const LogRecords::CLogRecords* records = loaded->GetLogRecords();
    EXPECT_EQ(records->GetTimeOrigin(), 4242);
    EXPECT_EQ(records->GetLatestStart(), 4242);
    EXPECT_EQ(loaded->GetRecordSchema(), 12u);
    // Mapped from the file, not copied: every record lies in the one read-only bank over the file.
    const auto* bank = records->GetCaptureBuffer()->GetBank(0);
    for (INT_PTR i = 0; i < records->GetCount(); ++i)
        EXPECT_TRUE(bank->Holds(records->GetAt(i), LogRecords::CLogRecords::RecordSize(records->GetAt(i)))) << i;
    EXPECT_EQ(records->GetCaptureBuffer()->GetBank(1), nullptr);

    EXPECT_EQ(apptest::Store(*loaded->GetSettings()), apptest::Store(app.m_Settings));
    EXPECT_NE(loaded->GetSettings(), &app.m_Settings);
    ASSERT_NE(loaded->GetCaptureFilter(), nullptr);
    EXPECT_TRUE(loaded->IsCaptureFilterOn());
    EXPECT_EQ(apptest::Store(*loaded->GetCaptureFilter()), apptest::Store(*filter));
    ASSERT_NE(loaded->GetTrigger(), nullptr);
    EXPECT_TRUE(loaded->IsTriggerOn());
    EXPECT_EQ(apptest::Store(*loaded->GetTrigger()), apptest::Store(*trigger));
    EXPECT_EQ(loaded->GetTriggerSequenceNumber(), live->GetTriggerSequenceNumber());
    EXPECT_EQ(loaded->GetTriggerSequenceNumber(), 9u);
    EXPECT_STREQ(loaded->GetOSDescription(), live->GetOSDescription());
    EXPECT_EQ(loaded->GetOSValue(), live->GetOSValue());
    EXPECT_EQ(loaded->GetProcessorArchitecture(), live->GetProcessorArchitecture());
    EXPECT_EQ(loaded->GetStartTime(), 1234567);
    EXPECT_EQ(loaded->GetVersionMajor(), live->GetVersionMajor());
    EXPECT_EQ(loaded->GetVersionFourth(), live->GetVersionFourth());
    EXPECT_EQ(loaded->GetPerformanceFrequency(), live->GetPerformanceFrequency());
    ASSERT_NE(loaded->GetHostSystem(), nullptr);
    EXPECT_STREQ(loaded->GetHostSystem()->GetName(), "ada@bench");
    EXPECT_EQ(loaded->GetConnectionTree().get().m_pElemObject, loaded->GetHostSystem());
    EXPECT_TRUE(loaded->IsDeviceModelLoaded());

    // A saved log written again (its bank is the file's) reads back the same.
    const fs::path again = m_dir / "again.tdloft";
    WriteFile(again, apptest::Store(*loaded));
    CUSBLog* reloaded = Open(again);
    ASSERT_NE(reloaded, nullptr);
    EXPECT_EQ(ListBytes(*reloaded), saved);
    EXPECT_EQ(fs::file_size(again), fs::file_size(path));

    loaded->DeleteContents();
    Drop(loaded);
    Drop(reloaded);
    EXPECT_TRUE(fake.Requests().empty());
}

TEST_F(CaptureFileTest, BothBanksInUseSaveTheNewestRecordsThatFitOneCapacity) {
    m_starter.App().m_Settings.ContinuousLogging = true;
    CUSBLog* doc = NewLive();
    // 100-byte records: 31 of them pass the older bank's high-water mark (3072), 20 go into the current bank.
    ULONG sequence = 1;
    std::vector<Bytes> older;
    for (int i = 0; i < 31; ++i)
        older.push_back(Record(LogTag::urbI, sequence++, 32));
    Capture(*doc, older);
    std::vector<Bytes> current;
    for (int i = 0; i < 20; ++i)
        current.push_back(Record(LogTag::urbI, sequence++, 32));
    Capture(*doc, current);
    ASSERT_EQ(doc->GetLogRecords()->GetCurrentBank(), 1);
    ASSERT_EQ(doc->GetLogRecords()->GetBankCount(0), 31);

    // Used 2000 bytes of the current bank: 2096 are left. The older records end at byte 3100 of their bank (the
    // bank switched before it was full), so those from byte 1100 on (the last 20) fit.
    std::vector<Bytes> expected(older.end() - 20, older.end());
    expected.insert(expected.end(), current.begin(), current.end());
    const Bytes file = apptest::Store(*doc);
    const size_t data = file.size() - 2000 - 2000;
    DWORD count = 0;
    std::memcpy(&count, file.data() + data - 4 * 40 - 12, 4);
    EXPECT_EQ(count, 40u);
    DWORD firstCurrent = 0;
    std::memcpy(&firstCurrent, file.data() + data - 4 * 20, 4);
    EXPECT_EQ(firstCurrent, 2000u); // rebased behind the older run

    const fs::path path = m_dir / "linear.tdloft";
    ASSERT_TRUE(doc->OnSaveDocument(path.string().c_str()));
    CUSBLog* loaded = Open(path);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(ListBytes(*loaded), expected);
}

TEST_F(CaptureFileTest, ASaveOfTwoBanksThatKeepsFewerRecordsThanTheListSaysHowManyItKept) {
    const struct Case {
        const char* name;
        DWORD capacity;
        int older;   // records captured first; more than fill a bank to its high-water mark switch the banks
        int current; // records captured after the switch
        size_t payload;
        bool bufferFilter;
        INT_PTR saved;
        const char* text;
    } cases[] = {
        {"one bank in use", kCapacity, 10, 0, 32, false, 10, "File saved successfully!"},
        // 3100 bytes of the older bank and 900 of the current one fit a capacity of 4096.
        {"both banks, all fit", kCapacity, 31, 9, 32, false, 40, "File saved successfully!"},
        {"both banks, the oldest dropped", kCapacity, 31, 20, 32, false, 40,
         "File saved: 40 of the 51 records shown (a capture file holds one capture bank, the newest records)"},
        // The list shows fewer than the store holds; the file keeps records of all of them.
        {"buffer filter on", kCapacity, 31, 20, 32, true, 40,
         "File saved: 40 of the 51 records captured (a capture file holds one capture bank, the newest records)"},
        // 68-byte records: 1913 pass the high-water mark of 130,048; 1000 used leave 63,072 bytes, the older
        // records from byte 67,048 of their bank on.
        {"thousands", 131072, 1913, 1000, 0, false, 1927,
         "File saved: 1,927 of the 2,913 records shown (a capture file holds one capture bank, the newest records)"},
    };
    m_starter.App().m_Settings.ContinuousLogging = true;
    m_starter.App().m_Settings.AutoCloseProgress = false;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_starter.App().m_Settings.MaxLogBuffer = c.capacity;
        CUSBLog* doc = NewLive();
        ULONG sequence = 1;
        for (const int count : {c.older, c.current}) {
            std::vector<Bytes> records;
            for (int i = 0; i < count; ++i)
                records.push_back(Record(LogTag::urbI, sequence++, c.payload));
            if (!records.empty())
                Capture(*doc, records);
        }
        ASSERT_EQ(doc->GetLogRecords()->GetCurrentBank(), c.current != 0 ? 1 : 0);
        ASSERT_EQ(doc->GetLogRecords()->GetCount(), c.older + c.current);
        doc->SetBufferFilterOn(c.bufferFilter ? TRUE : FALSE);
        const std::vector<Bytes> listed = ListBytes(*doc);

        const fs::path path = m_dir / "kept.tdloft";
        ASSERT_TRUE(doc->OnSaveDocument(path.string().c_str()));
        HWND hSave = ::FindWindowA(nullptr, "Saving ...");
        ASSERT_NE(hSave, nullptr);
        EXPECT_EQ(StatusOf(hSave), c.text);
        ::SendMessageA(::GetDlgItem(hSave, IDOK), BM_CLICK, 0, 0);
        doc->SetBufferFilterOn(FALSE);
        Drop(doc);

        // The file holds the count the text gave: the newest records of the list.
        CUSBLog* loaded = Open(path);
        ASSERT_NE(loaded, nullptr);
        EXPECT_EQ(loaded->GetLogRecords()->GetCount(), c.saved);
        EXPECT_EQ(ListBytes(*loaded), std::vector<Bytes>(listed.end() - c.saved, listed.end()));
        Drop(loaded);
    }
}

struct Damage {
    const char* name;
    std::function<void(Bytes&, size_t records)> apply; // `records`: where the record part starts
};

TEST_F(CaptureFileTest, DamagedOrForeignFilesAreRefusedWithoutHarm) {
    const fs::path good = SavedThree();
    const Bytes original = ReadFile(good);
    // Three offsets and a whole bank behind the record part's 16 bytes.
    const size_t part = original.size() - kCapacity - 12 - 16;
    const size_t offsets = part + 16;
    const std::vector<Damage> cases = {
        {"schema 8", [](Bytes& b, size_t) { PutAt<WORD>(b, 6, 8); }},
        {"another class", [](Bytes& b, size_t) { b[16] = 'h'; }},
        {"not a new class", [](Bytes& b, size_t) { PutAt<WORD>(b, 4, 0x8001); }},
        {"count beyond the file", [](Bytes& b, size_t p) { PutAt<DWORD>(b, p + 4, 0x40000000); }},
        {"offset past the data", [&](Bytes& b, size_t) { PutAt<DWORD>(b, offsets + 4, kCapacity - 67); }},
        {"offset far past the data", [&](Bytes& b, size_t) { PutAt<DWORD>(b, offsets + 8, 0xFFFFFFF0u); }},
        {"data size past the data",
         [&](Bytes& b, size_t) { PutAt<ULONG>(b, offsets + 12 + 68 + offsetof(_LOGHDR, DataSize), 0xFFFFFFF0u); }},
    };
    const fs::path path = m_dir / "damaged.tdloft";
    for (const Damage& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes bytes = original;
        c.apply(bytes, part);
        WriteFile(path, bytes);
        win32::ClearModalRequests();
        EXPECT_EQ(Open(path), nullptr);
    }
    // Cut anywhere before its data region, a file is refused.
    for (size_t length = 0; length < offsets + 12; ++length) {
        WriteFile(path, Bytes(original.begin(), original.begin() + static_cast<std::ptrdiff_t>(length)));
        ASSERT_EQ(Open(path), nullptr) << length;
    }

    // The older format: told, and refused.
    Bytes older = original;
    std::memcpy(older.data(), "TLft", 4);
    WriteFile(path, older);
    win32::ClearModalRequests();
    EXPECT_EQ(Open(path), nullptr);
    ASSERT_FALSE(win32::ModalRequests().empty());
    EXPECT_EQ(win32::ModalRequests().front().text, "This log file is not compatible with this version of Tindaloft.");

    // Any other magic with a good class reference is read.
    Bytes foreign = original;
    std::memcpy(foreign.data(), "XYZW", 4);
    WriteFile(path, foreign);
    CUSBLog* loaded = Open(path);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->GetLogRecords()->GetCount(), 3);
}

// A window of the test's that presses a button of the save window when the save's pump reaches it.
class SaveWindowPresser {
public:
    explicit SaveWindowPresser(int button) : m_button(button) {
        WNDCLASSA wc{};
        wc.lpfnWndProc = &SaveWindowPresser::Proc;
        wc.lpszClassName = "TdlSavePresser";
        ::RegisterClassA(&wc);
        m_hwnd = ::CreateWindowExA(0, "TdlSavePresser", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
        ::SetWindowLongPtrA(m_hwnd, GWLP_USERDATA, m_button);
    }
    ~SaveWindowPresser() { ::DestroyWindow(m_hwnd); }
    void PressDuringTheSave() const { ::PostMessageA(m_hwnd, WM_APP + 40, 0, 0); }

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_APP + 40) {
            HWND hSave = ::FindWindowA(nullptr, "Saving ...");
            if (hSave != nullptr)
                ::SendMessageA(::GetDlgItem(hSave, static_cast<int>(::GetWindowLongPtrA(hwnd, GWLP_USERDATA))),
                               BM_CLICK, 0, 0);
            return 0;
        }
        return ::DefWindowProcA(hwnd, message, wParam, lParam);
    }
    int m_button;
    HWND m_hwnd = nullptr;
};

TEST_F(CaptureFileTest, CancelledSaveKeepsTheEarlierFileAndSaysSoInItsWindow) {
    CUSBLog* doc = NewLive();
    Capture(*doc, {Record(LogTag::urbI, 1), Record(LogTag::urbI, 2)});
    const fs::path path = m_dir / "kept.tdloft";
    const Bytes earlier = {'e', 'a', 'r', 'l', 'i', 'e', 'r'};
    WriteFile(path, earlier);
    const CString title = doc->GetTitle();
    doc->SetModifiedFlag(TRUE);

    SaveWindowPresser cancel(IDCANCEL);
    cancel.PressDuringTheSave();
    EXPECT_FALSE(doc->DoSave(path.string().c_str()));

    EXPECT_EQ(ReadFile(path), earlier);
    EXPECT_EQ(std::distance(fs::directory_iterator(m_dir), fs::directory_iterator()), 1);
    EXPECT_TRUE(doc->GetPathName().IsEmpty());
    EXPECT_EQ(doc->GetTitle(), title);
    EXPECT_TRUE(doc->IsModified());
    // The window stays, even with AutoCloseProgress, and says what happened; OK closes it.
    HWND hSave = ::FindWindowA(nullptr, "Saving ... Canceled!");
    ASSERT_NE(hSave, nullptr);
    EXPECT_EQ(StatusOf(hSave), "File save canceled!");
    EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(hSave, IDCANCEL)));
    EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(hSave, IDOK)));
    ::SendMessageA(::GetDlgItem(hSave, IDOK), BM_CLICK, 0, 0);
    EXPECT_FALSE(::IsWindow(hSave));
}

TEST_F(CaptureFileTest, QuitDuringTheSaveEndsTheSaveAndStillEndsTheApplication) {
    CUSBLog* doc = NewLive();
    Capture(*doc, {Record(LogTag::urbI, 1)});
    const fs::path path = m_dir / "quit.tdloft";
    ::PostQuitMessage(0);
    EXPECT_FALSE(doc->OnSaveDocument(path.string().c_str()));
    EXPECT_FALSE(fs::exists(path));
    MSG msg;
    ASSERT_TRUE(::PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    HWND hSave = ::FindWindowA(nullptr, "Saving ... Canceled!");
    ASSERT_NE(hSave, nullptr);
    ::DestroyWindow(hSave);
}

TEST_F(CaptureFileTest, SuccessfulSaveClosesItsWindowOnlyWhenAskedTo) {
    for (const bool autoClose : {true, false}) {
        SCOPED_TRACE(autoClose ? "AutoCloseProgress" : "no AutoCloseProgress");
        m_starter.App().m_Settings.AutoCloseProgress = autoClose;
        SavedThree();
        HWND hSave = ::FindWindowA(nullptr, "Saving ...");
        if (autoClose) {
            EXPECT_EQ(hSave, nullptr);
            continue;
        }
        ASSERT_NE(hSave, nullptr);
        EXPECT_EQ(StatusOf(hSave), "File saved successfully!");
        EXPECT_EQ(::SendMessageA(::GetDlgItem(hSave, IDC_PROGRESS_BAR), PBM_GETPOS, 0, 0), 100);
        char path[MAX_PATH] = {};
        ::GetDlgItemTextA(hSave, IDC_PROGRESS_PATH, path, sizeof path);
        EXPECT_EQ(std::string(path), (m_dir / "three.tdloft").string());
        ::SendMessageA(::GetDlgItem(hSave, IDOK), BM_CLICK, 0, 0);
        EXPECT_FALSE(::IsWindow(hSave));
    }
}

TEST_F(CaptureFileTest, SavingOverAMappedLogLeavesItsRecordsReadable) {
    const fs::path path = SavedThree("shared.tdloft");
    CUSBLog* loaded = Open(path);
    ASSERT_NE(loaded, nullptr);
    const std::vector<Bytes> before = ListBytes(*loaded);

    CUSBLog* live = NewLive();
    Capture(*live, {Record(LogTag::urbI, 50, 200), Record(LogTag::urbC, 51, 300)});
    ASSERT_TRUE(live->OnSaveDocument(path.string().c_str()));

    EXPECT_EQ(ListBytes(*loaded), before);
    CUSBLog* again = Open(path);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->GetLogRecords()->GetCount(), 2);
}

} // namespace
