// CAttachedDevices: the device objects of the captured stacks. For now it only hands the capture thread the
// DEVICE_NODE list it sends to the driver: a list set from outside (the device model fills it later), by
// default none selected (the end entry alone).
#pragma once

#include <vector>

#include "afx.h"

class CArchive;

class CAttachedDevices : public CObject {
public:
    CAttachedDevices();
    ~CAttachedDevices() override = default;

    // The DEVICE_NODE list of the device objects selected for capture, ended by the end entry; the buffer
    // stays the collection's (valid until the next call). FALSE when it cannot be built.
    BOOL CreateLogDevobjsList(BYTE*& rpBuffer, DWORD& rdwSize, bool bClearSelection);

    // How the next CreateLogDevobjsList ends: with the list, refused, or with the memory exception an
    // allocation that fails throws.
    enum class ListOutcome { Built, Refused, OutOfMemory };
    void SetLogDevobjsList(std::vector<BYTE> list, ListOutcome outcome = ListOutcome::Built);

    void Serialize(CArchive& ar) override;

private:
    std::vector<BYTE> m_list;
    std::vector<BYTE> m_handedOut;
    ListOutcome m_outcome = ListOutcome::Built;
};
