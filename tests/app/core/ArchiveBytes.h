// An object's archive image through a memory file, and loading one back, for the serialization tests.
#pragma once

#include <vector>

#include <gtest/gtest.h>

#include "afx.h"

namespace apptest {

// The bytes the object's Serialize stores.
inline std::vector<BYTE> Store(CObject& object) {
    CMemFile file(64);
    {
        CArchive ar(&file, CArchive::store);
        object.Serialize(ar);
        ar.Close();
    }
    std::vector<BYTE> bytes(static_cast<size_t>(file.GetLength()));
    file.SeekToBegin();
    file.Read(bytes.data(), static_cast<UINT>(bytes.size()));
    return bytes;
}

// Loads the object from the bytes; returns how many bytes were left unread, or -1 when loading threw an
// archive exception of the given cause.
inline int Load(CObject& object, std::vector<BYTE> bytes, int expectedCause = CArchiveException::none) {
    CMemFile file(bytes.data(), static_cast<UINT>(bytes.size()));
    CArchive ar(&file, CArchive::load);
    try {
        object.Serialize(ar);
    } catch (CArchiveException* e) {
        EXPECT_EQ(e->m_cause, expectedCause);
        e->Delete();
        ar.Abort();
        return -1;
    }
    ar.Flush();
    return static_cast<int>(bytes.size() - file.GetPosition());
}

} // namespace apptest
