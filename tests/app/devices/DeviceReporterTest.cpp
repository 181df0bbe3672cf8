// The device reporters over hand-built device models: which reporter an object gets and what it is called,
// the rules of each section in the XML report (read back as text) and the HTML form of labels and numbers
// (read as the back-end calls).
#include "app/devices/reports/DeviceReporter.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ConfigurationBuffer.h"
#include "app/decoders/framework/XmlOutputImp.h"
#include "app/devices/AllocateBuffer.h"
#include "app/devices/DeviceClass.h"
#include "app/devices/DeviceObject.h"
#include "app/devices/DeviceStack.h"
#include "app/devices/DriverObject.h"
#include "app/devices/HostController.h"
#include "app/devices/HubPort.h"
#include "app/devices/System.h"
#include "app/devices/UsbHub.h"
#include "app/devices/reports/XmlOutput.h"
#include "tests/support/RecordingOutputImp.h"

namespace {

using Bytes = std::vector<BYTE>;

// The XML of one object's block, lines ended by "\n", without the declaration and the test's root element.
std::string XmlOf(CObject* pObject) {
    CXmlOutput out;
    EXPECT_TRUE(out.BeginDocument("R"));
    XmlOutputImp imp(&out);
    DeviceReporter::ReportDevice(&imp, nullptr, pObject, OUTPUT_MODE_XML);
    std::string text = out.GetMarkup().GetDocument().GetString();
    for (size_t at; (at = text.find("\r\n")) != std::string::npos;)
        text.replace(at, 2, "\n");
    const std::string open = "<R>\n";
    const size_t start = text.find(open);
    if (start == std::string::npos)
        return "";
    text = text.substr(start + open.size());
    return text.substr(0, text.rfind("</R>"));
}

// The back-end calls of one object's block in the HTML report.
std::string HtmlCallsOf(CObject* pObject) {
    tdl::test::RecordingOutputImp imp;
    DeviceReporter::ReportDevice(&imp, nullptr, pObject, OUTPUT_MODE_HTML);
    return imp.Text();
}

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

void SetHubDescriptor(CUsbHub& hub, BYTE type, BYTE ports) {
    const Bytes descriptor = {9, type, ports, 0x09, 0, 50, 100, 0, 0xFF};
    std::copy(descriptor.begin(), descriptor.end(), hub.m_HubDescriptorBlock + 8);
}

// A connection block: device descriptor (bLength 18, class 0, one configuration), device address.
BYTE* NewConnectionBlock(USHORT address) {
    BYTE* block = AllocateZeroedBuffer(CHubPort::ConnectionBlockSize);
    const Bytes device = {18, 1, 0x00, 0x02, 0, 0, 0, 64, 0x34, 0x12, 0x78, 0x56, 0x00, 0x01, 1, 2, 3, 1};
    std::copy(device.begin(), device.end(), block + 12);
    block[33] = static_cast<BYTE>(address);
    block[34] = static_cast<BYTE>(address >> 8);
    block[39] = 1; // connected
    return block;
}

const Bytes kConfiguration = {9, 2, 18, 0, 1, 1, 0, 0x80, 50, 9, 4, 0, 0, 0, 0xFF, 0, 0, 0};

// One of each reporter kind: a controller with its root hub, a port with an external hub and a port with a
// device. The stacks, device objects and driver live here; the controller owns the rest.
class Model {
public:
    Model() {
        m_hcStack.StackID = 1;
        m_hcStack.ChildStackIDs[2] = 2;
        auto* hcClass = new CDeviceClass;
        hcClass->m_ClassName = "USB";
        hcClass->m_DeviceDescription = "Controller";
        hcClass->m_HardwareIDs.Add("PCI\\VEN_1");
        hcClass->m_CompatibleIDs.Add("PCI\\CC_0C0320");
        controller = std::make_unique<CHostController>(&m_hcStack, hcClass);
        controller->SetDeviceName("HCD0");
        controller->m_TargetDevice = "\\Device\\USBFDO-0";
        controller->m_strControllerType = "EHCI";
        controller->m_bIsEhci = 1;

        m_hubStack.StackID = 2;
        m_hubStack.ParentStackID = 1;
        rootHub = new CUsbHub(controller.get(), &m_hubStack, new CDeviceClass);
        controller->m_pRootHub.reset(rootHub);
        SetHubDescriptor(*rootHub, 0x29, 2);

        hubPort = new CHubPort(1);
        hubPort->m_ConnectionStatus = 1;
        hubPort->m_PortDeviceIsHub = 1;
        hubPort->m_pConnectionInfo = NewConnectionBlock(3);
        hubPort->m_Configurations.Add(std::unique_ptr<CUsbConfiguration>(devtest::NewConfiguration(kConfiguration)));
        m_extStack.StackID = 3;
        externalHub = new CUsbHub(&m_extStack, new CDeviceClass);
        externalHub->m_HubKind = HubKindExternal;
        SetHubDescriptor(*externalHub, 0x29, 4);
        hubPort->m_pExternalHub.reset(externalHub);
        rootHub->m_Ports.Add(std::unique_ptr<CHubPort>(hubPort));

        devicePort = new CHubPort(2);
        devicePort->m_ConnectionStatus = 1;
        devicePort->m_pConnectionInfo = NewConnectionBlock(0x104);
        devicePort->m_Configurations.Add(std::unique_ptr<CUsbConfiguration>(devtest::NewConfiguration(kConfiguration)));
        devicePort->m_pDeviceClass.reset(new CDeviceClass);
        m_portStack.StackID = 4;
        devicePort->m_devstk = &m_portStack;
        rootHub->m_Ports.Add(std::unique_ptr<CHubPort>(devicePort));
    }

    std::unique_ptr<CHostController> controller;
    CUsbHub* rootHub;
    CHubPort* hubPort;
    CUsbHub* externalHub;
    CHubPort* devicePort;

private:
    CDeviceStack m_hcStack;
    CDeviceStack m_hubStack;
    CDeviceStack m_extStack;
    CDeviceStack m_portStack;
};

TEST(DeviceReporter, EachKindOfObjectGetsItsReporterAndTypeName) {
    Model m;
    CUsbHub otherKind(nullptr, nullptr);
    otherKind.m_HubKind = 7;
    CDeviceStack superSpeed;
    superSpeed.HasBosDescriptor = 1;
    CSystem system("User@HOST");
    CDeviceStack plainStack;
    const struct {
        const char* what;
        CObject* object;
        std::function<void()> arrange;
        const char* type; // null: no block at all
    } cases[] = {
        {"controller", m.controller.get(), [] {}, "HostController"},
        {"root hub", m.rootHub, [] {}, "RootHub"},
        {"SuperSpeed root hub", m.rootHub, [&] { m.rootHub->m_devstk = &superSpeed; }, "SuperSpeed RootHub"},
        {"hub of another kind", &otherKind, [] {}, "Hub"},
        {"port with a hub", m.hubPort, [] {}, "ExternalHub"},
        {"port with a SuperSpeed hub", m.hubPort, [&] { m.externalHub->m_devstk = &superSpeed; },
         "SuperSpeed ExternalHub"},
        {"port with a device", m.devicePort, [] {}, "PortDevice"},
        {"port with a SuperSpeed device", m.devicePort, [&] { m.devicePort->m_devstk = &superSpeed; },
         "SuperSpeed PortDevice"},
        {"port device without a stack", m.devicePort, [&] { m.devicePort->m_devstk = nullptr; }, "PortDevice"},
        {"system", &system, [] {}, nullptr},
        {"stack", &plainStack, [] {}, nullptr},
        {"nothing", nullptr, [] {}, nullptr},
    };
    for (const auto& c : cases) {
        c.arrange();
        const std::string xml = XmlOf(c.object);
        if (c.type == nullptr) {
            EXPECT_EQ("", xml) << c.what;
            EXPECT_EQ("", HtmlCallsOf(c.object)) << c.what;
            continue;
        }
        EXPECT_EQ(std::string("<Device Type=\"") + c.type + "\">\n", xml.substr(0, xml.find('\n') + 1)) << c.what;
        const std::string heading = std::string("BeginIndent\nWriteSubHeading|") + c.type + "\nBeginTable|1\n";
        const std::string html = HtmlCallsOf(c.object);
        EXPECT_EQ(heading, html.substr(0, heading.size())) << c.what;
        EXPECT_EQ("EndTable|1\nEndIndent\n", html.substr(html.size() - 21)) << c.what;
        EXPECT_EQ("</Device>\n", xml.substr(xml.size() - 10)) << c.what;
    }
}

// The part of `text` from the line starting `from` up to and including the line starting `to`.
std::string Section(const std::string& text, const std::string& from, const std::string& to) {
    const size_t start = text.find(from);
    if (start == std::string::npos)
        return "(no " + from + ")";
    const size_t end = text.find(to, start);
    return text.substr(start, end == std::string::npos ? std::string::npos : text.find('\n', end) + 1 - start);
}

TEST(DeviceReporter, CompatibleIdsFollowTheHubKindAndHardwareIdsAlwaysHaveTheirElement) {
    Model m;
    m.rootHub->m_pDeviceClass->m_CompatibleIDs.Add("USB\\ROOT_HUB");
    const struct {
        const char* what;
        CObject* object;
        bool compatible;
    } cases[] = {
        {"controller", m.controller.get(), true},
        {"root hub (kind 0)", m.rootHub, false},
        {"external hub (kind 1)", m.hubPort, true},
        {"port device", m.devicePort, true},
    };
    for (const auto& c : cases) {
        const std::string xml = XmlOf(c.object);
        EXPECT_EQ(c.compatible, Has(xml, "<CompatibleIDs")) << c.what;
        EXPECT_TRUE(Has(xml, "<HardwareIDs")) << c.what;
    }
    EXPECT_TRUE(Has(HtmlCallsOf(m.controller.get()), "WriteValue|Compatible&nbsp;ID&nbsp;(0)|PCI\\CC_0C0320\n"));
    EXPECT_FALSE(Has(HtmlCallsOf(m.rootHub), "Compatible"));
    EXPECT_TRUE(Has(XmlOf(m.controller.get()),
                    "<CompatibleIDs>\n<CompatibleID.0>PCI\\CC_0C0320</CompatibleID.0>\n</CompatibleIDs>\n"));

    // Without a registry record the sections keep their headings.
    m.devicePort->m_pDeviceClass.reset();
    const std::string xml = XmlOf(m.devicePort);
    EXPECT_TRUE(Has(xml, "<PnpRegistryProps/>\n<DeviceStack>")) << xml;
    EXPECT_TRUE(Has(xml, "<DeviceInterfaces/>\n<PortDevice>")) << xml;
    m.devicePort->m_devstk = nullptr;
    EXPECT_TRUE(Has(XmlOf(m.devicePort), "<DeviceStack/>\n")) << xml;
    EXPECT_TRUE(Has(HtmlCallsOf(m.devicePort), "WriteHeaderRow|Device&nbsp;Stack&nbsp;Properties|\nEndElement\n"
                                               "EndTable|1\n"));
}

TEST(DeviceReporter, StackSectionLeavesOutEmptyIdsAndHeadsThePdo) {
    Model m;
    CDeviceStack& stack = *m.devicePort->m_devstk;
    stack.ChildStackIDs[1] = 0x15;
    stack.ChildStackIDs[3] = 0x17;
    stack.DeviceID = "USB\\VID_1234&PID_5678\\1";
    stack.Removed = 1;
    CDriverObject driver;
    driver.m_DriverName = "usbhub";
    CDeviceObject pdo;
    pdo._NtDeviceObject = 0xFFFFFA8001234560ull;
    pdo._DeviceName = "\\Device\\USBPDO-4";
    pdo._StatusFlags = 0x11;
    pdo._Driver = &driver;
    driver.AddDeviceObject(&pdo);
    CDeviceObject fdo;
    fdo._NtDeviceObject = 0x20;
    fdo._StatusFlags = 0x01; // hooked but not selected: not loggable
    CDeviceObject filter;
    filter._StatusFlags = 0x10; // selected but not hooked
    stack.m_DevObjMap[2] = &filter;
    stack.m_DevObjMap[0] = &pdo;
    stack.m_DevObjMap[1] = &fdo;

    EXPECT_EQ(
        "<DeviceStack>\n<StackID>0004</StackID>\n<ChildStackIDs>\n<ChildStackID>0015</ChildStackID>\n"
        "<ChildStackID>0017</ChildStackID>\n</ChildStackIDs>\n<DeviceID>USB\\VID_1234&amp;PID_5678\\1</DeviceID>\n"
        "<Removed>true</Removed>\n<DeviceObjects>\n"
        "<DeviceObject Order=\"0\">\n<ObjectHandle>fffffa8001234560</ObjectHandle>\n"
        "<DeviceName>\\Device\\USBPDO-4</DeviceName>\n<DriverName>usbhub</DriverName>\n"
        "<Loggable>true</Loggable>\n</DeviceObject>\n"
        "<DeviceObject Order=\"1\">\n<ObjectHandle>20</ObjectHandle>\n<DeviceName/>\n<DriverName/>\n"
        "<Loggable>false</Loggable>\n</DeviceObject>\n"
        "<DeviceObject Order=\"2\">\n<ObjectHandle>0</ObjectHandle>\n<DeviceName/>\n<DriverName/>\n"
        "<Loggable>false</Loggable>\n</DeviceObject>\n"
        "</DeviceObjects>\n</DeviceStack>\n",
        Section(XmlOf(m.devicePort), "<DeviceStack>", "</DeviceStack>"));

    EXPECT_EQ("WriteHeaderRow|Device&nbsp;Stack&nbsp;Properties|\n"
              "WriteValue|Stack&nbsp;ID|0x0004\n"
              "WriteValue|Child&nbsp;Stack&nbsp;ID|0x0015\n"
              "WriteValue|Child&nbsp;Stack&nbsp;ID|0x0017\n"
              "WriteValue|DeviceID|USB\\VID_1234&PID_5678\\1\n"
              "WriteValue|Removed|true\n"
              "WriteHeaderRow|DeviceObject.0.PDO|\n"
              "WriteValue|DeviceObject&nbsp;Address|0xfffffa8001234560\n"
              "WriteValue|Order|0\n"
              "WriteValue|Device&nbsp;Name|\\Device\\USBPDO-4\n"
              "WriteValue|Driver&nbsp;Name|usbhub\n"
              "WriteValue|Loggable|true\n"
              "EndElement\n"
              "WriteHeaderRow|DeviceObject.1|\n"
              "WriteValue|DeviceObject&nbsp;Address|0x20\n"
              "WriteValue|Order|1\n"
              "WriteValue|Device&nbsp;Name|\n"
              "WriteValue|Driver&nbsp;Name|\n"
              "WriteValue|Loggable|false\n"
              "EndElement\n"
              "WriteHeaderRow|DeviceObject.2|\n",
              Section(HtmlCallsOf(m.devicePort), "WriteHeaderRow|Device&nbsp;Stack", "WriteHeaderRow|DeviceObject.2"));

    // A parent is named when there is one.
    EXPECT_TRUE(Has(XmlOf(m.rootHub), "<StackID>0002</StackID>\n<ParentStackID>0001</ParentStackID>\n"));
    stack.m_DevObjMap.RemoveAll();
}

TEST(DeviceReporter, InterfaceEntriesNeedALinkAndAKnownClass) {
    Model m;
    CDeviceClass& hc = *m.controller->m_pDeviceClass;
    const struct {
        const GUID* guid;
        const char* link;
    } entries[] = {
        {&GUID_DEVINTERFACE_USB_HOST_CONTROLLER, "\\\\?\\pci#a"},
        {&GUID_DEVINTERFACE_USB_HOST_CONTROLLER, ""}, // no link: skipped
        {&GUID_DEVINTERFACE_USB_HUB, "\\\\?\\pci#c"}, // not a controller's class: skipped
        {nullptr, "\\\\?\\pci#d"},                    // a class this program does not know: skipped
        {&GUID_DEVINTERFACE_NEC_USB3_HOST_CONTROLLER, "\\\\?\\pci#e"},
    };
    for (const auto& e : entries) {
        hc.m_InterfaceGuids.Add(e.guid);
        hc.m_SymbolicLinks.Add(e.link);
        hc.m_DeviceNames.Add(CString("\\Device\\") + (e.link[0] != '\0' ? e.link + 8 : "none"));
    }
    EXPECT_EQ("<DeviceInterfaces>\n"
              "<Interface Name=\"HCD\">\n<GUID/>\n<SymbolicLink>\"\\\\.\\HCD0\"</SymbolicLink>\n"
              "<TargetDevice>\\Device\\USBFDO-0</TargetDevice>\n</Interface>\n"
              "<Interface Name=\"GUID_DEVINTERFACE_USB_HOST_CONTROLLER\">\n"
              "<GUID>{3abf6f2d-71c4-462a-8a92-1e6861e6af27}</GUID>\n<SymbolicLink>\\\\?\\pci#a</SymbolicLink>\n"
              "<TargetDevice>\\Device\\a</TargetDevice>\n</Interface>\n"
              "<Interface Name=\"GUID_DEVINTERFACE_NEC_USB3_HOST_CONTROLLER\">\n"
              "<GUID>{ac051b02-603b-4b3c-b14b-95c9268de081}</GUID>\n<SymbolicLink>\\\\?\\pci#e</SymbolicLink>\n"
              "<TargetDevice>\\Device\\e</TargetDevice>\n</Interface>\n"
              "</DeviceInterfaces>\n",
              Section(XmlOf(m.controller.get()), "<DeviceInterfaces>", "</DeviceInterfaces>"));
    EXPECT_EQ("WriteHeaderRow|Device&nbsp;Interfaces|\n"
              "WriteHeaderRow|Public&nbsp;HCD&nbsp;Interface|\n"
              "WriteValue|SymbolicLink|\"\\\\.\\HCD0\"\n"
              "WriteValue|TargetDevice|\\Device\\USBFDO-0\n"
              "EndElement\n"
              "WriteHeaderRow|GUID&nbsp;Interface|GUID_DEVINTERFACE_USB_HOST_CONTROLLER\n"
              "WriteValue|GUID&nbsp;Value|{3abf6f2d-71c4-462a-8a92-1e6861e6af27}\n",
              Section(HtmlCallsOf(m.controller.get()), "WriteHeaderRow|Device&nbsp;Interfaces",
                      "WriteValue|GUID&nbsp;Value"));

    // A legacy name that is a device path already keeps its prefix; without one there is no HCD entry.
    m.controller->SetDeviceName("\\\\.\\HCD1");
    EXPECT_TRUE(Has(XmlOf(m.controller.get()), "<SymbolicLink>\"\\\\.\\HCD1\"</SymbolicLink>"));
    m.controller->SetDeviceName("");
    EXPECT_FALSE(Has(XmlOf(m.controller.get()), "Name=\"HCD\""));

    // Hubs name their two classes; the port device names its first link whatever its class.
    CDeviceClass& hub = *m.rootHub->m_pDeviceClass;
    hub.m_InterfaceGuids.Add(&GUID_DEVINTERFACE_NEC_USB3_HUB);
    hub.m_SymbolicLinks.Add("\\\\?\\usb#root");
    hub.m_DeviceNames.Add("\\Device\\USBPDO-1");
    EXPECT_TRUE(Has(XmlOf(m.rootHub), "<Interface Name=\"GUID_DEVINTERFACE_NEC_USB3_HUB\">\n"
                                      "<GUID>{c7426f31-6b8e-47d5-bae8-35faf7ff53d9}</GUID>\n"));
    CDeviceClass& device = *m.devicePort->m_pDeviceClass;
    device.m_InterfaceGuids.Add(&GUID_DEVINTERFACE_USB_HUB);
    device.m_SymbolicLinks.Add("\\\\?\\usb#vid_1234");
    device.m_DeviceNames.Add("\\Device\\USBPDO-4");
    EXPECT_EQ("<DeviceInterfaces>\n<Interface Name=\"GUID_DEVINTERFACE_USB_DEVICE\">\n"
              "<GUID>{f18a0e88-c30c-11d0-8815-00a0c906bed8}</GUID>\n<SymbolicLink>\\\\?\\usb#vid_1234</SymbolicLink>\n"
              "<TargetDevice>\\Device\\USBPDO-4</TargetDevice>\n</Interface>\n</DeviceInterfaces>\n",
              Section(XmlOf(m.devicePort), "<DeviceInterfaces>", "</DeviceInterfaces>"));
    device.m_SymbolicLinks[0] = "";
    EXPECT_TRUE(Has(XmlOf(m.devicePort), "<DeviceInterfaces/>\n"));
}

TEST(DeviceReporter, InterfaceListsShorterThanTheLinksStopTheReportWithAnError) {
    Model m;
    CDeviceClass& hub = *m.rootHub->m_pDeviceClass;
    hub.m_InterfaceGuids.Add(&GUID_DEVINTERFACE_USB_HUB);
    hub.m_SymbolicLinks.Add("\\\\?\\usb#root");
    // No target device for the link.
    bool thrown = false;
    try {
        XmlOf(m.rootHub);
    } catch (CInvalidArgException* e) {
        e->Delete();
        thrown = true;
    }
    EXPECT_TRUE(thrown);
    hub.m_DeviceNames.Add("\\Device\\USBPDO-1");
    hub.m_SymbolicLinks.Add("\\\\?\\usb#second"); // and no GUID for the second
    thrown = false;
    try {
        HtmlCallsOf(m.rootHub);
    } catch (CInvalidArgException* e) {
        e->Delete();
        thrown = true;
    }
    EXPECT_TRUE(thrown);
}

TEST(DeviceReporter, RootHubSpeedComesFromTheStackThenTheController) {
    Model m;
    CDeviceStack superSpeed;
    superSpeed.HasBosDescriptor = 1;
    const struct {
        const char* what;
        std::function<void()> arrange;
        const char* speed;
    } cases[] = {
        {"EHCI controller", [] {}, "High (max)"},
        {"xHCI controller, stack not SuperSpeed",
         [&] {
             m.controller->m_bIsEhci = 0;
             m.controller->m_bIsXhci = 1;
         },
         "Full (max)"},
        {"SuperSpeed stack", [&] { m.rootHub->m_devstk = &superSpeed; }, "5Gbps (max)"},
        {"no controller",
         [&] {
             m.rootHub->m_devstk = nullptr;
             m.controller->m_bIsEhci = 1;
             m.rootHub->SetHostController(nullptr);
         },
         "Full (max)"},
    };
    for (const auto& c : cases) {
        c.arrange();
        EXPECT_EQ(std::string("<RootHub>\n<NumberOfPorts>02</NumberOfPorts>\n<Speed>") + c.speed +
                      "</Speed>\n</RootHub>\n",
                  Section(XmlOf(m.rootHub), "<RootHub>", "</RootHub>"))
            << c.what;
        EXPECT_TRUE(Has(HtmlCallsOf(m.rootHub), std::string("WriteHeaderRow|RootHub|\nWriteValue|NumberOfPorts|0x02\n"
                                                            "WriteValue|Speed|") +
                                                    c.speed + "\n"))
            << c.what;
    }
}

TEST(DeviceReporter, HubDescriptorSectionFollowsTheStoredType) {
    Model m;
    const struct {
        BYTE type;
        const char* xml;
        const char* html;
    } cases[] = {
        {0x29, "<HubDescriptor>", "WriteHeaderRow|Hub&nbsp;Class&nbsp;Descriptor|"},
        {0x00, "<HubDescriptor>", "WriteHeaderRow|Hub&nbsp;Class&nbsp;Descriptor|"},
        {0x2A, "<SuperSpeedHubDescriptor>", "WriteHeaderRow|SuperSpeed&nbsp;Hub&nbsp;Class&nbsp;Descriptor|"},
        {0x30, nullptr, nullptr},
    };
    for (const auto& c : cases) {
        SetHubDescriptor(*m.externalHub, c.type, 4);
        const std::string xml = XmlOf(m.hubPort);
        const std::string html = HtmlCallsOf(m.hubPort);
        if (c.xml == nullptr) {
            EXPECT_FALSE(Has(xml, "HubDescriptor")) << int{c.type};
            EXPECT_FALSE(Has(html, "Hub&nbsp;Class")) << int{c.type};
            // The configuration follows the hub properties' device descriptor directly.
            EXPECT_TRUE(Has(xml, "</DeviceDescriptor>\n<FullConfiguration>")) << xml;
            continue;
        }
        // Between the device descriptor and the configuration.
        EXPECT_LT(xml.find("</DeviceDescriptor>"), xml.find(c.xml)) << int{c.type};
        EXPECT_LT(xml.find(c.xml), xml.find("<FullConfiguration>")) << int{c.type};
        EXPECT_TRUE(Has(html, c.html)) << int{c.type};
    }
}

TEST(DeviceReporter, PortFieldsNeedTheConnectionBlockAndEscapeTheRedStatus) {
    Model m;
    m.devicePort->m_ConnectionStatus = 2; // a failed enumeration, shown in red
    EXPECT_EQ("<PortDevice>\n<PortNumber>00000002</PortNumber>\n"
              "<ConnectionStatus Description=\"&lt;font color=&quot;red&quot;&gt;Device failed "
              "enumeration&lt;/font&gt;\">00000002</ConnectionStatus>\n"
              "<DeviceAddress>0104</DeviceAddress>\n</PortDevice>\n",
              Section(XmlOf(m.devicePort), "<PortDevice>", "</PortDevice>"));
    EXPECT_EQ(
        "WriteHeaderRow|Port&nbsp;Device|\n"
        "WriteValue|Upstream&nbsp;Port&nbsp;Number|0x00000002\n"
        "WriteValueMeaning|Connection&nbsp;Status|0x00000002|<font color=\"red\">Device failed enumeration</font>\n"
        "WriteValue|Device&nbsp;Address|0x0104\n",
        Section(HtmlCallsOf(m.devicePort), "WriteHeaderRow|Port&nbsp;Device", "WriteValue|Device&nbsp;Address"));
    EXPECT_TRUE(Has(HtmlCallsOf(m.hubPort), "WriteValue|Device&nbsp;Address|0x0003\n"
                                            "WriteValue|Number&nbsp;Of&nbsp;Hub&nbsp;Ports|0x04\n"));

    // Without a connection block: no address, the device descriptor's heading alone; without a
    // configuration, no configuration section.
    FreeBuffer(m.devicePort->m_pConnectionInfo);
    m.devicePort->m_pConnectionInfo = nullptr;
    m.devicePort->ClearConfigurations();
    const std::string xml = XmlOf(m.devicePort);
    EXPECT_FALSE(Has(xml, "DeviceAddress")) << xml;
    EXPECT_TRUE(Has(xml, "</PortDevice>\n<DeviceDescriptor/>\n</Device>\n")) << xml;
    EXPECT_FALSE(Has(HtmlCallsOf(m.devicePort), "Device&nbsp;Address"));
}

} // namespace
