// CAttachedDrivers: the driver objects of the captured stacks. A placeholder for now: empty.
#pragma once

#include "afx.h"

class CAttachedDevices;

class CAttachedDrivers : public CObject {
public:
    explicit CAttachedDrivers(LPCSTR lpszDeviceName) : m_strDeviceName(lpszDeviceName) {}
    ~CAttachedDrivers() override = default;

    // The driver objects and their device objects, from the driver; none yet, and the query succeeds.
    BOOL QueryDriversAndDevices(CAttachedDevices* pDevices);

    // Nothing yet: the count alone.
    void Serialize(CArchive& ar) override;

private:
    CString m_strDeviceName;
};
