#include "app/devices/SystemHostControllers.h"

#include <memory>
#include <new>

#include "app/core/app/TindaloftApp.h"
#include "app/core/changelog/TopologyRemoval.h"
#include "app/core/diagnostics/Trace.h"
#include "app/core/document/USBLog.h"
#include "app/core/system/OSVersion.h"
#include "app/devices/ConnectionTree.h"
#include "app/devices/DeviceClass.h"
#include "app/devices/DeviceStack.h"
#include "app/devices/HostController.h"
#include "app/devices/StackTree.h"
#include "app/devices/SymbolicLink.h"
#include "app/devices/UsbHub.h"

IMPLEMENT_SERIAL(CSystemHostControllers, CObject, VERSIONABLE_SCHEMA | 12)

namespace {

constexpr ULONG kLinkTargetSize = 128;
// Legacy names looked for at most: HCD0 to HCD63.
constexpr int kMaxLegacyNames = 64;

USHORT StackIdOf(const CHostController* pController) {
    return pController->m_devstk != nullptr ? pController->m_devstk->StackID : 0;
}

bool IsHostControllerStack(const CDeviceStack& stack) {
    return stack.Removed == 0 && stack.EnumName.CompareNoCase("PCI") == 0 && stack.ClassName.CompareNoCase("USB") == 0;
}

// Windows 2000 keeps the legacy names in the session directory; later releases in the global one.
LPCSTR LegacyNameDirectory() {
    if (auto* pApp = dynamic_cast<CTindaloftApp*>(AfxGetApp()))
        return pApp->m_OSVersion.m_bWin2000 ? "\\??" : "\\GLOBAL??";
    const COSVersion version;
    return version.m_bWin2000 ? "\\??" : "\\GLOBAL??";
}

void TraceElement(LPCSTR lpszPrefix, const ConnectionElement& element) {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_SERIALIZE, "--------------------");
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_SERIALIZE, "%s.m_ElementType = %s", lpszPrefix,
              ConnectionElement::GetElementTypeName(element.m_ElementType));
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_SERIALIZE, "%s.m_LabelText = %s", lpszPrefix,
              static_cast<LPCSTR>(element.m_LabelText));
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_SERIALIZE, "%s.m_IsCheckable = %d", lpszPrefix,
              element.m_IsCheckable ? 1 : 0);
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_SERIALIZE, "%s.m_pElemObject = %p", lpszPrefix,
              static_cast<void*>(element.m_pElemObject));
}

} // namespace

CSystemHostControllers::~CSystemHostControllers() = default;

BOOL CSystemHostControllers::EnumerateUsbTree(CUSBLog* pDocument) {
    if (pDocument == nullptr || pDocument->GetStackTree() == nullptr)
        return TRUE; // nothing to read from
    EnumerateHostControllers(pDocument);
    SortByStackID();
    GetHCDSymbolicLinks(pDocument);
    for (INT_PTR i = 0; i < m_Controllers.GetSize(); ++i) {
        if (!PlaceController(m_Controllers[i], pDocument, true))
            break;
    }
    return TRUE;
}

BOOL CSystemHostControllers::BuildConnectionTree(CUSBLog* pDocument) {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_SERIALIZE, "--CSystemHostControllers::BuildConnectionTree");
    if (pDocument == nullptr)
        return FALSE;
    for (INT_PTR i = 0; i < m_Controllers.GetSize(); ++i) {
        if (!PlaceController(m_Controllers[i], pDocument, false))
            return FALSE;
    }
    return TRUE;
}

BOOL CSystemHostControllers::PlaceController(CHostController* pController, CUSBLog* pDocument, bool bLive) {
    ConnectionElement hcElem(TRUE, HostController, pController);
    pController->GetLabelText(hcElem.m_LabelText);
    if (!bLive)
        TraceElement("hcElem", hcElem);
    core::tree<ConnectionElement>* pNode = pDocument->GetConnectionTree().insert(hcElem).node();
    if (pNode == nullptr)
        return FALSE;
    if (pController->m_devstk != nullptr) {
        pController->m_devstk->m_pSubtree = pNode;
        // A loaded stack learns here what it stands for; a live one learned it when it was picked.
        pController->m_devstk->m_iDeviceType = DT_HOST_CONTROLLER;
        pController->m_devstk->m_deviceNode = pController;
    }
    CUsbHub* pHub = bLive ? pController->CreateRootUsbHub(pDocument) : pController->GetRootHub();
    if (pHub == nullptr)
        return TRUE;
    const bool bSuperSpeed = pHub->IsSuperSpeed();
    ConnectionElement rhElem(TRUE, bSuperSpeed ? SSRootHub : RootHub, pHub);
    rhElem.m_LabelText = bSuperSpeed ? "SuperSpeed RootHub" : "RootHub";
    if (!bLive)
        TraceElement("rhElem", rhElem);
    core::tree<ConnectionElement>* pHubNode = pNode->insert(rhElem).node();
    if (pHubNode == nullptr)
        return FALSE;
    if (pHub->m_devstk != nullptr) {
        pHub->m_devstk->m_pSubtree = pHubNode;
        pHub->m_devstk->m_iDeviceType = bSuperSpeed ? DT_SS_ROOT_HUB : DT_ROOT_HUB;
        pHub->m_devstk->m_deviceNode = pHub;
    }
    if (bLive)
        pHub->EnumerateHubPorts(pDocument);
    else
        pHub->BuildConnectionTree(pDocument);
    return TRUE;
}

void CSystemHostControllers::EnumerateHostControllers(CUSBLog* pDocument) {
    CStackTree* pStacks = pDocument != nullptr ? pDocument->GetStackTree() : nullptr;
    if (pStacks == nullptr)
        return;
    CSingleLock lock(&pStacks->m_Lock, TRUE);
    for (const auto* pPair = pStacks->m_StackMap.PGetFirstAssoc(); pPair != nullptr;
         pPair = pStacks->m_StackMap.PGetNextAssoc(pPair)) {
        CDeviceStack* pStack = pPair->value;
        if (!IsHostControllerStack(*pStack))
            continue;
        const UINT stackId = pStack->StackID;
        TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DEVICES, "Host Controller: StackID=%04u, Description=%s", stackId,
                  static_cast<LPCSTR>(pStack->Description));
        if (pStack->ChildStackIDs[0] == 0) {
            TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DEVICES, "Host Controller: StackID=%04u, removed (no root hub)",
                      stackId);
            continue;
        }
        LocateFailure failure = LocateFailure::None;
        std::unique_ptr<CHostController> pNew = NewLocatedController(pStack, failure);
        if (failure == LocateFailure::NotLocated) {
            TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DEVICES, "Host Controller: StackID=%04u, removed", stackId);
            continue;
        }
        CHostController* pController = pNew.get();
        if (pController == nullptr || !AppendController(std::move(pNew))) {
            TDL_TRACE(TRACE_ERROR, TRACE_AREA_DEVICES,
                      "CSystemHostControllers::EnumerateHostControllers:Out of memory inserting new controller");
            // Only a controller object that could not be had passes on to the next stack: without memory for
            // a record or in the list the search ends, and the controllers found so far stay.
            if (failure != LocateFailure::NoControllerMemory)
                return;
            continue;
        }
        pStack->m_iDeviceType = DT_HOST_CONTROLLER;
        pStack->m_deviceNode = pController;
    }
}

bool CSystemHostControllers::AppendController(std::unique_ptr<CHostController> pController) {
    try {
        m_Controllers.Add(std::move(pController));
    } catch (CMemoryException* e) {
        e->Delete();
        return false;
    }
    return true;
}

std::unique_ptr<CHostController> CSystemHostControllers::NewLocatedController(CDeviceStack* pStack,
                                                                              LocateFailure& failure) {
    failure = LocateFailure::None;
    std::unique_ptr<CDeviceClass> pClass(CDeviceClass::Create(pStack->ClassGuid, pStack->DriverKey));
    if (pClass == nullptr) {
        failure = LocateFailure::NoRecordMemory;
        return nullptr;
    }
    if (!pClass->AddInterfaceGuid(GUID_DEVINTERFACE_USB_HOST_CONTROLLER) ||
        !pClass->AddInterfaceGuid(GUID_DEVINTERFACE_NEC_USB3_HOST_CONTROLLER)) {
        failure = LocateFailure::NoRecordMemory;
        return nullptr;
    }
    if (!pClass->LocateDeviceInfo()) {
        failure = LocateFailure::NotLocated;
        return nullptr;
    }
    std::unique_ptr<CHostController> pController(CHostController::NewHostController(pStack, pClass.get()));
    if (pController == nullptr) {
        failure = LocateFailure::NoControllerMemory;
        return nullptr;
    }
    pClass.release(); // the controller's from here
    pController->GetControllerType();
    return pController;
}

CHostController* CSystemHostControllers::AddHostController(CDeviceStack* pStack) {
    LocateFailure failure = LocateFailure::None;
    std::unique_ptr<CHostController> pNew = NewLocatedController(pStack, failure);
    CHostController* pController = pNew.get();
    if (pController == nullptr || !AppendController(std::move(pNew)))
        return nullptr;
    pStack->m_iDeviceType = DT_HOST_CONTROLLER;
    pStack->m_deviceNode = pController;
    return pController;
}

void CSystemHostControllers::SortByStackID() {
    const INT_PTR n = m_Controllers.GetSize();
    INT_PTR i = 0;
    while (i + 1 < n) {
        if (StackIdOf(m_Controllers[i]) > StackIdOf(m_Controllers[i + 1])) {
            m_Controllers.Swap(i, i + 1);
            i = 0;
        } else {
            ++i;
        }
    }
}

void CSystemHostControllers::GetHCDSymbolicLinks(CUSBLog* pDocument) {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DEVICES, "--CSystemHostControllers::GetHCDSymbolicLinks");
    CStackTree* pStacks = pDocument != nullptr ? pDocument->GetStackTree() : nullptr;
    if (pStacks == nullptr)
        return;
    const LPCSTR lpszDirectory = LegacyNameDirectory();
    // A controller that went leaves a gap in the numbers: the names after it are still looked for, until
    // every controller has one or the numbers run out.
    INT_PTR nNamed = 0;
    for (int n = 0; n < kMaxLegacyNames && nNamed < m_Controllers.GetSize(); ++n) {
        CString strName;
        strName.Format("HCD%d", n);
        char target[kLinkTargetSize] = {};
        if (!QuerySymbolicLinkTarget(lpszDirectory, strName, target, sizeof target)) {
            TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DEVICES, "Failed to find target for symbolic link");
            continue;
        }
        std::unique_ptr<CHostController> pProbe;
        try {
            pProbe = std::make_unique<CHostController>(static_cast<LPCSTR>(strName));
        } catch (CMemoryException* e) {
            e->Delete();
            return;
        } catch (const std::bad_alloc&) {
            return;
        }
        CString strKey;
        if (!pProbe->GetHcdDriverKeyName(strKey))
            return;
        {
            CSingleLock lock(&pStacks->m_Lock, TRUE);
            CDeviceStack* pStack = nullptr;
            if (!pStacks->m_DriverKeyToDevstk.Lookup(strKey, pStack) || pStack == nullptr) {
                TDL_TRACE(TRACE_ERROR, TRACE_AREA_DEVICES, "Failed to find DriverKey in CStackTree");
            } else if (pStack->m_iDeviceType == DT_HOST_CONTROLLER && pStack->m_deviceNode != nullptr &&
                       pStack->m_deviceNode->IsKindOf(RUNTIME_CLASS(CHostController))) {
                auto* pController = static_cast<CHostController*>(pStack->m_deviceNode);
                pController->SetDeviceName(strName);
                pController->m_TargetDevice = target;
                ++nNamed;
            }
        }
    }
}

BOOL CSystemHostControllers::DeleteHostController(CHostController* pController, CUSBLog* pDocument) {
    for (INT_PTR i = 0; i < m_Controllers.GetSize(); ++i) {
        if (m_Controllers[i] != pController)
            continue;
        // Its node (if the stack removal has not taken it already) and every stack's link to it and below.
        DeleteTopologyObject(pDocument, pController);
        m_Controllers.RemoveAt(i);
        return TRUE;
    }
    return FALSE;
}

void CSystemHostControllers::Serialize(CArchive& ar) {
    if (ar.IsStoring()) {
        TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_SERIALIZE, "--CSystemHostControllers::Serialize (storing)");
        m_Controllers.Store(ar);
        return;
    }
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_SERIALIZE, "--CSystemHostControllers::Serialize (loading)");
    DWORD count = 0;
    ar >> count;
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_SERIALIZE, "numHCs = %d", static_cast<int>(count));
    m_Controllers.LoadItems(ar, count, [this] { return std::make_unique<CHostController>(m_nSchema); });
}
