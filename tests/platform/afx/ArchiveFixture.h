// Shared helpers of the archive tests: store into and load from exact-size memory images, catch the
// framework's exceptions by cause, and watch the largest single allocation of a piece of work.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <vector>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define AFX_TEST_ALLOCATION_HOOKS 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define AFX_TEST_ALLOCATION_HOOKS 1
#endif
#ifdef AFX_TEST_ALLOCATION_HOOKS
#include <sanitizer/allocator_interface.h>
#endif

#include "afx.h"

namespace afx_test {

using Bytes = std::vector<BYTE>;

inline Bytes Store(const std::function<void(CArchive&)>& write) {
    CMemFile file;
    CArchive ar(&file, CArchive::store);
    write(ar);
    ar.Close();
    Bytes bytes(static_cast<size_t>(file.GetLength()));
    file.SeekToBegin();
    if (!bytes.empty())
        file.Read(bytes.data(), static_cast<UINT>(bytes.size()));
    return bytes;
}

// Loads from an exact-size copy of the image, so that reading past its end is an error the sanitizer sees.
inline void Load(const Bytes& image, const std::function<void(CArchive&)>& read) {
    Bytes copy(image);
    CMemFile file(copy.empty() ? nullptr : copy.data(), static_cast<UINT>(copy.size()));
    CArchive ar(&file, CArchive::load);
    read(ar);
}

// The cause of the CArchiveException that f throws; -1 when it throws none.
inline int ArchiveCause(const std::function<void()>& f) {
    try {
        f();
    } catch (CArchiveException* e) {
        int cause = e->m_cause;
        e->Delete();
        return cause;
    }
    return -1;
}

template <class E> bool Throws(const std::function<void()>& f) {
    try {
        f();
    } catch (E* e) {
        e->Delete();
        return true;
    }
    return false;
}

// Largest single allocation made while f runs (0 when the build has no allocation hooks).
class AllocationWatch {
public:
    static size_t LargestDuring(const std::function<void()>& f) {
#ifdef AFX_TEST_ALLOCATION_HOOKS
        static bool installed = (__sanitizer_install_malloc_and_free_hooks(&OnMalloc, &OnFree), true);
        (void)installed;
        Largest() = 0;
        Active() = true;
        try {
            f();
        } catch (...) {
            Active() = false;
            throw;
        }
        Active() = false;
        return Largest();
#else
        f();
        return 0;
#endif
    }

private:
    static std::atomic<size_t>& Largest() {
        static std::atomic<size_t> largest{0};
        return largest;
    }
    static std::atomic<bool>& Active() {
        static std::atomic<bool> active{false};
        return active;
    }
    static void OnMalloc(const volatile void*, size_t size) {
        if (!Active())
            return;
        size_t seen = Largest();
        while (size > seen && !Largest().compare_exchange_weak(seen, size)) {
        }
    }
    static void OnFree(const volatile void*) {}
};

} // namespace afx_test
