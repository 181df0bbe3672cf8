#include "app/devices/HubPropertyItems.h"

#include "GkPropertyGridItem.h"
#include "app/decoders/framework/LogProperties.h"
#include "app/decoders/framework/StringContent.h"
#include "app/devices/DeviceClass.h"
#include "app/devices/DeviceStack.h"

namespace {

LPCSTR EntryAt(const CStringArray& list, INT_PTR i) {
    return i >= 0 && i < list.GetSize() ? static_cast<LPCSTR>(list[i]) : "";
}

} // namespace

void AddStackPropertyItems(const CDeviceStack& stack, CGkPropertyGridItem* pCategory) {
    CLogProperties grid;
    grid.AddGridItem(pCategory, "Description", stack.Description, nullptr);
    grid.AddGridItem(pCategory, "Setup Class", stack.ClassName, nullptr);
    grid.AddGridItem(pCategory, "Class GUID", FormatGuid(stack.ClassGuid), nullptr);
    grid.AddGridItem(pCategory, "Enumerator", stack.EnumName, nullptr);
    grid.AddGridItem(pCategory, "Hardware ID", stack.HardwareID, nullptr);
}

CString InterfaceGuidText(const CDeviceClass& deviceClass, INT_PTR i) {
    CString text;
    if (i >= 0 && i < deviceClass.m_InterfaceGuids.GetSize() && deviceClass.m_InterfaceGuids[i] != nullptr)
        CStringContent().GuidToString(*deviceClass.m_InterfaceGuids[i], text);
    return text;
}

void AddDeviceInterfaceCategory(const CDeviceClass& deviceClass, INT_PTR i, LPCSTR lpszName, LPCSTR lpszGuidText,
                                CGkPropertyGridItem* pCategory) {
    CLogProperties grid;
    CString caption = "Device Interface : ";
    caption += lpszName;
    CGkPropertyGridItem* pInterface = grid.AddGridCategory(pCategory, caption);
    if (pInterface == nullptr)
        return;
    grid.AddGridItem(pInterface, "Interface GUID", lpszGuidText, nullptr);
    grid.AddGridItem(pInterface, "Symbolic Link", EntryAt(deviceClass.m_SymbolicLinks, i), nullptr);
    if (deviceClass.m_DeviceNames.GetSize() > 0)
        grid.AddGridItem(pInterface, "Device Name", EntryAt(deviceClass.m_DeviceNames, i), nullptr);
    pInterface->Expand();
}

void AddHubInterfaceCategories(const CDeviceClass& deviceClass, CGkPropertyGridItem* pCategory) {
    for (INT_PTR i = 0; i < deviceClass.m_InterfaceGuids.GetSize(); ++i) {
        const GUID* pGuid = deviceClass.m_InterfaceGuids[i];
        if (pGuid == nullptr || *EntryAt(deviceClass.m_SymbolicLinks, i) == '\0')
            continue;
        LPCSTR lpszName = nullptr;
        if (*pGuid == GUID_DEVINTERFACE_USB_HUB)
            lpszName = "GUID_DEVINTERFACE_USB_HUB";
        else if (*pGuid == GUID_DEVINTERFACE_NEC_USB3_HUB)
            lpszName = "GUID_DEVINTERFACE_NEC_USB3_HUB";
        else
            continue;
        AddDeviceInterfaceCategory(deviceClass, i, lpszName, InterfaceGuidText(deviceClass, i), pCategory);
    }
}
