// CTempObject holds a device object's address while a capture file is loaded, until post-loading puts the
// object in its place; and the names of the check states the device views use.
#pragma once

#include "afx.h"

// Check states: state-image indexes of the device views' tree and list controls.
enum CheckState : int {
    CHECKSTATE_NOSTATE = 0,
    CHECKSTATE_UNCHECKED = 1,
    CHECKSTATE_CHECKED = 2,
    CHECKSTATE_UNCHECKABLE = 3,
};

// The state's name for traces; null for a value that is no check state.
LPCSTR CheckStateName(int nState);

class CTempObject : public CObject {
    DECLARE_SERIAL(CTempObject)
public:
    CTempObject() = default;
    explicit CTempObject(ULONG64 value) : m_Value(value) {}
    ~CTempObject() override = default;

    ULONG64 m_Value = 0;
};
