#include "WinAccelerators.h"

#include <cstring>
#include <map>
#include <mutex>
#include <vector>

#include "WinHandles.h"
#include "WinModules.h"
#include "internal/ObjectTable.h"
#include "internal/ResourceStore.h"
#include "winerror.h"

namespace {

using Entries = std::vector<ACCEL>;

win32::internal::ObjectTable<const Entries>& Tables() {
    static auto* tables = new win32::internal::ObjectTable<const Entries>(0x30000);
    return *tables;
}

// Tables loaded from a module's resources, by module and name: they live as long as the module.
struct Loaded {
    std::mutex lock;
    std::map<std::pair<HINSTANCE, std::string>, HACCEL> tables;
};

Loaded& LoadedTables() {
    static auto* loaded = new Loaded;
    return *loaded;
}

HACCEL Insert(Entries entries) {
    return reinterpret_cast<HACCEL>(Tables().Insert(std::make_shared<const Entries>(std::move(entries))));
}

} // namespace

HACCEL CreateAcceleratorTableA(LPACCEL entries, int count) {
    if (!entries || count <= 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return Insert(Entries(entries, entries + count));
}

BOOL DestroyAcceleratorTable(HACCEL table) {
    Loaded& loaded = LoadedTables();
    {
        std::lock_guard guard(loaded.lock);
        for (const auto& [key, handle] : loaded.tables)
            if (handle == table)
                return TRUE; // a loaded table lives as long as its module
    }
    if (!Tables().Remove(table)) {
        SetLastError(ERROR_INVALID_ACCEL_HANDLE);
        return FALSE;
    }
    return TRUE;
}

int CopyAcceleratorTableA(HACCEL table, LPACCEL entries, int count) {
    auto found = Tables().Find(table);
    if (!found) {
        SetLastError(ERROR_INVALID_ACCEL_HANDLE);
        return 0;
    }
    int size = static_cast<int>(found->size());
    if (!entries)
        return size;
    int n = count < size ? count : size;
    if (n <= 0)
        return 0;
    std::memcpy(entries, found->data(), sizeof(ACCEL) * static_cast<size_t>(n));
    return n;
}

HACCEL LoadAcceleratorsA(HINSTANCE instance, LPCSTR name) {
    Entries entries;
    if (!win32::internal::FindAcceleratorResource(instance, name, entries))
        return nullptr;
    Loaded& loaded = LoadedTables();
    std::lock_guard guard(loaded.lock);
    HACCEL& slot = loaded.tables[{instance ? instance : GetModuleHandleA(nullptr), win32::internal::ResourceKey(name)}];
    if (!slot)
        slot = Insert(std::move(entries));
    return slot;
}
