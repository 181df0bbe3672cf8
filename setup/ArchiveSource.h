// The byte source the ZIP reader reads the payload through: a block of memory with a position, read and
// moved like a file. A memory block cannot fail, so the only refusals are moves outside the block.
#pragma once

#include <cstdint>

#include "windows.h"

class ArchiveSource {
public:
    ArchiveSource(const void* base, uint32_t length) : base_(static_cast<const uint8_t*>(base)), length_(length) {}

    // Copies min(elementSize × count, what is left) bytes and advances past them; returns the bytes copied
    // divided by the element size. At or past the end nothing is copied.
    size_t Read(void* buffer, size_t elementSize, size_t count);
    // FILE_BEGIN, FILE_CURRENT or FILE_END plus `distance`. A target outside 0..length, or another origin,
    // returns -1 and keeps the position; 0 otherwise.
    long Seek(int64_t distance, int origin);
    long Tell() const { return static_cast<long>(position_); }
    bool Error() const { return false; }

    uint32_t Length() const { return length_; }

private:
    const uint8_t* base_;
    uint32_t length_;
    uint32_t position_ = 0;
};
