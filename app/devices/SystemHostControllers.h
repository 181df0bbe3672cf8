// CSystemHostControllers: the machine's USB host controllers. A placeholder for now: empty.
#pragma once

#include "afx.h"

class CUSBLog;

class CSystemHostControllers : public CObject {
public:
    CSystemHostControllers() = default;
    ~CSystemHostControllers() override = default;

    // The host controllers and what hangs below them, read from the machine; the model comes later, so the
    // query finds nothing and succeeds.
    BOOL EnumerateUsbTree(CUSBLog* pDocument);

    // Nothing yet: the count alone.
    void Serialize(CArchive& ar) override;
};
