// CDevicePropertiesWnd: what each view shows of the selected item: its Plug and Play properties, which the
// model objects write into the category themselves, or one of the descriptors the model keeps, decoded by a
// descriptor decoder through a grid back-end made for that one view.
#include <algorithm>
#include <iterator>

#include "GkPropertyGrid.h"
#include "app/core/document/USBLog.h"
#include "app/decoders/descriptors/DeviceDescOutputer.h"
#include "app/decoders/descriptors/FullConfigDescOutputer.h"
#include "app/decoders/descriptors/HubClassDescOutputer.h"
#include "app/decoders/framework/StringContent.h"
#include "app/devices/HostController.h"
#include "app/devices/HubPort.h"
#include "app/devices/UsbConfiguration.h"
#include "app/devices/UsbHub.h"
#include "app/ui/devicetree/DeviceTreeSelection.h"
#include "app/ui/panes/DevicePropertiesWnd.h"
#include "common/DevstkInfo.h"

namespace {

using Selection = DeviceTreeSelection;

// The device descriptor in a port's connection block, after the request's head and the connection index.
constexpr size_t kDeviceDescriptorOffset = DEVSTK_INFO_HEADER_SIZE + sizeof(ULONG);
constexpr ULONG kDeviceDescriptorSize = 18;
static_assert(kDeviceDescriptorOffset + kDeviceDescriptorSize <= CHubPort::ConnectionBlockSize);
// The hub descriptor in a hub's block, after the request's head: its length byte, then its type.
constexpr size_t kHubDescriptorOffset = DEVSTK_INFO_HEADER_SIZE;
constexpr ULONG kHubDescriptorSize = CUsbHub::HubDescriptorBlockSize - DEVSTK_INFO_HEADER_SIZE;
constexpr BYTE kHubDescriptorUnread = 0;
constexpr BYTE kHubDescriptorUsb2 = 0x29;
constexpr BYTE kHubDescriptorSuperSpeed = 0x2A;

constexpr char kNoConfigurations[] = "There are no configurations available";

// A descriptor view's titles for an external hub, a device, a SuperSpeed external hub, a SuperSpeed device,
// and any other item.
using ViewTitles = const char* const[5];
constexpr ViewTitles kDeviceTitles = {"Device Descriptor (External Hub)", "Device Descriptor",
                                      "Device Descriptor (External SuperSpeed Hub)", "Device Descriptor (SuperSpeed)",
                                      "Device Descriptor - ?"};
constexpr ViewTitles kConfigurationTitles = {
    "Full Configuration Descriptor (External Hub)", "Full Configuration Descriptor",
    "Full Configuration Descriptor (External SuperSpeed Hub)", "Full Configuration Descriptor (SuperSpeed)",
    "Full Configuration Descriptor - ?"};

CString TitleFor(const ViewTitles& titles, int nType) {
    constexpr int kTypes[] = {DT_EXTERN_HUB, DT_GENERIC_USB, DT_SS_EXTERN_HUB, DT_SS_GENERIC_USB};
    const auto* found = std::find(std::begin(kTypes), std::end(kTypes), nType);
    return titles[found - std::begin(kTypes)];
}

// The port of a root-hub or external-hub port element.
CHubPort* PortOf(const Selection& selection) {
    const ConnectionElement* pElement = selection.GetElement();
    if (pElement == nullptr || (pElement->m_ElementType != RootHubPort && pElement->m_ElementType != ExternalHubPort))
        return nullptr;
    return selection.GetObject<CHubPort>();
}

// The hub of a root-hub element.
CUsbHub* RootHubOf(const Selection& selection) {
    const ConnectionElement* pElement = selection.GetElement();
    if (pElement == nullptr || (pElement->m_ElementType != RootHub && pElement->m_ElementType != SSRootHub))
        return nullptr;
    return selection.GetObject<CUsbHub>();
}

} // namespace

void CDevicePropertiesWnd::ShowPnpProperties(const DeviceTreeSelection& selection) {
    CGkPropertyGridItem* pCategory = FindCategory(CategoryId);
    if (pCategory == nullptr)
        return;
    switch (selection.nType) {
    case DT_HOST_CONTROLLER:
        if (auto* pController = selection.GetObject<CHostController>())
            pController->CreateHostControllerPropsPage(pCategory);
        break;
    case DT_ROOT_HUB:
    case DT_SS_ROOT_HUB:
        if (auto* pHub = selection.GetObject<CUsbHub>())
            pHub->GeneratePropertiesPage(pCategory);
        break;
    case DT_HUB_PORT:
    case DT_EXTERN_HUB:
    case DT_GENERIC_USB:
    case DT_SS_EXTERN_HUB:
    case DT_SS_GENERIC_USB:
        if (auto* pPort = selection.GetObject<CHubPort>())
            pPort->CreateHubPortPropsPage(selection.nType, pCategory, selection.pDoc->IsRealtimeDocument());
        break;
    default:
        // A port whose device failed, the machine and the other pages' items have no such properties.
        break;
    }
}

void CDevicePropertiesWnd::ShowDeviceDescriptor(const DeviceTreeSelection& selection) {
    CHubPort* pPort = PortOf(selection);
    if (pPort == nullptr)
        return;
    const CString title = TitleFor(kDeviceTitles, selection.nType);
    GridOutputImp backEnd(this);
    backEnd.ShowCategoryById(CategoryId, title);
    const BYTE* pConnectionInfo = pPort->m_pConnectionInfo;
    if (pConnectionInfo == nullptr)
        return;
    // The descriptor's own length may claim more than the block holds.
    const BYTE* pDescriptor = pConnectionInfo + kDeviceDescriptorOffset;
    const ULONG count = std::min<ULONG>(pDescriptor[0], kDeviceDescriptorSize);
    DeviceSummary summary;
    pPort->GetDeviceTypeSummary(0, summary);
    CStringArray classTexts;
    CStringContent().DeviceClassStrings(reinterpret_cast<const BYTE*>(&summary), classTexts);
    const CStringArray noStrings;
    DeviceDescOutputer(&backEnd, selection.pDoc, pDescriptor, count)
        .Output(OUTPUT_MODE_GRID, title, CString(), classTexts, noStrings, true);
}

void CDevicePropertiesWnd::ShowConfigurationDescriptor(const DeviceTreeSelection& selection) {
    CHubPort* pPort = PortOf(selection);
    if (pPort == nullptr)
        return;
    const CString title = TitleFor(kConfigurationTitles, selection.nType);
    GridOutputImp backEnd(this);
    backEnd.ShowCategoryById(CategoryId, title);
    const CUsbConfiguration* pConfiguration =
        pPort->m_Configurations.GetSize() > 0 ? pPort->m_Configurations[0] : nullptr;
    if (pConfiguration == nullptr || pConfiguration->m_pConfigDesc == nullptr) {
        AfxMessageBox(kNoConfigurations, MB_ICONEXCLAMATION);
        return;
    }
    // A configuration is a long tree: only its interfaces open.
    backEnd.autoExpand = false;
    FullConfigDescOutputer(&backEnd, selection.pDoc, pConfiguration->m_pConfigDesc, pConfiguration->m_nConfigDescLength,
                           pPort->m_CurrentConfig)
        .Output(OUTPUT_MODE_GRID, title, CString(), true, true);
}

void CDevicePropertiesWnd::ShowHubClassDescriptor(const DeviceTreeSelection& selection) {
    CUsbHub* pHub = RootHubOf(selection);
    if (pHub == nullptr)
        return;
    const CString title = Selection::IsRootHub(selection.nType) ? "Hub Class Descriptor" : "Hub Class Descriptor - ?";
    GridOutputImp backEnd(this);
    backEnd.ShowCategoryById(CategoryId, title);
    const BYTE* pDescriptor = pHub->m_HubDescriptorBlock + kHubDescriptorOffset;
    switch (pDescriptor[1]) {
    case kHubDescriptorUnread:
    case kHubDescriptorUsb2:
        HubClassDescUsb2Outputer(&backEnd, selection.pDoc, pDescriptor, kHubDescriptorSize)
            .Output(OUTPUT_MODE_GRID, title, CString(), true);
        break;
    case kHubDescriptorSuperSpeed:
        HubClassDescUsb3Outputer(&backEnd, selection.pDoc, pDescriptor, kHubDescriptorSize)
            .Output(OUTPUT_MODE_GRID, title, CString(), true);
        break;
    default: break;
    }
}
