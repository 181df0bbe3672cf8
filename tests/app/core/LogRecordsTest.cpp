// The record store: records indexed in place by the bank that holds them, list order across bank switches,
// the full and the filtered view, the buffer's re-creation, fill levels and the time origin.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "app/core/document/USBLog.h"
#include "app/core/filters/FilterDefinition.h"
#include "app/core/records/LogRecords.h"
#include "common/RecordTags.h"
#include "tests/platform/win32/Win32TestSupport.h"
#include "tests/support/RecordBuilder.h"
#include "tests/support/UiFixture.h"

namespace {

using LogRecords::CLogRecords;
using tdl::test::RecordBuilder;

constexpr DWORD kBankSize = 1024;
constexpr DWORD kReserve = 256; // the high-water mark at 768
constexpr DWORD kPayload = 32;
constexpr DWORD kRecordBytes = kPayload + 68; // so a bank passes its mark with its 8th record

ULONG SequenceOf(const _LOGHDR* record) {
    ULONG sequence;
    std::memcpy(&sequence, reinterpret_cast<const BYTE*>(record) + offsetof(_LOGHDR, SequenceNumber), 4);
    return sequence;
}

// A buffer filter that accepts "urbI" records of URB function 0 and nothing else.
CFilterDefinition* UrbRequestFilter() {
    auto* filter = new CFilterDefinition;
    for (size_t offset : {2, 4, 294})
        filter->Enable(offset);
    return filter;
}

// Records with odd sequence numbers are "urbI" (the filter takes them), even ones "urbC".
bool Accepted(ULONG sequence) {
    return sequence % 2 == 1;
}

// A strict modal service: no record store step may show a box here.
class RecordStore : public tdl::test::UiTest {
public:
    void SetUp() override {
        UiTest::SetUp();
        ASSERT_TRUE(store.CreateBuffer(kBankSize, kReserve));
        doc.SetBufferFilter(UrbRequestFilter());
    }

    // One record the way a capture brings it in: written into the write space (switching banks first when
    // the current one is past its mark), then indexed, and offered to the filtered view when that is on.
    _LOGHDR* Capture() {
        BYTE* pointer = nullptr;
        DWORD bytes = 0;
        if (!store.GetWriteSpace(pointer, bytes)) {
            store.SwitchBanks(&doc);
            EXPECT_TRUE(store.GetWriteSpace(pointer, bytes));
        }
        EXPECT_GE(bytes, kRecordBytes);
        const ULONG sequence = nextSequence++;
        const std::vector<uint8_t> record = RecordBuilder(Accepted(sequence) ? LogTag::urbI : LogTag::urbC)
                                                .Sequence(sequence)
                                                .Part1(std::vector<uint8_t>(kPayload))
                                                .Build();
        std::memcpy(pointer, record.data(), record.size());
        store.AdvanceWrite(static_cast<DWORD>(record.size()));
        auto* header = reinterpret_cast<_LOGHDR*>(pointer);
        store.Add(header);
        if (doc.IsBufferFilterOn())
            store.AddFiltered(&doc, header);
        return header;
    }
    void Capture(int count) {
        for (int i = 0; i < count; ++i)
            Capture();
    }

    // The sequence numbers of the active view, row by row.
    std::vector<ULONG> View() {
        std::vector<ULONG> rows;
        for (INT_PTR i = 0; i < store.GetDisplayCount(&doc); ++i) {
            const _LOGHDR* record = store.GetRecordAt(&doc, i);
            rows.push_back(record ? SequenceOf(record) : 0);
        }
        return rows;
    }
    std::vector<ULONG> FullList() {
        std::vector<ULONG> rows;
        for (INT_PTR i = 0; const _LOGHDR* record = store.GetAt(i); ++i)
            rows.push_back(SequenceOf(record));
        return rows;
    }
    static std::vector<ULONG> Range(ULONG first, ULONG last, bool acceptedOnly = false) {
        std::vector<ULONG> rows;
        for (ULONG s = first; s <= last; ++s)
            if (!acceptedOnly || Accepted(s))
                rows.push_back(s);
        return rows;
    }

    CUSBLog doc;
    CLogRecords& store = *doc.GetLogRecords();
    ULONG nextSequence = 1;
};

template <class F> bool ThrowsInvalidArgument(F&& call) {
    try {
        call();
    } catch (CInvalidArgException* e) {
        e->Delete();
        return true;
    }
    return false;
}

TEST_F(RecordStore, SwitchingKeepsTheOlderBankFirstAndDropsTheReusedBanksRecords) {
    store.SetCapturing();
    ASSERT_TRUE(store.GetCaptureBuffer()->IsSwitching());
    doc.SetBufferFilterOn(TRUE);

    Capture(8); // bank 0 passes its mark with the 8th record
    EXPECT_EQ(Range(1, 8), FullList());
    EXPECT_EQ(Range(1, 8, true), View());

    Capture(8); // 9 to 16 go to bank 1
    EXPECT_EQ(1, store.GetCurrentBank());
    EXPECT_EQ(1, store.GetCaptureBuffer()->GetCurrentBank());
    EXPECT_EQ(8, store.GetBankCount(0));
    EXPECT_EQ(8, store.GetBankCount(1));
    EXPECT_EQ(Range(1, 16), FullList());
    EXPECT_EQ(Range(1, 16, true), View());

    // Back to bank 0: its records, full and filtered, go before their bytes are overwritten.
    Capture(3);
    EXPECT_EQ(0, store.GetCurrentBank());
    EXPECT_EQ(store.GetCaptureBuffer()->GetBankBase(0), reinterpret_cast<BYTE*>(store.GetBankRecordAt(0, 0)));
    EXPECT_EQ(3, store.GetBankCount(0));
    EXPECT_EQ(2, store.GetFilteredBankCount(0));
    EXPECT_EQ(4, store.GetFilteredBankCount(1));
    std::vector<ULONG> expected = Range(9, 19);
    EXPECT_EQ(expected, FullList());
    EXPECT_EQ(Range(9, 19, true), View());
    EXPECT_EQ(static_cast<INT_PTR>(Range(9, 19, true).size()), store.GetDisplayCount(&doc));
    doc.SetBufferFilterOn(FALSE);
    EXPECT_EQ(expected, View());
}

TEST_F(RecordStore, AStoreStepTakenBeforehandIsNotRepeated) {
    store.SetCapturing();
    Capture(8);
    // The user-interface thread dropped the records already; the capture thread then switches the banks alone.
    store.SetCurrentBank(&doc);
    store.SwitchBanks(nullptr);
    EXPECT_EQ(1, store.GetCurrentBank());
    EXPECT_EQ(1, store.GetCaptureBuffer()->GetCurrentBank());
    Capture(2);
    EXPECT_EQ(Range(1, 10), FullList());
}

// Every view answers an index the same way: null at or past its end, empty or not, and a negative index throws.
TEST_F(RecordStore, IndexAccessInTheFullAndTheFilteredView) {
    const struct {
        const char* name;
        std::function<void(RecordStore&)> fill;
        bool filterOn;
        std::vector<ULONG> rows;
    } cases[] = {
        {"empty store", [](RecordStore&) {}, false, {}},
        {"one bank", [](RecordStore& t) { t.Capture(3); }, false, Range(1, 3)},
        {"two banks",
         [](RecordStore& t) {
             t.store.SetCapturing();
             t.Capture(11);
         },
         false, Range(1, 11)},
        {"filtered, two banks",
         [](RecordStore& t) {
             t.store.SetCapturing();
             t.doc.SetBufferFilterOn(TRUE);
             t.Capture(11);
         },
         true, Range(1, 11, true)},
        {"filtered, nothing accepted",
         [](RecordStore& t) {
             t.doc.SetBufferFilterOn(TRUE);
             t.nextSequence = 2;
             t.Capture();
         },
         true,
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        store.RemoveAll();
        store.ClearCapturing();
        doc.SetBufferFilterOn(FALSE);
        nextSequence = 1;
        c.fill(*this);
        EXPECT_EQ(c.filterOn, !!doc.IsBufferFilterOn());
        EXPECT_EQ(static_cast<INT_PTR>(c.rows.size()), store.GetDisplayCount(&doc));
        EXPECT_EQ(c.rows, View());
        const auto size = static_cast<INT_PTR>(c.rows.size());
        for (INT_PTR past : {size, size + 1000})
            EXPECT_EQ(nullptr, store.GetRecordAt(&doc, past));
        EXPECT_TRUE(ThrowsInvalidArgument([&] { store.GetRecordAt(&doc, -1); }));
        // The full view answers the same way whatever the filter.
        EXPECT_EQ(nullptr, store.GetAt(store.GetCount()));
        EXPECT_TRUE(ThrowsInvalidArgument([&] { store.GetAt(-1); }));
        EXPECT_EQ(nullptr, store.GetBankRecordAt(0, store.GetBankCount(0)));
        EXPECT_EQ(nullptr, store.GetBankRecordAt(2, 0));
    }
}

TEST_F(RecordStore, ARebuildOffersEveryRecordInListOrderAndKeepsThemByBank) {
    store.SetCapturing();
    Capture(19); // bank 1 holds 9 to 16, bank 0 (current) 17 to 19
    doc.SetBufferFilterOn(TRUE);
    EXPECT_EQ(0, store.GetDisplayCount(&doc));

    store.ClearFiltered();
    for (INT_PTR i = 0; _LOGHDR* record = store.GetAt(i); ++i)
        store.AddFiltered(&doc, record);
    EXPECT_EQ(Range(9, 19, true), View());
    EXPECT_EQ(4, store.GetFilteredBankCount(1));
    EXPECT_EQ(2, store.GetFilteredBankCount(0));

    // The next switch reuses bank 1: its accepted records leave the filtered view with it.
    Capture(6);
    EXPECT_EQ(1, store.GetCurrentBank());
    EXPECT_EQ(Range(17, 25, true), View());
    EXPECT_EQ(Range(17, 25), FullList());
}

TEST_F(RecordStore, OnlyRecordsWhollyInsideABankAreIndexed) {
    doc.SetBufferFilterOn(TRUE);
    Capture(2);
    std::vector<uint8_t> outside = RecordBuilder(LogTag::urbI).Part1(std::vector<uint8_t>(kPayload)).Build();
    store.Add(reinterpret_cast<_LOGHDR*>(outside.data()));
    store.AddFiltered(&doc, reinterpret_cast<_LOGHDR*>(outside.data()));

    // A header that starts in the bank and runs past its end, and one whose DataSize reaches past it.
    BYTE* end = store.GetCaptureBuffer()->GetBankEnd(0);
    auto* straddling = reinterpret_cast<_LOGHDR*>(end - 10);
    store.Add(straddling);
    BYTE* last = end - kRecordBytes;
    std::memcpy(last, outside.data(), outside.size());
    const ULONG tooLong = kPayload + 1;
    std::memcpy(last + offsetof(_LOGHDR, DataSize), &tooLong, sizeof tooLong);
    store.Add(reinterpret_cast<_LOGHDR*>(last));
    store.AddFiltered(&doc, reinterpret_cast<_LOGHDR*>(last));
    EXPECT_EQ(2, store.GetCount());
    EXPECT_EQ(1, store.GetDisplayCount(&doc));

    // The same record that ends exactly at the bank's end is the bank's.
    std::memcpy(last + offsetof(_LOGHDR, DataSize), &kPayload, sizeof kPayload);
    store.Add(reinterpret_cast<_LOGHDR*>(last));
    EXPECT_EQ(3, store.GetCount());

    EXPECT_EQ(kRecordBytes, CLogRecords::RecordSize(reinterpret_cast<_LOGHDR*>(last)));
    const ULONG huge = 0xFFFFFFFF;
    std::memcpy(outside.data() + offsetof(_LOGHDR, DataSize), &huge, sizeof huge);
    EXPECT_EQ(0x100000043ULL, CLogRecords::RecordSize(reinterpret_cast<_LOGHDR*>(outside.data())));
}

TEST_F(RecordStore, ResetBufferMakesNewBanksAndKeepsSwitching) {
    store.SetCapturing();
    doc.SetBufferFilterOn(TRUE);
    Capture(10);
    ASSERT_EQ(1, store.GetCurrentBank());

    ASSERT_TRUE(store.ResetBuffer(2 * kBankSize, kReserve));
    EXPECT_EQ(0, store.GetCount());
    EXPECT_EQ(0, store.GetDisplayCount(&doc));
    EXPECT_EQ(0, store.GetCurrentBank());
    CaptureBuffer::CCapturePair* pair = store.GetCaptureBuffer();
    EXPECT_TRUE(pair->IsSwitching());
    EXPECT_EQ(0, pair->GetCurrentBank());
    EXPECT_EQ(2 * kBankSize, static_cast<DWORD>(pair->GetBankEnd(1) - pair->GetBankBase(1)));

    // Creating a buffer again goes the same way: nothing keeps pointing into the banks it replaces.
    Capture(3);
    ASSERT_TRUE(store.CreateBuffer(kBankSize, kReserve));
    EXPECT_EQ(0, store.GetCount());
    EXPECT_EQ(kBankSize, static_cast<DWORD>(pair->GetBankEnd(0) - pair->GetBankBase(0)));
}

TEST_F(RecordStore, BufferFillPerBank) {
    int banks = 0, fill0 = -1, fill1 = -1;
    Capture(3);
    store.GetBufferFill(banks, fill0, fill1);
    EXPECT_EQ(1, banks);
    EXPECT_EQ(29, fill0); // 300 of 1,024 bytes
    EXPECT_EQ(0, fill1);

    store.SetCapturing();
    store.GetBufferFill(banks, fill0, fill1);
    EXPECT_EQ(2, banks);
    EXPECT_EQ(29, fill0);
    EXPECT_EQ(0, fill1);

    Capture(7); // 8 in bank 0, 2 in bank 1 (current)
    store.GetBufferFill(banks, fill0, fill1);
    EXPECT_EQ(100, fill0); // switched away from
    EXPECT_EQ(19, fill1);  // 200 of 1,024

    Capture(7); // 8 in bank 1, 1 in bank 0 (current)
    store.GetBufferFill(banks, fill0, fill1);
    EXPECT_EQ(9, fill0);
    EXPECT_EQ(100, fill1);

    // A bank of no bytes (a file mapped from its very end) reads as empty.
    win32::test::TempFolder folder;
    std::ofstream(folder.HostPath("log.bin")) << std::string(300, 'x');
    store.ClearCapturing();
    ASSERT_TRUE(store.OpenLogFile(folder.WinPath("log.bin").c_str(), 300, 100));
    EXPECT_EQ(0u, store.GetCaptureBuffer()->GetBank(0)->GetBankSize());
    store.GetBufferFill(banks, fill0, fill1);
    EXPECT_EQ(1, banks);
    EXPECT_EQ(0, fill0);
    EXPECT_EQ(0, fill1);
}

TEST_F(RecordStore, RecordsOfAMappedFileAreIndexedInPlace) {
    win32::test::TempFolder folder;
    std::vector<uint8_t> file(40, 0xEE); // a file header the bank leaves out
    for (ULONG s = 1; s <= 3; ++s)
        tdl::test::AppendRecord(file, RecordBuilder(LogTag::urbI).Sequence(s).Build());
    std::ofstream(folder.HostPath("log.bin"), std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));

    ASSERT_TRUE(store.OpenLogFile(folder.WinPath("log.bin").c_str(), 40, 1 << 20));
    BYTE* base = store.GetCaptureBuffer()->GetBankBase(0);
    for (int i = 0; i < 3; ++i)
        store.Add(reinterpret_cast<_LOGHDR*>(base + i * 68));
    EXPECT_EQ(Range(1, 3), FullList());
    EXPECT_EQ(nullptr, store.GetCaptureBuffer()->GetBank(1));
    store.RemoveAll();
    EXPECT_EQ(base, store.GetCaptureBuffer()->GetBankCurrent(0));
}

TEST_F(RecordStore, TimeOriginIsTheFirstStartSinceEmptied) {
    EXPECT_FALSE(store.IsTimeOriginSet());
    store.SetTimeOrigin(1000);
    store.SetTimeOrigin(2000);
    EXPECT_TRUE(store.IsTimeOriginSet());
    EXPECT_EQ(1000, store.GetTimeOrigin());
    store.SetLatestStart(2000);
    EXPECT_EQ(2000, store.GetLatestStart());

    store.RemoveAll();
    EXPECT_FALSE(store.IsTimeOriginSet());
    store.SetTimeOrigin(3000);
    EXPECT_EQ(3000, store.GetTimeOrigin());
    EXPECT_EQ(2000, store.GetLatestStart()); // only its setter changes it
}

// The buffer lock holds the bank being written for its scope. Another thread's guard that cannot take it
// (the bank says so in a box) releases nothing as it goes, an early Unlock lets others in, and Lock takes it
// again.
TEST_F(RecordStore, BufferLockHoldsTheWriteBankForItsScope) {
    auto anotherThreadTakes = [this] {
        win32::QueueModalAnswer(win32::ModalKind::MessageBox, IDOK, "Failed to acquire memory map.\n");
        bool taken = false;
        std::thread([&] { taken = LogRecords::CBufferLock(store, 0).IsLocked(); }).join();
        if (taken)
            win32::ClearModalRequests();
        return taken;
    };
    {
        LogRecords::CBufferLock held(store, INFINITE);
        ASSERT_TRUE(held.IsLocked());
        EXPECT_FALSE(anotherThreadTakes());
        EXPECT_FALSE(anotherThreadTakes()) << "the failed guard released the holder's lock";
        held.Unlock();
        EXPECT_TRUE(anotherThreadTakes());
        EXPECT_TRUE(held.Lock(INFINITE));
        EXPECT_FALSE(anotherThreadTakes());
    }
    EXPECT_TRUE(anotherThreadTakes());

    CLogRecords bufferless;
    EXPECT_FALSE(LogRecords::CBufferLock(bufferless, 0).IsLocked());
}

TEST(RecordStoreLifetime, DestroyingTheDocumentClosesEveryHandle) {
    win32::test::TempFolder folder;
    std::ofstream(folder.HostPath("log.bin")) << std::string(300, 'x');
    const size_t handlesBefore = win32::OpenHandleCount();
    {
        CUSBLog live;
        ASSERT_TRUE(live.GetLogRecords()->CreateBuffer(kBankSize, kReserve));
        live.GetLogRecords()->SetCapturing();
        ASSERT_TRUE(live.GetLogRecords()->LockBuffer(INFINITE)); // held at the end: released by the close
        CUSBLog file;
        ASSERT_TRUE(file.GetLogRecords()->OpenLogFile(folder.WinPath("log.bin").c_str(), 0, 300));
    }
    EXPECT_EQ(handlesBefore, win32::OpenHandleCount());
    HANDLE bank = OpenFileMappingA(FILE_MAP_READ, FALSE, "BANK0");
    EXPECT_EQ(nullptr, bank);
}

} // namespace
