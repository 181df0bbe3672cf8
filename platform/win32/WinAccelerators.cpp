#include "WinAccelerators.h"

#include <cstring>
#include <map>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "WinHandles.h"
#include "WinModules.h"
#include "internal/ResourceStore.h"
#include "winerror.h"

namespace {

struct AccelTable {
    std::mutex lock;
    std::unordered_map<ULONG_PTR, std::vector<ACCEL>> tables;
    std::map<std::pair<HINSTANCE, std::string>, HACCEL> loaded;
    ULONG_PTR next = 0x30000;
};

AccelTable& Table() {
    static auto* table = new AccelTable;
    return *table;
}

HACCEL Insert(AccelTable& t, std::vector<ACCEL> entries) {
    ULONG_PTR value = t.next;
    t.next += 4;
    t.tables.emplace(value, std::move(entries));
    return reinterpret_cast<HACCEL>(value);
}

} // namespace

HACCEL CreateAcceleratorTableA(LPACCEL entries, int count) {
    if (!entries || count <= 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    AccelTable& t = Table();
    std::lock_guard guard(t.lock);
    return Insert(t, std::vector<ACCEL>(entries, entries + count));
}

BOOL DestroyAcceleratorTable(HACCEL table) {
    AccelTable& t = Table();
    std::lock_guard guard(t.lock);
    for (const auto& [key, handle] : t.loaded)
        if (handle == table)
            return TRUE; // a loaded table lives as long as its module
    if (!t.tables.erase(reinterpret_cast<ULONG_PTR>(table))) {
        SetLastError(ERROR_INVALID_ACCEL_HANDLE);
        return FALSE;
    }
    return TRUE;
}

int CopyAcceleratorTableA(HACCEL table, LPACCEL entries, int count) {
    AccelTable& t = Table();
    std::lock_guard guard(t.lock);
    auto it = t.tables.find(reinterpret_cast<ULONG_PTR>(table));
    if (it == t.tables.end()) {
        SetLastError(ERROR_INVALID_ACCEL_HANDLE);
        return 0;
    }
    int size = static_cast<int>(it->second.size());
    if (!entries)
        return size;
    int n = count < size ? count : size;
    if (n > 0)
        std::memcpy(entries, it->second.data(), sizeof(ACCEL) * static_cast<size_t>(n));
    return n > 0 ? n : 0;
}

HACCEL LoadAcceleratorsA(HINSTANCE instance, LPCSTR name) {
    std::vector<ACCEL> entries;
    if (!win32::internal::FindAcceleratorResource(instance, name, entries))
        return nullptr;
    AccelTable& t = Table();
    std::lock_guard guard(t.lock);
    HACCEL& slot = t.loaded[{instance ? instance : GetModuleHandleA(nullptr), win32::internal::ResourceKey(name)}];
    if (!slot)
        slot = Insert(t, std::move(entries));
    return slot;
}
