// Archive images for the device-model serialization tests: a builder of the expected bytes, and loading an
// object through a memory file with the capture document as the archive's document.
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "afx.h"

namespace devtest {

class Image {
public:
    Image& U8(BYTE v) { return Put(v); }
    Image& U16(WORD v) { return Put(v); }
    Image& U32(DWORD v) { return Put(v); }
    Image& U64(ULONG64 v) { return Put(v); }
    // The archive's short string form: a length byte and the characters.
    Image& Str(const std::string& s) {
        U8(static_cast<BYTE>(s.size()));
        bytes.insert(bytes.end(), s.begin(), s.end());
        return *this;
    }
    Image& Raw(const void* p, size_t n) {
        const auto* b = static_cast<const BYTE*>(p);
        bytes.insert(bytes.end(), b, b + n);
        return *this;
    }
    Image& Append(const Image& other) {
        bytes.insert(bytes.end(), other.bytes.begin(), other.bytes.end());
        return *this;
    }
    std::vector<BYTE> bytes;

private:
    template <class T> Image& Put(T v) { return Raw(&v, sizeof v); }
};

// Storing: apptest::Store (tests/app/core/ArchiveBytes.h).

// Loads with pDocument as the archive's document; exceptions pass to the caller, after the archive has let
// go of the file.
inline void LoadImage(CObject& object, const std::vector<BYTE>& bytes, CDocument* pDocument) {
    std::vector<BYTE> copy = bytes;
    CMemFile file(copy.data(), static_cast<UINT>(copy.size()));
    CArchive ar(&file, CArchive::load);
    ar.m_pDocument = pDocument;
    try {
        object.Serialize(ar);
    } catch (...) {
        ar.Abort();
        throw;
    }
    ar.Close();
}

} // namespace devtest
