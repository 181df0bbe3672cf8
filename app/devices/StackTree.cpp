#include "app/devices/StackTree.h"

BOOL CStackTree::QueryDriverStacks(CAttachedDevices*) {
    return TRUE;
}

void CStackTree::Serialize(CArchive& ar) {
    if (ar.IsStoring())
        ar << static_cast<DWORD>(0);
}
