#include "app/devices/StackTree.h"

#include <utility>
#include <vector>

#include "app/core/diagnostics/Trace.h"
#include "app/core/document/USBLog.h"
#include "app/devices/AttachedDevices.h"
#include "app/devices/DeviceObject.h"
#include "app/devices/DeviceStack.h"
#include "common/ByteReader.h"

IMPLEMENT_SERIAL(CStackTree, CDevice, 1)

CStackTree::CStackTree() = default;

CStackTree::CStackTree(UINT nSchema) : m_nSchema(nSchema) {}

CStackTree::CStackTree(LPCSTR lpszDeviceName) : CDevice(lpszDeviceName) {}

CStackTree::~CStackTree() {
    DeleteAll();
}

void CStackTree::DeleteAll() {
    CSingleLock lock(&m_Lock, TRUE);
    // The id map owns every stack; the driver-key map only finds them.
    for (const auto* pPair = m_StackMap.PGetFirstAssoc(); pPair != nullptr; pPair = m_StackMap.PGetNextAssoc(pPair))
        delete pPair->value;
    m_StackMap.RemoveAll();
    m_DriverKeyToDevstk.RemoveAll();
}

CDeviceStack* CStackTree::EnterStack(std::unique_ptr<CDeviceStack> pStack, bool bDriverKey) {
    if (pStack == nullptr)
        return nullptr;
    CSingleLock lock(&m_Lock, TRUE);
    try {
        m_StackMap.SetAt(pStack->StackID, pStack.get());
        if (bDriverKey)
            m_DriverKeyToDevstk.SetAt(pStack->DriverKey, pStack.get());
    } catch (CMemoryException* e) {
        e->Delete();
        m_StackMap.RemoveKey(pStack->StackID);
        return nullptr;
    }
    return pStack.release();
}

BOOL CStackTree::ParseDevstkNodes(const BYTE* pList, size_t nLength, CAttachedDevices* pDevices) {
    tdl::ByteReader reader(pList, nLength);
    CDeviceStack* pCurrent = nullptr;
    USHORT position = 0;
    BOOL bResult = TRUE;
    for (;;) {
        NODE_HEADER header{};
        if (!reader.ReadAt(reader.Position(), header) || header.Kind == NODE_KIND_END)
            break;
        if (header.Kind == NODE_KIND_DEVSTK) {
            if (header.Length != DEVSTK_NODE_SIZE)
                AfxThrowNotSupportedException();
            DEVSTK_NODE node;
            if (!reader.ReadBytes(&node, sizeof node))
                break;
            if (CDeviceStack* pKnown = FindStackById(node.StackID)) {
                // The driver gives each id once; a repeat would orphan the stack its objects point at.
                TDL_TRACE(TRACE_WARNING, TRACE_AREA_DRIVER_IO, "StackID %u listed twice",
                          static_cast<UINT>(node.StackID));
                pCurrent = pKnown;
                position = 0;
                continue;
            }
            CDeviceStack* pStack = EnterStack(CDeviceStack::NewDeviceStack(node));
            if (pStack == nullptr) {
                bResult = FALSE;
                break;
            }
            pCurrent = pStack;
            position = 0;
        } else if (header.Kind == NODE_KIND_DEVICE) {
            if (header.Length != DEVICE_NODE_SIZE)
                AfxThrowNotSupportedException();
            DEVICE_NODE node;
            if (!reader.ReadBytes(&node, sizeof node))
                break;
            CTypedPtrList<CPtrList, _HASH_ENTRY*> known;
            int nKnown = 0;
            pDevices->GetClassDeviceObject(node.DeviceObject, known, nKnown);
            CDeviceObject* pSame =
                nKnown == 1 && known.GetHead()->object->_StackID == node.StackID ? known.GetHead()->object : nullptr;
            if (pSame != nullptr) {
                bResult = pDevices->UpdateDeviceObject(pSame, node);
                if (bResult && pCurrent != nullptr)
                    pDevices->SetDevobjStack(pSame, node, pCurrent);
            } else if (nKnown <= 1) {
                CDeviceObject* pDevice = nullptr;
                bResult = pDevices->AddDeviceObject(node, pDevice);
                if (bResult && pCurrent != nullptr) {
                    if (pCurrent->Removed != 0)
                        pDevice->_StatusFlags |= DEVOBJ_REMOVED;
                    try {
                        pCurrent->m_DevObjMap.SetAt(position, pDevice);
                    } catch (CMemoryException* e) {
                        e->Delete();
                        bResult = FALSE;
                    }
                    pDevices->SetDevobjStack(pDevice, node, pCurrent);
                }
            }
            ++position;
        } else if (header.Kind == 3) {
            if (!reader.Skip(DEVICE_NODE_SIZE))
                break;
            ++position;
        } else {
            break;
        }
    }
    return bResult;
}

CDeviceStack* CStackTree::FindStackById(USHORT stackId) {
    CSingleLock lock(&m_Lock, TRUE);
    CDeviceStack* pStack = nullptr;
    return m_StackMap.Lookup(stackId, pStack) ? pStack : nullptr;
}

CDeviceStack* CStackTree::FindStackByName(LPCSTR lpszDriverKey) {
    CSingleLock lock(&m_Lock, TRUE);
    CDeviceStack* pStack = nullptr;
    return m_DriverKeyToDevstk.Lookup(lpszDriverKey, pStack) ? pStack : nullptr;
}

USHORT CStackTree::GetMaxStackID() {
    CSingleLock lock(&m_Lock, TRUE);
    USHORT maxId = 0;
    for (const auto* pPair = m_StackMap.PGetFirstAssoc(); pPair != nullptr; pPair = m_StackMap.PGetNextAssoc(pPair))
        if (pPair->key > maxId)
            maxId = pPair->key;
    return maxId;
}

BOOL CStackTree::IsParentRemoved(const CDeviceStack* pStack) {
    if (pStack->ParentStackID == 0)
        return FALSE;
    CDeviceStack* pParent = FindStackById(pStack->ParentStackID);
    return pParent == nullptr || pParent->Removed != 0;
}

void CStackTree::UpdateStacksFromList(CDeviceStack* pStack, ULONG64 removalTime) {
    DEVSTK_NODE removal{};
    removal.Removed = 1;
    removal.RemovalTime = removalTime;
    // Depth first, children in slot order, each child marked after its own descendants. A child id that
    // names a stack already on the way (the stack itself or an ancestor: a cycle in the ids) ends the walk.
    struct Frame {
        CDeviceStack* stack;
        int nextSlot;
    };
    std::vector<CDeviceStack*> visited{pStack};
    std::vector<Frame> path{{pStack, 0}};
    while (!path.empty()) {
        Frame& top = path.back();
        if (top.nextSlot == CDeviceStack::MaxChildren) {
            CDeviceStack* pDone = top.stack;
            path.pop_back();
            if (!path.empty()) {
                removal.StackID = pDone->StackID;
                pDone->UpdateStackDefault(removal);
            }
            continue;
        }
        USHORT childId = top.stack->ChildStackIDs[top.nextSlot++];
        CDeviceStack* pChild = childId != 0 ? FindStackById(childId) : nullptr;
        if (pChild == nullptr)
            continue;
        for (CDeviceStack* pSeen : visited) {
            if (pSeen == pChild) {
                TDL_TRACE(TRACE_ERROR, TRACE_AREA_ARRIVAL, "StackID %u is its own descendant",
                          static_cast<UINT>(childId));
                return;
            }
        }
        visited.push_back(pChild);
        path.push_back({pChild, 0});
    }
}

void CStackTree::ForgetSubtree(const core::tree<ConnectionElement>* pNode) {
    CSingleLock lock(&m_Lock, TRUE);
    for (const auto* pPair = m_StackMap.PGetFirstAssoc(); pPair != nullptr; pPair = m_StackMap.PGetNextAssoc(pPair))
        if (pPair->value->m_pSubtree == pNode)
            pPair->value->m_pSubtree = nullptr;
}

void CStackTree::FillStacksTab(IStacksTab& tab, HTREEITEM hRoot) {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_STACK_TREE, "--CStackTree::FillStacksTab");
    USHORT maxId = GetMaxStackID();
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_STACK_TREE, "maxStackID = %u", static_cast<UINT>(maxId));
    for (UINT id = 1; id <= maxId; ++id) {
        TDL_TRACE(TRACE_VERBOSE, TRACE_AREA_STACK_TREE, "--- [i = %u] ---", id);
        CDeviceStack* pStack = FindStackById(static_cast<USHORT>(id));
        if (pStack == nullptr) {
            tab.ExpandItem(hRoot);
            continue;
        }
        if (IsParentRemoved(pStack) && pStack->Removed == 0)
            TDL_TRACE(TRACE_WARNING, TRACE_AREA_STACK_TREE,
                      "StackID [%04u] is NOT removed but parent StackID [%04u] is removed", id,
                      static_cast<UINT>(pStack->ParentStackID));
        if (pStack->Removed != 0) {
            tab.ExpandItem(hRoot);
            continue;
        }
        HTREEITEM hParent = hRoot;
        if (pStack->ParentStackID != 0) {
            if (CDeviceStack* pParent = FindStackById(pStack->ParentStackID)) {
                if (pParent->m_htiSelf != nullptr)
                    hParent = pParent->m_htiSelf;
                else
                    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_STACK_TREE,
                              "devstkParent=0x%p, devstkParent->m_htiSelf=0x%p", pParent,
                              static_cast<void*>(pParent->m_htiSelf));
            }
        }
        pStack->m_htiParent = hParent;
        pStack->m_htiSelf = tab.InsertStackItem(pStack->Description, hParent, pStack);
        tab.SetItemCheckState(pStack->m_htiSelf, pStack->GetCheckState());
        tab.ExpandItem(hParent);
        tab.ExpandItem(hRoot);
    }
}

void CStackTree::Serialize(CArchive& ar) {
    if (ar.IsStoring()) {
        TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_SERIALIZE, "--CStackTree::Serialize (storing)");
        CSingleLock lock(&m_Lock, TRUE);
        INT_PTR count = m_StackMap.GetCount();
        auto stored = count > static_cast<INT_PTR>(0xFFFFFFFF) ? 0xFFFFFFFFu : static_cast<DWORD>(count);
        TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_SERIALIZE, "numStacks = %u", stored);
        ar << stored;
        for (const auto* pPair = m_StackMap.PGetFirstAssoc(); pPair != nullptr;
             pPair = m_StackMap.PGetNextAssoc(pPair)) {
            TDL_TRACE(TRACE_VERBOSE, TRACE_AREA_SERIALIZE, "StackID = %d, pDeviceStack = %p",
                      static_cast<int>(pPair->key), pPair->value);
            ar << pPair->key;
            pPair->value->Serialize(ar);
        }
        return;
    }
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_SERIALIZE, "--CStackTree::Serialize (loading)");
    DWORD count = 0;
    ar >> count;
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_SERIALIZE, "numStacks = %u", count);
    for (DWORD i = 0; i < count; ++i) {
        USHORT stackId = 0;
        ar >> stackId;
        auto pStack = std::make_unique<CDeviceStack>(m_nSchema);
        pStack->Serialize(ar);
        TDL_TRACE(TRACE_VERBOSE, TRACE_AREA_SERIALIZE, "StackID = %d, pDeviceStack = %p", static_cast<int>(stackId),
                  pStack.get());
        CDeviceStack* pKnown = nullptr;
        // Entering it would orphan the first stack and the device objects that point at it.
        if (m_StackMap.Lookup(stackId, pKnown))
            AfxThrowArchiveException(CArchiveException::genericException, ar.m_strFileName);
        try {
            m_StackMap.SetAt(stackId, pStack.get());
            m_DriverKeyToDevstk.SetAt(pStack->DriverKey, pStack.get());
        } catch (...) {
            m_StackMap.RemoveKey(stackId);
            throw;
        }
        pStack.release(); // the id map's from here
    }
}

void CStackTree::PostLoading(CUSBLog* pDocument) {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_SERIALIZE, "--CStackTree::PostLoading");
    for (const auto* pPair = m_StackMap.PGetFirstAssoc(); pPair != nullptr; pPair = m_StackMap.PGetNextAssoc(pPair)) {
        TDL_TRACE(TRACE_VERBOSE, TRACE_AREA_SERIALIZE, "StackID = %04u, CDeviceStack* = %p",
                  static_cast<UINT>(pPair->key), pPair->value);
        pPair->value->PostLoading(pDocument);
    }
}
