#include "WinGlobalMemory.h"

#include <cstring>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "WinHandles.h"
#include "winerror.h"

namespace {

struct Block {
    std::unique_ptr<unsigned char[]> bytes;
    SIZE_T size = 0;
    unsigned locks = 0;
};

struct BlockTable {
    std::mutex lock;
    std::unordered_map<ULONG_PTR, std::unique_ptr<Block>> blocks;
    ULONG_PTR nextMoveable = 0x50000;
};

BlockTable& Table() {
    static auto* table = new BlockTable;
    return *table;
}

Block* Find(BlockTable& t, HGLOBAL memory) {
    auto it = t.blocks.find(reinterpret_cast<ULONG_PTR>(memory));
    if (it == t.blocks.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return it->second.get();
}

} // namespace

HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes) {
    auto block = std::make_unique<Block>();
    // A block of 0 bytes still has an address, so its handle is distinct.
    block->bytes.reset(new (std::nothrow) unsigned char[bytes ? bytes : 1]);
    if (!block->bytes) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    block->size = bytes;
    if (flags & GMEM_ZEROINIT)
        std::memset(block->bytes.get(), 0, bytes ? bytes : 1);
    BlockTable& t = Table();
    std::lock_guard guard(t.lock);
    ULONG_PTR handle;
    if (flags & GMEM_MOVEABLE) {
        handle = t.nextMoveable;
        t.nextMoveable += 8;
    } else {
        handle = reinterpret_cast<ULONG_PTR>(block->bytes.get());
    }
    t.blocks.emplace(handle, std::move(block));
    return reinterpret_cast<HGLOBAL>(handle);
}

HGLOBAL GlobalFree(HGLOBAL memory) {
    BlockTable& t = Table();
    std::lock_guard guard(t.lock);
    if (!t.blocks.erase(reinterpret_cast<ULONG_PTR>(memory))) {
        SetLastError(ERROR_INVALID_HANDLE);
        return memory;
    }
    return nullptr;
}

LPVOID GlobalLock(HGLOBAL memory) {
    BlockTable& t = Table();
    std::lock_guard guard(t.lock);
    Block* block = Find(t, memory);
    if (!block)
        return nullptr;
    ++block->locks;
    return block->bytes.get();
}

BOOL GlobalUnlock(HGLOBAL memory) {
    BlockTable& t = Table();
    std::lock_guard guard(t.lock);
    Block* block = Find(t, memory);
    if (!block)
        return FALSE;
    if (block->locks > 0)
        --block->locks;
    if (block->locks == 0) {
        SetLastError(NO_ERROR);
        return FALSE;
    }
    return TRUE;
}

SIZE_T GlobalSize(HGLOBAL memory) {
    BlockTable& t = Table();
    std::lock_guard guard(t.lock);
    Block* block = Find(t, memory);
    return block ? block->size : 0;
}

size_t win32::GlobalBlockCount() {
    BlockTable& t = Table();
    std::lock_guard guard(t.lock);
    return t.blocks.size();
}
