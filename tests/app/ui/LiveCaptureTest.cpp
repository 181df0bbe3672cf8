// A live capture outside background logging, end to end on the user-interface side: the capture thread reads
// blocks into the banks, the record list view indexes them on this thread, and with continuous logging the
// banks switch many times under a slow user-interface thread. At the stop the list holds exactly the records
// still in the banks, in order, bytes intact, the last ones read before the stop included.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <span>
#include <unistd.h>
#include <vector>

#include "NtClock.h"
#include "NtControl.h"
#include "NtPnpControl.h"
#include "app/core/app/AppResources.h"
#include "app/core/app/Resource.h"
#include "app/core/capture/CaptureBuffer.h"
#include "app/core/document/USBLog.h"
#include "app/core/filters/FilterDefinition.h"
#include "app/core/records/LogRecords.h"
#include "app/core/settings/AppSettings.h"
#include "app/ui/frame/ChildFrame.h"
#include "app/ui/frame/MainFrame.h"
#include "app/ui/frame/ZoDocTemplate.h"
#include "app/ui/loglist/LogListView.h"
#include "common/ControlCodes.h"
#include "common/RecordFrame.h"
#include "common/RecordTags.h"
#include "tests/support/FakeControlDevice.h"
#include "tests/support/ListRows.h"
#include "tests/support/RecordBuilder.h"
#include "tests/support/UiFixture.h"

namespace {

using tdl::test::FakeControlDevice;

constexpr DWORD kBankSize = 4096;
constexpr DWORD kReserve = 2048;
constexpr int kRecordsPerBlock = 40; // 2720 bytes: every block passes the high-water mark

std::vector<uint8_t> BlockOf(ULONG first) {
    std::vector<uint8_t> block;
    for (int i = 0; i < kRecordsPerBlock; ++i) {
        tdl::test::RecordBuilder builder(LogTag::urbI);
        builder.Sequence(first + static_cast<ULONG>(i)).TimeStamp(first + i);
        tdl::test::AppendRecord(block, builder.Build());
    }
    return block;
}

class LiveCaptureTest : public tdl::test::UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        nt::ResetKernelState();
        RegisterAppResources();
        m_fake = std::make_unique<FakeControlDevice>();
        m_pLive = new CZoDocTemplate(IDR_TDLOFT_REALTIME, RUNTIME_CLASS(CUSBLog), RUNTIME_CLASS(CChildFrame),
                                     RUNTIME_CLASS(CLogListView));
        m_app.AddDocTemplate(m_pLive);
        m_pFrame = new CMainFrame;
        ASSERT_TRUE(m_pFrame->LoadFrame(IDR_MAINFRAME, WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE));
        m_app.m_pMainWnd = m_pFrame;
        m_pDoc = dynamic_cast<CUSBLog*>(m_pLive->OpenDocumentFile(nullptr));
        ASSERT_NE(m_pDoc, nullptr);
        m_pView = dynamic_cast<CLogListView*>(m_pDoc->GetFirstView());
        ASSERT_NE(m_pView, nullptr);
        m_settings.BackgroundLogging = false;
        m_settings.AutoEnable = true;
        m_pDoc->SetSettings(&m_settings);
    }
    void TearDown() override {
        if (m_app.m_pMainWnd != nullptr) {
            m_app.m_pMainWnd->DestroyWindow();
            m_app.m_pMainWnd = nullptr;
        }
        m_fake.reset();
        nt::pnp::Shutdown();
        UiTest::TearDown();
    }

    // Reads that returned bytes so far.
    int BlocksRead() const {
        int reads = 0;
        for (const tdl::test::FakeRequest& request : m_fake->Requests())
            if (request.code == IOCTL_TINDALOFT_READ_LOG && request.returned != 0)
                ++reads;
        return reads;
    }

    // Serves this thread's messages, slowly, as a busy user-interface thread would, until `done` (bounded).
    static bool ServeUntil(const std::function<bool()>& done) {
        for (int round = 0; round < 20000; ++round) {
            if (done())
                return true;
            MSG msg;
            while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
                ::TranslateMessage(&msg);
                ::DispatchMessageA(&msg);
            }
            ::usleep(100);
        }
        return done();
    }

    // Lets the thread's next read come due once it waits, and serves until it has read `reads` blocks.
    void ReadAndServe(int reads) {
        ASSERT_TRUE(ServeUntil([] { return nt::clock::WaitForTimedWaiters(1, std::chrono::milliseconds(0)); }));
        nt::clock::AdvanceMilliseconds(250);
        ASSERT_TRUE(ServeUntil([&] { return BlocksRead() >= reads; }));
        ASSERT_EQ(BlocksRead(), reads);
    }

    CWinApp m_app{"Tindaloft"};
    CAppSettings m_settings;
    std::unique_ptr<FakeControlDevice> m_fake;
    CZoDocTemplate* m_pLive = nullptr;
    CMainFrame* m_pFrame = nullptr;
    CUSBLog* m_pDoc = nullptr;
    CLogListView* m_pView = nullptr;
};

TEST_F(LiveCaptureTest, ContinuousLoggingKeepsTheListEqualToTheBanks) {
    LogRecords::CLogRecords& records = *m_pDoc->GetLogRecords();
    ASSERT_TRUE(records.CreateBuffer(kBankSize, kReserve));
    records.SetCapturing();
    m_pDoc->EnableLogging();
    ASSERT_TRUE(m_pDoc->IsLogging());

    int switches = 0;
    int reads = 0;
    ULONG next = 1;
    BYTE bank = records.GetCurrentBank();
    while (switches < 20) {
        m_fake->QueueBlock(IOCTL_TINDALOFT_READ_LOG, BlockOf(next));
        next += kRecordsPerBlock;
        ReadAndServe(++reads);
        if (HasFatalFailure())
            return;
        if (records.GetCurrentBank() != bank) {
            bank = records.GetCurrentBank();
            ++switches;
        }
    }
    // The last block arrives with the stop: the drain reads it, the stop serves its notification.
    m_fake->QueueBlock(IOCTL_TINDALOFT_READ_LOG, BlockOf(next));
    next += kRecordsPerBlock;
    m_pDoc->DisableLogging();

    // Every record whose bytes are still in a bank is listed, in order, with its bytes as read.
    const INT_PTR count = records.GetCount();
    ASSERT_GT(count, 0);
    EXPECT_EQ(m_pView->GetItemCount(), count);
    const auto* last = reinterpret_cast<const uint8_t*>(records.GetAt(count - 1));
    EXPECT_EQ(LogHdr::SequenceNumber(last), next - 1);
    const ULONG first = LogHdr::SequenceNumber(reinterpret_cast<const uint8_t*>(records.GetAt(0)));
    for (INT_PTR i = 0; i < count; ++i) {
        const auto* record = reinterpret_cast<const uint8_t*>(records.GetAt(i));
        ASSERT_EQ(CheckRecordFrame(std::span<const uint8_t>(record, RECORD_FRAME_SIZE)), RecordFrameError::None) << i;
        ASSERT_EQ(LogHdr::SequenceNumber(record), first + static_cast<ULONG>(i)) << i;
        ASSERT_EQ(LogHdr::Sync(record), LogTag::Sync) << i;
    }
    // Both banks' bytes are all listed: what lies in them is exactly what the list holds.
    size_t bytes = 0;
    for (int b = 0; b < 2; ++b) {
        const CaptureBuffer::CCaptureBuffer* pBank = records.GetCaptureBuffer()->GetBank(b);
        bytes += static_cast<size_t>(pBank->GetCurrent() - pBank->GetBase());
    }
    EXPECT_EQ(bytes, static_cast<size_t>(count) * RECORD_FRAME_SIZE);
    EXPECT_EQ(m_pDoc->GetSequenceGapCount(), 0u);
}

} // namespace

namespace {

int ChangeLogReads(const FakeControlDevice& fake) {
    int reads = 0;
    for (const tdl::test::FakeRequest& request : fake.Requests())
        if (request.code == IOCTL_TINDALOFT_READ_CLOG)
            ++reads;
    return reads;
}

TEST_F(LiveCaptureTest, DeviceChangeReadsTheChangeLogUntilItRunsDry) {
    tdl::test::RecordBuilder arrival(LogTag::vrdA);
    arrival.Part1(std::vector<uint8_t>(48, 0));
    for (const int blocks : {2, 40}) {
        SCOPED_TRACE(blocks);
        m_fake->ClearRequests();
        for (int i = 0; i < blocks; ++i)
            m_fake->QueueBlock(IOCTL_TINDALOFT_READ_CLOG, arrival.Build());
        ::SendMessageA(m_pFrame->GetSafeHwnd(), CMainFrame::WM_REFRESH_DEVICE_TREE, 0, 0);
        // Until a read gives nothing, or at most 31 reads for a driver that never runs dry.
        EXPECT_EQ(ChangeLogReads(*m_fake), blocks == 2 ? 3 : CMainFrame::MaxChangeLogReads);
    }
}

} // namespace

namespace {

// A filter that passes "urbI" records with function 0 (the builder's default).
CFilterDefinition* UrbInitiatedTrigger() {
    auto* filter = new CFilterDefinition;
    for (size_t offset : {2, 4, 294})
        filter->Enable(offset);
    return filter;
}

TEST_F(LiveCaptureTest, ViewIndexesABlockAndScrollsToTheTriggerRecord) {
    LogRecords::CLogRecords& records = *m_pDoc->GetLogRecords();
    ASSERT_TRUE(records.CreateBuffer(kBankSize, 0));
    // More rows than a page holds, the trigger's record far below the first page.
    std::vector<uint8_t> block;
    for (ULONG sequence = 10; sequence < 70; ++sequence) {
        tdl::test::RecordBuilder builder(sequence == 60 ? LogTag::urbI : LogTag::urbC);
        builder.Sequence(sequence);
        tdl::test::AppendRecord(block, builder.Build());
    }
    BYTE* pointer = nullptr;
    DWORD left = 0;
    ASSERT_TRUE(records.GetWriteSpace(pointer, left));
    std::copy(block.begin(), block.end(), pointer);
    records.AdvanceWrite(static_cast<DWORD>(block.size()));
    m_pDoc->SetTrigger(UrbInitiatedTrigger());
    m_pDoc->SetTriggerOn(TRUE);
    m_pDoc->SetLogging(TRUE);

    ::SendMessageA(m_pView->GetSafeHwnd(), g_nLogListViewMessage, reinterpret_cast<WPARAM>(pointer),
                   static_cast<LPARAM>(block.size()));
    m_pDoc->SetLogging(FALSE);
    EXPECT_EQ(m_pView->GetItemCount(), 60);
    CListCtrl& list = m_pView->GetListCtrl();
    ASSERT_LT(list.GetCountPerPage(), 50);
    EXPECT_TRUE(tdl::test::RowShown(list, 50));
    EXPECT_GT(list.GetTopIndex(), 0);
    EXPECT_EQ(m_pView->FindItemBySequence(13), 3);
    EXPECT_EQ(m_pView->FindItemBySequence(99), -1);
    // The stop the trigger asked for waits in the main window's queue.
    MSG msg;
    EXPECT_TRUE(::PeekMessageA(&msg, m_pFrame->GetSafeHwnd(), WM_COMMAND, WM_COMMAND, PM_REMOVE));
    EXPECT_EQ(msg.wParam, ID_USB_STOPEVENTCAPTURE);

    m_pView->Clear();
    EXPECT_EQ(m_pView->GetItemCount(), 0);
    m_pView->RedrawRange();
    EXPECT_EQ(m_pView->GetItemCount(), 60);
}

} // namespace
