// The capture document's set-up and tear-down: what a new live document reads from the application and asks
// of the driver, what a saved log's document leaves to its file, the device model built again, and the
// contents deleted (the system object once, the records with their banks).
#include <gtest/gtest.h>

#include <vector>

#include "NtControl.h"
#include "NtPnpControl.h"
#include "WinVersionControl.h"
#include "app/core/app/Resource.h"
#include "app/core/document/USBLog.h"
#include "app/core/filters/FilterDefinition.h"
#include "app/core/records/LogRecords.h"
#include "app/core/settings/AppSettings.h"
#include "app/core/system/ProgramVersion.h"
#include "app/devices/AttachedDevices.h"
#include "app/devices/AttachedDrivers.h"
#include "app/devices/System.h"
#include "common/ControlCodes.h"
#include "tests/support/AppStarter.h"
#include "tests/support/FakeControlDevice.h"

namespace {

using tdl::test::FakeControlDevice;

class CaptureDocumentTest : public testing::Test {
protected:
    void SetUp() override {
        nt::ResetKernelState();
        m_fake = std::make_unique<FakeControlDevice>();
        CTindaloftApp& app = m_starter.Make();
        app.m_strMachineName = "ada@bench";
        app.m_Settings.MaxLogBuffer = 1 << 16;
        app.m_Settings.ContinuousLogging = true;
        app.m_DriverInfo.LogBlockSize = 4096;
    }
    void TearDown() override {
        if (m_doc != nullptr)
            m_template->RemoveDocument(m_doc.get());
        m_doc.reset();
        m_template.reset();
        m_fake.reset();
        nt::pnp::Shutdown();
    }

    // A document of the template's kind, set up as the framework sets up a new one.
    CUSBLog* NewDocument(UINT nTemplate, BOOL* pResult = nullptr) {
        m_template = std::make_unique<CMultiDocTemplate>(nTemplate, RUNTIME_CLASS(CUSBLog), nullptr, nullptr);
        auto* doc = new CUSBLog;
        m_template->AddDocument(doc);
        m_doc.reset(doc);
        m_fake->ClearRequests();
        const BOOL bResult = doc->OnNewDocument();
        if (pResult != nullptr)
            *pResult = bResult;
        return doc;
    }
    std::vector<ULONG> Codes() const {
        std::vector<ULONG> codes;
        for (const tdl::test::FakeRequest& request : m_fake->Requests())
            codes.push_back(request.code);
        return codes;
    }

    apptest::AppStarter m_starter;
    std::unique_ptr<FakeControlDevice> m_fake;
    std::unique_ptr<CMultiDocTemplate> m_template;
    std::unique_ptr<CUSBLog> m_doc;
};

TEST_F(CaptureDocumentTest, NewLiveDocumentTakesTheMachineAndCreatesItsBuffer) {
    BOOL bResult = FALSE;
    CUSBLog* doc = NewDocument(IDR_TDLOFT_REALTIME, &bResult);
    ASSERT_TRUE(bResult);
    const CTindaloftApp& app = m_starter.App();

    // The framework's emptying first (change log off and cleared), then the driver refreshes its stacks before
    // both lists are read (size, then list), and change logging is on at the end.
    EXPECT_EQ(Codes(), (std::vector<ULONG>{IOCTL_TINDALOFT_DISABLE_CLOG, IOCTL_TINDALOFT_CLEAR_CLOG,
                                           IOCTL_TINDALOFT_DEVSTK_REFRESH, IOCTL_TINDALOFT_DEVSTK_NODES,
                                           IOCTL_TINDALOFT_DEVSTK_NODES, IOCTL_TINDALOFT_DRVOBJ_NODES,
                                           IOCTL_TINDALOFT_DRVOBJ_NODES, IOCTL_TINDALOFT_ENABLE_CLOG}));

    ASSERT_NE(doc->GetHostSystem(), nullptr);
    EXPECT_STREQ(doc->GetHostSystem()->GetName(), "ada@bench");
    const ::ConnectionElement& root = doc->GetConnectionTree().get();
    EXPECT_EQ(root.m_ElementType, HostComputer);
    EXPECT_EQ(root.m_pElemObject, doc->GetHostSystem());
    EXPECT_STREQ(root.m_LabelText, "ada@bench");
    // The machine itself has no check box.
    EXPECT_FALSE(root.m_IsCheckable);
    EXPECT_NE(doc->GetHostControllers(), nullptr);
    EXPECT_NE(doc->GetStackTree(), nullptr);
    EXPECT_NE(doc->GetAttachedDevices(), nullptr);
    EXPECT_NE(doc->GetAttachedDrivers(), nullptr);
    EXPECT_TRUE(doc->IsDeviceModelLoaded());
    // The device tree shows the new model at its next refresh.
    EXPECT_TRUE(doc->IsDeviceTreeModified());

    EXPECT_EQ(doc->GetSettings(), &app.m_Settings);
    EXPECT_EQ(doc->GetProcessorArchitecture(), static_cast<WORD>(app.m_OSVersion.GetArchitecture()));
    EXPECT_STREQ(doc->GetOSDescription(), app.m_OSVersion.GetDescription());
    const PROGRAM_VERSION version = GetProgramVersion();
    EXPECT_EQ(doc->GetVersionMajor(), version.Major);
    EXPECT_EQ(doc->GetVersionMinor(), version.Minor);
    EXPECT_EQ(doc->GetVersionThird(), version.Revision);
    EXPECT_EQ(doc->GetVersionFourth(), version.Build);
    EXPECT_GT(doc->GetPerformanceFrequency(), 0);

    // Bank size from the settings, the driver's block as the reserve, switching by ContinuousLogging.
    LogRecords::CLogRecords* records = doc->GetLogRecords();
    ASSERT_NE(records, nullptr);
    ASSERT_NE(records->GetCaptureBuffer(), nullptr);
    EXPECT_EQ(records->GetCaptureBuffer()->GetBankSize(), 1u << 16);
    EXPECT_EQ(records->GetCaptureBuffer()->GetBank(0)->GetReserve(), 4096u);
    EXPECT_TRUE(records->IsContinuous());

    for (INT_PTR i = 0; i < CUSBLog::DeviceFlagCount; ++i)
        ASSERT_EQ(doc->GetDeviceFlag(i), 1) << i;
}

TEST_F(CaptureDocumentTest, SavedLogDocumentIsLeftToItsFileAndAsksTheDriverNothing) {
    BOOL bResult = FALSE;
    CUSBLog* doc = NewDocument(IDR_TDLOFT_TYPE, &bResult);
    // Made new, it is an empty log; its set-up as a capture refuses.
    EXPECT_TRUE(bResult);
    EXPECT_FALSE(doc->InitCaptureDocument());
    EXPECT_TRUE(Codes().empty());
    EXPECT_NE(doc->GetHostSystem(), nullptr);
    EXPECT_NE(doc->GetLogRecords(), nullptr);
    EXPECT_EQ(doc->GetSettings(), nullptr);
    EXPECT_EQ(doc->GetVersionMajor(), 0);
    m_fake->ClearRequests();
    doc->DeleteContents();
    EXPECT_TRUE(Codes().empty());
}

TEST_F(CaptureDocumentTest, VersionIsReadOnlyWhileItsMajorNumberIsZero) {
    CUSBLog doc;
    doc.InitVersionInfo();
    EXPECT_EQ(doc.GetVersionMajor(), GetProgramVersion().Major);
    // A version the document already has (a loaded log's) is kept.
    win32::RegisterVersionResource(nullptr, win32::MakeFixedFileInfo(99, 1, 2, 3),
                                   {{"040904b0", "FileVersion", "99, 1, 2, 3"}});
    doc.InitVersionInfo();
    EXPECT_EQ(doc.GetVersionMajor(), GetProgramVersion().Major);
    RegisterProgramVersionResource();
}

TEST_F(CaptureDocumentTest, RefreshRebuildsTheModelWithChangeLoggingPausedAround) {
    CUSBLog* doc = NewDocument(IDR_TDLOFT_REALTIME);
    const CAttachedDevices* oldDevices = doc->GetAttachedDevices();
    const CAttachedDrivers* oldDrivers = doc->GetAttachedDrivers();
    CSystem* system = doc->GetHostSystem();
    m_fake->ClearRequests();
    doc->SetDeviceTreeModified(FALSE);
    doc->RefreshDevices();
    EXPECT_TRUE(doc->IsDeviceTreeModified());
    EXPECT_EQ(Codes(), (std::vector<ULONG>{IOCTL_TINDALOFT_DISABLE_CLOG, IOCTL_TINDALOFT_DEVSTK_NODES,
                                           IOCTL_TINDALOFT_DEVSTK_NODES, IOCTL_TINDALOFT_DRVOBJ_NODES,
                                           IOCTL_TINDALOFT_DRVOBJ_NODES, IOCTL_TINDALOFT_ENABLE_CLOG}));
    EXPECT_NE(doc->GetAttachedDevices(), nullptr);
    EXPECT_NE(doc->GetAttachedDevices(), oldDevices);
    EXPECT_NE(doc->GetAttachedDrivers(), oldDrivers);
    // The root stays: the system is the same machine.
    EXPECT_EQ(doc->GetHostSystem(), system);
    EXPECT_EQ(doc->GetConnectionTree().get().m_pElemObject, system);
    EXPECT_TRUE(doc->IsDeviceModelLoaded());
}

TEST_F(CaptureDocumentTest, DeleteContentsDeletesTheModelAndTheRecordsOnceAndANewStartMakesThemAgain) {
    CUSBLog* doc = NewDocument(IDR_TDLOFT_REALTIME);
    doc->SetCaptureFilterOn(TRUE);
    doc->SetCaptureFilter(new CFilterDefinition);
    doc->DeleteContents();
    EXPECT_EQ(doc->GetHostSystem(), nullptr);
    EXPECT_EQ(doc->GetConnectionTree().get().m_pElemObject, nullptr);
    EXPECT_EQ(doc->GetHostControllers(), nullptr);
    EXPECT_EQ(doc->GetStackTree(), nullptr);
    EXPECT_EQ(doc->GetAttachedDevices(), nullptr);
    EXPECT_EQ(doc->GetAttachedDrivers(), nullptr);
    EXPECT_EQ(doc->GetLogRecords(), nullptr);
    EXPECT_EQ(doc->GetCaptureFilter(), nullptr);
    EXPECT_FALSE(doc->IsDeviceModelLoaded());
    // Without a store there is nothing to capture into: no thread starts.
    doc->EnableLogging();
    EXPECT_FALSE(doc->IsLogging());
    // The framework's next new document runs DeleteContents again (nothing left to delete), then the set-up.
    EXPECT_TRUE(doc->OnNewDocument());
    EXPECT_NE(doc->GetHostSystem(), nullptr);
    EXPECT_NE(doc->GetLogRecords(), nullptr);
}

TEST(CaptureDocumentFlags, DeviceFlagsGrowOnWriteAndReadPastTheirEndAsEveryEntryStarts) {
    CUSBLog doc;
    EXPECT_EQ(doc.GetDeviceFlag(CUSBLog::DeviceFlagCount - 1), 0);
    // StackIDs are never reused, so ids beyond the array come: they read 1, as SetAllDeviceFlags sets.
    EXPECT_EQ(doc.GetDeviceFlag(CUSBLog::DeviceFlagCount), 1);
    EXPECT_EQ(doc.GetDeviceFlag(1000), 1);
    try {
        doc.GetDeviceFlag(-1);
        ADD_FAILURE() << "no exception";
    } catch (CInvalidArgException* e) {
        e->Delete();
    }
    doc.SetDeviceFlag(300, 7);
    EXPECT_EQ(doc.GetDeviceFlag(300), 7);
    EXPECT_EQ(doc.GetDeviceFlag(299), 0);
}

} // namespace
