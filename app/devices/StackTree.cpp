#include "app/devices/StackTree.h"

#include "app/devices/EmptyCollection.h"

BOOL CStackTree::QueryDriverStacks(CAttachedDevices*) {
    return TRUE;
}

void CStackTree::Serialize(CArchive& ar) {
    SerializeEmptyCollection(ar);
}
