// The Log Details pane and the data bar over a real capture: a file copied to the stick while the mouse moves,
// captured on the default machine, its records selected in the main frame as the record list selects them
// (the data bar emptied, then the record shown).
// The kernel's headers (through the capture's) come first: the framework's ASSERT yields to the kernel's.
#include "tests/support/DecoderCapture.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/core/records/LogRecordDecode.h"
#include "app/core/settings/AppSettings.h"
#include "app/ui/PanePointers.h"
#include "app/ui/frame/MainFrame.h"
#include "app/ui/panes/DataBar.h"
#include "app/ui/panes/LogPropertiesWnd.h"
#include "app/widgets/PPDumpCtrl.h"
#include "common/RecordPayloads.h"
#include "common/RecordTags.h"
#include "tests/support/Pictures.h"
#include "tests/support/ShownMainFrame.h"

namespace {

class LogDetailsCaptureTest : public tdl::test::DecoderCaptureTest<LogDetailsCaptureTest> {
protected:
    static void SetUpTestSuite() {
        tdl::test::DecoderCapture::Options options;
        options.workload = sim::WorkloadKind::CopyToStick;
        // Bulk transfers whole, so that a record's data is all it carries.
        options.settings = [](CAppSettings& settings) { settings.BulkMaxSize = 4; };
        options.alsoDuring = [](sim::Machine& machine) {
            sim::WorkloadOptions mouse;
            mouse.count = 4;
            return sim::RunWorkload(machine, sim::WorkloadKind::MouseMoving, mouse).Succeeded();
        };
        Capture(options);
    }
    void SetUp() override {
        DecoderCaptureTest::SetUp();
        m_shown = std::make_unique<tdl::test::ShownMainFrame>();
        m_pFrame = m_shown->Get();
        ASSERT_NE(m_pFrame, nullptr);
        ASSERT_NE(m_pFrame->GetLogDetailsPane(), nullptr);
        ASSERT_NE(m_pFrame->GetDataBar(), nullptr);
    }
    void TearDown() override {
        m_shown.reset();
        CPPDumpCtrl::SetSpecialText("");
    }

    // The record's row in the document's list (capture order).
    static INT_PTR RowOf(const _LOGHDR* record) {
        const auto& records = s_capture->Records();
        return std::find(records.begin(), records.end(), record) - records.begin();
    }
    // The first record of the tag whose target has the class kind and whose payload matches.
    template <class Test> static const _LOGHDR* Find(ULONG tag, ULONG classKind, Test test) {
        for (const _LOGHDR* record : s_capture->Records(tag, 9))
            if (CLogRecordDecode(record, s_capture->Document()).GetClassKind() == classKind && test(record))
                return record;
        return nullptr;
    }
    static URB_RECORD_BULK_OR_INTERRUPT_TRANSFER Transfer(const _LOGHDR* record) {
        URB_RECORD_BULK_OR_INTERRUPT_TRANSFER transfer{};
        std::memcpy(&transfer, reinterpret_cast<const BYTE*>(record) + LOGHDR_SIZE, sizeof transfer);
        return transfer;
    }
    // The transfer bytes the record carries.
    static std::vector<BYTE> Captured(const _LOGHDR* record) {
        const BYTE* data =
            reinterpret_cast<const BYTE*>(record) + LOGHDR_SIZE + sizeof(URB_RECORD_BULK_OR_INTERRUPT_TRANSFER);
        return std::vector<BYTE>(data, data + Transfer(record).CapturedLength);
    }

    // What the record list does when the user selects the row.
    void Select(const _LOGHDR* record) {
        CPanePointers().DataBarClear(TRUE);
        m_pFrame->GetLogDetailsPane()->ShowRecord(s_capture->Document(), RowOf(record));
    }
    std::vector<BYTE> BarBytes() {
        const BYTE* pData = nullptr;
        ULONG length = 0;
        CPanePointers().DataBarGetDataBuffer(pData, length);
        return pData != nullptr ? std::vector<BYTE>(pData, pData + length) : std::vector<BYTE>();
    }
    CGkPropertyGridItem* Category(const char* caption) {
        return m_pFrame->GetLogDetailsPane()->GetGrid().GetCategories()->FindItem(caption);
    }

    std::unique_ptr<tdl::test::ShownMainFrame> m_shown;
    CMainFrame* m_pFrame = nullptr;
};

constexpr ULONG kMassStorage = 514;
constexpr ULONG kHid = 513;

TEST_F(LogDetailsCaptureTest, SelectedRecordsFillTheGridAndTheDataBar) {
    const _LOGHDR* read = Find(LogTag::urbC, kMassStorage, [](const _LOGHDR* r) {
        return (Transfer(r).Pipe.EndpointAddress & 0x80) != 0 && Transfer(r).CapturedLength > 512;
    });
    const _LOGHDR* request = Find(LogTag::urbI, kMassStorage,
                                  [](const _LOGHDR* r) { return (Transfer(r).Pipe.EndpointAddress & 0x80) != 0; });
    const _LOGHDR* report = Find(LogTag::urbC, kHid, [](const _LOGHDR* r) { return Transfer(r).CapturedLength > 0; });
    ASSERT_NE(read, nullptr);
    ASSERT_NE(request, nullptr);
    ASSERT_NE(report, nullptr);

    // A bulk-in completion of the stick: its transfer in "URB", its bytes in the data bar under the URB
    // decoder's title with the record's number.
    Select(read);
    const ULONG sequence = CLogRecordDecode(read, s_capture->Document()).GetSequenceNumber();
    EXPECT_FALSE(Category("URB")->IsHidden());
    EXPECT_NE(Category("URB")->GetChilds()->FindItem("TransferBuffer (In)"), nullptr);
    EXPECT_EQ(CPPDumpCtrl::GetSpecialText().Find(
                  ("  Bulk/Interrupt TransferBuffer (Input) - record #" + std::to_string(sequence) + " ").c_str()),
              0)
        << CPPDumpCtrl::GetSpecialText().GetString();
    EXPECT_EQ(BarBytes(), Captured(read));
    ::RedrawWindow(m_pFrame->GetSafeHwnd(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    CGkPropertyGrid& grid = m_pFrame->GetLogDetailsPane()->GetGrid();
    tdl::test::Picture picture(grid.GetSafeHwnd(), "log_details_stick_read.png");
    ASSERT_TRUE(picture.IsValid());
    for (int row = 1; row < 5; ++row) // the log entry's rows carry their values' text
        EXPECT_GT(picture.Count(grid.GetRowRect(row), tdl::test::IsDark), 20) << row;

    // The mouse's report comes the same way.
    Select(report);
    EXPECT_EQ(BarBytes(), Captured(report));
    EXPECT_GT(CPPDumpCtrl::GetSpecialText().GetLength(), 0);

    // The read's request carries no data: the bar stays empty.
    Select(request);
    EXPECT_FALSE(Category("URB")->IsHidden());
    EXPECT_TRUE(BarBytes().empty());
    EXPECT_EQ(CPPDumpCtrl::GetSpecialText(), "");
    EXPECT_EQ(m_pFrame->GetDataBar()->GetDumpCtrl()->GetData(), nullptr);
}

} // namespace
