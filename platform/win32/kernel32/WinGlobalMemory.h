// Global memory blocks, as the clipboard takes them. A fixed block's handle is its address; a moveable one's
// address comes from GlobalLock.
#pragma once

#include "WinUserTypes.h"

#define GMEM_FIXED 0x0000
#define GMEM_MOVEABLE 0x0002
#define GMEM_ZEROINIT 0x0040
#define GMEM_SHARE 0x2000
#define GMEM_DDESHARE GMEM_SHARE
#define GHND (GMEM_MOVEABLE | GMEM_ZEROINIT)
#define GPTR (GMEM_FIXED | GMEM_ZEROINIT)

HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes);
// Null on success; the handle when it names no block.
HGLOBAL GlobalFree(HGLOBAL memory);
LPVOID GlobalLock(HGLOBAL memory);
// TRUE while the block stays locked; FALSE (last error 0) when the last lock ended.
BOOL GlobalUnlock(HGLOBAL memory);
SIZE_T GlobalSize(HGLOBAL memory);

namespace win32 {
// Blocks allocated and not freed.
size_t GlobalBlockCount();
} // namespace win32
