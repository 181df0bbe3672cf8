#include "app/devices/AttachedDrivers.h"

BOOL CAttachedDrivers::QueryDriversAndDevices(CAttachedDevices*) {
    return TRUE;
}

void CAttachedDrivers::Serialize(CArchive& ar) {
    if (ar.IsStoring())
        ar << static_cast<DWORD>(0);
}
