#include "WinHandles.h"

#include <mutex>
#include <unordered_map>

#include "winerror.h"

namespace win32 {
namespace {

struct HandleTable {
    std::mutex lock;
    std::unordered_map<ULONG_PTR, std::shared_ptr<WinObject>> objects;
    ULONG_PTR next = 0x100; // handle values are multiples of 4, as the platform's are
};

HandleTable& Table() {
    static HandleTable table;
    return table;
}

} // namespace

HANDLE InsertHandle(std::shared_ptr<WinObject> object) {
    HandleTable& t = Table();
    std::lock_guard guard(t.lock);
    ULONG_PTR value = t.next;
    t.next += 4;
    t.objects.emplace(value, std::move(object));
    return reinterpret_cast<HANDLE>(value);
}

std::shared_ptr<WinObject> LookupHandle(HANDLE handle) {
    HandleTable& t = Table();
    std::lock_guard guard(t.lock);
    auto it = t.objects.find(reinterpret_cast<ULONG_PTR>(handle));
    return it == t.objects.end() ? nullptr : it->second;
}

size_t OpenHandleCount() {
    HandleTable& t = Table();
    std::lock_guard guard(t.lock);
    return t.objects.size();
}

} // namespace win32

namespace {
thread_local DWORD t_lastError = 0;
}

DWORD GetLastError() {
    return t_lastError;
}
void SetLastError(DWORD error) {
    t_lastError = error;
}

HANDLE GetCurrentProcess() {
    return reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1));
}

BOOL CloseHandle(HANDLE handle) {
    std::shared_ptr<win32::WinObject> object;
    {
        auto& t = win32::Table();
        std::lock_guard guard(t.lock);
        auto it = t.objects.find(reinterpret_cast<ULONG_PTR>(handle));
        if (it == t.objects.end()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        object = std::move(it->second);
        t.objects.erase(it);
    }
    // Outside the table lock: closing a device file sends IRPs that may open or close other handles.
    object->OnHandleClosed();
    return TRUE;
}

BOOL DuplicateHandle(HANDLE, HANDLE source, HANDLE, HANDLE* target, DWORD, BOOL, DWORD) {
    auto object = win32::LookupHandle(source);
    if (!object || !target) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    *target = win32::InsertHandle(std::move(object));
    return TRUE;
}
