// Little-endian loads and a bounded reader over bytes that cross a boundary (records, node lists,
// control-device buffers). Every read goes through memcpy, so no pointer into a packed byte stream is
// ever dereferenced as a wider type, and every bounded read says whether the bytes were there.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <type_traits>

static_assert(std::endian::native == std::endian::little,
              "the wire formats are little-endian and are copied to and from memory as they stand");

namespace tdl {

// Loads a T from possibly unaligned memory. The caller has checked that sizeof(T) bytes are there.
template <class T> inline T LoadLe(const void* p) {
    static_assert(std::is_trivially_copyable_v<T>);
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// Stores a T into possibly unaligned memory. The caller has checked that sizeof(T) bytes are there.
template <class T> inline void StoreLe(void* p, T v) {
    static_assert(std::is_trivially_copyable_v<T>);
    std::memcpy(p, &v, sizeof v);
}

// Reads T at `offset` when the whole value lies within `size` bytes; otherwise leaves `out` alone.
template <class T> inline bool LoadAt(const void* base, size_t size, size_t offset, T& out) {
    if (offset > size || size - offset < sizeof(T))
        return false;
    out = LoadLe<T>(static_cast<const uint8_t*>(base) + offset);
    return true;
}

// A cursor over a byte range that knows how many bytes remain. Reads that would pass the end fail,
// leave the cursor where it was and set the failed flag, so a run of reads can be checked once.
class ByteReader {
public:
    constexpr ByteReader() = default;
    constexpr ByteReader(const void* data, size_t size) : m_data(static_cast<const uint8_t*>(data)), m_size(size) {}
    explicit constexpr ByteReader(std::span<const uint8_t> bytes) : m_data(bytes.data()), m_size(bytes.size()) {}

    size_t Size() const { return m_size; }
    size_t Position() const { return m_pos; }
    size_t Remaining() const { return m_size - m_pos; }
    bool Failed() const { return m_failed; }
    const uint8_t* Data() const { return m_data; }
    const uint8_t* Current() const { return m_data + m_pos; }

    template <class T> bool Read(T& out) {
        if (!Need(sizeof(T)))
            return false;
        out = LoadLe<T>(m_data + m_pos);
        m_pos += sizeof(T);
        return true;
    }

    // Reads at an absolute offset without moving the cursor.
    template <class T> bool ReadAt(size_t offset, T& out) const { return LoadAt(m_data, m_size, offset, out); }

    bool ReadBytes(void* out, size_t count) {
        if (!Need(count))
            return false;
        if (count)
            std::memcpy(out, m_data + m_pos, count);
        m_pos += count;
        return true;
    }

    // Hands out the next `count` bytes in place.
    bool Take(size_t count, std::span<const uint8_t>& out) {
        if (!Need(count))
            return false;
        out = std::span<const uint8_t>(m_data + m_pos, count);
        m_pos += count;
        return true;
    }

    bool Skip(size_t count) {
        if (!Need(count))
            return false;
        m_pos += count;
        return true;
    }

    bool Seek(size_t offset) {
        if (offset > m_size) {
            m_failed = true;
            return false;
        }
        m_pos = offset;
        return true;
    }

private:
    bool Need(size_t count) {
        if (count > m_size - m_pos) {
            m_failed = true;
            return false;
        }
        return true;
    }

    const uint8_t* m_data = nullptr;
    size_t m_size = 0;
    size_t m_pos = 0;
    bool m_failed = false;
};

// The writing twin of ByteReader: a cursor over a fixed area that refuses to pass its end. It never
// allocates, so the driver can use it on log blocks and request buffers.
class ByteWriter {
public:
    constexpr ByteWriter() = default;
    constexpr ByteWriter(void* data, size_t size) : m_data(static_cast<uint8_t*>(data)), m_size(size) {}

    size_t Size() const { return m_size; }
    size_t Position() const { return m_pos; }
    size_t Remaining() const { return m_size - m_pos; }
    bool Failed() const { return m_failed; }
    uint8_t* Current() const { return m_data + m_pos; }

    template <class T> bool Write(T v) {
        if (!Need(sizeof(T)))
            return false;
        StoreLe<T>(m_data + m_pos, v);
        m_pos += sizeof(T);
        return true;
    }

    // Writes at an absolute offset without moving the cursor.
    template <class T> bool WriteAt(size_t offset, T v) {
        if (offset > m_size || m_size - offset < sizeof(T)) {
            m_failed = true;
            return false;
        }
        StoreLe<T>(m_data + offset, v);
        return true;
    }

    bool WriteBytes(const void* src, size_t count) {
        if (!Need(count))
            return false;
        if (count)
            std::memcpy(m_data + m_pos, src, count);
        m_pos += count;
        return true;
    }

    bool Fill(uint8_t value, size_t count) {
        if (!Need(count))
            return false;
        std::memset(m_data + m_pos, value, count);
        m_pos += count;
        return true;
    }

private:
    bool Need(size_t count) {
        if (count > m_size - m_pos) {
            m_failed = true;
            return false;
        }
        return true;
    }

    uint8_t* m_data = nullptr;
    size_t m_size = 0;
    size_t m_pos = 0;
    bool m_failed = false;
};

// Copies a packed wire structure out of a buffer when the buffer holds all of it.
template <class T> inline bool ReadStruct(std::span<const uint8_t> bytes, T& out) {
    static_assert(std::is_trivially_copyable_v<T> && alignof(T) == 1, "wire structures are packed");
    if (bytes.size() < sizeof(T))
        return false;
    std::memcpy(&out, bytes.data(), sizeof(T));
    return true;
}

// Copies a packed wire structure into a buffer when the buffer has room for all of it.
template <class T> inline bool WriteStruct(std::span<uint8_t> bytes, const T& in) {
    static_assert(std::is_trivially_copyable_v<T> && alignof(T) == 1, "wire structures are packed");
    if (bytes.size() < sizeof(T))
        return false;
    std::memcpy(bytes.data(), &in, sizeof(T));
    return true;
}

} // namespace tdl
