// Hook chains. Locks: g_lock around the list; hook procedures run without it (they install and remove hooks).
#include "WinHooks.h"

#include <mutex>
#include <vector>

#include "WinHandles.h"
#include "WinThreads.h"
#include "internal/Hooks.h"
#include "winerror.h"

namespace {

struct Hook {
    uintptr_t id;
    int kind;
    HOOKPROC proc;
    DWORD thread; // 0: every thread
};

std::mutex g_lock;
std::vector<Hook> g_hooks; // newest first
uintptr_t g_nextId = 1;

HHOOK HandleOf(uintptr_t id) {
    return reinterpret_cast<HHOOK>(0x7E000000 + id);
}

// The first hook of `kind` for this thread after position `from` in the list.
HOOKPROC NextProc(int kind, size_t from, HHOOK& handle) {
    const DWORD thread = GetCurrentThreadId();
    std::lock_guard guard(g_lock);
    for (size_t i = from; i < g_hooks.size(); ++i) {
        const Hook& h = g_hooks[i];
        if (h.kind == kind && (h.thread == 0 || h.thread == thread)) {
            handle = HandleOf(h.id);
            return h.proc;
        }
    }
    return nullptr;
}

} // namespace

HHOOK SetWindowsHookExA(int idHook, HOOKPROC proc, HINSTANCE, DWORD threadId) {
    if (!proc || idHook < WH_MSGFILTER || idHook > 14) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::lock_guard guard(g_lock);
    uintptr_t id = g_nextId++;
    g_hooks.insert(g_hooks.begin(), {id, idHook, proc, threadId});
    return HandleOf(id);
}

BOOL UnhookWindowsHookEx(HHOOK hook) {
    std::lock_guard guard(g_lock);
    auto removed = std::erase_if(g_hooks, [&](const Hook& h) { return HandleOf(h.id) == hook; });
    if (!removed) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

LRESULT CallNextHookEx(HHOOK hook, int code, WPARAM wParam, LPARAM lParam) {
    size_t from = 0;
    int kind = 0;
    {
        std::lock_guard guard(g_lock);
        for (size_t i = 0; i < g_hooks.size(); ++i)
            if (HandleOf(g_hooks[i].id) == hook) {
                from = i + 1;
                kind = g_hooks[i].kind;
                break;
            }
        if (from == 0)
            return 0;
    }
    HHOOK next = nullptr;
    HOOKPROC proc = NextProc(kind, from, next);
    return proc ? proc(code, wParam, lParam) : 0;
}

namespace win32::internal {

LRESULT CallHooks(int kind, int code, WPARAM wParam, LPARAM lParam) {
    HHOOK first = nullptr;
    HOOKPROC proc = NextProc(kind, 0, first);
    return proc ? proc(code, wParam, lParam) : 0;
}

} // namespace win32::internal
