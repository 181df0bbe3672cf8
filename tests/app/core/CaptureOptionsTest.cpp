// The options command: OK in a live capture saves the settings and sends the driver the capture options with
// the filter in force and the boot switches; a changed Continuous Logging clears the buffer and switches the
// banks; anything else sends the driver nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "app/core/filters/FilterDefinition.h"
#include "app/core/settings/AppRegistry.h"
#include "app/core/settings/OXRegistryItem.h"
#include "app/ui/dialogs/OptionTreeDlg.h"
#include "app/ui/find/FindOptionsIds.h"
#include "common/ControlCodes.h"
#include "common/LoggingOptions.h"
#include "tests/app/core/CaptureCommandFixture.h"
#include "tests/app/core/TraceCapture.h"
#include "tests/support/Pictures.h"

namespace {

class CaptureOptionsTest : public apptest::CaptureCommandFixture {
protected:
    // The user's edits in the dialog, then its button: a changed Continuous Logging box is agreed to when the
    // dialog asks.
    static void QueueOptions(INT_PTR answer, bool continuousChanged = false) {
        win32::QueueModalSteps(
            win32::ModalKind::Dialog,
            [answer, continuousChanged](const win32::ModalRequest&, HWND dialog) {
                auto* pDlg = dynamic_cast<COptionTreeDlg*>(CWnd::FromHandlePermanent(dialog));
                EXPECT_NE(pDlg, nullptr);
                EXPECT_TRUE(tdl::test::SavePicture(dialog, "tdl-options-dialog.png"));
                if (pDlg != nullptr && continuousChanged) {
                    COXOptionTreeCtrl& tree = pDlg->GetTree();
                    tree.SetCheck(IDO_CONTINUOUS_LOGGING, tree.GetCheck(IDO_CONTINUOUS_LOGGING) == 1 ? 0 : 1);
                    if (answer == IDOK && !pDlg->IsReadOnly())
                        win32::QueueModalAnswer(win32::ModalKind::MessageBox, IDYES, "Continuous Logging");
                }
                ::SendMessageA(::GetDlgItem(dialog, static_cast<int>(answer)), BM_CLICK, 0, 0);
                return answer;
            },
            "Options");
    }
};

TEST_F(CaptureOptionsTest, OkSendsTheFilterInForceAndTheBootSwitches) {
    for (bool filterOn : {false, true}) {
        SCOPED_TRACE(filterOn);
        TearDown();
        SetUp();
        App().m_Settings.CaptureOnceOnBoot = true;
        App().m_Settings.MemlogFlags = 257;
        CUSBLog& doc = NewDocument();
        auto* pFilter = new CFilterDefinition;
        pFilter->GetBlock().Bytes[7] = 1;
        doc.SetCaptureFilter(pFilter);
        doc.SetCaptureFilterOn(filterOn);
        QueueOptions(IDOK);

        Command(ID_OPTIONS_CONFIGURATION);

        const std::vector<tdl::test::FakeRequest> options = Requests(IOCTL_TINDALOFT_SET_LOGGING_OPTIONS);
        const std::vector<tdl::test::FakeRequest> boot = Requests(IOCTL_TINDALOFT_SET_BOOTFLAG);
        EXPECT_EQ(TakeCodes(), (std::vector<ULONG>{IOCTL_TINDALOFT_SET_LOGGING_OPTIONS, IOCTL_TINDALOFT_SET_BOOTFLAG}));
        ASSERT_EQ(options.size(), 1u);
        ASSERT_EQ(options[0].input.size(), sizeof(LOGGING_OPTIONS));
        EXPECT_EQ(options[0].input[offsetof(LOGGING_OPTIONS, FilterPresent)], filterOn ? 1 : 0);
        EXPECT_EQ(options[0].input[offsetof(LOGGING_OPTIONS, Filter) + 7], filterOn ? 1 : 0);
        ASSERT_EQ(boot.size(), 1u);
        ASSERT_EQ(boot[0].input.size(), sizeof(ULONG));
        ULONG word = 0;
        std::memcpy(&word, boot[0].input.data(), sizeof word);
        EXPECT_EQ(word, 0x405u);
        // The filter the document shows is still the one in force.
        EXPECT_EQ(doc.IsCaptureFilterOn() != FALSE, filterOn);
    }
}

TEST_F(CaptureOptionsTest, AChangedContinuousLoggingClearsTheBufferThenSwitchesTheBanks) {
    CUSBLog& doc = NewDocument();
    ASSERT_FALSE(doc.GetLogRecords()->IsContinuous());
    AddRecords(doc, {1, 2});
    QueueOptions(IDOK, true);

    Command(ID_OPTIONS_CONFIGURATION);

    EXPECT_TRUE(App().m_Settings.ContinuousLogging);
    EXPECT_EQ(doc.GetLogRecords()->GetCount(), 0);
    EXPECT_TRUE(doc.GetLogRecords()->IsContinuous());
    const std::vector<ULONG> codes = TakeCodes();
    // The options, then the buffer cleared (the driver's sequence restarted).
    ASSERT_GE(codes.size(), 3u);
    EXPECT_EQ(codes[2], IOCTL_TINDALOFT_DEVSTK_REFRESH);
}

TEST_F(CaptureOptionsTest, OkInTheDialogSavesTheSettingsOnce) {
    CUSBLog& doc = NewDocument();
    App().m_Settings.AutoEnable = false;
    win32::QueueModalSteps(
        win32::ModalKind::Dialog,
        [](const win32::ModalRequest&, HWND dialog) -> INT_PTR {
            auto* pDlg = dynamic_cast<COptionTreeDlg*>(CWnd::FromHandlePermanent(dialog));
            EXPECT_NE(pDlg, nullptr);
            if (pDlg != nullptr)
                pDlg->GetTree().SetCheck(IDO_AUTO_ENABLE, 1);
            ::SendMessageA(::GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
            return IDCANCEL;
        },
        "Options");
    apptest::TraceCapture trace;

    Command(ID_OPTIONS_CONFIGURATION);

    EXPECT_TRUE(App().m_Settings.AutoEnable);
    const std::vector<std::string> texts = trace.Texts();
    EXPECT_EQ(std::count(texts.begin(), texts.end(), "--SaveAppSettings"), 1);
    COXRegistryItem key(CString(g_pszRegistryRoot) + "AppSettings\\");
    EXPECT_EQ(key.GetNumberValue("AutoEnable"), 1u);
    EXPECT_FALSE(doc.IsLogging());
}

TEST_F(CaptureOptionsTest, CancelALogFileOrALoggingCaptureSendsNothing) {
    const struct {
        const char* name;
        UINT nTemplate;
        bool logging;
        INT_PTR answer;
    } cases[] = {
        {"cancel", IDR_TDLOFT_REALTIME, false, IDCANCEL},
        {"logging", IDR_TDLOFT_REALTIME, true, IDOK},
        {"log file", IDR_TDLOFT_TYPE, false, IDOK},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        CUSBLog& doc = NewDocument(c.nTemplate);
        CAppSettings own;
        if (c.nTemplate == IDR_TDLOFT_TYPE)
            doc.SetSettings(&own);
        AddRecords(doc, {1});
        doc.SetLogging(c.logging);
        QueueOptions(c.answer, true);

        Command(ID_OPTIONS_CONFIGURATION);

        doc.SetLogging(FALSE);
        EXPECT_EQ(win32::PendingModalScripts(), 0u);
        EXPECT_TRUE(TakeCodes().empty());
        EXPECT_EQ(doc.GetLogRecords()->GetCount(), 1);
        doc.SetSettings(nullptr);
    }
}

} // namespace
