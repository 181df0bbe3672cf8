#include "app/devices/DeviceReporter.h"

#include "app/decoders/framework/OutputerImp.h"
#include "app/devices/DeviceClass.h"
#include "app/devices/DeviceObject.h"
#include "app/devices/DeviceStack.h"
#include "app/devices/DriverObject.h"
#include "app/devices/HostController.h"
#include "app/devices/HostControllerReporter.h"
#include "app/devices/HubPort.h"
#include "app/devices/HubReporter.h"
#include "app/devices/PortDeviceReporter.h"
#include "app/devices/UsbHub.h"
#include "app/ui/PanePointers.h"

namespace {

// The device type names by hub kind: root, external, any other.
LPCSTR HubTypeName(const CUsbHub& hub) {
    switch (hub.m_HubKind) {
    case HubKindRoot:
        return hub.IsSuperSpeed() ? "SuperSpeed RootHub" : "RootHub";
    case HubKindExternal:
        return hub.IsSuperSpeed() ? "SuperSpeed ExternalHub" : "ExternalHub";
    default:
        return "Hub";
    }
}

} // namespace

DeviceReporter::DeviceReporter(OutputerImp* pImp, CUSBLog* pContext, CObject* pDevice)
    : Outputer(pImp, pContext), m_pDevice(pDevice) {}

DeviceReporter::~DeviceReporter() = default;

CString DeviceReporter::Hex(int mode, LPCSTR format, ULONG value) {
    CString text;
    text.Format(format, value);
    return IsHtml(mode) ? "0x" + text : text;
}

CString DeviceReporter::Hex64(int mode, ULONG64 value) {
    CString text;
    text.Format("%I64x", value);
    return IsHtml(mode) ? "0x" + text : text;
}

void DeviceReporter::GetDeviceTypeName(CString& name) {
    if (m_pDevice == nullptr) {
        name = "UnknownType";
    } else if (m_pDevice->IsKindOf(RUNTIME_CLASS(CHostController))) {
        name = "HostController";
    } else if (m_pDevice->IsKindOf(RUNTIME_CLASS(CUsbHub))) {
        name = HubTypeName(*static_cast<CUsbHub*>(m_pDevice));
    } else if (m_pDevice->IsKindOf(RUNTIME_CLASS(CHubPort))) {
        const auto* pPort = static_cast<CHubPort*>(m_pDevice);
        if (const CUsbHub* pHub = pPort->GetExternalHub())
            name = HubTypeName(*pHub);
        else
            name = pPort->m_devstk != nullptr && pPort->m_devstk->HasBosDescriptor != 0 ? "SuperSpeed PortDevice"
                                                                                        : "PortDevice";
    } else {
        name = "UnknownType";
    }
}

void DeviceReporter::BeginDevice(int mode, const CString& typeName) {
    if (IsHtml(mode)) {
        m_pImp->BeginIndent();
        m_pImp->WriteSubHeading(typeName);
    } else {
        m_pImp->BeginElementWithAttribute("Device", "Type", typeName);
    }
}

void DeviceReporter::BeginReport(int mode) {
    CString typeName;
    GetDeviceTypeName(typeName);
    BeginDevice(mode, typeName);
}

void DeviceReporter::EndDevice(int mode) {
    if (IsHtml(mode))
        m_pImp->EndIndent();
    else
        m_pImp->EndElement();
}

void DeviceReporter::OpenSection(int mode, LPCSTR htmlTitle, LPCSTR xmlName) {
    if (IsHtml(mode)) {
        m_pImp->BeginTable(true);
        m_pImp->WriteHeaderRow(htmlTitle, "");
    } else {
        m_pImp->BeginElement(xmlName);
    }
}

void DeviceReporter::CloseSection() {
    // Each back-end answers only its own half.
    m_pImp->EndElement();
    m_pImp->EndTable(true);
}

void DeviceReporter::Field(int mode, LPCSTR htmlLabel, LPCSTR xmlName, const CString& value) {
    m_pImp->WriteValue(IsHtml(mode) ? htmlLabel : xmlName, value);
}

void DeviceReporter::OutputPnpRegistryProperties(int mode, const CDeviceClass* pClass, bool showCompatibleIds) {
    OpenSection(mode, "PnP Registry Properties", "PnpRegistryProps");
    if (pClass != nullptr) {
        Field(mode, "Setup&nbsp;Class", "SetupClass", pClass->m_ClassName);
        Field(mode, "Class&nbsp;GUID", "ClassGUID", FormatGuid(pClass->m_ClassGuid));
        Field(mode, "Description", "Description", pClass->m_DeviceDescription);
        Field(mode, "Driver&nbsp;Key", "DriverKey", pClass->m_DriverKey);
        Field(mode, "PDO&nbsp;DeviceName", "PDODeviceName", pClass->m_PDOName);
        OutputIdList(mode, pClass->m_HardwareIDs, "HardwareIDs", "Hardware&nbsp;ID&nbsp;(%d)", "HardwareID.%d");
        if (showCompatibleIds)
            OutputIdList(mode, pClass->m_CompatibleIDs, "CompatibleIDs", "Compatible&nbsp;ID&nbsp;(%d)",
                         "CompatibleID.%d");
    }
    CloseSection();
}

void DeviceReporter::OutputIdList(int mode, const CStringArray& ids, LPCSTR wrapper, LPCSTR htmlLabel, LPCSTR xmlName) {
    if (!IsHtml(mode))
        m_pImp->BeginElement(wrapper);
    for (INT_PTR i = 0; i < ids.GetSize(); ++i) {
        CString name;
        name.Format(IsHtml(mode) ? htmlLabel : xmlName, static_cast<int>(i));
        m_pImp->WriteValue(name, ids[i]);
    }
    if (!IsHtml(mode))
        m_pImp->EndElement();
}

void DeviceReporter::OutputDeviceStackProperties(int mode, const CDeviceStack* pStack) {
    OpenSection(mode, "Device&nbsp;Stack&nbsp;Properties", "DeviceStack");
    if (pStack == nullptr) {
        CloseSection();
        return;
    }
    Field(mode, "Stack&nbsp;ID", "StackID", Hex(mode, "%04x", pStack->StackID));
    if (pStack->ParentStackID != 0)
        Field(mode, "Parent&nbsp;Stack&nbsp;ID", "ParentStackID", Hex(mode, "%04x", pStack->ParentStackID));
    if (!IsHtml(mode))
        m_pImp->BeginElement("ChildStackIDs");
    for (USHORT child : pStack->ChildStackIDs) {
        if (child != 0)
            Field(mode, "Child&nbsp;Stack&nbsp;ID", "ChildStackID", Hex(mode, "%04x", child));
    }
    if (!IsHtml(mode))
        m_pImp->EndElement();
    Field(mode, "DeviceID", "DeviceID", pStack->DeviceID);
    Field(mode, "Removed", "Removed", pStack->Removed != 0 ? "true" : "false");

    if (!IsHtml(mode))
        m_pImp->BeginElement("DeviceObjects");
    for (const auto& [order, pObject] : pStack->DeviceObjectsByPosition()) {
        CString text;
        text.Format("%d", static_cast<int>(order));
        if (IsHtml(mode)) {
            CString heading;
            heading.Format("DeviceObject.%d%s", static_cast<int>(order), order == 0 ? ".PDO" : "");
            m_pImp->WriteHeaderRow(heading, "");
        } else {
            m_pImp->BeginSection("DeviceObject", "Order", text);
        }
        Field(mode, "DeviceObject&nbsp;Address", "ObjectHandle", Hex64(mode, pObject->_NtDeviceObject));
        if (IsHtml(mode))
            m_pImp->WriteValue("Order", text);
        Field(mode, "Device&nbsp;Name", "DeviceName", pObject->_DeviceName);
        Field(mode, "Driver&nbsp;Name", "DriverName",
              pObject->_Driver != nullptr ? pObject->_Driver->m_DriverName : CString());
        m_pImp->WriteValue("Loggable", pObject->IsLoggable() ? "true" : "false");
        m_pImp->EndElement();
    }
    m_pImp->EndElement(); // DeviceObjects
    CloseSection();       // DeviceStack
}

void DeviceReporter::OutputInterface(int mode, const CString& name, const CString& guidText, const CString& link,
                                     const CString& target) {
    if (IsHtml(mode))
        m_pImp->WriteHeaderRow("GUID&nbsp;Interface", name);
    else
        m_pImp->BeginSection("Interface", "Name", name);
    Field(mode, "GUID&nbsp;Value", "GUID", guidText);
    m_pImp->WriteValue("SymbolicLink", link);
    m_pImp->WriteValue("TargetDevice", target);
    m_pImp->EndElement();
}

void DeviceReporter::OutputKnownInterfaces(int mode, const CDeviceClass& deviceClass,
                                           std::initializer_list<NamedInterface> known) {
    for (INT_PTR i = 0; i < deviceClass.m_SymbolicLinks.GetSize(); ++i) {
        const CString& link = deviceClass.m_SymbolicLinks[i];
        if (link.IsEmpty())
            continue;
        const GUID* pGuid = deviceClass.m_InterfaceGuids[i];
        if (pGuid == nullptr)
            continue;
        for (const NamedInterface& entry : known) {
            if (*pGuid == *entry.guid) {
                OutputInterface(mode, entry.name, FormatGuid(*pGuid), link, deviceClass.m_DeviceNames[i]);
                break;
            }
        }
    }
}

bool DeviceReporter::ReportDevice(OutputerImp* pImp, CUSBLog* pContext, CObject* pDevice, int mode) {
    if (pDevice == nullptr)
        return false;
    if (pDevice->IsKindOf(RUNTIME_CLASS(CHostController))) {
        HostControllerReporter(pImp, pContext, static_cast<CHostController*>(pDevice)).Report(mode);
    } else if (pDevice->IsKindOf(RUNTIME_CLASS(CUsbHub))) {
        RootHubReporter(pImp, pContext, static_cast<CUsbHub*>(pDevice)).Report(mode);
    } else if (pDevice->IsKindOf(RUNTIME_CLASS(CHubPort))) {
        auto* pPort = static_cast<CHubPort*>(pDevice);
        if (pPort->GetExternalHub() != nullptr)
            ExternalHubReporter(pImp, pContext, pPort).Report(mode);
        else
            PortDeviceReporter(pImp, pContext, pPort).Report(mode);
    } else {
        return false;
    }
    return true;
}

void DeviceReporter::ReportCheckedDevices(OutputerImp* pImp, CUSBLog* pContext, int mode) {
    CPanePointers panes;
    CPanePointers::TreePosition position = nullptr;
    int image = 0;
    CObject* pDevice = nullptr;
    while (panes.GetNextCheckedDevice(position, image, pDevice))
        ReportDevice(pImp, pContext, pDevice, mode);
}
