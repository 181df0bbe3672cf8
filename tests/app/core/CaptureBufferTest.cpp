// Capture banks: named sections with their mutexes, write space and switching, saved files mapped read-only,
// and what a bank and a pair store in an archive.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <fstream>
#include <future>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "WinUiControl.h"
#include "app/core/capture/CapturePair.h"
#include "tests/app/core/ArchiveBytes.h"
#include "tests/platform/win32/Win32TestSupport.h"
#include "tests/support/UiFixture.h"

namespace {

using apptest::Store;
using CaptureBuffer::CCaptureBuffer;
using CaptureBuffer::CCapturePair;
using CaptureBuffer::CMemMapFile;
using win32::test::TempFolder;

constexpr DWORD kBankSize = 4096;
constexpr DWORD kReserve = 1024;

constexpr char kAllocateFailed[] = "Failed to allocate memory map.\n";
constexpr char kMutexFailed[] = "Failed to acquire memory-map mutex.\n";
constexpr char kLoadFailed[] = "Failed to load memory-mapped log file.\n";
constexpr char kLockFailed[] = "Failed to acquire memory map.\n";

// Every message box a test does not expect fails it.
class CaptureBanks : public tdl::test::UiTest {
protected:
    // An OK for each box the next steps should show, in order.
    static void ExpectBoxes(std::initializer_list<const char*> texts) {
        for (const char* text : texts)
            win32::QueueModalAnswer(win32::ModalKind::MessageBox, IDOK, text);
    }
    // The texts of the boxes shown since the last call; each must be a stop box with the program's title and
    // no owner.
    static std::vector<std::string> Boxes() {
        std::vector<std::string> texts;
        for (const win32::ModalRequest& request : win32::ModalRequests()) {
            EXPECT_EQ(win32::ModalKind::MessageBox, request.kind);
            EXPECT_EQ("Tindaloft", request.caption);
            EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONSTOP), request.style);
            EXPECT_EQ(nullptr, request.owner);
            texts.push_back(request.text);
        }
        win32::ClearModalRequests();
        return texts;
    }
    using Texts = std::vector<std::string>;
};

bool SectionExists(LPCSTR name) {
    HANDLE h = OpenFileMappingA(FILE_MAP_READ, FALSE, name);
    if (h)
        CloseHandle(h);
    return h != nullptr;
}

bool MutexExists(LPCSTR name) {
    HANDLE h = OpenMutexA(SYNCHRONIZE, FALSE, name);
    if (h)
        CloseHandle(h);
    return h != nullptr;
}

// Holds a named mutex on a thread of its own until Release; a mutex belongs to the thread that took it.
class MutexHolder {
public:
    explicit MutexHolder(LPCSTR name) {
        auto takenFuture = taken_.get_future();
        thread_ = std::thread([this, name = std::string(name)] {
            HANDLE mutex = OpenMutexA(SYNCHRONIZE, FALSE, name.c_str());
            EXPECT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), WaitForSingleObject(mutex, INFINITE));
            taken_.set_value();
            release_.get_future().wait();
            if (!abandon_)
                ReleaseMutex(mutex);
            CloseHandle(mutex);
        });
        takenFuture.wait();
    }
    ~MutexHolder() { Release(); }
    // Ends the holding thread; abandoning leaves the mutex unreleased as the thread ends.
    void Release(bool abandon = false) {
        if (!thread_.joinable())
            return;
        abandon_ = abandon;
        release_.set_value();
        thread_.join();
    }

private:
    std::promise<void> taken_;
    std::promise<void> release_;
    bool abandon_ = false;
    std::thread thread_;
};

void WriteHostFile(const std::string& path, const std::vector<BYTE>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<BYTE> Pattern(size_t size) {
    std::vector<BYTE> bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<BYTE>(i * 7 + i / 251);
    return bytes;
}

TEST(MemMapFile, ObjectNamesReplaceBackslashesAndUpperCase) {
    const struct {
        LPCSTR name;
        LPCSTR objectName;
    } rows[] = {{"Bank0", "BANK0"}, {"C:\\Logs\\a.tdloft", "C:_LOGS_A.TDLOFT"}, {"", ""}, {nullptr, ""}};
    for (const auto& row : rows)
        EXPECT_STREQ(row.objectName, CMemMapFile::ObjectNameFor(row.name).GetString()) << row.objectName;
}

TEST_F(CaptureBanks, PairCreatesNamedBanksAndRecreatesThemAfterClose) {
    const size_t handlesBefore = win32::OpenHandleCount();
    {
        CCapturePair pair;
        ASSERT_TRUE(pair.Create(kBankSize, kReserve));
        for (LPCSTR name : {"BANK0", "BANK1"})
            EXPECT_TRUE(SectionExists(name)) << name;
        for (LPCSTR name : {"BANK0MUTEX", "BANK1MUTEX"})
            EXPECT_TRUE(MutexExists(name)) << name;

        CCaptureBuffer* bank0 = pair.GetBank(0);
        ASSERT_NE(nullptr, bank0);
        EXPECT_STREQ("BANK0", bank0->GetObjectName().GetString());
        EXPECT_FALSE(bank0->IsReadOnly());
        BYTE* base = bank0->GetBase();
        EXPECT_EQ(bank0->GetView(), base);
        EXPECT_EQ(base, bank0->GetCurrent());
        EXPECT_EQ(base + kBankSize, bank0->GetEnd());
        EXPECT_EQ(base + kBankSize - kReserve, bank0->GetHighWater());
        EXPECT_NE(base, pair.GetBankBase(1));

        // A second Create keeps the bank as it is: same section, same pointers, same write position.
        pair.Advance(100);
        EXPECT_TRUE(bank0->Create("Bank0", 2 * kBankSize, 0));
        EXPECT_TRUE(pair.Create(kBankSize, kReserve));
        EXPECT_EQ(base, bank0->GetBase());
        EXPECT_EQ(base + 100, bank0->GetCurrent());
        EXPECT_EQ(base + kBankSize - kReserve, bank0->GetHighWater());

        // Close unmaps both banks and drops their names and pointers; the bank objects stay.
        base[0] = 0x5A;
        pair.Close();
        EXPECT_FALSE(pair.HasSection());
        EXPECT_FALSE(SectionExists("BANK0"));
        EXPECT_FALSE(SectionExists("BANK1"));
        EXPECT_EQ(bank0, pair.GetBank(0));
        EXPECT_EQ(nullptr, pair.GetBankBase(0));
        EXPECT_EQ(nullptr, pair.GetBankEnd(1));

        // Created again: new, empty sections under the same names.
        ASSERT_TRUE(pair.Create(kBankSize, kReserve));
        EXPECT_TRUE(SectionExists("BANK0"));
        EXPECT_EQ(0, pair.GetBankBase(0)[0]);
        EXPECT_EQ(pair.GetBankBase(0), pair.GetBankCurrent(0));
    }
    EXPECT_FALSE(SectionExists("BANK0"));
    EXPECT_EQ(handlesBefore, win32::OpenHandleCount());
}

TEST_F(CaptureBanks, AForeignSectionOfTheBanksNameIsNeverUsed) {
    // Another object of the session made "BANK0" first, smaller than a bank: writing a bank's worth of bytes
    // into it would run past its end.
    HANDLE foreign = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 100, "BANK0");
    ASSERT_NE(nullptr, foreign);
    const size_t handlesBefore = win32::OpenHandleCount();
    {
        CCapturePair pair;
        ExpectBoxes({kAllocateFailed, kAllocateFailed});
        EXPECT_FALSE(pair.Create(kBankSize, kReserve));
        EXPECT_EQ(nullptr, pair.GetBank(0));
        EXPECT_EQ(nullptr, pair.GetBank(1));
        EXPECT_FALSE(SectionExists("BANK1"));

        CCaptureBuffer bank;
        EXPECT_FALSE(bank.Create("bank0", kBankSize, kReserve)); // the same object name
        EXPECT_FALSE(bank.HasMapping());
        EXPECT_EQ(nullptr, bank.GetBase());
        EXPECT_EQ((Texts{kAllocateFailed, kAllocateFailed}), Boxes());
    }
    EXPECT_EQ(handlesBefore, win32::OpenHandleCount());
    CloseHandle(foreign);

    CCapturePair pair;
    EXPECT_TRUE(pair.Create(kBankSize, kReserve));
}

TEST_F(CaptureBanks, ABankWhoseMutexCannotBeMadeIsNotLeftHalfMade) {
    // "BANK0MUTEX" taken by an object of another type: the bank cannot have its mutex.
    HANDLE squatter = CreateEventA(nullptr, TRUE, FALSE, "BANK0MUTEX");
    ASSERT_NE(nullptr, squatter);
    CCaptureBuffer bank;
    ExpectBoxes({kMutexFailed, kMutexFailed});
    for (int attempt = 0; attempt < 2; ++attempt) {
        EXPECT_FALSE(bank.Create("Bank0", kBankSize, kReserve));
        EXPECT_FALSE(bank.HasMapping());
        EXPECT_EQ(nullptr, bank.GetBase());
        EXPECT_FALSE(SectionExists("BANK0"));
    }
    EXPECT_EQ((Texts{kMutexFailed, kMutexFailed}), Boxes());
    CloseHandle(squatter);
    ASSERT_TRUE(bank.Create("Bank0", kBankSize, kReserve));
    EXPECT_NE(nullptr, bank.GetBase());
}

TEST_F(CaptureBanks, LocksWaitForTheBanksMutexUnlessReadOnly) {
    TempFolder folder;
    WriteHostFile(folder.HostPath("log.bin"), Pattern(1000));
    CCaptureBuffer fileBank;
    ASSERT_TRUE(fileBank.OpenLogFile(folder.WinPath("log.bin").c_str(), 0, 1000));
    {
        // Nobody waits on a read-only bank's mutex, even when another thread holds it.
        MutexHolder holder("MUTEX");
        EXPECT_TRUE(fileBank.Lock(0));
        EXPECT_TRUE(fileBank.Unlock());
        EXPECT_FALSE(fileBank.Unlock());
    }

    CCapturePair pair;
    ASSERT_TRUE(pair.Create(kBankSize, kReserve));
    CCaptureBuffer* bank0 = pair.GetBank(0);
    pair.Advance(500);
    {
        MutexHolder holder("BANK0MUTEX");
        ExpectBoxes({kLockFailed});
        EXPECT_FALSE(pair.Lock(0));
        EXPECT_FALSE(bank0->IsLocked());
        EXPECT_EQ((Texts{kLockFailed}), Boxes());

        std::atomic<bool> resetDone = false;
        std::thread resetter([&] {
            bank0->Reset();
            resetDone = true;
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        EXPECT_FALSE(resetDone); // still waiting for the mutex
        EXPECT_EQ(bank0->GetBase() + 500, bank0->GetCurrent());
        holder.Release();
        resetter.join();
        EXPECT_TRUE(resetDone);
        EXPECT_EQ(bank0->GetBase(), bank0->GetCurrent());
    }
    EXPECT_TRUE(pair.Lock(0));
    EXPECT_TRUE(bank0->IsLocked());
    // Another thread's timed lock of the same bank fails while this one holds it, and takes nothing away.
    ExpectBoxes({kLockFailed});
    bool bOtherTook = true;
    std::thread([&] { bOtherTook = pair.Lock(0) != FALSE; }).join();
    EXPECT_FALSE(bOtherTook);
    EXPECT_EQ((Texts{kLockFailed}), Boxes());
    EXPECT_TRUE(bank0->IsLocked());
    EXPECT_TRUE(pair.Unlock());
    EXPECT_FALSE(pair.Unlock());

    // A holder that ends without releasing: the next lock (here a reset's) fails, and the mutex is not left
    // owned by anyone.
    {
        MutexHolder holder("BANK0MUTEX");
        holder.Release(/*abandon=*/true);
    }
    pair.Advance(10);
    ExpectBoxes({kMutexFailed});
    bank0->Reset();
    EXPECT_EQ((Texts{kMutexFailed}), Boxes());
    EXPECT_EQ(bank0->GetBase() + 10, bank0->GetCurrent());
    std::thread other([&] {
        HANDLE mutex = OpenMutexA(SYNCHRONIZE, FALSE, "BANK0MUTEX");
        EXPECT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), WaitForSingleObject(mutex, 0));
        ReleaseMutex(mutex);
        CloseHandle(mutex);
    });
    other.join();
    EXPECT_TRUE(pair.Lock(0));
    pair.Unlock();
}

TEST_F(CaptureBanks, WriteSpaceWithAndWithoutSwitching) {
    const struct {
        const char* name;
        bool switching;
        DWORD advance;
        bool granted;
        DWORD bytesLeft;
    } rows[] = {
        {"empty bank", false, 0, true, kBankSize},
        {"no switching: past the mark", false, kBankSize - 10, true, 10},
        {"no switching: full", false, kBankSize, true, 0},
        {"no switching: never past the end", false, kBankSize + 50, true, 0},
        {"switching: below the mark", true, 100, true, kBankSize - 100},
        {"switching: at the mark", true, kBankSize - kReserve, true, kReserve},
        {"switching: one byte beyond", true, kBankSize - kReserve + 1, false, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        CCapturePair pair;
        ASSERT_TRUE(pair.Create(kBankSize, kReserve));
        pair.SetSwitching(row.switching);
        pair.Advance(row.advance);
        BYTE* pointer = nullptr;
        DWORD bytes = 12345;
        EXPECT_EQ(row.granted, !!pair.GetWriteSpace(pointer, bytes));
        if (row.granted) {
            EXPECT_EQ(pair.GetBankEnd(0) - row.bytesLeft, pointer);
            EXPECT_EQ(row.bytesLeft, bytes);
        } else {
            EXPECT_EQ(nullptr, pointer); // left alone
            EXPECT_EQ(12345u, bytes);
        }
    }
}

TEST_F(CaptureBanks, SwitchingTakesTurnsAndResetsTheNewBank) {
    CCapturePair pair;
    ASSERT_TRUE(pair.Create(kBankSize, kReserve));
    pair.SetSwitching(TRUE);

    pair.Advance(kBankSize - kReserve);
    pair.SwitchBanks(nullptr); // at the mark: not yet
    EXPECT_EQ(0, pair.GetCurrentBank());

    pair.Advance(1);
    pair.SwitchBanks(nullptr);
    EXPECT_EQ(1, pair.GetCurrentBank());
    EXPECT_EQ(pair.GetBankBase(1), pair.GetBankCurrent(1));
    EXPECT_EQ(pair.GetBankBase(0) + kBankSize - kReserve + 1, pair.GetBankCurrent(0)); // the old bank's bytes stay

    BYTE* pointer = nullptr;
    DWORD bytes = 0;
    ASSERT_TRUE(pair.GetWriteSpace(pointer, bytes));
    EXPECT_EQ(pair.GetBankBase(1), pointer);
    pair.Advance(kBankSize);
    pair.SwitchBanks(nullptr);
    EXPECT_EQ(0, pair.GetCurrentBank());
    EXPECT_EQ(pair.GetBankBase(0), pair.GetBankCurrent(0));

    pair.Advance(10);
    pair.Reset();
    EXPECT_EQ(0, pair.GetCurrentBank());
    EXPECT_EQ(pair.GetBankBase(0), pair.GetBankCurrent(0));
    EXPECT_EQ(pair.GetBankBase(1), pair.GetBankCurrent(1));
}

TEST_F(CaptureBanks, OpenLogFileMapsTheFileReadOnlyFromTheOffset) {
    TempFolder folder;
    const std::vector<BYTE> bytes = Pattern(200000);
    WriteHostFile(folder.HostPath("log.bin"), bytes);
    const std::string path = folder.WinPath("log.bin");
    const size_t handlesBefore = win32::OpenHandleCount();

    const struct {
        DWORD offset, length, bankSize;
    } rows[] = {
        {70001, 100000, 100000}, // an offset inside a page
        {150000, 100000, 50000}, // the end clamped to the file's last byte
        {200000, 16, 0},         // offset at the end: an empty bank
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.offset);
        CCapturePair pair;
        ASSERT_TRUE(pair.OpenLogFile(path.c_str(), row.offset, row.length));
        EXPECT_EQ(nullptr, pair.GetBank(1));
        CCaptureBuffer* bank = pair.GetBank(0);
        EXPECT_TRUE(bank->IsReadOnly());
        EXPECT_STREQ("", bank->GetObjectName().GetString());
        EXPECT_EQ(static_cast<BYTE*>(bank->GetView()) + row.offset, bank->GetBase());
        EXPECT_EQ(bank->GetBase(), bank->GetCurrent());
        EXPECT_EQ(row.bankSize, bank->GetBankSize());
        EXPECT_EQ(bank->GetBase() + row.bankSize, bank->GetEnd());
        EXPECT_EQ(0, std::memcmp(bytes.data() + row.offset, bank->GetBase(), row.bankSize));
        pair.Reset(); // the base stays at the offset
        EXPECT_EQ(static_cast<BYTE*>(bank->GetView()) + row.offset, bank->GetBase());
    }

    WriteHostFile(folder.HostPath("empty.bin"), {});
    {
        std::ofstream(folder.HostPath("huge.bin")).close();
        ASSERT_EQ(0, truncate(folder.HostPath("huge.bin").c_str(), 0x100000000LL)); // sparse on the host
    }
    const struct {
        std::string path;
        DWORD offset;
    } failures[] = {
        {folder.WinPath("empty.bin"), 0},
        {folder.WinPath("huge.bin"), 0},
        {folder.WinPath("missing.bin"), 0},
        {path, 200001},
    };
    for (const auto& failure : failures) {
        SCOPED_TRACE(failure.path + " at " + std::to_string(failure.offset));
        CCaptureBuffer bank;
        ExpectBoxes({kLoadFailed});
        EXPECT_FALSE(bank.OpenLogFile(failure.path.c_str(), failure.offset, 16));
        EXPECT_FALSE(bank.HasMapping());
        EXPECT_EQ(nullptr, bank.GetBase());
        EXPECT_EQ((Texts{kLoadFailed}), Boxes());
    }
    EXPECT_EQ(handlesBefore, win32::OpenHandleCount());
}

TEST_F(CaptureBanks, OpenMarksTheFileSparseOnlyWhenAsked) {
    TempFolder folder;
    WriteHostFile(folder.HostPath("log.bin"), Pattern(4096));
    CMemMapFile file;
    // Marking a file sparse needs the right to change it: a read-only open that asks for it fails.
    EXPECT_FALSE(file.Open(folder.WinPath("log.bin").c_str(), TRUE, FILE_SHARE_READ, FALSE, FALSE, TRUE));
    EXPECT_FALSE(file.HasMapping());
    ASSERT_TRUE(file.Open(folder.WinPath("log.bin").c_str(), FALSE, 0, FALSE, TRUE, TRUE));
    EXPECT_FALSE(file.IsReadOnly());
    EXPECT_EQ(4096u, file.GetSize());
    EXPECT_FALSE(file.GetObjectName().IsEmpty());
    file.Close();
    EXPECT_TRUE(file.IsReadOnly());
    EXPECT_EQ(0u, file.GetSize());
}

void Load(CObject& object, std::vector<BYTE> bytes) {
    CMemFile file(bytes.data(), static_cast<UINT>(bytes.size()));
    CArchive ar(&file, CArchive::load);
    object.Serialize(ar);
    ar.Close();
}

TEST_F(CaptureBanks, SerializeKeepsSizesSwitchingAndBankZero) {
    CCapturePair pair;
    ASSERT_TRUE(pair.Create(kBankSize, kReserve));
    pair.SetSwitching(TRUE);
    const std::vector<BYTE> bank = Store(*pair.GetBank(0));
    EXPECT_EQ((std::vector<BYTE>{0x00, 0x10, 0x00, 0x00}), bank);

    const std::vector<BYTE> stored = Store(pair);
    std::vector<BYTE> expected = {0x00, 0x10, 0x00, 0x00, 0x01, 0xFF, 0xFF, 0x01, 0x00, 14, 0x00};
    for (char c : std::string("CCaptureBuffer"))
        expected.push_back(static_cast<BYTE>(c));
    expected.insert(expected.end(), {0x00, 0x10, 0x00, 0x00});
    EXPECT_EQ(expected, stored);

    CCapturePair loaded;
    Load(loaded, stored);
    EXPECT_EQ(kBankSize, loaded.GetBankSize());
    EXPECT_TRUE(loaded.IsSwitching());
    ASSERT_NE(nullptr, loaded.GetBank(0));
    EXPECT_EQ(kBankSize, loaded.GetBank(0)->GetBankSize());
    EXPECT_FALSE(loaded.GetBank(0)->HasMapping());
    EXPECT_EQ(nullptr, loaded.GetBank(1));

    CCapturePair empty;
    EXPECT_EQ((std::vector<BYTE>{0, 0, 0, 0, 0, 0, 0}), Store(empty));
}

} // namespace
