// A bounded walk over a run of USB descriptors (a configuration set, a BOS set): each step yields one
// whole descriptor, and the walk stops rather than trust a bLength below 2 or one that runs past the
// end of the buffer. It yields bytes only; what a descriptor means is the caller's business.
#pragma once

#include "ntdef.h"

struct UsbDescriptorView {
    const UCHAR* Data = nullptr; // first byte (bLength)
    ULONG Length = 0;            // bLength, at least 2; all of it lies within the buffer
    UCHAR Type = 0;              // bDescriptorType
};

class UsbDescriptorWalker {
public:
    // Walks size bytes at buffer, beginning at the given offset.
    UsbDescriptorWalker(const void* buffer, ULONG size, ULONG offset = 0)
        : m_data(static_cast<const UCHAR*>(buffer)), m_size(size), m_offset(offset <= size ? offset : size) {}

    // The next descriptor; false at the end of the buffer or at a malformed descriptor.
    bool Next(UsbDescriptorView& out) {
        if (m_malformed || m_offset == m_size)
            return false;
        const ULONG remaining = m_size - m_offset;
        const ULONG length = m_data[m_offset];
        if (remaining < 2 || length < 2 || length > remaining) {
            m_malformed = true;
            return false;
        }
        out.Data = m_data + m_offset;
        out.Length = length;
        out.Type = m_data[m_offset + 1];
        m_offset += length;
        return true;
    }

    // True when the walk stopped before the end: a stray byte, a bLength below 2 or past the end.
    bool Malformed() const { return m_malformed; }
    // Offset of the next descriptor (or of the malformed one).
    ULONG Offset() const { return m_offset; }

private:
    const UCHAR* m_data;
    ULONG m_size;
    ULONG m_offset;
    bool m_malformed = false;
};
