#include "GdiObjects.h"

#include <mutex>
#include <unordered_map>

namespace win32::internal {

namespace {

struct Entry {
    std::shared_ptr<GdiObject> object;
    bool stock;
};

struct GdiTable {
    std::mutex lock;
    std::unordered_map<ULONG_PTR, Entry> objects;
    ULONG_PTR next = 0x10000; // apart from kernel-object handles, so a mix-up finds nothing
    size_t counted = 0;
};

GdiTable& Table() {
    static auto* table = new GdiTable; // never destroyed: stock objects outlive every caller
    return *table;
}

} // namespace

HGDIOBJ InsertGdiObject(std::shared_ptr<GdiObject> object, bool stock) {
    GdiTable& t = Table();
    std::lock_guard guard(t.lock);
    ULONG_PTR value = t.next;
    t.next += 4;
    t.objects.emplace(value, Entry{std::move(object), stock});
    if (!stock)
        ++t.counted;
    return reinterpret_cast<HGDIOBJ>(value);
}

std::shared_ptr<GdiObject> LookupGdiObject(HGDIOBJ handle) {
    GdiTable& t = Table();
    std::lock_guard guard(t.lock);
    auto it = t.objects.find(reinterpret_cast<ULONG_PTR>(handle));
    return it == t.objects.end() ? nullptr : it->second.object;
}

bool IsStockObject(HGDIOBJ handle) {
    GdiTable& t = Table();
    std::lock_guard guard(t.lock);
    auto it = t.objects.find(reinterpret_cast<ULONG_PTR>(handle));
    return it != t.objects.end() && it->second.stock;
}

bool RemoveGdiObject(HGDIOBJ handle) {
    std::shared_ptr<GdiObject> released; // destroyed after the lock is let go
    GdiTable& t = Table();
    std::lock_guard guard(t.lock);
    auto it = t.objects.find(reinterpret_cast<ULONG_PTR>(handle));
    if (it == t.objects.end())
        return false;
    if (it->second.stock)
        return true;
    released = std::move(it->second.object);
    t.objects.erase(it);
    --t.counted;
    return true;
}

size_t CountedGdiObjects() {
    GdiTable& t = Table();
    std::lock_guard guard(t.lock);
    return t.counted;
}

} // namespace win32::internal
