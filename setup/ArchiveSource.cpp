#include "ArchiveSource.h"

#include <algorithm>
#include <cstring>

size_t ArchiveSource::Read(void* buffer, size_t elementSize, size_t count) {
    if (elementSize == 0 || count == 0 || position_ >= length_)
        return 0;
    const uint64_t left = length_ - position_;
    // elementSize × count may not fit in 64 bits; compare by division instead.
    const uint64_t wanted = count > left / elementSize ? left : elementSize * count;
    const uint32_t copied = static_cast<uint32_t>(std::min(wanted, left));
    std::memcpy(buffer, base_ + position_, copied);
    position_ += copied;
    return copied / elementSize;
}

long ArchiveSource::Seek(int64_t distance, int origin) {
    int64_t from;
    switch (origin) {
    case FILE_BEGIN: from = 0; break;
    case FILE_CURRENT: from = position_; break;
    case FILE_END: from = length_; break;
    default: return -1;
    }
    // |distance| beyond 2^32 can never land inside the block; checking first keeps the sum from overflowing.
    if (distance > int64_t{UINT32_MAX} || distance < -int64_t{UINT32_MAX})
        return -1;
    const int64_t target = from + distance;
    if (target < 0 || target > int64_t{length_})
        return -1;
    position_ = static_cast<uint32_t>(target);
    return 0;
}
