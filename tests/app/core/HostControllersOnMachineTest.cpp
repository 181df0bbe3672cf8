// The live topology of the capture document on the default simulated machine with the capture driver: the
// connection tree a new document builds, the same tree from its saved file, a refresh after an unplug, a
// controller's properties page, controller removal in either order, and StackIDs beyond the flag array.
// The kernel's headers come first: the framework's ASSERT yields to the kernel's.
#include "tests/support/MachineFixture.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <set>
#include <string>

#include "GkPropertyGrid.h"
#include "WinModulesControl.h"
#include "WinSetupApiControl.h"
#include "app/core/app/Resource.h"
#include "app/core/app/TindaloftApp.h"
#include "app/core/document/USBLog.h"
#include "app/devices/AttachedDevices.h"
#include "app/devices/ConnectionTree.h"
#include "app/devices/DeviceObject.h"
#include "app/devices/DeviceStack.h"
#include "app/devices/HostController.h"
#include "app/devices/HubPort.h"
#include "app/devices/StackTree.h"
#include "app/devices/System.h"
#include "app/devices/SystemHostControllers.h"
#include "app/devices/UsbHub.h"
#include "tests/app/core/LiveDocumentFixture.h"
#include "tests/app/core/TopologyChecks.h"
#include "tests/support/AppStarter.h"

namespace {

namespace fs = std::filesystem;
using apptest::ExpectNoStaleLinks;

std::string Dump(CUSBLog& doc) {
    return apptest::DumpTree(doc);
}

// The default machine as a new live document shows it.
const char kGolden[] = R"(HostComputer [ ] 0 User@TDL-WORKSTATION
  HostController [x] 1 Standard Enhanced PCI to USB Host Controller(HCD0)
    RootHub [x] 2 RootHub
      RootHubPort [ ] 4 Port 1: Generic USB Hub
        ExternalHub [x] 4 Generic USB Hub
          ExternalHubPort [ ] 5 Port 1: USB Input Device
          ExternalHubPort [ ] 5 Port 2: USB Printing Support
          ExternalHubPort [ ] 5 Port 3: USB Composite Device
          ExternalHubPort [ ] 3 Port 4: No device connected 
      RootHubPort [ ] 5 Port 2: USB Mass Storage Device
      RootHubPort [ ] 3 Port 3: No device connected 
      RootHubPort [ ] 3 Port 4: No device connected 
      RootHubPort [ ] 3 Port 5: No device connected 
      RootHubPort [ ] 3 Port 6: No device connected 
  HostController [x] 1 Standard Universal PCI to USB Host Controller(HCD1)
    RootHub [x] 2 RootHub
      RootHubPort [ ] 5 Port 1: USB Input Device
      RootHubPort [ ] 3 Port 2: No device connected 
  HostController [x] 1 Standard OpenHCD USB Host Controller(HCD2)
    RootHub [x] 2 RootHub
      RootHubPort [ ] 5 Port 1: WinUSB Device
      RootHubPort [ ] 3 Port 2: No device connected 
      RootHubPort [ ] 3 Port 3: No device connected 
  HostController [x] 1 USB 3.0 eXtensible Host Controller(HCD3)
    SSRootHub [x] 13 SuperSpeed RootHub
      RootHubPort [ ] 14 Port 1: USB 3.0 Hub
        SSExternalHub [x] 14 USB 3.0 Hub
          ExternalHubPort [ ] 15 Port 1: USB Mass Storage Device
          ExternalHubPort [ ] 3 Port 2: No device connected 
          ExternalHubPort [ ] 3 Port 3: No device connected 
          ExternalHubPort [ ] 3 Port 4: No device connected 
      RootHubPort [ ] 3 Port 2: No device connected 
      RootHubPort [ ] 3 Port 3: No device connected 
      RootHubPort [ ] 3 Port 4: No device connected 
)";

using HostControllersOnMachine = apptest::LiveDocumentTest;

// The stack the capture driver reports for a device the machine's builder plugged.
CDeviceStack* StackOfDevice(CUSBLog& doc, PDEVICE_OBJECT pdo) {
    const std::u16string key = tdl::test::Property(pdo, DevicePropertyDriverKeyName);
    return doc.GetStackTree()->FindStackByName(CString(reinterpret_cast<LPCWSTR>(key.c_str())));
}

ULONG64 FirstDeviceObject(const CDeviceStack* pStack) {
    const auto objects = pStack->DeviceObjectsByPosition();
    return objects.empty() ? 0 : objects.front().second->_NtDeviceObject;
}

TEST_F(HostControllersOnMachine, ANewLiveDocumentShowsTheWholeTopology) {
    CUSBLog* doc = NewLive();
    EXPECT_EQ(kGolden, Dump(*doc));
    CSystemHostControllers* pControllers = doc->GetHostControllers();
    ASSERT_EQ(4, pControllers->GetCount());
    for (INT_PTR i = 0; i < pControllers->GetCount(); ++i) {
        CHostController* pController = pControllers->GetAt(i);
        SCOPED_TRACE(i);
        CString name;
        name.Format("HCD%d", static_cast<int>(i));
        EXPECT_EQ(name, pController->GetDeviceName());
        EXPECT_EQ(0, pController->m_TargetDevice.Find("\\Device\\USBFDO-"));
        EXPECT_EQ(pController, pController->m_devstk->m_deviceNode);
        EXPECT_EQ(DT_HOST_CONTROLLER, pController->m_devstk->m_iDeviceType);
        ASSERT_NE(nullptr, pController->m_pRootHub);
        EXPECT_NE(0, pController->m_pRootHub->GetNumberOfPorts());
        if (i > 0)
            EXPECT_LT(pControllers->GetAt(i - 1)->m_devstk->StackID, pController->m_devstk->StackID);
    }
    ExpectNoStaleLinks(*doc);
}

TEST_F(HostControllersOnMachine, ASavedDocumentLoadsWithTheSameTopology) {
    CUSBLog* live = NewLive();
    const std::string dump = Dump(*live);
    const fs::path path = m_dir / "topology.tdloft";
    ASSERT_TRUE(live->OnSaveDocument(path.string().c_str()));
    CUSBLog* loaded = Open(path);
    EXPECT_EQ(dump, Dump(*loaded));
    CSystemHostControllers* pControllers = loaded->GetHostControllers();
    ASSERT_EQ(4, pControllers->GetCount());
    for (INT_PTR i = 0; i < pControllers->GetCount(); ++i) {
        CHostController* pLive = live->GetHostControllers()->GetAt(i);
        CHostController* pLoaded = pControllers->GetAt(i);
        EXPECT_EQ(pLive->GetDeviceName(), pLoaded->GetDeviceName());
        EXPECT_EQ(pLive->m_TargetDevice, pLoaded->m_TargetDevice);
        EXPECT_EQ(pLive->m_bIsEhci, pLoaded->m_bIsEhci);
        EXPECT_EQ(pLive->m_bIsXhci, pLoaded->m_bIsXhci);
        ASSERT_NE(nullptr, pLoaded->m_devstk);
        EXPECT_EQ(pLive->m_devstk->StackID, pLoaded->m_devstk->StackID);
    }
    ExpectNoStaleLinks(*loaded);
}

TEST_F(HostControllersOnMachine, ARefreshAfterAnUnplugShowsTheTopologyWithoutTheDevice) {
    CUSBLog* doc = NewLive();
    ASSERT_EQ(kGolden, Dump(*doc));
    ASSERT_NE(nullptr, m_machine->Unplug("stick"));
    doc->RefreshDevices();
    std::string expected = kGolden;
    const std::string stickPort = "      RootHubPort [ ] 5 Port 2: USB Mass Storage Device\n";
    expected.replace(expected.find(stickPort), stickPort.size(),
                     "      RootHubPort [ ] 3 Port 2: No device connected \n");
    EXPECT_EQ(expected, Dump(*doc));
    ExpectNoStaleLinks(*doc);
}

TEST_F(HostControllersOnMachine, AControllerPageShowsItsIdentityLinkAndInterfaces) {
    CUSBLog* doc = NewLive();
    CHostController* pController = doc->GetHostControllers()->GetAt(0);
    CGkPropertyGrid grid;
    pController->CreateHostControllerPropsPage(grid.AddCategory("placeholder"));
    const std::string page = grid.DumpModel(gkDumpCategory | gkDumpReadOnly | gkDumpExpanded).GetString();
    EXPECT_EQ(R"(Host Controller Properties [category] [expanded]
  Description = Standard Enhanced PCI to USB Host Controller [read-only]
  Controller Type = EHCI (Enhanced Host Controller Interface) [read-only]
  Setup Class = USB [read-only]
  Class GUID = {36fc9e60-c465-11cf-8056-444553540000} [read-only]
  Enumerator = PCI [read-only]
  Hardware ID = PCI\VEN_7A51&DEV_0C32&SUBSYS_00017A51&REV_01 [read-only]
  Symbolic Link = "\\.\HCD0" [read-only]
  Device Name = \Device\USBFDO-0 [read-only]
  Device Interface : GUID_DEVINTERFACE_USB_HOST_CONTROLLER [category] [expanded]
    Interface GUID = {3abf6f2d-71c4-462a-8a92-1e6861e6af27} [read-only]
    Symbolic Link = \\?\PCI#VEN_7A51&DEV_0C32&SUBSYS_00017A51&REV_01#5&f960e77a&0&A0#{3abf6f2d-71c4-462a-8a92-1e6861e6af27} [read-only]
    Device Name = \Device\NTPNP_PCI0000 [read-only]
)",
              page);
}

TEST_F(HostControllersOnMachine, RemovalAndDeletionOfAControllerWorkInEitherOrder) {
    for (bool removeFirst : {true, false}) {
        SCOPED_TRACE(removeFirst);
        CUSBLog* doc = NewLive();
        CSystemHostControllers* pControllers = doc->GetHostControllers();
        CHostController* pController = pControllers->GetAt(0);
        CDeviceStack* pStack = pController->m_devstk;
        const size_t before = doc->GetConnectionTree().size();
        if (removeFirst) {
            pController->RemoveHostController(pStack, doc);
            EXPECT_EQ(before - 1, doc->GetConnectionTree().size());
            EXPECT_EQ(nullptr, pController->m_pDeviceClass);
            EXPECT_EQ(nullptr, pStack->m_pSubtree);
            EXPECT_EQ(pController, pStack->m_deviceNode);
            ExpectNoStaleLinks(*doc);
        }
        EXPECT_TRUE(pControllers->DeleteHostController(pController, doc));
        EXPECT_EQ(3, pControllers->GetCount());
        EXPECT_EQ(before - 1, doc->GetConnectionTree().size());
        EXPECT_EQ(nullptr, pStack->m_deviceNode);
        EXPECT_EQ(DT_NONE, pStack->m_iDeviceType);
        ExpectNoStaleLinks(*doc);
        if (!removeFirst) {
            // The stack removal coming late finds no node and leaves everything as it is.
            pController = pControllers->GetAt(0);
            pController->RemoveHostController(pStack, doc);
            EXPECT_EQ(3, pControllers->GetCount());
        }
        doc->DeleteContents();
    }
}

TEST_F(HostControllersOnMachine, OnlyPresentPciUsbStacksWithARootHubAndASetupRecordAreControllers) {
    CUSBLog* doc = NewLive();
    std::vector<CDeviceStack*> stacks;
    for (INT_PTR i = 0; i < doc->GetHostControllers()->GetCount(); ++i)
        stacks.push_back(doc->GetHostControllers()->GetAt(i)->m_devstk);
    ASSERT_EQ(4u, stacks.size());
    // Each of the first four is spoiled in one way; the last one stays a controller.
    stacks[0]->Removed = 1;
    stacks[1]->EnumName = "ACPI";
    stacks[2]->ClassName = "HIDClass";
    const CString key = stacks[3]->DriverKey;
    stacks[3]->DriverKey = "{36fc9e60-c465-11cf-8056-444553540000}\\9999";
    CSystemHostControllers found;
    found.EnumerateHostControllers(doc);
    EXPECT_EQ(0, found.GetCount());
    stacks[3]->DriverKey = key;
    const USHORT child = stacks[3]->ChildStackIDs[0];
    stacks[3]->ChildStackIDs[0] = 0;
    found.EnumerateHostControllers(doc);
    EXPECT_EQ(0, found.GetCount());
    stacks[3]->ChildStackIDs[0] = child;
    stacks[1]->EnumName = "pci";
    found.EnumerateHostControllers(doc);
    ASSERT_EQ(2, found.GetCount());
    found.SortByStackID();
    EXPECT_EQ(stacks[1], found.GetAt(0)->m_devstk);
    EXPECT_EQ(stacks[3], found.GetAt(1)->m_devstk);
    // The stacks now name the new controllers; the document's own are deleted with it.
    for (INT_PTR i = 0; i < found.GetCount(); ++i)
        found.GetAt(i)->m_devstk->m_deviceNode = nullptr;
}

TEST_F(HostControllersOnMachine, AnHcdKeyThatNamesNoStackLeavesItsControllerUnnamedAndThePassGoesOn) {
    CUSBLog* doc = NewLive();
    CSystemHostControllers* pControllers = doc->GetHostControllers();
    for (INT_PTR i = 0; i < pControllers->GetCount(); ++i) {
        pControllers->GetAt(i)->SetDeviceName("");
        pControllers->GetAt(i)->m_TargetDevice.Empty();
    }
    CStackTree* pStacks = doc->GetStackTree();
    CDeviceStack* pFirst = pControllers->GetAt(0)->m_devstk;
    pStacks->m_DriverKeyToDevstk.RemoveKey(pFirst->DriverKey);
    pControllers->GetHCDSymbolicLinks(doc);
    pStacks->m_DriverKeyToDevstk.SetAt(pFirst->DriverKey, pFirst);
    EXPECT_STREQ("", pControllers->GetAt(0)->GetDeviceName());
    EXPECT_STREQ("", pControllers->GetAt(0)->m_TargetDevice);
    for (INT_PTR i = 1; i < pControllers->GetCount(); ++i) {
        CString name;
        name.Format("HCD%d", static_cast<int>(i));
        EXPECT_EQ(name, pControllers->GetAt(i)->GetDeviceName());
    }
}

TEST_F(HostControllersOnMachine, StackIdsBeyondTheFlagArrayBuildRefreshAndReadTheirFlags) {
    // Plug cycles before the document opens: the driver never gives an id twice.
    for (int cycle = 0; cycle < 200; ++cycle) {
        std::shared_ptr<sim::UsbDevice> stick = m_machine->Unplug("stick");
        ASSERT_NE(nullptr, stick);
        ASSERT_TRUE(m_machine->Plug(m_machine->Controller("ehci")->RootHub(), 2, stick));
        CStackTree stacks(CUSBLog::ControlDeviceName());
        CAttachedDevices devices;
        if (stacks.QueryDriverStacks(&devices) && stacks.GetMaxStackID() > CUSBLog::DeviceFlagCount + 10)
            break;
    }
    CUSBLog* doc = NewLive();
    const USHORT maxId = doc->GetStackTree()->GetMaxStackID();
    ASSERT_GT(maxId, CUSBLog::DeviceFlagCount);
    EXPECT_NE(std::string::npos, Dump(*doc).find("SuperSpeed RootHub"));
    doc->RefreshDevices();
    for (USHORT id = 0; id <= maxId; ++id)
        EXPECT_EQ(1, doc->GetDeviceFlag(id)) << id;
}

TEST_F(HostControllersOnMachine, TheRootHubSearchPassesOverChildrenWithoutAHubDescriptor) {
    CUSBLog* doc = NewLive();
    CHostController* pEhci = doc->GetHostControllers()->GetAt(0);
    CDeviceStack* pStack = pEhci->m_devstk;
    CDeviceStack* pRootStack = pEhci->m_pRootHub->m_devstk;
    CDeviceStack* pStick = StackOfDevice(*doc, Pdo("stick"));
    ASSERT_NE(nullptr, pStick);
    const USHORT saved[CDeviceStack::MaxChildren] = {pStack->ChildStackIDs[0], pStack->ChildStackIDs[1]};
    // A plain device first: its hub descriptor request fails and its hub goes again.
    pStack->ChildStackIDs[0] = pStick->StackID;
    pStack->ChildStackIDs[1] = pRootStack->StackID;
    CObject* pRootNode = pRootStack->m_deviceNode;
    {
        CHostController probe(pStack, nullptr);
        CUsbHub* pHub = probe.CreateRootUsbHub(doc);
        ASSERT_NE(nullptr, pHub);
        EXPECT_EQ(pRootStack, pHub->m_devstk);
        EXPECT_EQ(pHub, pRootStack->m_deviceNode);
        EXPECT_EQ(&probe, pHub->GetHostController());
        EXPECT_NE(0, pHub->GetNumberOfPorts());
        EXPECT_EQ(nullptr, pStick->m_deviceNode);
        EXPECT_EQ(DT_NONE, pStick->m_iDeviceType);
        probe.m_devstk = nullptr;
    }
    std::copy(std::begin(saved), std::end(saved), pStack->ChildStackIDs);
    pRootStack->m_deviceNode = pRootNode;
    doc->RefreshDevices();
    EXPECT_EQ(kGolden, Dump(*doc));
    ExpectNoStaleLinks(*doc);
}

class HostControllersOnWindows2000 : public apptest::LiveDocumentTest {
protected:
    nt::version::Release Release() const override { return nt::version::Release::Windows2000; }
};

TEST_F(HostControllersOnWindows2000, TheLegacyNamesAreFoundInTheSessionDirectory) {
    ASSERT_TRUE(m_starter.App().m_OSVersion.m_bWin2000);
    CUSBLog* doc = NewLive();
    CSystemHostControllers* pControllers = doc->GetHostControllers();
    ASSERT_LT(0, pControllers->GetCount());
    // Names follow the controllers' driver keys: each HCDn leads to the controller's own USBFDO-n.
    for (INT_PTR i = 0; i < pControllers->GetCount(); ++i) {
        const CString name = pControllers->GetAt(i)->GetDeviceName();
        ASSERT_EQ(0, name.Find("HCD")) << i;
        EXPECT_EQ(CString("\\Device\\USBFDO-") + name.Mid(3), pControllers->GetAt(i)->m_TargetDevice);
    }
}

TEST_F(HostControllersOnMachine, DeviceTypeInfoComesFromAPlainUsbDevicesPortOnly) {
    CUSBLog* doc = NewLive();
    CDeviceStack* pPrinter = StackOfDevice(*doc, Pdo("printer"));
    ASSERT_NE(nullptr, pPrinter);
    DeviceSummary summary{};
    ASSERT_TRUE(doc->LookupDeviceTypeInfo(FirstDeviceObject(pPrinter), summary));
    EXPECT_EQ(1, summary.NumConfigurations);
    EXPECT_EQ(7, summary.InterfaceClass); // printer
    EXPECT_NE(0, summary.NumInterfaces);

    // A hub's stack, and an address no device object has, leave the summary as it was.
    CDeviceStack* pHub = StackOfDevice(*doc, Pdo("hub"));
    ASSERT_NE(nullptr, pHub);
    DeviceSummary untouched{};
    std::memset(&untouched, 0x5A, sizeof untouched);
    DeviceSummary probe = untouched;
    EXPECT_FALSE(doc->LookupDeviceTypeInfo(FirstDeviceObject(pHub), probe));
    EXPECT_FALSE(doc->LookupDeviceTypeInfo(0x1234, probe));
    EXPECT_EQ(0, std::memcmp(&untouched, &probe, sizeof probe));
}

} // namespace
