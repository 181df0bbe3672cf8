#include "app/devices/reports/DeviceReporter.h"

#include "app/decoders/framework/OutputerImp.h"
#include "app/devices/DeviceClass.h"
#include "app/devices/DeviceObject.h"
#include "app/devices/DeviceStack.h"
#include "app/devices/DriverObject.h"
#include "app/devices/HostController.h"
#include "app/devices/HubPort.h"
#include "app/devices/UsbHub.h"
#include "app/devices/reports/HostControllerReporter.h"
#include "app/devices/reports/HubReporter.h"
#include "app/devices/reports/PortDeviceReporter.h"
#include "app/ui/PanePointers.h"

namespace {

// The device type names by hub kind: root, external, any other.
LPCSTR HubTypeName(const CUsbHub& hub) {
    switch (hub.m_HubKind) {
    case HubKindRoot: return hub.IsSuperSpeed() ? "SuperSpeed RootHub" : "RootHub";
    case HubKindExternal: return hub.IsSuperSpeed() ? "SuperSpeed ExternalHub" : "ExternalHub";
    default: return "Hub";
    }
}

} // namespace

DeviceReporter::DeviceReporter(OutputerImp* pImp, CUSBLog* pContext, CObject* pDevice)
    : Outputer(pImp, pContext), m_pDevice(pDevice) {}

DeviceReporter::~DeviceReporter() = default;

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
    FieldWriter(*this, mode).OpenPart("Device", "Type", typeName);
}

void DeviceReporter::BeginReport(int mode) {
    CString typeName;
    GetDeviceTypeName(typeName);
    BeginDevice(mode, typeName);
}

void DeviceReporter::EndDevice(int mode) {
    FieldWriter(*this, mode).ClosePart();
}

void DeviceReporter::OpenSection(int mode, LPCSTR htmlTitle, LPCSTR xmlName) {
    FieldWriter(*this, mode).Open(FieldSection::Table, Labels(htmlTitle, xmlName));
}

void DeviceReporter::CloseSection() {
    // Each back-end answers only its own half.
    m_pImp->EndElement();
    m_pImp->EndTable(true);
}

void DeviceReporter::OutputPnpRegistryProperties(int mode, const CDeviceClass* pClass, bool showCompatibleIds) {
    OpenSection(mode, "PnP Registry Properties", "PnpRegistryProps");
    if (pClass != nullptr) {
        FieldWriter fields(*this, mode);
        fields.Field(Labels("Setup&nbsp;Class", "SetupClass"), pClass->m_ClassName);
        fields.Field(Labels("Class&nbsp;GUID", "ClassGUID"), FormatGuid(pClass->m_ClassGuid));
        fields.Field(Labels("Description", "Description"), pClass->m_DeviceDescription);
        fields.Field(Labels("Driver&nbsp;Key", "DriverKey"), pClass->m_DriverKey);
        fields.Field(Labels("PDO&nbsp;DeviceName", "PDODeviceName"), pClass->m_PDOName);
        OutputIdList(mode, pClass->m_HardwareIDs, "HardwareIDs", "Hardware&nbsp;ID&nbsp;(%d)", "HardwareID.%d");
        if (showCompatibleIds)
            OutputIdList(mode, pClass->m_CompatibleIDs, "CompatibleIDs", "Compatible&nbsp;ID&nbsp;(%d)",
                         "CompatibleID.%d");
    }
    CloseSection();
}

void DeviceReporter::OutputIdList(int mode, const CStringArray& ids, LPCSTR wrapper, LPCSTR htmlLabel, LPCSTR xmlName) {
    FieldWriter fields(*this, mode);
    fields.Open(FieldSection::Element, wrapper);
    for (INT_PTR i = 0; i < ids.GetSize(); ++i) {
        CString htmlName;
        htmlName.Format(htmlLabel, static_cast<int>(i));
        CString xmlNameText;
        xmlNameText.Format(xmlName, static_cast<int>(i));
        fields.Field(Labels(htmlName, xmlNameText), ids[i]);
    }
    fields.Close(FieldSection::Element);
}

void DeviceReporter::OutputDeviceStackProperties(int mode, const CDeviceStack* pStack) {
    OpenSection(mode, "Device&nbsp;Stack&nbsp;Properties", "DeviceStack");
    if (pStack == nullptr) {
        CloseSection();
        return;
    }
    FieldWriter fields(*this, mode);
    fields.NumberField(Labels("Stack&nbsp;ID", "StackID"), FieldFormat::Hex4, pStack->StackID);
    if (pStack->ParentStackID != 0)
        fields.NumberField(Labels("Parent&nbsp;Stack&nbsp;ID", "ParentStackID"), FieldFormat::Hex4,
                           pStack->ParentStackID);
    fields.Open(FieldSection::Element, "ChildStackIDs");
    for (USHORT child : pStack->ChildStackIDs) {
        if (child != 0)
            fields.NumberField(Labels("Child&nbsp;Stack&nbsp;ID", "ChildStackID"), FieldFormat::Hex4, child);
    }
    fields.Close(FieldSection::Element);
    fields.Field(Labels("DeviceID", "DeviceID"), pStack->DeviceID);
    fields.Field(Labels("Removed", "Removed"), pStack->Removed != 0 ? "true" : "false");

    fields.Open(FieldSection::Element, "DeviceObjects");
    for (const auto& [order, pObject] : pStack->DeviceObjectsByPosition()) {
        CString text;
        text.Format("%d", static_cast<int>(order));
        // HTML heads each object by its place in the stack and gives the order as a row; XML as an attribute.
        CString heading;
        heading.Format("DeviceObject.%d%s", static_cast<int>(order), order == 0 ? ".PDO" : "");
        fields.OpenSubsection(FieldLabels("DeviceObject", nullptr, heading), "Order", "", kHtml);
        fields.OpenSubsection("DeviceObject", "Order", text, kXml);
        fields.NumberField(Labels("DeviceObject&nbsp;Address", "ObjectHandle"), FieldFormat::Hex64,
                           pObject->_NtDeviceObject);
        fields.Field("Order", text, nullptr, kHtml);
        fields.Field(Labels("Device&nbsp;Name", "DeviceName"), pObject->_DeviceName);
        fields.Field(Labels("Driver&nbsp;Name", "DriverName"),
                     pObject->_Driver != nullptr ? pObject->_Driver->m_DriverName : CString());
        m_pImp->WriteValue("Loggable", pObject->IsLoggable() ? "true" : "false");
        m_pImp->EndElement();
    }
    m_pImp->EndElement(); // DeviceObjects
    CloseSection();       // DeviceStack
}

void DeviceReporter::OutputInterface(int mode, const CString& name, const CString& guidText, const CString& link,
                                     const CString& target) {
    FieldWriter fields(*this, mode);
    fields.OpenSubsection(FieldLabels("Interface", nullptr, "GUID&nbsp;Interface"), "Name", name);
    fields.Field(Labels("GUID&nbsp;Value", "GUID"), guidText);
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
