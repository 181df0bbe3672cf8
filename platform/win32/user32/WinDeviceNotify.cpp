// Device notifications to windows. The kernel's Plug and Play manager reports each change (NtPnpControl.h);
// a delivery thread of our own waits until the manager is idle, so the change has finished, and then queues
// WM_DEVICECHANGE to the windows as sent notifications. Locks: g_state.lock around the registrations and the
// pending changes; it is let go before messages are queued.
#include "dbt.h"

#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "NtPnpControl.h"
#include "WinUiControl.h"
#include "WinUser.h"
#include "internal/DeviceChanges.h"
#include "internal/WindowManager.h"
#include "winerror.h"

using namespace win32::internal;

namespace {

struct Registration {
    uintptr_t id;
    HWND hwnd;
    bool allClasses;
    GUID interfaceClass;
};

struct State {
    std::mutex lock;
    std::condition_variable changed;
    std::vector<Registration> registrations;
    std::deque<nt::pnp::DeviceChange> pending;
    bool delivering = false;
    bool threadStarted = false;
    uintptr_t nextId = 1;
};

State& TheState() {
    static auto* state = new State; // never destroyed: the delivery thread lives as long as the process
    return *state;
}

// A handle apart from pointers the program could own.
HDEVNOTIFY HandleOf(uintptr_t id) {
    return reinterpret_cast<HDEVNOTIFY>(0x7D000000 + id);
}

// The user-mode form of a kernel link: "\??\" becomes "\\?\".
std::string UserModeName(const std::u16string& link) {
    std::string name;
    for (char16_t c : link)
        name.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    if (name.rfind("\\??\\", 0) == 0)
        name[1] = '\\';
    return name;
}

std::shared_ptr<std::vector<BYTE>> InterfaceRecord(const nt::pnp::DeviceChange& change) {
    std::string name = UserModeName(change.symbolicLink);
    size_t size = offsetof(DEV_BROADCAST_DEVICEINTERFACE_A, dbcc_name) + name.size() + 1;
    size = std::max(size, sizeof(DEV_BROADCAST_DEVICEINTERFACE_A));
    auto block = std::make_shared<std::vector<BYTE>>(size, 0);
    DEV_BROADCAST_DEVICEINTERFACE_A header{};
    header.dbcc_size = static_cast<DWORD>(size);
    header.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    header.dbcc_classguid = change.interfaceClass;
    memcpy(block->data(), &header, offsetof(DEV_BROADCAST_DEVICEINTERFACE_A, dbcc_name));
    memcpy(block->data() + offsetof(DEV_BROADCAST_DEVICEINTERFACE_A, dbcc_name), name.data(), name.size());
    return block;
}

void Deliver(const nt::pnp::DeviceChange& change) {
    if (change.kind == nt::pnp::DeviceChange::Kind::NodesChanged) {
        std::vector<HWND> top;
        {
            std::lock_guard guard(UserLock());
            top = TopLevelWindowsLocked();
        }
        for (HWND hwnd : top)
            SendNotifyMessageA(hwnd, WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0);
        return;
    }
    std::vector<HWND> targets;
    {
        State& s = TheState();
        std::lock_guard guard(s.lock);
        for (const Registration& r : s.registrations)
            if (r.allClasses || memcmp(&r.interfaceClass, &change.interfaceClass, sizeof(GUID)) == 0)
                targets.push_back(r.hwnd);
    }
    const WPARAM event =
        change.kind == nt::pnp::DeviceChange::Kind::InterfaceArrival ? DBT_DEVICEARRIVAL : DBT_DEVICEREMOVECOMPLETE;
    for (HWND hwnd : targets)
        SendNotifyBlock(hwnd, WM_DEVICECHANGE, event, InterfaceRecord(change)); // each window its own record
}

void DeliveryThread() {
    State& s = TheState();
    for (;;) {
        nt::pnp::DeviceChange change;
        {
            std::unique_lock lock(s.lock);
            s.changed.wait(lock, [&] { return !s.pending.empty(); });
            s.delivering = true;
        }
        // The change is finished when the manager has nothing more to do.
        nt::pnp::WaitForIdle();
        {
            std::lock_guard guard(s.lock);
            change = std::move(s.pending.front());
            s.pending.pop_front();
        }
        Deliver(change);
        {
            std::lock_guard guard(s.lock);
            s.delivering = !s.pending.empty();
        }
        s.changed.notify_all();
    }
}

void OnDeviceChange(const nt::pnp::DeviceChange& change) {
    State& s = TheState();
    {
        std::lock_guard guard(s.lock);
        // Device nodes changing several times in a row need telling once.
        if (change.kind == nt::pnp::DeviceChange::Kind::NodesChanged && !s.pending.empty() &&
            s.pending.back().kind == nt::pnp::DeviceChange::Kind::NodesChanged)
            return;
        s.pending.push_back(change);
        if (!s.threadStarted) {
            s.threadStarted = true;
            std::thread(DeliveryThread).detach();
        }
    }
    s.changed.notify_all();
}

void ListenOnce() {
    static std::once_flag once;
    std::call_once(once, [] { nt::pnp::SetDeviceChangeObserver(OnDeviceChange); });
}

} // namespace

namespace win32::internal {

void ListenForDeviceChanges() {
    ListenOnce();
}

} // namespace win32::internal

HDEVNOTIFY RegisterDeviceNotificationA(HANDLE recipient, LPVOID filter, DWORD flags) {
    if (!filter || (flags & DEVICE_NOTIFY_SERVICE_HANDLE)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    DEV_BROADCAST_HDR header;
    memcpy(&header, filter, sizeof(header));
    if (header.dbch_devicetype != DBT_DEVTYP_DEVICEINTERFACE ||
        header.dbch_size < sizeof(DEV_BROADCAST_DEVICEINTERFACE_A)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    DEV_BROADCAST_DEVICEINTERFACE_A request;
    memcpy(&request, filter, sizeof(request));
    HWND hwnd = static_cast<HWND>(recipient);
    if (!IsWindow(hwnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    ListenOnce();
    State& s = TheState();
    std::lock_guard guard(s.lock);
    uintptr_t id = s.nextId++;
    s.registrations.push_back({id, hwnd, (flags & DEVICE_NOTIFY_ALL_INTERFACE_CLASSES) != 0, request.dbcc_classguid});
    return HandleOf(id);
}

BOOL UnregisterDeviceNotification(HDEVNOTIFY handle) {
    State& s = TheState();
    std::lock_guard guard(s.lock);
    auto count = std::erase_if(s.registrations, [&](const Registration& r) { return HandleOf(r.id) == handle; });
    if (!count) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

namespace win32 {

void WaitForDeviceNotifications() {
    State& s = TheState();
    std::unique_lock lock(s.lock);
    s.changed.wait(lock, [&] { return s.pending.empty() && !s.delivering; });
}

} // namespace win32
