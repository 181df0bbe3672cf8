#include "app/devices/HostController.h"

#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "app/core/capture/KxTdloft.h"
#include "app/core/changelog/TopologyRemoval.h"
#include "app/core/diagnostics/Trace.h"
#include "app/core/document/USBLog.h"
#include "app/devices/ConnectionTree.h"
#include "app/devices/DeviceClass.h"
#include "app/devices/DeviceStack.h"
#include "app/devices/StackTree.h"
#include "app/devices/TempObject.h"
#include "app/devices/TopologyArchive.h"
#include "app/devices/UsbHub.h"
#include "platform/usb/usbioctl.h"

IMPLEMENT_SERIAL(CHostController, CDevice, VERSIONABLE_SCHEMA | 12)

namespace {

struct ControllerKind {
    LPCSTR lpszPrefix;
    LPCSTR lpszType;
    BYTE bIsEhci;
    BYTE bIsXhci;
};

constexpr ControllerKind kKinds[] = {
    {"PCI\\CC_0C0300", "UHCI (Universal Host Controller Interface)", 0, 0},
    {"PCI\\CC_0C0310", "OHCI (Open Host Controller Interface)", 0, 0},
    {"PCI\\CC_0C0320", "EHCI (Enhanced Host Controller Interface)", 1, 0},
    {"PCI\\CC_0C0330", "xHCI (eXtensible Host Controller Interface)", 0, 1},
};

constexpr DWORD kProbeLength = sizeof(USB_HCD_DRIVERKEY_NAME);
constexpr size_t kKeyOffset = offsetof(USB_HCD_DRIVERKEY_NAME, DriverKeyName);

// The driver may be unreachable while the hub itself is fine; a hub kept then waits for a better one.
bool CaptureDriverOpens() {
    CKxTdloft driver;
    if (!driver.TryDeviceOpen(false))
        return false;
    driver.DeviceClose();
    return true;
}

} // namespace

CHostController::CHostController() = default;

CHostController::CHostController(UINT nSchema) : m_nSchema(nSchema) {}

CHostController::CHostController(LPCSTR lpszDeviceName) : CDevice(lpszDeviceName) {}

CHostController::CHostController(CDeviceStack* pStack, CDeviceClass* pDeviceClass)
    : m_pDeviceClass(pDeviceClass), m_devstk(pStack) {}

CHostController::~CHostController() {
    m_pRootHub.reset();
    m_pDeviceClass.reset();
}

CHostController* CHostController::NewHostController(CDeviceStack* pStack, CDeviceClass* pDeviceClass) {
    try {
        return new CHostController(pStack, pDeviceClass);
    } catch (CMemoryException* e) {
        e->Delete();
    } catch (const std::bad_alloc&) {
    }
    return nullptr;
}

void CHostController::GetControllerType() {
    if (m_pDeviceClass == nullptr)
        return;
    for (INT_PTR i = 0; i < m_pDeviceClass->m_CompatibleIDs.GetSize(); ++i) {
        const CString& id = m_pDeviceClass->m_CompatibleIDs[i];
        for (const ControllerKind& kind : kKinds) {
            if (std::strncmp(id, kind.lpszPrefix, std::strlen(kind.lpszPrefix)) != 0)
                continue;
            m_strControllerType = kind.lpszType;
            m_bIsEhci = kind.bIsEhci;
            m_bIsXhci = kind.bIsXhci;
        }
    }
}

BOOL CHostController::IoctlGetHcdDriverKeyName(LPVOID lpBuffer, DWORD dwLength, LPDWORD lpBytesReturned) {
    DWORD dwReturned = 0;
    const BOOL bResult = ::DeviceIoControl(m_hDevice, IOCTL_GET_HCD_DRIVERKEY_NAME, lpBuffer, dwLength, lpBuffer,
                                           dwLength, &dwReturned, nullptr);
    if (!bResult)
        m_dwLastError = ::GetLastError();
    if (lpBytesReturned != nullptr)
        *lpBytesReturned = bResult ? dwReturned : 0;
    return bResult;
}

BOOL CHostController::GetHcdDriverKeyName(CString& strKey) {
    if (!TryDeviceOpen(false))
        return FALSE;
    BOOL bResult = FALSE;
    BYTE probe[kProbeLength] = {};
    DWORD dwReturned = 0;
    if (IoctlGetHcdDriverKeyName(probe, sizeof probe, &dwReturned)) {
        ULONG nActual = 0;
        std::memcpy(&nActual, probe, sizeof nActual);
        // A reply that holds no character, or one no driver key comes near, is not a key.
        if (nActual > kProbeLength && nActual <= MaxDriverKeyReply) {
            std::vector<BYTE> reply(nActual, 0);
            if (IoctlGetHcdDriverKeyName(reply.data(), nActual, &dwReturned)) {
                // Only what ActualLength covers, up to the first terminator.
                std::vector<char16_t> text((nActual - kKeyOffset) / sizeof(char16_t) + 1, u'\0');
                std::memcpy(text.data(), reply.data() + kKeyOffset, (text.size() - 1) * sizeof(char16_t));
                int nChars = 0;
                while (text[static_cast<size_t>(nChars)] != u'\0')
                    ++nChars;
                std::vector<char> ansi(static_cast<size_t>(nChars) * 2 + 1, '\0');
                const int nBytes =
                    ::WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<LPCWSTR>(text.data()), nChars, ansi.data(),
                                          static_cast<int>(ansi.size() - 1), nullptr, nullptr);
                if (nChars == 0 || nBytes > 0) {
                    strKey = CString(ansi.data(), nBytes);
                    bResult = TRUE;
                }
            }
        }
    }
    DeviceClose();
    return bResult;
}

void CHostController::DeleteRootHub(CUSBLog* pDocument) {
    if (m_pRootHub == nullptr)
        return;
    DeleteTopologyObject(pDocument, m_pRootHub.get());
    // Without a document no node exists yet; the hub's own stack is the one that can still name it.
    CDeviceStack* pStack = m_pRootHub->m_devstk;
    if (pStack != nullptr && pStack->m_deviceNode == m_pRootHub.get()) {
        pStack->m_deviceNode = nullptr;
        pStack->m_iDeviceType = DT_NONE;
    }
    m_pRootHub.reset();
}

CUsbHub* CHostController::TryRootHub(CDeviceStack* pChild, CUSBLog* pDocument) {
    std::unique_ptr<CDeviceClass> pClass(CDeviceClass::Create(pChild->ClassGuid, pChild->DriverKey));
    if (pClass == nullptr)
        return nullptr;
    if (!pClass->AddInterfaceGuid(GUID_DEVINTERFACE_USB_HUB) ||
        !pClass->AddInterfaceGuid(GUID_DEVINTERFACE_NEC_USB3_HUB)) {
        TDL_TRACE(TRACE_ERROR, TRACE_AREA_DEVICES, "CHostController::TryRootHub - out of memory");
        return nullptr;
    }
    pClass->LocateDeviceInfo();
    std::unique_ptr<CUsbHub> pNewHub;
    try {
        pNewHub = std::make_unique<CUsbHub>(this, pChild, pClass.get());
        pClass.release(); // the hub's from here
    } catch (CMemoryException* e) {
        e->Delete();
        return nullptr;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    pNewHub->m_HubKind = HubKindRoot;
    // The hub kept without a descriptor gives way; its stack may be the new hub's.
    if (m_pRootHub != nullptr)
        DeleteRootHub(pDocument);
    m_pRootHub = std::move(pNewHub);
    CUsbHub* pHub = m_pRootHub.get();
    pChild->m_iDeviceType = pChild->HasBosDescriptor != 0 ? DT_SS_ROOT_HUB : DT_ROOT_HUB;
    pChild->m_deviceNode = pHub;
    return pHub;
}

CUsbHub* CHostController::CreateRootUsbHub(CUSBLog* pDocument) {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_ROOT_HUB, "--CHostController::CreateRootUsbHub");
    if (m_devstk == nullptr || pDocument == nullptr || pDocument->GetStackTree() == nullptr)
        return m_pRootHub.get();
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_ROOT_HUB, "StackID = [%04u]", static_cast<UINT>(m_devstk->StackID));
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_ROOT_HUB, "Description = %s", static_cast<LPCSTR>(m_devstk->Description));
    for (int i = 0; i < CDeviceStack::MaxChildren; ++i) {
        const USHORT childId = m_devstk->ChildStackIDs[i];
        TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_ROOT_HUB, "ChildStackID[%d]=[%4u]", i, static_cast<UINT>(childId));
        if (childId == 0)
            continue;
        CDeviceStack* pChild = pDocument->GetStackTree()->FindStackById(childId);
        if (pChild == nullptr)
            break;
        if (pChild->Removed != 0)
            TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_ROOT_HUB, "StackID=[%4u] is marked removed",
                      static_cast<UINT>(childId));
        CUsbHub* pHub = TryRootHub(pChild, pDocument);
        if (pHub == nullptr)
            continue;
        if (!CaptureDriverOpens())
            continue; // kept without its descriptor
        if (pHub->FetchHubDescriptor())
            break;
        DeleteRootHub(pDocument);
    }
    return m_pRootHub.get();
}

void CHostController::GetLabelText(CString& strLabel) const {
    strLabel = m_pDeviceClass != nullptr ? m_pDeviceClass->m_DeviceDescription : CString();
    strLabel += "(";
    strLabel += m_strDeviceName;
    strLabel += ")";
}

int CHostController::GetCheckState() const {
    return m_devstk != nullptr ? m_devstk->GetCheckState() : CHECKSTATE_UNCHECKABLE;
}

void CHostController::RemoveHostController(CDeviceStack* pStack, CUSBLog* pDocument) {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_ARRIVAL, "--CHostController::RemoveHostController");
    if (pStack == nullptr || pStack->m_pSubtree == nullptr) {
        TDL_TRACE(TRACE_ERROR, TRACE_AREA_ARRIVAL, "ERROR: HostController m_pSubtree == NULL");
        return;
    }
    if (pDocument == nullptr)
        return;
    const ConnectionElement key(FALSE, UnassignedType, this);
    core::tree<ConnectionElement>* pNode = pDocument->GetConnectionTree().find_in_subtree(key).node();
    if (pNode == nullptr) {
        TDL_TRACE(TRACE_ERROR, TRACE_AREA_ARRIVAL, "ERROR: failed to find 'this' HostController in ConnectionTree");
        return;
    }
    // The root hub and everything below it leave the tree and every stack's links; the controller's own
    // stack keeps naming the controller until the controller itself is deleted.
    DeleteTopologyChildren(pDocument, pNode);
    if (pNode->parent() == nullptr) {
        TDL_TRACE(TRACE_ERROR, TRACE_AREA_ARRIVAL, "ERROR: failed to remove the HostController node");
        return;
    }
    delete pNode; // a tree node leaves its parent and reports itself gone as it is deleted
    m_pDeviceClass.reset();
}

void CHostController::Serialize(CArchive& ar) {
    if (ar.IsStoring()) {
        TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_SERIALIZE, "--CHostController::Serialize (storing)");
        const DWORD haveDeviceClass = m_pDeviceClass != nullptr ? 1 : 0;
        const WORD stackId = m_devstk != nullptr ? m_devstk->StackID : 0;
        const DWORD haveRootHub = m_pRootHub != nullptr ? 1 : 0;
        TraceDeviceName();
        ar << m_strDeviceName << m_TargetDevice;
        TraceRecordFlag("haveDeviceClass", haveDeviceClass);
        ar << haveDeviceClass;
        if (m_pDeviceClass != nullptr)
            m_pDeviceClass->Serialize(ar);
        TraceControllerType(stackId);
        ar << m_strControllerType << m_bIsEhci << m_bIsXhci;
        ar << stackId;
        TraceRecordFlag("haveRootHub", haveRootHub);
        ar << haveRootHub;
        if (m_pRootHub != nullptr)
            m_pRootHub->Serialize(ar);
        return;
    }

    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_SERIALIZE, "--CHostController::Serialize (loading)");
    ar >> m_strDeviceName;
    if (m_nSchema >= TargetDeviceSchema)
        ar >> m_TargetDevice;
    TraceDeviceName();
    DWORD haveDeviceClass = 0;
    ar >> haveDeviceClass;
    TraceRecordFlag("haveDeviceClass", haveDeviceClass);
    if (haveDeviceClass != 0) {
        m_pDeviceClass.reset();
        m_pDeviceClass = std::make_unique<CDeviceClass>(m_nSchema);
        m_pDeviceClass->Serialize(ar);
    }
    ar >> m_strControllerType;
    if (m_nSchema >= TypeFlagsSchema)
        ar >> m_bIsEhci >> m_bIsXhci;
    WORD stackId = 0;
    ar >> stackId;
    TraceControllerType(stackId);
    m_devstk = ArchiveStack(ar, stackId);
    if (stackId == 0)
        TDL_TRACE(TRACE_WARNING, TRACE_AREA_SERIALIZE, "*** StackID is 0! ***");
    else if (m_devstk == nullptr)
        TDL_TRACE(TRACE_WARNING, TRACE_AREA_SERIALIZE, "*** m_devstk is NULL! ***");
    DWORD haveRootHub = 0;
    ar >> haveRootHub;
    TraceRecordFlag("haveRootHub", haveRootHub);
    if (haveRootHub == 0) {
        TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_SERIALIZE, "*** m_pRootHub is NULL! ***");
        return;
    }
    m_pRootHub.reset();
    m_pRootHub = CUsbHub::ForLoading(m_nSchema);
    m_pRootHub->SetHostController(this);
    m_pRootHub->Serialize(ar);
}

void CHostController::TraceDeviceName() const {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_SERIALIZE, "m_strDeviceName = %s", m_strDeviceName.GetString());
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_SERIALIZE, "m_TargetDevice = %s", m_TargetDevice.GetString());
}

void CHostController::TraceControllerType(WORD stackId) const {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_SERIALIZE, "m_strControllerType = %s", m_strControllerType.GetString());
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_SERIALIZE, "StackID = %04u", static_cast<UINT>(stackId));
}

void CHostController::TraceRecordFlag(LPCSTR lpszName, DWORD dwFlag) {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_SERIALIZE, "%s = %d", lpszName, static_cast<int>(dwFlag));
}
