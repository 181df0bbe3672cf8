// A connection element's record: label, check box and kind, then the record of the object the kind names,
// read back into a new object of that class; and what it says in the trace while it does.
#include "app/devices/ConnectionElement.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/devices/ConnectionTree.h"
#include "app/devices/HostController.h"
#include "app/devices/HubPort.h"
#include "app/devices/System.h"
#include "app/devices/UsbHub.h"
#include "tests/app/core/TraceCapture.h"

namespace {

using Tree = core::tree<ConnectionElement>;
using Bytes = std::vector<BYTE>;

ConnectionElement Element(UINT type, CObject* pObject, const char* label, BOOL checkable = TRUE) {
    ConnectionElement element(checkable, type, pObject);
    element.m_LabelText = label;
    element.m_hTreeItem = reinterpret_cast<HTREEITEM>(0x1234);
    return element;
}

// The model a machine's tree stands for: one of every object the kinds name.
struct Topology {
    CSystem system{"User@TDL-WORKSTATION"};
    CHostController controller{"HCD0"};
    CUsbHub rootHub;
    CHubPort rootPort{1};
    CUsbHub externalHub;
    CHubPort externalPort{3};
    CUsbHub superSpeedRootHub;
    CUsbHub superSpeedHub;

    Topology() {
        controller.m_TargetDevice = "\\Device\\USBPDO-0";
        controller.m_strControllerType = "EHCI (Enhanced Host Controller Interface)";
        controller.m_bIsEhci = 1;
        rootHub.m_HubDescriptorBlock[9] = 0x29;
        rootPort.m_ConnectionStatus = 1;
        rootPort.m_CurrentConfig = 1;
        externalHub.m_HubKind = HubKindExternal;
        superSpeedRootHub.m_HubDescriptorBlock[9] = 0x2A;
        superSpeedHub.m_HubKind = HubKindExternal;
        externalPort.m_Strings.Add("kept");
    }
};

// Every element kind in one tree, as the device tree holds them, with two kinds that carry no object.
void BuildTree(Topology& t, Tree& root) {
    root.get() = Element(HostComputer, &t.system, "User@TDL-WORKSTATION", FALSE);
    Tree* controller = root.insert(Element(HostController, &t.controller, "Controller(HCD0)")).node();
    Tree* hub = controller->insert(Element(RootHub, &t.rootHub, "RootHub")).node();
    Tree* port = hub->insert(Element(RootHubPort, &t.rootPort, "Port 1: Hub", FALSE)).node();
    Tree* external = port->insert(Element(ExternalHub, &t.externalHub, "Generic USB Hub")).node();
    external->insert(Element(ExternalHubPort, &t.externalPort, "Port 3: No device connected ", FALSE));
    Tree* superSpeed = controller->insert(Element(SSRootHub, &t.superSpeedRootHub, "SuperSpeed RootHub")).node();
    superSpeed->insert(Element(SSExternalHub, &t.superSpeedHub, "SuperSpeed Hub"));
    root.insert(Element(UnassignedType, nullptr, "nothing yet", FALSE));
    root.insert(Element(42, nullptr, "from a later version", FALSE));
}

void PreOrder(const Tree& node, std::vector<const ConnectionElement*>& out) {
    out.push_back(&node.get());
    for (const Tree* child = node.first_child(); child != nullptr; child = child->next_sibling())
        PreOrder(*child, out);
}

Bytes Store(const std::vector<const ConnectionElement*>& elements) {
    CMemFile file(64);
    {
        CArchive ar(&file, CArchive::store);
        for (const ConnectionElement* element : elements)
            const_cast<ConnectionElement*>(element)->Serialize(ar);
        ar.Close();
    }
    Bytes bytes(static_cast<size_t>(file.GetLength()));
    file.SeekToBegin();
    file.Read(bytes.data(), static_cast<UINT>(bytes.size()));
    return bytes;
}

// Loads `count` elements; the objects loading makes are the caller's.
std::vector<ConnectionElement> Load(Bytes bytes, size_t count) {
    CMemFile file(bytes.data(), static_cast<UINT>(bytes.size()));
    CArchive ar(&file, CArchive::load);
    std::vector<ConnectionElement> loaded(count);
    for (ConnectionElement& element : loaded)
        element.Serialize(ar);
    ar.Close();
    EXPECT_EQ(bytes.size(), file.GetPosition()) << "every byte read back";
    return loaded;
}

std::vector<std::string> Matching(const apptest::TraceCapture& traces, const std::vector<std::string>& wanted) {
    std::vector<std::string> found;
    for (const std::string& text : traces.Texts())
        for (const std::string& w : wanted)
            if (text == w)
                found.push_back(text);
    return found;
}

TEST(ConnectionElementSerialize, EveryKindRoundTripsWithItsObjectsRecord) {
    Topology topology;
    Tree root;
    BuildTree(topology, root);
    std::vector<const ConnectionElement*> elements;
    PreOrder(root, elements);
    ASSERT_EQ(10u, elements.size());

    apptest::TraceCapture traces(TRACE_INFORMATION, TRACE_AREA_SERIALIZE);
    const Bytes stored = Store(elements);
    std::vector<ConnectionElement> loaded = Load(stored, elements.size());

    const char* const kClasses[] = {"CSystem",  "CHostController", "CUsbHub", "CHubPort", "CUsbHub",
                                    "CHubPort", "CUsbHub",         "CUsbHub", nullptr,    nullptr};
    std::vector<const ConnectionElement*> reloaded;
    for (size_t i = 0; i < loaded.size(); ++i) {
        SCOPED_TRACE(elements[i]->m_LabelText.GetString());
        const ConnectionElement& was = *elements[i];
        const ConnectionElement& is = loaded[i];
        EXPECT_STREQ(was.m_LabelText, is.m_LabelText);
        EXPECT_EQ(was.m_IsCheckable, is.m_IsCheckable);
        EXPECT_EQ(was.m_ElementType, is.m_ElementType);
        EXPECT_EQ(nullptr, is.m_hTreeItem);
        if (kClasses[i] == nullptr) {
            EXPECT_EQ(nullptr, is.m_pElemObject);
        } else {
            ASSERT_NE(nullptr, is.m_pElemObject);
            EXPECT_NE(was.m_pElemObject, is.m_pElemObject) << "a new object";
            EXPECT_STREQ(kClasses[i], is.m_pElemObject->GetRuntimeClass()->m_lpszClassName);
        }
        reloaded.push_back(&is);
    }
    // The new objects hold what the old ones did: stored again, they give the same bytes.
    EXPECT_EQ(stored, Store(reloaded));
    EXPECT_STREQ("User@TDL-WORKSTATION", static_cast<CSystem*>(loaded[0].m_pElemObject)->GetName());
    auto* pController = static_cast<CHostController*>(loaded[1].m_pElemObject);
    EXPECT_STREQ("\\Device\\USBPDO-0", pController->m_TargetDevice);
    EXPECT_EQ(1, pController->m_bIsEhci);
    EXPECT_EQ(static_cast<ULONG>(HubKindExternal), static_cast<CUsbHub*>(loaded[4].m_pElemObject)->m_HubKind);

    const std::vector<std::string> sequence = {"ConnectionElement::Serialize (storing)",
                                               "ConnectionElement::Serialize (loading)",
                                               "m_ElementType = HostComputer",
                                               "m_ElementType = HostController",
                                               "m_ElementType = RootHub",
                                               "m_ElementType = RootHubPort",
                                               "m_ElementType = ExternalHub",
                                               "m_ElementType = ExternalHubPort",
                                               "m_ElementType = SSRootHub",
                                               "m_ElementType = SSExternalHub",
                                               "m_ElementType = UnassignedType",
                                               "m_ElementType = OtherType",
                                               "Serialize CSystem",
                                               "Serialize CHostController",
                                               "Serialize CUsbHub",
                                               "Serialize CHubPort",
                                               "Serialize Unknown",
                                               "Deserialize HostComputer",
                                               "Deserialize HostController",
                                               "Deserialize RootHub",
                                               "Deserialize RootHubPort",
                                               "Deserialize ExternalHub",
                                               "Deserialize ExternalHubPort",
                                               "Deserialize SSRootHub",
                                               "Deserialize SSExternalHub",
                                               "Deserialize UnassignedType",
                                               "Deserialize default",
                                               "m_LabelText = Port 1: Hub",
                                               "m_IsCheckable = 0",
                                               "m_IsCheckable = 1"};
    for (const std::string& text : sequence)
        EXPECT_TRUE(traces.Has(text)) << text;
    // Per element, in order: the direction, its three fields, then what its object does.
    const std::vector<std::string> first = Matching(
        traces, {"ConnectionElement::Serialize (storing)", "m_LabelText = User@TDL-WORKSTATION", "m_IsCheckable = 0",
                 "m_ElementType = HostComputer", "Serialize CSystem", "CSystem::Serialize (storing)"});
    ASSERT_GE(first.size(), 6u);
    EXPECT_EQ((std::vector<std::string>{"ConnectionElement::Serialize (storing)", "m_LabelText = User@TDL-WORKSTATION",
                                        "m_IsCheckable = 0", "m_ElementType = HostComputer", "Serialize CSystem",
                                        "CSystem::Serialize (storing)"}),
              std::vector<std::string>(first.begin(), first.begin() + 6));

    for (ConnectionElement& element : loaded)
        delete element.m_pElemObject;
}

TEST(ConnectionElementSerialize, AnObjectItsKindDoesNotNameIsRefusedBeforeAnythingIsWritten) {
    Topology topology;
    const ConnectionElement cases[] = {
        Element(RootHub, &topology.rootPort, "a port as a hub"),
        Element(HostController, nullptr, "a controller without its object"),
        Element(UnassignedType, &topology.system, "an object for no kind"),
    };
    for (const ConnectionElement& element : cases) {
        SCOPED_TRACE(element.m_LabelText.GetString());
        CMemFile file(64);
        CArchive ar(&file, CArchive::store);
        bool refused = false;
        try {
            const_cast<ConnectionElement&>(element).Serialize(ar);
        } catch (CArchiveException* e) {
            refused = e->m_cause == CArchiveException::generic;
            e->Delete();
        }
        ar.Abort();
        EXPECT_TRUE(refused);
        EXPECT_EQ(0u, file.GetLength());
    }
}

TEST(ConnectionElementSerialize, AnObjectThatFailsToLoadIsNotLeftBehind) {
    Topology topology;
    Tree root;
    BuildTree(topology, root);
    Bytes stored = Store({&root.first_child()->get()});
    stored.resize(stored.size() - 3); // the controller's record cut short
    CMemFile file(stored.data(), static_cast<UINT>(stored.size()));
    CArchive ar(&file, CArchive::load);
    ConnectionElement element;
    EXPECT_THROW(
        {
            try {
                element.Serialize(ar);
            } catch (CArchiveException* e) {
                e->Delete();
                throw 1;
            }
        },
        int);
    ar.Abort();
    EXPECT_EQ(nullptr, element.m_pElemObject); // AddressSanitizer: the half-loaded controller was deleted
}

} // namespace
