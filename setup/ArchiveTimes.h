// Entry times: the MS-DOS stamp every entry has, and the Unix times of an "UT" (extended timestamp) block
// that an entry's local extra field may add.
#pragma once

#include <cstddef>
#include <cstdint>

#include "ArchiveItem.h"
#include "WinCrtTime.h"

// A Unix time as a FILETIME; false (and `fileTime` untouched) for a time the runtime cannot break down, such
// as one before 1970.
bool UnixTimeToFileTime(__time32_t seconds, FILETIME& fileTime);

// All three times from the entry's DOS date (high word) and time (low word); an invalid stamp leaves them 0.
void SetDosTimes(uint32_t dosDateTime, ArchiveItem& item);

// Walks the blocks of a local extra field to the first "UT" block and takes the times it holds in place of the
// DOS ones: flag bit 0 the last-write time, bit 1 the last-access time, bit 2 the creation time, in that order.
// Only bytes inside both the block and the field are read; a time that does not convert keeps its DOS value.
void ApplyExtendedTimes(const uint8_t* field, size_t size, ArchiveItem& item);
