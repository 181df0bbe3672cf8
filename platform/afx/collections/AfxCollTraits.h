// Element helpers of the framework's collections, which a program may specialise for its own types:
// SerializeElements (bit-wise by default, which only types that are trivially copyable allow; CString and
// CObject* through the archive's operators),
// CompareElements (operator==), CopyElements (assignment) and HashKey, the hash of a map key.
//
// HashKey decides the iteration order of a CMap (buckets in order, newest entry first within a bucket), and
// so the order in which a map is stored. Integral and pointer keys use the Lehmer step of the framework's
// template maps on the key's low 32 bits (64-bit keys: the two halves' hashes combined with XOR); strings use
// hash = hash * 33 + character. The non-template maps (CMapPtrToPtr, CMapWordToPtr, ...) hash as described
// in afxcoll.h.
#pragma once

#include <cstdint>
#include <cstring>
#include <new>
#include <type_traits>
#include <utility>

#include "AfxArchive.h"
#include "AfxDefs.h"
#include "AfxString.h"

template <class TYPE> void AFXAPI SerializeElements(CArchive& ar, TYPE* pElements, INT_PTR nCount) {
    if constexpr (!std::is_trivially_copyable_v<TYPE>) {
        // Bytes of such an object are no form of it; a collection of them needs its own SerializeElements.
        (void)ar;
        (void)pElements;
        if (nCount > 0)
            AfxThrowNotSupportedException();
        return;
    }
    if (nCount <= 0)
        return;
    // In pieces, so that each byte count fits the archive's 32-bit interface.
    constexpr INT_PTR kMaxPerCall = INT32_MAX / static_cast<INT_PTR>(sizeof(TYPE));
    while (nCount > 0) {
        INT_PTR n = nCount < kMaxPerCall ? nCount : kMaxPerCall;
        UINT nBytes = static_cast<UINT>(n * static_cast<INT_PTR>(sizeof(TYPE)));
        if (ar.IsStoring())
            ar.Write(pElements, nBytes);
        else
            ar.EnsureRead(pElements, nBytes);
        pElements += n;
        nCount -= n;
    }
}

template <> inline void AFXAPI SerializeElements<CString>(CArchive& ar, CString* pElements, INT_PTR nCount) {
    for (INT_PTR i = 0; i < nCount; ++i) {
        if (ar.IsStoring())
            ar << pElements[i];
        else
            ar >> pElements[i];
    }
}

template <> inline void AFXAPI SerializeElements<CObject*>(CArchive& ar, CObject** pElements, INT_PTR nCount) {
    for (INT_PTR i = 0; i < nCount; ++i) {
        if (ar.IsStoring())
            ar << pElements[i];
        else
            ar >> pElements[i];
    }
}

template <class TYPE, class ARG_TYPE> BOOL AFXAPI CompareElements(const TYPE* pElement1, const ARG_TYPE* pElement2) {
    return *pElement1 == *pElement2;
}

template <class TYPE> void AFXAPI CopyElements(TYPE* pDest, const TYPE* pSrc, INT_PTR nCount) {
    while (nCount-- > 0)
        *pDest++ = *pSrc++;
}

namespace afx_detail {

inline UINT LehmerHash(uint32_t bits) {
    // One step of the minimal standard generator on the key (Schrage's method, in 32-bit arithmetic).
    int32_t k = static_cast<int32_t>(bits);
    int32_t quot = k / 127773;
    int32_t rem = k % 127773;
    int32_t h = 16807 * rem - 2836 * quot;
    if (h < 0)
        h += 2147483647;
    return static_cast<UINT>(h);
}

inline UINT StringHash(LPCSTR key) {
    if (key == nullptr)
        AfxThrowInvalidArgException();
    UINT nHash = 0;
    while (*key != '\0')
        nHash = (nHash << 5) + nHash + static_cast<UINT>(static_cast<int>(*key++)); // characters are signed
    return nHash;
}

} // namespace afx_detail

template <class ARG_KEY> UINT AFXAPI HashKey(ARG_KEY key) {
    using Key = std::remove_cv_t<std::remove_reference_t<ARG_KEY>>;
    if constexpr (std::is_pointer_v<Key>) {
        return afx_detail::LehmerHash(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(key)));
    } else {
        static_assert(std::is_integral_v<Key> || std::is_enum_v<Key>, "specialise HashKey for this key type");
        uint64_t bits = static_cast<uint64_t>(key);
        if constexpr (sizeof(Key) == 8)
            return afx_detail::LehmerHash(static_cast<uint32_t>(bits)) ^
                   afx_detail::LehmerHash(static_cast<uint32_t>(bits >> 32));
        else
            return afx_detail::LehmerHash(static_cast<uint32_t>(bits));
    }
}

template <> inline UINT AFXAPI HashKey<LPCSTR>(LPCSTR key) {
    return afx_detail::StringHash(key);
}
template <> inline UINT AFXAPI HashKey<LPSTR>(LPSTR key) {
    return afx_detail::StringHash(key);
}
template <> inline UINT AFXAPI HashKey<const CString&>(const CString& key) {
    return afx_detail::StringHash(key);
}
template <> inline UINT AFXAPI HashKey<CString>(CString key) {
    return afx_detail::StringHash(key);
}

namespace afx_detail {

// The framework's containers construct new elements on zeroed storage.
template <class TYPE> void ConstructZeroed(TYPE* p, INT_PTR n) {
    if (n <= 0)
        return;
    std::memset(static_cast<void*>(p), 0, static_cast<size_t>(n) * sizeof(TYPE));
    if constexpr (!std::is_trivially_default_constructible_v<TYPE>)
        for (INT_PTR i = 0; i < n; ++i)
            ::new (static_cast<void*>(p + i)) TYPE;
}

template <class TYPE> void Destruct(TYPE* p, INT_PTR n) {
    if constexpr (!std::is_trivially_destructible_v<TYPE>)
        for (INT_PTR i = 0; i < n; ++i)
            p[i].~TYPE();
}

// Moves n elements into uninitialised storage and ends the sources' lifetime.
template <class TYPE> void Relocate(TYPE* dest, TYPE* src, INT_PTR n) {
    if (n <= 0)
        return;
    if constexpr (std::is_trivially_copyable_v<TYPE>) {
        std::memcpy(static_cast<void*>(dest), static_cast<const void*>(src), static_cast<size_t>(n) * sizeof(TYPE));
    } else {
        for (INT_PTR i = 0; i < n; ++i) {
            ::new (static_cast<void*>(dest + i)) TYPE(std::move(src[i]));
            src[i].~TYPE();
        }
    }
}

} // namespace afx_detail
