// The device-properties pane of a selected host controller.
#include "GkPropertyGridItem.h"
#include "app/core/diagnostics/Trace.h"
#include "app/decoders/framework/LogProperties.h"
#include "app/devices/DeviceClass.h"
#include "app/devices/DeviceStack.h"
#include "app/devices/HostController.h"
#include "app/devices/HubPropertyItems.h"

namespace {

LPCSTR HostControllerInterfaceName(const GUID& guid) {
    if (guid == GUID_DEVINTERFACE_USB_HOST_CONTROLLER)
        return "GUID_DEVINTERFACE_USB_HOST_CONTROLLER";
    if (guid == GUID_DEVINTERFACE_NEC_USB3_HOST_CONTROLLER)
        return "GUID_DEVINTERFACE_NEC_USB3_HOST_CONTROLLER";
    return nullptr;
}

} // namespace

CString CHostController::GetQuotedHcdLink() const {
    CString link = "\"";
    if (m_strDeviceName.Left(4) != "\\\\.\\")
        link += "\\\\.\\";
    link += m_strDeviceName;
    link += "\"";
    return link;
}

void CHostController::CreateHostControllerPropsPage(CGkPropertyGridItem* pCategory) {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DEVICE_PROPERTIES, "--CHostController::CreateHostControllerPropsPage");
    if (pCategory == nullptr)
        return;
    pCategory->SetCaption("Host Controller Properties");
    CLogProperties grid;
    if (m_devstk != nullptr) {
        grid.AddGridItem(pCategory, "Description", m_devstk->Description, nullptr);
        grid.AddGridItem(pCategory, "Controller Type", m_strControllerType, nullptr);
        grid.AddGridItem(pCategory, "Setup Class", m_devstk->ClassName, nullptr);
        if (m_pDeviceClass != nullptr)
            grid.AddGridItem(pCategory, "Class GUID", FormatGuid(m_pDeviceClass->m_ClassGuid), nullptr);
        grid.AddGridItem(pCategory, "Enumerator", m_devstk->EnumName, nullptr);
        grid.AddGridItem(pCategory, "Hardware ID", m_devstk->HardwareID, nullptr);
        if (!m_strDeviceName.IsEmpty()) {
            grid.AddGridItem(pCategory, "Symbolic Link", GetQuotedHcdLink(), nullptr);
            grid.AddGridItem(pCategory, "Device Name", m_TargetDevice, nullptr);
        }
    }
    if (m_pDeviceClass != nullptr) {
        const CDeviceClass& deviceClass = *m_pDeviceClass;
        for (INT_PTR i = 0; i < deviceClass.m_InterfaceGuids.GetSize(); ++i) {
            const GUID* pGuid = deviceClass.m_InterfaceGuids[i];
            if (pGuid == nullptr || i >= deviceClass.m_SymbolicLinks.GetSize() ||
                deviceClass.m_SymbolicLinks[i].IsEmpty())
                continue;
            if (LPCSTR lpszName = HostControllerInterfaceName(*pGuid))
                AddDeviceInterfaceCategory(deviceClass, i, lpszName, InterfaceGuidText(deviceClass, i), pCategory);
        }
    }
    pCategory->Expand();
}
