// ConnectionElement: what one node of the connection tree stands for: the model object (a system, host
// controller, hub or hub port, never owned by the element), its kind, its label in the device tree and the
// tree item the device tree view made for it.
#pragma once

#include "afx.h"

struct _TREEITEM;
typedef _TREEITEM* HTREEITEM;

enum ConnectionElementType : UINT {
    UnassignedType = 0,
    HostComputer = 1,
    HostController = 2,
    RootHub = 3,
    RootHubPort = 4,
    ExternalHub = 5,
    ExternalHubPort = 6,
    SSRootHub = 7,
    SSExternalHub = 8,
};

struct ConnectionElement {
    ConnectionElement() = default;
    ConnectionElement(BOOL bCheckable, UINT nElementType, CObject* pObject)
        : m_IsCheckable(bCheckable != FALSE), m_pElemObject(pObject), m_ElementType(nElementType) {}

    // The same model object, of the same run-time class; an element without an object is never the same
    // as any other, itself included.
    static bool IsSameElement(const ConnectionElement& a, const ConnectionElement& b);
    // "UnassignedType" ... "SSExternalHub", "OtherType" for any other code.
    static LPCSTR GetElementTypeName(UINT nElementType);

    CString m_LabelText;
    bool m_IsCheckable = false;
    CObject* m_pElemObject = nullptr;
    UINT m_ElementType = UnassignedType;
    UINT m_nSchema = 12;
    HTREEITEM m_hTreeItem = nullptr;
};
