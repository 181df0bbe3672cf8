// ConnectionElement: what one node of the connection tree stands for: the model object (a system, host
// controller, hub or hub port, never owned by the element), its kind, its label in the device tree and the
// tree item the device tree view made for it.
//
// An element can store itself: its label, check box and kind, then its object's own record. No class tag is
// written: the kind says on loading which object to make, and the loader owns what it makes.
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

struct ConnectionElement final {
    ConnectionElement() = default;
    ConnectionElement(BOOL bCheckable, UINT nElementType, CObject* pObject)
        : m_IsCheckable(bCheckable != FALSE), m_pElemObject(pObject), m_ElementType(nElementType) {}

    // The same model object, of the same run-time class; an element without an object is never the same
    // as any other, itself included.
    static bool IsSameElement(const ConnectionElement& a, const ConnectionElement& b);
    // "UnassignedType" ... "SSExternalHub", "OtherType" for any other code.
    static LPCSTR GetElementTypeName(UINT nElementType);

    // Storing writes the object's record after the element's fields; an object of a class other than the one
    // the kind names (none for an unassigned or unknown kind) throws CArchiveException::generic first, since
    // no loader could read that record back. Loading makes a new object of the kind's class with the
    // element's schema (none for an unassigned or unknown kind) and leaves the tree item unset; an object
    // that fails to load is deleted before the exception goes on.
    virtual void Serialize(CArchive& ar);

    CString m_LabelText;
    bool m_IsCheckable = false;
    CObject* m_pElemObject = nullptr;
    UINT m_ElementType = UnassignedType;
    UINT m_nSchema = 12;
    HTREEITEM m_hTreeItem = nullptr;
};
