#include "app/devices/AttachedDrivers.h"

#include "app/devices/EmptyCollection.h"

BOOL CAttachedDrivers::QueryDriversAndDevices(CAttachedDevices*) {
    return TRUE;
}

void CAttachedDrivers::Serialize(CArchive& ar) {
    SerializeEmptyCollection(ar);
}
