// The hooked drivers from the driver: CAttachedDrivers' query of DRVOBJ_NODES, its two parsers and the merge
// with its sweep.
#include "app/devices/AttachedDrivers.h"

#include <functional>

#include "app/core/diagnostics/Trace.h"
#include "app/devices/AttachedDevices.h"
#include "app/devices/DeviceObject.h"
#include "app/devices/DriverObject.h"
#include "app/devices/NodeListFetch.h"
#include "app/devices/TempObject.h"
#include "app/ui/dialogs/StopMessage.h"
#include "common/ByteReader.h"
#include "common/ControlCodes.h"

namespace {

[[noreturn]] void RaiseQueryFailure(DWORD dwCode) {
    RaiseException(dwCode, EXCEPTION_NONCONTINUABLE, 0, nullptr);
}

} // namespace

BOOL CAttachedDrivers::IsAppExceptionCode(DWORD dwCode) {
    m_dwExceptionCode = dwCode;
    return dwCode == CDevice::OpenFailureCode || (dwCode >= RequestFailureCode && dwCode <= DeviceWithoutVtableCode);
}

CString CAttachedDrivers::GetAppExceptionMessage() const {
    CString text;
    switch (m_dwExceptionCode) {
    case CDevice::OpenFailureCode: text.Format("Failed CreateFile, error: %u", m_dwLastError); break;
    case RequestFailureCode: text.Format("Failed DeviceIoControl, error: %u", m_dwLastError); break;
    case DriverNodeTruncatedCode: text = "DRIVER_NODE was truncated"; break;
    case DeviceNodeTruncatedCode: text = "DEVICE_NODE was truncated"; break;
    case SkipNodeTruncatedCode: text = "SKIP_DEVICE_NODE was truncated"; break;
    case InvalidNodeKindCode:
        text.Format("Invalid node type encountered: 0x%04x", static_cast<UINT>(m_nInvalidNodeKind));
        break;
    case DriverWithoutVtableCode: text = "CDriverObject instance has NULL pointer to vtable"; break;
    case DeviceWithoutVtableCode: text = "CDeviceObject instance has NULL pointer to vtable"; break;
    default: break;
    }
    return text;
}

BOOL CAttachedDrivers::IoctlTindaloftDrvobjNodes(LPVOID lpBuffer, DWORD dwLength, LPDWORD lpBytesReturned) {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DRIVER_IO, "--CAttachedDrivers::IoctlTindaloftDrvobjNodes");
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DRIVER_IO, "IOCTL_TINDALOFT_DRVOBJ_NODES");
    return SendNodeListRequest(m_hDevice, IOCTL_TINDALOFT_DRVOBJ_NODES, lpBuffer, dwLength, lpBytesReturned,
                               m_dwLastError);
}

BOOL CAttachedDrivers::QueryDriversAndDevices(CAttachedDevices* pDevices, bool bFirst) {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DRIVERS, "--CAttachedDrivers::QueryDriversAndDevices");
    return QueryNodeList(pDevices, bFirst ? NodeListMerge::Fill : NodeListMerge::Update);
}

BOOL CAttachedDrivers::RereadDriversAndDevices(CAttachedDevices* pDevices) {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DRIVERS, "--CAttachedDrivers::RereadDriversAndDevices");
    return QueryNodeList(pDevices, NodeListMerge::KeepMissing);
}

BOOL CAttachedDrivers::QueryNodeList(CAttachedDevices* pDevices, NodeListMerge merge) {
    __try {
        CDeviceCloser closer(*this);
        DeviceOpen();
        CNodeListBuffer list;
        const NodeListFetch fetched =
            FetchNodeList(*this, std::bind_front(&CAttachedDrivers::IoctlTindaloftDrvobjNodes, this), list);
        if (fetched == NodeListFetch::RequestFailed)
            RaiseQueryFailure(RequestFailureCode);
        if (fetched != NodeListFetch::Fetched)
            return FALSE;
        switch (merge) {
        case NodeListMerge::Fill: GetDriversAndDevices(list.Data(), list.Returned(), pDevices); break;
        case NodeListMerge::Update: UpdateDriversAndDevices(list.Data(), list.Returned(), pDevices); break;
        case NodeListMerge::KeepMissing: MergeDriversAndDevices(list.Data(), list.Returned(), pDevices); break;
        }
        return TRUE;
    } __except (EXCEPTION_EXECUTE_HANDLER) {
        if (!IsAppExceptionCode(static_cast<DWORD>(GetExceptionCode())))
            throw;
        ShowStopMessage(GetAppExceptionMessage());
    }
    return FALSE;
}

BOOL CAttachedDrivers::GetDriversAndDevices(const BYTE* pList, size_t nLength, CAttachedDevices* pDevices) {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DRIVERS, "--CAttachedDrivers::GetDriversAndDevices");
    return WalkDrvobjNodes(pList, nLength, pDevices, false);
}

BOOL CAttachedDrivers::UpdateDriversAndDevices(const BYTE* pList, size_t nLength, CAttachedDevices* pDevices) {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DRIVERS, "--CAttachedDrivers::UpdateDriversAndDevices");
    const BOOL bEnded = WalkMarking(pList, nLength, pDevices);
    if (bEnded) {
        RemoveUnmarkedDrivers(pDevices);
    } else {
        // A list without its end entry is not the whole list: deleting what it lacks would remove what exists.
        TDL_TRACE(TRACE_WARNING, TRACE_AREA_DRIVERS, "DRVOBJ_NODES list without end entry: nothing removed");
        ClearAllMarks();
    }
    return bEnded;
}

BOOL CAttachedDrivers::MergeDriversAndDevices(const BYTE* pList, size_t nLength, CAttachedDevices* pDevices) {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DRIVERS, "--CAttachedDrivers::MergeDriversAndDevices");
    const BOOL bEnded = WalkMarking(pList, nLength, pDevices);
    ClearAllMarks();
    return bEnded;
}

BOOL CAttachedDrivers::WalkMarking(const BYTE* pList, size_t nLength, CAttachedDevices* pDevices) {
    ClearDriverMarks();
    try {
        return WalkDrvobjNodes(pList, nLength, pDevices, true);
    } catch (...) {
        // Marks left behind would spare what the next merge ought to sweep.
        ClearAllMarks();
        throw;
    }
}

BOOL CAttachedDrivers::WalkDrvobjNodes(const BYTE* pList, size_t nLength, CAttachedDevices* pDevices, bool bUpdate) {
    tdl::ByteReader reader(pList, nLength);
    CDriverObject* pCurrent = nullptr;
    USHORT kind = 0;
    // The entries' length fields are not read: every kind has its fixed size.
    while (reader.ReadAt(reader.Position(), kind)) {
        switch (kind) {
        case NODE_KIND_END: return TRUE;
        case NODE_KIND_DRIVER: {
            DRIVER_NODE node;
            if (!reader.ReadBytes(&node, sizeof node))
                RaiseQueryFailure(DriverNodeTruncatedCode);
            CDriverObject* pDriver = nullptr;
            if (bUpdate)
                AddOrUpdateDriver(node, pDriver);
            else
                AddNewDriver(&node, nullptr, TRUE, pDriver);
            pCurrent = pDriver;
            break;
        }
        case NODE_KIND_DEVICE: {
            DEVICE_NODE node;
            if (!reader.ReadBytes(&node, sizeof node))
                RaiseQueryFailure(DeviceNodeTruncatedCode);
            ProcessDevNode(node, pDevices, bUpdate, !bUpdate, pCurrent);
            break;
        }
        case NODE_KIND_SKIP:
            if (!reader.Skip(DEVICE_NODE_SIZE))
                RaiseQueryFailure(SkipNodeTruncatedCode);
            break;
        default: m_nInvalidNodeKind = kind; RaiseQueryFailure(InvalidNodeKindCode);
        }
    }
    // Fewer than two bytes left: the list stops without its end entry.
    return FALSE;
}

void CAttachedDrivers::ProcessDevNode(const DEVICE_NODE& node, CAttachedDevices* pDevices, BOOL bMark,
                                      BOOL bRecordLogEnable, CDriverObject* pDriver) {
    TDL_TRACE(TRACE_VERBOSE, TRACE_AREA_DRIVERS, "--CAttachedDrivers::ProcessDevNode");
    TDL_TRACE(TRACE_VERBOSE, TRACE_AREA_DRIVERS, "DeviceObject=0x%I64x, bRecordLogEnable=%d", node.DeviceObject,
              bRecordLogEnable);
    CTypedPtrList<CPtrList, _HASH_ENTRY*> matches;
    int nMatches = 0;
    pDevices->GetClassDeviceObject(node.DeviceObject, matches, nMatches);
    CDeviceObject* pDevice = nullptr;
    CDeviceObject* pMatched = nMatches == 1 ? matches.GetHead()->object : nullptr;
    if (nMatches == 0) {
        if ((node.StatusFlags & DEVOBJ_REMOVED) != 0)
            TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DRIVERS, "Adding DeviceObject=%I64x which is removed",
                      node.DeviceObject);
        if (!pDevices->AddDeviceObject(node, pDevice))
            return;
    } else if (nMatches == 1) {
        CDeviceObject* pKnown = pMatched;
        if (pKnown->_StackID != node.StackID) {
            TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DRIVERS,
                      "CAttachedDrivers::ProcessDevNode: DeviceObject 0x%I64x occurs in two different Stacks: %04u, "
                      "%04u\n",
                      node.DeviceObject, static_cast<UINT>(pKnown->_StackID), static_cast<UINT>(node.StackID));
            if (!pDevices->AddDeviceObject(node, pDevice))
                return;
        } else {
            if (static_cast<ULONG64>(pKnown->_StartTime) != node.StartTime)
                TDL_TRACE(TRACE_WARNING, TRACE_AREA_DRIVERS,
                          "CAttachedDrivers::ProcessDevNode: DeviceObject 0x%I64x has two different Start times: "
                          "%I64u, %I64u",
                          node.DeviceObject, static_cast<ULONG64>(pKnown->_StartTime), node.StartTime);
            if (pKnown->IsRemoved())
                TDL_TRACE(TRACE_WARNING, TRACE_AREA_DRIVERS,
                          "CAttachedDrivers::ProcessDevNode: Updating DeviceObject 0x%I64x which is removed",
                          node.DeviceObject);
            pDevices->UpdateDeviceObject(pKnown, node);
            pDevice = pKnown;
        }
    } else {
        TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DRIVERS,
                  "CAttachedDrivers::ProcessDevNode: DeviceObject 0x%I64x has %d entries returned by "
                  "FindDeviceObjectMatches\n",
                  node.DeviceObject, nMatches);
        return;
    }
    // A new object keeps the stack its node names, or the next list would not find it again by its StackID and
    // would replace it with yet another one.
    if (pDevice != pMatched)
        pDevice->_StackID = node.StackID;

    if (pDriver == nullptr)
        return;
    // One list per device object, that of the driver it names: a device object that changed driver leaves
    // the old driver's list, so deleting that driver cannot leave it behind.
    if (pDevice->_Driver != pDriver && !pDriver->AddDeviceObject(pDevice))
        return;
    if (bMark)
        pDevice->_StatusFlags |= CDriverObject::SeenMark;
    if (bRecordLogEnable && pDevice->IsSelectable())
        pDevice->m_nStateImage =
            (pDevice->_StatusFlags & DEVOBJ_CAPTURE_OFF) == 0 ? CHECKSTATE_CHECKED : CHECKSTATE_UNCHECKED;
}

void CAttachedDrivers::ClearDriverMarks() {
    CSingleLock lock(&m_Lock, TRUE);
    for (INT_PTR i = 0; i < m_DriverObjects.GetSize(); ++i)
        m_DriverObjects[i]->m_Flags &= ~(CDriverObject::SeenMark | CDriverObject::SweptMark);
}

void CAttachedDrivers::ClearAllMarks() {
    ClearDriverMarks();
    CSingleLock lock(&m_Lock, TRUE);
    for (INT_PTR i = 0; i < m_DriverObjects.GetSize(); ++i) {
        CDriverObject* pDriver = m_DriverObjects[i];
        for (INT_PTR j = 0; j < pDriver->m_DeviceObjects.GetSize(); ++j)
            pDriver->m_DeviceObjects[j]->_StatusFlags &= ~CDriverObject::SeenMark;
    }
}

void CAttachedDrivers::RemoveUnmarkedDrivers(CAttachedDevices* pDevices) {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DRIVERS, "--CAttachedDrivers::RemoveUnmarkedDrivers");
    // A removal shifts the array, so each removal starts a new pass; the swept mark keeps a driver from being
    // swept twice.
    for (bool bRemoved = true; bRemoved;) {
        bRemoved = false;
        for (INT_PTR i = 0; i < m_DriverObjects.GetSize(); ++i) {
            CDriverObject* pDriver = m_DriverObjects[i];
            if ((pDriver->m_Flags & CDriverObject::SweptMark) == 0) {
                pDriver->RemoveUnmarkedDOs(pDevices);
                pDriver->m_Flags |= CDriverObject::SweptMark;
            }
            if ((pDriver->m_Flags & CDriverObject::SeenMark) == 0) {
                RemoveDriver(i);
                bRemoved = true;
                break;
            }
        }
    }
    ClearDriverMarks();
}
