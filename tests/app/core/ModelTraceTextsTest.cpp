// The texts the device model and the filters write to the trace where something is wrong or worth following:
// each case makes its situation on a live document of the default machine and looks for its text at its
// level. A root hub's removal checks every link it relies on in turn, so each broken link has its own text.
#include "tests/app/core/LiveDocumentFixture.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "AfxMemoryControl.h"
#include "app/core/filters/FilterDefinition.h"
#include "app/devices/AttachedDrivers.h"
#include "app/devices/DeviceClass.h"
#include "app/devices/DeviceStack.h"
#include "app/devices/HostController.h"
#include "app/devices/SystemHostControllers.h"
#include "app/devices/UsbHub.h"
#include "tests/app/core/ArchiveBytes.h"
#include "tests/app/core/TopologyChecks.h"
#include "tests/app/core/TraceCapture.h"

namespace {

struct TextCase {
    const char* name;
    UCHAR level;
    const char* text;
    bool prefix; // the text goes on with values of the moment
    std::function<void(CUSBLog&)> act;
};

// The first controller with a root hub, and that hub.
CHostController* Controller(CUSBLog& doc) {
    CSystemHostControllers* pControllers = doc.GetHostControllers();
    for (INT_PTR i = 0; i < pControllers->GetCount(); ++i)
        if (pControllers->GetAt(i)->m_pRootHub != nullptr && pControllers->GetAt(i)->m_devstk != nullptr)
            return pControllers->GetAt(i);
    return nullptr;
}

void RemoveRootHub(CUSBLog& doc, const std::function<void(CHostController&, CUsbHub&)>& breakLink) {
    CHostController* pController = Controller(doc);
    ASSERT_NE(nullptr, pController);
    CUsbHub* pHub = pController->GetRootHub();
    CDeviceStack* pStack = pHub->m_devstk;
    ASSERT_NE(nullptr, pStack);
    breakLink(*pController, *pHub);
    pHub->RemoveRootHub(pStack, &doc);
}

class ModelTraceTexts : public apptest::LiveDocumentTest {};

TEST_F(ModelTraceTexts, EachTextIsWrittenWhereItsSituationArises) {
    const TextCase cases[] = {
        {"a root hub stack without its node", TRACE_ERROR, "ERROR: RootHub m_pSubtree == NULL", false,
         [](CUSBLog& doc) {
             RemoveRootHub(doc, [](CHostController&, CUsbHub& hub) { hub.m_devstk->m_pSubtree = nullptr; });
         }},
        {"a root hub stack naming an empty node", TRACE_ERROR, "ERROR: roothub m_pSubtree is empty", false,
         [](CUSBLog& doc) {
             RemoveRootHub(doc, [&doc](CHostController&, CUsbHub& hub) {
                 hub.m_devstk->m_pSubtree = doc.GetConnectionTree().insert(ConnectionElement()).node();
             });
         }},
        {"a root hub the tree does not hold", TRACE_ERROR, "ERROR: failed to find 'this' RootHub in ConnectionTree",
         false,
         [](CUSBLog& doc) {
             CUsbHub stranger;
             stranger.RemoveRootHub(Controller(doc)->m_pRootHub->m_devstk, &doc);
         }},
        {"a root hub without its controller", TRACE_ERROR, "ERROR: GetHostController() == NULL", false,
         [](CUSBLog& doc) {
             RemoveRootHub(doc, [](CHostController&, CUsbHub& hub) { hub.SetHostController(nullptr); });
         }},
        {"a controller without its stack", TRACE_ERROR, "ERROR: HostController CDeviceStack* == NULL", false,
         [](CUSBLog& doc) {
             RemoveRootHub(doc, [](CHostController& controller, CUsbHub&) { controller.m_devstk = nullptr; });
         }},
        {"a controller stack without its node", TRACE_ERROR, "ERROR: HostController m_pSubtree == NULL", false,
         [](CUSBLog& doc) {
             RemoveRootHub(doc,
                           [](CHostController& controller, CUsbHub&) { controller.m_devstk->m_pSubtree = nullptr; });
         }},
        {"a root hub node away from its controller's", TRACE_ERROR, "ERROR: failed to remove the RootHub node", false,
         [](CUSBLog& doc) {
             RemoveRootHub(doc, [&doc](CHostController& controller, CUsbHub&) {
                 controller.m_devstk->m_pSubtree = &doc.GetConnectionTree();
             });
         }},
        {"a driver leaving the list", TRACE_INFORMATION, "NtDriverObject = ", true,
         [](CUSBLog& doc) {
             ASSERT_GT(doc.GetAttachedDrivers()->GetCount(), 0);
             doc.GetAttachedDrivers()->RemoveDriver(0);
         }},
        {"a controller stored", TRACE_INFORMATION, "haveRootHub = 1", false,
         [](CUSBLog& doc) { apptest::Store(*Controller(doc)); }},
        {"a controller stored, its stack", TRACE_INFORMATION, "StackID = ", true,
         [](CUSBLog& doc) { apptest::Store(*Controller(doc)); }},
        {"a controller stored, its type", TRACE_INFORMATION, "m_strControllerType = ", true,
         [](CUSBLog& doc) { apptest::Store(*Controller(doc)); }},
        {"a filter stored", TRACE_INFORMATION, "CFilterDefinition::Serialize (storing)", false,
         [](CUSBLog&) {
             CFilterDefinition filter;
             apptest::Store(filter);
         }},
        {"a filter loaded", TRACE_INFORMATION, "CFilterDefinition::Serialize (loading)", false,
         [](CUSBLog&) {
             CFilterDefinition filter;
             const std::vector<BYTE> bytes = apptest::Store(filter);
             EXPECT_EQ(0, apptest::Load(filter, bytes));
         }},
    };
    for (const TextCase& c : cases) {
        SCOPED_TRACE(c.name);
        CloseDocuments();
        CUSBLog* doc = NewLive();
        apptest::TraceCapture traces(c.level);
        c.act(*doc);
        bool found = false;
        for (const std::string& text : traces.Texts())
            found = found || (c.prefix ? text.rfind(c.text, 0) == 0 : text == c.text);
        EXPECT_TRUE(found) << c.text;
        if (HasFatalFailure())
            return;
    }
}

TEST_F(ModelTraceTexts, ARootHubRemovedWhole) {
    CUSBLog* doc = NewLive();
    CHostController* pController = Controller(*doc);
    ASSERT_NE(nullptr, pController);
    CUsbHub* pHub = pController->GetRootHub();
    CDeviceStack* pStack = pHub->m_devstk;
    apptest::TraceCapture errors(TRACE_ERROR);
    pHub->RemoveRootHub(pStack, doc);
    EXPECT_TRUE(errors.Texts().empty());
    EXPECT_EQ(nullptr, pController->m_pRootHub);
    EXPECT_EQ(0u, pController->m_devstk->m_pSubtree->size());
    apptest::ExpectNoStaleLinks(*doc);
}

TEST_F(ModelTraceTexts, AControllerRecordThatCannotBeHadEndsTheSearch) {
    CloseDocuments();
    apptest::TraceCapture errors(TRACE_ERROR);
    afx::memory::InjectFailureOfSizeOnAnyThread(sizeof(CDeviceClass), {0, UINT64_MAX});
    CUSBLog* doc = NewLive();
    afx::memory::ClearInjectedFailures();
    int outOfMemory = 0;
    for (const std::string& text : errors.Texts())
        outOfMemory +=
            text == "CSystemHostControllers::EnumerateHostControllers:Out of memory inserting new controller";
    // The default machine has several controllers: only the first is tried.
    EXPECT_EQ(1, outOfMemory);
    EXPECT_EQ(0, doc->GetHostControllers()->GetCount());
    apptest::ExpectNoStaleLinks(*doc);
}

// The list of interface classes a controller's or a root hub's record asks for cannot grow to its second
// entry: the controller arriving is not made, the root hub's search says why it found none. Nothing escapes.
TEST_F(ModelTraceTexts, AnInterfaceClassListThatCannotGrowLeavesItsObjectOut) {
    CUSBLog* doc = NewLive();
    CSystemHostControllers* pControllers = doc->GetHostControllers();
    CHostController* pController = Controller(*doc);
    ASSERT_NE(nullptr, pController);
    const INT_PTR count = pControllers->GetCount();
    CDeviceStack* pStack = pController->m_devstk;
    CUsbHub* pHub = pController->GetRootHub();
    ASSERT_NE(nullptr, pHub);
    pHub->RemoveRootHub(pHub->m_devstk, doc);
    ASSERT_EQ(nullptr, pController->GetRootHub());

    apptest::TraceCapture errors(TRACE_ERROR);
    afx::memory::InjectFailureOfSizeOnAnyThread(5 * sizeof(const GUID*), {0, UINT64_MAX});
    CUsbHub* pAgain = nullptr;
    EXPECT_NO_THROW(pAgain = pController->CreateRootUsbHub(doc));
    EXPECT_TRUE(pControllers->DeleteHostController(pController, doc));
    CHostController* pArrived = nullptr;
    EXPECT_NO_THROW(pArrived = pControllers->AddHostController(pStack));
    afx::memory::ClearInjectedFailures();
    EXPECT_EQ(nullptr, pAgain);
    EXPECT_EQ(nullptr, pArrived);
    EXPECT_EQ(count - 1, pControllers->GetCount());
    bool said = false;
    for (const std::string& text : errors.Texts())
        said = said || text == "CHostController::TryRootHub - out of memory";
    EXPECT_TRUE(said);
    apptest::ExpectNoStaleLinks(*doc);
}

} // namespace
