#include "NtHandleTable.h"

#include <mutex>
#include <unordered_map>

namespace nt::handles {
namespace {

// Kernel handles carry the top bit, like the platform's, so a kernel handle passed to user mode (or the
// other way round) is recognisably foreign.
constexpr ULONG_PTR kFirstHandle = 0xFFFFFFFF80000004ULL;

struct Slot {
    std::shared_ptr<KernelObject> object;
    ACCESS_MASK access;
};

struct Table {
    std::mutex lock;
    std::unordered_map<ULONG_PTR, Slot> slots;
    ULONG_PTR next = kFirstHandle;
};

Table& TheTable() {
    static Table table;
    return table;
}

} // namespace

HANDLE Insert(std::shared_ptr<KernelObject> object, ACCESS_MASK grantedAccess) {
    Table& t = TheTable();
    std::lock_guard guard(t.lock);
    ULONG_PTR value = t.next;
    t.next += 4;
    t.slots.emplace(value, Slot{std::move(object), grantedAccess});
    return reinterpret_cast<HANDLE>(value);
}

std::shared_ptr<KernelObject> Lookup(HANDLE handle, ACCESS_MASK* grantedAccess) {
    Table& t = TheTable();
    std::lock_guard guard(t.lock);
    auto it = t.slots.find(reinterpret_cast<ULONG_PTR>(handle));
    if (it == t.slots.end()) {
        return nullptr;
    }
    if (grantedAccess != nullptr) {
        *grantedAccess = it->second.access;
    }
    return it->second.object;
}

NTSTATUS Close(HANDLE handle) {
    std::shared_ptr<KernelObject> released; // destroyed outside the lock
    Table& t = TheTable();
    std::lock_guard guard(t.lock);
    auto it = t.slots.find(reinterpret_cast<ULONG_PTR>(handle));
    if (it == t.slots.end()) {
        return STATUS_INVALID_HANDLE;
    }
    released = std::move(it->second.object);
    t.slots.erase(it);
    return STATUS_SUCCESS;
}

size_t OpenCount() {
    Table& t = TheTable();
    std::lock_guard guard(t.lock);
    return t.slots.size();
}

void Reset() {
    std::unordered_map<ULONG_PTR, Slot> released;
    Table& t = TheTable();
    std::lock_guard guard(t.lock);
    released.swap(t.slots);
}

} // namespace nt::handles
