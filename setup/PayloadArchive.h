// A handle-based reader of a ZIP archive held in memory: open it, describe entry i (or give the entry count
// with index -1), extract entry i to a file, close it. Every operation returns its result code and also
// leaves it as the last result; nothing is shown to the user here.
#pragma once

#include "ArchiveItem.h"
#include "windows.h"

// Result codes.
constexpr DWORD ARCHIVE_OK = 0;
constexpr DWORD ARCHIVE_E_CREATE = 0x200;     // the output file could not be created
constexpr DWORD ARCHIVE_E_COPY = 0x400;       // writing the output file, or reading the entry, failed
constexpr DWORD ARCHIVE_E_HEADER = 0x700;     // the archive or the entry's local header is not consistent
constexpr DWORD ARCHIVE_E_EXTRA = 0x800;      // the entry's local extra field could not be read
constexpr DWORD ARCHIVE_E_ARGUMENT = 0x10000; // no handle, or an index out of range
constexpr DWORD ARCHIVE_E_MODE = 0x80000;     // the handle is not in reading mode
constexpr DWORD ARCHIVE_E_ALREADY_OPEN = 0x1000000;

constexpr DWORD ARCHIVE_MODE_READ = 1; // the only mode

struct PayloadArchive;

struct ArchiveHandle {
    DWORD mode;
    PayloadArchive* archive;
};
typedef ArchiveHandle* HARCHIVE;

// Null when the block is not an archive the ZIP reader can open; the reason is the last result. The block
// must outlive the handle: entries are read from it in place. Relative paths given to ExtractArchiveItem, and
// folders made for them, are taken below the current directory of this moment.
HARCHIVE OpenPayloadArchive(const void* address, DWORD length);
// Index -1: item->index is the entry count and every other field is 0. Asking for the entry described last
// copies that description out without reading the archive again.
DWORD GetArchiveItem(HARCHIVE archive, int index, ArchiveItem* item);
// Writes entry `index` to `outputPath` (created or replaced, with the entry's attribute bits and times). A
// folder entry makes its folder below the base folder instead, and only when its name stays below it; the
// output path's own folder part is made under the same rule.
DWORD ExtractArchiveItem(HARCHIVE archive, int index, const char* outputPath);
DWORD ClosePayloadArchive(HARCHIVE archive);
DWORD ArchiveLastResult();
