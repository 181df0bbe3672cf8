// CStackTree: the device stacks the capture driver reports. A placeholder for now: empty.
#pragma once

#include "afx.h"

class CAttachedDevices;

class CStackTree : public CObject {
public:
    explicit CStackTree(LPCSTR lpszDeviceName) : m_strDeviceName(lpszDeviceName) {}
    ~CStackTree() override = default;

    // The device stacks the driver knows, into the attached devices; none yet, and the query succeeds.
    BOOL QueryDriverStacks(CAttachedDevices* pDevices);

    // Nothing yet: the count alone.
    void Serialize(CArchive& ar) override;

private:
    CString m_strDeviceName;
};
