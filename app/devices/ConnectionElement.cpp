#include "app/devices/ConnectionElement.h"

#include <cstring>

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
