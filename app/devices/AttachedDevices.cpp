#include "app/devices/AttachedDevices.h"

#include <utility>

#include "afx.h"
#include "app/devices/EmptyCollection.h"
#include "common/NodeEntries.h"

CAttachedDevices::CAttachedDevices() : m_list(DEVICE_NODE_SIZE, 0) {
    // The end entry: kind 0, length 4, in a slot of a device entry's size as the driver reads it.
    m_list[2] = static_cast<BYTE>(NODE_END_SIZE);
}

BOOL CAttachedDevices::CreateLogDevobjsList(BYTE*& rpBuffer, DWORD& rdwSize, bool /*bClearSelection*/) {
    rpBuffer = nullptr;
    rdwSize = 0;
    if (m_outcome == ListOutcome::Refused)
        return FALSE;
    if (m_outcome == ListOutcome::OutOfMemory)
        AfxThrowMemoryException();
    m_handedOut = m_list;
    rpBuffer = m_handedOut.data();
    rdwSize = static_cast<DWORD>(m_handedOut.size());
    return TRUE;
}

void CAttachedDevices::SetLogDevobjsList(std::vector<BYTE> list, ListOutcome outcome) {
    m_list = std::move(list);
    m_outcome = outcome;
}

void CAttachedDevices::Serialize(CArchive& ar) {
    // No device objects yet: the count alone.
    SerializeEmptyCollection(ar);
}
