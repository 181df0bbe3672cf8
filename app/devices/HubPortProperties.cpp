// CHubPort's page of the device-properties pane.
#include "GkPropertyGridItem.h"
#include "app/decoders/framework/LogProperties.h"
#include "app/decoders/framework/StringContent.h"
#include "app/devices/DeviceClass.h"
#include "app/devices/DeviceStack.h"
#include "app/devices/HubPort.h"
#include "app/devices/HubPropertyItems.h"
#include "app/devices/UsbHub.h"

namespace {

LPCSTR PortPageCaption(int nDeviceType) {
    switch (nDeviceType) {
    case DT_HUB_PORT: return "Hub Port Properties";
    case DT_EXTERN_HUB: return "External Hub Properties";
    case DT_GENERIC_USB: return "USB Device Properties";
    case DT_SS_EXTERN_HUB: return "External SuperSpeed Hub Properties";
    case DT_SS_GENERIC_USB: return "SuperSpeed USB Device Properties";
    default: return "PnP Properties";
    }
}

} // namespace

void CHubPort::CreateHubPortPropsPage(int nDeviceType, CGkPropertyGridItem* pCategory, bool bLiveDocument) {
    if (pCategory == nullptr)
        return;
    CLogProperties grid;
    pCategory->SetCaption(PortPageCaption(nDeviceType));
    CString text;
    text.Format("%d", static_cast<int>(m_PortNumber));
    grid.AddGridItem(pCategory, "Port", text, nullptr);
    CStringContent().ConnectionStatusText(m_ConnectionStatus, text);
    grid.AddGridItem(pCategory, "Connection Status", text, nullptr);
    if (nDeviceType != DT_HUB_PORT) {
        if (m_devstk != nullptr)
            AddStackPropertyItems(*m_devstk, pCategory);
        if (m_pDeviceClass != nullptr && m_pDeviceClass->m_SymbolicLinks.GetSize() > 0 &&
            !m_pDeviceClass->m_SymbolicLinks[0].IsEmpty())
            AddDeviceInterfaceCategory(*m_pDeviceClass, 0, "GUID_DEVINTERFACE_USB_DEVICE",
                                       InterfaceGuidText(*m_pDeviceClass, 0), pCategory);
        CDeviceClass* pHubClass = m_pExternalHub != nullptr ? m_pExternalHub->m_pDeviceClass.get() : nullptr;
        if (m_PortDeviceIsHub != 0 && pHubClass != nullptr && pHubClass->m_SymbolicLinks.GetSize() > 0) {
            // A hub whose interfaces were not yet there when it was found gets a second look; a loaded
            // document would find this machine's devices instead, so it shows what was saved.
            if (bLiveDocument && pHubClass->m_SymbolicLinks[0].IsEmpty()) {
                pHubClass->m_SymbolicLinks.RemoveAll();
                pHubClass->m_DeviceNames.RemoveAll();
                pHubClass->LocateDeviceInfo();
            }
            AddHubInterfaceCategories(*pHubClass, pCategory);
        }
    }
    pCategory->Expand();
}
