// The description of one payload entry, copied whole into and out of the reader's cache.
#pragma once

#include <cstddef>

#include "windows.h"

struct ArchiveItem {
    INT index;           // the entry's index; for index -1, the number of entries
    CHAR name[MAX_PATH]; // as stored in the archive, NUL-terminated
    DWORD attributes;    // FILE_ATTRIBUTE_* bits
    FILETIME lastAccessTime;
    FILETIME creationTime;
    FILETIME lastWriteTime;
    DWORD compressedSize;
    DWORD uncompressedSize;
};
static_assert(sizeof(ArchiveItem) == 300);
static_assert(offsetof(ArchiveItem, attributes) == 264 && offsetof(ArchiveItem, lastAccessTime) == 268 &&
              offsetof(ArchiveItem, lastWriteTime) == 284 && offsetof(ArchiveItem, uncompressedSize) == 296);
