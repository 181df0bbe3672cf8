#include "WinGlobalMemory.h"

#include <atomic>
#include <cstring>
#include <memory>

#include "WinHandles.h"
#include "internal/ObjectTable.h"
#include "winerror.h"

using win32::internal::ObjectTable;

namespace {

struct Block {
    std::unique_ptr<unsigned char[]> bytes;
    SIZE_T size = 0;
    std::atomic<unsigned> locks{0};
};

ObjectTable<Block>& Blocks() {
    static auto* blocks = new ObjectTable<Block>(0x50000);
    return *blocks;
}

std::shared_ptr<Block> Find(HGLOBAL memory) {
    auto block = Blocks().Find(memory);
    if (!block)
        SetLastError(ERROR_INVALID_HANDLE);
    return block;
}

} // namespace

HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes) {
    auto block = std::make_shared<Block>();
    // A block of 0 bytes still has an address, so its handle is distinct.
    block->bytes.reset(new (std::nothrow) unsigned char[bytes ? bytes : 1]);
    if (!block->bytes) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    block->size = bytes;
    if (flags & GMEM_ZEROINIT)
        std::memset(block->bytes.get(), 0, bytes ? bytes : 1);
    ULONG_PTR address = reinterpret_cast<ULONG_PTR>(block->bytes.get());
    return reinterpret_cast<HGLOBAL>(Blocks().Insert(std::move(block), (flags & GMEM_MOVEABLE) ? 0 : address));
}

HGLOBAL GlobalFree(HGLOBAL memory) {
    if (!Blocks().Remove(memory)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return memory;
    }
    return nullptr;
}

LPVOID GlobalLock(HGLOBAL memory) {
    auto block = Find(memory);
    if (!block)
        return nullptr;
    ++block->locks;
    return block->bytes.get();
}

BOOL GlobalUnlock(HGLOBAL memory) {
    auto block = Find(memory);
    if (!block)
        return FALSE;
    unsigned expected = block->locks.load();
    while (expected > 0 && !block->locks.compare_exchange_weak(expected, expected - 1)) {
    }
    if (expected <= 1) {
        SetLastError(NO_ERROR);
        return FALSE;
    }
    return TRUE;
}

SIZE_T GlobalSize(HGLOBAL memory) {
    auto block = Find(memory);
    return block ? block->size : 0;
}

size_t win32::GlobalBlockCount() {
    return Blocks().Count();
}
