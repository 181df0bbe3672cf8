// The saved form of a device-model collection that holds nothing yet: its count, 0. Loading one that holds
// objects is an archive error until the collection can read them.
#pragma once

#include "afx.h"

inline void SerializeEmptyCollection(CArchive& ar) {
    if (ar.IsStoring()) {
        ar << static_cast<DWORD>(0);
        return;
    }
    DWORD dwCount = 0;
    ar >> dwCount;
    if (dwCount != 0)
        AfxThrowArchiveException(CArchiveException::genericException);
}
