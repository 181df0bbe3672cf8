#include "app/devices/DeviceStack.h"

#include <algorithm>

#include "app/core/diagnostics/Trace.h"
#include "app/core/document/USBLog.h"
#include "app/devices/AttachedDevices.h"
#include "app/devices/DeviceObject.h"
#include "app/devices/DriverObject.h"
#include "app/devices/NodeText.h"
#include "app/devices/StackTree.h"
#include "app/devices/TempObject.h"

IMPLEMENT_SERIAL(CDeviceStack, CObject, 1)

CDeviceStack::CDeviceStack(const DEVSTK_NODE& node) {
    UpdateStack(node, DEVSTK_UPDATE_ALL);
    StackID = node.StackID;
}

std::unique_ptr<CDeviceStack> CDeviceStack::NewDeviceStack(const DEVSTK_NODE& node) {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DRIVER_IO, "CDeviceStack::NewDeviceStack");
    try {
        return std::make_unique<CDeviceStack>(node);
    } catch (CMemoryException* e) {
        e->Delete();
        return nullptr;
    }
}

namespace {

// The field groups of an update, one bit each.
struct UpdateGroup {
    ULONG bit;
    void (*copy)(CDeviceStack& s, const DEVSTK_NODE& n);
};
constexpr UpdateGroup kUpdateGroups[] = {
    {DEVSTK_UPDATE_PARENT, [](CDeviceStack& s, const DEVSTK_NODE& n) { s.ParentStackID = n.ParentStackID; }},
    {DEVSTK_UPDATE_CLASS, [](CDeviceStack& s, const DEVSTK_NODE& n) { s.UsbClass = n.DeviceClass; }},
    {DEVSTK_UPDATE_SUBCLASS, [](CDeviceStack& s, const DEVSTK_NODE& n) { s.UsbSubClass = n.DeviceSubClass; }},
    {DEVSTK_UPDATE_PROTOCOL, [](CDeviceStack& s, const DEVSTK_NODE& n) { s.UsbProtocol = n.DeviceProtocol; }},
    {DEVSTK_UPDATE_CHILDREN,
     [](CDeviceStack& s, const DEVSTK_NODE& n) {
         std::copy(std::begin(n.ChildStackIDs), std::end(n.ChildStackIDs), s.ChildStackIDs);
     }},
    {DEVSTK_UPDATE_DESCRIPTION,
     [](CDeviceStack& s, const DEVSTK_NODE& n) { s.Description = NodeText(n.DeviceDescription); }},
    {DEVSTK_UPDATE_ENUMERATOR, [](CDeviceStack& s, const DEVSTK_NODE& n) { s.EnumName = NodeText(n.EnumeratorName); }},
    {DEVSTK_UPDATE_CLASS_NAME, [](CDeviceStack& s, const DEVSTK_NODE& n) { s.ClassName = NodeText(n.ClassName); }},
    {DEVSTK_UPDATE_CLASS_GUID, [](CDeviceStack& s, const DEVSTK_NODE& n) { s.ClassGuid = n.ClassGuid; }},
    {DEVSTK_UPDATE_HARDWARE_ID, [](CDeviceStack& s, const DEVSTK_NODE& n) { s.HardwareID = NodeText(n.HardwareID); }},
    {DEVSTK_UPDATE_DEVICE_ID, [](CDeviceStack& s, const DEVSTK_NODE& n) { s.DeviceID = NodeText(n.DeviceID); }},
    {DEVSTK_UPDATE_DRIVER_KEY, [](CDeviceStack& s, const DEVSTK_NODE& n) { s.DriverKey = NodeText(n.DriverKeyName); }},
    {DEVSTK_UPDATE_HANDLE, [](CDeviceStack& s, const DEVSTK_NODE& n) { s.DeviceHandle = n.UsbDeviceHandle; }},
    {DEVSTK_UPDATE_REMOVED, [](CDeviceStack& s, const DEVSTK_NODE& n) { s.Removed = n.Removed; }},
    {DEVSTK_UPDATE_BOS, [](CDeviceStack& s, const DEVSTK_NODE& n) { s.HasBosDescriptor = n.BosDescriptorSeen; }},
    {DEVSTK_UPDATE_ARRIVAL, [](CDeviceStack& s, const DEVSTK_NODE& n) { s.ArrivalTime = n.CreationTime; }},
    {DEVSTK_UPDATE_REMOVAL_TIME, [](CDeviceStack& s, const DEVSTK_NODE& n) { s.RemovalTime = n.RemovalTime; }},
};

} // namespace

void CDeviceStack::UpdateStack(const DEVSTK_NODE& node, ULONG flags) {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_ARRIVAL, "CDeviceStack::UpdateStack");
    for (const UpdateGroup& group : kUpdateGroups)
        if ((flags & group.bit) != 0)
            group.copy(*this, node);
    if (Removed != 0) {
        for (const auto& [position, pDevice] : DeviceObjectsByPosition())
            pDevice->_StatusFlags |= DEVOBJ_REMOVED;
    }
}

BOOL CDeviceStack::AddChildStackID(USHORT childId) {
    USHORT* pFree = nullptr;
    for (USHORT& slot : ChildStackIDs) {
        if (slot == childId)
            return TRUE;
        if (slot == 0 && pFree == nullptr)
            pFree = &slot;
    }
    if (pFree == nullptr)
        return FALSE;
    *pFree = childId;
    return TRUE;
}

CDeviceStack* CDeviceStack::GetParentStack(CUSBLog* pDocument) const {
    CStackTree* pStacks = pDocument != nullptr ? pDocument->GetStackTree() : nullptr;
    return pStacks != nullptr ? pStacks->FindStackById(ParentStackID) : nullptr;
}

CObject* CDeviceStack::GetAssociatedDevice() const {
    switch (m_iDeviceType) {
    case DT_HOST_CONTROLLER:
    case DT_ROOT_HUB:
    case DT_EXTERN_HUB:
    case DT_GENERIC_USB:
    case DT_SS_ROOT_HUB:
    case DT_SS_EXTERN_HUB:
    case DT_SS_GENERIC_USB: return m_deviceNode;
    default: return nullptr;
    }
}

CDeviceObject* CDeviceStack::GetDeviceObjectAt(USHORT position) const {
    CObject* pObject = nullptr;
    if (m_bLoadingHolders || !m_DevObjMap.Lookup(position, pObject))
        return nullptr;
    return static_cast<CDeviceObject*>(pObject);
}

std::vector<std::pair<USHORT, CDeviceObject*>> CDeviceStack::DeviceObjectsByPosition() const {
    // Every entry, whatever gaps the positions have: objects leave a stack's map when a buffer clear sweeps
    // them, and arrivals keep the driver's counting.
    std::vector<std::pair<USHORT, CDeviceObject*>> objects;
    if (m_bLoadingHolders)
        return objects;
    objects.reserve(static_cast<size_t>(m_DevObjMap.GetCount()));
    for (const auto* pPair = m_DevObjMap.PGetFirstAssoc(); pPair != nullptr; pPair = m_DevObjMap.PGetNextAssoc(pPair)) {
        if (pPair->value != nullptr)
            objects.emplace_back(pPair->key, static_cast<CDeviceObject*>(pPair->value));
    }
    std::sort(objects.begin(), objects.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    return objects;
}

int CDeviceStack::GetCheckState() const {
    if (Removed != 0 || m_DevObjMap.IsEmpty())
        return CHECKSTATE_UNCHECKABLE;
    bool anyLoggable = false;
    for (const auto& [position, pDevice] : DeviceObjectsByPosition()) {
        if (!pDevice->IsLoggable())
            continue;
        if (pDevice->m_nStateImage != CHECKSTATE_CHECKED)
            return CHECKSTATE_UNCHECKED;
        anyLoggable = true;
    }
    return anyLoggable ? CHECKSTATE_CHECKED : CHECKSTATE_UNCHECKABLE;
}

void CDeviceStack::SetCheckState(int nState) {
    if (Removed != 0 || m_DevObjMap.IsEmpty())
        return;
    for (const auto& [position, pDevice] : DeviceObjectsByPosition())
        pDevice->m_nStateImage =
            pDevice->IsLoggable() ? static_cast<UINT>(nState) : static_cast<UINT>(CHECKSTATE_UNCHECKABLE);
}

void CDeviceStack::FillStackGridList(IStackGridList& list) {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_STACK_INSPECTOR, "--CDeviceStack::FillStackGridList");
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_STACK_INSPECTOR, "CDeviceStack:[%s]", Description.GetString());
    int nRow = 0;
    for (const auto& [position, pDevice] : DeviceObjectsByPosition()) {
        CString name;
        pDevice->GetDisplayName(name, FALSE);
        CString address;
        address.Format("%I64x", pDevice->_NtDeviceObject);
        CString driver = pDevice->_Driver != nullptr ? pDevice->_Driver->m_DriverName : CString("---");
        int nImage = pDevice->IsRemoved() ? 9 : (pDevice->_StackPosition != 0 ? 7 : 12);
        int nCheck = 12;
        if (pDevice->IsLoggable() && !pDevice->IsRemoved())
            nCheck = pDevice->m_nStateImage == CHECKSTATE_CHECKED ? 10 : 11;
        list.InsertRow(nRow++, pDevice, nImage, name, address, driver, nCheck);
    }
}

void CDeviceStack::RefreshStacksTabNode(IStacksTab& tab, HTREEITEM hItem) {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_STACK_TREE, "--CDeviceStack::RefreshStacksTabNode");
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_STACK_TREE, "CDeviceStack[%s]", Description.GetString());
    tab.SetItemCheckState(hItem, GetCheckState());
}
