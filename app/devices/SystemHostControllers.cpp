#include "app/devices/SystemHostControllers.h"

#include "app/devices/EmptyCollection.h"

BOOL CSystemHostControllers::EnumerateUsbTree(CUSBLog*) {
    return TRUE;
}

void CSystemHostControllers::Serialize(CArchive& ar) {
    SerializeEmptyCollection(ar);
}
