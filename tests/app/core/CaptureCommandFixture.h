// A live capture document (or a saved log's) on the scripted control device, with the application object,
// a main frame and the panes' calls recorded: what the document's command tests drive.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "NtControl.h"
#include "NtPnpControl.h"
#include "WinUiControl.h"
#include "app/core/app/Resource.h"
#include "app/core/document/USBLog.h"
#include "app/core/records/LogRecords.h"
#include "app/ui/frame/MainFrame.h"
#include "common/ControlCodes.h"
#include "common/RecordTags.h"
#include "tests/support/AppStarter.h"
#include "tests/support/FakeControlDevice.h"
#include "tests/support/RecordBuilder.h"
#include "tests/support/RecordingPanes.h"
#include "tests/support/UiFixture.h"

namespace apptest {

class CaptureCommandFixture : public testing::Test {
protected:
    void SetUp() override {
        nt::ResetKernelState();
        win32::ClearModalRequests();
        m_fake = std::make_unique<tdl::test::FakeControlDevice>();
        CTindaloftApp& app = m_starter.Make();
        app.m_Settings.MaxLogBuffer = 1 << 16;
        app.m_Settings.BackgroundLogging = false;
        app.m_Settings.ContinuousLogging = false;
        m_window = std::make_unique<tdl::test::TestWindow>(WS_OVERLAPPEDWINDOW, nullptr, RECT{0, 0, 100, 100});
        ASSERT_TRUE(m_frame.Attach(m_window->hwnd()));
        app.m_pMainWnd = &m_frame;
    }
    void TearDown() override {
        if (m_doc != nullptr) {
            m_doc->DisableLogging();
            m_template->RemoveDocument(m_doc.get());
        }
        m_doc.reset();
        m_template.reset();
        m_starter.App().m_pMainWnd = nullptr;
        m_frame.Detach();
        m_window.reset();
        m_fake.reset();
        nt::pnp::Shutdown();
        win32::ClearModalRequests();
    }

    CTindaloftApp& App() { return m_starter.App(); }

    // A document of the template's kind, set up as the framework sets up a new one; the driver's requests
    // so far are forgotten.
    CUSBLog& NewDocument(UINT nTemplate = IDR_TDLOFT_REALTIME) {
        m_template = std::make_unique<CMultiDocTemplate>(nTemplate, RUNTIME_CLASS(CUSBLog), nullptr, nullptr);
        m_doc = std::make_unique<CUSBLog>();
        m_doc->m_bAutoDelete = FALSE; // the fixture owns it, even when its last view goes
        m_template->AddDocument(m_doc.get());
        EXPECT_TRUE(m_doc->OnNewDocument());
        if (nTemplate != IDR_TDLOFT_REALTIME)
            EXPECT_TRUE(m_doc->GetLogRecords()->CreateBuffer(1 << 16, 0));
        m_fake->ClearRequests();
        // The framework's emptying (DeleteContents) is not what the tests look at.
        const auto start = std::find(m_panes.names.begin(), m_panes.names.end(), "SetStackInspectorReadOnly");
        m_panes.documents.erase(m_panes.documents.begin(), m_panes.documents.begin() + (start - m_panes.names.begin()));
        m_panes.names.erase(m_panes.names.begin(), start);
        return *m_doc;
    }

    // Records with these sequence numbers indexed in the document's store, as a capture read leaves them.
    static void AddRecords(CUSBLog& doc, std::vector<ULONG> sequences) {
        LogRecords::CLogRecords& records = *doc.GetLogRecords();
        std::vector<uint8_t> block;
        for (ULONG sequence : sequences)
            tdl::test::AppendRecord(block, tdl::test::RecordBuilder(LogTag::urbI).Sequence(sequence).Build());
        BYTE* pointer = nullptr;
        DWORD left = 0;
        ASSERT_TRUE(records.GetWriteSpace(pointer, left));
        ASSERT_GE(left, block.size());
        std::memcpy(pointer, block.data(), block.size());
        records.AdvanceWrite(static_cast<DWORD>(block.size()));
        BOOL triggered = FALSE;
        doc.ProcessCaptureFragment(pointer, static_cast<DWORD>(block.size()), triggered);
    }

    void Command(UINT nID) { m_doc->OnCmdMsg(nID, CN_COMMAND, nullptr, nullptr); }

    // The driver's requests since the last call, without the capture thread's reads, and forgets them.
    std::vector<ULONG> TakeCodes() {
        std::vector<ULONG> codes;
        for (const tdl::test::FakeRequest& request : m_fake->Requests())
            if (request.code != IOCTL_TINDALOFT_READ_LOG)
                codes.push_back(request.code);
        m_fake->ClearRequests();
        return codes;
    }
    std::vector<tdl::test::FakeRequest> Requests(ULONG code) const {
        std::vector<tdl::test::FakeRequest> found;
        for (const tdl::test::FakeRequest& request : m_fake->Requests())
            if (request.code == code)
                found.push_back(request);
        return found;
    }

    AppStarter m_starter;
    std::unique_ptr<tdl::test::FakeControlDevice> m_fake;
    std::unique_ptr<tdl::test::TestWindow> m_window;
    CMainFrame m_frame;
    std::unique_ptr<CMultiDocTemplate> m_template;
    std::unique_ptr<CUSBLog> m_doc;
    tdl::test::RecordingPanes m_panes;
};

} // namespace apptest
