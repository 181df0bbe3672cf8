#include "app/devices/SystemHostControllers.h"

BOOL CSystemHostControllers::EnumerateUsbTree(CUSBLog*) {
    return TRUE;
}

void CSystemHostControllers::Serialize(CArchive& ar) {
    if (ar.IsStoring())
        ar << static_cast<DWORD>(0);
}
