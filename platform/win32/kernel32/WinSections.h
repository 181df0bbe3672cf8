// Sections (file mappings) and their views. A section backed by the page file (INVALID_HANDLE_VALUE) is
// shared memory that every open of its name sees; a section of a file maps the file's bytes. Views of one
// section share their bytes, whatever address each gets.
#pragma once

#include "windef.h"

#define PAGE_NOACCESS 0x01
#define PAGE_READONLY 0x02
#define PAGE_READWRITE 0x04
#define PAGE_WRITECOPY 0x08
#define SEC_COMMIT 0x08000000

#define FILE_MAP_COPY 0x0001
#define FILE_MAP_WRITE 0x0002
#define FILE_MAP_READ 0x0004
#define FILE_MAP_ALL_ACCESS 0x000F001F

// Views start at multiples of this.
#define TDL_ALLOCATION_GRANULARITY 0x10000

HANDLE CreateFileMappingA(HANDLE file, LPSECURITY_ATTRIBUTES security, DWORD protect, DWORD maximumSizeHigh,
                          DWORD maximumSizeLow, LPCSTR name);
HANDLE OpenFileMappingA(DWORD desiredAccess, BOOL inheritHandle, LPCSTR name);
LPVOID MapViewOfFile(HANDLE fileMapping, DWORD desiredAccess, DWORD fileOffsetHigh, DWORD fileOffsetLow,
                     SIZE_T numberOfBytesToMap);
LPVOID MapViewOfFileEx(HANDLE fileMapping, DWORD desiredAccess, DWORD fileOffsetHigh, DWORD fileOffsetLow,
                       SIZE_T numberOfBytesToMap, LPVOID baseAddress);
BOOL UnmapViewOfFile(LPCVOID baseAddress);
BOOL FlushViewOfFile(LPCVOID baseAddress, SIZE_T numberOfBytesToFlush);

inline HANDLE CreateFileMapping(HANDLE file, LPSECURITY_ATTRIBUTES security, DWORD protect, DWORD maximumSizeHigh,
                                DWORD maximumSizeLow, LPCSTR name) {
    return CreateFileMappingA(file, security, protect, maximumSizeHigh, maximumSizeLow, name);
}
inline HANDLE OpenFileMapping(DWORD desiredAccess, BOOL inheritHandle, LPCSTR name) {
    return OpenFileMappingA(desiredAccess, inheritHandle, name);
}
