// The capture document's placement of arriving device stacks in the model and the connection tree, and the
// ports a hub reads again when a device below it comes or goes.
#include "app/core/changelog/ArrivalSupport.h"
#include "app/core/diagnostics/Trace.h"
#include "app/core/document/USBLog.h"
#include "app/devices/DeviceStack.h"
#include "app/devices/HostController.h"
#include "app/devices/HubPort.h"
#include "app/devices/StackTree.h"
#include "app/devices/SystemHostControllers.h"
#include "app/devices/UsbHub.h"

using arrival::DeviceTypeName;
using arrival::kDevstkArea;
using arrival::ModelAs;

namespace {

bool IsHubType(int type) {
    return type == DT_HOST_CONTROLLER || type == DT_ROOT_HUB || type == DT_SS_ROOT_HUB || type == DT_EXTERN_HUB ||
           type == DT_SS_EXTERN_HUB;
}

// The hub's port nodes re-read from the driver and relabelled; a plain device's stack learns its port's node.
// Ends at a port that has no node below the hub's.
void RefreshHubPorts(CUSBLog* pDocument, CUsbHub* pHub, CDeviceStack* pHubStack,
                     core::tree<ConnectionElement>* pHubNode, UINT portType) {
    const UINT nPorts = pHub->GetNumberOfPorts();
    for (UINT p = 1; p <= nPorts; ++p) {
        CHubPort* pPort = pHub->GetPort(p);
        core::tree<ConnectionElement>* pPortNode =
            pPort != nullptr ? pHubNode->find(ConnectionElement(FALSE, portType, pPort)).node() : nullptr;
        if (pPortNode == nullptr) {
            TDL_TRACE(TRACE_ERROR, kDevstkArea,
                      portType == RootHubPort ? "AddDevstk - Port of RootHub not found in RH subtree"
                                              : "AddDevstk - ExternHub Port not found from parentPos");
            return;
        }
        if (pPortNode->get().m_ElementType != portType) {
            TDL_TRACE(TRACE_ERROR, kDevstkArea,
                      portType == RootHubPort ? "AddDevstk - iterator is not for a RootHubPort"
                                              : "AddDevstk - iterator is not for ExternalHubPort");
            if (portType != RootHubPort)
                return;
        }
        pPort->InitHubPortInstance(pHubStack, pDocument);
        pPort->GetLabelText(pPortNode->get().m_LabelText);
        if (pPort->m_PortDeviceIsHub == 0 && pPort->GetDeviceStack() != nullptr)
            pPort->GetDeviceStack()->m_pSubtree = pPortNode;
    }
}

} // namespace

void CUSBLog::AddDevstk(CDeviceStack* pStack) {
    TDL_TRACE(TRACE_INFORMATION, kDevstkArea, "--CUSBLog::AddDevstk");
    if (pStack == nullptr || m_pStackTree == nullptr)
        return;
    TDL_TRACE(TRACE_INFORMATION, kDevstkArea, "Enumerator=%s, Class=%s, ParentStackID=%04u, %s",
              pStack->EnumName.GetString(), pStack->ClassName.GetString(), static_cast<UINT>(pStack->ParentStackID),
              pStack->Description.GetString());
    TDL_TRACE(TRACE_INFORMATION, kDevstkArea, "this m_iDeviceType = %d, m_deviceNode = 0x%p", pStack->m_iDeviceType,
              static_cast<void*>(pStack->m_deviceNode));
    if (pStack->m_iDeviceType != DT_NONE && pStack->m_deviceNode != nullptr)
        return;
    if (pStack->EnumName.CompareNoCase("PCI") == 0) {
        AddHostControllerStack(pStack);
        return;
    }
    CDeviceStack* pParent = pStack->ParentStackID != 0 ? m_pStackTree->FindStackById(pStack->ParentStackID) : nullptr;
    if (pParent == nullptr)
        return;
    // The parent's list is what a removal walks to mark the descendants; the driver reports it only with the
    // parent's own arrival, before any child existed.
    pParent->AddChildStackID(pStack->StackID);
    // Vendor stacks that enumerate their own hubs and devices below a controller or a hub are placed as USB's.
    const bool bBelowHub = pStack->EnumName.CompareNoCase("USB") == 0 || IsHubType(pParent->m_iDeviceType);
    TDL_TRACE(TRACE_INFORMATION, kDevstkArea, "parent m_iDeviceType = %s", DeviceTypeName(pParent->m_iDeviceType));
    if (bBelowHub) {
        switch (pParent->m_iDeviceType) {
        case DT_HOST_CONTROLLER: AddRootHubStack(pStack, pParent); break;
        case DT_ROOT_HUB:
        case DT_SS_ROOT_HUB: AddRootHubPortDevice(pStack, pParent); break;
        case DT_EXTERN_HUB:
        case DT_SS_EXTERN_HUB: AddExternalHubPortDevice(pStack, pParent); break;
        default: break;
        }
    }
    TDL_TRACE(TRACE_INFORMATION, kDevstkArea, "m_deviceNode = 0x%p", static_cast<void*>(pParent->m_deviceNode));
}

void CUSBLog::AddHostControllerStack(CDeviceStack* pStack) {
    TDL_TRACE(TRACE_INFORMATION, kDevstkArea, "StackID %04u, host controller arrives",
              static_cast<UINT>(pStack->StackID));
    if (pStack->m_iDeviceType != DT_NONE || pStack->m_deviceNode != nullptr || m_pHostControllers == nullptr)
        return;
    CHostController* pController = m_pHostControllers->AddHostController(pStack);
    if (pController == nullptr) {
        TDL_TRACE(TRACE_INFORMATION, kDevstkArea, "Host Controller, StackID=%04u, driver key unknown",
                  static_cast<UINT>(pStack->StackID));
        return;
    }
    // Its legacy name, as enumeration gives it, so its label is the one a refresh shows.
    m_pHostControllers->GetHCDSymbolicLinks(this);
    ::ConnectionElement element(TRUE, HostController, pController);
    pController->GetLabelText(element.m_LabelText);
    core::tree<::ConnectionElement>* pNode = m_ConnectionTree.insert(element).node();
    if (pNode == nullptr) {
        TDL_TRACE(TRACE_ERROR, kDevstkArea, "AddDevstk - failed to add HC to ConnectionTree");
        return;
    }
    pStack->m_pSubtree = pNode;
    SetDeviceFlag(pStack->StackID, 2);
}

void CUSBLog::AddRootHubStack(CDeviceStack* pStack, CDeviceStack* pParent) {
    TDL_TRACE(TRACE_INFORMATION, kDevstkArea, "StackID %04u, root hub arrives", static_cast<UINT>(pStack->StackID));
    TDL_TRACE(TRACE_INFORMATION, kDevstkArea, "StackID %04u, Devh= %I64x", static_cast<UINT>(pStack->StackID),
              pStack->DeviceHandle);
    auto* pController = ModelAs<CHostController>(pParent->m_deviceNode);
    if (pStack->DeviceHandle == 0 || pStack->m_iDeviceType != DT_NONE || pStack->m_deviceNode != nullptr ||
        pController == nullptr)
        return;
    CUsbHub* pHub = pController->CreateRootUsbHub(this);
    if (pHub == nullptr || pHub->m_devstk == nullptr)
        return;
    const ::ConnectionElement key(FALSE, UnassignedType, pController);
    core::tree<::ConnectionElement>* pControllerNode = m_ConnectionTree.find_in_subtree(key).node();
    if (pControllerNode == nullptr) {
        TDL_TRACE(TRACE_ERROR, kDevstkArea, "AddDevstk - failed to find HC in ConnectionTree");
        return;
    }
    const bool bSuperSpeed = pHub->IsSuperSpeed();
    ::ConnectionElement element(TRUE, bSuperSpeed ? SSRootHub : RootHub, pHub);
    element.m_LabelText = bSuperSpeed ? "SuperSpeed RootHub" : "RootHub";
    core::tree<::ConnectionElement>* pHubNode = pControllerNode->insert(element).node();
    if (pHubNode == nullptr) {
        TDL_TRACE(TRACE_ERROR, kDevstkArea, "AddDevstk - failed to add RH to ConnectionTree");
        return;
    }
    pHub->m_devstk->m_pSubtree = pHubNode;
    SetDeviceFlag(pHub->m_devstk->StackID, 2);
    pHub->EnumerateHubPorts(this);
}

void CUSBLog::AddRootHubPortDevice(CDeviceStack* pStack, CDeviceStack* pParent) {
    auto* pHub = ModelAs<CUsbHub>(pParent->m_deviceNode);
    if (pHub == nullptr) {
        TDL_TRACE(TRACE_ERROR, kDevstkArea, "AddDevstk - parentStack->m_deviceNode is not CUsbHub");
        return;
    }
    if (pHub->m_HubKind != HubKindRoot) {
        TDL_TRACE(TRACE_ERROR, kDevstkArea, "AddDevstk - CUsbHub is not a RootHub");
        return;
    }
    core::tree<::ConnectionElement>* pHubNode = pHub->FindNode(this);
    if (pHubNode == nullptr) {
        TDL_TRACE(TRACE_ERROR, kDevstkArea, "AddDevstk - RootHub not found in m_ConnectionTree");
        return;
    }
    if (pHubNode->get().m_ElementType != RootHub && pHubNode->get().m_ElementType != SSRootHub) {
        TDL_TRACE(TRACE_ERROR, kDevstkArea, "AddDevstk - iterator is not for RootHub");
        return;
    }
    SetDeviceFlag(pStack->StackID, 2);
    RefreshHubPorts(this, pHub, pParent, pHubNode, RootHubPort);
}

void CUSBLog::AddExternalHubPortDevice(CDeviceStack* pStack, CDeviceStack* pParent) {
    auto* pPort = ModelAs<CHubPort>(pParent->m_deviceNode);
    if (pPort == nullptr) {
        TDL_TRACE(TRACE_ERROR, kDevstkArea, "AddDevstk - parentStack->m_deviceNode is not CHubPort");
        return;
    }
    if (pPort->m_PortDeviceIsHub == 0) {
        TDL_TRACE(TRACE_ERROR, kDevstkArea, "AddDevstk - CHubPort device is not an External Hub");
        return;
    }
    core::tree<::ConnectionElement>* pHubNode = pParent->m_pSubtree;
    if (pHubNode == nullptr) {
        TDL_TRACE(TRACE_ERROR, kDevstkArea, "AddDevstk - parentStack has m_pSubtree==NULL");
        return;
    }
    if (pHubNode->get().m_ElementType != ExternalHub && pHubNode->get().m_ElementType != SSExternalHub) {
        TDL_TRACE(TRACE_ERROR, kDevstkArea, "AddDevstk - iterator is not for ExternalHub");
        return;
    }
    SetDeviceFlag(pStack->StackID, 2);
    CUsbHub* pHub = pPort->GetExternalHub();
    if (pHub == nullptr) {
        TDL_TRACE(TRACE_ERROR, kDevstkArea, "AddDevstk - HubPort has m_pExternHub==NULL");
        return;
    }
    UINT nPortNodes = 0;
    for (const core::tree<::ConnectionElement>* pChild = pHubNode->first_child(); pChild != nullptr;
         pChild = pChild->next_sibling())
        nPortNodes += ModelAs<CHubPort>(pChild->get().m_pElemObject) != nullptr ? 1 : 0;
    if (nPortNodes < pHub->GetNumberOfPorts())
        TDL_TRACE(TRACE_ERROR, kDevstkArea, "AddDevstk - Hub has fewer child ConnectionElements than ports");
    else if (nPortNodes > pHub->GetNumberOfPorts())
        TDL_TRACE(TRACE_ERROR, kDevstkArea, "AddDevstk - Hub has more child ConnectionElements than ports");
    RefreshHubPorts(this, pHub, pParent, pHubNode, ExternalHubPort);
}

void CUSBLog::RefreshPortsAbove(CDeviceStack* pStack) {
    CDeviceStack* pParent = pStack->ParentStackID != 0 ? m_pStackTree->FindStackById(pStack->ParentStackID) : nullptr;
    if (pParent == nullptr)
        return;
    if (pParent->m_iDeviceType == DT_ROOT_HUB || pParent->m_iDeviceType == DT_SS_ROOT_HUB) {
        CUsbHub* pHub = ModelAs<CUsbHub>(pParent->m_deviceNode);
        core::tree<::ConnectionElement>* pHubNode = pHub != nullptr ? pHub->FindNode(this) : nullptr;
        if (pHubNode != nullptr)
            RefreshHubPorts(this, pHub, pParent, pHubNode, RootHubPort);
    } else if (pParent->m_iDeviceType == DT_EXTERN_HUB || pParent->m_iDeviceType == DT_SS_EXTERN_HUB) {
        CHubPort* pPort = ModelAs<CHubPort>(pParent->m_deviceNode);
        CUsbHub* pHub = pPort != nullptr ? pPort->GetExternalHub() : nullptr;
        if (pHub != nullptr && pParent->m_pSubtree != nullptr)
            RefreshHubPorts(this, pHub, pParent, pParent->m_pSubtree, ExternalHubPort);
    }
}
