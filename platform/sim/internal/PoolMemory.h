// Memory the simulated drivers hand to the drivers below them: URBs, transfer buffers, descriptors, argument
// structures. A real driver takes all of it from non-paged pool (or describes it by an MDL), so that whoever
// looks at a request on its way (and checks addresses with MmIsAddressValid) sees valid memory; so do these.
#pragma once

#include <cstring>
#include <utility>

#include "platform/sim/ReleaseProfile.h"
#include "wdm.h"

namespace sim::drv {

constexpr ULONG kRequestPoolTag = SignatureWord("SimR");

// A zeroed block of non-paged pool, freed with its owner. Empty (and false) when pool was short.
class PoolBuffer {
public:
    PoolBuffer() = default;
    explicit PoolBuffer(size_t size) : m_size(size) {
        m_data = static_cast<UCHAR*>(ExAllocatePoolWithTag(NonPagedPool, size ? size : 1, kRequestPoolTag));
        if (m_data) {
            std::memset(m_data, 0, size ? size : 1);
        } else {
            m_size = 0;
        }
    }
    // A pool copy of `size` bytes (zeros when `bytes` is null).
    PoolBuffer(const void* bytes, size_t size) : PoolBuffer(size) {
        if (m_data && bytes && size) {
            std::memcpy(m_data, bytes, size);
        }
    }
    ~PoolBuffer() { Reset(); }
    PoolBuffer(PoolBuffer&& other) noexcept
        : m_data(std::exchange(other.m_data, nullptr)), m_size(std::exchange(other.m_size, 0)) {}
    PoolBuffer& operator=(PoolBuffer&& other) noexcept {
        if (this != &other) {
            Reset();
            m_data = std::exchange(other.m_data, nullptr);
            m_size = std::exchange(other.m_size, 0);
        }
        return *this;
    }
    PoolBuffer(const PoolBuffer&) = delete;
    PoolBuffer& operator=(const PoolBuffer&) = delete;

    explicit operator bool() const { return m_data != nullptr; }
    UCHAR* Data() const { return m_data; }
    size_t Size() const { return m_size; }
    template <class T> T* As() const { return reinterpret_cast<T*>(m_data); }

    void Reset() {
        if (m_data) {
            ExFreePoolWithTag(m_data, kRequestPoolTag);
            m_data = nullptr;
            m_size = 0;
        }
    }

private:
    UCHAR* m_data = nullptr;
    size_t m_size = 0;
};

} // namespace sim::drv
