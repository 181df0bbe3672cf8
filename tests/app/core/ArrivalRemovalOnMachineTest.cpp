// Devices that come and go on the default simulated machine while a live document is open: the document
// reads the driver's change log as the main frame does, and its connection tree is then the one a new
// document builds from scratch on the same machine.
#include "tests/app/core/LiveDocumentFixture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/core/capture/KxTdloft.h"
#include "app/devices/AttachedDevices.h"
#include "app/devices/DeviceClass.h"
#include "app/devices/DeviceObject.h"
#include "app/devices/DeviceStack.h"
#include "app/devices/HostController.h"
#include "app/devices/StackTree.h"
#include "app/devices/SystemHostControllers.h"
#include "app/devices/UsbHub.h"
#include "common/RecordTags.h"
#include "platform/sim/HostControllerModel.h"
#include "platform/sim/UsbDevice.h"
#include "platform/sim/UsbHubModel.h"
#include "tests/app/core/TopologyChecks.h"
#include "tests/support/RecordBuilder.h"

namespace {

class ArrivalRemovalOnMachine : public apptest::LiveDocumentTest {
protected:
    // Every block the driver has, as the main frame's refresh message reads them.
    static void ReadChangeLog(CUSBLog& doc) {
        CKxTdloft device;
        ASSERT_TRUE(device.TryDeviceOpen());
        std::vector<BYTE> buffer(66560);
        for (int i = 0; i < 31; ++i) {
            DWORD dwLength = static_cast<DWORD>(buffer.size());
            if (!device.IoctlReadChangeLog(buffer.data(), dwLength) || dwLength == 0)
                break;
            doc.DissectChangeLogFragment(buffer.data(), dwLength);
        }
        device.DeviceClose();
    }

    // The tree the device model read afresh from the driver gives now.
    static std::string RefreshedTree() {
        CUSBLog fresh;
        EXPECT_TRUE(fresh.OnNewDocument());
        fresh.SetConnectionRoot();
        fresh.RefreshDevices();
        return apptest::DumpTree(fresh, false);
    }

    // Labels and element types; the images follow what the driver has learned of a device since it reported
    // its stack (a SuperSpeed device's BOS descriptor comes later), which only a refresh reads.
    void ExpectCurrent(CUSBLog& doc) {
        ReadChangeLog(doc);
        EXPECT_EQ(RefreshedTree(), apptest::DumpTree(doc, false));
        apptest::ExpectNoStaleLinks(doc);
    }

    // The stack of a machine device's physical device object, as the document knows it.
    static CDeviceStack* StackOf(CUSBLog& doc, PDEVICE_OBJECT pdo) {
        CDeviceObject* pDevice = nullptr;
        if (!doc.GetAttachedDevices()->GetPresentClassDeviceObject(reinterpret_cast<ULONG_PTR>(pdo), pDevice))
            return nullptr;
        return pDevice->_DevStack;
    }
};

TEST_F(ArrivalRemovalOnMachine, UnplugsAndPlugsAnywhereLeaveTheTreeARefreshBuilds) {
    CUSBLog* doc = NewLive();
    // A root-hub port, an external hub's port, the SuperSpeed hub's port, the printer (its class driver
    // unloads and loads again), the external hub with the devices below it, and the SuperSpeed hub, which
    // the vendor stack enumerates; the mouse and the keyboard, whose stacks the driver reads when they start.
    for (const char* name : {"stick", "composite", "ss-disk", "printer", "hub", "ss-hub", "mouse", "keyboard"}) {
        SCOPED_TRACE(name);
        std::shared_ptr<sim::UsbDevice> device = m_machine->Device(name);
        ASSERT_NE(nullptr, device);
        sim::UsbHubModel* pHub = device->ParentHub();
        const int port = device->PortNumber();
        ASSERT_NE(nullptr, m_machine->Unplug(name));
        ExpectCurrent(*doc);
        if (HasFatalFailure())
            return;
        ASSERT_TRUE(m_machine->Plug(*pHub, port, device));
        ExpectCurrent(*doc);
        ASSERT_NE(nullptr, StackOf(*doc, Pdo(name)));
        EXPECT_EQ(2, doc->GetDeviceFlag(StackOf(*doc, Pdo(name))->StackID));
    }
}

TEST_F(ArrivalRemovalOnMachine, AControllerRemovedGoesWithItsTreeAndAddedAgainIsPlacedUnderTheRoot) {
    CUSBLog* doc = NewLive();
    const INT_PTR controllers = doc->GetHostControllers()->GetCount();
    for (bool surprise : {true, false}) {
        SCOPED_TRACE(surprise);
        std::shared_ptr<sim::HostControllerModel> uhci = m_machine->RemoveController("uhci", surprise);
        ASSERT_NE(nullptr, uhci);
        ExpectCurrent(*doc);
        EXPECT_EQ(controllers - 1, doc->GetHostControllers()->GetCount());
        EXPECT_EQ(std::string::npos, apptest::DumpTree(*doc).find("Universal"));

        ASSERT_NE(nullptr, m_machine->AddController(uhci));
        ReadChangeLog(*doc);
        ASSERT_EQ(controllers, doc->GetHostControllers()->GetCount());
        CHostController* pController = doc->GetHostControllers()->GetAt(controllers - 1);
        ASSERT_NE(nullptr, pController->m_devstk);
        EXPECT_EQ(2, doc->GetDeviceFlag(pController->m_devstk->StackID));
        ASSERT_NE(nullptr, pController->m_pDeviceClass);
        // Enumeration asks for both controller interface classes; so does an arrival.
        EXPECT_EQ(2, pController->m_pDeviceClass->m_InterfaceGuids.GetSize());
        const ConnectionElement key(FALSE, UnassignedType, pController);
        apptest::ConnectionNode* pNode = doc->GetConnectionTree().find(key).node();
        ASSERT_NE(nullptr, pNode) << "right under the root";
        EXPECT_EQ("Standard Universal PCI to USB Host Controller(HCD1)", std::string(pNode->get().m_LabelText));
        // Its root hub is placed when the root hub's arrival carried a device handle; the driver learns the
        // handle only later here, so the root hub waits for a refresh.
        CDeviceStack* pRootStack = doc->GetStackTree()->FindStackById(pController->m_devstk->ChildStackIDs[0]);
        ASSERT_NE(nullptr, pRootStack);
        EXPECT_EQ(pRootStack->DeviceHandle != 0 ? 1u : 0u, pNode->size());
        apptest::ExpectNoStaleLinks(*doc);
    }
}

TEST_F(ArrivalRemovalOnMachine, ADeviceArrivingOnARootHubPortReadsAndRelabelsEveryPortOfIt) {
    CUSBLog* doc = NewLive();
    CUsbHub* pRoot = doc->GetHostControllers()->GetAt(0)->GetRootHub();
    apptest::ConnectionNode* pHubNode = pRoot->FindNode(doc);
    ASSERT_NE(nullptr, pHubNode);
    const std::string before = apptest::DumpTree(*doc);
    for (apptest::ConnectionNode* p = pHubNode->first_child(); p != nullptr; p = p->next_sibling())
        p->get().m_LabelText = "stale";
    // A stack the driver never had: its arrival finds no port of its own, and still every port is read.
    DEVSTK_NODE node{};
    node.Header = {NODE_KIND_DEVSTK, DEVSTK_NODE_SIZE};
    node.StackID = 999;
    node.ParentStackID = pRoot->m_devstk->StackID;
    CopyNodeString(node.EnumeratorName, "USB", 3);
    tdl::test::RecordBuilder record(LogTag::ktsA);
    record.Part2(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(&node), sizeof node));
    const std::vector<uint8_t> block = record.Build();
    doc->DissectChangeLogFragment(block.data(), static_cast<DWORD>(block.size()));
    EXPECT_EQ(before, apptest::DumpTree(*doc));
    EXPECT_EQ(2, doc->GetDeviceFlag(999));
    apptest::ExpectNoStaleLinks(*doc);
}

TEST_F(ArrivalRemovalOnMachine, StacksPlacedPastTheFlagArrayHaveTheirFlagsSetAndRead) {
    CUSBLog* doc = NewLive();
    sim::UsbHubModel& root = m_machine->Controller("ehci")->RootHub();
    while (doc->GetStackTree()->GetMaxStackID() <= CUSBLog::DeviceFlagCount + 4) {
        std::shared_ptr<sim::UsbDevice> stick = m_machine->Unplug("stick");
        ASSERT_NE(nullptr, stick);
        ASSERT_TRUE(m_machine->Plug(root, 2, stick));
        ReadChangeLog(*doc);
    }
    CDeviceStack* pStick = StackOf(*doc, Pdo("stick"));
    ASSERT_NE(nullptr, pStick);
    EXPECT_GT(pStick->StackID, CUSBLog::DeviceFlagCount);
    EXPECT_NE(DT_NONE, pStick->m_iDeviceType);
    EXPECT_EQ(2, doc->GetDeviceFlag(pStick->StackID));
    EXPECT_EQ(RefreshedTree(), apptest::DumpTree(*doc, false));
}

} // namespace
