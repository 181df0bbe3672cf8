#include "app/core/changelog/TopologyRemoval.h"

#include <unordered_set>

#include "app/core/diagnostics/Trace.h"
#include "app/core/document/USBLog.h"
#include "app/devices/DeviceStack.h"
#include "app/devices/HostController.h"
#include "app/devices/HubPort.h"
#include "app/devices/StackTree.h"
#include "app/devices/UsbHub.h"

namespace {

using ObjectSet = std::unordered_set<const CObject*>;

// The object and every model object it owns below it.
void AddModelObjects(const CObject* pObject, ObjectSet& objects) {
    if (pObject == nullptr || !objects.insert(pObject).second)
        return;
    if (pObject->IsKindOf(RUNTIME_CLASS(CUsbHub))) {
        const auto* pHub = static_cast<const CUsbHub*>(pObject);
        for (INT_PTR i = 0; i < pHub->m_Ports.GetSize(); ++i)
            AddModelObjects(pHub->m_Ports[i], objects);
    } else if (pObject->IsKindOf(RUNTIME_CLASS(CHostController))) {
        AddModelObjects(static_cast<const CHostController*>(pObject)->GetRootHub(), objects);
    } else if (pObject->IsKindOf(RUNTIME_CLASS(CHubPort))) {
        AddModelObjects(static_cast<const CHubPort*>(pObject)->GetExternalHub(), objects);
    }
}

void AddNodeObjects(const core::tree<ConnectionElement>* pNode, ObjectSet& objects) {
    AddModelObjects(pNode->get().m_pElemObject, objects);
    for (const core::tree<ConnectionElement>* pChild = pNode->first_child(); pChild != nullptr;
         pChild = pChild->next_sibling())
        AddNodeObjects(pChild, objects);
}

void ResetStacks(CUSBLog* pDocument, const ObjectSet& objects) {
    CStackTree* pStacks = pDocument->GetStackTree();
    if (pStacks == nullptr)
        return;
    CSingleLock lock(&pStacks->m_Lock, TRUE);
    for (const auto* pPair = pStacks->m_StackMap.PGetFirstAssoc(); pPair != nullptr;
         pPair = pStacks->m_StackMap.PGetNextAssoc(pPair)) {
        CDeviceStack* pStack = pPair->value;
        if (pStack->m_deviceNode != nullptr && objects.count(pStack->m_deviceNode) != 0) {
            pStack->m_deviceNode = nullptr;
            pStack->m_iDeviceType = DT_NONE;
        }
    }
}

// Objects first, while every node's object is still alive; then the node.
void DeleteNode(CUSBLog* pDocument, core::tree<ConnectionElement>* pNode, ObjectSet& objects) {
    AddNodeObjects(pNode, objects);
    delete pNode; // a tree node leaves its parent and reports itself gone as it is deleted
    ResetStacks(pDocument, objects);
}

} // namespace

BOOL DeleteTopologyObject(CUSBLog* pDocument, CObject* pObject) {
    if (pDocument == nullptr || pObject == nullptr)
        return FALSE;
    ObjectSet objects;
    AddModelObjects(pObject, objects);
    const ConnectionElement key(FALSE, UnassignedType, pObject);
    core::tree_iterator<ConnectionElement> found = pDocument->GetConnectionTree().find_in_subtree(key);
    if (found == g_ConnectionTreeEnd) {
        TDL_TRACE(TRACE_VERBOSE, TRACE_AREA_ARRIVAL, "DeleteTopologyObject - %p has no node", pObject);
        ResetStacks(pDocument, objects);
        return FALSE;
    }
    DeleteNode(pDocument, found.node(), objects);
    return TRUE;
}

void DeleteTopologyChildren(CUSBLog* pDocument, core::tree<ConnectionElement>* pNode) {
    if (pDocument == nullptr || pNode == nullptr)
        return;
    while (core::tree<ConnectionElement>* pChild = pNode->first_child()) {
        ObjectSet objects;
        DeleteNode(pDocument, pChild, objects);
    }
}
