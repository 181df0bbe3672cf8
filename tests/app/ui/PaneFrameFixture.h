// The main frame made and shown as the program shows it, so that its panes' windows exist (each made by its
// pane's first show), and a capture document of the test's own whose record store the test fills.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "WinUiControl.h"
#include "app/core/app/AppResources.h"
#include "app/core/document/USBLog.h"
#include "app/core/records/LogRecords.h"
#include "app/ui/frame/MainFrame.h"
#include "app/ui/frame/MainFrameIds.h"
#include "app/ui/panes/DataBar.h"
#include "app/ui/panes/LogPropertiesWnd.h"
#include "app/widgets/PPDumpCtrl.h"
#include "common/RecordPayloads.h"
#include "common/RecordTags.h"
#include "tests/support/Pictures.h"
#include "tests/support/RecordBuilder.h"
#include "tests/support/ShownMainFrame.h"
#include "tests/support/UiFixture.h"

namespace paneframe_test {

// A bulk or interrupt transfer on the pipe of the endpoint, its data carried whole: on the completion of an IN
// transfer the decoder shows the data and hands it to the data bar.
inline std::vector<uint8_t> BulkTransfer(ULONG tag, ULONG sequence, UCHAR endpoint, const std::vector<uint8_t>& data,
                                         ULONG status = 0) {
    URB_RECORD_BULK_OR_INTERRUPT_TRANSFER part{};
    part.Head.Length = 0x80; // the URB's own size
    part.Head.LayoutVersion = URB_RECORD_LAYOUT_VERSION;
    part.Pipe.EndpointAddress = endpoint;
    part.Pipe.Attributes = 2;
    part.Pipe.MaxPacketLow = 0x40;
    part.TransferFlags = (endpoint & URB_RECORD_ENDPOINT_DIR_IN) ? URB_RECORD_TRANSFER_DIRECTION_IN : 0;
    part.TransferBufferLength = static_cast<ULONG>(data.size());
    part.CapturedLength = static_cast<ULONG>(data.size());
    return tdl::test::RecordBuilder(tag)
        .Function(9)
        .Sequence(sequence)
        .Status(status)
        .Part1Struct(part)
        .Part2(data)
        .Build();
}

// The application object, which also takes note of the commands that reach it: those no window on the way
// handles.
class CCommandNoteApp : public CWinApp {
public:
    CCommandNoteApp() : CWinApp("Tindaloft") {}
    BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) override {
        if (nCode == CN_COMMAND && pHandlerInfo == nullptr)
            m_commands.push_back(nID);
        return CWinApp::OnCmdMsg(nID, nCode, pExtra, pHandlerInfo);
    }
    std::vector<UINT> m_commands;
};

class PaneFrameTest : public tdl::test::UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        RegisterAppResources();
        m_shown = std::make_unique<tdl::test::ShownMainFrame>();
        m_pFrame = m_shown->Get();
        ASSERT_NE(m_pFrame, nullptr);
        ASSERT_NE(m_pFrame->GetLogDetailsPane(), nullptr);
        ASSERT_NE(m_pFrame->GetDataBar(), nullptr);
        m_doc.m_bAutoDelete = FALSE; // the document lives on the fixture
        ASSERT_TRUE(m_doc.GetLogRecords()->CreateBuffer(1 << 20, 4096));
    }
    void TearDown() override {
        m_shown.reset();
        CPPDumpCtrl::SetSpecialText("");
        UiTest::TearDown();
    }

    CLogPropertiesWnd& Details() { return *m_pFrame->GetLogDetailsPane(); }
    CDataBar& Bar() { return *m_pFrame->GetDataBar(); }
    CGkDockingPane* Pane(UINT nID) { return m_pFrame->GetPaneManager().FindPane(nID); }

    // Writes the record into the store's current bank and lists it; its row.
    INT_PTR Put(const std::vector<uint8_t>& record) {
        LogRecords::CLogRecords& store = *m_doc.GetLogRecords();
        BYTE* pointer = nullptr;
        DWORD bytes = 0;
        EXPECT_TRUE(store.GetWriteSpace(pointer, bytes));
        if (pointer == nullptr || bytes < record.size())
            return -1;
        std::memcpy(pointer, record.data(), record.size());
        store.AdvanceWrite(static_cast<DWORD>(record.size()));
        store.Add(reinterpret_cast<_LOGHDR*>(pointer));
        return store.GetCount() - 1;
    }

    // Repaints what changed, as the window thread does between messages.
    void Repaint() {
        ::RedrawWindow(m_pFrame->GetSafeHwnd(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        win32::PumpUiMessages();
    }

    CCommandNoteApp m_app;
    std::unique_ptr<tdl::test::ShownMainFrame> m_shown;
    CMainFrame* m_pFrame = nullptr;
    CUSBLog m_doc;
};

} // namespace paneframe_test
