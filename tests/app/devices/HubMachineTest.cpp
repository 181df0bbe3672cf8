// Hubs and their ports on the default simulated machine, with the capture driver answering: enumeration,
// its second run, a rebuild, and the removal of a hub and of a device. The kernel's headers come first: the
// framework's ASSERT yields to the kernel's.
#include "tests/support/MachineFixture.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "ArchiveImage.h"
#include "WinModulesControl.h"
#include "WinSetupApiControl.h"
#include "app/core/capture/KxTdloft.h"
#include "app/core/changelog/TopologyRemoval.h"
#include "app/core/document/USBLog.h"
#include "app/devices/AttachedDevices.h"
#include "app/devices/DeviceClass.h"
#include "app/devices/DeviceStack.h"
#include "app/devices/HubPort.h"
#include "app/devices/StackTree.h"
#include "app/devices/UsbHub.h"
#include "common/ControlCodes.h"
#include "tests/app/core/ArchiveBytes.h"

// The capture driver's entry point (driver/core/Driver.h).
DRIVER_INITIALIZE DriverEntry;

namespace {

using Tree = core::tree<ConnectionElement>;

class HubsOnMachine : public tdl::test::MachineTest {
protected:
    void SetUp() override {
        BootDefault(nt::version::Release::Windows7, DriverEntry, tdl::test::BusTime::Off);
        ReadStacks();
    }
    void TearDown() override {
        m_roots.clear();
        m_doc.reset();
        win32::ResetSetupApi();
        win32::ResetModules();
        MachineTest::TearDown();
    }

    void ReadStacks() {
        CKxTdloft driver;
        ASSERT_TRUE(driver.TryDeviceOpen());
        ULONG size = 0;
        DWORD returned = 0;
        ASSERT_TRUE(DeviceIoControl(driver.GetHandle(), IOCTL_TINDALOFT_DEVSTK_NODES, nullptr, 0, &size, sizeof size,
                                    &returned, nullptr));
        std::vector<BYTE> list(size);
        ASSERT_TRUE(DeviceIoControl(driver.GetHandle(), IOCTL_TINDALOFT_DEVSTK_NODES, nullptr, 0, list.data(), size,
                                    &returned, nullptr));
        driver.DeviceClose();
        m_doc = std::make_unique<CUSBLog>();
        ASSERT_TRUE(m_doc->GetStackTree()->ParseDevstkNodes(list.data(), returned, m_doc->GetAttachedDevices()));
        m_doc->GetConnectionTree().get() = ConnectionElement(FALSE, HostComputer, nullptr);
    }

    // The document's stack of a device the machine's builder plugged.
    CDeviceStack* StackOf(std::string_view device) {
        const std::u16string key = tdl::test::Property(Pdo(device), DevicePropertyDriverKeyName);
        return m_doc->GetStackTree()->FindStackByName(CString(reinterpret_cast<LPCWSTR>(key.c_str())));
    }

    // The root hub above a device, built as its host controller builds it, with its node under the root.
    CUsbHub* RootHubAbove(std::string_view device) {
        CDeviceStack* pChild = StackOf(device);
        if (pChild == nullptr)
            return nullptr;
        CDeviceStack* pStack = m_doc->GetStackTree()->FindStackById(pChild->ParentStackID);
        if (pStack == nullptr)
            return nullptr;
        auto hub =
            std::make_unique<CUsbHub>(nullptr, pStack, CDeviceClass::Create(pStack->ClassGuid, pStack->DriverKey));
        hub->m_HubKind = HubKindRoot;
        hub->FetchHubDescriptor();
        ConnectionElement element(TRUE, pStack->HasBosDescriptor ? SSRootHub : RootHub, hub.get());
        pStack->m_pSubtree = m_doc->GetConnectionTree().insert(element).node();
        m_roots.push_back(std::move(hub));
        return m_roots.back().get();
    }

    static std::vector<std::string> Labels(const Tree* pNode) {
        std::vector<std::string> labels;
        for (const Tree* p = pNode->first_child(); p != nullptr; p = p->next_sibling())
            labels.emplace_back(p->get().m_LabelText);
        return labels;
    }

    // The subtree's element types and labels, one line a node, indented by depth.
    static void Shape(const Tree* pNode, std::string& out, int depth = 0) {
        out += std::string(static_cast<size_t>(depth) * 2, ' ') +
               ConnectionElement::GetElementTypeName(pNode->get().m_ElementType) + " " +
               pNode->get().m_LabelText.GetString() + "\n";
        for (const Tree* p = pNode->first_child(); p != nullptr; p = p->next_sibling())
            Shape(p, out, depth + 1);
    }

    // Every model object below the roots, and every node of the tree.
    void CollectLive(const CObject* pObject, std::set<const void*>& live) {
        live.insert(pObject);
        if (pObject->IsKindOf(RUNTIME_CLASS(CUsbHub))) {
            const auto* pHub = static_cast<const CUsbHub*>(pObject);
            for (INT_PTR i = 0; i < pHub->m_Ports.GetSize(); ++i)
                CollectLive(pHub->m_Ports[i], live);
        } else if (const CUsbHub* pExternal = static_cast<const CHubPort*>(pObject)->GetExternalHub()) {
            CollectLive(pExternal, live);
        }
    }
    static void CollectNodes(const Tree* pNode, std::set<const void*>& live) {
        live.insert(pNode);
        for (const Tree* p = pNode->first_child(); p != nullptr; p = p->next_sibling())
            CollectNodes(p, live);
    }
    // No stack names an object or node that is gone.
    void ExpectNoStaleLinks() {
        std::set<const void*> objects;
        std::set<const void*> nodes;
        for (const auto& root : m_roots)
            CollectLive(root.get(), objects);
        CollectNodes(&m_doc->GetConnectionTree(), nodes);
        CStackTree* pStacks = m_doc->GetStackTree();
        for (auto* p = pStacks->m_StackMap.PGetFirstAssoc(); p != nullptr; p = pStacks->m_StackMap.PGetNextAssoc(p)) {
            SCOPED_TRACE(p->value->Description.GetString());
            if (p->value->m_deviceNode != nullptr)
                EXPECT_EQ(1u, objects.count(p->value->m_deviceNode));
            if (p->value->m_pSubtree != nullptr)
                EXPECT_EQ(1u, nodes.count(p->value->m_pSubtree));
        }
    }

    std::unique_ptr<CUSBLog> m_doc;
    std::vector<std::unique_ptr<CUsbHub>> m_roots;
};

TEST_F(HubsOnMachine, EnumerationPlacesEveryDeviceAndASecondRunReusesTheNodes) {
    CUsbHub* pEhci = RootHubAbove("hub");
    ASSERT_NE(nullptr, pEhci);
    EXPECT_TRUE(pEhci->EnumerateHubPorts(m_doc.get()));
    ASSERT_EQ(6, pEhci->GetPortCount());
    Tree* pEhciNode = pEhci->FindNode(m_doc.get());
    EXPECT_EQ(6u, pEhciNode->size());

    CHubPort* pHubPort = pEhci->GetPort(1);
    CUsbHub* pHub = pHubPort->GetExternalHub();
    ASSERT_NE(nullptr, pHub);
    EXPECT_EQ(static_cast<ULONG>(HubKindExternal), pHub->m_HubKind);
    EXPECT_EQ(4, pHub->GetPortCount());
    EXPECT_EQ(StackOf("hub"), pHub->m_devstk);
    EXPECT_EQ(DT_EXTERN_HUB, pHub->m_devstk->m_iDeviceType);
    EXPECT_EQ(pHubPort, pHub->m_devstk->m_deviceNode);
    Tree* pHubNode = pHub->FindNode(m_doc.get());
    ASSERT_NE(nullptr, pHubNode);
    EXPECT_EQ(static_cast<UINT>(ExternalHub), pHubNode->get().m_ElementType);
    EXPECT_EQ(pHubNode, pHub->m_devstk->m_pSubtree);
    EXPECT_EQ(pHubPort, pHubNode->parent()->get().m_pElemObject);
    EXPECT_EQ(4u, pHubNode->size());
    EXPECT_EQ(static_cast<UINT>(ExternalHubPort), pHubNode->first_child()->get().m_ElementType);

    CHubPort* pStickPort = pEhci->GetPort(2);
    EXPECT_EQ(StackOf("stick"), pStickPort->GetDeviceStack());
    EXPECT_EQ(pStickPort, StackOf("stick")->m_deviceNode);
    EXPECT_EQ(DT_GENERIC_USB, StackOf("stick")->m_iDeviceType);
    EXPECT_NE(0, pStickPort->m_CurrentConfig);
    EXPECT_EQ(1, pStickPort->m_Configurations.GetSize());
    EXPECT_EQ(pEhciNode->find(ConnectionElement(FALSE, 0, pStickPort)).node(), StackOf("stick")->m_pSubtree);
    EXPECT_EQ("Port 3: No device connected ", Labels(pEhciNode)[2]);
    EXPECT_EQ("Port 4: No device connected ", Labels(pHubNode)[3]);
    ASSERT_NE(nullptr, StackOf("printer"));
    EXPECT_EQ(StackOf("printer"), pHub->GetPort(2)->GetDeviceStack());

    // The second run finds the same nodes and ports and refreshes them in place.
    std::vector<const void*> before;
    for (Tree* p = pEhciNode->first_child(); p != nullptr; p = p->next_sibling())
        before.push_back(p);
    std::vector<CHubPort*> ports{pEhci->GetPort(1), pEhci->GetPort(6)};
    std::vector<std::string> labels = Labels(pEhciNode);
    pEhciNode->first_child()->get().m_LabelText = "stale";
    EXPECT_TRUE(pEhci->EnumerateHubPorts(m_doc.get()));
    std::vector<const void*> after;
    for (Tree* p = pEhciNode->first_child(); p != nullptr; p = p->next_sibling())
        after.push_back(p);
    EXPECT_EQ(before, after);
    EXPECT_EQ(ports[0], pEhci->GetPort(1));
    EXPECT_EQ(ports[1], pEhci->GetPort(6));
    EXPECT_EQ(pHub, pEhci->GetPort(1)->GetExternalHub());
    EXPECT_EQ(pHubNode, pHub->FindNode(m_doc.get()));
    EXPECT_EQ(4u, pHubNode->size());
    EXPECT_EQ(labels, Labels(pEhciNode));
    ExpectNoStaleLinks();
}

TEST_F(HubsOnMachine, TheSuperSpeedHubGetsItsPortsWithTheDiskOnPortOne) {
    CUsbHub* pXhci = RootHubAbove("ss-hub");
    ASSERT_NE(nullptr, pXhci);
    EXPECT_TRUE(pXhci->EnumerateHubPorts(m_doc.get()));
    EXPECT_EQ(4, pXhci->GetPortCount());
    CUsbHub* pHub = pXhci->GetPort(1)->GetExternalHub();
    ASSERT_NE(nullptr, pHub);
    EXPECT_EQ(4, pHub->GetNumberOfPorts());
    ASSERT_EQ(4, pHub->GetPortCount());
    Tree* pHubNode = pHub->FindNode(m_doc.get());
    ASSERT_NE(nullptr, pHubNode);
    EXPECT_EQ(static_cast<UINT>(SSExternalHub), pHubNode->get().m_ElementType);
    EXPECT_EQ(DT_SS_EXTERN_HUB, pXhci->GetPort(1)->GetImageIndex());
    CHubPort* pDiskPort = pHub->GetPort(1);
    EXPECT_EQ(StackOf("ss-disk"), pDiskPort->GetDeviceStack());
    EXPECT_EQ(DT_SS_GENERIC_USB, pDiskPort->GetImageIndex());
    EXPECT_EQ(DT_SS_GENERIC_USB, StackOf("ss-disk")->m_iDeviceType);
    EXPECT_EQ(1u, pDiskPort->m_ConnectionStatus);
    for (UINT p = 2; p <= 4; ++p)
        EXPECT_EQ(0u, pHub->GetPort(p)->m_ConnectionStatus) << p;
}

TEST_F(HubsOnMachine, AWrongChildCountRebuildsThePortsCleanly) {
    CUsbHub* pEhci = RootHubAbove("hub");
    ASSERT_NE(nullptr, pEhci);
    EXPECT_TRUE(pEhci->EnumerateHubPorts(m_doc.get()));
    Tree* pEhciNode = pEhci->FindNode(m_doc.get());
    CHubPort stranger(9);
    pEhciNode->insert(ConnectionElement(FALSE, RootHubPort, &stranger));
    ASSERT_EQ(7u, pEhciNode->size());
    EXPECT_TRUE(pEhci->EnumerateHubPorts(m_doc.get()));
    EXPECT_EQ(6, pEhci->GetPortCount());
    EXPECT_EQ(6u, pEhciNode->size());
    EXPECT_EQ(g_ConnectionTreeEnd, pEhciNode->find(ConnectionElement(FALSE, 0, &stranger)));
    ASSERT_NE(nullptr, pEhci->GetPort(1)->GetExternalHub());
    EXPECT_EQ(4, pEhci->GetPort(1)->GetExternalHub()->GetPortCount());
    EXPECT_EQ(pEhci->GetPort(1), StackOf("hub")->m_deviceNode);
    ExpectNoStaleLinks();
}

TEST_F(HubsOnMachine, RemovingAHubAndADeviceLeavesNoStackNamingWhatWent) {
    CUsbHub* pEhci = RootHubAbove("hub");
    ASSERT_NE(nullptr, pEhci);
    EXPECT_TRUE(pEhci->EnumerateHubPorts(m_doc.get()));
    CHubPort* pHubPort = pEhci->GetPort(1);
    CDeviceStack* pHubStack = StackOf("hub");
    CDeviceStack* pPrinter = StackOf("printer");
    ASSERT_NE(nullptr, pPrinter);
    ASSERT_NE(nullptr, pPrinter->m_deviceNode);
    ASSERT_NE(nullptr, pPrinter->m_pSubtree);

    ASSERT_NE(nullptr, m_machine->Unplug("hub"));
    pHubPort->RemoveExternalHub(pHubStack, m_doc.get());
    EXPECT_EQ(nullptr, pHubPort->GetExternalHub());
    EXPECT_EQ(nullptr, pHubPort->GetDeviceStack());
    EXPECT_EQ(nullptr, pHubStack->m_pSubtree);
    EXPECT_EQ(nullptr, pPrinter->m_deviceNode);
    EXPECT_EQ(DT_NONE, pPrinter->m_iDeviceType);
    EXPECT_EQ(nullptr, pPrinter->m_pSubtree);
    Tree* pPortNode = m_doc->GetConnectionTree().find_in_subtree(ConnectionElement(FALSE, 0, pHubPort)).node();
    ASSERT_NE(nullptr, pPortNode);
    EXPECT_EQ(0u, pPortNode->size());
    EXPECT_STREQ("Port 1: No device connected ", pPortNode->get().m_LabelText);
    ExpectNoStaleLinks();

    CHubPort* pStickPort = pEhci->GetPort(2);
    CDeviceStack* pStick = StackOf("stick");
    ASSERT_NE(nullptr, m_machine->Unplug("stick"));
    pStickPort->RemoveGenericUsb(pStick, m_doc.get());
    EXPECT_EQ(nullptr, pStickPort->GetDeviceStack());
    EXPECT_EQ(nullptr, pStickPort->GetDeviceClass());
    EXPECT_EQ(0, pStickPort->m_CurrentConfig);
    EXPECT_EQ(0, pStickPort->m_Configurations.GetSize());
    EXPECT_EQ(nullptr, pStick->m_pSubtree);
    EXPECT_EQ("Port 2: No device connected ", Labels(pEhci->FindNode(m_doc.get()))[1]);
    ExpectNoStaleLinks();
    // Once a port has no stack, clearing it again has nothing to ask about.
    EXPECT_FALSE(pStickPort->ClearHubPortInstance(m_doc.get()));
}

TEST_F(HubsOnMachine, ATreeRebuiltFromASavedHubEqualsTheLiveOne) {
    CUsbHub* pXhci = RootHubAbove("ss-hub");
    ASSERT_NE(nullptr, pXhci);
    ASSERT_TRUE(pXhci->EnumerateHubPorts(m_doc.get()));
    std::string live;
    Shape(pXhci->FindNode(m_doc.get()), live);
    const std::vector<BYTE> saved = apptest::Store(*pXhci);

    // The live hub leaves the tree; the saved one is built back in its place.
    CDeviceStack* pRootStack = pXhci->m_devstk;
    const UINT rootType = pXhci->FindNode(m_doc.get())->get().m_ElementType;
    const CString rootLabel = pXhci->FindNode(m_doc.get())->get().m_LabelText;
    ASSERT_TRUE(DeleteTopologyObject(m_doc.get(), pXhci));
    EXPECT_EQ(nullptr, StackOf("ss-disk")->m_deviceNode);
    std::unique_ptr<CUsbHub> loaded(CUsbHub::ForLoading(CUsbHub::CurrentSchema));
    devtest::LoadImage(*loaded, saved, m_doc.get());
    ConnectionElement element(TRUE, rootType, loaded.get());
    element.m_LabelText = rootLabel;
    pRootStack->m_pSubtree = m_doc->GetConnectionTree().insert(element).node();
    EXPECT_TRUE(loaded->BuildConnectionTree(m_doc.get()));
    std::string rebuilt;
    Shape(loaded->FindNode(m_doc.get()), rebuilt);
    EXPECT_EQ(live, rebuilt);
    EXPECT_NE(std::string::npos, rebuilt.find("SSExternalHub")) << rebuilt;
    EXPECT_EQ(loaded->GetPort(1)->GetExternalHub()->GetPort(1), StackOf("ss-disk")->m_deviceNode);
    EXPECT_EQ(DT_SS_GENERIC_USB, StackOf("ss-disk")->m_iDeviceType);
    m_roots.push_back(std::move(loaded));
    ExpectNoStaleLinks();
}

} // namespace
