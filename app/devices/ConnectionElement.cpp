#include "app/devices/ConnectionElement.h"

#include <cstring>
#include <memory>

#include "app/core/diagnostics/Trace.h"
#include "app/devices/HostController.h"
#include "app/devices/HubPort.h"
#include "app/devices/System.h"
#include "app/devices/UsbHub.h"

namespace {

// The class whose record an element of the kind carries; null for a kind that carries none.
CRuntimeClass* RecordClassOf(UINT nElementType) {
    switch (nElementType) {
    case HostComputer: return RUNTIME_CLASS(CSystem);
    case HostController: return RUNTIME_CLASS(CHostController);
    case RootHub:
    case ExternalHub:
    case SSRootHub:
    case SSExternalHub: return RUNTIME_CLASS(CUsbHub);
    case RootHubPort:
    case ExternalHubPort: return RUNTIME_CLASS(CHubPort);
    default: return nullptr;
    }
}

// A new object of the kind's class, empty, to load its record into; null for a kind that carries none.
std::unique_ptr<CObject> NewObjectFor(UINT nElementType, UINT nSchema) {
    switch (nElementType) {
    case HostComputer: return std::make_unique<CSystem>(nSchema);
    case HostController: return std::make_unique<CHostController>(nSchema);
    case RootHub:
    case ExternalHub:
    case SSRootHub:
    case SSExternalHub: return CUsbHub::ForLoading(nSchema);
    case RootHubPort:
    case ExternalHubPort: return CHubPort::ForLoading(nSchema);
    default: return nullptr;
    }
}

void TraceFields(const ConnectionElement& element) {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_SERIALIZE, "m_LabelText = %s", element.m_LabelText.GetString());
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_SERIALIZE, "m_IsCheckable = %d", element.m_IsCheckable ? 1 : 0);
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_SERIALIZE, "m_ElementType = %s",
              ConnectionElement::GetElementTypeName(element.m_ElementType));
}

} // namespace

bool ConnectionElement::IsSameElement(const ConnectionElement& a, const ConnectionElement& b) {
    if (a.m_pElemObject == nullptr || b.m_pElemObject == nullptr)
        return false;
    return std::strcmp(a.m_pElemObject->GetRuntimeClass()->m_lpszClassName,
                       b.m_pElemObject->GetRuntimeClass()->m_lpszClassName) == 0 &&
           a.m_pElemObject == b.m_pElemObject;
}

LPCSTR ConnectionElement::GetElementTypeName(UINT nElementType) {
    static constexpr LPCSTR kNames[] = {"UnassignedType",  "HostComputer", "HostController",
                                        "RootHub",         "RootHubPort",  "ExternalHub",
                                        "ExternalHubPort", "SSRootHub",    "SSExternalHub"};
    return nElementType < sizeof kNames / sizeof kNames[0] ? kNames[nElementType] : "OtherType";
}

void ConnectionElement::Serialize(CArchive& ar) {
    if (ar.IsStoring()) {
        TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_SERIALIZE, "ConnectionElement::Serialize (storing)");
        CRuntimeClass* pRecordClass = RecordClassOf(m_ElementType);
        const bool bRecord =
            m_pElemObject != nullptr && pRecordClass != nullptr && m_pElemObject->GetRuntimeClass() == pRecordClass;
        // The kind alone tells a loader which record follows: an object the kind does not name would make a
        // stream no loader can read back, so it is refused before anything is written.
        if (!bRecord && (pRecordClass != nullptr || m_pElemObject != nullptr)) {
            TDL_TRACE(TRACE_ERROR, TRACE_AREA_SERIALIZE, "ConnectionElement::Serialize - %s cannot carry its object",
                      GetElementTypeName(m_ElementType));
            AfxThrowArchiveException(CArchiveException::generic, ar.m_strFileName);
        }
        TraceFields(*this);
        ar << m_LabelText << static_cast<BYTE>(m_IsCheckable ? 1 : 0) << static_cast<DWORD>(m_ElementType);
        if (!bRecord) {
            TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_SERIALIZE, "Serialize Unknown");
            return;
        }
        TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_SERIALIZE, "Serialize %s", pRecordClass->m_lpszClassName);
        m_pElemObject->Serialize(ar);
        return;
    }

    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_SERIALIZE, "ConnectionElement::Serialize (loading)");
    BYTE checkable = 0;
    DWORD type = 0;
    ar >> m_LabelText >> checkable >> type;
    m_IsCheckable = checkable != 0;
    m_ElementType = type;
    m_pElemObject = nullptr;
    m_hTreeItem = nullptr;
    TraceFields(*this);
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_SERIALIZE, "Deserialize %s",
              RecordClassOf(type) != nullptr || type == UnassignedType ? GetElementTypeName(type) : "default");
    std::unique_ptr<CObject> pObject = NewObjectFor(type, m_nSchema);
    if (pObject == nullptr)
        return;
    pObject->Serialize(ar);
    // The element names its object; whoever loads the element takes it.
    m_pElemObject = pObject.release();
}
