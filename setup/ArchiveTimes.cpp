#include "ArchiveTimes.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr size_t kBlockHeader = 4; // 2-byte id, 2-byte little-endian data size

uint16_t ReadU16(const uint8_t* bytes) {
    return static_cast<uint16_t>(bytes[0] | (bytes[1] << 8));
}

int32_t ReadI32(const uint8_t* bytes) {
    uint32_t value = 0;
    std::memcpy(&value, bytes, sizeof value); // little-endian, as the host is
    return static_cast<int32_t>(value);
}

} // namespace

bool UnixTimeToFileTime(__time32_t seconds, FILETIME& fileTime) {
    struct tm parts;
    if (_gmtime32_s(&parts, &seconds) != 0)
        return false;
    SYSTEMTIME time{};
    time.wYear = static_cast<WORD>(parts.tm_year + 1900);
    time.wMonth = static_cast<WORD>(parts.tm_mon + 1);
    time.wDayOfWeek = static_cast<WORD>(parts.tm_wday);
    time.wDay = static_cast<WORD>(parts.tm_mday);
    time.wHour = static_cast<WORD>(parts.tm_hour);
    time.wMinute = static_cast<WORD>(parts.tm_min);
    time.wSecond = static_cast<WORD>(parts.tm_sec);
    FILETIME converted;
    if (!SystemTimeToFileTime(&time, &converted))
        return false;
    fileTime = converted;
    return true;
}

void SetDosTimes(uint32_t dosDateTime, ArchiveItem& item) {
    FILETIME time{};
    if (!DosDateTimeToFileTime(HIWORD(dosDateTime), LOWORD(dosDateTime), &time))
        time = FILETIME{};
    item.lastAccessTime = item.creationTime = item.lastWriteTime = time;
}

void ApplyExtendedTimes(const uint8_t* field, size_t size, ArchiveItem& item) {
    if (size <= kBlockHeader)
        return;
    size_t offset = 0;
    while (size - offset >= kBlockHeader) {
        const uint8_t* block = field + offset;
        const size_t dataSize = ReadU16(block + 2);
        if (block[0] != 'U' || block[1] != 'T') {
            offset += kBlockHeader + dataSize;
            if (offset > size)
                return;
            continue;
        }
        const size_t end = std::min(offset + kBlockHeader + dataSize, size);
        size_t at = offset + kBlockHeader;
        if (at >= end)
            return;
        const uint8_t flags = field[at++];
        FILETIME* const targets[] = {&item.lastWriteTime, &item.lastAccessTime, &item.creationTime};
        for (int bit = 0; bit < 3; ++bit) {
            if (!(flags & (1u << bit)))
                continue;
            if (end - at < sizeof(int32_t))
                return;
            UnixTimeToFileTime(ReadI32(field + at), *targets[bit]);
            at += sizeof(int32_t);
        }
        return;
    }
}
